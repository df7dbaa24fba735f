#include "shell/clipboard_backend.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "qt_text.h"

namespace linesift {

QtClipboardBackend::QtClipboardBackend() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        connect(clipboard, &QClipboard::dataChanged, this, &QtClipboardBackend::Refresh);
    }
    Refresh();
}

void QtClipboardBackend::Refresh() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    text_available_ = data != nullptr && data->hasText();
}

bool QtClipboardBackend::GetText(std::u16string& out) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    if (data == nullptr || !data->hasText()) {
        return false;
    }
    out = ToU16(data->text());
    return true;
}

bool QtClipboardBackend::SetText(std::u16string_view text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    QString q = ToQString(text);
    clipboard->setText(q);
    Refresh();
    return clipboard->ownsClipboard() || clipboard->text() == q;
}

void QtClipboardBackend::Install() {
    ClipboardText::Instance().SetBackend(std::make_unique<QtClipboardBackend>());
}

}  // namespace linesift
