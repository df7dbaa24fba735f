#include <fcntl.h>
#include <sys/stat.h>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <thread>

#include <QLineEdit>
#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "platform/code_page.h"
#include "settings/app_settings.h"
#include "shell/about_dialog.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/search_box.h"

using namespace linesift;
using linesift::test::FakeClipboard;
using linesift::test::ScriptedDialogs;

namespace {}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<MainFrame> frame_;
    ScriptedDialogs* dialogs_ = nullptr;
    std::u16string clipboard_;

    std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
    QString QPath(const std::string& name) const { return QString::fromStdString(Path(name)); }
    LineListView& List() { return frame_->Pane().List(); }
    QLineEdit& Edit() { return frame_->SearchField().Edit(); }
    std::u16string FirstLine() const {
        std::u16string buffer;
        return std::u16string(frame_->Document().LineText(0, buffer));
    }
    void TypeQuery(const QString& text) {
        if (!frame_->SearchField().IsEditing()) {
            frame_->SearchField().Activate(false);
            Edit().end(false);
        }
        QTest::keyClicks(&Edit(), text);
    }

  private slots:
    void init() {
        frame_ = test::StartFrame(clipboard_, dialogs_);
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void cleanup() {
        frame_.reset();
        ClipboardText::Instance().SetBackend(nullptr);
    }

    void typingFiltersTheOpenFile() {
        dir_.Write("log.txt", "an error\nfine\nerror two\n");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        QCOMPARE(List().ShownRowCount(), int64_t{4});
        TypeQuery(QStringLiteral("error"));
        QCOMPARE(List().ShownRowCount(), int64_t{2});
        frame_->UpdateCommandUi();
        QCOMPARE(frame_->Status().PaneText(2), QStringLiteral("Fil  2"));
        QCOMPARE(frame_->Status().PaneText(1), QStringLiteral("All  4"));
        QTest::keyClick(&Edit(), Qt::Key_Escape);
        QCOMPARE(List().ShownRowCount(), int64_t{4});
    }

    // The load is held on its thread after its first progress report, with
    // lines indexed: the list paints them while "Loading..." shows.
    void firstLinesShowWhileTheFileLoads() {
        std::string text;
        for (int i = 0; text.size() < (40u << 20); ++i) {
            text += "line " + std::to_string(i) + " of the log being loaded\n";
        }
        dir_.Write("big.log", text);
        SetParallelLoadThresholdForTesting(UINT64_MAX);  // progress comes from one thread
        std::atomic<bool> held{false};
        std::atomic<bool> release{false};
        MainFrame::SetLoadProgressHookForTesting([&] {
            if (!held.exchange(true)) {
                for (int ms = 0; !release && ms < 20000; ++ms) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        });
        RowNo previewRows = 0;
        QString status;
        QImage shot;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (held && List().LoadPreviewRows() > 0) {
                previewRows = List().LoadPreviewRows();
                status = frame_->Status().MessageText();
                shot = List().viewport()->grab().toImage();
                release = true;
            }
        });
        watch.start(5);
        const bool opened = frame_->OpenFile(FromNativePath(Path("big.log")), true);
        release = true;
        watch.stop();
        MainFrame::SetLoadProgressHookForTesting(nullptr);
        SetParallelLoadThresholdForTesting(0);
        QVERIFY(opened);
        // A full first screen of the 500-pixel-high window, nothing beyond it.
        QVERIFY(previewRows > 5);
        QVERIFY(previewRows <= List().viewport()->height() / LineListView::kRowHeight + 1);
        QVERIFY2(status.startsWith(QStringLiteral("Loading...")), qPrintable(status));
        // Text was painted in the first row and none below the preview.
        auto inkedPixels = [&](int row) {
            int inked = 0;
            const QRgb background = shot.pixel(shot.width() - 1, row * LineListView::kRowHeight);
            for (int y = row * LineListView::kRowHeight + 2;
                 y < (row + 1) * LineListView::kRowHeight - 2 && y < shot.height(); ++y) {
                for (int x = 0; x < shot.width() / 2; ++x) {
                    inked += shot.pixel(x, y) != background ? 1 : 0;
                }
            }
            return inked;
        };
        QVERIFY(!shot.isNull());
        QVERIFY(inkedPixels(0) > 0);
        const int fullRows =
            std::min(static_cast<int>(previewRows), shot.height() / LineListView::kRowHeight);
        QVERIFY(inkedPixels(fullRows - 1) > 0);
        // Once loaded, the list shows the document as always.
        QCOMPARE(List().LoadPreviewRows(), RowNo{0});
        QCOMPARE(List().ShownRowCount(), static_cast<RowNo>(frame_->Document().LineCount()));
        QCOMPARE(FirstLine(), std::u16string(u"line 0 of the log being loaded"));
    }

    void failedOpenShowsTheErrorAndKeepsTheStatus() {
        QVERIFY(!frame_->OpenFile(FromNativePath(Path("missing.log")), true));
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        QCOMPARE(dialogs_->messages[0],
                 QStringLiteral("Error opening file %1!").arg(QPath("missing.log")));
        QCOMPARE(frame_->Status().MessageText(), QStringLiteral("Ready"));
        QVERIFY(frame_->Document().IsEmpty());
    }

    void openCommandAsksForAPathAndAddsItToRecentFiles() {
        dir_.Write("a.txt", "a\n");
        dialogs_->open_paths.push_back(QPath("a.txt"));
        QVERIFY(frame_->RunCommand(cmd::kOpen));
        QCOMPARE(frame_->Document().LineCount(), size_t{2});
        QVERIFY(AppSettings::Instance().recent_files.front() == FromNativePath(Path("a.txt")));
        QVERIFY(frame_->windowTitle() == QStringLiteral("Linesift - [a.txt]"));
    }

    void recentFilesAreBoundedAndEscapeAmpersands() {
        for (int i = 0; i < 10; ++i) {
            frame_->AddRecentFile(FromNativePath(Path("f&" + std::to_string(i))));
        }
        QCOMPARE(AppSettings::Instance().recent_files.size(), size_t{8});
        QList<QAction*> items = frame_->RecentFilesMenu().actions();
        QCOMPARE(items.size(), 8 + 2);
        QCOMPARE(items[0]->text(), QStringLiteral("&1  %1").arg(QPath("f&&9")));
        frame_->AddRecentFile(FromNativePath(Path("f&5")));
        QVERIFY(AppSettings::Instance().recent_files.front() == FromNativePath(Path("f&5")));
        QCOMPARE(AppSettings::Instance().recent_files.size(), size_t{8});
        QVERIFY(frame_->RunCommand(cmd::kClearRecent));
        QCOMPARE(frame_->RecentFilesMenu().actions().size(), 1);
        QCOMPARE(frame_->RecentFilesMenu().actions()[0]->text(), QStringLiteral("(Empty)"));
        QVERIFY(!frame_->RecentFilesMenu().actions()[0]->isEnabled());
    }

    void openRecentOpensTheChosenEntryEvenWhenTheQuestionSavesAnotherFile() {
        dir_.Write("one.txt", "1\n");
        dir_.Write("two.txt", "2\n");
        frame_->AddRecentFile(FromNativePath(Path("two.txt")));
        frame_->AddRecentFile(FromNativePath(Path("one.txt")));
        clipboard_ = u"pasted";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        // Saving the pasted text puts saved.txt at the front of the list first.
        dialogs_->answers.push_back(QMessageBox::Yes);
        dialogs_->save_paths.push_back(QPath("saved.txt"));
        QVERIFY(frame_->RunCommand(cmd::kRecentFirst + 1));
        QVERIFY(frame_->Document().GetPath() == FromNativePath(Path("two.txt")));
        QVERIFY(AppSettings::Instance().recent_files.front() == FromNativePath(Path("two.txt")));
    }

    void aFailingRecentEntryIsRemoved() {
        frame_->AddRecentFile(FromNativePath(Path("gone.txt")));
        QVERIFY(frame_->RunCommand(cmd::kRecentFirst));
        QVERIFY(AppSettings::Instance().recent_files.empty());
        QCOMPARE(dialogs_->messages.size(), size_t{1});
    }

    void saveAsAppendsTxtAndAsksBeforeReplacingTheResultingFile() {
        clipboard_ = u"x\ny";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        dialogs_->save_paths.push_back(QPath("report"));
        QVERIFY(frame_->RunCommand(cmd::kSaveAs));
        QCOMPARE(test::ReadFileBytes(Path("report.txt")), std::string("x\r\ny"));
        QVERIFY(!frame_->Document().IsModified());
        // The name with ".txt" added exists now: the user is asked.
        dialogs_->save_paths.push_back(QPath("report"));
        dialogs_->answers.push_back(QMessageBox::No);
        QVERIFY(frame_->RunCommand(cmd::kSaveAs));
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        QVERIFY(dialogs_->messages[0].contains(QStringLiteral("already exists")));
        dialogs_->save_paths.push_back(QPath("REPORT.TXT"));
        QVERIFY(frame_->RunCommand(cmd::kSaveAs));
        QVERIFY(QFileInfo::exists(QPath("REPORT.TXT")));
    }

    void cancellingSaveAsInTheQuestionStopsTheAction() {
        clipboard_ = u"keep me";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        dialogs_->answers.push_back(QMessageBox::Yes);  // save changes? yes, then cancel the dialog
        QVERIFY(frame_->RunCommand(cmd::kNew));
        QCOMPARE(frame_->Document().LineCount(), size_t{1});
        QVERIFY(frame_->Document().IsModified());
        dialogs_->answers.push_back(QMessageBox::Yes);
        QVERIFY(!frame_->close());
        QVERIFY(frame_->isVisible());
    }

    void anImportedDocumentAlwaysSavesThroughSaveAs() {
        dir_.Write("Clipboard", "must stay");
        QDir::setCurrent(QString::fromStdString(dir_.Path()));
        clipboard_ = u"new text";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        QVERIFY(frame_->windowTitle() == QStringLiteral("Linesift - [Clipboard *]"));
        QVERIFY(frame_->RunCommand(cmd::kSave));  // the dialog is cancelled
        QCOMPARE(dialogs_->save_initial_names.size(), size_t{1});
        QCOMPARE(test::ReadFileBytes(Path("Clipboard")), std::string("must stay"));
    }

    void importAsksButPasteDoesNot() {
        clipboard_ = u"first";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        clipboard_ = u"second";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        QVERIFY(dialogs_->messages.empty());
        QVERIFY(FirstLine() == u"second");
        dialogs_->answers.push_back(QMessageBox::Cancel);
        QVERIFY(frame_->RunCommand(cmd::kImportClipboard));
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        QCOMPARE(dialogs_->messages[0],
                 QStringLiteral("Do you want to save changes to \nClipboard?"));
        QVERIFY(FirstLine() == u"second");
    }

    void exportsWriteWrappedLinesOnceAndSkipHiddenOnes() {
        std::string longLine(400, 'w');
        dir_.Write("log.txt", "error " + longLine + "\nok\nerror b\n");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        QVERIFY(frame_->RunCommand(cmd::kWordWrap));
        QVERIFY(!frame_->RunCommand(cmd::kExportFilterResults));  // no query: disabled
        TypeQuery(QStringLiteral("error"));
        QVERIFY(List().ShownRowCount() > 2);
        dialogs_->save_paths.push_back(QPath("results"));
        QVERIFY(frame_->RunCommand(cmd::kExportFilterResults));
        QCOMPARE(dialogs_->save_initial_names.back(), QStringLiteral("Filter Results"));
        QCOMPARE(test::ReadFileBytes(Path("results.txt")), "error " + longLine + "\r\nerror b\r\n");
        List().SelectAll();
        TypeQuery(QStringLiteral("x"));  // "errorx" hides every line
        Edit().clear();
        TypeQuery(QStringLiteral("b"));
        dialogs_->save_paths.push_back(QPath("selected.txt"));
        QVERIFY(frame_->RunCommand(cmd::kExportSelectedLines));
        QCOMPARE(test::ReadFileBytes(Path("selected.txt")), std::string("error b\r\n"));
    }

    void filterModeAppliesAtOnce() {
        dir_.Write("log.txt", "a1\nb\na2");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        TypeQuery(QStringLiteral("a"));
        QCOMPARE(List().ShownRowCount(), int64_t{2});
        QVERIFY(frame_->RunCommand(cmd::kHideMatched));
        QCOMPARE(List().ShownRowCount(), int64_t{1});
        QVERIFY(frame_->RunCommand(cmd::kShowAll));
        QCOMPARE(List().ShownRowCount(), int64_t{3});
        QVERIFY(frame_->RunCommand(cmd::kHideUnmatched));
        QCOMPARE(List().ShownRowCount(), int64_t{2});
        QVERIFY(frame_->RunCommand(cmd::kMatchCase));
        QCOMPARE(List().ShownRowCount(), int64_t{2});
        QVERIFY(frame_->RunCommand(cmd::kSmartQuery));
        frame_->UpdateCommandUi();
        QVERIFY(!frame_->Action(cmd::kMatchWholeWord)->isEnabled());
    }

    void copyReportsTheCountInTheStatusBar() {
        dir_.Write("log.txt", "a\nb\nc");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        QVERIFY(frame_->RunCommand(cmd::kSelectAll));
        QVERIFY(frame_->RunCommand(cmd::kCopy));
        QVERIFY(clipboard_ == u"a\nb\nc");
        QCOMPARE(frame_->Status().MessageText(), QStringLiteral("3 lines copied to clipboard"));
    }

    // Copy asks how much memory is left before it starts: a text that cannot
    // fit is refused with a message, and the clipboard keeps what it had.
    void copyRefusesATextLargerThanTheMemoryLeft_data() {
        QTest::addColumn<qint64>("room");  // bytes; -1 when it cannot be known
        QTest::addColumn<bool>("copied");
        QTest::newRow("1 MB left: refused") << (qint64{1} << 20) << false;
        QTest::newRow("64 MB left: copied") << (qint64{64} << 20) << true;
        QTest::newRow("unknown: copied") << qint64{-1} << true;
    }
    void copyRefusesATextLargerThanTheMemoryLeft() {
        QFETCH(qint64, room);
        QFETCH(bool, copied);
        // Three lines of 512 Ki characters: 3 MB as UTF-16 text.
        const std::string line(512 * 1024, 'x');
        dir_.Write("big.txt", line + "\n" + line + "\n" + line);
        QVERIFY(frame_->OpenFile(FromNativePath(Path("big.txt")), true));
        List().SetMemoryRoomForTesting([room]() -> std::optional<uint64_t> {
            return room < 0 ? std::nullopt : std::optional<uint64_t>(room);
        });
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        clipboard_ = u"kept";
        List().setFocus();
        QTest::keyClick(&List(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(List().SelectedLineCount(), int64_t{3});
        QTest::keyClick(&List(), Qt::Key_C, Qt::ControlModifier);
        QTRY_VERIFY(!List().IsCopying());
        if (copied) {
            QCOMPARE(clipboard_.size(), 3 * line.size() + 2);
            QCOMPARE(frame_->Status().MessageText(), QStringLiteral("3 lines copied to clipboard"));
            return;
        }
        QVERIFY(clipboard_ == u"kept");
        QCOMPARE(frame_->Status().MessageText(),
                 QStringLiteral("Not enough memory to copy 3 lines (3 MB needed, 1 MB free): "
                                "export them instead"));
    }

    void reloadAsksOnlyWhenTheFileChanged() {
        std::string path = dir_.Write("log.txt", "old\n");
        QVERIFY(frame_->OpenFile(FromNativePath(path), true));
        frame_->CheckOutsideChange();
        QVERIFY(dialogs_->messages.empty());
        dir_.Write("log.txt", "new\nlines\n");
        struct timespec times[2] = {{0, UTIME_OMIT}, {1000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        dialogs_->answers.push_back(QMessageBox::No);
        frame_->CheckOutsideChange();
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        dialogs_->answers.push_back(QMessageBox::Yes);
        frame_->CheckOutsideChange();
        QCOMPARE(frame_->Document().LineCount(), size_t{3});
    }

    void dropOpensTheFirstFileWithoutAsking() {
        dir_.Write("d1.txt", "one");
        dir_.Write("d2.txt", "two");
        clipboard_ = u"modified";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QPath("d1.txt")), QUrl::fromLocalFile(QPath("d2.txt")),
                      QUrl::fromLocalFile(QPath("d3.txt"))});
        QWidget* target = &List();  // a drop lands on the list and reaches the window
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QVERIFY(frame_->Document().GetPath() == FromNativePath(Path("d1.txt")));
        QVERIFY(dialogs_->messages.empty());
    }

    void titleShowsNamesWithPercentSignsAsTheyAre() {
        std::string name = "log %1 %20.txt";
        dir_.Write(name, "x");
        QVERIFY(frame_->OpenFile(FromNativePath(Path(name)), true));
        QCOMPARE(frame_->windowTitle(), QStringLiteral("Linesift - [log %1 %20.txt]"));
    }

    void placementIsRecordedAndAnOffScreenRectangleIsNotUsed() {
        AppSettings& s = AppSettings::Instance();
        frame_->move(120, 130);
        QTRY_VERIFY(frame_->geometry().left() >= 120);
        int left = frame_->geometry().left();
        QVERIFY(frame_->close());
        QCOMPARE(s.frame_rect.left, left);
        s.debut = false;
        s.frame_rect = Rect32{.left = -30000, .top = -30000, .right = -29000, .bottom = -29500};
        frame_ = std::make_unique<MainFrame>(std::make_unique<ScriptedDialogs>());
        frame_->ShowFirstTime();
        QVERIFY(frame_->geometry().left() > -20000);
    }

    void settingsAreWrittenOnClose() {
        AppSettings::Instance().match_case = true;
        QVERIFY(AppSettings::Instance().SaveSettings());
        AppSettings::Instance() = AppSettings{};
        QVERIFY(AppSettings::Instance().LoadSettings());
        QVERIFY(AppSettings::Instance().match_case);
    }

    void tabMovesBetweenTheSearchBoxAndTheList() {
        dir_.Write("log.txt", "a\nb");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        frame_->activateWindow();
        frame_->SearchField().Activate(false);
        QTest::keyClick(&Edit(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&List()));
        QTest::keyClick(&List(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&Edit()));
    }

    void shortcutsReachTheWindowWhileTypingExceptEditingKeys() {
        dir_.Write("k.txt", "one\ntwo");
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        TypeQuery(QStringLiteral("o"));
        dialogs_->open_paths.push_back(QPath("k.txt"));
        QTest::keyClick(&Edit(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(frame_->Document().GetPath() == FromNativePath(Path("k.txt")));
        QTest::keyClick(&Edit(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(List().SelectedLineCount(), int64_t{2});
        clipboard_.clear();
        TypeQuery(QStringLiteral("t"));
        Edit().selectAll();
        QTest::keyClick(&Edit(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(clipboard_.empty());  // the edit's own copy of its selected text
    }

    void aboutShowsTheVersion() {
        QVERIFY(VersionText().startsWith(QStringLiteral("Version ")));
        QVERIFY(VersionText().contains(QStringLiteral("  (Build ")));
    }

    // The menus as text: items by their text, "|" for a separator, a submenu in [].
    static QString MenuText(const QMenu& menu) {
        QStringList items;
        for (QAction* a : menu.actions()) {
            items << (a->isSeparator() ? QStringLiteral("|")
                      : a->menu()
                          ? a->text() + QLatin1Char('[') + MenuText(*a->menu()) + QLatin1Char(']')
                          : a->text());
        }
        return items.join(QLatin1Char(','));
    }

    void menusKeepTheirOrderAndSeparators() {
        QStringList menus;
        for (QAction* a : frame_->menuBar()->actions()) {
            menus << a->text() + QLatin1Char(':') + MenuText(*a->menu());
        }
        const QString legacy = QString::fromStdString(LegacyCodePageName());
        const QStringList expected{
            "&File:&New,&Open...,Reopen with &Encoding[&Auto-detect,|,UTF-&8,UTF-16&LE,"
            "UTF-16&BE,&Legacy Code Page (" +
                legacy +
                "),|,&More...],|,&Save,Save &As...,|,&Import[&Clipboard],"
                "&Export[&Filter Results...,&Selected Lines...],|,&Recent Files[(Empty)],|,E&xit",
            "&Edit:&Copy,&Paste,|,Select &All,Select &Inverse,|,&Deselect,|,&Go to Line...",
            "&Search:&Find...,Find &Next,Find &Previous,|,&Auto Suggest,Clear &History,|,"
            "Nai&ve Query,S&mart Query,&Regex Query,|,Match &Case,Match &Whole Word Only,|,"
            "&Search As You Type,|,Conte&xt Lines[&None,&1 Line,&2 Lines,&3 Lines,&5 Lines,"
            "1&0 Lines]",
            "&View:&Toolbar,&Status Bar,|,&Word Wrap,&Line Numbers,|,Hide &Unmatched Lines,"
            "Hide &Matched Lines,Show &All Lines,|,Show in &Full File,|,&Follow File,|,"
            "T&heme[&System,&Light,&Dark]",
            "&Tools:&Regex Tester,&Highlighters...,|,&Options...",
            "&Help:&Contents...,&Search...,|,Linesift &Website,Check for &Updates,"
            "&Feedback and Support,|,&About Linesift",
        };
        QCOMPARE(menus, expected);
        frame_->AddRecentFile(u"/tmp/a.log");
        QCOMPARE(MenuText(frame_->RecentFilesMenu()),
                 QStringLiteral("&1  /tmp/a.log,|,Clear Recent"));
    }

    void listContextMenuEnablesWhatCanBeDoneThere() {
        auto states = [this] {
            QMenu menu;
            frame_->FillListContextMenu(menu);
            QString text;
            for (QAction* a : menu.actions()) {
                text += a->isSeparator() ? QStringLiteral("|")
                        : a->isEnabled() ? QStringLiteral("1")
                                         : QStringLiteral("0");
            }
            return text;
        };
        QCOMPARE(states(), QStringLiteral("00|00|0|0"));  // empty document, empty clipboard
        QMenu menu;
        frame_->FillListContextMenu(menu);
        QCOMPARE(menu.actions().at(0)->text(), QStringLiteral("&Copy\tCtrl+C"));
        QCOMPARE(menu.actions().at(3)->data().toInt(), int(cmd::kSelectAll));
        QCOMPARE(menu.actions().at(6)->text(), QStringLiteral("&Deselect\tCtrl+D"));

        dir_.Write("menu.log", "a\nb");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("menu.log")), true));
        clipboard_ = u"text";
        QCOMPARE(states(), QStringLiteral("01|11|0|1"));
        List().SelectAll();
        QCOMPARE(states(), QStringLiteral("11|11|1|1"));
        // Filtered down to no rows: the list's menu has nothing to select,
        // while the Edit menu still selects in the document.
        List().Deselect();
        TypeQuery(QStringLiteral("nothing like it"));
        QCOMPARE(List().ShownRowCount(), int64_t{0});
        QCOMPARE(states(), QStringLiteral("01|00|0|1"));
        frame_->UpdateCommandUi();
        QVERIFY(frame_->Action(cmd::kSelectAll)->isEnabled());
    }

    void screenshot() {
        std::string text;
        for (int i = 0; i < 40; ++i) {
            text += "2026-12-08 12:00:" + std::to_string(10 + i) +
                    (i % 3 ? " INFO  request served" : " ERROR disk full") + "\n";
        }
        dir_.Write("shot.log", text);
        QVERIFY(frame_->OpenFile(FromNativePath(Path("shot.log")), true));
        TypeQuery(QStringLiteral("error"));
        QVERIFY(frame_->RunCommand(cmd::kShowAll));
        TypeQuery(QStringLiteral(" "));
        QTest::keyClick(&Edit(), Qt::Key_Backspace);
        List().SelectAll();
        frame_->UpdateCommandUi();
        QString dir = QString::fromLocal8Bit(qgetenv("LINESIFT_SHOT_DIR"));
        if (!dir.isEmpty()) {
            frame_->grab().save(dir + QStringLiteral("/main_frame.png"));
        }
    }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
