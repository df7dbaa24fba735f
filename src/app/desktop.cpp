// Starts the desktop program.
#include <QApplication>
#include <QSessionManager>
#include <QTimer>
#include <string>

#include "app_icon.h"
#include "document/clipboard_text.h"
#include "document/text_document.h"
#include "settings/app_settings.h"
#include "shell/clipboard_backend.h"
#include "shell/main_frame.h"
#include "shell/termination_signal.h"
#include "tester/regex_tester_dialog.h"

int RunDesktop(int argc, char** argv, const std::string& file) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Linesift"));
    // Ties the windows to the installed desktop entry, whose icon Wayland shells show.
    QGuiApplication::setDesktopFileName(QStringLiteral("linesift"));
    QApplication::setWindowIcon(linesift::ApplicationIcon());
    linesift::QtClipboardBackend::Install();
    int status = 0;
    {
        linesift::MainFrame frame;
        frame.SetPendingOpenPath(linesift::FromNativePath(file));
        // The session is ending: the tester's histories go into the settings too.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [](QSessionManager&) {
            linesift::RegexTesterDialog::CloseInstance();
            linesift::AppSettings::Instance().SaveSettings();
        });
        // SIGTERM ends the program as File > Exit does, without questions.
        linesift::TerminationSignal termination;
        QObject::connect(&termination, &linesift::TerminationSignal::terminationRequested, &frame,
                         [&frame] { frame.CloseWithoutQuestions(); });
        // Shown, and the file opened, once the event loop runs.
        QTimer::singleShot(0, &frame, [&frame] { frame.ShowFirstTime(); });
        status = app.exec();
    }
    linesift::AppSettings::Instance().SaveSettings();
    linesift::ClipboardText::Instance().SetBackend(nullptr);
    return status;
}
