#include "shell/main_frame.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "document/clipboard_text.h"
#include "qt_text.h"
#include "settings/app_settings.h"
#include "settings/data_folder.h"
#include "shell/about_dialog.h"
#include "shell/command_ids.h"
#include "shell/options_dialog.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "tester/regex_tester_dialog.h"
#include "views/search_box.h"
#include "views/suggest_popup.h"

namespace linesift {
namespace {

const char kWebPage[] = "https://quellora.example/linesift/";

}  // namespace

MainFrame::MainFrame(std::unique_ptr<FrameDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtFrameDialogs>()) {
    setObjectName(QStringLiteral("MainFrame"));
    AppSettings::Instance().LoadSettings();
    resize(650, 550);
    status_ = new StatusPanes(this);
    setStatusBar(status_);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    main_bar_ = new QWidget(central);
    main_bar_->setObjectName(QStringLiteral("MainBar"));
    main_bar_->setFixedHeight(37);
    main_bar_->installEventFilter(this);
    pane_ = new QueryListPane(document_, this, central);
    layout->addWidget(main_bar_);
    layout->addWidget(pane_, 1);
    setCentralWidget(central);
    // Files dropped anywhere on the list or the bars reach the central widget.
    central->setAcceptDrops(true);
    central->installEventFilter(this);
    BuildActions();
    BuildMenus();
    BuildMainBar();
    pane_->List().SetWordWrap(AppSettings::Instance().word_wrap, false, false);
    const Color32 c = AppSettings::Instance().hilite_color;
    pane_->List().SetHighlightColor(uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue);
    connect(&pane_->List(), &LineListView::commandRequested, this,
            [this](int id) { RunCommand(id); });
    search_box_->AddListener(pane_);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &MainFrame::UpdateCommandUi);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && shown_) {
                    CheckOutsideChange();
                }
            });
    qApp->installEventFilter(this);
    UpdateCommandUi();
}

MainFrame::~MainFrame() {
    // The children outlive this body: nothing they do while they are torn
    // down may reach the frame any more.
    qApp->removeEventFilter(this);
    search_box_->RemoveListener(pane_);
    QObject::disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
    QObject::disconnect(qApp, nullptr, this, nullptr);
    disconnect(&pane_->List(), nullptr, this, nullptr);
}

// Commands

QAction* MainFrame::AddAction(int id, const QString& text, const QString& prompt,
                              QKeySequence keys) {
    auto* action = new QAction(text, this);
    QString tip = prompt.section(QLatin1Char('\n'), 0, 0);
    action->setStatusTip(tip);
    action->setToolTip(prompt.contains(QLatin1Char('\n')) ? prompt.section(QLatin1Char('\n'), 1)
                                                          : tip);
    if (!keys.isEmpty()) {
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    actions_[id] = action;
    addAction(action);
    return action;
}

void MainFrame::BuildActions() {
    using namespace cmd;
    AddAction(kNew, tr("&New"), QStringLiteral("Create a new document\nNew"),
              QKeySequence(QStringLiteral("Ctrl+N")));
    AddAction(kOpen, tr("&Open..."), QStringLiteral("Open an existing document\nOpen"),
              QKeySequence(QStringLiteral("Ctrl+O")));
    AddAction(kSave, tr("&Save"),
              QStringLiteral("Save the active document with current name\nSave"),
              QKeySequence(QStringLiteral("Ctrl+S")));
    AddAction(kSaveAs, tr("Save &As..."),
              QStringLiteral("Save the active document with a new name\nSave As"));
    AddAction(kImportClipboard, tr("&Clipboard"),
              QStringLiteral("Import text from clipboard\nImport Clipboard Text"));
    AddAction(kExportFilterResults, tr("&Filter Results..."),
              QStringLiteral("Export filter results to a specified file\nExport Filter Results"));
    AddAction(kExportSelectedLines, tr("&Selected Lines..."),
              QStringLiteral("Export selected lines to a specified file\nExport Selected Lines"));
    AddAction(kClearRecent, tr("Clear Recent"),
              QStringLiteral("Clear all items in the recent files list\nClear Recent"));
    AddAction(kExit, tr("E&xit"), QStringLiteral("Exit the application\nExit"));
    AddAction(kCopy, tr("&Copy"),
              QStringLiteral("Copy the selection and put it on the Clipboard\nCopy"),
              QKeySequence(QStringLiteral("Ctrl+C")));
    AddAction(kPaste, tr("&Paste"), QStringLiteral("Insert Clipboard contents\nPaste"),
              QKeySequence(QStringLiteral("Ctrl+V")));
    AddAction(kSelectAll, tr("Select &All"),
              QStringLiteral("Select all lines in the view\nSelect All"),
              QKeySequence(QStringLiteral("Ctrl+A")));
    AddAction(kSelectInverse, tr("Select &Inverse"),
              QStringLiteral("Invert current selection\nSelect Inverse"),
              QKeySequence(QStringLiteral("Ctrl+I")));
    AddAction(kDeselect, tr("&Deselect"), QStringLiteral("Deselect current selection\nDeselect"),
              QKeySequence(QStringLiteral("Ctrl+D")));
    AddAction(kFind, tr("&Find..."), QStringLiteral("Find the specified text\nFind"),
              QKeySequence(QStringLiteral("Ctrl+F")));
    AddAction(kAutoSuggest, tr("&Auto Suggest"),
              QStringLiteral("Toggle auto-suggest search feature\nAuto Suggest"));
    AddAction(kClearHistory, tr("Clear &History"),
              QStringLiteral("Clear search history\nClear History"));
    AddAction(kNaiveQuery, tr("Nai&ve Query"), QString());
    AddAction(kSmartQuery, tr("S&mart Query"), QString());
    AddAction(kRegexQuery, tr("&Regex Query"), QString());
    AddAction(kMatchCase, tr("Match &Case"), QString());
    AddAction(kMatchWholeWord, tr("Match &Whole Word Only"), QString());
    AddAction(kSearchAsYouType, tr("&Search As You Type"),
              QStringLiteral("Search document as you type your query\nSearch As You Type"));
    AddAction(kToolbar, tr("&Toolbar"), QStringLiteral("Show or hide the toolbar\nToggle Toolbar"));
    AddAction(kStatusBar, tr("&Status Bar"),
              QStringLiteral("Show or hide the status bar\nToggle Status Bar"));
    AddAction(kWordWrap, tr("&Word Wrap"),
              QStringLiteral("Toggle word-wrap for the active document\nWord Wrap"));
    AddAction(kHideUnmatched, tr("Hide &Unmatched Lines"),
              QStringLiteral("Hide unmatched lines of the active document\nHide Unmatched Lines"));
    AddAction(kHideMatched, tr("Hide &Matched Lines"),
              QStringLiteral("Hide matched lines of the active document\nHide Matched Lines"));
    AddAction(kShowAll, tr("Show &All Lines"),
              QStringLiteral("Show all lines of the active document\nShow All Lines"));
    AddAction(kRegexTester, tr("&Regex Tester"),
              QStringLiteral("Launch Regex Tester\nRegex Tester"), QKeySequence(Qt::Key_F4));
    AddAction(kOptions, tr("&Options..."),
              QStringLiteral("Set options for the application\nOptions"));
    AddAction(kHelpContents, tr("&Contents..."),
              QStringLiteral("Display topics of the online documentation\nContents"),
              QKeySequence(Qt::Key_F1));
    AddAction(kHelpSearch, tr("&Search..."),
              QStringLiteral("Search the online documentation\nSearch"));
    AddAction(kWebsite, tr("Linesift &Website"),
              QStringLiteral("Visit Linesift website\nLinesift Website"));
    AddAction(kCheckForUpdates, tr("Check for &Updates"),
              QStringLiteral("Check for newer version of this program\nCheck for Updates"));
    AddAction(kFeedback, tr("&Feedback and Support"),
              QStringLiteral(
                  "Display information on feedback and technical support\nFeedback and Support"));
    AddAction(kAbout, tr("&About Linesift"),
              QStringLiteral("Display program information, version number and copyright\nAbout"));
    for (int id : {kAutoSuggest, kMatchCase, kMatchWholeWord, kSearchAsYouType, kToolbar,
                   kStatusBar, kWordWrap}) {
        actions_[id]->setCheckable(true);
    }
    for (auto group : {std::initializer_list<int>{kNaiveQuery, kSmartQuery, kRegexQuery},
                       std::initializer_list<int>{kHideUnmatched, kHideMatched, kShowAll}}) {
        auto* radio = new QActionGroup(this);
        for (int id : group) {
            actions_[id]->setCheckable(true);
            radio->addAction(actions_[id]);
        }
    }
}

void MainFrame::BuildMenus() {
    using namespace cmd;
    QMenuBar* bar = menuBar();
    auto add = [this](QMenu* menu, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(actions_[id]);
            }
        }
    };
    QMenu* file = bar->addMenu(tr("&File"));
    add(file, {kNew, kOpen, 0, kSave, kSaveAs, 0});
    file->addMenu(tr("&Import"))->addAction(actions_[kImportClipboard]);
    QMenu* exportMenu = file->addMenu(tr("&Export"));
    add(exportMenu, {kExportFilterResults, kExportSelectedLines});
    file->addSeparator();
    recent_menu_ = file->addMenu(tr("&Recent Files"));
    add(file, {0, kExit});
    add(bar->addMenu(tr("&Edit")), {kCopy, kPaste, 0, kSelectAll, kSelectInverse, 0, kDeselect});
    add(bar->addMenu(tr("&Search")),
        {kFind, 0, kAutoSuggest, kClearHistory, 0, kNaiveQuery, kSmartQuery, kRegexQuery, 0,
         kMatchCase, kMatchWholeWord, 0, kSearchAsYouType});
    add(bar->addMenu(tr("&View")),
        {kToolbar, kStatusBar, 0, kWordWrap, 0, kHideUnmatched, kHideMatched, kShowAll});
    add(bar->addMenu(tr("&Tools")), {kRegexTester, 0, kOptions});
    add(bar->addMenu(tr("&Help")),
        {kHelpContents, kHelpSearch, 0, kWebsite, kCheckForUpdates, kFeedback, 0, kAbout});
    for (QMenu* menu : bar->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &MainFrame::UpdateCommandUi);
    }
    RebuildRecentFilesMenu();
}

void MainFrame::BuildMainBar() {
    tool_bar_ = new QToolBar(main_bar_);
    tool_bar_->setIconSize(QSize(24, 24));
    tool_bar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    QStyle* s = style();
    actions_[cmd::kNew]->setIcon(
        QIcon::fromTheme(QStringLiteral("document-new"), s->standardIcon(QStyle::SP_FileIcon)));
    actions_[cmd::kOpen]->setIcon(QIcon::fromTheme(QStringLiteral("document-open"),
                                                   s->standardIcon(QStyle::SP_DialogOpenButton)));
    actions_[cmd::kSave]->setIcon(QIcon::fromTheme(QStringLiteral("document-save"),
                                                   s->standardIcon(QStyle::SP_DialogSaveButton)));
    tool_bar_->addAction(actions_[cmd::kNew]);
    tool_bar_->addAction(actions_[cmd::kOpen]);
    tool_bar_->addAction(actions_[cmd::kSave]);
    if (auto* open = qobject_cast<QToolButton*>(tool_bar_->widgetForAction(actions_[cmd::kOpen]))) {
        open->setMenu(recent_menu_);
        open->setPopupMode(QToolButton::MenuButtonPopup);
    }
    search_box_ = new SearchBox(main_bar_);
    LayoutMainBar();
}

void MainFrame::LayoutMainBar() {
    const AppSettings& settings = AppSettings::Instance();
    tool_bar_->setVisible(settings.show_toolbar);
    QSize hint = tool_bar_->sizeHint();
    int barHeight = main_bar_->height();
    int left = 8;
    if (settings.show_toolbar) {
        tool_bar_->setGeometry(3, (barHeight - hint.height()) / 2 + 1, hint.width(), hint.height());
        left = 3 + hint.width() + 3;
    }
    int width = std::max(main_bar_->width() - 8 - left, 120);
    search_box_->setGeometry(left, (barHeight - SearchBox::kHeight) / 2 + 1, width,
                             SearchBox::kHeight);
}

QAction* MainFrame::Action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

bool MainFrame::RunCommand(int id) {
    using namespace cmd;
    AppSettings& settings = AppSettings::Instance();
    if (id >= kRecentFirst && id <= kRecentLast) {
        OpenRecent(id);
        return true;
    }
    QAction* action = Action(id);
    if (action == nullptr) {
        return false;
    }
    UpdateCommandUi();
    if (!action->isEnabled()) {
        return false;
    }
    LineListView& list = pane_->List();
    switch (id) {
        case kNew:
            NewDocument();
            break;
        case kOpen:
            OpenCommand();
            break;
        case kSave:
            SaveCommand();
            break;
        case kSaveAs:
            SaveAsCommand();
            break;
        case kImportClipboard:
            ImportClipboard(true);
            break;
        case kPaste:
            ImportClipboard(false);
            break;
        case kExportFilterResults:
            Export(false);
            break;
        case kExportSelectedLines:
            Export(true);
            break;
        case kClearRecent:
            settings.recent_files.clear();
            RebuildRecentFilesMenu();
            break;
        case kExit:
            close();
            break;
        case kCopy: {
            int64_t count = list.CopySelection();
            if (count >= 1) {
                status_->ShowTimed(QStringLiteral("%1 lines copied to clipboard").arg(count), 3000);
            }
            break;
        }
        case kSelectAll:
            list.SelectAll();
            break;
        case kSelectInverse:
            list.SelectInverse();
            break;
        case kDeselect:
            list.Deselect();
            break;
        case kFind:
            search_box_->Activate(true);
            break;
        case kAutoSuggest:
            settings.auto_suggest = !settings.auto_suggest;
            break;
        case kClearHistory:
            search_box_->Popup().ClearHistory();
            break;
        case kNaiveQuery:
            SetQueryMode(0);
            break;
        case kSmartQuery:
            SetQueryMode(1);
            break;
        case kRegexQuery:
            SetQueryMode(2);
            break;
        case kMatchCase:
            settings.match_case = !settings.match_case;
            ReapplyQuery();
            break;
        case kMatchWholeWord:
            settings.match_whole_word_only = !settings.match_whole_word_only;
            ReapplyQuery();
            break;
        case kSearchAsYouType:
            settings.search_as_you_type = !settings.search_as_you_type;
            break;
        case kToolbar:
            settings.show_toolbar = !settings.show_toolbar;
            LayoutMainBar();
            break;
        case kStatusBar:
            settings.show_statusbar = !settings.show_statusbar;
            status_->setVisible(settings.show_statusbar);
            break;
        case kWordWrap:
            settings.word_wrap = !settings.word_wrap;
            list.SetWordWrap(settings.word_wrap, true, false);
            ReapplyQuery();
            break;
        case kHideUnmatched:
            settings.filter_mode = 0;
            break;
        case kHideMatched:
            settings.filter_mode = 1;
            break;
        case kShowAll:
            settings.filter_mode = 2;
            break;
        case kRegexTester:
            RegexTesterDialog::Open();
            break;
        case kOptions:
            ShowOptions();
            break;
        case kHelpContents:
        case kHelpSearch:
        case kFeedback:
            OpenHelp();
            break;
        case kWebsite:
        case kCheckForUpdates:
            QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebPage)));
            break;
        case kAbout:
            ShowAbout();
            break;
        default:
            return false;
    }
    UpdateCommandUi();
    return true;
}

void MainFrame::SetQueryMode(int mode) {
    AppSettings::Instance().query_mode = mode;
    ReapplyQuery();
}

void MainFrame::ReapplyQuery() {
    std::u16string text = search_box_->Text();
    if (!document_.IsEmpty() && !text.empty()) {
        pane_->ApplyQuery(text);
    }
}

void MainFrame::UpdateCommandUi() {
    using namespace cmd;
    const AppSettings& s = AppSettings::Instance();
    LineListView& list = pane_->List();
    bool hasLines = !document_.IsEmpty();
    bool clipboard = ClipboardText::Instance().IsTextAvailable();
    bool selection = list.HasSelection();
    auto state = [this](int id, bool enabled, int checked = -1) {
        QAction* a = actions_[id];
        if (a->isEnabled() != enabled) {
            a->setEnabled(enabled);
        }
        if (checked >= 0 && a->isChecked() != (checked == 1)) {
            a->setChecked(checked == 1);
        }
    };
    state(kSave, document_.IsModified());
    state(kImportClipboard, clipboard);
    state(kPaste, clipboard);
    state(kExportFilterResults, list.IsFiltered() && list.FilteredLineCount() >= 1);
    state(kExportSelectedLines, selection);
    state(kCopy, selection);
    state(kDeselect, selection);
    state(kSelectAll, hasLines);
    state(kSelectInverse, hasLines);
    state(kAutoSuggest, true, s.auto_suggest);
    state(kClearHistory, search_box_->Popup().HasHistory());
    state(kNaiveQuery, true, s.query_mode == 0);
    state(kSmartQuery, true, s.query_mode == 1);
    state(kRegexQuery, true, s.query_mode == 2);
    state(kMatchCase, true, s.match_case);
    state(kMatchWholeWord, s.query_mode == 0, s.match_whole_word_only && s.query_mode == 0);
    state(kSearchAsYouType, true, s.search_as_you_type);
    state(kToolbar, true, s.show_toolbar);
    state(kStatusBar, true, s.show_statusbar);
    state(kWordWrap, true, s.word_wrap);
    state(kHideUnmatched, true, s.filter_mode == 0);
    state(kHideMatched, true, s.filter_mode == 1);
    state(kShowAll, true, s.filter_mode == 2);
    UpdateTitle();
    status_->SetCounts(hasLines, static_cast<int64_t>(document_.LineCount()),
                       list.FilteredLineCount(), list.SelectedLineCount());
}

void MainFrame::UpdateTitle() {
    // Built in one pass, so a name holding "%1" shows as it is.
    QString title = QStringLiteral("Linesift - [") + ToQString(document_.GetTitle()) +
                    (document_.IsModified() ? QStringLiteral(" *") : QString()) +
                    QStringLiteral("]");
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
}

// Recent files

void MainFrame::RebuildRecentFilesMenu() {
    AppSettings& settings = AppSettings::Instance();
    recent_menu_->clear();
    if (settings.recent_files.empty()) {
        recent_menu_->addAction(tr("(Empty)"))->setEnabled(false);
        return;
    }
    while (settings.recent_files.size() >
           static_cast<size_t>(std::max(settings.max_recent_files, 0))) {
        settings.recent_files.pop_back();
    }
    for (size_t i = 0; i < settings.recent_files.size() && i < 16; ++i) {
        QString path = ToQString(settings.recent_files[i]);
        path.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = recent_menu_->addAction(QStringLiteral("&%1  %2").arg(i + 1).arg(path));
        int id = cmd::kRecentFirst + static_cast<int>(i);
        connect(item, &QAction::triggered, this, [this, id] { OpenRecent(id); });
    }
    recent_menu_->addSeparator();
    recent_menu_->addAction(actions_[cmd::kClearRecent]);
}

void MainFrame::AddRecentFile(const std::u16string& path) {
    AppSettings& settings = AppSettings::Instance();
    if (path.empty()) {
        return;
    }
    auto& list = settings.recent_files;
    list.erase(std::remove(list.begin(), list.end(), path), list.end());
    if (static_cast<int32_t>(list.size()) >= settings.max_recent_files && !list.empty()) {
        list.pop_back();
    }
    list.push_front(path);
    RebuildRecentFilesMenu();
}

// TextListHost

std::u16string MainFrame::StatusText() const {
    return ToU16(status_->MessageText());
}

void MainFrame::ShowStatusNow(const std::u16string& text) {
    status_->ShowNow(ToQString(text));
}

void MainFrame::ShowStatusFor(const std::u16string& text, int ms) {
    status_->ShowTimed(ToQString(text), ms);
}

// Window

void MainFrame::ShowFirstTime() {
    RestorePlacement();
    UpdateCommandUi();
    show();
    shown_ = true;
    search_box_->Activate(false);
    if (!pending_open_path_.empty() && QFileInfo::exists(ToQString(pending_open_path_))) {
        OpenFile(pending_open_path_, true);
    }
}

void MainFrame::RestorePlacement() {
    const AppSettings& s = AppSettings::Instance();
    if (placement_restored_) {
        return;
    }
    placement_restored_ = true;
    if (s.debut) {
        return;
    }
    QRect r(QPoint(s.frame_rect.left, s.frame_rect.top),
            QPoint(s.frame_rect.right - 1, s.frame_rect.bottom - 1));
    if (r.isEmpty()) {
        r = QRect(QPoint(100, 100), QPoint(749, 649));
    }
    // A rectangle that lies on no screen would put the window out of reach.
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens()) {
        onScreen |= screen->availableGeometry().intersects(r);
    }
    if (onScreen) {
        setGeometry(r);
    }
    if (s.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    status_->setVisible(s.show_statusbar);
    LayoutMainBar();
}

void MainFrame::RecordPlacement() {
    AppSettings& s = AppSettings::Instance();
    QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    s.frame_rect =
        Rect32{.left = r.left(), .top = r.top(), .right = r.right() + 1, .bottom = r.bottom() + 1};
    s.maximized = isMaximized();
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!force_close_ && !PromptSaveChanges()) {
        event->ignore();
        return;
    }
    RecordPlacement();
    // The tester's histories reach the settings before they are saved.
    RegexTesterDialog::CloseInstance();
    event->accept();
}

void MainFrame::DragEnter(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void MainFrame::Drop(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) {
        return;
    }
    event->acceptProposedAction();
    raise();
    activateWindow();
    OpenFile(ToU16(urls.front().toLocalFile()), true);
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == main_bar_ && event->type() == QEvent::Resize) {
        LayoutMainBar();
    }
    if (watched == centralWidget() && event->type() == QEvent::DragEnter) {
        DragEnter(static_cast<QDragEnterEvent*>(event));
        return true;
    }
    if (watched == centralWidget() && event->type() == QEvent::Drop) {
        Drop(static_cast<QDropEvent*>(event));
        return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        LineListView* list = &pane_->List();
        if (focus == &search_box_->Edit()) {
            list->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (focus == list) {
            search_box_->Activate(false);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && shown_) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr || focus == this) {
            if (pane_->List().HadFocus()) {
                pane_->List().setFocus(Qt::ActiveWindowFocusReason);
            } else {
                search_box_->Activate(false);
            }
        }
    }
}

void MainFrame::ShowError(const QString& text) {
    dialogs_->ShowMessage(this, text, QMessageBox::Ok, QMessageBox::Critical);
}

// Dialogs

void MainFrame::ShowOptions() {
    AppSettings& s = AppSettings::Instance();
    OptionValues values{.max_recent_files = s.max_recent_files,
                        .save_file_history = s.save_file_history,
                        .save_query_history = s.save_query_history,
                        .save_tester_history = s.save_tester_history,
                        .hilite_color = s.hilite_color};
    OptionsDialog dialog(values, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    values = dialog.Values();
    s.max_recent_files = values.max_recent_files;
    s.save_file_history = values.save_file_history;
    s.save_query_history = values.save_query_history;
    s.save_tester_history = values.save_tester_history;
    s.hilite_color = values.hilite_color;
    pane_->List().SetHighlightColor(uint32_t{s.hilite_color.red} << 16 |
                                    uint32_t{s.hilite_color.green} << 8 | s.hilite_color.blue);
    if (!s.save_file_history) {
        s.recent_files.clear();
    }
    RebuildRecentFilesMenu();
}

void MainFrame::ShowAbout() {
    AboutDialog dialog(QString::fromLatin1(kWebPage), QApplication::activeWindow());
    dialog.exec();
}

void MainFrame::OpenHelp() {
    QString help = ToQString(GetHelpFilePath());
    if (QFileInfo::exists(help)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(help));
    }
}

}  // namespace linesift
