// The reading tools in the main window, driven by keys: Find Next and
// Previous, Go to Line, Show in Full File, context lines, line numbers and
// highlighters.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "highlight/line_highlighter.h"
#include "qt_text.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/go_to_line_dialog.h"
#include "shell/highlighters_dialog.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/search_box.h"

using namespace linesift;

class ReadingToolsTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<MainFrame> frame_;

    LineListView& List() { return frame_->Pane().List(); }
    QLineEdit& Edit() { return frame_->SearchField().Edit(); }
    QString Status() { return frame_->Status().MessageText(); }
    void TypeQuery(const QString& text) {
        if (!frame_->SearchField().IsEditing()) {
            frame_->SearchField().Activate(false);
            Edit().end(false);
        }
        QTest::keyClicks(&Edit(), text);
    }
    // Lines "hit N" at every tenth line of count lines "miss N".
    void OpenHits(int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += (i % 10 == 0 ? "hit " : "miss ") + std::to_string(i) + "\n";
        }
        const std::string path = dir_.Write("hits.log", text);
        QVERIFY(frame_->OpenFile(FromNativePath(path), true));
    }
    std::vector<size_t> SelectedLines() {
        std::vector<size_t> out;
        for (size_t i = 0; i < frame_->Document().LineCount(); ++i) {
            if (List().IsLineSelected(LineNo(i))) {
                out.push_back(i);
            }
        }
        return out;
    }
    size_t CaretLine() {
        const ShownNo shown = List().CaretShown();
        return shown < 0 ? size_t(-1) : size_t(List().Lines().LineAt(shown));
    }
    // Runs act on the modal dialog of type D once it is up.
    template <typename D>
    void WhenDialogOpens(std::function<void(D&)> act) {
        QTimer::singleShot(0, this, [act] {
            auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            act(*dialog);
        });
    }

  private slots:
    void init() {
        AppSettings::Instance() = AppSettings{};
        frame_ = std::make_unique<MainFrame>(std::make_unique<test::ScriptedDialogs>());
        frame_->resize(700, 400);
        frame_->ShowFirstTime();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void cleanup() { frame_.reset(); }

    void findNextAndPreviousWalkTheMatchesFromTheSearchBox() {
        OpenHits(35);  // hits on lines 0, 10, 20, 30
        TypeQuery(QStringLiteral("hit"));
        QVERIFY(frame_->RunCommand(cmd::kShowAll));
        QTest::keyClick(&Edit(), Qt::Key_F3);
        QCOMPARE(CaretLine(), size_t(0));
        QTest::keyClick(&Edit(), Qt::Key_F3);
        QTest::keyClick(&Edit(), Qt::Key_F3);
        QCOMPARE(CaretLine(), size_t(20));
        QCOMPARE(SelectedLines(), (std::vector<size_t>{20}));
        QCOMPARE(Edit().text(), QStringLiteral("hit"));  // F3 typed nothing
        QTest::keyClick(&Edit(), Qt::Key_F3);
        QTest::keyClick(&Edit(), Qt::Key_F3);
        QCOMPARE(CaretLine(), size_t(0));
        QVERIFY(Status().startsWith(QStringLiteral("Passed the last match")));
        QTest::keyClick(&Edit(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(CaretLine(), size_t(30));
        QVERIFY(Status().startsWith(QStringLiteral("Passed the first match")));
        // Hiding the matched lines leaves nothing to find.
        QVERIFY(frame_->RunCommand(cmd::kHideMatched));
        QTest::keyClick(&Edit(), Qt::Key_F3);
        QCOMPARE(Status(), QStringLiteral("No line shown matches the query"));
    }

    // A caret line that a new filter mode hides: Find Next goes on to the
    // match after it, Find Previous to the one before, not from the top.
    void findNextGoesOnFromACaretLineTheFilterHides() {
        OpenHits(100);  // hits on lines 0, 10, ..., 90
        TypeQuery(QStringLiteral("hit"));
        QVERIFY(frame_->RunCommand(cmd::kShowAll));
        List().setFocus();
        List().GoToLine(44, true);
        QVERIFY(frame_->RunCommand(cmd::kHideUnmatched));
        QCOMPARE(List().ShownRowCount(), int64_t{10});
        QCOMPARE(CaretLine(), size_t(-1));  // hidden
        QTest::keyClick(&List(), Qt::Key_F3);
        QCOMPARE(CaretLine(), size_t(50));
        QVERIFY(frame_->RunCommand(cmd::kShowAll));
        List().GoToLine(67, true);
        QVERIFY(frame_->RunCommand(cmd::kHideUnmatched));
        QTest::keyClick(&List(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(CaretLine(), size_t(60));
        QCOMPARE(SelectedLines(), (std::vector<size_t>{60, 67}));  // 67 keeps its mark, hidden
    }

    void goToLineScrollsItToTheMiddle() {
        OpenHits(500);
        WhenDialogOpens<GoToLineDialog>([](GoToLineDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("LineNumber"));
            QTest::keyClicks(edit, QStringLiteral("250"));
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QTest::keyClick(&Edit(), Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(CaretLine(), size_t(249));
        QCOMPARE(SelectedLines(), (std::vector<size_t>{249}));
        const int middle = List().verticalScrollBar()->value() + List().viewport()->height() / 2;
        QVERIFY(std::abs(middle / LineListView::kRowHeight - 249) <= 1);
        frame_->activateWindow();  // as the window manager does once the dialog is gone
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        QTRY_VERIFY(List().hasFocus());
    }

    void goToAHiddenLineShowsAllAndCtrlEnterGoesBack() {
        OpenHits(500);
        TypeQuery(QStringLiteral("hit"));
        QCOMPARE(List().ShownRowCount(), int64_t{50});
        WhenDialogOpens<GoToLineDialog>([](GoToLineDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("LineNumber"));
            QTest::keyClicks(edit, QStringLiteral("123"));
            QTest::keyClick(edit, Qt::Key_Return);  // hidden: the offer
            QTest::keyClick(edit, Qt::Key_Return);  // taken
        });
        QVERIFY(frame_->RunCommand(cmd::kGoToLine));
        QCOMPARE(AppSettings::Instance().filter_mode, 2);
        QCOMPARE(List().ShownRowCount(), int64_t{501});
        QCOMPARE(CaretLine(), size_t(122));
        QVERIFY(frame_->Action(cmd::kShowAll)->isChecked());
        // Back to the matching lines: the caret goes on to the next one.
        frame_->activateWindow();  // as the window manager does once the dialog is gone
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        QTest::keyClick(&List(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(AppSettings::Instance().filter_mode, 0);
        QCOMPARE(List().ShownRowCount(), int64_t{50});
        QCOMPARE(CaretLine(), size_t(130));
        QCOMPARE(Status(), QStringLiteral("Hide Unmatched Lines"));
    }

    void ctrlEnterShowsTheCaretLineInTheFullFileAtTheSameHeight() {
        OpenHits(500);
        TypeQuery(QStringLiteral("hit"));
        List().setFocus();
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(&List(), Qt::Key_Down);
        }
        QCOMPARE(CaretLine(), size_t(120));
        const int y = 12 * LineListView::kRowHeight - List().verticalScrollBar()->value();
        QTest::keyClick(&List(), Qt::Key_Space);
        QTest::keyClick(&List(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(List().ShownRowCount(), int64_t{501});
        QCOMPARE(120 * LineListView::kRowHeight - List().verticalScrollBar()->value(), y);
        QCOMPARE(SelectedLines(), (std::vector<size_t>{120}));
        QVERIFY(Status().startsWith(QStringLiteral("Show All Lines")));
        QTest::keyClick(&List(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(List().ShownRowCount(), int64_t{50});
        QCOMPARE(12 * LineListView::kRowHeight - List().verticalScrollBar()->value(), y);
    }

    void contextLinesAreRememberedAndShownAroundMatches() {
        OpenHits(100);
        TypeQuery(QStringLiteral("hit"));
        QVERIFY(frame_->RunCommand(cmd::kContextLines2));
        QCOMPARE(AppSettings::Instance().context_lines, 2);
        frame_->UpdateCommandUi();
        QVERIFY(frame_->Action(cmd::kContextLines2)->isChecked());
        QVERIFY(!frame_->Action(cmd::kContextLines0)->isChecked());
        QCOMPARE(List().ShownRowCount(), int64_t{3 + 9 * 5});
        QVERIFY(List().Lines().IsContext(8) && !List().Lines().IsContext(10));
        // A new query keeps them; copying takes them as shown.
        TypeQuery(QStringLiteral(" 9"));  // "hit 9" matches line 90 only
        QCOMPARE(List().ShownRowCount(), int64_t{5});
        QVERIFY(frame_->RunCommand(cmd::kContextLines0));
        QCOMPARE(List().ShownRowCount(), int64_t{1});
    }

    void lineNumbersAreRemembered() {
        OpenHits(20);
        auto* gutter = List().findChild<QWidget*>(QStringLiteral("LineNumberGutter"));
        QVERIFY(!gutter->isVisible());
        QVERIFY(frame_->RunCommand(cmd::kLineNumbers));
        QVERIFY(AppSettings::Instance().line_numbers);
        QVERIFY(gutter->isVisible());
        QVERIFY(AppSettings::Instance().SaveSettings());
        frame_.reset();
        AppSettings::Instance() = AppSettings{};
        init();
        QVERIFY(AppSettings::Instance().line_numbers);
        QVERIFY(List().findChild<QWidget*>(QStringLiteral("LineNumberGutter"))->isVisible());
    }

    void highlightersCommandStoresTheRules() {
        const size_t before = AppSettings::Instance().highlight_rules.size();
        WhenDialogOpens<HighlightersDialog>([](HighlightersDialog& dialog) {
            for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
                if (button->text() == QStringLiteral("&Add")) {
                    QTest::mouseClick(button, Qt::LeftButton);
                }
            }
            QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("RuleText")),
                             QStringLiteral("timeout"));
            dialog.accept();
        });
        QVERIFY(frame_->RunCommand(cmd::kHighlighters));
        const auto& rules = AppSettings::Instance().highlight_rules;
        QCOMPARE(rules.size(), before + 1);
        QVERIFY(rules.back().text == u"timeout" && rules.back().enabled);
    }

    // A rule that does not compile is told on the status bar when the rules
    // are applied, not at each paint; the rules that compile still paint.
    void highlighterThatDoesNotCompileIsToldAndTheOthersPaint() {
        const std::string path = dir_.Write("levels.log", "ok\nan ERROR here\nok\n");
        QVERIFY(frame_->OpenFile(FromNativePath(path), true));
        WhenDialogOpens<HighlightersDialog>([](HighlightersDialog& dialog) {
            auto* list = dialog.findChild<QListWidget*>(QStringLiteral("Rules"));
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Space);  // ERROR on
            for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
                if (button->text() == QStringLiteral("&Add")) {
                    QTest::mouseClick(button, Qt::LeftButton);
                }
            }
            QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("RuleText")),
                             QStringLiteral("a("));
            auto* mode = dialog.findChild<QComboBox*>();
            mode->setFocus();
            QTest::keyClick(mode, Qt::Key_End);  // Regex
            dialog.accept();
        });
        QVERIFY(frame_->RunCommand(cmd::kHighlighters));
        const auto& rules = AppSettings::Instance().highlight_rules;
        QCOMPARE(rules.size(), size_t{4});
        QVERIFY(rules[0].enabled && rules[3].query_mode == 2);
        const QString error = ToQString(HighlightRuleError(rules[3]));
        QVERIFY(!error.isEmpty());
        QCOMPARE(Status(),
                 QStringLiteral("Highlighter 4 \u00ABa(\u00BB is not valid and colours nothing: ") +
                     error);
        // ERROR is painted in its red behind white text.
        const QImage image = List().viewport()->grab().toImage();
        int red = 0;
        for (int y = LineListView::kRowHeight; y < 2 * LineListView::kRowHeight; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                red += image.pixelColor(x, y) == QColor(0xD3, 0x2F, 0x2F);
            }
        }
        QVERIFY2(red > 100, qPrintable(QString::number(red)));
        // Painting again says nothing more.
        frame_->Status().SetMessage(QStringLiteral("Ready"));
        List().viewport()->repaint();
        TypeQuery(QStringLiteral("ERROR"));
        QCOMPARE(Status(), QStringLiteral("Ready"));
    }
};

QTEST_MAIN(ReadingToolsTest)
#include "reading_tools_test.moc"
