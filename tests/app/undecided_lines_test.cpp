// Lines the regular expression engine gave up on, through the real window:
// the status bar says how many could not be decided for as long as the
// query stands.
#include <QLineEdit>
#include <QTest>
#include <memory>
#include <string>

#include "../core/test_files.h"
#include "document/text_document.h"
#include "filter/compiled_query.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/search_box.h"

using namespace linesift;

class UndecidedLinesTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<MainFrame> frame_;

    QLineEdit& Edit() { return frame_->SearchField().Edit(); }
    QString Message() { return frame_->Status().MessageText(); }
    void WaitForPass() { QTRY_VERIFY_WITH_TIMEOUT(!frame_->Pane().IsFiltering(), 30000); }

  private slots:
    void init() {
        AppSettings::Instance() = AppSettings{};
        AppSettings::Instance().query_mode = static_cast<int>(QueryMode::Regex);
        frame_ = std::make_unique<MainFrame>();
        frame_->resize(700, 400);
        frame_->ShowFirstTime();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    // Opens a file of two easy lines and hardLines on which the engine gives
    // up: a back reference keeps the backtracking engine, "aaa...ab" defeats it.
    void OpenHardFile(int hardLines) {
        std::string text = "aaa\nxyz\n";
        for (int i = 0; i < hardLines; ++i) {
            text += std::string(40, 'a') + "b\n";
        }
        QVERIFY(frame_->OpenFile(FromNativePath(dir_.Write("hard.log", text)), false));
        frame_->SearchField().Activate(false);
    }
    void cleanup() { frame_.reset(); }

    void statusTellsUndecidedLinesUntilTheQueryChanges() {
        OpenHardFile(3);
        const QString told = QStringLiteral(
            "3 of 6 lines could not be decided: the regular expression backtracks too much");
        const int width = frame_->width();
        QTest::keyClicks(&Edit(), QStringLiteral("(a+)+\\1$"));
        WaitForPass();
        QCOMPARE(Message(), told);
        // The long message does not widen the window.
        QTest::qWait(50);
        QCOMPARE(frame_->width(), width);
        // A passing message gives way to it again.
        frame_->Status().ShowTimed(QStringLiteral("3 lines copied to clipboard"), 10);
        QTRY_COMPARE(Message(), told);
        // Another query that decides every line replaces it.
        QTest::keyClick(&Edit(), Qt::Key_Backspace);
        QTest::keyClick(&Edit(), Qt::Key_Backspace);
        QTest::keyClick(&Edit(), Qt::Key_Backspace);
        WaitForPass();
        QCOMPARE(Edit().text(), QStringLiteral("(a+)+"));
        QCOMPARE(Message(), QStringLiteral("Ready"));
        frame_->Status().ShowTimed(QStringLiteral("passing"), 10);
        QTRY_COMPARE(Message(), QStringLiteral("Ready"));
    }

    void aStoppedFilterSaysSo() {
        OpenHardFile(150);
        QTest::keyClicks(&Edit(), QStringLiteral("(a+)+\\1$"));
        WaitForPass();
        QCOMPARE(Message(), QStringLiteral("153 of 153 lines could not be decided: the regular "
                                           "expression backtracks too much, so filtering stopped"));
        // Choosing a filter mode applies the query again: still undecided.
        frame_->Status().SetMessage(QStringLiteral("something else"));
        QVERIFY(frame_->RunCommand(cmd::kHideMatched));
        WaitForPass();
        QVERIFY(Message().startsWith(QStringLiteral("153 of 153 lines could not be decided")));
    }
};

QTEST_MAIN(UndecidedLinesTest)
#include "undecided_lines_test.moc"
