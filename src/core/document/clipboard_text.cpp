#include "document/clipboard_text.h"

namespace linesift {

ClipboardText& ClipboardText::Instance() {
    static ClipboardText instance;
    return instance;
}

}  // namespace linesift
