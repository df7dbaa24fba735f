#include <QMenuBar>
#include <QScrollBar>
#include <QtTest>
#include <deque>
#include <memory>

#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "settings/app_settings.h"
#include "shell/about_dialog.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_box.h"
#include "shell/status_panes.h"
#include "shell/view_container.h"

using namespace linesift;

namespace {

// Answers the frame's dialogs from queues the test fills.
class ScriptedDialogs : public FrameDialogs {
  public:
    std::deque<QString> open_paths;
    std::deque<QString> save_paths;
    std::deque<QMessageBox::StandardButton> answers;
    std::vector<QString> messages;
    std::vector<QString> save_initial_names;

    QString AskOpenPath(QWidget*) override { return Pop(open_paths, QString()); }
    QString AskSavePath(QWidget*, const QString& initialName) override {
        save_initial_names.push_back(initialName);
        return Pop(save_paths, QString());
    }
    QMessageBox::StandardButton ShowMessage(QWidget*, const QString& text,
                                            QMessageBox::StandardButtons,
                                            QMessageBox::Icon) override {
        messages.push_back(text);
        return Pop(answers, QMessageBox::Cancel);
    }

  private:
    template <typename T>
    static T Pop(std::deque<T>& queue, T fallback) {
        if (queue.empty()) {
            return fallback;
        }
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

class FakeClipboard : public ClipboardBackend {
  public:
    explicit FakeClipboard(std::u16string* text) : text_(text) {}
    bool IsTextAvailable() override { return !text_->empty(); }
    bool GetText(std::u16string& out) override {
        out = *text_;
        return true;
    }
    bool SetText(std::u16string_view text) override {
        *text_ = text;
        return true;
    }

  private:
    std::u16string* text_;
};

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<MainFrame> frame_;
    ScriptedDialogs* dialogs_ = nullptr;
    std::u16string clipboard_;

    std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
    QString QPath(const std::string& name) const { return QString::fromStdString(Path(name)); }
    VeTextList& List() { return frame_->View().List(); }
    void TypeQuery(const QString& text) {
        frame_->SearchBox().setFocus();
        QTest::keyClicks(&frame_->SearchBox(), text);
    }

  private slots:
    void init() {
        AppSettings::Instance() = AppSettings{};
        clipboard_.clear();
        ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&clipboard_));
        auto dialogs = std::make_unique<ScriptedDialogs>();
        dialogs_ = dialogs.get();
        frame_ = std::make_unique<MainFrame>(std::move(dialogs));
        frame_->resize(700, 500);
        frame_->ShowFirstTime();
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
        QTest::keyClick(&frame_->SearchBox(), Qt::Key_Escape);
        QCOMPARE(List().ShownRowCount(), int64_t{4});
    }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
