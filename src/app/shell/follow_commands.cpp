// View > Follow File: the window shows lines as another program appends them
// to the open file, and reloads the file when it is truncated or replaced.
#include <QFileInfo>

#include "qt_text.h"
#include "settings/app_settings.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"

namespace linesift {
namespace {

// The watcher reports most writes at once; the poll catches what it misses
// (a file renamed away and created anew, changes on network file systems).
constexpr int kFollowPollMs = 250;
// A writer may append a thousand times a second: the looks its writes cause
// are at least this far apart.
constexpr int kFollowSoonMs = 30;
constexpr int kReloadMessageMs = 4000;

}  // namespace

void MainFrame::ToggleFollow() {
    Toggle(AppSettings::Instance().follow_file);
    UpdateFollowing();
}

void MainFrame::UpdateFollowing() {
    const bool follow = AppSettings::Instance().follow_file && IsFollowable() && !IsLoading();
    const std::u16string path = follow ? document_.GetPath() : std::u16string();
    if (path == followed_path_) {
        return;
    }
    followed_path_ = path;
    if (!follow_watcher_->files().isEmpty()) {
        follow_watcher_->removePaths(follow_watcher_->files());
    }
    if (path.empty()) {
        follow_timer_->stop();
        return;
    }
    follow_watcher_->addPath(ToQString(path));
    // What was appended since the load shows at once.
    follow_timer_->start(0);
}

void MainFrame::FollowSoon() {
    if (!followed_path_.empty() && follow_timer_->remainingTime() > kFollowSoonMs) {
        follow_timer_->start(kFollowSoonMs);
    }
}

void MainFrame::FollowAfterFilter() {
    if (follow_waits_ && !followed_path_.empty()) {
        follow_timer_->start(0);
    }
}

void MainFrame::FollowStep() {
    if (followed_path_.empty()) {
        return;
    }
    // The document changes only while nothing else reads or replaces it.
    // What arrives during a pass joins the list once the pass ends.
    follow_waits_ = pane_->IsFiltering();
    // A line the list prepares on a thread of its own is read meanwhile.
    if (IsLoading() || IsWriting() || follow_waits_ || pane_->List().IsPreparingLine()) {
        follow_timer_->start(kFollowSoonMs);
        return;
    }
    follow_timer_->start(kFollowPollMs);
    if (follow_watcher_->files().isEmpty()) {
        follow_watcher_->addPath(ToQString(followed_path_));  // created anew after a rename
    }
    const FileUpdate update = document_.ReadAppended();
    switch (update.change) {
        case FileChange::Appended:
            if (update.first_changed == 0) {
                // A file that was empty (no query applied) or read anew in
                // another encoding: every line is new.
                pane_->List().Rebuild(true, false);
                ReapplyQuery();
            } else {
                pane_->FilterAppended(update.first_changed);
            }
            break;
        case FileChange::Truncated:
            ReloadFollowed(QStringLiteral("File was truncated; reloaded"));
            break;
        case FileChange::Replaced:
            ReloadFollowed(QStringLiteral("File was replaced; reloaded"));
            break;
        case FileChange::None:
        case FileChange::Failed:
            break;
    }
}

void MainFrame::ReloadFollowed(const QString& message) {
    const std::u16string path = followed_path_;
    const std::string encoding = encoding_name_;
    if (!QFileInfo::exists(ToQString(path))) {
        return;  // renamed away and not created anew yet: the next look tries again
    }
    // Unlike a reload the user asks for, the query and the encoding stay.
    pane_->StopFilter();
    pane_->List().Clear(true);
    document_.Reset();
    if (!OpenFile(path, false, encoding)) {
        return;
    }
    ReapplyQuery();
    status_->ShowTimed(message, kReloadMessageMs);
}

}  // namespace linesift
