#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace linesift {

// Where ClipboardText gets and puts text: the program installs one that
// talks to the desktop's clipboard; tests install a fake.
class ClipboardBackend {
  public:
    virtual ~ClipboardBackend() = default;
    virtual bool IsTextAvailable() = 0;
    virtual bool GetText(std::u16string& out) = 0;
    virtual bool SetText(std::u16string_view text) = 0;
};

// The process-wide access to the clipboard's Unicode text. Without a
// backend there is no text and nothing can be put.
class ClipboardText {
  public:
    static ClipboardText& Instance();

    // Takes ownership of backend (null removes the current one).
    void SetBackend(std::unique_ptr<ClipboardBackend> backend) { backend_ = std::move(backend); }

    bool IsTextAvailable() { return backend_ && backend_->IsTextAvailable(); }
    // True only when text was taken.
    bool GetText(std::u16string& out) { return backend_ && backend_->GetText(out); }
    // True when the clipboard took the text.
    bool SetText(std::u16string_view text) { return backend_ && backend_->SetText(text); }

  private:
    ClipboardText() = default;
    std::unique_ptr<ClipboardBackend> backend_;
};

}  // namespace linesift
