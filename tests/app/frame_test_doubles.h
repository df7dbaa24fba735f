#pragma once

#include <QMessageBox>
#include <QSize>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/app_settings.h"
#include "shell/clipboard_backend.h"
#include "shell/frame_dialogs.h"
#include "shell/main_frame.h"

namespace linesift::test {

// Answers the frame's dialogs from queues the test fills, and records what
// it was asked.
class ScriptedDialogs : public FrameDialogs {
  public:
    std::deque<QString> open_paths;
    std::deque<QString> save_paths;
    std::deque<QMessageBox::StandardButton> answers;
    std::vector<QString> messages;
    std::vector<QString> save_initial_names;
    std::function<void()> while_asking;  // runs once while the next question is up
    std::deque<QString> code_pages;
    QStringList offered_code_pages;  // what the last AskCodePage offered

    QString AskOpenPath(QWidget*) override { return Pop(open_paths, QString()); }
    QString AskSavePath(QWidget*, const QString& initialName) override {
        save_initial_names.push_back(initialName);
        return Pop(save_paths, QString());
    }
    QMessageBox::StandardButton ShowMessage(QWidget*, const QString& text,
                                            QMessageBox::StandardButtons,
                                            QMessageBox::Icon) override {
        messages.push_back(text);
        if (while_asking) {
            auto run = std::move(while_asking);
            while_asking = nullptr;
            run();
        }
        return Pop(answers, QMessageBox::Cancel);
    }

    QString AskCodePage(QWidget*, const QStringList& names, const QString&) override {
        offered_code_pages = names;
        return Pop(code_pages, QString());
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

// A clipboard held in a string the test owns; it refuses text when told to.
class FakeClipboard : public ClipboardBackend {
  public:
    explicit FakeClipboard(std::u16string* text, bool accepts = true)
        : text_(text), accepts_(accepts) {}
    bool IsTextAvailable() override { return !text_->empty(); }
    bool GetText(std::u16string& out) override {
        out = *text_;
        return true;
    }
    bool SetText(std::u16string_view text) override {
        if (accepts_) {
            *text_ = text;
        }
        return accepts_;
    }

  private:
    std::u16string* text_;
    bool accepts_;
};

// A main window as a test starts it: default settings, the clipboard held in
// clipboard (emptied), scripted dialogs (dialogs points at them), resized to
// size and shown. The caller waits for it to be exposed.
inline std::unique_ptr<MainFrame> StartFrame(std::u16string& clipboard, ScriptedDialogs*& dialogs,
                                             QSize size = QSize(700, 500)) {
    AppSettings::Instance() = AppSettings{};
    clipboard.clear();
    ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&clipboard));
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    auto frame = std::make_unique<MainFrame>(std::move(scripted));
    frame->resize(size);
    frame->ShowFirstTime();
    return frame;
}

}  // namespace linesift::test
