#include "views/suggest_flyout.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "qt_text.h"
#include "settings/app_settings.h"
#include "views/search_box_colors.h"

namespace linesift {

namespace {

constexpr int kPlacedHeight = 10;

}  // namespace

SuggestFlyout::SuggestFlyout(QWidget& anchor, QLineEdit& edit)
    : VeFlyoutWndBase(&anchor), anchor_(anchor), edit_(edit), list_(new VeFlatList(this)) {
    setObjectName(QStringLiteral("SuggestFlyout"));
    SetBorderColor(kFlyoutBorderColor);
    SetContent(list_);
    list_->AddListener(this);
    const AppSettings& settings = AppSettings::Instance();
    history_.Assign(settings.mru_queries, settings.all_queries);
}

SuggestFlyout::~SuggestFlyout() {
    list_->RemoveListener(this);
    StoreHistory();
}

void SuggestFlyout::OnSearchBoxEvent(const SearchBoxEvent& event) {
    switch (event.code) {
        case SearchBoxEvent::TextChanged:
        case SearchBoxEvent::SuggestRequested:
            ShowSuggestions(event.text);
            break;
        case SearchBoxEvent::Committed:
            if (!event.text.empty()) {
                history_.Record(event.text);
                StoreHistory();
            }
            HideFlyout();
            break;
        default:
            break;
    }
}

void SuggestFlyout::OnFlatListEvent(const FlatListEvent& event) {
    const int index = event.list.SelectedIndex();
    if (event.code != FlatListEvent::SelectionChanged || index < 0) {
        return;
    }
    PutInEdit(event.list.Item(index).text);
    HideFlyout();
}

void SuggestFlyout::PlaceUnderAnchor() {
    const QRect box(anchor_.mapToGlobal(QPoint(0, 0)), anchor_.size());
    setGeometry(box.left(), box.bottom(), box.width(), kPlacedHeight);
}

bool SuggestFlyout::HandleKey(const QKeyEvent& key) {
    if (!isVisible()) {
        if (key.key() == Qt::Key_Delete && edit_.text().isEmpty()) {
            ShowLastItems();
        }
        return false;
    }
    switch (key.key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            list_->MoveHot(key.key() == Qt::Key_Down);
            ResetTimeOutside();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            list_->SetHot(-1);
            ResetTimeOutside();
            return false;
        case Qt::Key_Escape:
            HideFlyout();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            const int hot = list_->HotIndex();
            HideFlyout();
            if (hot < 0) {
                return false;
            }
            PutInEdit(list_->Item(hot).text);
            return true;
        }
        default:
            return false;
    }
}

void SuggestFlyout::ClearHistory() {
    history_.Clear();
    StoreHistory();
    list_->SetItems({});
    HideFlyout();
}

void SuggestFlyout::ShowSuggestions(std::u16string_view text) {
    std::vector<std::u16string> suggestions = history_.Suggest(text);
    if (suggestions.empty()) {
        HideFlyout();
        return;
    }
    list_->SetItems(suggestions);
    if (!isVisible()) {
        PlaceUnderAnchor();
    }
    FitToItems();
    ResetTimeOutside();
    if (!isVisible() && AppSettings::Instance().auto_suggest) {
        ShowFlyout();
    }
}

void SuggestFlyout::ShowLastItems() {
    if (list_->Count() == 0 || !AppSettings::Instance().auto_suggest) {
        return;
    }
    list_->ClearMarks();
    PlaceUnderAnchor();
    FitToItems();
    ShowFlyout();
}

void SuggestFlyout::FitToItems() {
    resize(width(), list_->Count() * VeFlatList::kItemHeight + 2);
}

void SuggestFlyout::PutInEdit(const std::u16string& text) {
    const QString copy = ToQString(text);  // the edit's change may replace the items
    edit_.setText(copy);
    edit_.end(false);
}

void SuggestFlyout::StoreHistory() const {
    AppSettings& settings = AppSettings::Instance();
    settings.mru_queries = history_.Recent();
    settings.all_queries = history_.All();
}

}  // namespace linesift
