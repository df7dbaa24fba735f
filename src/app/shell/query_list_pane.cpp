#include "shell/query_list_pane.h"

#include <QPainter>

#include "filter/regex_pattern.h"
#include "qt_text.h"
#include "settings/app_settings.h"

namespace linesift {

QueryListPane::QueryListPane(TextDocument& document, QWidget* parent)
    : QWidget(parent), document_(document), list_(new LineListView(document, this)) {
    setObjectName(QStringLiteral("QueryListPane"));
}

void QueryListPane::ApplyQuery(const std::u16string& text) {
    const AppSettings& settings = AppSettings::Instance();
    QString error;
    if (!text.empty() && static_cast<QueryMode>(settings.query_mode) == QueryMode::Regex) {
        RegexPattern pattern;
        if (!pattern.Compile(text, RegexSyntax::Perl)) {
            error = ToQString(pattern.ErrorText());
        }
    }
    emit queryChecked(error);
    if (document_.IsEmpty()) {
        return;
    }
    list_->SetFilter(FilterRequest{.text = text,
                                   .match_case = settings.match_case,
                                   .whole_word = settings.match_whole_word_only,
                                   .query_mode = static_cast<QueryMode>(settings.query_mode),
                                   .filter_mode = static_cast<FilterMode>(settings.filter_mode)});
}

void QueryListPane::OnSearchBoxEvent(const SearchBoxEvent& event) {
    if (AppliesQuery(event.code, AppSettings::Instance().search_as_you_type)) {
        ApplyQuery(event.text);
    }
}

void QueryListPane::resizeEvent(QResizeEvent*) {
    list_->setGeometry(0, 0, width(), std::max(height() - 1, 0));
}

void QueryListPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(0, height() - 1, width(), 1, palette().button());
}

}  // namespace linesift
