#include "shell/main_frame.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
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
#include "document/encoding_choice.h"
#include "platform/code_page.h"
#include "platform/native_path.h"
#include "qt_color.h"
#include "qt_text.h"
#include "settings/app_settings.h"
#include "settings/data_folder.h"
#include "shell/about_dialog.h"
#include "shell/app_theme.h"
#include "shell/command_ids.h"
#include "shell/native_paths.h"
#include "shell/options_dialog.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "tester/regex_tester_dialog.h"
#include "views/palette_colors.h"
#include "views/search_box.h"
#include "views/suggest_popup.h"
#include "views/tool_icons.h"

namespace linesift {
namespace {

// The program's web page, set when the program is built; empty hides the
// commands and the About dialog's link that would open it.
const char kWebPage[] = LINESIFT_WEB_URL;

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
    pane_ = new QueryListPane(document_, central);
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
    ApplyTheme();
    ApplyHighlighters();
    pane_->List().SetLineNumbers(AppSettings::Instance().line_numbers);
    LineListView* list = &pane_->List();
    connect(list, &LineListView::contextMenuRequested, this, &MainFrame::ShowListContextMenu);
    connect(list, &LineListView::statusMessage, status_, &StatusPanes::ShowTimed);
    connect(list, &LineListView::busy, this, &MainFrame::ShowBusy);
    connect(list, &LineListView::fullFileRequested, this,
            [this] { RunCommand(cmd::kShowInFullFile); });
    connect(search_box_, &SearchBox::searchEvent, pane_, &QueryListPane::OnSearchBoxEvent);
    connect(pane_, &QueryListPane::filterStatus, status_, [this](const QString& text) {
        status_->SetIdleText(text);
        status_->SetMessage(text.isEmpty() ? QStringLiteral("Ready") : text);
    });
    connect(pane_, &QueryListPane::queryChecked, this, &MainFrame::ShowQueryError);
    connect(status_, &StatusPanes::encodingClicked, this, &MainFrame::ShowEncodingMenu);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &MainFrame::UpdateCommandUi);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && shown_) {
                    CheckOutsideChange();
                }
            });
    qApp->installEventFilter(this);
    follow_watcher_ = new QFileSystemWatcher(this);
    follow_timer_ = new QTimer(this);
    follow_timer_->setSingleShot(true);
    connect(follow_watcher_, &QFileSystemWatcher::fileChanged, this, &MainFrame::FollowSoon);
    connect(follow_timer_, &QTimer::timeout, this, &MainFrame::FollowStep);
    connect(pane_, &QueryListPane::filterEnded, this, &MainFrame::FollowAfterFilter);
    UpdateCommandUi();
}

MainFrame::~MainFrame() {
    // The children outlive this body: nothing they do while they are torn
    // down may reach the frame any more.
    qApp->removeEventFilter(this);
    // The filter's worker reads the document, which goes before the children.
    pane_->StopFilter();
    CancelLoad();
    ReapLoadThreads(true);
    disconnect(search_box_, nullptr, pane_, nullptr);
    disconnect(pane_, nullptr, this, nullptr);
    QObject::disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
    QObject::disconnect(qApp, nullptr, this, nullptr);
    disconnect(&pane_->List(), nullptr, this, nullptr);
    disconnect(&pane_->List(), nullptr, status_, nullptr);
}

// Commands

QAction* MainFrame::AddAction(const Command& command) {
    auto* action = new QAction(tr(command.text), this);
    const QString prompt = QString::fromUtf8(command.prompt);
    const QString tip = prompt.section(QLatin1Char('\n'), 0, 0);
    action->setStatusTip(tip);
    action->setToolTip(prompt.contains(QLatin1Char('\n')) ? prompt.section(QLatin1Char('\n'), 1)
                                                          : tip);
    const QKeySequence keys(QString::fromLatin1(command.keys));
    if (!keys.isEmpty()) {
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    action->setCheckable(command.checked != nullptr);
    action->setVisible(!command.needs_web_page || kWebPage[0] != '\0');
    const int id = command.id;
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    actions_[id] = action;
    addAction(action);
    return action;
}

void MainFrame::BuildActions() {
    std::map<int, QActionGroup*> radioGroups;
    for (const Command& command : Commands()) {
        QAction* action = AddAction(command);
        if (command.radio_group != 0) {
            QActionGroup*& group = radioGroups[command.radio_group];
            if (group == nullptr) {
                group = new QActionGroup(this);
            }
            group->addAction(action);
        }
    }
}

void MainFrame::BuildMenus() {
    // Menus and submenus by their path ("&File/&Import"), made on first use.
    std::map<QString, QMenu*> menus;
    for (const Command& command : Commands()) {
        const QString path = QString::fromUtf8(command.menu);
        if (path.isEmpty()) {
            continue;
        }
        const QString top = path.section(QLatin1Char('/'), 0, 0);
        QMenu*& topMenu = menus[top];
        if (topMenu == nullptr) {
            topMenu = menuBar()->addMenu(tr(command.menu).section(QLatin1Char('/'), 0, 0));
        }
        QMenu*& menu = menus[path];
        if (menu == nullptr) {
            if (command.separator) {
                topMenu->addSeparator();
            }
            menu = topMenu->addMenu(path.section(QLatin1Char('/'), 1));
        } else if (command.separator) {
            menu->addSeparator();
        }
        if (path == QLatin1String(kEncodingMenu)) {
            encoding_menu_ = menu;
        }
        if (path == QLatin1String(kRecentFilesMenu)) {
            recent_menu_ = menu;  // filled from the settings
        } else {
            menu->addAction(actions_[command.id]);
        }
    }
    actions_[cmd::kEncodingLegacy]->setText(
        tr("&Legacy Code Page (%1)").arg(QString::fromStdString(LegacyCodePageName())));
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &MainFrame::UpdateCommandUi);
    }
    RebuildRecentFilesMenu();
}

void MainFrame::BuildMainBar() {
    tool_bar_ = new QToolBar(main_bar_);
    tool_bar_->setIconSize(QSize(24, 24));
    tool_bar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    QStyle* s = style();
    for (const Command& command : Commands()) {
        if (command.tool_bar) {
            QAction* action = actions_[command.id];
            // Drawn by the program at every device pixel ratio; the style's
            // bitmaps only for a name it has no drawing of.
            QIcon icon = ToolIcon(command.icon);
            action->setIcon(icon.isNull() ? s->standardIcon(command.fallback_icon) : icon);
            tool_bar_->addAction(action);
        }
    }
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
    if (id >= cmd::kRecentFirst && id <= cmd::kRecentLast) {
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
    for (const Command& command : Commands()) {
        if (command.id == id) {
            command.run(*this);
            break;
        }
    }
    UpdateCommandUi();
    return true;
}

void MainFrame::CopySelection() {
    // A copy of many lines goes on in steps and reports itself.
    const LineNo count = pane_->List().CopySelection();
    if (count >= 1) {
        status_->ShowTimed(QStringLiteral("%1 lines copied to clipboard").arg(count), 3000);
    }
}

void MainFrame::ClearRecentFiles() {
    AppSettings::Instance().recent_files.clear();
    AppSettings::Instance().recent_encodings.clear();
    RebuildRecentFilesMenu();
}

void MainFrame::OpenWebPage() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebPage)));
}

void MainFrame::SetQueryMode(int mode) {
    AppSettings::Instance().query_mode = mode;
    ReapplyQuery();
}

void MainFrame::SetFilterMode(int mode) {
    AppSettings::Instance().filter_mode = mode;
    full_file_from_ = -1;
    ReapplyQuery();
}

void MainFrame::ReapplyQuery() {
    std::u16string text = search_box_->Text();
    if (!document_.IsEmpty() && !text.empty()) {
        pane_->ApplyQuery(text);
    }
}

CommandState MainFrame::CurrentCommandState(bool inListMenu) {
    const LineListView& list = pane_->List();
    const bool reopenable = !document_.IsEmpty() && !document_.IsImported() &&
                            !document_.GetPath().empty() && !IsLoading();
    const bool chosen = document_.IsEncodingChosen();
    std::string legacy;
    if (chosen && document_.Encoding() == Ansi) {
        EncodingChoice choice;
        std::string error;
        ParseEncodingName(LegacyCodePageName(), choice, error);
        legacy = choice.code_page;
    }
    return CommandState{.settings = AppSettings::Instance(),
                        .has_lines = !document_.IsEmpty(),
                        .shown_rows = list.ShownRowCount() > 0,
                        .modified = document_.IsModified(),
                        .clipboard = ClipboardText::Instance().IsTextAvailable(),
                        .selection = list.HasSelection(),
                        .filter_results = list.IsFiltered() && list.FilteredLineCount() >= 1,
                        .query_history = search_box_->Popup().HasHistory(),
                        .in_list_menu = inListMenu,
                        .followable = IsFollowable(),
                        .reopenable = reopenable,
                        .encoding = chosen ? document_.Encoding() : Detect,
                        .other_code_page = chosen && document_.Encoding() == Ansi &&
                                           document_.CodePage() != legacy};
}

void MainFrame::UpdateCommandUi() {
    if (IsWriting()) {
        return;  // the document is being written on another thread
    }
    const CommandState state = CurrentCommandState(false);
    for (const Command& command : Commands()) {
        QAction* action = actions_[command.id];
        const bool enabled = command.enabled == nullptr || command.enabled(state);
        if (action->isEnabled() != enabled) {
            action->setEnabled(enabled);
        }
        if (command.checked != nullptr && action->isChecked() != command.checked(state)) {
            action->setChecked(command.checked(state));
        }
    }
    UpdateTitle();
    UpdateFollowing();
    const LineListView& list = pane_->List();
    status_->SetCounts(state.has_lines, static_cast<int64_t>(document_.LineCount()),
                       list.FilteredLineCount(), list.SelectedLineCount());
    status_->SetEncoding(
        QString::fromStdString(EncodingLabel(document_.Encoding(), document_.CodePage())));
}

void MainFrame::FillListContextMenu(QMenu& menu) {
    const CommandState state = CurrentCommandState(true);
    for (const Command& command : Commands()) {
        if (!command.list_menu) {
            continue;
        }
        if (command.list_menu_separator) {
            menu.addSeparator();
        }
        const QAction* main = actions_[command.id];
        QAction* item = menu.addAction(main->text() + QLatin1Char('\t') +
                                       main->shortcut().toString(QKeySequence::NativeText));
        item->setEnabled(command.enabled == nullptr || command.enabled(state));
        item->setData(command.id);
    }
}

void MainFrame::SetTheme(int theme) {
    AppSettings::Instance().theme = std::clamp(theme, 0, 2);
    ApplyTheme();
}

void MainFrame::ApplyTheme() {
    AppTheme::Instance().Apply(AppSettings::Instance().theme);
    ApplyHighlightColor();
}

void MainFrame::ApplyHighlightColor() {
    pane_->List().SetHighlightColor(
        HighlightFor(ToRgb(AppSettings::Instance().hilite_color), QApplication::palette()));
}

void MainFrame::ShowEncodingMenu(QPoint globalPos) {
    UpdateCommandUi();
    encoding_menu_->exec(globalPos - QPoint(0, encoding_menu_->sizeHint().height()));
}

void MainFrame::ShowListContextMenu(QPoint globalPos) {
    QMenu menu(this);
    FillListContextMenu(menu);
    if (QAction* chosen = menu.exec(globalPos)) {
        RunCommand(chosen->data().toInt());
    }
}

QString MainFrame::DecodedNote() const {
    if (document_.IsEmpty() || source_compression_ == Compression::None) {
        return QString();
    }
    const QString format = QString::fromLatin1(CompressionName(source_compression_));
    return source_incomplete_ ? QStringLiteral(" (%1, decompressed in part)").arg(format)
                              : QStringLiteral(" (%1, decompressed)").arg(format);
}

void MainFrame::UpdateTitle() {
    // Built in one pass, so a name holding "%1" shows as it is.
    QString title = QStringLiteral("Linesift - [") + DisplayPath(document_.GetTitle()) +
                    DecodedNote() + (document_.IsModified() ? QStringLiteral(" *") : QString()) +
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
        QString path = DisplayPath(settings.recent_files[i]);
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

// Status

void MainFrame::ShowBusy(const QString& text) {
    if (!text.isEmpty()) {
        // A step reporting its progress keeps the message from before the first.
        if (!busy_shown_) {
            status_before_busy_ = status_->MessageText();
        }
        busy_shown_ = true;
        status_->ShowNow(text);
    } else if (busy_shown_) {
        busy_shown_ = false;
        status_->ShowNow(status_before_busy_);
    }
}

// Window

void MainFrame::ShowFirstTime() {
    RestorePlacement();
    UpdateCommandUi();
    show();
    shown_ = true;
    search_box_->Activate(false);
    if (PathExists(pending_open_path_)) {
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

void MainFrame::CloseWithoutQuestions() {
    force_close_ = true;
    close();
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (CancelLoad() || IsWriting()) {
        // The window closes once the load or write has returned.
        close_after_work_ = true;
        event->ignore();
        return;
    }
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
    OpenFile(PathFromUrl(urls.front()), true);
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
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        (watched == &search_box_->Edit() || watched == &pane_->List()) &&
        (CancelLoad() || CancelWrite() || pane_->CancelFilter() || pane_->List().StopCopy() ||
         CancelReformatting())) {
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

bool MainFrame::CancelReformatting() {
    if (!pane_->List().IsReformatting()) {
        return false;
    }
    RunCommand(cmd::kWordWrap);
    status_->ShowTimed(QStringLiteral("Reformatting cancelled: word wrap is off"), 5000);
    return true;
}

void MainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && pane_ != nullptr) {
        ApplyHighlightColor();  // the desktop's palette may have turned dark or light
    }
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

void MainFrame::ShowQueryError(const QString& error) {
    const bool wasInvalid = !query_error_.isEmpty();
    query_error_ = error;
    search_box_->SetInvalid(!error.isEmpty());
    if (!error.isEmpty()) {
        status_->SetMessage(error);
    } else if (wasInvalid) {
        status_->SetMessage(QStringLiteral("Ready"));
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
    ApplyTheme();
    if (!s.save_file_history) {
        s.recent_files.clear();
    }
    RebuildRecentFilesMenu();
}

void MainFrame::ShowAbout() {
    AboutDialog dialog(QString::fromLatin1(kWebPage), QApplication::activeWindow());
    dialog.exec();
}

void MainFrame::OpenHelp(const QString& anchor) {
    const std::u16string help = GetHelpFilePath();
    if (help.empty()) {
        QString text = QStringLiteral("The user manual was not found. It was looked for at:");
        for (const std::u16string& place : GetHelpFileCandidates()) {
            text += QStringLiteral("\n") + DisplayPath(place);
        }
        dialogs_->ShowMessage(this, text, QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    const std::string native = ToNativePath(help);
    QUrl url = QUrl::fromEncoded(
        QByteArrayLiteral("file://") +
        QByteArray::fromStdString(native).toPercentEncoding(QByteArrayLiteral("/")));
    if (!anchor.isEmpty()) {
        url.setFragment(anchor);
    }
    if (!QDesktopServices::openUrl(url)) {
        dialogs_->ShowMessage(
            this,
            QStringLiteral("No program could show the user manual:\n%1").arg(DisplayPath(help)),
            QMessageBox::Ok, QMessageBox::Warning);
    }
}

}  // namespace linesift
