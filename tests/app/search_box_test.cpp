#include <QAction>
#include <QCursor>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTimer>
#include <QVariantAnimation>
#include <QtTest>
#include <memory>

#include "qt_text.h"
#include "settings/app_settings.h"
#include "views/clear_button.h"
#include "views/flat_list.h"
#include "views/search_box.h"
#include "views/search_box_painter.h"
#include "views/suggest_popup.h"

using namespace linesift;

namespace {

using Texts = std::vector<std::u16string>;

// Stands in for the query list pane: records every event and the texts it
// would apply as the query.
class Recorder {
  public:
    void OnSearchBoxEvent(const SearchBoxEvent& event) {
        codes.push_back(event.code);
        if (AppliesQuery(event.code, AppSettings::Instance().search_as_you_type)) {
            applied.push_back(ToQString(event.text));
        }
    }
    std::vector<uint32_t> codes;
    QStringList applied;
};

constexpr uint32_t kChanged = SearchBoxEvent::TextChanged;
constexpr uint32_t kCleared = SearchBoxEvent::TextCleared;
constexpr uint32_t kCommitted = SearchBoxEvent::Committed;
constexpr uint32_t kRequested = SearchBoxEvent::SuggestRequested;

// The bounding box of the pixels of image inside area darker than the box
// interiors: the text or artwork drawn there.
QRect InkBounds(const QImage& image, const QRect& area) {
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 170) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

}  // namespace

class SearchBoxTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<QWidget> window_;
    SearchBox* box_ = nullptr;
    QLineEdit* elsewhere_ = nullptr;  // takes the focus away from the box
    Recorder recorder_;

    // A window with a search box and histories; auto_suggest as given.
    void Open(bool autoSuggest, const Texts& recent = {}, const Texts& all = {}) {
        AppSettings& settings = AppSettings::Instance();
        settings = AppSettings{};
        settings.auto_suggest = autoSuggest;
        settings.mru_queries = recent;
        settings.all_queries = all;
        Build();
    }
    // The same with whatever AppSettings holds now.
    void Build() {
        window_ = std::make_unique<QWidget>();
        window_->resize(420, 200);
        box_ = new SearchBox(window_.get());
        // Low in the window, so the popup reaches out of it: the offscreen
        // platform gives the pointer to the first window under it.
        box_->setGeometry(10, 170, 300, SearchBox::kHeight);
        QObject::connect(box_, &SearchBox::searchEvent, box_, [this](const SearchBoxEvent& event) {
            recorder_.OnSearchBoxEvent(event);
        });
        box_->Popup().SetOpenDuration(0);
        elsewhere_ = new QLineEdit(window_.get());
        elsewhere_->setGeometry(10, 10, 200, 24);
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        elsewhere_->setFocus();
        recorder_ = Recorder{};
    }
    QLineEdit& Edit() { return box_->Edit(); }
    SuggestPopup& Popup() { return box_->Popup(); }
    ClearButton& Clear() { return *box_->findChild<ClearButton*>(); }
    QStringList Items() {
        QStringList out;
        for (const FlatListItem& item : Popup().List().Items()) {
            out << ToQString(item.text);
        }
        return out;
    }
    void Type(const QString& text) {
        if (!box_->IsEditing()) {
            box_->Activate(false);
        }
        QTest::keyClicks(&Edit(), text);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(&Edit(), key, modifiers);
    }
    void ClickElsewhere() { QTest::mouseClick(elsewhere_, Qt::LeftButton); }
    void ClickItem(int index) {
        QTest::mouseClick(&Popup().List(), Qt::LeftButton, {},
                          QPoint(20, index * FlatList::kItemHeight + 10));
    }
    QPoint ClearCenter() { return Clear().rect().center(); }
    void Tick() {
        auto* timer = Popup().findChild<QTimer*>(QStringLiteral("autoHide"));
        QVERIFY(timer != nullptr && timer->isActive());
        QTimerEvent tick(timer->timerId());
        QCoreApplication::sendEvent(timer, &tick);
    }
    void RunStep(const QString& step) {
        if (step.startsWith(QStringLiteral("type "))) {
            Type(step.mid(5));
        } else if (step == QStringLiteral("enter")) {
            Key(Qt::Key_Return);
        } else if (step == QStringLiteral("escape")) {
            Key(Qt::Key_Escape);
        } else if (step == QStringLiteral("leave")) {
            ClickElsewhere();
        } else if (step == QStringLiteral("clear")) {
            QTest::mouseClick(&Clear(), Qt::LeftButton, {}, ClearCenter());
        } else {
            QFAIL(qPrintable(step));
        }
    }

  private slots:
    void cleanup() {
        window_.reset();
        AppSettings::Instance() = AppSettings{};
    }

    void searchAsYouTypeDecidesWhichEventsApplyTheQuery_data() {
        QTest::addColumn<bool>("searchAsYouType");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("applied");
        auto row = [](const char* name, bool on, QStringList steps, QStringList applied) {
            QTest::newRow(name) << on << steps << applied;
        };
        row("on: every change applies", true, {"type ab"}, {"a", "ab"});
        row("on: Enter does not apply again", true, {"type ab", "enter"}, {"a", "ab"});
        row("on: Escape applies the empty query", true, {"type a", "escape"}, {"a", ""});
        row("off: typing applies nothing", false, {"type ab"}, {});
        row("off: Enter applies", false, {"type ab", "enter"}, {"ab"});
        row("off: leaving the edit applies", false, {"type ab", "leave"}, {"ab"});
        row("off: Escape applies the empty query at once", false, {"type ab", "escape"}, {""});
        row("off: typing after Escape applies nothing", false, {"type a", "escape", "type b"},
            {""});
        row("off: Escape in an empty box applies the empty query again", false,
            {"type a", "escape", "escape"}, {"", ""});
        row("off: the clear button of an idle box applies at once", false,
            {"type ab", "leave", "clear"}, {"ab", ""});
        row("off: the clear button while typing waits for Enter", false,
            {"type ab", "clear", "type c", "enter"}, {"c"});
    }
    void searchAsYouTypeDecidesWhichEventsApplyTheQuery() {
        QFETCH(bool, searchAsYouType);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, applied);
        Open(false);
        AppSettings::Instance().search_as_you_type = searchAsYouType;
        for (const QString& step : steps) {
            RunStep(step);
        }
        QCOMPARE(recorder_.applied, applied);
    }

    void typingAfterEscapeIsReportedAsAChangeAndGetsSuggestions() {
        Open(true, {}, {u"ab"});
        Type(QStringLiteral("x"));
        Key(Qt::Key_Escape);
        Type(QStringLiteral("a"));
        QCOMPARE(recorder_.codes, (std::vector<uint32_t>{kChanged, kCleared, kChanged}));
        QVERIFY(Popup().isVisible());
        QCOMPARE(Items(), QStringList{"ab"});
    }

    void onlyClipboardAndUndoShortcutsStayWithTheEdit() {
        Open(false);
        QAction selectAll(window_.get());
        selectAll.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
        QAction copy(window_.get());
        copy.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
        window_->addAction(&selectAll);
        window_->addAction(&copy);
        QSignalSpy selectAllSpy(&selectAll, &QAction::triggered);
        QSignalSpy copySpy(&copy, &QAction::triggered);
        Type(QStringLiteral("abc"));
        Key(Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(selectAllSpy.count(), 1);
        QVERIFY(!Edit().hasSelectedText());
        // Without selected text Ctrl+C copies the window's selection.
        Key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(copySpy.count(), 1);
        Edit().selectAll();
        Key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(copySpy.count(), 1);
    }

    void aLongTextScrollsTheEditInsteadOfStoppingTheTyping() {
        Open(false);
        const QString typed = QString(60, QLatin1Char('W'));
        Type(typed);
        QCOMPARE(Edit().text(), typed);
        // The caret at the end is still inside the edit: the text scrolled.
        Edit().grab();
        const QRect caret = Edit().inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY2(Edit().rect().contains(caret.center()), qPrintable(QString::number(caret.x())));
        Key(Qt::Key_Backspace);
        QCOMPARE(Edit().text().size(), typed.size() - 1);
    }

    void textIsLimitedTo200Characters() {
        Open(false);
        box_->resize(3000, SearchBox::kHeight);
        Type(QString(210, QLatin1Char('i')));
        QCOMPARE(Edit().text().size(), SearchBox::kTextLimit);
    }

    void clearButtonIsShownExactlyWhileThereIsTextAndTheMagnifierWhileThereIsNone() {
        Open(false);
        const QRect icon = SearchBoxLayout::IconRect(box_->rect());
        auto iconInk = [&] { return InkBounds(box_->grab().toImage(), icon); };
        QVERIFY(Clear().isHidden());
        QVERIFY(!iconInk().isEmpty());
        Type(QStringLiteral("a"));
        QVERIFY(!Clear().isHidden());
        QCOMPARE(Clear().geometry(), icon);
        Key(Qt::Key_Backspace);
        QVERIFY(Clear().isHidden());
        QVERIFY(!iconInk().isEmpty());
    }

    void clearButtonShowsTheImageOfItsState() {
        Open(false);
        Type(QStringLiteral("text"));
        ClickElsewhere();
        QCOMPARE(Clear().ShownImage(), ClearButton::kIdle);
        QTest::mouseMove(box_, QPoint(40, 10));
        QCOMPARE(Clear().ShownImage(), ClearButton::kBoxHovered);
        QTest::mouseMove(&Clear(), ClearCenter());
        QCOMPARE(Clear().ShownImage(), ClearButton::kHot);
        QTest::mousePress(&Clear(), Qt::LeftButton, {}, ClearCenter());
        QCOMPARE(Clear().ShownImage(), ClearButton::kPushed);
        QTest::mouseRelease(&Clear(), Qt::LeftButton, {}, ClearCenter());
        QVERIFY(Clear().isHidden());
        Type(QStringLiteral("again"));
        QTest::mouseMove(elsewhere_, QPoint(5, 5));
        QCOMPARE(Clear().ShownImage(), ClearButton::kEditing);
    }

    void clearButtonReportsAClearWhileIdleAndAChangeWhileTyping() {
        Open(true, {u"old"}, {u"old"});
        Type(QStringLiteral("a"));
        ClickElsewhere();
        QTest::mouseClick(&Clear(), Qt::LeftButton, {}, ClearCenter());
        QCOMPARE(recorder_.codes.back(), kCleared);
        QVERIFY(!box_->IsEditing());
        QVERIFY(!Popup().isVisible());

        Type(QStringLiteral("b"));
        QTest::mouseClick(&Clear(), Qt::LeftButton, {}, ClearCenter());
        QCOMPARE(recorder_.codes.back(), kChanged);
        QVERIFY(Edit().hasFocus());
        QVERIFY(Popup().isVisible());
        QCOMPARE(Items(), (QStringList{"a", "old"}));
    }

    void clickInTheTextStartsEditingAndAsksForSuggestions() {
        Open(true, {u"new", u"older"}, {u"new", u"older"});
        QTest::mouseMove(box_, QPoint(40, 10));
        QCOMPARE(box_->cursor().shape(), Qt::IBeamCursor);
        QTest::mouseClick(box_, Qt::LeftButton, {}, QPoint(40, 10));
        QVERIFY(box_->IsEditing());
        QVERIFY(Edit().hasFocus());
        QCOMPARE(recorder_.codes, std::vector<uint32_t>{kRequested});
        QVERIFY(Popup().isVisible());
        QCOMPARE(Items(), (QStringList{"new", "older"}));
        QCOMPARE(QApplication::activeWindow(), window_.get());
    }

    void aClickAnywhereOnTheFrameStartsEditing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("point");
        const int right = 300 - 1;
        const int bottom = SearchBox::kHeight - 1;
        QTest::newRow("top left corner") << QString() << QPoint(1, 1);
        QTest::newRow("left margin") << QString() << QPoint(2, 10);
        QTest::newRow("bottom margin") << QString() << QPoint(40, bottom);
        QTest::newRow("top margin") << QString() << QPoint(150, 2);
        QTest::newRow("magnifier") << QString() << QPoint(right - 10, 10);
        QTest::newRow("right margin beside the magnifier") << QString() << QPoint(right, 10);
        QTest::newRow("gap before the clear button")
            << QStringLiteral("abc") << QPoint(right - 21, 10);
    }
    void aClickAnywhereOnTheFrameStartsEditing() {
        QFETCH(QString, text);
        QFETCH(QPoint, point);
        Open(false);
        if (!text.isEmpty()) {
            Type(text);
            ClickElsewhere();
            QVERIFY(!box_->IsEditing());
        }
        QVERIFY(!Edit().hasFocus());
        QTest::mouseClick(box_, Qt::LeftButton, {}, point);
        QVERIFY(box_->IsEditing());
        QVERIFY(Edit().hasFocus());
        QCOMPARE(Edit().text(), text);
    }

    void popupSitsUnderTheBoxAndFitsItsItems() {
        Open(true, {u"a", u"b", u"c"}, {u"a", u"b", u"c"});
        box_->Activate(true);
        const QRect box(box_->mapToGlobal(QPoint(0, 0)), box_->size());
        QCOMPARE(Popup().geometry(), QRect(box.left(), box.bottom(), box.width(), 3 * 20 + 2));
        QCOMPARE(Popup().List().geometry(), QRect(1, 1, box.width() - 2, 3 * 20));
    }

    void suggestionsAreLongerQueriesBeginningWithTheText() {
        Open(true, {}, {u"Abd", u"ab", u"abc", u"abx"});
        Type(QStringLiteral("ab"));
        QVERIFY(Popup().isVisible());
        QCOMPARE(Items(), (QStringList{"abc", "abx"}));
        Type(QStringLiteral("c"));
        QVERIFY(!Popup().isVisible());
    }

    void arrowKeysMoveTheHotItemAroundAndSidewaysKeysDropIt() {
        Open(true, {u"one", u"two", u"three"}, {});
        box_->Activate(true);
        FlatList& list = Popup().List();
        Key(Qt::Key_Up);
        QCOMPARE(list.HotIndex(), 2);
        Key(Qt::Key_Down);
        QCOMPARE(list.HotIndex(), 0);
        Key(Qt::Key_Up);
        QCOMPARE(list.HotIndex(), 2);
        Key(Qt::Key_Left);
        QCOMPARE(list.HotIndex(), -1);
        Key(Qt::Key_Down);
        QCOMPARE(list.HotIndex(), 0);
        QVERIFY(Edit().text().isEmpty());
        QVERIFY(recorder_.codes == std::vector<uint32_t>{kRequested});
    }

    void enterWithAHotSuggestionFillsTheEditAndTheNextEnterCommits() {
        Open(true, {}, {u"apple", u"apples", u"apricot"});
        Type(QStringLiteral("a"));
        Key(Qt::Key_Down);
        Key(Qt::Key_Return);
        QCOMPARE(Edit().text(), QStringLiteral("apple"));
        QCOMPARE(Edit().cursorPosition(), 5);
        QVERIFY(Popup().isVisible());  // offering the longer "apples"
        QCOMPARE(recorder_.codes, (std::vector<uint32_t>{kChanged, kChanged}));
        Key(Qt::Key_Return);
        QVERIFY(!Popup().isVisible());
        QCOMPARE(recorder_.codes.back(), kCommitted);
        QVERIFY(Edit().hasFocus());
        QVERIFY(Popup().History().Recent() == Texts{u"apple"});
    }

    void escapeHidesThePopupBeforeItClearsTheText() {
        Open(true, {}, {u"ab"});
        Type(QStringLiteral("a"));
        Key(Qt::Key_Escape);
        QVERIFY(!Popup().isVisible());
        QCOMPARE(Edit().text(), QStringLiteral("a"));
        Key(Qt::Key_Escape);
        QVERIFY(Edit().text().isEmpty());
    }

    void pointingMakesAnItemHotAndAClickPicksIt() {
        Open(true, {u"first", u"second"}, {u"first", u"second"});
        box_->Activate(true);
        QTest::mouseMove(&Popup().List(), QPoint(20, 30));
        QCOMPARE(Popup().List().HotIndex(), 1);
        ClickItem(1);
        QCOMPARE(Edit().text(), QStringLiteral("second"));
        QVERIFY(!Popup().isVisible());
        QVERIFY(Edit().hasFocus());
        QCOMPARE(QApplication::activeWindow(), window_.get());
    }

    void deleteInAnEmptyEditShowsTheLastItemsAgainReadyToPick() {
        Open(true, {u"foo", u"bar"}, {u"bar", u"foo"});
        box_->Activate(true);
        ClickItem(0);
        QCOMPARE(Edit().text(), QStringLiteral("foo"));
        Key(Qt::Key_Escape);
        QVERIFY(!Popup().isVisible());
        Key(Qt::Key_Delete);
        QVERIFY(Popup().isVisible());
        QCOMPARE(Items(), (QStringList{"foo", "bar"}));
        ClickItem(0);  // the item picked before can be picked again
        QCOMPARE(Edit().text(), QStringLiteral("foo"));
    }

    void aPressOutsideHidesThePopupAndOneInsideDoesNot() {
        Open(true, {u"q"}, {u"q"});
        box_->Activate(true);
        QTest::mouseClick(&Popup(), Qt::LeftButton, {}, QPoint(0, 0));  // on the border
        QVERIFY(Popup().isVisible());
        QTest::mouseClick(window_.get(), Qt::RightButton, {}, QPoint(400, 100));
        QVERIFY(!Popup().isVisible());
        QVERIFY(Edit().hasFocus());
    }

    void popupHidesAfterFiveSecondsOutsideWithoutKeys() {
        Open(true, {u"q"}, {u"q"});
        box_->Activate(true);
        QCursor::setPos(Popup().geometry().center());
        Tick();
        QCOMPARE(Popup().TimeOutsideMs(), 0);
        QCursor::setPos(window_->mapToGlobal(QPoint(400, 190)));
        for (int i = 0; i < 4; ++i) {
            Tick();
        }
        Key(Qt::Key_Down);
        for (int i = 0; i < 4; ++i) {
            Tick();
        }
        QVERIFY(Popup().isVisible());
        Tick();
        QVERIFY(!Popup().isVisible());
    }

    void autoSuggestOffNeverShowsThePopupButStillRecords() {
        Open(false, {u"old"}, {u"old"});
        box_->Activate(true);
        Type(QStringLiteral("o"));
        QVERIFY(!Popup().isVisible());
        Key(Qt::Key_Escape);
        Key(Qt::Key_Delete);
        QVERIFY(!Popup().isVisible());
        Type(QStringLiteral("new"));
        Key(Qt::Key_Return);
        QVERIFY(!Popup().isVisible());
        QVERIFY(AppSettings::Instance().mru_queries == (Texts{u"new", u"old"}));
        QVERIFY(AppSettings::Instance().all_queries == (Texts{u"new", u"old"}));
    }

    void historiesComeFromAndGoBackToTheSettings() {
        Open(true, {}, {});
        Type(QStringLiteral("two"));
        Key(Qt::Key_Return);
        Key(Qt::Key_Escape);
        Type(QStringLiteral("one"));
        ClickElsewhere();
        window_.reset();
        Build();
        QVERIFY(Popup().History().Recent() == (Texts{u"one", u"two"}));
        box_->Activate(true);
        QCOMPARE(Items(), (QStringList{"one", "two"}));
        QVERIFY(Popup().HasHistory());
    }

    void clearHistoryForgetsBothListsAndWhatThePopupShowed() {
        Open(true, {u"q"}, {u"q"});
        box_->Activate(true);
        Popup().ClearHistory();
        QVERIFY(!Popup().isVisible());
        QVERIFY(!Popup().HasHistory());
        QVERIFY(AppSettings::Instance().mru_queries.empty());
        QVERIFY(AppSettings::Instance().all_queries.empty());
        Key(Qt::Key_Delete);
        QVERIFY(!Popup().isVisible());
    }

    void popupRollsOpenFromTheTop() {
        Open(true, {u"a", u"b"}, {});
        Popup().SetOpenDuration(SuggestPopup::kOpenMs);
        box_->Activate(true);
        QVERIFY(Popup().isVisible());
        QCOMPARE(Popup().mask().boundingRect(), QRect(0, 0, 300, 1));
        auto* roll = Popup().findChild<QVariantAnimation*>();
        QCOMPARE(roll->duration(), 200);
        roll->setCurrentTime(100);
        QCOMPARE(Popup().mask().boundingRect(), QRect(0, 0, 300, 21));
        roll->setCurrentTime(200);
        QVERIFY(Popup().mask().isEmpty());
    }

    void idleTextSitsWhereTheEditDrawsIt() {
        Open(false);
        Type(QStringLiteral("Hello"));
        Edit().deselect();
        QRect area = SearchBoxLayout::EditRect(box_->rect());
        area.setWidth(12);  // the "H", away from the caret
        const QRect editing = InkBounds(box_->grab().toImage(), area);
        ClickElsewhere();
        const QRect idle = InkBounds(box_->grab().toImage(), area);
        QVERIFY(!idle.isEmpty());
        QCOMPARE(idle.topLeft(), editing.topLeft());
    }

    void screenshot() {
        const std::u16string longQuery =
            u"error disk full on /dev/sda1 while writing the nightly backup archive";
        Open(true, {u"timeout", u"error disk", u"WARN"},
             {u"WARN", u"error", u"error disk", u"error disk full", longQuery, u"timeout"});
        QImage boxes(320, 6 * 33 + 10, QImage::Format_RGB32);
        boxes.fill(QColor(240, 240, 240));
        int y = 10;
        auto shoot = [&] {
            QPainter painter(&boxes);
            painter.drawPixmap(10, y, box_->grab());
            y += box_->height() + 10;
        };
        QTest::mouseMove(elsewhere_);
        shoot();  // idle, empty
        QTest::mouseMove(box_, QPoint(40, 10));
        shoot();  // pointer over the box
        Type(QStringLiteral("error disk full "));
        Key(Qt::Key_Down);
        Key(Qt::Key_Return);  // the long suggestion, wider than the box
        QVERIFY(box_->Text() == longQuery);
        Edit().home(false);
        shoot();  // editing
        ClickElsewhere();
        QTest::mouseMove(elsewhere_);
        shoot();  // idle, the text cut with an ellipsis
        QTest::mouseMove(&Clear(), ClearCenter());
        shoot();  // pointer over the clear button
        QTest::mousePress(&Clear(), Qt::LeftButton, {}, ClearCenter());
        shoot();  // clear button pushed
        QTest::mouseRelease(&Clear(), Qt::LeftButton, {}, ClearCenter());

        Type(QStringLiteral("e"));
        Key(Qt::Key_Down);
        Key(Qt::Key_Down);
        QTest::mouseMove(elsewhere_);
        QImage open(320, 33 + Popup().height() + 20, QImage::Format_RGB32);
        open.fill(QColor(240, 240, 240));
        {
            QPainter painter(&open);
            painter.drawPixmap(10, 10, box_->grab());
            painter.drawPixmap(10, 10 + box_->height() - 1, Popup().grab());
        }
        const QString dir = QString::fromLocal8Bit(qgetenv("LINESIFT_SHOT_DIR"));
        if (!dir.isEmpty()) {
            boxes.save(dir + QStringLiteral("/search_box.png"));
            open.save(dir + QStringLiteral("/suggest_popup.png"));
        }
        const QImage popup = Popup().grab().toImage();
        QCOMPARE(popup.pixelColor(0, 0), QColor(143, 155, 179));
        QCOMPARE(popup.pixelColor(3, 1 + 20 + 2), QColor(212, 221, 238));  // the hot second item
        QCOMPARE(popup.pixelColor(3, 3), QColor(255, 255, 255));
    }
};

QTEST_MAIN(SearchBoxTest)
#include "search_box_test.moc"
