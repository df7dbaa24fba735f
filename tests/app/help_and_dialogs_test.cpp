// Help, the web commands and the small dialogs, through real widgets: Help
// opens the manual (Search at its index) or says where it looked; commands
// for a web page the build did not set are hidden; the About and Options
// dialogs offer no maximize; the About link is underlined only on hover.
#include <QDesktopServices>
#include <QMenuBar>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "platform/native_path.h"
#include "settings/app_settings.h"
#include "settings/data_folder.h"
#include "shell/about_dialog.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/options_dialog.h"

using namespace linesift;
using linesift::test::FakeClipboard;
using linesift::test::ScriptedDialogs;

// Takes the URLs the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void openUrl(const QUrl& url) { urls << url; }
};

namespace {

// The longest horizontal run of pixels near colour in image. An underline
// makes one nearly as long as the text; glyphs alone make short ones.
int LongestRun(const QImage& image, QColor colour) {
    int longest = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int distance = std::abs(c.red() - colour.red()) +
                                 std::abs(c.green() - colour.green()) +
                                 std::abs(c.blue() - colour.blue());
            run = distance < 60 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    return longest;
}

}  // namespace

class HelpAndDialogsTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<MainFrame> frame_;
    ScriptedDialogs* dialogs_ = nullptr;
    std::u16string clipboard_;
    UrlCatcher catcher_;

  private slots:
    void init() {
        AppSettings::Instance() = AppSettings{};
        ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&clipboard_));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher_, "openUrl");
        catcher_.urls.clear();
        auto dialogs = std::make_unique<ScriptedDialogs>();
        dialogs_ = dialogs.get();
        frame_ = std::make_unique<MainFrame>(std::move(dialogs));
        frame_->ShowFirstTime();
    }
    void cleanup() {
        frame_.reset();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        SetProgramFolderForTesting(u"");
        ClipboardText::Instance().SetBackend(nullptr);
    }

    void helpOpensTheManualAndSearchItsIndex_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("contents") << int(cmd::kHelpContents) << QString();
        QTest::newRow("search") << int(cmd::kHelpSearch) << QStringLiteral("keywords");
    }
    void helpOpensTheManualAndSearchItsIndex() {
        QFETCH(int, command);
        QFETCH(QString, fragment);
        std::filesystem::create_directories(dir_.Path() + "/manual");
        dir_.Write("manual/index.html", "<html></html>");
        SetProgramFolderForTesting(FromNativePath(dir_.Path()));
        QVERIFY(frame_->RunCommand(command));
        QCOMPARE(catcher_.urls.size(), 1);
        QVERIFY2(catcher_.urls[0].isLocalFile(), qPrintable(catcher_.urls[0].toString()));
        QCOMPARE(catcher_.urls[0].toLocalFile(),
                 QString::fromStdString(dir_.Path() + "/manual/index.html"));
        QCOMPARE(catcher_.urls[0].fragment(), fragment);
        QVERIFY(dialogs_->messages.empty());
    }

    void helpWithoutAManualSaysWhereItLooked() {
        const std::string empty = dir_.Path() + "/nothing here";
        SetProgramFolderForTesting(FromNativePath(empty));
        QVERIFY(frame_->RunCommand(cmd::kHelpContents));
        QVERIFY(catcher_.urls.isEmpty());
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        const QString text = dialogs_->messages[0];
        QVERIFY2(text.startsWith(QStringLiteral("The user manual was not found.")),
                 qPrintable(text));
        QVERIFY2(text.contains(QString::fromStdString(empty + "/manual/index.html")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("share/doc/linesift/manual/index.html")),
                 qPrintable(text));
    }

    // The build sets no web page (the default): nothing offers to open one.
    void webCommandsAreHiddenWithoutAWebPage() {
        QMenu* help = nullptr;
        for (QAction* a : frame_->menuBar()->actions()) {
            if (a->text() == QStringLiteral("&Help")) {
                help = a->menu();
            }
        }
        QVERIFY(help != nullptr);
        QStringList shown;
        for (QAction* a : help->actions()) {
            if (a->isVisible() && !a->isSeparator()) {
                shown << a->text();
            }
        }
        QCOMPARE(shown, (QStringList{"&Contents...", "&Search...", "&About Linesift"}));
        AboutDialog about(QString(), frame_.get());
        QVERIFY(about.findChild<HoverLink*>() == nullptr);
    }

    void dialogsOfferNoMaximize() {
        AboutDialog about(QStringLiteral("https://example.org/"), frame_.get());
        OptionsDialog options(OptionValues{}, frame_.get());
        for (QDialog* dialog : {static_cast<QDialog*>(&about), static_cast<QDialog*>(&options)}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            const Qt::WindowFlags flags = dialog->windowHandle()->flags();
            QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
            QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
            QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
            // A window that can grow is offered a maximize by the window manager.
            QCOMPARE(dialog->windowHandle()->minimumSize(), dialog->windowHandle()->maximumSize());
            dialog->hide();
        }
    }

    void aboutLinkIsUnderlinedOnlyUnderThePointer() {
        const QString url = QStringLiteral("https://example.org/linesift/");
        // The offscreen platform gives the pointer to the first window under it.
        frame_->hide();
        AboutDialog about(url, nullptr);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto* link = about.findChild<HoverLink*>();
        QVERIFY(link != nullptr);
        const QColor colour = link->palette().color(QPalette::Link);
        const int underline = link->fontMetrics().horizontalAdvance(url) * 8 / 10;
        auto longestRun = [&] { return LongestRun(link->grab().toImage(), colour); };
        // Drawn in the link colour, not underlined.
        QVERIFY(longestRun() >= 1);
        QVERIFY(longestRun() < underline);

        QTest::mouseMove(link, QPoint(underline / 2, link->height() / 2));
        QTRY_VERIFY(link->IsUnderlined());
        QVERIFY(longestRun() >= underline);

        QTest::mouseMove(&about, QPoint(about.width() - 2, about.height() - 2));
        QTRY_VERIFY(!link->IsUnderlined());
        QVERIFY(longestRun() < underline);
    }
};

QTEST_MAIN(HelpAndDialogsTest)
#include "help_and_dialogs_test.moc"
