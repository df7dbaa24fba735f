// The Regex Tester window, driven by key and mouse events: the result table,
// the check boxes, the histories, Reset, closing, and opening it from the
// main window.
#include <QClipboard>
#include <QLineEdit>
#include <QTextFrame>
#include <QTextTable>
#include <QtTest>
#include <memory>

#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "tester/regex_tester_dialog.h"
#include "tester/results_pane.h"

using namespace linesift;

namespace {

// The rows of the first table in doc, each as its cells joined by "|", with
// no-break spaces read as spaces.
QStringList TableRows(QTextDocument& doc) {
    QStringList rows;
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        for (int r = 0; table != nullptr && r < table->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columns(); ++c) {
                QTextCursor cursor = table->cellAt(r, c).firstCursorPosition();
                cursor.setPosition(table->cellAt(r, c).lastCursorPosition().position(),
                                   QTextCursor::KeepAnchor);
                cells << cursor.selectedText().replace(QChar(0xA0), QLatin1Char(' '));
            }
            rows << cells.join(QLatin1Char('|'));
        }
        if (table != nullptr) {
            break;
        }
    }
    return rows;
}

}  // namespace

class RegexTesterTest : public QObject {
    Q_OBJECT
  private:
    RegexTesterDialog* tester_ = nullptr;

    QWidget* Control(int id) { return tester_->Control(id); }
    QCheckBox* Check(int id) { return qobject_cast<QCheckBox*>(Control(id)); }
    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(Control(id)); }
    ResultsPane& Results() { return tester_->Results(); }
    QStringList ResultRows() { return TableRows(*Results().document()).mid(1); }

    void Type(QComboBox& box, const QString& text) {
        box.lineEdit()->setFocus();
        box.lineEdit()->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(box.lineEdit(), Qt::Key_Delete);
        } else {
            QTest::keyClicks(box.lineEdit(), text);
        }
    }
    void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
    void RunTest(const QString& text, const QString& pattern) {
        Type(tester_->TextBox(), text);
        Type(tester_->PatternBox(), pattern);
        Click(kTesterTestButton);
    }
    void OpenTester() {
        tester_ = RegexTesterDialog::Open();
        QVERIFY(QTest::qWaitForWindowExposed(tester_));
    }
    // Closes the tester as its Close button does and lets it delete itself.
    void CloseTester() {
        if (RegexTesterDialog::Instance() != nullptr) {
            Click(kTesterCloseButton);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(RegexTesterDialog::Instance() == nullptr);
        tester_ = nullptr;
    }

  private slots:
    void init() {
        AppSettings::Instance() = AppSettings{};
        RegexTesterDialog::Session() = TesterSession{};
        OpenTester();
    }
    void cleanup() { CloseTester(); }

    void resultTable_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QStringList>("rows");
        const QList<int> none;
        QTest::newRow("two captures")
            << "key=value"
            << "(\\w+)=(\\w+)" << none
            << QStringList{"Match|key=value|$0", "Capture #1|key|$1", "Capture #2|value|$2"};
        QTest::newRow("a capture numbered by its group")
            << "id 7"
            << "(x)?(\\d)" << none << QStringList{"Match|7|$0", "Capture #2|7|$2"};
        QTest::newRow("wildcard exact match")
            << "a.txt"
            << "*.txt" << QList<int>{kTesterRegexBox, kTesterExactBox}
            << QStringList{"Match|a.txt|$0"};
    }
    void resultTable() {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(QList<int>, clicks);
        QFETCH(QStringList, rows);
        for (int id : clicks) {
            Click(id);
        }
        RunTest(text, pattern);
        QCOMPARE(ResultRows(), rows);
        const QStringList header = TableRows(*Results().document()).mid(0, 1);
        QCOMPARE(header.value(0).split(QLatin1Char('|')).mid(1),
                 (QStringList{"Text", "Back-referenced As"}));
    }

    void caseSensitiveTestShowsTheNoMatchPage() {
        Click(kTesterCaseBox);
        RunTest(QStringLiteral("Hello"), QStringLiteral("hello"));
        QCOMPARE(Results().toPlainText().trimmed(), QStringLiteral("No matches!"));
        QVERIFY(TableRows(*Results().document()).isEmpty());
    }

    void markupLikeSampleIsShownAsTextWithItsSpaces() {
        RunTest(QStringLiteral("<b>  & \"x\""), QStringLiteral(".+"));
        QCOMPARE(ResultRows(), QStringList{"Match|<b>  & \"x\"|$0"});
        QTextCursor cell = Results().document()->find(QStringLiteral("\"x\""));
        QVERIFY(!cell.isNull());
        QVERIFY(cell.charFormat().fontWeight() < QFont::Bold);
    }

    void exactMatchChecksAndDisablesWholeWord() {
        QVERIFY(Check(kTesterWholeWordBox)->isEnabled());
        Click(kTesterExactBox);
        QVERIFY(Check(kTesterWholeWordBox)->isChecked());
        QVERIFY(!Check(kTesterWholeWordBox)->isEnabled());
        Click(kTesterExactBox);
        QVERIFY(Check(kTesterWholeWordBox)->isEnabled());
        QVERIFY(Check(kTesterWholeWordBox)->isChecked());
    }

    void everyInputChangeClearsTheResults() {
        for (int input : {kTesterTextBox, kTesterPatternBox, kTesterCaseBox, kTesterRegexBox}) {
            RunTest(QStringLiteral("abc"), QStringLiteral("b"));
            QVERIFY(!Results().Html().empty());
            if (auto* box = qobject_cast<QComboBox*>(Control(input))) {
                QTest::keyClick(box->lineEdit(), Qt::Key_End);
                QTest::keyClick(box->lineEdit(), Qt::Key_Z);
            } else {
                Click(input);
            }
            QVERIFY2(Results().Html().empty(), qPrintable(QString::number(input)));
            QVERIFY(Results().toPlainText().isEmpty());
            if (qobject_cast<QCheckBox*>(Control(input)) != nullptr) {
                Click(input);
            }
        }
    }

    void choosingAHistoryEntryClearsTheResults() {
        RunTest(QStringLiteral("one"), QStringLiteral("o"));
        RunTest(QStringLiteral("two"), QStringLiteral("o"));
        QVERIFY(!Results().Html().empty());
        QTest::keyClick(tester_->TextBox().lineEdit(), Qt::Key_Down);
        QCOMPARE(tester_->TextBox().currentText(), QStringLiteral("one"));
        QVERIFY(Results().Html().empty());
    }

    void invalidPatternTurnsTheBoxLightRedAndDisablesTest() {
        Type(tester_->TextBox(), QStringLiteral("abc"));
        QVERIFY2(!Button(kTesterTestButton)->isEnabled(), "no pattern yet");
        Type(tester_->PatternBox(), QStringLiteral("a("));
        QVERIFY(tester_->IsPatternMarkedInvalid());
        QVERIFY(!Button(kTesterTestButton)->isEnabled());
        QLineEdit* edit = tester_->PatternBox().lineEdit();
        const QImage shot = edit->grab().toImage();
        QCOMPARE(shot.pixelColor(shot.width() - 3, shot.height() / 2), QColor(255, 220, 220));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY2(Results().Html().empty(), "Enter does not test an invalid pattern");
        QTest::keyClicks(edit, QStringLiteral(")"));
        QVERIFY(!tester_->IsPatternMarkedInvalid());
        QVERIFY(Button(kTesterTestButton)->isEnabled());
        const QImage normal = edit->grab().toImage();
        QVERIFY(normal.pixelColor(normal.width() - 3, normal.height() / 2) !=
                QColor(255, 220, 220));
    }

    void enterInThePatternBoxRunsTheTestAndAddsNothingElse() {
        Type(tester_->TextBox(), QStringLiteral("abc"));
        Type(tester_->PatternBox(), QStringLiteral("b"));
        QTest::keyClick(tester_->PatternBox().lineEdit(), Qt::Key_Return);
        QCOMPARE(ResultRows(), QStringList{"Match|b|$0"});
        QCOMPARE(tester_->PatternBox().count(), 1);
        QVERIFY(tester_->isVisible());
    }

    void historyTellsLetterCaseApart() {
        RunTest(QStringLiteral("a1"), QStringLiteral("\\d"));
        RunTest(QStringLiteral("a1"), QStringLiteral("\\D"));
        QComboBox& box = tester_->PatternBox();
        QCOMPARE(box.count(), 2);
        QCOMPARE(box.itemText(0), QStringLiteral("\\D"));
        QCOMPARE(box.itemText(1), QStringLiteral("\\d"));
        // Typing kept the letter case.
        QCOMPARE(ResultRows(), QStringList{"Match|a|$0"});
    }

    void resetEmptiesInputsHistoriesAndResults() {
        AppSettings::Instance().tester_regex_mru = {u"kept"};
        Click(kTesterCaseBox);
        Click(kTesterExactBox);
        Click(kTesterRegexBox);
        RunTest(QStringLiteral("abc"), QStringLiteral("b"));
        Click(kTesterResetButton);
        QCOMPARE(tester_->TextBox().count(), 0);
        QCOMPARE(tester_->PatternBox().count(), 0);
        QVERIFY(tester_->TextBox().currentText().isEmpty());
        QVERIFY(tester_->PatternBox().currentText().isEmpty());
        QVERIFY2(AppSettings::Instance().tester_regex_mru.empty(), "even with saving off");
        QVERIFY(Results().Html().empty());
        QVERIFY(!Check(kTesterCaseBox)->isChecked());
        QVERIFY(!Check(kTesterExactBox)->isChecked());
        QVERIFY(!Check(kTesterWholeWordBox)->isChecked());
        QVERIFY(Check(kTesterWholeWordBox)->isEnabled());
        QVERIFY(Check(kTesterRegexBox)->isChecked());
        QVERIFY(!Button(kTesterTestButton)->isEnabled());
    }

    void closingKeepsCheckBoxesAndPlaceAndSavesHistoriesWhenAsked() {
        AppSettings::Instance().save_tester_history = true;
        Click(kTesterCaseBox);
        Click(kTesterRegexBox);
        RunTest(QStringLiteral("abc"), QStringLiteral("b"));
        RunTest(QStringLiteral("xyz"), QStringLiteral("y"));
        tester_->setGeometry(tester_->geometry().adjusted(10, 20, 60, 40));
        const QRect placed = tester_->geometry();
        QTest::keyClick(tester_->TextBox().lineEdit(), Qt::Key_Escape);
        QCOMPARE(AppSettings::Instance().tester_text_mru,
                 (std::vector<std::u16string>{u"xyz", u"abc"}));
        QCOMPARE(AppSettings::Instance().tester_regex_mru,
                 (std::vector<std::u16string>{u"y", u"b"}));
        CloseTester();
        OpenTester();
        QVERIFY(Check(kTesterCaseBox)->isChecked());
        QVERIFY(!Check(kTesterRegexBox)->isChecked());
        QCOMPARE(tester_->geometry(), placed);
        QCOMPARE(tester_->TextBox().count(), 2);
        QCOMPARE(tester_->TextBox().currentText(), QStringLiteral("xyz"));
        QCOMPARE(tester_->PatternBox().currentText(), QStringLiteral("y"));
        QVERIFY(Results().Html().empty());
        QVERIFY(Button(kTesterTestButton)->isEnabled());
    }

    void historiesStayOutOfTheSettingsWhenNotSaved() {
        AppSettings::Instance().tester_text_mru = {u"old"};
        RunTest(QStringLiteral("abc"), QStringLiteral("b"));
        CloseTester();
        QCOMPARE(AppSettings::Instance().tester_text_mru, std::vector<std::u16string>{u"old"});
        OpenTester();
        // Nothing is loaded either.
        QCOMPARE(tester_->TextBox().count(), 0);
    }

    void loadedHistoriesAreRepaired() {
        CloseTester();
        AppSettings& settings = AppSettings::Instance();
        settings.save_tester_history = true;
        settings.tester_text_mru = {u"", u"b", u"a", u"b"};
        OpenTester();
        QCOMPARE(tester_->TextBox().count(), 2);
        QCOMPARE(tester_->TextBox().currentText(), QStringLiteral("b"));
    }

    void firstOpeningIsCentredAtItsMinimumSizeAndGrowsTheResults() {
        QCOMPARE(tester_->minimumSize(), tester_->size());
        QVERIFY(tester_->isSizeGripEnabled());
        QVERIFY(tester_->parentWidget() == nullptr);
        const QPoint centre = tester_->screen()->availableGeometry().center();
        QVERIFY(qAbs(tester_->geometry().center().x() - centre.x()) <= 1);
        QVERIFY(qAbs(tester_->geometry().center().y() - centre.y()) <= 1);
        const QRect results = Results().geometry();
        const QPoint test = Control(kTesterTestButton)->pos();
        const QPoint close = Control(kTesterCloseButton)->pos();
        tester_->resize(tester_->size() + QSize(100, 80));
        QCOMPARE(Results().geometry().size(), results.size() + QSize(100, 80));
        QCOMPARE(Control(kTesterTestButton)->pos(), test + QPoint(0, 80));
        QCOMPARE(Control(kTesterCloseButton)->pos(), close + QPoint(100, 80));
    }

    void tabVisitsTheControlsInOrder() {
        Type(tester_->PatternBox(), QStringLiteral("b"));
        Type(tester_->TextBox(), QStringLiteral("abc"));
        QList<int> visited;
        for (int i = 0; i < 10; ++i) {
            QWidget* focus = QApplication::focusWidget();
            while (focus != nullptr && !focus->property("controlId").isValid()) {
                focus = focus->parentWidget();
            }
            visited << (focus != nullptr ? focus->property("controlId").toInt() : 0);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited,
                 (QList<int>{kTesterTextBox, kTesterPatternBox, kTesterCaseBox, kTesterWholeWordBox,
                             kTesterExactBox, kTesterRegexBox, kTesterResults, kTesterTestButton,
                             kTesterResetButton, kTesterCloseButton}));
    }

    void contextMenuCopiesTheSelectionAndTheLinkAddress() {
        Results().ShowHtml(u"<p>see <a href=\"https://example.org/x\">the page</a> now</p>");
        const QPoint link = Results().cursorRect(Results().document()->find("the page")).center();
        std::unique_ptr<QMenu> menu(Results().CreateContextMenu(link));
        QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QStringLiteral("Copy"));
        QCOMPARE(items[1]->text(), QStringLiteral("Copy Shortcut"));
        QVERIFY2(!items[0]->isEnabled(), "nothing selected");
        QVERIFY(items[1]->isEnabled());
        items[1]->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://example.org/x"));

        Results().selectAll();
        menu.reset(Results().CreateContextMenu(QPoint(1, 1)));
        QVERIFY(menu->actions()[0]->isEnabled());
        QVERIFY2(!menu->actions()[1]->isEnabled(), "no link there");
        menu->actions()[0]->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("see the page now"));
    }

    void openingAgainBringsTheSameTesterForward() {
        QCOMPARE(RegexTesterDialog::Open(), tester_);
        tester_->showMinimized();
        QCOMPARE(RegexTesterDialog::Open(), tester_);
        QVERIFY(!tester_->isMinimized());
    }

    void f4OpensTheTesterBesideAUsableMainWindowAndClosingTheFrameSavesItsHistories() {
        CloseTester();
        MainFrame frame;  // loads the settings file
        AppSettings::Instance().save_tester_history = true;
        frame.ShowFirstTime();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QTest::keyClick(&frame, Qt::Key_F4);
        tester_ = RegexTesterDialog::Instance();
        QVERIFY(tester_ != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(tester_));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(frame.RunCommand(cmd::kRegexTester));
        QCOMPARE(RegexTesterDialog::Instance(), tester_);
        RunTest(QStringLiteral("abc"), QStringLiteral("b"));
        QVERIFY(frame.close());
        QCOMPARE(AppSettings::Instance().tester_text_mru, std::vector<std::u16string>{u"abc"});
        QCOMPARE(AppSettings::Instance().tester_regex_mru, std::vector<std::u16string>{u"b"});
        QVERIFY(RegexTesterDialog::Instance() == nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        tester_ = nullptr;
    }

    void screenshot() {
        RunTest(QStringLiteral("date: 2026-12-08 <b>&</b>"),
                QStringLiteral("(\\d{4})-(\\d\\d)-(\\d\\d)(T)?( <b>&)"));
        QCOMPARE(ResultRows().size(), 5);
        QCOMPARE(ResultRows().last(), QStringLiteral("Capture #5| <b>&|$5"));
        const QString dir = QString::fromLocal8Bit(qgetenv("LINESIFT_SHOT_DIR"));
        if (dir.isEmpty()) {
            return;
        }
        tester_->grab().save(dir + QStringLiteral("/regex_tester.png"));
        RunTest(QStringLiteral("date"), QStringLiteral("time"));
        tester_->grab().save(dir + QStringLiteral("/regex_tester_no_match.png"));
        Type(tester_->PatternBox(), QStringLiteral("(\\d+"));
        tester_->grab().save(dir + QStringLiteral("/regex_tester_invalid.png"));
    }
};

QTEST_MAIN(RegexTesterTest)
#include "regex_tester_test.moc"
