#include "tester/regex_tester_dialog.h"

#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <array>

#include "qt_text.h"
#include "settings/app_settings.h"
#include "tester/results_pane.h"
#include "views/palette_colors.h"

// The pages live in the resources of a static library, which register only
// when asked to.
static void InitTesterResources() {
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(tester);
        done = true;
    }
}

namespace linesift {
namespace {

QPointer<RegexTesterDialog>& OpenTester() {
    static QPointer<RegexTesterDialog> tester;
    return tester;
}

std::optional<std::u16string> LoadPage(const char* name) {
    InitTesterResources();
    QFile file(QStringLiteral(":/tester/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return ToU16(QString::fromUtf8(file.readAll()));
}

// Dialog units in pixels: a quarter of the font's average letter width
// across, an eighth of its height down.
QSize DialogUnits(const QFontMetrics& metrics, int x, int y) {
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int average = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    return QSize((x * average + 2) / 4, (y * metrics.height() + 4) / 8);
}

template <typename Widget>
Widget* WithId(Widget* widget, int id) {
    widget->setProperty("controlId", id);
    return widget;
}

QComboBox* NewHistoryBox(QWidget* parent, int id) {
    auto* box = WithId(new QComboBox(parent), id);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Completion would change the letter case of what is typed.
    box->setCompleter(nullptr);
    // Long entries must not widen the window.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(8);
    return box;
}

std::vector<std::u16string> ComboEntries(const QComboBox& box) {
    std::vector<std::u16string> entries;
    for (int i = 0; i < box.count(); ++i) {
        if (!box.itemText(i).isEmpty()) {
            entries.push_back(ToU16(box.itemText(i)));
        }
    }
    return entries;
}

bool IsOnAnyScreen(const QRect& rect) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(rect)) {
            return true;
        }
    }
    return false;
}

}  // namespace

RegexTesterDialog* RegexTesterDialog::Open() {
    QPointer<RegexTesterDialog>& tester = OpenTester();
    if (tester == nullptr) {
        tester = new RegexTesterDialog();
        tester->show();
        return tester;
    }
    tester->setWindowState(tester->windowState() & ~Qt::WindowMinimized);
    tester->show();
    tester->raise();
    tester->activateWindow();
    return tester;
}

RegexTesterDialog* RegexTesterDialog::Instance() {
    return OpenTester();
}

void RegexTesterDialog::CloseInstance() {
    if (OpenTester() != nullptr) {
        OpenTester()->reject();
    }
}

TesterSession& RegexTesterDialog::Session() {
    static TesterSession session;
    return session;
}

RegexTesterDialog::RegexTesterDialog() : QDialog(nullptr) {
    setObjectName(QStringLiteral("RegexTesterDialog"));
    setWindowTitle(tr("Regex Tester"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setSizeGripEnabled(true);
    BuildControls();
    ConnectControls();
    LoadState();
    PlaceWindow();
    initialized_ = true;
}

QWidget* RegexTesterDialog::Control(int id) const {
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->property("controlId") == id) {
            return child;
        }
    }
    return nullptr;
}

void RegexTesterDialog::BuildControls() {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Text:"), this), 0, 0);
    text_ = NewHistoryBox(this, kTesterTextBox);
    grid->addWidget(text_, 0, 1);
    grid->addWidget(new QLabel(tr("Regex:"), this), 1, 0);
    pattern_ = NewHistoryBox(this, kTesterPatternBox);
    grid->addWidget(pattern_, 1, 1);
    grid->addLayout(BuildCheckBoxes(), 2, 0, 1, 2);
    results_ = WithId(new ResultsPane(this), kTesterResults);
    grid->addWidget(results_, 3, 0, 1, 2);
    grid->addLayout(BuildButtons(), 4, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    SetTabOrder();
}

QLayout* RegexTesterDialog::BuildCheckBoxes() {
    auto* row = new QHBoxLayout();
    case_ = WithId(new QCheckBox(tr("Case sensitive"), this), kTesterCaseBox);
    whole_word_ = WithId(new QCheckBox(tr("Whole word only"), this), kTesterWholeWordBox);
    exact_ = WithId(new QCheckBox(tr("Exact match"), this), kTesterExactBox);
    regex_ = WithId(new QCheckBox(tr("Regular expression"), this), kTesterRegexBox);
    for (QCheckBox* box : {case_, whole_word_, exact_, regex_}) {
        row->addWidget(box);
    }
    row->addStretch(1);
    return row;
}

QLayout* RegexTesterDialog::BuildButtons() {
    auto* row = new QHBoxLayout();
    test_ = WithId(new QPushButton(tr("Test"), this), kTesterTestButton);
    test_->setDefault(true);
    reset_ = WithId(new QPushButton(tr("Reset"), this), kTesterResetButton);
    close_ = WithId(new QPushButton(tr("Close"), this), kTesterCloseButton);
    row->addWidget(test_);
    row->addStretch(1);
    row->addWidget(reset_);
    row->addWidget(close_);
    // Room for the size grip in the corner.
    row->addSpacing(style()->pixelMetric(QStyle::PM_ScrollBarExtent) / 2);
    return row;
}

void RegexTesterDialog::SetTabOrder() {
    const std::array<QWidget*, 10> order = {text_,  pattern_, case_, whole_word_, exact_,
                                            regex_, results_, test_, reset_,      close_};
    for (size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void RegexTesterDialog::ConnectControls() {
    for (QComboBox* box : {text_, pattern_}) {
        connect(box, &QComboBox::editTextChanged, this, &RegexTesterDialog::InputChanged);
        connect(box, &QComboBox::activated, this, &RegexTesterDialog::InputChanged);
    }
    for (QCheckBox* box : {case_, whole_word_, exact_, regex_}) {
        connect(box, &QCheckBox::clicked, this, &RegexTesterDialog::InputChanged);
    }
    connect(test_, &QPushButton::clicked, this, &RegexTesterDialog::RunTest);
    connect(reset_, &QPushButton::clicked, this, &RegexTesterDialog::Reset);
    connect(close_, &QPushButton::clicked, this, &RegexTesterDialog::reject);
}

void RegexTesterDialog::LoadState() {
    ++loading_;
    ShowOptions(Session().options);
    const AppSettings& settings = AppSettings::Instance();
    if (settings.save_tester_history) {
        SetHistory(*text_, RepairTesterHistory(settings.tester_text_mru));
        SetHistory(*pattern_, RepairTesterHistory(settings.tester_regex_mru));
    }
    UpdateTesterState(false);
    --loading_;
}

QSize RegexTesterDialog::InitialSize() const {
    return DialogUnits(fontMetrics(), 320, 210).expandedTo(minimumSizeHint());
}

void RegexTesterDialog::PlaceWindow() {
    const QSize initial = InitialSize();
    setMinimumSize(initial);
    const std::optional<QRect>& last = Session().rect;
    if (last && IsOnAnyScreen(*last)) {
        setGeometry(*last);
        return;
    }
    QRect centred(QPoint(), initial);
    centred.moveCenter(screen()->availableGeometry().center());
    setGeometry(centred);
}

void RegexTesterDialog::InputChanged() {
    if (initialized_ && loading_ == 0) {
        UpdateTesterState(true);
    }
}

void RegexTesterDialog::UpdateTesterState(bool clearResults) {
    const QString pattern = pattern_->currentText();
    const bool valid = IsTesterPatternValid(ToU16(pattern), regex_->isChecked());
    test_->setEnabled(!text_->currentText().isEmpty() && !pattern.isEmpty() && valid);
    SetPatternInvalid(!pattern.isEmpty() && !valid);
    if (exact_->isChecked()) {
        whole_word_->setChecked(true);
    }
    whole_word_->setEnabled(!exact_->isChecked());
    if (clearResults) {
        results_->ShowHtml(std::nullopt);
    }
}

void RegexTesterDialog::SetPatternInvalid(bool invalid) {
    pattern_invalid_ = invalid;
    QLineEdit* edit = pattern_->lineEdit();
    if (!invalid) {
        edit->setPalette(QPalette());
        return;
    }
    QPalette marked = pattern_->palette();
    marked.setColor(QPalette::Base, InvalidFieldColor(marked));
    marked.setColor(QPalette::Text, marked.color(QPalette::WindowText));
    edit->setPalette(marked);
}

void RegexTesterDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && pattern_invalid_) {
        SetPatternInvalid(true);  // the red that reads on the new palette
    }
}

void RegexTesterDialog::RunTest() {
    const QString text = text_->currentText();
    const QString pattern = pattern_->currentText();
    AddToHistoryCombo(*text_, text);
    AddToHistoryCombo(*pattern_, pattern);
    const RegexTestOutcome outcome = RunRegexTest(ToU16(text), ToU16(pattern), CurrentOptions());
    if (outcome.result == RegexTestResult::InvalidPattern) {
        return;
    }
    const bool matched = outcome.result == RegexTestResult::Match;
    const std::optional<std::u16string> page =
        LoadPage(matched ? "tester_result.html" : "tester_no_match.html");
    if (!page) {
        return;
    }
    results_->ShowHtml(matched ? FillResultPage(*page, BuildResultRows(outcome.groups)) : *page);
}

void RegexTesterDialog::AddToHistoryCombo(QComboBox& box, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    std::vector<std::u16string> entries = ComboEntries(box);
    AddToTesterHistory(entries, ToU16(text));
    SetHistory(box, entries);
}

void RegexTesterDialog::SetHistory(QComboBox& box, const std::vector<std::u16string>& entries) {
    ++loading_;
    box.clear();
    for (const std::u16string& entry : entries) {
        box.addItem(ToQString(entry));
    }
    if (entries.empty()) {
        box.clearEditText();
    } else {
        box.setCurrentIndex(0);
    }
    --loading_;
}

void RegexTesterDialog::Reset() {
    AppSettings& settings = AppSettings::Instance();
    settings.tester_text_mru.clear();
    settings.tester_regex_mru.clear();
    ++loading_;
    SetHistory(*text_, {});
    SetHistory(*pattern_, {});
    ShowOptions(RegexTestOptions{});
    --loading_;
    UpdateTesterState(true);
}

RegexTestOptions RegexTesterDialog::CurrentOptions() const {
    return RegexTestOptions{.case_sensitive = case_->isChecked(),
                            .whole_word = whole_word_->isChecked(),
                            .exact_match = exact_->isChecked(),
                            .regular_expression = regex_->isChecked()};
}

void RegexTesterDialog::ShowOptions(const RegexTestOptions& options) {
    case_->setChecked(options.case_sensitive);
    whole_word_->setChecked(options.whole_word);
    exact_->setChecked(options.exact_match);
    regex_->setChecked(options.regular_expression);
}

void RegexTesterDialog::done(int result) {
    Session().options = CurrentOptions();
    Session().rect = normalGeometry().isValid() ? normalGeometry() : geometry();
    AppSettings& settings = AppSettings::Instance();
    if (settings.save_tester_history) {
        settings.tester_text_mru = ComboEntries(*text_);
        settings.tester_regex_mru = ComboEntries(*pattern_);
    }
    if (OpenTester() == this) {
        OpenTester() = nullptr;
    }
    QDialog::done(result);
}

}  // namespace linesift
