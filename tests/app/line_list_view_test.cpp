#include <QMenu>
#include <QScrollBar>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "document/text_document.h"
#include "frame_test_doubles.h"
#include "views/line_list_view.h"
#include "views/line_viewer.h"
#include "views/list_font.h"
#include "views/palette_colors.h"
#include "views/row_painter.h"
#include "views/word_wrap.h"

using namespace linesift;
using linesift::test::FakeClipboard;

Q_DECLARE_METATYPE(std::vector<size_t>)

namespace {

// What the list asked the status bar to show.
struct StatusRecorder {
    std::vector<QString> busy;  // an empty text ends a busy step
    std::vector<QString> timed;
};

// Counts the paint events of the objects it watches.
class PaintCounter : public QObject {
  public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

}  // namespace

class LineListViewTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<TextDocument> document_;
    std::unique_ptr<LineListView> list_;
    StatusRecorder status_;
    std::u16string clipboard_;

    std::unique_ptr<LineListView> MakeList() {
        status_ = {};
        auto list = std::make_unique<LineListView>(*document_);
        QObject::connect(list.get(), &LineListView::busy, list.get(),
                         [this](const QString& text) { status_.busy.push_back(text); });
        QObject::connect(list.get(), &LineListView::statusMessage, list.get(),
                         [this](const QString& text, int) { status_.timed.push_back(text); });
        return list;
    }

    void Load(const std::string& text, QSize size = QSize(400, 200)) {
        list_.reset();
        document_ = std::make_unique<TextDocument>();
        QVERIFY(document_->LoadFromFile(FromNativePath(dir_.Write("doc.txt", text))));
        list_ = MakeList();
        list_->resize(size);
        list_->show();
        QVERIFY(QTest::qWaitForWindowExposed(list_.get()));
        list_->Rebuild(true, true);
    }
    void Filter(const char16_t* text, int mode = 0) {
        list_->SetFilter(FilterRequest{.text = text, .filter_mode = static_cast<FilterMode>(mode)});
    }
    QPoint RowPoint(int shownIndex) const {
        return QPoint(
            40, shownIndex * LineListView::kRowHeight + 10 - list_->verticalScrollBar()->value());
    }
    void Click(int shownIndex, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, mods, RowPoint(shownIndex));
    }
    // About 2 MB: words with tabs and "error" now and then.
    static std::string LineOfMegabytes() {
        std::string line;
        for (int i = 0; line.size() < 2'000'000; ++i) {
            line += "word" + std::to_string(i % 1000) + (i % 17 == 0 ? "\t" : " ") +
                    (i % 5 == 0 ? "error " : "");
        }
        return line;
    }
    // Load, with lines of backgroundBytes or more prepared off the window's thread.
    void LoadPrepared(const std::string& text, uint64_t backgroundBytes) {
        list_.reset();
        document_ = std::make_unique<TextDocument>();
        QVERIFY(document_->LoadFromFile(FromNativePath(dir_.Write("doc.txt", text))));
        list_ = MakeList();
        list_->SetBackgroundLineBytesForTesting(backgroundBytes);
        list_->resize(QSize(400, 200));
        list_->show();
        QVERIFY(QTest::qWaitForWindowExposed(list_.get()));
        list_->Rebuild(true, true);
    }
    // Until no line is prepared and nothing is measured, after a paint.
    static void SettleLines(LineListView& list) {
        for (int i = 0; i < 5; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(!list.IsPreparingLine() && !list.IsLayingOut(), 30000);
            list.viewport()->repaint();
            QTest::qWait(20);  // the scroll bars follow the widths painted
        }
        QVERIFY(!list.IsPreparingLine());
    }
    std::vector<size_t> SelectedLines() const {
        std::vector<size_t> out;
        for (size_t i = 0; i < document_->LineCount(); ++i) {
            if (list_->IsLineSelected(i)) {
                out.push_back(i);
            }
        }
        return out;
    }

  private slots:
    void init() {
        ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&clipboard_, true));
    }
    void cleanup() {
        list_.reset();
        ClipboardText::Instance().SetBackend(nullptr);
    }

    void clickShiftAndCtrlSelectLines() {
        Load("l0\nl1\nl2\nl3\nl4");
        Click(1);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{1}));
        Click(3, Qt::ShiftModifier);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{1, 2, 3}));
        Click(2, Qt::ControlModifier);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{1, 3}));
        Click(4, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{1, 3, 4}));
        QCOMPARE(list_->SelectedLineCount(), int64_t{3});
    }

    void shiftClickWithoutAnchorExtendsFromTheFirstRowAndWithAHiddenAnchorDoesNothing() {
        Load("a1\nb\na2\na3\nb2");
        Click(2, Qt::ShiftModifier);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{0, 1, 2}));
        Click(1);  // anchor on line 1 ("b")
        Filter(u"a");
        QCOMPARE(list_->ShownRowCount(), int64_t{3});
        Click(2, Qt::ShiftModifier);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{1}));
    }

    void selectionSurvivesFilteringButHiddenLinesAreNeitherCountedNorCopied() {
        Load("alpha\nbeta\nalps\ngamma");
        list_->SelectAll();
        QCOMPARE(list_->SelectedLineCount(), int64_t{4});
        Filter(u"al");
        QCOMPARE(list_->SelectedLineCount(), int64_t{2});
        QCOMPARE(list_->CopySelection(), int64_t{2});
        QVERIFY(clipboard_ == u"alpha\nalps");
        Filter(u"");
        QCOMPARE(list_->SelectedLineCount(), int64_t{4});
        list_->SelectInverse();
        QCOMPARE(list_->SelectedLineCount(), int64_t{0});
        QCOMPARE(list_->CopySelection(), int64_t{0});
    }

    void copyJoinsWithLineFeedsAndSkipsLeadingEmptyLines() {
        Load("\na\n\nb");
        list_->SelectAll();
        QCOMPARE(list_->CopySelection(), int64_t{4});
        QVERIFY(clipboard_ == u"a\n\nb");
    }

    void copyReportsNothingWhenTheClipboardRefuses() {
        Load("a\nb");
        ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&clipboard_, false));
        list_->SelectAll();
        QCOMPARE(list_->CopySelection(), int64_t{0});
    }

    void filterModesAndCounts() {
        Load("error one\nok\nan error\n\nfine");
        Filter(u"error", 0);
        QCOMPARE(list_->ShownRowCount(), int64_t{2});
        QVERIFY(list_->IsFiltered());
        QVERIFY(list_->RowLineText(1) == u"an error");
        Filter(u"error", 1);
        QCOMPARE(list_->FilteredLineCount(), int64_t{3});
        Filter(u"error", 2);
        QCOMPARE(list_->FilteredLineCount(), int64_t{5});
        QVERIFY(!list_->IsFiltered());
        QCOMPARE(list_->ShownRow(0)->matched, 1u);
        QCOMPARE(list_->ShownRow(1)->matched, 0u);
        QVERIFY(!list_->ShownRow(5).has_value());
        QVERIFY(list_->RowLineText(-1).empty());
    }

    void aRegexThatBacktracksTooMuchIsReported() {
        std::string text;
        for (int i = 0; i < 150; ++i) {
            text += std::string(60, 'a') + "b\n";
        }
        Load(text);
        list_->SetFilter(FilterRequest{.text = u"(a+)+\\1$", .query_mode = QueryMode::Regex});
        QCOMPARE(list_->ShownRowCount(), int64_t{0});
        QCOMPARE(status_.timed.size(), size_t{1});
        QVERIFY(status_.timed[0].contains(QStringLiteral("backtracks")));
    }

    void emptyDocumentIgnoresFilters() {
        list_.reset();
        document_ = std::make_unique<TextDocument>();
        list_ = MakeList();
        list_->Rebuild(true, true);
        Filter(u"x");
        QCOMPARE(list_->ShownRowCount(), int64_t{0});
        QVERIFY(!list_->IsFiltered());
    }

    void wordWrapCountsEachLineOnceAndCopiesItWhole() {
        std::string longLine;
        for (int i = 0; i < 40; ++i) {
            longLine += "word" + std::to_string(i) + " ";
        }
        Load("x\n" + longLine + "\ny", QSize(300, 300));
        list_->SetWordWrap(true, true, true);
        QVERIFY(list_->LineRowCount(1) > 2);
        QCOMPARE(list_->LineRowCount(0), int64_t{1});
        int64_t rows = list_->ShownRowCount();
        QCOMPARE(rows, 2 + list_->LineRowCount(1));
        Filter(u"word3");
        QCOMPARE(list_->FilteredLineCount(), int64_t{1});
        QCOMPARE(list_->ShownRowCount(), list_->LineRowCount(1));
        list_->SelectInverse();
        QCOMPARE(list_->SelectedLineCount(), int64_t{1});
        QCOMPARE(list_->CopySelection(), int64_t{1});
        QVERIFY(clipboard_ == FromNativePath(longLine));
        // The pieces of the rows put the line back together.
        std::u16string joined;
        for (int64_t i = 0; i < list_->ShownRowCount(); ++i) {
            int64_t s = 0;
            int64_t e = 0;
            joined += list_->RowDisplayText(*list_->ShownRow(i), s, e);
        }
        QVERIFY(joined == FromNativePath(longLine));
    }

    // A line of megabytes is measured for word wrap in steps of the
    // window, with its share in the progress, and each of its rows shows
    // the piece that wrapping the whole line gives.
    void aVeryLongLineIsWrappedInStepsIntoTheSameRows() {
        std::string longLine;
        for (int i = 0; longLine.size() < 8'000'000; ++i) {
            longLine += "word" + std::to_string(i % 1000) + (i % 17 == 0 ? "\t" : " ");
        }
        Load("first\n" + longLine + "\nlast", QSize(500, 300));
        list_->SetStepMsForTesting(1);
        list_->SetWordWrap(true, true, true);
        QVERIFY(list_->IsLayingOut());
        QTRY_VERIFY_WITH_TIMEOUT(!list_->IsLayingOut(), 60000);
        // Progress went on within the line (33% to 66%), not only at its end.
        QVERIFY(std::any_of(status_.busy.begin(), status_.busy.end(), [](const QString& text) {
            const QString prefix = QStringLiteral("Reformatting... ");
            const int percent =
                text.startsWith(prefix) ? text.mid(prefix.size()).chopped(1).toInt() : 0;
            return percent > 33 && percent < 66;
        }));
        const std::u16string line = FromNativePath(longLine);
        std::vector<uint32_t> starts;
        WrapLine(line, list_->viewport()->width() - LineListView::kWrapInset - 8.0,
                 ListFontAdvances(), starts);
        QCOMPARE(list_->ShownRowCount(), int64_t(starts.size()) + 2);
        for (size_t sub : {size_t{0}, size_t{1}, starts.size() / 2, starts.size() - 1}) {
            const std::optional<TextRow> row = list_->ShownRow(int64_t(sub) + 1);
            QVERIFY(row && row->line == 1 && row->subRow == int32_t(sub));
            int64_t start = 0;
            int64_t end = 0;
            list_->RowDisplayText(*row, start, end);
            QCOMPARE(start, int64_t{starts[sub]});
            QCOMPARE(end,
                     sub + 1 < starts.size() ? int64_t{starts[sub + 1]} : int64_t(line.size()));
        }
        QCOMPARE(list_->ShownRow(int64_t(starts.size()) + 1)->line, LineNo{2});
    }

    void reformatAfterResizeKeepsTheFilteredSetAndMarks() {
        std::string text;
        for (int i = 0; i < 30; ++i) {
            text += (i % 3 == 0 ? "match " : "other ") + std::string(120, 'x') + " tail\n";
        }
        Load(text, QSize(500, 300));
        list_->SetWordWrap(true, true, true);
        Filter(u"match", 1);
        int64_t lines = list_->FilteredLineCount();
        list_->resize(501, 300);
        QTRY_VERIFY(!status_.busy.empty());
        QCOMPARE(status_.busy,
                 (std::vector<QString>{QStringLiteral("Reformatting..."), QString()}));
        QCOMPARE(list_->FilteredLineCount(), lines);
        QVERIFY(list_->IsFiltered());
        QCOMPARE(list_->ShownRow(0)->matched, 0u);
    }

    // Held above the top, the drag scrolls up and selects on to the first row.
    void dragAboveTheTopScrollsUpToTheFirstShownRow() {
        std::string text;
        for (int i = 0; i < 50; ++i) {
            text += "line " + std::to_string(i) + "\n";
        }
        Load(text, QSize(300, 200));
        list_->verticalScrollBar()->setValue(10 * LineListView::kRowHeight);
        QPoint start = RowPoint(13);
        QTest::mousePress(list_->viewport(), Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(40, -30),
                         list_->viewport()->mapToGlobal(QPointF(40, -30)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list_->viewport(), &move);
        QVERIFY(list_->verticalScrollBar()->value() > 0);
        QTRY_COMPARE(list_->verticalScrollBar()->value(), 0);
        QTest::mouseRelease(list_->viewport(), Qt::LeftButton, {}, QPoint(40, 5));
        QCOMPARE(list_->SelectedLineCount(), int64_t{14});
        QVERIFY(list_->IsLineSelected(0));
    }

    void dragBelowTheBottomScrollsDownAndStopsOnRelease() {
        std::string text;
        for (int i = 0; i < 50; ++i) {
            text += "line " + std::to_string(i) + "\n";
        }
        Load(text, QSize(300, 200));
        QTest::mousePress(list_->viewport(), Qt::LeftButton, {}, RowPoint(2));
        const QPointF below(40, list_->viewport()->height() + 25);
        QMouseEvent move(QEvent::MouseMove, below, list_->viewport()->mapToGlobal(below),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list_->viewport(), &move);
        QTRY_VERIFY(list_->verticalScrollBar()->value() >= 10 * LineListView::kRowHeight);
        QTest::mouseRelease(list_->viewport(), Qt::LeftButton, {}, below.toPoint());
        const int stopped = list_->verticalScrollBar()->value();
        QTest::qWait(150);
        QCOMPARE(list_->verticalScrollBar()->value(), stopped);
        // Every line from the press to the last one in view is selected.
        const int64_t last = (stopped + list_->viewport()->height() - 1) / LineListView::kRowHeight;
        QVERIFY(list_->IsLineSelected(2) && list_->IsLineSelected(size_t(last)));
        QVERIFY(!list_->IsLineSelected(1));
    }

    // A drag that grows and shrinks selects exactly the lines with a row in
    // the range, as a fresh range selection would.
    void dragSelectionMatchesAFreshRangeSelection() {
        std::string text;
        for (int i = 0; i < 40; ++i) {
            text += i % 4 == 1 ? std::string(90, 'w') + " " + std::string(90, 'v') + "\n"
                               : "short " + std::to_string(i) + "\n";
        }
        Load(text, QSize(300, 800));
        list_->SetWordWrap(true, true, true);
        QVERIFY(list_->LineRowCount(1) > 1);
        QTest::mousePress(list_->viewport(), Qt::LeftButton, {}, RowPoint(6));
        for (int target : {20, 12, 30, 7, 2, 25, 5}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(RowPoint(target)),
                             list_->viewport()->mapToGlobal(QPointF(RowPoint(target))),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(list_->viewport(), &move);
            int lo = std::min(6, target);
            int hi = std::max(6, target);
            for (size_t line = 0; line < document_->LineCount(); ++line) {
                bool inRange = false;
                for (int64_t i = lo; i <= hi; ++i) {
                    inRange |= list_->ShownRow(i)->line == static_cast<LineNo>(line);
                }
                QVERIFY2(list_->IsLineSelected(line) == inRange,
                         (std::to_string(target) + " line " + std::to_string(line)).c_str());
            }
        }
        QTest::mouseRelease(list_->viewport(), Qt::LeftButton, {}, RowPoint(6));
    }

    void marqueeScreenshot() {
        std::string text;
        for (int i = 0; i < 12; ++i) {
            text += "line " + std::to_string(i) + " of the drag\n";
        }
        Load(text, QSize(320, 240));
        QTest::mousePress(list_->viewport(), Qt::LeftButton, {}, QPoint(60, 30));
        QMouseEvent move(QEvent::MouseMove, QPointF(200, 130),
                         list_->viewport()->mapToGlobal(QPointF(200, 130)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list_->viewport(), &move);
        QImage shot = list_->grab().toImage();
        QTest::mouseRelease(list_->viewport(), Qt::LeftButton, {}, QPoint(200, 130));
        QCOMPARE(list_->SelectedLineCount(), int64_t{6});
        QString dir = QString::fromLocal8Bit(qgetenv("LINESIFT_SHOT_DIR"));
        if (!dir.isEmpty()) {
            shot.save(dir + QStringLiteral("/text_list_marquee.png"));
        }
        // Inside the marquee the tint darkens the white background a little.
        QColor inside = shot.pixelColor(150, 100);
        QVERIFY(inside.blue() > inside.red());
    }

    void scrollRangesFollowTheShownRows() {
        std::string text;
        for (int i = 0; i < 100; ++i) {
            text += "row\n";
        }
        Load(text, QSize(300, 200));
        int view = list_->viewport()->height();
        QCOMPARE(list_->verticalScrollBar()->maximum(), 101 * LineListView::kRowHeight - view);
        QCOMPARE(list_->verticalScrollBar()->pageStep(), (view / 20 - 1) * 20);
        QTest::keyClick(list_.get(), Qt::Key_End);
        QCOMPARE(list_->verticalScrollBar()->value(), list_->verticalScrollBar()->maximum());
        QTest::keyClick(list_.get(), Qt::Key_Home);
        QCOMPARE(list_->verticalScrollBar()->value(), 0);
        Filter(u"nothing matches this");
        QCOMPARE(list_->verticalScrollBar()->maximum(), 0);
    }

    // A layout too big for one step is measured in steps while the rows are
    // usable, reports its progress, keeps the top line in place and ends
    // equal to a layout made at once; a filter keeps the selection of lines.
    void wordWrapOfManyLinesIsMeasuredInStepsAndKeepsTheTopLine() {
        std::string text;
        constexpr int kLines = 60000;
        constexpr int kWrapped = (kLines - 4) / 7 + 1;  // lines 3, 10, 17, ...
        for (int i = 0; i < kLines; ++i) {
            // The wrapped lines are all alike, so they take as many rows each.
            text += i % 7 == 3
                        ? "wrapped " + std::string(120, 'w') + " " + std::string(120, 'v') + "\n"
                        : "line " + std::to_string(i) + "\n";
        }
        Load(text, QSize(300, 400));
        list_->SetStepMsForTesting(1);
        list_->verticalScrollBar()->setValue(30000 * LineListView::kRowHeight);
        Click(30000);
        const LineNo top = list_->ShownRow(30000)->line;
        list_->SetWordWrap(true, true, true);
        QVERIFY(list_->IsLayingOut());
        QVERIFY(!status_.busy.empty() &&
                status_.busy.back().startsWith(QStringLiteral("Reformatting... ")));
        QTRY_VERIFY_WITH_TIMEOUT(!list_->IsLayingOut(), 60000);
        QCOMPARE(status_.busy.back(), QString());
        // The top row shows the same line as before, now with its pieces counted.
        const RowNo topRow = list_->verticalScrollBar()->value() / LineListView::kRowHeight;
        QCOMPARE(list_->ShownRow(topRow)->line, top);
        QCOMPARE(list_->ShownRow(topRow)->subRow, 0);
        QVERIFY(list_->LineRowCount(3) > 2);
        QCOMPARE(list_->ShownRowCount(), kLines + 1 + kWrapped * (list_->LineRowCount(3) - 1));
        // Every row maps back to its line and piece.
        const RowNo first = list_->verticalScrollBar()->value() / LineListView::kRowHeight;
        for (RowNo r = first; r < first + 50; ++r) {
            const TextRow row = *list_->ShownRow(r);
            QVERIFY(row.subRow >= 0 && row.subRow < row.rowCount);
            QCOMPARE(RowNo{row.rowCount}, list_->LineRowCount(row.line));
        }
        // The selection belongs to the lines: a filter and its removal keep it.
        const LineNo selected = top;
        QVERIFY(list_->IsLineSelected(selected));
        Filter(u"www");
        QVERIFY(list_->IsLineSelected(selected));
        QCOMPARE(list_->SelectedLineCount(), ShownNo{0});
        QCOMPARE(list_->FilteredLineCount(), ShownNo{kWrapped});
        QTRY_VERIFY_WITH_TIMEOUT(!list_->IsLayingOut(), 60000);
        QCOMPARE(list_->ShownRowCount(), kWrapped * list_->LineRowCount(3));
        Filter(u"");
        QCOMPARE(list_->SelectedLineCount(), ShownNo{1});
    }

    // A copy too big for one step goes on in steps, reports its progress and
    // then its result; the text equals the one a copy at once gives.
    void copyOfManyLinesRunsInStepsAndEndsWithTheWholeText() {
        std::string text;
        std::u16string expected;
        constexpr int kLines = 400000;
        for (int i = 0; i < kLines; ++i) {
            const std::string line = "a line to copy, number " + std::to_string(i);
            text += line + "\n";
            expected += FromNativePath(line) + u"\n";  // the last line is empty
        }
        Load(text);
        list_->SetStepMsForTesting(1);
        list_->SelectAll();
        const LineNo copied = list_->CopySelection();
        if (copied == -1) {
            QVERIFY(list_->IsCopying());
            QVERIFY(!status_.busy.empty() &&
                    status_.busy.back().startsWith(QStringLiteral("Copying")));
            QTRY_VERIFY_WITH_TIMEOUT(!list_->IsCopying(), 60000);
            QCOMPARE(status_.busy.back(), QString());
            QVERIFY(!status_.timed.empty());
            QCOMPARE(status_.timed.back(),
                     QStringLiteral("%1 lines copied to clipboard").arg(kLines + 1));
        } else {
            QCOMPARE(copied, LineNo{kLines + 1});  // a fast machine did it in one step
        }
        QVERIFY(clipboard_ == expected);
        // A new document cancels a copy that is going on.
        list_->SelectAll();
        if (list_->CopySelection() == -1) {
            list_->Rebuild(true, true);
            QVERIFY(!list_->IsCopying());
            QCOMPARE(status_.busy.back(), QString());
        }
    }

    void doubleClickOpensTheViewerAndEscapeClosesIt() {
        Load("first\nsecond line");
        QTest::mouseDClick(list_->viewport(), Qt::LeftButton, {}, RowPoint(1));
        auto viewers = list_->viewport()->findChildren<LineViewer*>();
        LineViewer* open = nullptr;
        for (LineViewer* v : viewers) {
            if (v->isVisible()) {
                open = v;
            }
        }
        QVERIFY(open != nullptr);
        QCOMPARE(open->toPlainText(), QStringLiteral("second line"));
        QTest::keyClick(open, Qt::Key_Escape);
        QVERIFY(!open->isVisible());
        QCOMPARE(open->LastCloseReason(), int(LineViewer::kCancel));
    }

    // Keys in the list from a caret on line 5 with line 5 selected (clicked).
    void keyboardMovesTheCaretAndExtendsFromTheAnchor_data() {
        QTest::addColumn<QList<int>>("keys");  // key codes, modifiers added
        QTest::addColumn<std::vector<size_t>>("selected");
        QTest::addColumn<int>("caret");  // the caret's row afterwards
        using K = QList<int>;
        const int shift = Qt::ShiftModifier;
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Down moves the caret, the selection stays")
            << K{Qt::Key_Down, Qt::Key_Down} << std::vector<size_t>{5} << 7;
        QTest::newRow("Shift+Down extends from the anchor")
            << K{shift | Qt::Key_Down, shift | Qt::Key_Down} << std::vector<size_t>{5, 6, 7} << 7;
        QTest::newRow("Shift+Up extends the other way")
            << K{shift | Qt::Key_Up, shift | Qt::Key_Up} << std::vector<size_t>{3, 4, 5} << 3;
        QTest::newRow("Shift+Home selects to the first row")
            << K{shift | Qt::Key_Home} << std::vector<size_t>{0, 1, 2, 3, 4, 5} << 0;
        QTest::newRow("Shift+End selects to the last row")
            << K{shift | Qt::Key_End} << std::vector<size_t>{5, 6, 7, 8, 9, 10, 11} << 11;
        QTest::newRow("Shift+PgDn extends by a page")
            << K{shift | Qt::Key_PageDown} << std::vector<size_t>{5, 6, 7, 8, 9, 10, 11} << 11;
        QTest::newRow("Space toggles the caret line")
            << K{Qt::Key_Down, Qt::Key_Space, Qt::Key_Up, ctrl | Qt::Key_Space}
            << std::vector<size_t>{6} << 5;
        QTest::newRow("a move without Shift makes the caret the anchor")
            << K{Qt::Key_Down, Qt::Key_Down, shift | Qt::Key_Down} << std::vector<size_t>{7, 8}
            << 8;
    }
    void keyboardMovesTheCaretAndExtendsFromTheAnchor() {
        QFETCH(QList<int>, keys);
        QFETCH(std::vector<size_t>, selected);
        QFETCH(int, caret);
        std::string text;
        for (int i = 0; i < 12; ++i) {
            text += "line " + std::to_string(i) + (i + 1 < 12 ? "\n" : "");
        }
        Load(text, QSize(300, 140));  // a page of 6 rows
        Click(5);
        for (int key : keys) {
            QTest::keyClick(list_.get(), Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        }
        QCOMPARE(SelectedLines(), selected);
        QCOMPARE(list_->CaretShown(), int64_t{caret});
        // The caret line is in view.
        const int top = list_->verticalScrollBar()->value();
        QVERIFY(caret * LineListView::kRowHeight >= top);
        QVERIFY((caret + 1) * LineListView::kRowHeight <= top + list_->viewport()->height());
    }

    void goToLineSelectsItAloneInTheMiddle() {
        std::string text;
        for (int i = 0; i < 200; ++i) {
            text += (i % 2 ? "odd " : "even ") + std::to_string(i) + "\n";
        }
        Load(text, QSize(300, 200));
        Click(1);
        list_->GoToLine(120, true);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{120}));
        QCOMPARE(list_->CaretShown(), int64_t{120});
        const int middle = list_->verticalScrollBar()->value() + list_->viewport()->height() / 2;
        QCOMPARE(middle / LineListView::kRowHeight, 120);
        Filter(u"odd");
        list_->GoToLine(120, false);  // hidden: nothing changes
        QCOMPARE(SelectedLines(), (std::vector<size_t>{120}));
        list_->GoToLine(151, false);
        QCOMPARE(list_->CaretShown(), int64_t{75});
    }

    // Show All and back without a pass: the caret line keeps its height.
    void reshowKeepsTheCaretLineWhereItWas() {
        std::string text;
        for (int i = 0; i < 300; ++i) {
            text += (i % 10 == 0 ? "hit " : "miss ") + std::to_string(i) + "\n";
        }
        Load(text, QSize(300, 200));
        Filter(u"hit");
        list_->GoToLine(150, false);  // row 15
        const int y = 15 * LineListView::kRowHeight - list_->verticalScrollBar()->value();
        QVERIFY(list_->ReshowFilter(FilterMode::ShowAll, 0));
        QCOMPARE(list_->ShownRowCount(), int64_t{301});
        QCOMPARE(150 * LineListView::kRowHeight - list_->verticalScrollBar()->value(), y);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{150}));
        list_->GoToLine(152, false);  // a line the filter hides
        QVERIFY(list_->ReshowFilter(FilterMode::HideUnmatched, 2));
        // Line 152 is context now (after line 150); the caret stays on it.
        QCOMPARE(list_->CaretShown(), int64_t{3 + 14 * 5 + 4});
        QVERIFY(list_->Lines().IsContext(152));
        QVERIFY(list_->ReshowFilter(FilterMode::HideUnmatched, 0));
        // Hidden again: the caret goes on to the next shown line.
        QCOMPARE(list_->CaretShown(), int64_t{16});
    }

    void contextLinesAreDimmedAndGroupsParted() {
        Load("a\nb\nhit\nc\nd\ne\nf\nhit\ng", QSize(300, 240));
        list_->SetFilter(FilterRequest{.text = u"hit", .context_before = 1, .context_after = 1});
        QCOMPARE(list_->ShownRowCount(), int64_t{6});  // 1-3 and 6-8
        const QImage shot = list_->viewport()->grab().toImage();
        const QColor separator = RowColorsOf(list_->viewport()->palette()).group_separator;
        // The separator between the groups, above the fourth row.
        int dashes = 0;
        for (int x = 10; x < 200; ++x) {
            dashes += shot.pixelColor(x, 3 * LineListView::kRowHeight) == separator;
        }
        QVERIFY(dashes > 20);
        // Context rows are drawn in the dimmer colour, matches in black.
        auto inkOf = [&shot](int row) {
            QColor darkest(Qt::white);
            for (int y = row * LineListView::kRowHeight + 2; y < (row + 1) * 20 - 2; ++y) {
                for (int x = 8; x < 40; ++x) {
                    if (shot.pixelColor(x, y).lightness() < darkest.lightness()) {
                        darkest = shot.pixelColor(x, y);
                    }
                }
            }
            return darkest;
        };
        QVERIFY(inkOf(0).lightness() >= 100);  // context "b"
        QVERIFY(inkOf(1).lightness() < 60);    // "hit" on its highlight
    }

    // A line of megabytes is decoded, and searched for the query's and the
    // highlighters' matches, on a thread of its own: its row paints empty
    // meanwhile, then exactly as a list that does it all at once paints it.
    void aLineOfMegabytesIsPreparedOffTheWindowThread_data() {
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("rules");
        QTest::newRow("plain") << false << QString() << false;
        QTest::newRow("word wrap") << true << QString() << false;
        QTest::newRow("query") << false << QStringLiteral("error") << false;
        QTest::newRow("highlighters") << false << QString() << true;
        QTest::newRow("all of them") << true << QStringLiteral("word7") << true;
    }
    void aLineOfMegabytesIsPreparedOffTheWindowThread() {
        QFETCH(bool, wrap);
        QFETCH(QString, query);
        QFETCH(bool, rules);
        const std::string longLine = LineOfMegabytes();
        LoadPrepared("first\n" + longLine + "\nlast", 1 << 20);
        auto setUp = [&](LineListView& list) {
            list.SetHighlightColor(0xFEE300);
            if (rules) {
                list.SetHighlighters({{.text = u"error", .background = Color32{.blue = 0xFF}}});
            }
            list.SetWordWrap(wrap, true, true);
            list.SetFilter(FilterRequest{.text = query.toStdU16String()});
        };
        setUp(*list_);
        SettleLines(*list_);
        // Forgets the line's text and matches: the next paint must not wait for them.
        const int decodes = list_->BackgroundDecodesForTesting();
        list_->Rebuild(true, false);
        setUp(*list_);
        const QImage pending = list_->viewport()->grab().toImage();
        QVERIFY(list_->IsPreparingLine());
        QCOMPARE(list_->BackgroundDecodesForTesting(), decodes + 1);
        // The middle of the line's first row, which would cross its text.
        const int y = (list_->ShownRow(0)->line == 1 ? 0 : 1) * LineListView::kRowHeight + 10;
        for (int x = 1; x < pending.width(); ++x) {
            QCOMPARE(pending.pixelColor(x, y), pending.pixelColor(0, y));
        }
        SettleLines(*list_);
        const QImage ready = list_->viewport()->grab().toImage();

        auto reference = MakeList();
        reference->SetBackgroundLineBytesForTesting(UINT64_MAX);
        reference->resize(list_->size());
        reference->show();
        QVERIFY(QTest::qWaitForWindowExposed(reference.get()));
        reference->Rebuild(true, true);
        setUp(*reference);
        SettleLines(*reference);
        QCOMPARE(reference->BackgroundDecodesForTesting(), 0);
        QCOMPARE(ready, reference->viewport()->grab().toImage());
        QVERIFY(ready != pending);
    }

    // Lines of some hundred kilobytes painted around one being prepared
    // take their turns in their own buffer: they do not wait for it.
    void longLinesAroundOneBeingPreparedDoNotWaitForIt() {
        const std::string longLine = LineOfMegabytes();
        LoadPrepared(std::string(200'000, 'x') + "\n" + longLine + "\n" + std::string(200'000, 'y'),
                     1 << 20);
        list_->Rebuild(true, false);
        list_->viewport()->grab();
        QVERIFY(list_->IsPreparingLine());
        QVERIFY(list_->RowLineText(0) == std::u16string(200'000, u'x'));
        QVERIFY(list_->IsPreparingLine());
        SettleLines(*list_);
        QVERIFY(list_->RowLineText(1) == FromNativePath(longLine));
        QVERIFY(list_->RowLineText(2) == std::u16string(200'000, u'y'));
        QCOMPARE(list_->BackgroundDecodesForTesting(), 1);
    }

    // Copying a line of megabytes waits for its text off the window's
    // thread and appends it in pieces: the clipboard gets the exact text.
    void copyOfALineOfMegabytesGivesItsExactText_data() {
        QTest::addColumn<bool>("decoded");
        QTest::newRow("not decoded yet") << false;
        QTest::newRow("decoded by a paint") << true;
    }
    void copyOfALineOfMegabytesGivesItsExactText() {
        QFETCH(bool, decoded);
        const std::string longLine = LineOfMegabytes();
        LoadPrepared("first\n" + longLine + "\nlast\n\xc3\xa9", 1 << 20);
        if (decoded) {
            SettleLines(*list_);
        } else {
            list_->Rebuild(false, false);
        }
        list_->SelectAll();
        QCOMPARE(list_->CopySelection(), decoded ? LineNo{4} : LineNo{-1});
        QTRY_VERIFY_WITH_TIMEOUT(!list_->IsCopying(), 30000);
        QVERIFY(clipboard_ == u"first\n" + FromNativePath(longLine) + u"\nlast\n\u00e9");
    }

    void highlightersPaintUnderTheQuery() {
        Load("an error and a timeout", QSize(400, 100));
        list_->SetHighlightColor(0xFEE300);
        list_->SetHighlighters(
            {{.text = u"timeout", .background = Color32{.blue = 0xFF, .green = 0, .red = 0}},
             {.text = u"error timeout", .background = Color32{.red = 0xFF}}});
        Filter(u"error", 2);
        const QImage shot = list_->viewport()->grab().toImage();
        auto countOf = [&shot](const QColor& color) {
            int n = 0;
            for (int x = 0; x < shot.width(); ++x) {
                n += shot.pixelColor(x, 1) == color;
            }
            return n;
        };
        QVERIFY(countOf(QColor(0xFE, 0xE3, 0x00)) > 10);  // "error": the query on top
        QVERIFY(countOf(QColor(0, 0, 0xFF)) > 10);        // "timeout": the first rule
        QCOMPARE(countOf(QColor(0xFF, 0, 0)), 0);         // under both
        list_->SetHighlighters({});
        const QImage plain = list_->viewport()->grab().toImage();
        for (int x = 0; x < plain.width(); ++x) {
            QVERIFY(plain.pixelColor(x, 1) != QColor(0, 0, 0xFF));
        }
    }

    // With word wrap a line takes several rows: the caret moves by lines,
    // and Go to Line centres the line's first row.
    void caretAndGoToLineStepOverWrappedRows() {
        std::string longLine;
        for (int i = 0; i < 40; ++i) {
            longLine += "word" + std::to_string(i) + " ";
        }
        std::string text = "a\n" + longLine + "\nb\nc";
        for (int i = 0; i < 40; ++i) {
            text += "\nfill " + std::to_string(i);
        }
        Load(text, QSize(300, 200));
        list_->SetWordWrap(true, true, true);
        QTRY_VERIFY(!list_->IsLayingOut());
        const int64_t wrapped = list_->LineRowCount(1);
        QVERIFY(wrapped > 2);
        Click(0);
        QTest::keyClick(list_.get(), Qt::Key_Down);
        QTest::keyClick(list_.get(), Qt::Key_Down);
        QCOMPARE(list_->CaretShown(), int64_t{2});
        QTest::keyClick(list_.get(), Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(list_->CaretShown(), int64_t{1});
        QCOMPARE(SelectedLines(), (std::vector<size_t>{1, 2}));
        list_->GoToLine(30, true);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{30}));
        const int middle = list_->verticalScrollBar()->value() + list_->viewport()->height() / 2;
        const std::optional<TextRow> row = list_->ShownRow(middle / LineListView::kRowHeight);
        QVERIFY(row && row->line == 30 && row->subRow == 0);
        // End goes to the last line, Home back to the first one's first row.
        QTest::keyClick(list_.get(), Qt::Key_End);
        QCOMPARE(list_->CaretShown(), list_->FilteredLineCount() - 1);
        QTest::keyClick(list_.get(), Qt::Key_Home);
        QCOMPARE(list_->verticalScrollBar()->value(), 0);
    }

    // With word wrap the caret line keeps its height too, wrapped lines above it.
    void reshowWithWordWrapKeepsTheCaretLineWhereItWas() {
        std::string text;
        for (int i = 0; i < 120; ++i) {
            text += (i % 10 == 0 ? "hit " : "miss ") + std::to_string(i) +
                    (i % 4 == 1 ? std::string(300, 'w') : std::string()) + "\n";
        }
        Load(text, QSize(300, 200));
        list_->SetWordWrap(true, true, true);
        Filter(u"hit");
        QTRY_VERIFY(!list_->IsLayingOut());
        list_->GoToLine(90, true);
        auto caretY = [this] {
            for (int64_t row = 0; row < list_->ShownRowCount(); ++row) {
                if (list_->ShownRow(row)->line == 90) {
                    return row * LineListView::kRowHeight - list_->verticalScrollBar()->value();
                }
            }
            return int64_t{-1};
        };
        const int64_t y = caretY();
        QVERIFY(list_->ReshowFilter(FilterMode::ShowAll, 0));
        QTRY_VERIFY(!list_->IsLayingOut());
        QVERIFY(list_->ShownRowCount() > 120);
        QCOMPARE(caretY(), y);
    }

    // A pass handed over in chunks shows its matches first; its result adds
    // the context lines around them.
    void contextLinesComeWithEachChunkOfAPass() {
        Load("a\nb\nhit\nc\nd\ne\nf\nhit\ng", QSize(300, 240));
        const FilterRequest request{.text = u"hit", .context_before = 1, .context_after = 1};
        FilterResult result;
        QCOMPARE(RunFilterPass(request, *document_, result), FilterStatus::Done);
        list_->BeginFilter(request);
        list_->ApplyFilterChunk(0, 9, result.matched.Words());
        QCOMPARE(list_->ShownRowCount(), int64_t{6});
        QVERIFY(list_->Lines().IsContext(1) && list_->Lines().IsContext(8));
        QVERIFY(!list_->Lines().IsContext(2));
        list_->FinishFilter(result);
        QCOMPARE(list_->PartialFilterLines(), int64_t{-1});
        QCOMPARE(list_->ShownRowCount(), int64_t{6});
        QVERIFY(list_->Lines().IsContext(1) && list_->Lines().IsContext(8));
        QVERIFY(!list_->Lines().IsContext(2));
    }

    void ctrlDoubleClickAsksForTheFullFileAtThatLine() {
        Load("a\nhit 1\nb\nhit 2");
        Filter(u"hit");
        QSignalSpy asked(list_.get(), &LineListView::fullFileRequested);
        QTest::mouseDClick(list_->viewport(), Qt::LeftButton, Qt::ControlModifier, RowPoint(1));
        QCOMPARE(asked.count(), 1);
        QCOMPARE(list_->CaretShown(), int64_t{1});
        for (LineViewer* viewer : list_->viewport()->findChildren<LineViewer*>()) {
            QVERIFY(!viewer->isVisible());
        }
    }

    void lineNumberGutterShowsNumbersAndSelectsOnClick() {
        std::string text;
        for (int i = 0; i < 1200; ++i) {
            text += "row " + std::to_string(i) + "\n";
        }
        Load(text, QSize(300, 200));
        const int before = list_->viewport()->width();
        list_->SetLineNumbers(true);
        auto* gutter = list_->findChild<QWidget*>(QStringLiteral("LineNumberGutter"));
        QVERIFY(gutter != nullptr && gutter->isVisible());
        QCOMPARE(list_->viewport()->width(), before - gutter->width());
        QVERIFY(gutter->width() > QFontMetrics(ListFont()).horizontalAdvance("1201"));
        QTest::mouseClick(gutter, Qt::LeftButton, {}, QPoint(5, 2 * LineListView::kRowHeight + 5));
        QCOMPARE(SelectedLines(), (std::vector<size_t>{2}));
        QTest::mouseClick(gutter, Qt::LeftButton, Qt::ShiftModifier,
                          QPoint(5, 4 * LineListView::kRowHeight + 5));
        QCOMPARE(SelectedLines(), (std::vector<size_t>{2, 3, 4}));
        // Filtered, the gutter is painted again with the lines' own numbers.
        PaintCounter paints;
        gutter->installEventFilter(&paints);
        QTest::qWait(50);
        const int paintsBefore = paints.count;
        Filter(u"row 5");
        QTRY_VERIFY(paints.count > paintsBefore);
        list_->SetLineNumbers(false);
        QVERIFY(!gutter->isVisible());
        QCOMPARE(list_->viewport()->width(), before);
    }

    void screenshot() {
        std::string text =
            "2026-12-08 INFO  service started\n"
            "2026-12-08 ERROR disk <sda> & \"full\" error\n"
            "\tindented\tby tabs\n"
            "2026-12-08 WARN  retry\n";
        text += "2026-12-08 ERROR " + std::string(300, 'e') + " error end\n";
        Load(text, QSize(520, 200));
        Filter(u"error", 2);
        Click(1);
        Click(3, Qt::ControlModifier);
        list_->setFocus();
        QImage shot = list_->grab().toImage();
        QString path = QString::fromLocal8Bit(qgetenv("LINESIFT_SHOT_DIR"));
        if (!path.isEmpty()) {
            shot.save(path + QStringLiteral("/text_list.png"));
            list_->SetWordWrap(true, true, true);
            Filter(u"error", 2);
            list_->grab().save(path + QStringLiteral("/text_list_wrapped.png"));
        }
        QCOMPARE(shot.pixelColor(480, 30), QColor(230, 230, 230));
    }
};

QTEST_MAIN(LineListViewTest)
#include "line_list_view_test.moc"
