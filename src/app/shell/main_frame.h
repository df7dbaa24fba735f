#pragma once

#include <QAction>
#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "compress/compression.h"
#include "compress/decompress_to_file.h"
#include "document/text_document.h"
#include "shell/command_table.h"
#include "shell/frame_dialogs.h"
#include "views/line_list_view.h"

namespace linesift {

class StatusPanes;
class SearchBox;
class QueryListPane;
class BackgroundJob;

// The program's window: menus, the main bar with the tool bar and the search
// box, the line list, the status bar. It owns the one document, builds its
// menus, tool bar and shortcuts from one table of commands, keeps the command
// states in step with the settings and the document at idle time, and
// records its placement.
class MainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // dialogs answers the frame's questions; null means real dialogs.
    explicit MainFrame(std::unique_ptr<FrameDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~MainFrame() override;

    // The file to open at the first idle turn after the window is shown.
    void SetPendingOpenPath(const std::u16string& path) { pending_open_path_ = path; }
    // Shows the window (placement restored) and opens the pending path.
    void ShowFirstTime();

    // Runs a command by id, as a menu item or shortcut would; false when the
    // command is disabled or unknown.
    bool RunCommand(int id);
    QAction* Action(int id) const;
    // Refreshes every command's enabled and checked state, the title and the counts.
    void UpdateCommandUi();
    // Every command of the window, in menu order.
    static std::span<const Command> Commands();

    // The document commands.
    // Loads on a thread of its own while the window answers; false when the
    // file could not be read or the load was cancelled (CancelLoad). A file
    // compressed with a format the core recognises is first decoded into an
    // unnamed cache file, with progress and the same way to cancel; the
    // document then holds that text under the compressed file's path.
    // encoding names the encoding to read it in (as ParseEncodingName reads
    // it); empty means the one remembered for path in Recent Files, else auto.
    bool OpenFile(const std::u16string& path, bool addToRecent, const std::string& encoding = {});
    // Loads the open file again in the named encoding and remembers the
    // choice for it in Recent Files.
    void ReopenWithEncoding(const std::string& encoding);
    // The compression of the open document's file; None for a plain file.
    Compression SourceCompression() const { return source_compression_; }
    // The document holds only the part of a damaged archive that could be read.
    bool IsSourceIncomplete() const { return source_incomplete_; }
    // The document's file can be followed as it grows: a plain file of its
    // own, not pasted text and not text decoded out of a compressed file.
    bool IsFollowable() const;
    // Gives up the running load, if any: its OpenFile returns false. The
    // document stays empty.
    bool CancelLoad();
    bool IsLoading() const { return cancel_load_ != nullptr; }
    // A save or an export runs (the window answers meanwhile).
    bool IsWriting() const { return write_done_ != nullptr; }
    // Stops the running save or export: the file it was writing is left as
    // it was. False when none runs.
    bool CancelWrite();
    // Stops word wrap's measuring in steps by turning word wrap off. False
    // when none shows its progress.
    bool CancelReformatting();
    bool ReloadDocument();
    bool PromptSaveChanges();
    // Closes the window without asking to save changes (the session ends).
    void CloseWithoutQuestions();
    void AddRecentFile(const std::u16string& path);
    void CheckOutsideChange();
    // Looks at the followed file now, as the watcher and the poll do.
    void FollowStep();
    // Looks at the followed file soon: it was written to.
    void FollowSoon();
    // Takes the look that waited for a filter pass, now that it has ended.
    void FollowAfterFilter();

    TextDocument& Document() { return document_; }
    QueryListPane& Pane() { return *pane_; }
    SearchBox& SearchField() { return *search_box_; }
    StatusPanes& Status() { return *status_; }
    // Runs hook on the load thread at each progress report of a file's load
    // (a load begun afterwards); empty for none.
    static void SetLoadProgressHookForTesting(std::function<void()> hook);
    // Runs hook on the writing thread before a save or an export (begun
    // afterwards) writes anything; empty for none.
    static void SetWriteStartHookForTesting(std::function<void()> hook);
    // Runs hook on the decoding thread after each chunk of a compressed
    // file's text is written (a decode begun afterwards); empty for none.
    static void SetDecodeProgressHookForTesting(std::function<void()> hook);
    QMenu& RecentFilesMenu() { return *recent_menu_; }
    QMenu& EncodingMenu() { return *encoding_menu_; }
    // The line list's context menu: its commands from the table, each enabled
    // when it can do something there; an item's data is its command id.
    void FillListContextMenu(QMenu& menu);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // How often a load's first screen of lines is looked at while it runs.
    static constexpr int kLoadPreviewMs = 25;
    enum class SaveResult { Saved, Failed, Cancelled };
    enum class LoadOutcome { Loaded, Failed, Cancelled };

    // Loads path into document_, decoding it first when it is compressed.
    // Failed leaves the reason in load_error_ (empty: the general message).
    LoadOutcome LoadSource(const std::u16string& path, const EncodingChoice& encoding);
    // Loads path into loaded on a load thread, running the event loop
    // meanwhile; keep (a descriptor the path names) stays open until the
    // thread is done with it. The list shows the lines of shownMeanwhile, when
    // given, until the load has indexed as many.
    LoadOutcome LoadInBackground(const std::u16string& path, TextDocument& loaded,
                                 const LoadOptions& options,
                                 std::shared_ptr<OwnedFd> keep = nullptr,
                                 const TextDocument* shownMeanwhile = nullptr);
    // RunInBackground with the list showing the first screen of the lines
    // loading (filled by job) indexes, or of shownMeanwhile until loading has
    // as many; the list shows none once it returns.
    LoadOutcome RunShowingLines(const std::shared_ptr<BackgroundJob>& job,
                                const QString& progressText, const TextDocument& loading,
                                const TextDocument* shownMeanwhile);
    // Runs job on a thread of its own, showing progress with progressText
    // ("Loading... %1%"), until it ends or is cancelled; Cancelled or Loaded.
    LoadOutcome RunInBackground(const std::shared_ptr<BackgroundJob>& job,
                                const QString& progressText);
    // Asks whether to open the readable part of a damaged archive.
    bool AcceptIncompleteText(const std::u16string& path, const DecompressResult& result);
    // The encoding name remembered for path, or "auto".
    static std::string RememberedEncoding(const std::u16string& path);
    // Offers the code pages to choose from and reopens the document in the chosen one.
    void ChooseCodePage();
    void ShowEncodingMenu(QPoint globalPos);
    // Chooses the theme (0 the desktop's, 1 light, 2 dark), remembers it and applies it.
    void SetTheme(int theme);
    // Gives the application the palette of the theme in the settings, and
    // the list the highlight colour that reads on it.
    void ApplyTheme();
    // The list's highlight colour for the application's current palette.
    void ApplyHighlightColor();
    // Runs write on a thread of its own while the window answers, with text
    // in the status bar; Failed when a write already runs. write stops early
    // when the flag it is given is raised (Escape): then Cancelled, unless it
    // had completed. The document must not change meanwhile: ClearDocument
    // waits for it.
    SaveResult WriteWhileAnswering(const QString& text,
                                   const std::function<bool(const std::atomic<bool>*)>& write);
    // Returns once no write runs.
    void WaitForWrite();
    // Joins the load threads that ended; with wait, all of them.
    void ReapLoadThreads(bool wait = false);
    // Runs job on a new load thread, after reaping the ended ones.
    void StartLoadThread(const std::shared_ptr<BackgroundJob>& job);
    // Empties the document; a large one is freed on a thread of its own,
    // reaped with the load threads, once no load runs.
    void ReleaseDocument();
    // Frees the document ReleaseDocument holds, if any, on a thread of its own.
    void StartRelease();

    void BuildActions();
    void BuildMenus();
    void BuildMainBar();
    QAction* AddAction(const Command& command);
    CommandState CurrentCommandState(bool inListMenu);
    void ShowListContextMenu(QPoint globalPos);
    void ShowBusy(const QString& text);
    void CopySelection();
    void ClearRecentFiles();
    static void OpenWebPage();
    static void Toggle(bool& setting) { setting = !setting; }
    void LayoutMainBar();
    void RebuildRecentFilesMenu();
    void OpenRecent(int id);
    void NewDocument();
    void OpenCommand();
    SaveResult SaveCommand();
    SaveResult SaveAsCommand();
    // Saves the document under path (empty: its own); a document saved
    // under a new path takes that path only once it is written.
    SaveResult SaveDocument(const std::u16string& path = {});
    void ImportClipboard(bool withPrompt);
    void Export(bool selectedOnly);
    QString AskSaveName(const QString& initialName);
    void ClearDocument();
    void ClearQuery();
    void UpdateTitle();
    // " (gzip, decompressed)" after the name of a document decoded out of a
    // compressed file; empty otherwise.
    QString DecodedNote() const;
    void ReapplyQuery();
    void SetQueryMode(int mode);
    void SetFilterMode(int mode);
    void ShowOptions();
    // The reading tools (reading_commands.cpp).
    template <int lines>
    static void SetContextLines(MainFrame& frame) {
        frame.ApplyContextLines(lines);
    }
    // The command of Search > Context Lines that sets lines.
    template <int lines>
    static Command ContextLinesCommand(int id, const char* text, bool separator = false);
    void ApplyContextLines(int lines);
    // Shows the last pass's result in mode with the context lines set, or
    // filters again when no complete result is there.
    void ReshowOrReapply(FilterMode mode);
    // Into Show All with the query kept (on), or back to the mode it left.
    void SwitchFullFile(bool on);
    void FindMatch(bool forward);
    void GoToLine();
    void ToggleFullFile();
    void ToggleLineNumbers();
    void EditHighlighters();
    // Gives the list the highlighters of the settings; the status bar says
    // once which rule does not compile and colours nothing.
    void ApplyHighlighters();
    void ShowAbout();
    // Opens the user manual's contents page at anchor (none: its top); says
    // where it looked when there is no manual.
    void OpenHelp(const QString& anchor = QString());
    void RestorePlacement();
    void RecordPlacement();
    void ShowError(const QString& text);
    // error: why the query does not compile; empty once it does.
    void ShowQueryError(const QString& error);
    void ToggleFollow();
    // Starts or stops watching the document's file as Follow File and the
    // document say.
    void UpdateFollowing();
    // Loads the followed file again from its start, keeping the query.
    void ReloadFollowed(const QString& message);
    void DragEnter(QDragEnterEvent* event);
    void Drop(QDropEvent* event);

    std::unique_ptr<FrameDialogs> dialogs_;
    TextDocument document_;
    QueryListPane* pane_ = nullptr;
    SearchBox* search_box_ = nullptr;
    StatusPanes* status_ = nullptr;
    QWidget* main_bar_ = nullptr;
    QToolBar* tool_bar_ = nullptr;
    QMenu* recent_menu_ = nullptr;
    QMenu* encoding_menu_ = nullptr;
    std::map<int, QAction*> actions_;
    QString status_before_busy_;
    bool busy_shown_ = false;  // a busy message is shown over status_before_busy_
    QString query_error_;      // the status shows it while the query does not compile
    std::u16string pending_open_path_;
    bool placement_restored_ = false;
    bool shown_ = false;
    bool force_close_ = false;
    // The running load's cancel flag (on its OpenFile's stack); null when none runs.
    bool* cancel_load_ = nullptr;
    bool close_after_work_ = false;              // or after the write
    std::atomic<bool>* write_done_ = nullptr;    // the running write's flag, on its stack
    std::atomic<bool>* write_cancel_ = nullptr;  // raised to stop it, on its stack too
    std::mutex write_mutex_;                     // held by the thread of a write
    std::vector<std::pair<std::thread, std::shared_ptr<BackgroundJob>>> load_threads_;
    std::shared_ptr<BackgroundJob> held_;  // a released document waiting for a load to end
    int loading_ = 0;                      // OpenFile calls reading a file now
    QString load_error_;                   // why the last LoadSource failed
    Compression source_compression_ = Compression::None;
    bool source_incomplete_ = false;
    std::string encoding_name_ = "auto";  // the encoding the document was asked to be read in
    bool asking_reload_ = false;          // the reload question is up
    QFileSystemWatcher* follow_watcher_ = nullptr;
    QTimer* follow_timer_ = nullptr;  // the poll, for changes the watcher misses
    std::u16string followed_path_;    // empty while nothing is followed
    bool follow_waits_ = false;       // a look waits for the running pass to end
    // The filter mode Show in Full File left, to go back to; -1 when not in it.
    int32_t full_file_from_ = -1;
};

}  // namespace linesift
