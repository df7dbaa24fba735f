#pragma once

#include <QKeyEvent>
#include <QLineEdit>
#include <functional>
#include <string>

#include "qt_text.h"

namespace linesift {

// The query field of the main bar, until the full search box replaces it:
// reports typing (1), clearing with Escape (2) and Enter (4) to a listener.
class QueryBox : public QLineEdit {
    Q_OBJECT
  public:
    using Listener = std::function<void(int code, const std::u16string& text)>;

    explicit QueryBox(QWidget* parent) : QLineEdit(parent) {
        setMaxLength(200);
        connect(this, &QLineEdit::textEdited, this, [this](const QString& t) { Notify(1, t); });
        connect(this, &QLineEdit::returnPressed, this, [this] { Notify(4, text()); });
    }
    void SetListener(Listener listener) { listener_ = std::move(listener); }
    std::u16string Text() const { return ToU16(text()); }
    void Activate(bool) {
        setFocus(Qt::OtherFocusReason);
        selectAll();
    }
    void ClearQuery() { clear(); }
    bool HasHistory() const { return false; }
    void ClearHistory() {}

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            clear();
            Notify(2, QString());
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        Notify(4, text());
    }

  private:
    void Notify(int code, const QString& t) {
        if (listener_) {
            listener_(code, ToU16(t));
        }
    }
    Listener listener_;
};

}  // namespace linesift
