// The dialogs of the reading tools, driven by key and mouse events: Go to
// Line, Highlighters, and the highlight colour in Options.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "filter/filter_pass.h"
#include "filter/filtered_lines.h"
#include "highlight/line_highlighter.h"
#include "qt_color.h"
#include "qt_text.h"
#include "shell/go_to_line_dialog.h"
#include "shell/highlighters_dialog.h"
#include "shell/options_dialog.h"
#include "views/color_button.h"

using namespace linesift;

namespace {

// 100 lines with the even ones shown.
FilteredLines EvenLinesShown() {
    FilteredLines lines;
    lines.Reset(100);
    FilterResult result;
    result.matched.Reset(100);
    LineBits shown;
    shown.Reset(100);
    for (size_t i = 0; i < 100; i += 2) {
        result.matched.Set(i);
        shown.Set(i);
    }
    result.shown.ShowSet(shown);
    lines.Apply(std::move(result));
    return lines;
}

QPushButton* ButtonNamed(QWidget& parent, const QString& text) {
    for (QPushButton* button : parent.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

}  // namespace

class ReadingDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { ColorButton::SetChooserForTesting(nullptr); }

    void goToLineTakesOneBasedNumbers_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");
        QTest::newRow("a shown line") << "5" << true << 4 << "";
        QTest::newRow("the first line") << "1" << true << 0 << "";
        QTest::newRow("not a number") << "x" << false << 0 << "Type a line number from 1 to 100.";
        QTest::newRow("past the end")
            << "101" << false << 0 << "There is no line 101: the document has 100 lines.";
        QTest::newRow("a hidden line")
            << "6" << false << 5 << "Line 6 is hidden by the filter. Show all lines to go there.";
    }
    void goToLineTakesOneBasedNumbers() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(int, line);
        QFETCH(QString, message);
        const FilteredLines lines = EvenLinesShown();
        GoToLineDialog dialog(lines, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("LineNumber"));
        Retype(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(dialog.isVisible(), !accepted);
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("Message"));
        QCOMPARE(label->isVisible() ? label->text() : QString(), message);
        if (accepted) {
            QCOMPARE(dialog.Line(), size_t(line));
            QVERIFY(!dialog.ShowAll());
        }
    }

    void goToHiddenLineOffersShowAll() {
        const FilteredLines lines = EvenLinesShown();
        GoToLineDialog dialog(lines, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("LineNumber"));
        QPushButton* showAll = ButtonNamed(dialog, QStringLiteral("Show &All Lines"));
        QVERIFY(showAll != nullptr && !showAll->isVisible());
        Retype(edit, QStringLiteral("8"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(showAll->isVisible());
        // Another number withdraws the offer until it is looked up.
        Retype(edit, QStringLiteral("10"));
        QVERIFY(!showAll->isVisible());
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QVERIFY(showAll->isVisible());
        // Enter now takes the offer.
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.ShowAll());
        QCOMPARE(dialog.Line(), size_t(9));
    }

    void highlightersAddEditToggleMoveRemove() {
        const QColor blue(0, 0, 255);
        ColorButton::SetChooserForTesting([blue](const QColor&, QWidget*) { return blue; });
        std::vector<HighlightRule> rules = {
            {.text = u"ERROR", .background = Color32{.red = 0xFF}},
            {.text = u"WARN", .background = Color32{.green = 0xFF}, .enabled = false},
        };
        HighlightersDialog dialog(rules, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("Rules"));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);

        // Add a rule, type its text and pick a text colour.
        QTest::mouseClick(ButtonNamed(dialog, QStringLiteral("&Add")), Qt::LeftButton);
        QCOMPARE(list->count(), 3);
        auto* text = dialog.findChild<QLineEdit*>(QStringLiteral("RuleText"));
        QVERIFY(text->hasFocus());
        QTest::keyClicks(text, QStringLiteral("timeout"));
        QCOMPARE(list->item(2)->text(), QStringLiteral("timeout"));
        QTest::mouseClick(dialog.findChild<ColorButton*>(QStringLiteral("Foreground")),
                          Qt::LeftButton);
        QCOMPARE(list->item(2)->foreground().color(), blue);

        // Move it to the top, turn the first rule (now ERROR, second) off
        // with Space, and add an empty rule that OK drops.
        QTest::mouseClick(ButtonNamed(dialog, QStringLiteral("Move &Up")), Qt::LeftButton);
        QTest::mouseClick(ButtonNamed(dialog, QStringLiteral("Move &Up")), Qt::LeftButton);
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(!ButtonNamed(dialog, QStringLiteral("Move &Up"))->isEnabled());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
        // Remove WARN.
        QTest::keyClick(list, Qt::Key_Down);
        QTest::mouseClick(ButtonNamed(dialog, QStringLiteral("&Remove")), Qt::LeftButton);
        QCOMPARE(list->count(), 2);
        QTest::mouseClick(ButtonNamed(dialog, QStringLiteral("&Add")), Qt::LeftButton);
        QTest::mouseClick(ButtonNamed(dialog, QStringLiteral("OK")), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        const Color32 lightGreen{.blue = 0xC9, .green = 0xE6, .red = 0xC8};
        const std::vector<HighlightRule> expected = {
            {.text = u"timeout", .foreground = ToColor32(blue), .background = lightGreen},
            {.text = u"ERROR", .background = Color32{.red = 0xFF}, .enabled = false},
        };
        QVERIFY(dialog.Rules() == expected);
    }

    void highlightersSayWhyARuleColoursNothing() {
        const HighlightRule bad{.text = u"a(", .query_mode = 2, .background = Color32{}};
        HighlightersDialog dialog({bad, {.text = u"b", .background = Color32{}}}, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLabel* problem = nullptr;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->text().startsWith(QStringLiteral("The regular expression"))) {
                problem = label;
            }
        }
        QVERIFY(problem != nullptr);
        // The rule that does not compile is marked in the list, with the
        // engine's message as its tip; the valid one is not.
        const QString error = ToQString(HighlightRuleError(bad));
        QVERIFY(!error.isEmpty());
        QVERIFY(problem->text().endsWith(error));
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("Rules"));
        QCOMPARE(list->item(0)->text(), QStringLiteral("a(    (not valid)"));
        QVERIFY(list->item(0)->toolTip().endsWith(error));
        QVERIFY(!list->item(0)->icon().isNull());
        QCOMPARE(list->item(1)->text(), QStringLiteral("b"));
        QCOMPARE(list->item(1)->toolTip(), QString());
        auto* text = dialog.findChild<QLineEdit*>(QStringLiteral("RuleText"));
        QTest::keyClick(text, Qt::Key_End);
        QTest::keyClick(text, Qt::Key_ParenRight);
        QCOMPARE(problem->text(), QString());
        QCOMPARE(list->item(0)->text(), QStringLiteral("a()"));
        QCOMPARE(list->item(0)->toolTip(), QString());
        QVERIFY(list->item(0)->icon().isNull());
        // Without either colour the rule would colour nothing.
        for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
            if (box->text() == QStringLiteral("&Background")) {
                QTest::mouseClick(box, Qt::LeftButton);
            }
        }
        QVERIFY(problem->text().startsWith(QStringLiteral("Choose a text or background colour")));
        QVERIFY(!dialog.Rules()[0].background.has_value());
    }

    void optionsEditTheMatchHighlightColour() {
        const QColor green(0, 200, 0);
        ColorButton::SetChooserForTesting([green](const QColor& initial, QWidget*) {
            return initial == QColor(0xFE, 0xE3, 0x00) ? green : QColor();
        });
        OptionsDialog dialog(OptionValues{}, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* button = dialog.findChild<ColorButton*>(QStringLiteral("HiliteColor"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->Color(), green);
        QTest::mouseClick(button, Qt::LeftButton);  // cancelled: no change
        QCOMPARE(button->Color(), green);
        QTest::mouseClick(ButtonNamed(dialog, QStringLiteral("OK")), Qt::LeftButton);
        QVERIFY(dialog.Values().hilite_color == ToColor32(green));

        OptionsDialog reset(OptionValues{.hilite_color = ToColor32(green)}, nullptr);
        reset.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reset));
        QTest::mouseClick(ButtonNamed(reset, QStringLiteral("Reset")), Qt::LeftButton);
        QCOMPARE(reset.findChild<ColorButton*>(QStringLiteral("HiliteColor"))->Color(),
                 QColor(0xFE, 0xE3, 0x00));
    }
};

QTEST_MAIN(ReadingDialogsTest)
#include "reading_dialogs_test.moc"
