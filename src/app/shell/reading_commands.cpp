// The reading tools of the main window: find next and previous, go to line,
// show in full file, context lines, line numbers and highlighters.
#include "filter/line_navigation.h"
#include "highlight/line_highlighter.h"
#include "qt_text.h"
#include "settings/app_settings.h"
#include "shell/go_to_line_dialog.h"
#include "shell/highlighters_dialog.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"

namespace linesift {
namespace {

constexpr int kMessageMs = 4000;
// Long enough to read the engine's message.
constexpr int kInvalidRuleMs = 10000;

QString ModeText(FilterMode mode) {
    switch (mode) {
        case FilterMode::HideMatched:
            return QStringLiteral("Hide Matched Lines");
        case FilterMode::ShowAll:
            return QStringLiteral("Show All Lines");
        default:
            return QStringLiteral("Hide Unmatched Lines");
    }
}

}  // namespace

void MainFrame::ApplyContextLines(int lines) {
    AppSettings::Instance().context_lines = lines;
    ReshowOrReapply(static_cast<FilterMode>(AppSettings::Instance().filter_mode));
}

void MainFrame::ReshowOrReapply(FilterMode mode) {
    const size_t context = static_cast<size_t>(AppSettings::Instance().context_lines);
    if (pane_->IsFiltering() || !pane_->List().ReshowFilter(mode, context)) {
        ReapplyQuery();
    }
}

void MainFrame::FindMatch(bool forward) {
    LineListView& list = pane_->List();
    if (list.Filter().text.empty()) {
        status_->ShowTimed(QStringLiteral("Type a query to find the lines that match it"),
                           kMessageMs);
        return;
    }
    const ShownStep step = FindMatchedFromLine(list.Lines(), list.CaretLine(), forward);
    if (step.shown < 0) {
        status_->ShowTimed(QStringLiteral("No line shown matches the query"), kMessageMs);
        return;
    }
    list.GoToLine(list.Lines().LineAt(step.shown), false);
    if (step.wrapped) {
        status_->ShowTimed(forward ? QStringLiteral("Passed the last match: went on from the top")
                                   : QStringLiteral("Passed the first match: went on from the end"),
                           kMessageMs);
    }
}

void MainFrame::GoToLine() {
    LineListView& list = pane_->List();
    GoToLineDialog dialog(list.Lines(), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (dialog.ShowAll()) {
        const int32_t from = AppSettings::Instance().filter_mode;
        SwitchFullFile(true);
        full_file_from_ = from;
    }
    list.GoToLine(dialog.Line(), true);
    list.setFocus(Qt::OtherFocusReason);
}

void MainFrame::SwitchFullFile(bool on) {
    AppSettings& settings = AppSettings::Instance();
    const auto mode =
        static_cast<FilterMode>(on ? static_cast<int32_t>(FilterMode::ShowAll) : full_file_from_);
    full_file_from_ = -1;
    settings.filter_mode = static_cast<int32_t>(mode);
    ReshowOrReapply(mode);
    status_->ShowTimed(
        on ? QStringLiteral("Show All Lines: the matches stay highlighted; Ctrl+Enter goes back")
           : ModeText(mode),
        kMessageMs);
}

void MainFrame::ToggleFullFile() {
    const FilterRequest& filter = pane_->List().Filter();
    if (full_file_from_ >= 0) {
        SwitchFullFile(false);
        return;
    }
    if (filter.text.empty() || AppSettings::Instance().filter_mode == 2) {
        status_->ShowTimed(QStringLiteral("Every line is shown already"), kMessageMs);
        return;
    }
    const int32_t from = AppSettings::Instance().filter_mode;
    SwitchFullFile(true);
    full_file_from_ = from;
}

void MainFrame::ToggleLineNumbers() {
    AppSettings& settings = AppSettings::Instance();
    Toggle(settings.line_numbers);
    pane_->List().SetLineNumbers(settings.line_numbers);
}

void MainFrame::EditHighlighters() {
    AppSettings& settings = AppSettings::Instance();
    HighlightersDialog dialog(settings.highlight_rules, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    settings.highlight_rules = dialog.Rules();
    ApplyHighlighters();
}

void MainFrame::ApplyHighlighters() {
    const std::vector<HighlightRule>& rules = AppSettings::Instance().highlight_rules;
    pane_->List().SetHighlighters(rules);
    const std::vector<InvalidHighlightRule>& invalid = pane_->List().Highlighters().Invalid();
    if (invalid.empty()) {
        return;
    }
    // The first one by name, the count of the others: a narrow status bar
    // cuts the end off.
    const InvalidHighlightRule& first = invalid.front();
    QString text =
        QStringLiteral("Highlighter %1 \u00AB%2\u00BB is not valid and colours nothing: %3")
            .arg(first.index + 1)
            .arg(ToQString(rules[first.index].text), ToQString(first.error));
    if (invalid.size() > 1) {
        text += QStringLiteral(" (and %1 more)").arg(invalid.size() - 1);
    }
    status_->ShowTimed(text, kInvalidRuleMs);
}

}  // namespace linesift
