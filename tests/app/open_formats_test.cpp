// The window opening files as their text: compressed files decoded in the
// background (named after the compressed file, their first lines shown while
// the rest is decoded, reloaded from it, cancelled with Escape or by closing,
// the readable part of a damaged archive offered), and files reopened in an
// encoding the user chooses.

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "../core/scoped_env.h"
#include "../core/test_files.h"
#include "../core/test_gzip.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "settings/app_settings.h"
#include "shell/code_page_dialog.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/line_list_view.h"
#include "views/search_box.h"

using namespace linesift;
using linesift::test::FakeClipboard;
using linesift::test::Gzip;
using linesift::test::ScriptedDialogs;

namespace {

// "line 0\nline 1\n..." up to count lines.
std::string NumberedLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    return text;
}

// How many mappings of the file at path the process holds.
int MappingsOf(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);) {
        count += line.size() >= path.size() &&
                         line.compare(line.size() - path.size(), path.size(), path) == 0
                     ? 1
                     : 0;
    }
    return count;
}

// Holds the decoding thread at its first progress report, after its first
// text is written, until released (or 20 s), so the window is looked at while
// the text is decoded. The state is shared with the thread, which may run on
// after a cancelled load.
class HeldDecode {
  public:
    HeldDecode() : state_(std::make_shared<State>()) {
        MainFrame::SetDecodeProgressHookForTesting([state = state_] {
            if (!state->held.exchange(true)) {
                for (int ms = 0; !state->released && ms < 20000; ++ms) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        });
    }
    ~HeldDecode() {
        Release();
        MainFrame::SetDecodeProgressHookForTesting(nullptr);
    }
    HeldDecode(const HeldDecode&) = delete;
    HeldDecode& operator=(const HeldDecode&) = delete;
    bool IsHeld() const { return state_->held && !state_->released; }
    void Release() { state_->released = true; }

  private:
    struct State {
        std::atomic<bool> held{false};
        std::atomic<bool> released{false};
    };
    std::shared_ptr<State> state_;
};

}  // namespace

class OpenFormatsTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    test::TempDir cache_;
    std::unique_ptr<test::ScopedEnv> cache_env_;
    std::unique_ptr<MainFrame> frame_;
    ScriptedDialogs* dialogs_ = nullptr;
    std::u16string clipboard_;

    std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
    std::u16string UPath(const std::string& name) const { return FromNativePath(Path(name)); }
    LineListView& List() { return frame_->Pane().List(); }
    std::u16string Line(size_t line) const {
        std::u16string buffer;
        return std::u16string(frame_->Document().LineText(line, buffer));
    }
    // Files with a name in the cache folder: the decoded text must leave none.
    int NamedCacheFiles() const {
        int count = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(cache_.Path())) {
            count += entry.is_regular_file() ? 1 : 0;
        }
        return count;
    }

    // Descriptors of this process open on files in the cache folder, named or not.
    int OpenCacheFiles() const {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
            count += !error && target.rfind(cache_.Path(), 0) == 0 ? 1 : 0;
        }
        return count;
    }

  private slots:
    void init() {
        cache_env_ = std::make_unique<test::ScopedEnv>("XDG_CACHE_HOME", cache_.Path());
        frame_ = test::StartFrame(clipboard_, dialogs_);
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void cleanup() {
        frame_.reset();
        ClipboardText::Instance().SetBackend(nullptr);
        cache_env_.reset();
    }

    void openCommandShowsTheTextUnderTheCompressedName() {
        dir_.Write("app.log.1.gz", Gzip("alpha\nbeta\n"));
        dialogs_->open_paths.push_back(QString::fromStdString(Path("app.log.1.gz")));
        QVERIFY(frame_->RunCommand(cmd::kOpen));
        QCOMPARE(frame_->Document().LineCount(), size_t{3});
        QVERIFY(Line(0) == u"alpha");
        QVERIFY(Line(1) == u"beta");
        QCOMPARE(frame_->windowTitle(),
                 QStringLiteral("Linesift - [app.log.1.gz (gzip, decompressed)]"));
        QVERIFY(frame_->Document().GetPath() == UPath("app.log.1.gz"));
        QVERIFY(AppSettings::Instance().recent_files.front() == UPath("app.log.1.gz"));
        QVERIFY(!frame_->IsFollowable());
        QVERIFY(dialogs_->messages.empty());
        QCOMPARE(NamedCacheFiles(), 0);
        // The compressed file is watched, not the cache file the text came from.
        QVERIFY(!frame_->Document().HasChangedOnDisk());
    }

    void aPlainFileStaysFollowableAndUntitledAsBefore() {
        dir_.Write("plain.log", "x\n");
        QVERIFY(frame_->OpenFile(UPath("plain.log"), true));
        QVERIFY(frame_->IsFollowable());
        QCOMPARE(frame_->windowTitle(), QStringLiteral("Linesift - [plain.log]"));
        QVERIFY(frame_->SourceCompression() == Compression::None);
    }

    void reloadDecodesTheCompressedFileAgain() {
        dir_.Write("r.gz", Gzip("old\n"));
        QVERIFY(frame_->OpenFile(UPath("r.gz"), true));
        QVERIFY(Line(0) == u"old");
        dir_.Write("r.gz", Gzip("new\nlines\n"));
        QVERIFY(frame_->ReloadDocument());
        QCOMPARE(frame_->Document().LineCount(), size_t{3});
        QVERIFY(Line(1) == u"lines");
        QCOMPARE(frame_->windowTitle(), QStringLiteral("Linesift - [r.gz (gzip, decompressed)]"));
    }

    void aTruncatedArchiveOffersWhatCouldBeRead_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("accepted") << int(QMessageBox::Yes);
        QTest::newRow("declined") << int(QMessageBox::No);
    }
    void aTruncatedArchiveOffersWhatCouldBeRead() {
        QFETCH(int, answer);
        // Stored without compression, so a cut keeps most of the text readable.
        // Over a megabyte of text is readable: the first lines showed while
        // it was decoded, and show no more while the question is up.
        const std::string archive = Gzip(NumberedLines(200000), 0);
        dir_.Write("cut.gz", archive.substr(0, archive.size() / 2));
        dialogs_->answers.push_back(static_cast<QMessageBox::StandardButton>(answer));
        RowNo rowsWhileAsked = -1;
        bool emptyWhileAsked = false;
        dialogs_->while_asking = [&] {
            rowsWhileAsked = List().LoadPreviewRows();
            emptyWhileAsked = frame_->Document().IsEmpty();
        };
        const bool opened = frame_->OpenFile(UPath("cut.gz"), true);
        QCOMPARE(rowsWhileAsked, RowNo{0});
        QVERIFY(emptyWhileAsked);
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        QVERIFY2(dialogs_->messages[0].contains(QStringLiteral("ends early")),
                 qPrintable(dialogs_->messages[0]));
        QVERIFY(dialogs_->messages[0].contains(QStringLiteral("could be read")));
        if (answer == QMessageBox::Yes) {
            QVERIFY(opened);
            QVERIFY(frame_->IsSourceIncomplete());
            QVERIFY(frame_->Document().LineCount() > 10000);
            QVERIFY(Line(0) == u"line 0");
            QCOMPARE(frame_->windowTitle(),
                     QStringLiteral("Linesift - [cut.gz (gzip, decompressed in part)]"));
        } else {
            QVERIFY(!opened);
            QVERIFY(frame_->Document().IsEmpty());
            // The text that was read is let go with the answer.
            QCOMPARE(OpenCacheFiles(), 0);
        }
    }

    void aCorruptArchiveWithNothingReadableIsAnError() {
        std::string archive = Gzip(NumberedLines(100));
        for (size_t i = 10; i < archive.size(); ++i) {
            archive[i] = static_cast<char>(0xff);
        }
        dir_.Write("bad.gz", archive);
        QVERIFY(!frame_->OpenFile(UPath("bad.gz"), true));
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        const QString& message = dialogs_->messages[0];
        QVERIFY2(message.startsWith(QStringLiteral("Error opening file ")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("corrupt")), qPrintable(message));
        QVERIFY(frame_->Document().IsEmpty());
        QVERIFY(AppSettings::Instance().recent_files.empty());
    }

    void escapeCancelsTheDecompression() {
        dir_.Write("big.gz", Gzip(NumberedLines(2'000'000), 1));
        QTimer::singleShot(
            0, this, [this] { QTest::keyClick(&frame_->SearchField().Edit(), Qt::Key_Escape); });
        QVERIFY(!frame_->OpenFile(UPath("big.gz"), true));
        QVERIFY(!frame_->IsLoading());
        QVERIFY(frame_->Document().IsEmpty());
        QCOMPARE(frame_->Status().MessageText(), QStringLiteral("Loading cancelled"));
        QVERIFY(dialogs_->messages.empty());
        // The window is ready for the next file at once.
        dir_.Write("next.gz", Gzip("next\n"));
        QVERIFY(frame_->OpenFile(UPath("next.gz"), true));
        QVERIFY(Line(0) == u"next");
        QCOMPARE(NamedCacheFiles(), 0);
    }

    // The decoding is held mid-way: the list already paints the first screen
    // of the text, while the document is still empty and the status says
    // how far the decoding is. Through the load of the decoded text the list
    // never goes blank, and the document ends as the whole text.
    void firstLinesShowWhileTheTextIsDecoded_data() {
        QTest::addColumn<bool>("reload");
        QTest::newRow("open") << false;
        QTest::newRow("reload") << true;
    }
    void firstLinesShowWhileTheTextIsDecoded() {
        QFETCH(bool, reload);
        const int lines = 1'000'000;  // 12 MiB of text: a dozen progress reports
        if (reload) {
            dir_.Write("big.log.gz", Gzip("old\n"));
            QVERIFY(frame_->OpenFile(UPath("big.log.gz"), true));
        }
        dir_.Write("big.log.gz", Gzip(NumberedLines(lines), 1));
        HeldDecode hold;
        RowNo rowsWhileDecoding = 0;
        QString status;
        bool emptyWhileDecoding = false;
        RowNo fewestRowsAfter = std::numeric_limits<RowNo>::max();
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const RowNo rows = List().LoadPreviewRows();
            if (hold.IsHeld() && rows > 0) {
                rowsWhileDecoding = rows;
                status = frame_->Status().MessageText();
                emptyWhileDecoding = frame_->Document().IsEmpty();
                hold.Release();
            } else if (rowsWhileDecoding > 0 && frame_->IsLoading()) {
                fewestRowsAfter = std::min(fewestRowsAfter, rows);
            }
        });
        watch.start(2);
        const bool opened =
            reload ? frame_->ReloadDocument() : frame_->OpenFile(UPath("big.log.gz"), true);
        watch.stop();
        QVERIFY(opened);
        QVERIFY(rowsWhileDecoding > 5);
        QVERIFY(rowsWhileDecoding <= List().viewport()->height() / LineListView::kRowHeight + 1);
        QVERIFY2(status.startsWith(QStringLiteral("Decompressing...")), qPrintable(status));
        QVERIFY(emptyWhileDecoding);
        QVERIFY(fewestRowsAfter > 0);
        QCOMPARE(List().LoadPreviewRows(), RowNo{0});
        QCOMPARE(frame_->Document().LineCount(), size_t{lines + 1});
        std::u16string buffer;
        for (int i = 0; i < lines; ++i) {
            const std::u16string_view line = frame_->Document().LineText(size_t(i), buffer);
            if (line != u"line " + FromNativePath(std::to_string(i))) {
                QFAIL(qPrintable(QStringLiteral("line %1 differs").arg(i)));
            }
        }
        QCOMPARE(frame_->windowTitle(),
                 QStringLiteral("Linesift - [big.log.gz (gzip, decompressed)]"));
        QCOMPARE(List().ShownRowCount(), int64_t{lines + 1});
    }

    // Cancelled while the first lines show: nothing of the text stays, in
    // the list or the document, and the window takes the next file.
    void cancellingWhileTheFirstLinesShowLeavesNothing_data() {
        QTest::addColumn<bool>("close");
        QTest::newRow("escape") << false;
        QTest::newRow("closing the window") << true;
    }
    void cancellingWhileTheFirstLinesShowLeavesNothing() {
        QFETCH(bool, close);
        dir_.Write("big.log.gz", Gzip(NumberedLines(1'000'000), 1));
        HeldDecode hold;
        bool cancelled = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!cancelled && hold.IsHeld() && List().LoadPreviewRows() > 0) {
                cancelled = true;
                if (close) {
                    frame_->close();
                } else {
                    QTest::keyClick(&frame_->SearchField().Edit(), Qt::Key_Escape);
                }
                hold.Release();
            }
        });
        watch.start(2);
        const bool opened = frame_->OpenFile(UPath("big.log.gz"), true);
        watch.stop();
        QVERIFY(cancelled);
        QVERIFY(!opened);
        QVERIFY(frame_->Document().IsEmpty());
        QCOMPARE(List().LoadPreviewRows(), RowNo{0});
        QCOMPARE(List().ShownRowCount(), int64_t{0});
        QVERIFY(!frame_->windowTitle().contains(QStringLiteral("big.log.gz")));
        QVERIFY(frame_->SourceCompression() == Compression::None);
        // The decoded text leaves the cache folder once the decoding stops.
        QTRY_COMPARE(OpenCacheFiles(), 0);
        if (close) {
            QTRY_VERIFY(!frame_->isVisible());
            return;
        }
        QCOMPARE(frame_->Status().MessageText(), QStringLiteral("Loading cancelled"));
        dir_.Write("next.gz", Gzip("next\n"));
        QVERIFY(frame_->OpenFile(UPath("next.gz"), true));
        QVERIFY(Line(0) == u"next");
    }

    // File > Open of another file while the first lines of a compressed one
    // show: the other file's lines show, none of the first one's.
    void openingAnotherFileWhileTheFirstLinesShowShowsThatFile() {
        dir_.Write("big.log.gz", Gzip(NumberedLines(1'000'000), 1));
        dir_.Write("other.log", "one\ntwo\n");
        dialogs_->open_paths.push_back(QString::fromStdString(Path("other.log")));
        HeldDecode hold;
        bool reopened = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!reopened && hold.IsHeld() && List().LoadPreviewRows() > 0) {
                reopened = true;
                hold.Release();
                frame_->RunCommand(cmd::kOpen);
            }
        });
        watch.start(2);
        const bool opened = frame_->OpenFile(UPath("big.log.gz"), true);
        watch.stop();
        QVERIFY(reopened);
        QVERIFY(!opened);
        QCOMPARE(frame_->Document().LineCount(), size_t{3});
        QVERIFY(Line(1) == u"two");
        QCOMPARE(List().LoadPreviewRows(), RowNo{0});
        QVERIFY(List().LoadPreview() == nullptr);
        QCOMPARE(List().ShownRowCount(), int64_t{3});
        QCOMPARE(frame_->windowTitle(), QStringLiteral("Linesift - [other.log]"));
    }

    void reopenWithEncodingReadsUtf16WithoutAMarkAndRemembersTheChoice() {
        // "ab\nerror c" as UTF-16LE without a byte order mark.
        dir_.Write("export.txt", std::string("a\0b\0\n\0e\0r\0r\0o\0r\0 \0c\0", 20));
        dir_.Write("other.txt", "other\n");
        QVERIFY(frame_->OpenFile(UPath("export.txt"), true));
        QVERIFY(frame_->Status().PaneText(4) != QStringLiteral("UTF-16LE"));
        QVERIFY(frame_->Action(cmd::kEncodingAuto)->isChecked());
        QVERIFY(frame_->RunCommand(cmd::kEncodingUtf16Le));
        QCOMPARE(frame_->Document().LineCount(), size_t{2});
        QVERIFY(Line(1) == u"error c");
        frame_->UpdateCommandUi();
        QCOMPARE(frame_->Status().PaneText(4), QStringLiteral("UTF-16LE"));
        QVERIFY(frame_->Action(cmd::kEncodingUtf16Le)->isChecked());
        QCOMPARE(AppSettings::Instance().recent_encodings[UPath("export.txt")],
                 std::string("UTF-16LE"));
        // Opened again from Recent Files, it is read the same way.
        QVERIFY(frame_->OpenFile(UPath("other.txt"), true));
        frame_->UpdateCommandUi();
        QCOMPARE(frame_->Status().PaneText(4), QStringLiteral("UTF-8"));
        QVERIFY(frame_->RunCommand(cmd::kRecentFirst + 1));
        QVERIFY(Line(0) == u"ab");
        // Reload keeps the choice; Auto-detect forgets it.
        QVERIFY(frame_->ReloadDocument());
        QVERIFY(Line(1) == u"error c");
        QVERIFY(frame_->RunCommand(cmd::kEncodingAuto));
        QVERIFY(AppSettings::Instance().recent_encodings.count(UPath("export.txt")) == 0);
        QVERIFY(Line(0) != u"ab");
    }

    // A large document is let go of in the background, after the load that
    // replaces it: once the window is idle no mapping of it is left behind.
    void aReopenedLargeDocumentLeavesOneMappingOfTheFile() {
        dir_.Write("big.log", NumberedLines(150000));
        QVERIFY(frame_->OpenFile(UPath("big.log"), true));
        QCOMPARE(MappingsOf(Path("big.log")), 1);
        for (int command :
             {int(cmd::kEncodingLegacy), int(cmd::kEncodingUtf8), int(cmd::kEncodingAuto)}) {
            QVERIFY(frame_->RunCommand(command));
            QCOMPARE(frame_->Document().LineCount(), size_t{150001});
            QVERIFY(Line(149999) == u"line 149999");
            QTRY_COMPARE(MappingsOf(Path("big.log")), 1);
        }
        QVERIFY(frame_->RunCommand(cmd::kNew));
        QTRY_COMPARE(MappingsOf(Path("big.log")), 0);
        // Reloaded and closed at once, the window ends with nothing mapped.
        QVERIFY(frame_->OpenFile(UPath("big.log"), true));
        QVERIFY(frame_->RunCommand(cmd::kEncodingUtf8));
        frame_.reset();
        QCOMPARE(MappingsOf(Path("big.log")), 0);
    }

    void moreOffersTheCodePagesAndReopensInTheChosenOne() {
        dir_.Write("koi.txt", "\xF0\xD2\xC9\xD7\xC5\xD4\n");  // "Привет" in KOI8-R
        QVERIFY(frame_->OpenFile(UPath("koi.txt"), true));
        dialogs_->code_pages.push_back(QStringLiteral("KOI8-R"));
        QVERIFY(frame_->RunCommand(cmd::kEncodingMore));
        QVERIFY(dialogs_->offered_code_pages.contains(QStringLiteral("windows-1252")));
        QVERIFY(!dialogs_->offered_code_pages.contains(QStringLiteral("UTF-32")));
        QVERIFY(Line(0) == u"\u041f\u0440\u0438\u0432\u0435\u0442");
        frame_->UpdateCommandUi();
        QCOMPARE(frame_->Status().PaneText(4), QStringLiteral("KOI8-R"));
        QVERIFY(frame_->Action(cmd::kEncodingMore)->isChecked());
        // Cancelling the list leaves the document as it is.
        QVERIFY(frame_->RunCommand(cmd::kEncodingMore));
        QVERIFY(Line(0) == u"\u041f\u0440\u0438\u0432\u0435\u0442");
    }

    void encodingCommandsNeedADocumentReadFromAFile() {
        frame_->UpdateCommandUi();
        QVERIFY(!frame_->Action(cmd::kEncodingUtf8)->isEnabled());
        clipboard_ = u"pasted";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        frame_->UpdateCommandUi();
        QVERIFY(!frame_->Action(cmd::kEncodingUtf16Le)->isEnabled());
        QVERIFY(!frame_->RunCommand(cmd::kEncodingUtf16Le));
    }

    void clickingTheEncodingPaneOpensTheEncodingMenu() {
        dir_.Write("a.txt", "a\n");
        QVERIFY(frame_->OpenFile(UPath("a.txt"), true));
        QMenu* shown = nullptr;
        QTimer::singleShot(100, this, [&shown] {
            shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (shown != nullptr) {
                shown->close();
            }
        });
        StatusPanes& status = frame_->Status();
        QWidget* pane = status.childAt(status.EncodingPaneRect().center());
        QVERIFY(pane != nullptr);
        QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier, pane->rect().center());
        QTRY_VERIFY(shown != nullptr);
        QCOMPARE(shown, &frame_->EncodingMenu());
    }

    void theCodePageListNarrowsAsTheUserTypes() {
        CodePageDialog dialog({QStringLiteral("ISO-8859-1"), QStringLiteral("KOI8-R"),
                               QStringLiteral("KOI8-U"), QStringLiteral("windows-1252")},
                              QStringLiteral("windows-1252"), nullptr);
        QCOMPARE(dialog.Chosen(), QStringLiteral("windows-1252"));
        QTest::keyClicks(&dialog.SearchField(), QStringLiteral("koi8"));
        QCOMPARE(dialog.Chosen(), QStringLiteral("KOI8-R"));
        QVERIFY(dialog.List().item(0)->isHidden());
        QTest::keyClicks(&dialog.SearchField(), QStringLiteral("-u"));
        QCOMPARE(dialog.Chosen(), QStringLiteral("KOI8-U"));
        QTest::keyClicks(&dialog.SearchField(), QStringLiteral("x"));
        QCOMPARE(dialog.Chosen(), QString());
    }
};

QTEST_MAIN(OpenFormatsTest)
#include "open_formats_test.moc"
