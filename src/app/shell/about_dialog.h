#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

namespace linesift {

// The version as the About dialog shows it: "Version 1.2.3  (Build 45)".
QString VersionText();

// A dialog of fixed size whose frame offers no maximize or minimize button.
// Call once its layout is set.
void SetFixedDialogFrame(QDialog& dialog);

// A web link in the palette's link colour, underlined only while the pointer
// is over it.
class HoverLink : public QLabel {
    Q_OBJECT
  public:
    HoverLink(const QString& url, QWidget* parent);
    bool IsUnderlined() const { return underlined_; }

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void SetUnderlined(bool underlined);
    void ShowLink();

    QString url_;
    bool underlined_ = false;
};

// "About Linesift": the product name, the version and a link to the web
// page; without a web page (an empty one), no link.
class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    AboutDialog(const QString& webPage, QWidget* owner);
};

}  // namespace linesift
