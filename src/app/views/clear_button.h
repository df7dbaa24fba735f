#pragma once

#include <QAbstractButton>

namespace linesift {

// The search box's clear button: a 19 x 19 image button with hot tracking
// that never takes the focus, so clicking it leaves the edit focused.
class ClearButton : public QAbstractButton {
    Q_OBJECT
  public:
    enum Image { kIdle = 0, kBoxHovered = 1, kEditing = 2, kPushed = 3, kHot = 4 };

    explicit ClearButton(QWidget* parent);

    // The image shown while the button is neither pushed nor under the pointer.
    void SetNormalImage(Image image);
    // The image painted now.
    Image ShownImage() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Image normal_ = kIdle;
};

}  // namespace linesift
