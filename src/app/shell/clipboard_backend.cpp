#include "shell/clipboard_backend.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "qt_text.h"

namespace linesift {

namespace {

// The string PutTextOnClipboard is handing over, while it does.
const QString* g_offered = nullptr;

}  // namespace

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
    const bool offered = g_offered != nullptr &&
                         g_offered->utf16() == reinterpret_cast<const ushort*>(text.data()) &&
                         static_cast<size_t>(g_offered->size()) == text.size();
    const QString q = offered ? *g_offered : ToQString(text);
    clipboard->setText(q);
    Refresh();
    return clipboard->ownsClipboard() || clipboard->text() == q;
}

bool PutTextOnClipboard(const QString& text) {
    g_offered = &text;
    const bool put = ClipboardText::Instance().SetText(std::u16string_view(
        reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())));
    g_offered = nullptr;
    return put;
}

void QtClipboardBackend::Install() {
    ClipboardText::Instance().SetBackend(std::make_unique<QtClipboardBackend>());
}

}  // namespace linesift
