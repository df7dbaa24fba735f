// Long work off the window's thread, through the real window: the filter's
// rows that arrive in steps end as one pass would leave them, a new
// keystroke replaces the running pass, Escape stops it without leaving a
// partial result that looks final; a file loads, and a save or an export is
// written, while the window answers; Escape stops a copy in steps, a save
// and an export, leaving the clipboard and the file as they were, and word
// wrap's measuring.
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "document/text_document.h"
#include "frame_test_doubles.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/filter_worker.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/search_box.h"

using namespace linesift;

namespace {

constexpr size_t kLines = 300000;

// Line i holds "error" when i is a multiple of 7.
bool HasError(size_t line) {
    return line % 7 == 0;
}

std::string Document() {
    std::string text;
    text.reserve(kLines * 20);
    for (size_t i = 0; i < kLines; ++i) {
        text += "line " + std::to_string(i) + (HasError(i) ? " error\n" : " ok\n");
    }
    return text;
}

// Answers every save dialog with the next path; every question with Yes.
class SavePathDialogs : public FrameDialogs {
  public:
    explicit SavePathDialogs(std::vector<QString>* paths) : paths_(paths) {}
    QString AskOpenPath(QWidget*) override { return {}; }
    QString AskSavePath(QWidget*, const QString&) override {
        if (paths_->empty()) {
            return {};
        }
        QString path = paths_->front();
        paths_->erase(paths_->begin());
        return path;
    }
    QMessageBox::StandardButton ShowMessage(QWidget*, const QString&, QMessageBox::StandardButtons,
                                            QMessageBox::Icon) override {
        return QMessageBox::Yes;
    }

  private:
    std::vector<QString>* paths_;
};

size_t CountLines(const std::string& bytes) {
    return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

}  // namespace

class BackgroundFilterTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::string path_;
    std::unique_ptr<MainFrame> frame_;
    std::vector<QString> save_paths_;
    std::u16string clipboard_;

    QueryListPane& Pane() { return frame_->Pane(); }
    LineListView& List() { return Pane().List(); }
    QLineEdit& Edit() { return frame_->SearchField().Edit(); }

    // The document lines of the rows shown, in order.
    std::vector<size_t> ShownLines() {
        std::vector<size_t> lines;
        for (int64_t i = 0; i < List().ShownRowCount(); ++i) {
            const std::optional<TextRow> row = List().ShownRow(i);
            if (row->subRow == 0) {
                lines.push_back(row->line);
            }
        }
        return lines;
    }
    void WaitForPass() { QTRY_VERIFY_WITH_TIMEOUT(!Pane().IsFiltering(), 30000); }

  private slots:
    void initTestCase() { path_ = dir_.Write("big.log", Document()); }
    void init() {
        AppSettings::Instance() = AppSettings{};
        ClipboardText::Instance().SetBackend(std::make_unique<test::FakeClipboard>(&clipboard_));
        frame_ = std::make_unique<MainFrame>(std::make_unique<SavePathDialogs>(&save_paths_));
        frame_->resize(700, 500);
        frame_->ShowFirstTime();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        QVERIFY(frame_->OpenFile(FromNativePath(path_), false));
        frame_->SearchField().Activate(false);
    }
    void cleanup() { frame_.reset(); }

    void stepwiseRowsEndAsOnePass_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("wrap");
        QTest::newRow("hide unmatched") << int(FilterMode::HideUnmatched) << false;
        QTest::newRow("hide matched") << int(FilterMode::HideMatched) << false;
        QTest::newRow("show all") << int(FilterMode::ShowAll) << false;
        QTest::newRow("hide unmatched, wrapped") << int(FilterMode::HideUnmatched) << true;
    }
    void stepwiseRowsEndAsOnePass() {
        QFETCH(int, mode);
        QFETCH(bool, wrap);
        AppSettings::Instance().filter_mode = mode;
        List().SetWordWrap(wrap, true, false);
        QTest::keyClicks(&Edit(), QStringLiteral("error"));
        QVERIFY(Pane().IsFiltering());
        WaitForPass();
        std::vector<size_t> expected;
        size_t matched = 0;
        for (size_t i = 0; i < frame_->Document().LineCount(); ++i) {
            const bool match = i < kLines && HasError(i);
            matched += match;
            if (FilterMode(mode) == FilterMode::ShowAll ||
                match == (FilterMode(mode) == FilterMode::HideUnmatched)) {
                expected.push_back(i);
            }
        }
        QCOMPARE(ShownLines(), expected);
        QCOMPARE(List().FilteredLineCount(), int64_t(expected.size()));
        QCOMPARE(List().PartialFilterLines(), int64_t{-1});
        size_t marked = 0;
        for (int64_t i = 0; i < List().ShownRowCount(); ++i) {
            marked += List().ShownRow(i)->matched != 0;
        }
        QCOMPARE(marked, FilterMode(mode) == FilterMode::HideMatched ? size_t{0} : matched);
        QVERIFY(!frame_->Status().MessageText().startsWith(QStringLiteral("Filtering")));
    }

    // Rows arriving in steps with context lines show those lines and the
    // separators as they come, and end equal to one pass; a list the user
    // scrolled and clicked in meanwhile stays where it is when the pass ends.
    void stepwiseContextRowsEndAsOnePassAndKeepTheView_data() {
        QTest::addColumn<int>("context");
        QTest::addColumn<bool>("wrap");
        QTest::newRow("no context") << 0 << false;
        QTest::newRow("1 line of context") << 1 << false;
        QTest::newRow("3 lines of context") << 3 << false;
        QTest::newRow("3 lines of context, wrapped") << 3 << true;
    }
    void stepwiseContextRowsEndAsOnePassAndKeepTheView() {
        QFETCH(int, context);
        QFETCH(bool, wrap);
        const auto around = static_cast<size_t>(context);
        AppSettings::Instance().context_lines = context;
        List().SetWordWrap(wrap, true, false);
        // The lines a single pass shows: each match with its context.
        auto shownByOnePass = [&](size_t lines) {
            std::vector<size_t> shown;
            for (size_t i = 0; i < lines; ++i) {
                const size_t lo = i - std::min(i, around);
                for (size_t j = lo; j <= i + around && j < kLines; ++j) {
                    if (HasError(j)) {
                        shown.push_back(i);
                        break;
                    }
                }
            }
            return shown;
        };
        auto* worker = Pane().findChild<FilterWorker*>();
        QVERIFY(worker != nullptr);
        int chunks = 0;
        bool contextWhileRunning = false;
        int64_t scroll = -1;
        int64_t topLine = -1;
        int64_t clickedLine = -1;
        // Connected after the pane: it runs once the list has taken the chunk.
        connect(worker, &FilterWorker::chunkReady, this, [&](size_t, size_t end, size_t) {
            ++chunks;
            if (scroll < 0 && List().ShownRowCount() > 400) {
                // The user scrolls down and clicks a row while the pass runs.
                List().verticalScrollBar()->setValue(150 * LineListView::kRowHeight);
                QTest::mouseClick(List().viewport(), Qt::LeftButton, {},
                                  QPoint(60, 3 * LineListView::kRowHeight + 5));
                scroll = List().verticalScrollBar()->value();
                topLine = List().ShownRow(150)->line;
                clickedLine = List().ShownRow(153)->line;
                QVERIFY(List().IsLineSelected(clickedLine));
            }
            const std::vector<size_t> rows = ShownLines();
            // The rows whose context is decided are those of one pass.
            std::vector<size_t> decided = shownByOnePass(end > around ? end - around : 0);
            QVERIFY(rows.size() >= decided.size());
            QVERIFY(std::equal(decided.begin(), decided.end(), rows.begin()));
            for (int64_t i = 0; i < List().ShownRowCount() && i < 50; ++i) {
                contextWhileRunning |= List().ShownRow(i)->matched == 0;
            }
        });
        QTest::keyClicks(&Edit(), QStringLiteral("error"));
        QVERIFY(Pane().IsFiltering());
        WaitForPass();
        QVERIFY2(chunks >= 2, "the pass came in one chunk");
        QVERIFY(scroll > 0);
        // The view the user looked at stays.
        QCOMPARE(int64_t(List().verticalScrollBar()->value()), scroll);
        QCOMPARE(List().ShownRow(150)->line, topLine);
        QVERIFY(List().CaretShown() >= 0);
        QCOMPARE(List().Lines().LineAt(List().CaretShown()), clickedLine);
        QCOMPARE(List().SelectedLineCount(), int64_t{1});
        QCOMPARE(contextWhileRunning, context > 0);
        QCOMPARE(ShownLines(), shownByOnePass(kLines + 1));
        QCOMPARE(List().Lines().HasContext(), context > 0);
    }

    void newKeystrokeReplacesTheRunningPass() {
        QTest::keyClicks(&Edit(), QStringLiteral("ok"));
        QVERIFY(Pane().IsFiltering());
        QTest::keyClick(&Edit(), Qt::Key_Backspace);
        QTest::keyClick(&Edit(), Qt::Key_Backspace);
        QTest::keyClicks(&Edit(), QStringLiteral("error"));
        WaitForPass();
        const std::vector<size_t> shown = ShownLines();
        QCOMPARE(shown.size(), (kLines + 6) / 7);
        for (size_t line : shown) {
            QVERIFY(HasError(line));
        }
    }

    void escapeStopsThePassAndSaysTheListIsPartial_data() {
        QTest::addColumn<bool>("inList");
        QTest::newRow("in the search box") << false;
        QTest::newRow("in the list") << true;
    }
    void escapeStopsThePassAndSaysTheListIsPartial() {
        QFETCH(bool, inList);
        QTest::keyClicks(&Edit(), QStringLiteral("error"));
        QVERIFY(Pane().IsFiltering());
        QWidget* target = &Edit();
        if (inList) {
            List().setFocus();
            target = &List();
        }
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!Pane().IsFiltering());
        QCOMPARE(Edit().text(), QStringLiteral("error"));
        const int64_t done = List().PartialFilterLines();
        QVERIFY(done >= 0);
        QVERIFY(done < int64_t(frame_->Document().LineCount()));
        const std::vector<size_t> before = ShownLines();
        // Chunks and the end of the stopped pass never arrive.
        QTest::qWait(300);
        QCOMPARE(ShownLines(), before);
        for (size_t line : before) {
            QVERIFY(int64_t(line) < done && HasError(line));
        }
        QVERIFY(frame_->Status().MessageText().startsWith(QStringLiteral("Filtering cancelled")));
        // Escape again, with no pass running, empties the search box as before.
        QTest::keyClick(&Edit(), Qt::Key_Escape);
        QCOMPARE(Edit().text(), QString());
        QCOMPARE(List().ShownRowCount(), int64_t(frame_->Document().LineCount()));
        QCOMPARE(frame_->Status().MessageText(), QStringLiteral("Ready"));
    }

    void newDocumentWhileFilteringDropsThePass() {
        QTest::keyClicks(&Edit(), QStringLiteral("error"));
        QVERIFY(Pane().IsFiltering());
        QVERIFY(frame_->RunCommand(cmd::kNew));
        QVERIFY(!Pane().IsFiltering());
        QTest::qWait(200);
        QCOMPARE(List().ShownRowCount(), int64_t{0});
    }

    void windowAnswersWhileAFileLoads() {
        test::TempDir dir;
        const std::string small = dir.Write("small.log", "old one\nold two\n");
        QVERIFY(frame_->OpenFile(FromNativePath(small), false));
        QTimer probe;
        int ticks = 0;
        connect(&probe, &QTimer::timeout, [&] { ++ticks; });
        probe.start(1);
        int64_t rowsWhileLoading = -1;
        bool emptyWhileLoading = false;
        QTimer::singleShot(0, this, [&] {
            rowsWhileLoading = List().ShownRowCount();
            emptyWhileLoading = frame_->Document().IsEmpty() && frame_->IsLoading();
        });
        QVERIFY(frame_->OpenFile(FromNativePath(path_), false));
        QVERIFY(ticks > 0);
        QCOMPARE(rowsWhileLoading, int64_t{0});
        QVERIFY(emptyWhileLoading);
        QCOMPARE(List().ShownRowCount(), int64_t(kLines + 1));
    }

    void escapeCancelsALoad() {
        frame_->RunCommand(cmd::kNew);
        QTimer::singleShot(0, this, [&] { QTest::keyClick(&Edit(), Qt::Key_Escape); });
        QVERIFY(!frame_->OpenFile(FromNativePath(path_), false));
        QVERIFY(!frame_->IsLoading());
        QVERIFY(frame_->Document().IsEmpty());
        QCOMPARE(List().ShownRowCount(), int64_t{0});
        QCOMPARE(frame_->Status().MessageText(), QStringLiteral("Loading cancelled"));
        // The next open loads as usual.
        QVERIFY(frame_->OpenFile(FromNativePath(path_), false));
        QCOMPARE(frame_->Document().LineCount(), kLines + 1);
    }

    void exportAndSaveAsRunWhileTheWindowAnswers_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<size_t>("lines");
        QTest::newRow("export filter results")
            << int(cmd::kExportFilterResults) << (kLines + 6) / 7;
        QTest::newRow("save as") << int(cmd::kSaveAs) << kLines;
    }
    void exportAndSaveAsRunWhileTheWindowAnswers() {
        QFETCH(int, command);
        QFETCH(size_t, lines);
        QTest::keyClicks(&Edit(), QStringLiteral("error"));
        WaitForPass();
        test::TempDir out;
        const QString path = QString::fromStdString(out.Path() + "/written.txt");
        save_paths_ = {path};
        QTimer probe;
        int ticks = 0;
        connect(&probe, &QTimer::timeout, [&] { ++ticks; });
        probe.start(1);
        QVERIFY(frame_->RunCommand(command));
        QVERIFY(ticks > 0);
        QVERIFY(!frame_->IsWriting());
        QCOMPARE(CountLines(test::ReadFileBytes(path.toStdString())), lines);
    }

    void escapeStopsACopyAndKeepsTheClipboard_data() {
        QTest::addColumn<bool>("inList");
        QTest::newRow("in the search box") << false;
        QTest::newRow("in the list") << true;
    }
    void escapeStopsACopyAndKeepsTheClipboard() {
        QFETCH(bool, inList);
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        QTest::keyClicks(&Edit(), QStringLiteral("line"));
        WaitForPass();
        clipboard_ = u"kept";
        // Steps of a thousand lines: the copy cannot end in its first step.
        List().SetStepLinesForTesting(1000);
        List().setFocus();
        QTest::keyClick(&List(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(List().SelectedLineCount(), int64_t(kLines));
        QTest::keyClick(&List(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(List().IsCopying());
        QVERIFY(frame_->Status().MessageText().startsWith(QStringLiteral("Copying...")));
        QTest::keyClick(inList ? static_cast<QWidget*>(&List()) : &Edit(), Qt::Key_Escape);
        QVERIFY(!List().IsCopying());
        QTest::qWait(100);  // no step of the stopped copy runs
        QVERIFY(clipboard_ == u"kept");
        QCOMPARE(frame_->Status().MessageText(),
                 QStringLiteral("Copying cancelled: the clipboard was not changed"));
        // Escape stopped the copy and did nothing else.
        QCOMPARE(Edit().text(), QStringLiteral("line"));
        QCOMPARE(List().SelectedLineCount(), int64_t(kLines));
        // The window goes on: the next copy completes.
        List().SetStepLinesForTesting(0);
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, QPoint(40, 10));
        QTest::keyClick(&List(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(clipboard_ == u"line 0 error");
    }

    void escapeWhileReformattingTurnsWordWrapOff() {
        List().SetStepLinesForTesting(1000);
        QVERIFY(frame_->RunCommand(cmd::kWordWrap));
        QVERIFY(List().IsReformatting());
        QVERIFY(frame_->Status().MessageText().startsWith(QStringLiteral("Reformatting")));
        QTest::keyClick(&List(), Qt::Key_Escape);
        QVERIFY(!List().IsLayingOut());
        QVERIFY(!AppSettings::Instance().word_wrap);
        QVERIFY(!frame_->Action(cmd::kWordWrap)->isChecked());
        QCOMPARE(frame_->Status().MessageText(),
                 QStringLiteral("Reformatting cancelled: word wrap is off"));
        QCOMPARE(List().ShownRowCount(), int64_t(kLines + 1));
        // Turned on again, it measures every line.
        List().SetStepLinesForTesting(0);
        QVERIFY(frame_->RunCommand(cmd::kWordWrap));
        QTRY_VERIFY_WITH_TIMEOUT(!List().IsLayingOut(), 30000);
        QCOMPARE(List().ShownRowCount(), int64_t(kLines + 1));
    }

    void escapeStopsAWriteAndLeavesTheFileAsItWas_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<size_t>("lines");
        QTest::newRow("export filter results")
            << int(cmd::kExportFilterResults) << (kLines + 6) / 7;
        QTest::newRow("save as") << int(cmd::kSaveAs) << kLines;
    }
    void escapeStopsAWriteAndLeavesTheFileAsItWas() {
        QFETCH(int, command);
        QFETCH(size_t, lines);
        QTest::keyClicks(&Edit(), QStringLiteral("error"));
        WaitForPass();
        test::TempDir out;
        const std::string target = out.Write("written.txt", "old");
        const std::u16string documentPath = frame_->Document().GetPath();
        // The write starts only once Escape was pressed: it must see the cancel.
        std::atomic<bool> escaped{false};
        MainFrame::SetWriteStartHookForTesting([&escaped] {
            for (int i = 0; i < 2000 && !escaped; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        QTimer::singleShot(0, this, [&] {
            QTest::keyClick(&Edit(), Qt::Key_Escape);
            escaped = true;
        });
        save_paths_ = {QString::fromStdString(target)};
        QVERIFY(frame_->RunCommand(command));
        MainFrame::SetWriteStartHookForTesting(nullptr);
        QVERIFY(escaped);
        QVERIFY(!frame_->IsWriting());
        QCOMPARE(test::ReadFileBytes(target), std::string("old"));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(out.Path()),
                               std::filesystem::directory_iterator()),
                 std::ptrdiff_t{1});
        // A cancelled Save As leaves the document under its own name.
        QVERIFY(frame_->Document().GetPath() == documentPath);
        QVERIFY(frame_->Status().MessageText().contains(QStringLiteral("cancelled")));
        QCOMPARE(Edit().text(), QStringLiteral("error"));
        // The next write completes.
        save_paths_ = {QString::fromStdString(target)};
        QVERIFY(frame_->RunCommand(command));
        QCOMPARE(CountLines(test::ReadFileBytes(target)), lines);
    }
};

QTEST_MAIN(BackgroundFilterTest)
#include "background_filter_test.moc"
