// Starts the desktop program.
#include <QApplication>
#include <QLabel>
#include <string>

#include "document/clipboard_text.h"
#include "shell/clipboard_backend.h"

int RunDesktop(int argc, char** argv, const std::string& file) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Linesift"));
    linesift::QtClipboardBackend::Install();
    QLabel label(
        QStringLiteral("Linesift: the desktop window is not built yet.\n"
                       "Use linesift --print FILE meanwhile."));
    label.setWindowTitle(QStringLiteral("Linesift"));
    label.setMargin(24);
    label.show();
    (void)file;
    int status = app.exec();
    linesift::ClipboardText::Instance().SetBackend(nullptr);
    return status;
}
