#pragma once

#include <QObject>
#include <QString>

#include "document/clipboard_text.h"

namespace linesift {

// The desktop clipboard behind ClipboardText. Whether it holds text is
// cached and refreshed when the clipboard changes, because every query is a
// round trip to the display server.
class QtClipboardBackend : public QObject, public ClipboardBackend {
    Q_OBJECT
  public:
    QtClipboardBackend();

    bool IsTextAvailable() override { return text_available_; }
    bool GetText(std::u16string& out) override;
    // True when the clipboard holds the text afterwards.
    bool SetText(std::u16string_view text) override;

    // Installs a backend as ClipboardText's; a QGuiApplication must exist.
    static void Install();

  private:
    void Refresh();

    bool text_available_ = false;
};

// Puts text on the clipboard through ClipboardText. The desktop's backend
// shares the string instead of copying it, which matters for a copy of
// millions of lines; other backends get a view of it.
bool PutTextOnClipboard(const QString& text);

}  // namespace linesift
