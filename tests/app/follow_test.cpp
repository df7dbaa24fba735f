// View > Follow File through the real window: a writer appends to a file
// while the window shows it.
#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <string>

#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/search_box.h"

using namespace linesift;
using linesift::test::FakeClipboard;
using linesift::test::ScriptedDialogs;

namespace {

void AppendTo(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

std::string NumberedLines(int first, int count) {
    std::string text;
    for (int i = first; i < first + count; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    return text;
}

}  // namespace

class FollowTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::string path_;
    std::unique_ptr<MainFrame> frame_;
    ScriptedDialogs* dialogs_ = nullptr;
    std::u16string clipboard_;

    LineListView& List() { return frame_->Pane().List(); }
    QLineEdit& Edit() { return frame_->SearchField().Edit(); }
    QScrollBar* Bar() { return List().verticalScrollBar(); }
    void Open(const std::string& text) {
        path_ = dir_.Write("live.log", text);
        QVERIFY(frame_->OpenFile(FromNativePath(path_), false));
        frame_->UpdateCommandUi();
    }
    void TypeQuery(const QString& text) {
        frame_->SearchField().Activate(false);
        QTest::keyClicks(&Edit(), text);
    }
    QString Counts() {
        frame_->UpdateCommandUi();
        return frame_->Status().PaneText(1) + QLatin1Char('|') + frame_->Status().PaneText(2);
    }

  private slots:
    void init() {
        frame_ = test::StartFrame(clipboard_, dialogs_);
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        AppSettings::Instance().follow_file = true;
    }
    void cleanup() {
        frame_.reset();
        ClipboardText::Instance().SetBackend(nullptr);
    }

    void appendedLinesAreFilteredAndCounted() {
        Open("error a\ninfo\n");
        TypeQuery(QStringLiteral("error"));
        QCOMPARE(List().ShownRowCount(), int64_t{1});
        AppendTo(path_, "error b\ninfo c\nerr");
        QTRY_COMPARE(List().ShownRowCount(), int64_t{2});
        QCOMPARE(Counts(), QStringLiteral("All  5|Fil  2"));
        // The half-written last line is completed in place and then matches.
        AppendTo(path_, "or c\n");
        QTRY_COMPARE(List().ShownRowCount(), int64_t{3});
        QCOMPARE(List().RowLineText(2), std::u16string(u"error c"));
        QCOMPARE(Counts(), QStringLiteral("All  6|Fil  3"));
        QVERIFY(dialogs_->messages.empty());
    }

    void regularExpressionsFilterAppendedLinesOnTheWorker() {
        AppSettings::Instance().query_mode = 2;
        Open("error 1\ninfo\n");
        TypeQuery(QStringLiteral("^err.r [0-9]$"));
        QTRY_COMPARE(List().ShownRowCount(), int64_t{1});
        AppendTo(path_, "error 2\nerror two\ninfo\nerror 3\n");
        QTRY_COMPARE(List().ShownRowCount(), int64_t{3});
        QCOMPARE(List().RowLineText(2), std::u16string(u"error 3"));
        QTRY_VERIFY(!frame_->Pane().IsFiltering());
        QCOMPARE(Counts(), QStringLiteral("All  7|Fil  3"));
    }

    void anEmptyFileThatGrowsIsFilteredWithTheQueryTyped() {
        Open("");
        TypeQuery(QStringLiteral("error"));
        AppendTo(path_, "info\nerror 1\n");
        QTRY_COMPARE(Counts(), QStringLiteral("All  3|Fil  1"));
        QCOMPARE(List().RowLineText(0), std::u16string(u"error 1"));
        AppendTo(path_, "error 2\n");
        QTRY_COMPARE(List().ShownRowCount(), int64_t{2});
    }

    // Context lines: a new match brings the lines before it into view, older
    // ones too, and the lines after it as they arrive.
    void appendedMatchesShowTheirContextLines() {
        Open("info 0\nerror 1\ninfo 2\ninfo 3\ninfo 4\ninfo 5");
        QVERIFY(frame_->RunCommand(cmd::kContextLines2));
        TypeQuery(QStringLiteral("error"));
        QTRY_COMPARE(List().ShownRowCount(), int64_t{4});
        AppendTo(path_, "\nerror 6\ninfo 7");
        QTRY_COMPARE(List().ShownRowCount(), int64_t{8});
        QCOMPARE(List().RowLineText(4), std::u16string(u"info 4"));
        QCOMPARE(List().RowLineText(7), std::u16string(u"info 7"));
        AppendTo(path_, "\ninfo 8\ninfo 9\n");
        QTRY_COMPARE(List().Lines().LineCount(), LineNo{11});
        QCOMPARE(List().ShownRowCount(), int64_t{9});
        QCOMPARE(List().RowLineText(8), std::u16string(u"info 8"));
    }

    void theListSticksToTheBottomOnlyWhenItShowedTheLastRow_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("sticks");
        QTest::newRow("at the bottom") << "bottom" << true;
        QTest::newRow("at the bottom, lines wider than the list") << "wide" << true;
        QTest::newRow("scrolled up") << "up" << false;
        QTest::newRow("a line selected at the bottom") << "selected" << false;
    }
    void theListSticksToTheBottomOnlyWhenItShowedTheLastRow() {
        QFETCH(QString, before);
        QFETCH(bool, sticks);
        const std::string wide = before == QLatin1String("wide") ? std::string(300, 'w') : "";
        Open(NumberedLines(0, 200));
        List().setFocus();
        QTest::keyClick(&List(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(Bar()->value(), Bar()->maximum());
        if (before == QLatin1String("up")) {
            // The caret moves a page up, scrolling only when it leaves the screen.
            QTest::keyClick(&List(), Qt::Key_PageUp);
            QTest::keyClick(&List(), Qt::Key_PageUp);
            QVERIFY(Bar()->value() + List().viewport()->height() <
                    (List().ShownRowCount() - 1) * LineListView::kRowHeight);
        } else if (before == QLatin1String("selected")) {
            const QPoint lastRow(40, List().viewport()->height() - LineListView::kRowHeight / 2);
            QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, lastRow);
            QVERIFY(List().HasSelection());
        }
        const int value = Bar()->value();
        const int64_t rows = List().ShownRowCount();
        AppendTo(path_, wide + NumberedLines(200, 50));
        QTRY_COMPARE(List().ShownRowCount(), rows + 50);
        List().viewport()->repaint();  // wide rows shown: the horizontal scroll bar appears
        AppendTo(path_, wide + NumberedLines(250, 50));
        QTRY_COMPARE(List().ShownRowCount(), rows + 100);
        if (sticks) {
            QCOMPARE(Bar()->value(), Bar()->maximum());
            QVERIFY(Bar()->value() > value);
        } else {
            QCOMPARE(Bar()->value(), value);
        }
    }

    // With word wrap the new lines take one row each until measured, in
    // steps; a list at its last row stays there meanwhile, and a line
    // completed in place is measured again.
    void wrappedAppendedLinesAreMeasuredWhileTheLastRowStaysShown() {
        Open(NumberedLines(0, 100));
        QVERIFY(frame_->RunCommand(cmd::kWordWrap));
        QTRY_VERIFY(!List().IsLayingOut());
        List().setFocus();
        QTest::keyClick(&List(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(Bar()->value(), Bar()->maximum());
        auto everyLinesRows = [this] {
            int64_t rows = 0;
            for (LineNo line = 0; line < List().Lines().LineCount(); ++line) {
                rows += List().LineRowCount(line);
            }
            return rows;
        };
        const std::string wide(3000, 'w');
        AppendTo(path_, "short\n" + wide.substr(0, 1500));
        QTRY_VERIFY(List().Lines().LineCount() >= 102 && !List().IsLayingOut());
        const int64_t halfRows = List().LineRowCount(101);
        QVERIFY(halfRows > 2);
        QCOMPARE(List().ShownRowCount(), everyLinesRows());
        QCOMPARE(Bar()->value(), Bar()->maximum());
        AppendTo(path_, wide.substr(1500) + "\n");
        QTRY_VERIFY(List().LineRowCount(101) > halfRows && !List().IsLayingOut());
        QCOMPARE(List().ShownRowCount(), everyLinesRows());
        QCOMPARE(Bar()->value(), Bar()->maximum());
        QVERIFY(Bar()->maximum() > 0);
    }

    // Lines appended while a pass over the whole file runs join the list once
    // it ends, each once, as if the finished file had been opened.
    void linesAppendedDuringAPassJoinOnceItEnds_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("regex");
        QTest::newRow("regular expression") << 2 << "^line [0-9]*7$" << true;
        QTest::newRow("text on the worker") << 0 << "7" << false;
    }
    void linesAppendedDuringAPassJoinOnceItEnds() {
        QFETCH(int, mode);
        QFETCH(QString, query);
        QFETCH(bool, regex);
        auto matches = [regex](int n) {
            const std::string digits = std::to_string(n);
            return regex ? digits.back() == '7' : digits.find('7') != std::string::npos;
        };
        constexpr int kLines = 600000;
        AppSettings::Instance().query_mode = mode;
        Open(NumberedLines(0, kLines));
        TypeQuery(query);
        QVERIFY(frame_->Pane().IsFiltering());
        // Line kLines + 27 arrives in two writes.
        AppendTo(path_, NumberedLines(kLines, 20) + "line " + std::to_string(kLines / 10 + 2));
        AppendTo(path_, "7\n" + NumberedLines(kLines + 28, 2));
        int expected = 0;
        for (int n = 0; n < kLines + 30; ++n) {
            expected += (n < kLines + 20 || n >= kLines + 27) && matches(n) ? 1 : 0;
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            !frame_->Pane().IsFiltering() && List().ShownRowCount() == expected, 20000);
        QCOMPARE(frame_->Document().LineCount(), size_t{kLines + 24});
        int64_t last = -1;
        for (RowNo row = 0; row < List().ShownRowCount(); ++row) {
            const std::u16string text = List().RowLineText(row);
            const int64_t n = std::stoll(std::string(text.begin() + 5, text.end()));
            QVERIFY2(n > last, "rows in order, none twice");
            last = n;
        }
        QCOMPARE(last, int64_t{kLines + 27});
    }

    void truncatedAndReplacedFilesAreReloadedKeepingTheQuery_data() {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<QString>("message");
        QTest::newRow("copied and truncated") << false << "File was truncated; reloaded";
        QTest::newRow("renamed away and created anew") << true << "File was replaced; reloaded";
    }
    void truncatedAndReplacedFilesAreReloadedKeepingTheQuery() {
        QFETCH(bool, rename);
        QFETCH(QString, message);
        Open("error 1\ninfo\nerror 2\n");
        TypeQuery(QStringLiteral("error"));
        QCOMPARE(List().ShownRowCount(), int64_t{2});
        if (rename) {
            QCOMPARE(std::rename(path_.c_str(), (path_ + ".1").c_str()), 0);
            dir_.Write("live.log", "error new\n");
        } else {
            QCOMPARE(::truncate(path_.c_str(), 0), 0);
            AppendTo(path_, "error new\ninfo\n");
        }
        QTRY_COMPARE(frame_->Status().MessageText(), message);
        QCOMPARE(Edit().text(), QStringLiteral("error"));
        QTRY_COMPARE(List().ShownRowCount(), int64_t{1});
        QCOMPARE(List().RowLineText(0), std::u16string(u"error new"));
        QVERIFY(dialogs_->messages.empty());
    }

    void aFollowedFileIsNotQuestionedWhenItChanges() {
        Open("a\n");
        AppendTo(path_, "b\n");
        QTRY_COMPARE(frame_->Document().LineCount(), size_t{3});
        frame_->CheckOutsideChange();
        QVERIFY(dialogs_->messages.empty());
    }

    void theShortcutTogglesFollowingButTypingDoesNot() {
        Open("a\n");
        frame_->SearchField().Activate(false);
        QTest::keyClicks(&Edit(), QStringLiteral("t"));
        QVERIFY(AppSettings::Instance().follow_file);
        QTest::keyClick(&Edit(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!AppSettings::Instance().follow_file);
        frame_->UpdateCommandUi();
        QVERIFY(!frame_->Action(cmd::kFollowFile)->isChecked());
        AppendTo(path_, "b\n");
        QTest::qWait(600);
        QCOMPARE(frame_->Document().LineCount(), size_t{2});
        QTest::keyClick(&List(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(AppSettings::Instance().follow_file);
        QTRY_COMPARE(frame_->Document().LineCount(), size_t{3});
    }

    void clipboardDocumentsCannotBeFollowed() {
        clipboard_ = u"one\ntwo";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        frame_->UpdateCommandUi();
        QVERIFY(!frame_->Action(cmd::kFollowFile)->isEnabled());
        QVERIFY(!frame_->RunCommand(cmd::kFollowFile));
    }
};

QTEST_MAIN(FollowTest)
#include "follow_test.moc"
