// The window as a desktop user drives it: menus by mnemonic from anywhere,
// the focus back where it was after a menu or a dialog, the search box's
// text exactly what was typed, dialogs and help.
#include <fcntl.h>
#include <sys/stat.h>

#include <QFileDialog>
#include <QMenuBar>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>
#include <deque>
#include <functional>
#include <memory>

#include <QLineEdit>
#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/flat_list.h"
#include "views/search_box.h"
#include "views/suggest_popup.h"

using namespace linesift;
using linesift::test::FakeClipboard;
using linesift::test::ScriptedDialogs;

namespace {

// Collects the region a widget paints.
class PaintRecorder : public QObject {
  public:
    explicit PaintRecorder(QWidget* widget) { widget->installEventFilter(this); }
    QRegion painted;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

}  // namespace

class DesktopKeysTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<MainFrame> frame_;
    ScriptedDialogs* dialogs_ = nullptr;
    std::u16string clipboard_;

    std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
    QLineEdit& Edit() { return frame_->SearchField().Edit(); }
    LineListView& List() { return frame_->Pane().List(); }
    // Keys go where a keyboard would send them: the open menu, else the focus.
    static QWidget* KeyTarget() {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            return popup;
        }
        return QApplication::focusWidget();
    }
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = KeyTarget();
        QVERIFY(target != nullptr);
        QTest::keyClick(target, key, modifiers);
    }
    static void Type(const QString& text) {
        for (QChar c : text) {
            QWidget* target = KeyTarget();
            QVERIFY(target != nullptr);
            QTest::keyClicks(target, QString(c));
        }
    }
    QMenu* OpenMenu() const { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
    void CloseMenus() {
        while (QApplication::activePopupWidget() != nullptr) {
            QApplication::activePopupWidget()->close();
        }
    }

  private slots:
    void init() {
        frame_ = test::StartFrame(clipboard_, dialogs_);
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
    }
    void cleanup() {
        CloseMenus();
        frame_.reset();
        ClipboardText::Instance().SetBackend(nullptr);
    }

    void altLetterOpensEveryMenuFromTheSearchBoxAndTypesNothing() {
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&Edit()));
        for (QAction* top : frame_->menuBar()->actions()) {
            const QKeySequence mnemonic = QKeySequence::mnemonic(top->text());
            QVERIFY2(!mnemonic.isEmpty(), qPrintable(top->text()));
            const auto key = static_cast<Qt::Key>(mnemonic[0].key());
            Edit().setFocus();
            QTest::keyClick(&Edit(), key, Qt::AltModifier);
            QVERIFY2(Edit().text().isEmpty(),
                     qPrintable(top->text() + QLatin1String(": ") + Edit().text()));
            QMenu* open = OpenMenu();
            QVERIFY2(open != nullptr && open == top->menu(), qPrintable(top->text()));
            CloseMenus();
        }
    }

    void altLetterOpensTheMenuFromTheList() {
        dir_.Write("log.txt", "a\nb");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        List().setFocus();
        QTest::keyClick(&List(), Qt::Key_V, Qt::AltModifier);
        QVERIFY(OpenMenu() != nullptr);
    }

    void focusReturnsToTheSearchBoxAfterAMenuChosenByKeyboard() {
        QTest::mouseClick(&frame_->SearchField(), Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&Edit()));
        Type(QStringLiteral("x"));
        const bool matchCase = AppSettings::Instance().match_case;
        Press(Qt::Key_S, Qt::AltModifier);
        QVERIFY(OpenMenu() != nullptr);
        Press(Qt::Key_C);
        QCOMPARE(AppSettings::Instance().match_case, !matchCase);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&Edit()));
        Type(QStringLiteral("fx"));
        QCOMPARE(Edit().text(), QStringLiteral("xfx"));
        QVERIFY(frame_->isVisible());
    }

    void focusReturnsToWhereItWasAfterADialog_data() {
        QTest::addColumn<bool>("inList");
        QTest::newRow("search box") << false;
        QTest::newRow("list") << true;
    }
    void focusReturnsToWhereItWasAfterADialog() {
        QFETCH(bool, inList);
        dir_.Write("log.txt", "a\nb");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        QWidget* had = inList ? static_cast<QWidget*>(&List()) : &Edit();
        had->setFocus();
        QTimer::singleShot(50, [] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                dialog->close();
            }
        });
        QVERIFY(frame_->RunCommand(cmd::kAbout));
        frame_->activateWindow();  // as the window manager does once the dialog is gone
        QTRY_COMPARE(QApplication::focusWidget(), had);
    }

    void theQueryIsExactlyWhatWasTypedUpTo200Characters() {
        frame_->resize(450, 500);
        QTest::qWait(20);
        const QString typed =
            QStringLiteral("connection reset by peer while reading response header");
        Type(typed);
        QCOMPARE(Edit().text(), typed);
        Type(QString(200, QLatin1Char('W')));
        QCOMPARE(Edit().text().size(), SearchBox::kTextLimit);
        QVERIFY(Edit().text().startsWith(typed));
    }

    void suggestionsAlwaysFitTheTextInTheBox() {
        AppSettings::Instance().auto_suggest = true;
        frame_->SearchField().Popup().SetOpenDuration(0);
        Type(QStringLiteral("kq1"));
        Press(Qt::Key_Return);
        Press(Qt::Key_Backspace);
        Type(QStringLiteral("xy"));
        Press(Qt::Key_Return);
        Press(Qt::Key_Backspace);
        QCOMPARE(Edit().text(), QStringLiteral("kqx"));
        SuggestPopup& popup = frame_->SearchField().Popup();
        QVERIFY(popup.isVisible());
        QVERIFY(popup.List().Count() >= 1);
        for (int i = 0; i < popup.List().Count(); ++i) {
            const QString item = QString::fromStdU16String(popup.List().Item(i).text);
            QVERIFY2(item.startsWith(QStringLiteral("kqx")), qPrintable(item));
        }
    }

    void wordWrapByKeyboardRepaintsEveryRow() {
        dir_.Write("log.txt", std::string(400, 'w') + "\nshort\n");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        QVERIFY(frame_->RunCommand(cmd::kWordWrap));
        QVERIFY(List().ShownRowCount() > 3);
        QTest::qWait(50);
        for (bool wrapped : {false, true}) {
            frame_->activateWindow();  // the offscreen platform leaves it to us after a menu
            QTRY_VERIFY(QApplication::focusWidget() != nullptr);
            PaintRecorder recorder(List().viewport());
            Press(Qt::Key_V, Qt::AltModifier);
            QVERIFY(OpenMenu() != nullptr);
            Press(Qt::Key_W);
            QCOMPARE(AppSettings::Instance().word_wrap, wrapped);
            QTRY_VERIFY(recorder.painted.contains(List().viewport()->rect()));
        }
    }

    void wheelsScrollTheirOwnWay_data() {
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("down");
        QTest::addColumn<bool>("right");
        QTest::newRow("wheel notch down") << QPoint(0, -120) << false << 4 << false;
        QTest::newRow("sideways wheel") << QPoint(-120, 0) << false << 0 << true;
        QTest::newRow("shift and wheel") << QPoint(0, -120) << true << 0 << true;
        QTest::newRow("touchpad swipe mostly sideways") << QPoint(-120, 10) << false << 0 << true;
    }
    void wheelsScrollTheirOwnWay() {
        QFETCH(QPoint, angle);
        QFETCH(bool, shift);
        QFETCH(int, down);
        QFETCH(bool, right);
        std::string text;
        for (int i = 0; i < 200; ++i) {
            text += std::to_string(i) + std::string(300, 'x') + "\n";
        }
        dir_.Write("log.txt", text);
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        List().grab();  // lays out the width of the rows
        QApplication::setWheelScrollLines(4);
        QWidget* viewport = List().viewport();
        const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
        QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), angle, Qt::NoButton,
                          shift ? Qt::ShiftModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        QCOMPARE(List().verticalScrollBar()->value(), down * LineListView::kRowHeight);
        QCOMPARE(List().horizontalScrollBar()->value() > 0, right);
        QApplication::setWheelScrollLines(3);
    }

    void ctrlCInTheSearchBoxCopiesTheLinesWhenNoTextIsSelected() {
        dir_.Write("log.txt", "one\ntwo");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        Type(QStringLiteral("o"));
        QTest::keyClick(&Edit(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(List().SelectedLineCount(), int64_t{2});
        QVERIFY(!Edit().hasSelectedText());
        QTest::keyClick(&Edit(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(clipboard_ == u"one\ntwo");
        clipboard_.clear();
        Edit().selectAll();
        QTest::keyClick(&Edit(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(clipboard_.empty());  // the edit copied its own text
    }

    void anInvalidRegexTurnsTheBoxRedAndShowsTheEnginesMessage() {
        dir_.Write("log.txt", "ab\ncd");
        QVERIFY(frame_->OpenFile(FromNativePath(Path("log.txt")), true));
        QVERIFY(frame_->RunCommand(cmd::kRegexQuery));
        const QColor normal = Edit().palette().color(QPalette::Base);
        Type(QStringLiteral("a("));
        QCOMPARE(Edit().palette().color(QPalette::Base), QColor(255, 220, 220));
        const QString message = frame_->Status().MessageText();
        QVERIFY2(message.contains(QStringLiteral("parenthes"), Qt::CaseInsensitive),
                 qPrintable(message));
        Type(QStringLiteral("b)"));
        QCOMPARE(Edit().palette().color(QPalette::Base), normal);
        QVERIFY(frame_->Status().MessageText() != message);
        QTRY_COMPARE(List().ShownRowCount(),
                     int64_t{1});  // regular expressions filter on the worker
    }

    void fileDialogsOfferLogFilesFirst() {
        QtFrameDialogs dialogs;
        QStringList filters;
        // Reads the filters of the next file dialog once it is up, and cancels it.
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) {
                return;
            }
            poll.stop();
            filters = dialog->nameFilters();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        const QStringList expected = {
            QStringLiteral("Log and Text Files (*.log *.txt *.out *.csv *.json *.xml)"),
            QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")};
        poll.start();
        QVERIFY(dialogs.AskOpenPath(frame_.get()).isEmpty());
        QCOMPARE(filters, expected);
        filters.clear();
        poll.start();
        QVERIFY(dialogs.AskSavePath(frame_.get(), QStringLiteral("Filter Results")).isEmpty());
        QCOMPARE(filters, expected);
    }

    void saveAsAddsTxtOnlyToANameWithoutExtension_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("log stays log") << "app.log"
                                       << "app.log";
        QTest::newRow("no extension gets txt") << "notes"
                                               << "notes.txt";
        QTest::newRow("txt stays txt") << "a.TXT"
                                       << "a.TXT";
    }
    void saveAsAddsTxtOnlyToANameWithoutExtension() {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        clipboard_ = u"x";
        QVERIFY(frame_->RunCommand(cmd::kPaste));
        const QString dir = QString::fromStdString(dir_.Path()) + QLatin1Char('/');
        QFile::remove(dir + saved);
        dialogs_->save_paths.push_back(dir + typed);
        QVERIFY(frame_->RunCommand(cmd::kSaveAs));
        QVERIFY(QFileInfo::exists(dir + saved));
        QVERIFY(dialogs_->messages.empty());
        QFile::remove(dir + saved);
    }

    void theReloadQuestionIsAskedOnceAtATime() {
        const std::string path = dir_.Write("log.txt", "old\n");
        QVERIFY(frame_->OpenFile(FromNativePath(path), true));
        dir_.Write("log.txt", "new\nlines\n");
        struct timespec times[2] = {{0, UTIME_OMIT}, {1000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        // Switching away and back while the question is up checks again.
        dialogs_->while_asking = [this] { frame_->CheckOutsideChange(); };
        dialogs_->answers = {QMessageBox::Yes, QMessageBox::Yes};
        frame_->CheckOutsideChange();
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        QCOMPARE(frame_->Document().LineCount(), size_t{3});
    }
};

QTEST_MAIN(DesktopKeysTest)
#include "desktop_keys_test.moc"
