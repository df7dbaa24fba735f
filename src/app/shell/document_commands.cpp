// The document commands of the main window: new, open, reload, save, export,
// import, and the questions they ask.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <atomic>
#include <functional>
#include <mutex>

#include "compress/decompressing_reader.h"
#include "document/clipboard_text.h"
#include "document/file_time.h"
#include "document/text_file_stream.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "qt_text.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/native_paths.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/search_box.h"
#include "views/suggest_popup.h"

namespace linesift {
namespace {

// "app.log" has one; "notes" and ".profile" have none.
bool HasExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.lastIndexOf(QLatin1Char('.')) > 0;
}

class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

void MainFrame::ClearDocument() {
    CancelLoad();
    WaitForWrite();
    pane_->StopFilter();
    pane_->List().Clear(true);
    ReleaseDocument();
    source_compression_ = Compression::None;
    source_incomplete_ = false;
    ClearQuery();
}

void MainFrame::ClearQuery() {
    QLineEdit& edit = search_box_->Edit();
    edit.selectAll();
    edit.del();
}

// Work done on a thread of its own while the window answers. Shared with
// the thread, so that a job the window gave up on ends on its own.
class BackgroundJob {
  public:
    virtual ~BackgroundJob() = default;
    virtual void Run() = 0;

    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{0};
    std::atomic<bool> cancel{false};  // raised when the window gives up on the job
    std::atomic<bool> finished{false};
};

namespace {

std::function<void()>& LoadProgressHook() {
    static std::function<void()> hook;
    return hook;
}

std::function<void()>& WriteStartHook() {
    static std::function<void()> hook;
    return hook;
}

std::function<void()>& DecodeProgressHook() {
    static std::function<void()> hook;
    return hook;
}

// The decoded text a window shows its first screen of before the end: enough
// for a screen of ordinary lines, little enough to index at once.
constexpr uint64_t kDecodedPreviewBytes = 256 << 10;

std::u16string ProcPathOf(int fd) {
    return FromNativePath("/proc/self/fd/" + std::to_string(fd));
}

// A load into a document of its own; the window takes the document once the
// load is done.
class LoadJob : public BackgroundJob {
  public:
    LoadJob(std::u16string path, LoadOptions options, std::shared_ptr<OwnedFd> keep)
        : path_(std::move(path)), options_(std::move(options)), keep_(std::move(keep)) {
        document.SetProgressHandler(
            [this, hook = LoadProgressHook()](uint64_t doneBytes, uint64_t totalBytes) {
                done = doneBytes;
                total = totalBytes;
                if (hook) {
                    hook();
                }
            });
    }
    void Run() override {
        loaded = document.LoadFromFile(path_, options_);
        document.SetProgressHandler(nullptr);
        keep_.reset();
    }

    TextDocument document;
    bool loaded = false;  // written before finished

  private:
    std::u16string path_;
    LoadOptions options_;
    std::shared_ptr<OwnedFd> keep_;
};

// Decodes a compressed file into an unnamed cache file; stops between chunks
// once cancelled. Once the first text is written, preview holds its lines (a
// prefix of the text, read with the final load's options), for the window to
// show while the rest is decoded.
class DecompressJob : public BackgroundJob {
  public:
    DecompressJob(OwnedFd compressed, LoadOptions options)
        : compressed_(std::move(compressed)), options_(std::move(options)) {}
    void Run() override {
        DecompressOptions options;
        options.cancel = &cancel;
        options.on_progress = [this,
                               hook = DecodeProgressHook()](const DecompressProgress& progress) {
            done = progress.compressed_read;
            total = progress.compressed_total;
            if (!preview_tried_ && progress.text_written >= kDecodedPreviewBytes) {
                preview_tried_ = true;
                preview.LoadFromFile(ProcPathOf(progress.text_fd), options_);
            }
            if (hook) {
                hook();
            }
        };
        result = DecompressToCacheFile(compressed_.Get(), options);
        compressed_.Reset();
        if (cancel) {
            // The window reads neither any more: the text leaves the cache
            // folder now, not when the job is reaped.
            result.text.Reset();
            preview.Reset();
        }
    }

    DecompressResult result;  // written before finished
    // Loaded on the job's thread; its IndexedLines may be read meanwhile.
    TextDocument preview;

  private:
    OwnedFd compressed_;
    LoadOptions options_;
    bool preview_tried_ = false;
};

// The file at path opened for reading when its first bytes show a
// compression the core decodes; otherwise an invalid descriptor.
OwnedFd OpenIfCompressed(const std::string& path) {
    OwnedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return OwnedFd();
    }
    uint8_t head[kCompressionHeadSize];
    const ssize_t n = ::pread(fd.Get(), head, sizeof head, 0);
    if (n <= 0 || DetectCompression(head, static_cast<size_t>(n)) == Compression::None) {
        return OwnedFd();
    }
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Lets go of a document's lines and bytes.
class ReleaseJob : public BackgroundJob {
  public:
    explicit ReleaseJob(TextDocument document) : document_(std::move(document)) {}
    void Run() override { document_.Reset(); }

  private:
    TextDocument document_;
};

// From this many lines a document is let go of on a thread of its own: the
// index and the mapping of a 1 GiB file take 0.05 to 0.1 s to free. While a
// load runs, that waits for its end: unmapping the old bytes would stall the
// load's page faults on the new ones.
constexpr size_t kReleaseInBackgroundLines = 100000;

}  // namespace

void MainFrame::ReleaseDocument() {
    if (document_.LineCount() < kReleaseInBackgroundLines) {
        document_.Reset();
        return;
    }
    StartRelease();
    held_ = std::make_shared<ReleaseJob>(std::move(document_));
    document_.Reset();
    // Without a load to follow, at once.
    QTimer::singleShot(0, this, [this] {
        if (loading_ == 0) {
            StartRelease();
        }
    });
}

void MainFrame::StartRelease() {
    if (held_ == nullptr) {
        return;
    }
    std::shared_ptr<BackgroundJob> job = std::move(held_);
    StartLoadThread(job);
}

void MainFrame::SetLoadProgressHookForTesting(std::function<void()> hook) {
    LoadProgressHook() = std::move(hook);
}

void MainFrame::SetWriteStartHookForTesting(std::function<void()> hook) {
    WriteStartHook() = std::move(hook);
}

void MainFrame::SetDecodeProgressHookForTesting(std::function<void()> hook) {
    DecodeProgressHook() = std::move(hook);
}

MainFrame::LoadOutcome MainFrame::RunInBackground(const std::shared_ptr<BackgroundJob>& job,
                                                  const QString& progressText) {
    StartLoadThread(job);
    // Another load, Escape, a new document or closing the window raises the flag.
    bool cancelled = false;
    if (cancel_load_ != nullptr) {
        *cancel_load_ = true;
    }
    cancel_load_ = &cancelled;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (job->finished || cancelled) {
            loop.quit();
        } else if (job->total > 0) {
            status_->SetMessage(progressText.arg(job->done * 100 / job->total));
        }
    });
    poll.start(10);
    loop.exec();
    if (cancel_load_ == &cancelled) {
        cancel_load_ = nullptr;
    }
    if (cancelled) {
        job->cancel = true;
        return LoadOutcome::Cancelled;
    }
    return LoadOutcome::Loaded;
}

MainFrame::LoadOutcome MainFrame::RunShowingLines(const std::shared_ptr<BackgroundJob>& job,
                                                  const QString& progressText,
                                                  const TextDocument& loading,
                                                  const TextDocument* shownMeanwhile) {
    // The first screen of lines shows as soon as they are indexed; the lines
    // of shownMeanwhile stay until loading has as many.
    LineListView& list = pane_->List();
    const TextDocument* shown = shownMeanwhile != nullptr ? shownMeanwhile : &loading;
    list.SetLoadPreview(shown);
    // At once: the lines shown before this load stay without a blank frame.
    list.UpdateLoadPreview();
    QTimer preview;
    connect(&preview, &QTimer::timeout, &list, [&] {
        if (list.LoadPreview() != shown) {
            return;  // a load begun meanwhile (this one is cancelled) shows its lines
        }
        if (shown != &loading &&
            loading.IndexedLines() >= static_cast<size_t>(list.LoadPreviewRows())) {
            shown = &loading;
            list.SetLoadPreview(shown);
        }
        list.UpdateLoadPreview();
    });
    preview.start(kLoadPreviewMs);
    LoadOutcome outcome = RunInBackground(job, progressText);
    preview.stop();
    list.SetLoadPreview(nullptr);
    return outcome;
}

MainFrame::LoadOutcome MainFrame::LoadInBackground(const std::u16string& path, TextDocument& loaded,
                                                   const LoadOptions& options,
                                                   std::shared_ptr<OwnedFd> keep,
                                                   const TextDocument* shownMeanwhile) {
    auto job = std::make_shared<LoadJob>(path, options, std::move(keep));
    LoadOutcome outcome =
        RunShowingLines(job, QStringLiteral("Loading... %1%"), job->document, shownMeanwhile);
    if (outcome != LoadOutcome::Loaded) {
        return outcome;
    }
    if (!job->loaded) {
        return LoadOutcome::Failed;
    }
    loaded = std::move(job->document);
    return LoadOutcome::Loaded;
}

bool MainFrame::AcceptIncompleteText(const std::u16string& path, const DecompressResult& result) {
    const QString text =
        DisplayPath(path) + QStringLiteral("\n\n") + QString::fromStdString(result.error_text) +
        QStringLiteral("\n\nDo you want to open the %1 bytes of text that could be read?")
            .arg(QString::fromStdString(GroupedNumber(result.text_size)));
    return dialogs_->ShowMessage(this, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Warning) == QMessageBox::Yes;
}

MainFrame::LoadOutcome MainFrame::LoadSource(const std::u16string& path,
                                             const EncodingChoice& encoding) {
    const LoadOptions options{.encoding = encoding};
    load_error_.clear();
    source_compression_ = Compression::None;
    source_incomplete_ = false;
    const std::string native = ToNativePath(path);
    // Taken before reading, so a change made meanwhile shows as an outside change.
    FileTimeStamp time;
    const bool haveTime = GetLastWriteTime(native, time);
    OwnedFd compressed = OpenIfCompressed(native);
    if (!compressed.IsValid()) {
        return LoadInBackground(path, document_, options);
    }
    // The decoded text's first screen shows while the rest is decoded, and
    // until the final load has indexed as many lines.
    auto decode = std::make_shared<DecompressJob>(std::move(compressed), options);
    const QString progressText = QStringLiteral("Decompressing... %1%");
    // Said from the start, before the first lines can show.
    status_->SetMessage(progressText.arg(0));
    LoadOutcome outcome = RunShowingLines(decode, progressText, decode->preview, nullptr);
    if (outcome != LoadOutcome::Loaded) {
        return outcome;
    }
    // The job ended: with its thread joined, decode is its last owner, and
    // what it holds of the text goes when this returns.
    ReapLoadThreads();
    DecompressResult result = std::move(decode->result);
    QString failure = QStringLiteral("Error opening file %1!").arg(DisplayPath(path));
    if (!result.error_text.empty()) {
        failure += QStringLiteral("\n\n") + QString::fromStdString(result.error_text);
    }
    if (!result.text.IsValid() || (!result.IsComplete() && result.text_size == 0)) {
        load_error_ = failure;
        return LoadOutcome::Failed;
    }
    if (!result.IsComplete() && !AcceptIncompleteText(path, result)) {
        return LoadOutcome::Cancelled;
    }
    // The text is read through the unnamed file's /proc name, which stays
    // valid while the descriptor is open.
    auto text = std::make_shared<OwnedFd>(std::move(result.text));
    outcome = LoadInBackground(ProcPathOf(text->Get()), document_, options, text,
                               result.IsComplete() ? &decode->preview : nullptr);
    if (outcome == LoadOutcome::Loaded) {
        document_.SetSource(path, haveTime ? time : FileTimeStamp());
        source_compression_ = result.format;
        source_incomplete_ = !result.IsComplete();
    } else if (outcome == LoadOutcome::Failed) {
        load_error_ = failure;
    }
    return outcome;
}

bool MainFrame::IsFollowable() const {
    // An empty file counts: it may start to grow.
    return !document_.IsImported() && !document_.GetPath().empty() &&
           source_compression_ == Compression::None;
}

bool MainFrame::CancelLoad() {
    if (cancel_load_ == nullptr) {
        return false;
    }
    *cancel_load_ = true;
    cancel_load_ = nullptr;
    return true;
}

void MainFrame::StartLoadThread(const std::shared_ptr<BackgroundJob>& job) {
    ReapLoadThreads();
    load_threads_.emplace_back(
        [job] {
            job->Run();
            job->finished = true;
        },
        job);
}

void MainFrame::ReapLoadThreads(bool wait) {
    for (auto it = load_threads_.begin(); it != load_threads_.end();) {
        if (wait || it->second->finished) {
            it->first.join();
            it = load_threads_.erase(it);
        } else {
            ++it;
        }
    }
}

std::string MainFrame::RememberedEncoding(const std::u16string& path) {
    const auto& remembered = AppSettings::Instance().recent_encodings;
    auto it = remembered.find(path);
    return it == remembered.end() ? std::string("auto") : it->second;
}

bool MainFrame::OpenFile(const std::u16string& rawPath, bool addToRecent,
                         const std::string& encoding) {
    std::u16string path = AbsoluteNormalPath(rawPath);
    if (!path.empty() && path == document_.GetPath()) {
        return true;
    }
    const std::string encodingName = encoding.empty() ? RememberedEncoding(path) : encoding;
    EncodingChoice choice;
    std::string unknown;
    if (!ParseEncodingName(encodingName, choice, unknown)) {
        choice = EncodingChoice{};  // a name this system's ICU lacks: detect instead
    }
    QString previous = status_->MessageText();
    status_->ShowNow(QStringLiteral("Loading..."));
    int64_t start = MonotonicMs();
    // The window answers while the file loads: the old document goes first,
    // so that nothing shows or reads it meanwhile.
    pane_->StopFilter();
    pane_->List().Clear(true);
    ReleaseDocument();
    UpdateCommandUi();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    ++loading_;
    LoadOutcome outcome = LoadSource(path, choice);
    --loading_;
    StartRelease();  // the document this one replaces, if any
    QApplication::restoreOverrideCursor();
    if (close_after_work_) {
        close_after_work_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
    if (outcome == LoadOutcome::Cancelled) {
        status_->SetMessage(QStringLiteral("Loading cancelled"));
        return false;
    }
    if (outcome == LoadOutcome::Failed) {
        pane_->List().Clear(true);
        status_->SetMessage(previous);
        ShowError(load_error_.isEmpty()
                      ? QStringLiteral("Error opening file %1!").arg(DisplayPath(path))
                      : load_error_);
        return false;
    }
    encoding_name_ = choice.IsAuto() ? std::string("auto") : encodingName;
    if (addToRecent && AppSettings::Instance().save_file_history) {
        AddRecentFile(path);
    }
    if (AppSettings::Instance().save_file_history) {
        auto& remembered = AppSettings::Instance().recent_encodings;
        if (choice.IsAuto()) {
            remembered.erase(path);
        } else {
            remembered[path] = encodingName;
        }
    }
    pane_->List().Rebuild(true, true);
    UpdateCommandUi();
    int64_t elapsed = MonotonicMs() - start;
    if (elapsed >= 50) {
        status_->ShowTimed(QString::asprintf("Loaded in %.2f seconds", elapsed * 0.001), 3000);
    } else {
        status_->SetMessage(previous);
    }
    search_box_->Activate(false);
    return true;
}

void MainFrame::NewDocument() {
    if (!PromptSaveChanges()) {
        return;
    }
    ClearDocument();
    UpdateCommandUi();
}

void MainFrame::OpenCommand() {
    QString chosen = dialogs_->AskOpenPath(this);
    if (chosen.isEmpty() || !PromptSaveChanges()) {
        return;
    }
    const std::u16string path = PathFromQt(chosen);
    AppSettings::Instance().last_folder = FolderOf(path);
    ClearDocument();
    UpdateCommandUi();
    // Chosen in the dialog: loaded again even when it is the open file.
    OpenFile(path, true);
}

void MainFrame::OpenRecent(int id) {
    AppSettings& settings = AppSettings::Instance();
    size_t index = static_cast<size_t>(id - cmd::kRecentFirst);
    if (index >= settings.recent_files.size()) {
        return;
    }
    // The entry is taken before the question, which may reorder the list.
    std::u16string path = settings.recent_files[index];
    if (!PromptSaveChanges()) {
        return;
    }
    ClearDocument();
    UpdateCommandUi();
    bool opened = OpenFile(path, false);
    auto& list = settings.recent_files;
    list.erase(std::remove(list.begin(), list.end(), path), list.end());
    if (opened) {
        list.push_front(path);
    }
    RebuildRecentFilesMenu();
}

bool MainFrame::PromptSaveChanges() {
    if (!document_.IsModified()) {
        return true;
    }
    QString text = QStringLiteral("Do you want to save changes to ");
    text += document_.GetPath().empty() ? QStringLiteral("Untitled")
                                        : QStringLiteral("\n") + DisplayPath(document_.GetPath());
    text += QStringLiteral("?");
    auto answer =
        dialogs_->ShowMessage(this, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                              QMessageBox::Question);
    if (answer == QMessageBox::Yes) {
        return SaveCommand() == SaveResult::Saved;
    }
    return answer == QMessageBox::No;
}

MainFrame::SaveResult MainFrame::SaveCommand() {
    if (document_.IsEmpty()) {
        return SaveResult::Failed;
    }
    if (!document_.IsModified()) {
        return SaveResult::Saved;
    }
    // An imported document has no file of its own, whatever its name says.
    if (!document_.IsImported() && PathExists(document_.GetPath())) {
        return SaveDocument();
    }
    return SaveAsCommand();
}

MainFrame::SaveResult MainFrame::SaveAsCommand() {
    QString path = AskSaveName(DisplayPath(document_.GetTitle()));
    if (path.isEmpty()) {
        return SaveResult::Cancelled;
    }
    return SaveDocument(PathFromQt(path));
}

QString MainFrame::AskSaveName(const QString& initialName) {
    QString path = dialogs_->AskSavePath(this, initialName);
    if (!path.isEmpty()) {
        AppSettings::Instance().last_folder = FolderOf(PathFromQt(path));
    }
    if (path.isEmpty() || HasExtension(path)) {
        return path;
    }
    path += QStringLiteral(".txt");
    // The dialog asked about the name as typed, not about this one.
    if (PathExists(PathFromQt(path))) {
        auto answer = dialogs_->ShowMessage(
            this, QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning);
        if (answer != QMessageBox::Yes) {
            return QString();
        }
    }
    return path;
}

MainFrame::SaveResult MainFrame::WriteWhileAnswering(
    const QString& text, const std::function<bool(const std::atomic<bool>*)>& write) {
    if (write_done_ != nullptr) {
        return SaveResult::Failed;
    }
    QString previous = status_->MessageText();
    status_->ShowNow(text);
    std::atomic<bool> done{false};
    std::atomic<bool> cancel{false};
    bool result = false;
    write_done_ = &done;
    write_cancel_ = &cancel;
    std::thread thread([&, hook = WriteStartHook()] {
        std::lock_guard<std::mutex> lock(write_mutex_);
        if (hook) {
            hook();
        }
        result = write(&cancel);
        done = true;
    });
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done) {
            loop.quit();
        }
    });
    poll.start(10);
    loop.exec();
    thread.join();
    write_done_ = nullptr;
    write_cancel_ = nullptr;
    QApplication::restoreOverrideCursor();
    status_->SetMessage(previous);
    if (close_after_work_) {
        close_after_work_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
    UpdateCommandUi();
    if (result) {
        return SaveResult::Saved;
    }
    return cancel ? SaveResult::Cancelled : SaveResult::Failed;
}

bool MainFrame::CancelWrite() {
    if (write_cancel_ == nullptr) {
        return false;
    }
    *write_cancel_ = true;
    return true;
}

void MainFrame::WaitForWrite() {
    std::lock_guard<std::mutex> lock(write_mutex_);
}

MainFrame::SaveResult MainFrame::SaveDocument(const std::u16string& path) {
    const SaveResult saved = WriteWhileAnswering(QStringLiteral("Saving..."),
                                                 [this, &path](const std::atomic<bool>* cancel) {
                                                     return document_.SaveToFile(path, cancel);
                                                 });
    if (saved == SaveResult::Saved) {
        if (AppSettings::Instance().save_file_history) {
            AddRecentFile(document_.GetPath());
        }
        UpdateCommandUi();
    } else if (saved == SaveResult::Cancelled) {
        status_->ShowTimed(QStringLiteral("Saving cancelled: no file was changed"), 5000);
    } else {
        ShowError(QStringLiteral("Error saving file \"%1\"!")
                      .arg(DisplayPath(path.empty() ? document_.GetPath() : path)));
    }
    return saved;
}

void MainFrame::Export(bool selectedOnly) {
    LineListView& list = pane_->List();
    if (selectedOnly ? !list.HasSelection()
                     : !(list.IsFiltered() && list.FilteredLineCount() >= 1)) {
        return;
    }
    QString path = AskSaveName(selectedOnly ? QStringLiteral("Selected Lines")
                                            : QStringLiteral("Filter Results"));
    if (path.isEmpty()) {
        return;
    }
    // The lines are taken now, a few bits per line: the list may change while
    // they are written.
    const FilteredLines lines = list.Lines();
    const std::string native = ToNativePath(PathFromQt(path));
    std::string error;
    auto write = [&](const std::atomic<bool>* cancel) {
        return ExportShownLines(document_, lines, selectedOnly, native, error, cancel);
    };
    switch (WriteWhileAnswering(QStringLiteral("Exporting..."), write)) {
        case SaveResult::Saved:
            break;
        case SaveResult::Cancelled:
            status_->ShowTimed(QStringLiteral("Export cancelled: no file was written"), 5000);
            break;
        case SaveResult::Failed:
            ShowError(QStringLiteral("Error exporting file \"%1\"!").arg(path));
            break;
    }
}

void MainFrame::ImportClipboard(bool withPrompt) {
    if (!ClipboardText::Instance().IsTextAvailable()) {
        return;
    }
    if (withPrompt && !PromptSaveChanges()) {
        return;
    }
    ClearDocument();
    UpdateCommandUi();
    WaitCursor wait;
    if (document_.LoadFromClipboard()) {
        pane_->List().Rebuild(true, true);
        UpdateCommandUi();
        QMetaObject::invokeMethod(
            this, [this] { RunCommand(cmd::kFind); }, Qt::QueuedConnection);
    }
}

void MainFrame::CheckOutsideChange() {
    if (IsWriting()) {
        return;
    }
    // One question at a time: coming back to the window while it is up
    // must not ask again.
    // A followed file changes all the time: its lines arrive without asking.
    if (asking_reload_ || !followed_path_.empty() || !document_.HasChangedOnDisk()) {
        return;
    }
    QString text = DisplayPath(document_.GetPath()) +
                   QStringLiteral(
                       "\n\nThis file has been modified outside of this application.\n"
                       "Do you want to reload it?");
    asking_reload_ = true;
    const auto answer = dialogs_->ShowMessage(this, text, QMessageBox::Yes | QMessageBox::No,
                                              QMessageBox::Question);
    asking_reload_ = false;
    if (answer == QMessageBox::Yes) {
        ReloadDocument();
    }
}

bool MainFrame::ReloadDocument() {
    if (document_.IsEmpty()) {
        return false;
    }
    std::u16string path = document_.GetPath();
    if (!PathExists(path)) {
        return false;
    }
    const std::string encoding = encoding_name_;
    ClearDocument();
    return OpenFile(path, true, encoding);
}

void MainFrame::ReopenWithEncoding(const std::string& encoding) {
    if (document_.IsEmpty() || document_.IsImported() || !PromptSaveChanges()) {
        return;
    }
    const std::u16string path = document_.GetPath();
    ClearDocument();
    UpdateCommandUi();
    OpenFile(path, true, encoding);
}

void MainFrame::ChooseCodePage() {
    QStringList names;
    for (const std::string& name : LineCodePages()) {
        names << QString::fromStdString(name);
    }
    const QString current = document_.Encoding() == Ansi
                                ? QString::fromStdString(document_.CodePage())
                                : QString::fromStdString(LegacyCodePageName());
    const QString chosen = dialogs_->AskCodePage(this, names, current);
    if (!chosen.isEmpty()) {
        ReopenWithEncoding(chosen.toStdString());
    }
}

}  // namespace linesift
