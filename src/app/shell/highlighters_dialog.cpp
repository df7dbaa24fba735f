#include "shell/highlighters_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "highlight/line_highlighter.h"
#include "qt_color.h"
#include "qt_text.h"
#include "views/color_button.h"
#include "views/row_painter.h"

namespace linesift {
namespace {

// The colours a new rule starts with: black text on light green.
const Color32 kNewBackground{.blue = 0xC9, .green = 0xE6, .red = 0xC8};

}  // namespace

HighlightersDialog::HighlightersDialog(std::vector<HighlightRule> rules, QWidget* owner)
    : QDialog(owner), rules_(std::move(rules)) {
    setWindowTitle(tr("Highlighters"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("Rules"));
    // The mark of a rule that is not valid keeps its row as high as the others.
    const int mark = list_->fontMetrics().height();
    list_->setIconSize(QSize(mark, mark));
    auto* add = new QPushButton(tr("&Add"), this);
    remove_ = new QPushButton(tr("&Remove"), this);
    up_ = new QPushButton(tr("Move &Up"), this);
    down_ = new QPushButton(tr("Move &Down"), this);
    auto* side = new QVBoxLayout;
    for (QPushButton* button : {add, remove_, up_, down_}) {
        button->setAutoDefault(false);
        side->addWidget(button);
    }
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(side);
    editor_ = new QWidget(this);
    BuildEditor(editor_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(editor_);
    layout->addWidget(buttons);
    connect(add, &QPushButton::clicked, this, &HighlightersDialog::Add);
    connect(remove_, &QPushButton::clicked, this, &HighlightersDialog::Remove);
    connect(up_, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { Move(1); });
    connect(buttons, &QDialogButtonBox::accepted, this, &HighlightersDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HighlightersDialog::reject);
    connect(list_, &QListWidget::currentRowChanged, this, &HighlightersDialog::ShowRule);
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int row = list_->row(item);
        if (!showing_ && row >= 0 && static_cast<size_t>(row) < rules_.size()) {
            rules_[static_cast<size_t>(row)].enabled = item->checkState() == Qt::Checked;
        }
    });
    Refill(rules_.empty() ? -1 : 0);
}

void HighlightersDialog::BuildEditor(QWidget* box) {
    text_ = new QLineEdit(box);
    text_->setObjectName(QStringLiteral("RuleText"));
    mode_ = new QComboBox(box);
    mode_->addItems({tr("Naive"), tr("Smart"), tr("Regex")});
    match_case_ = new QCheckBox(tr("Match &case"), box);
    whole_word_ = new QCheckBox(tr("Match &whole word only"), box);
    has_foreground_ = new QCheckBox(tr("&Text colour"), box);
    foreground_ = new ColorButton(tr("Choose..."), box);
    foreground_->setObjectName(QStringLiteral("Foreground"));
    has_background_ = new QCheckBox(tr("&Background"), box);
    background_ = new ColorButton(tr("Choose..."), box);
    background_->setObjectName(QStringLiteral("Background"));
    problem_ = new QLabel(box);
    problem_->setWordWrap(true);
    auto* form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(tr("&Query:"), text_);
    form->addRow(tr("&Mode:"), mode_);
    form->addRow(QString(), match_case_);
    form->addRow(QString(), whole_word_);
    form->addRow(has_foreground_, foreground_);
    form->addRow(has_background_, background_);
    form->addRow(problem_);
    connect(text_, &QLineEdit::textEdited, this, &HighlightersDialog::ReadFields);
    connect(mode_, &QComboBox::currentIndexChanged, this, &HighlightersDialog::ReadFields);
    for (QCheckBox* check : {match_case_, whole_word_, has_foreground_, has_background_}) {
        connect(check, &QCheckBox::toggled, this, &HighlightersDialog::ReadFields);
    }
    for (ColorButton* button : {foreground_, background_}) {
        connect(button, &ColorButton::colorChanged, this, [this, button] {
            (button == foreground_ ? has_foreground_ : has_background_)->setChecked(true);
            ReadFields();
        });
    }
}

QString HighlightersDialog::ProblemText(const QString& error) {
    return error.isEmpty() ? QString()
                           : tr("The regular expression does not compile: %1").arg(error);
}

int HighlightersDialog::Current() const {
    const int row = list_->currentRow();
    return row >= 0 && static_cast<size_t>(row) < rules_.size() ? row : -1;
}

void HighlightersDialog::Refill(int current) {
    showing_ = true;
    list_->clear();
    for (size_t i = 0; i < rules_.size(); ++i) {
        list_->addItem(QString());
        UpdateItem(static_cast<int>(i));
    }
    showing_ = false;
    list_->setCurrentRow(current);
    ShowRule();
}

void HighlightersDialog::UpdateItem(int row) {
    const HighlightRule& rule = rules_[static_cast<size_t>(row)];
    QListWidgetItem* item = list_->item(row);
    const bool was = showing_;
    showing_ = true;
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(rule.enabled ? Qt::Checked : Qt::Unchecked);
    item->setForeground(rule.foreground ? ToQColor(*rule.foreground) : kListText);
    item->setBackground(rule.background ? QBrush(ToQColor(*rule.background)) : QBrush());
    const QString text = rule.text.empty() ? tr("(no text)") : ToQString(rule.text);
    const QString error = ToQString(HighlightRuleError(rule));
    if (error.isEmpty()) {
        item->setText(text);
        item->setIcon(QIcon());
        item->setToolTip(QString());
    } else {
        // Marked in the list itself: a rule that is not valid colours nothing.
        item->setText(tr("%1    (not valid)").arg(text));
        item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
        item->setToolTip(ProblemText(error));
    }
    showing_ = was;
}

void HighlightersDialog::ShowRule() {
    const int row = Current();
    editor_->setEnabled(row >= 0);
    remove_->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && static_cast<size_t>(row) + 1 < rules_.size());
    if (row < 0) {
        return;
    }
    const HighlightRule& rule = rules_[static_cast<size_t>(row)];
    showing_ = true;
    text_->setText(ToQString(rule.text));
    mode_->setCurrentIndex(std::clamp(rule.query_mode, 0, 2));
    match_case_->setChecked(rule.match_case);
    whole_word_->setChecked(rule.whole_word);
    whole_word_->setEnabled(rule.query_mode == 0);
    has_foreground_->setChecked(rule.foreground.has_value());
    foreground_->SetColor(ToQColor(rule.foreground.value_or(Color32{})));
    has_background_->setChecked(rule.background.has_value());
    background_->SetColor(ToQColor(rule.background.value_or(kNewBackground)));
    showing_ = false;
    ReadFields();
}

void HighlightersDialog::ReadFields() {
    const int row = Current();
    if (showing_ || row < 0) {
        return;
    }
    HighlightRule& rule = rules_[static_cast<size_t>(row)];
    rule.text = ToU16(text_->text());
    rule.query_mode = mode_->currentIndex();
    rule.match_case = match_case_->isChecked();
    rule.whole_word = whole_word_->isChecked();
    whole_word_->setEnabled(rule.query_mode == 0);
    rule.foreground.reset();
    rule.background.reset();
    if (has_foreground_->isChecked()) {
        rule.foreground = ToColor32(foreground_->Color());
    }
    if (has_background_->isChecked()) {
        rule.background = ToColor32(background_->Color());
    }
    QString problem = ProblemText(ToQString(HighlightRuleError(rule)));
    if (problem.isEmpty() && !rule.foreground && !rule.background) {
        problem = tr("Choose a text or background colour, or the rule colours nothing.");
    }
    problem_->setText(problem);
    UpdateItem(row);
}

void HighlightersDialog::Add() {
    HighlightRule rule;
    rule.background = kNewBackground;
    rules_.push_back(rule);
    Refill(static_cast<int>(rules_.size()) - 1);
    text_->setFocus();
}

void HighlightersDialog::Remove() {
    const int row = Current();
    if (row < 0) {
        return;
    }
    rules_.erase(rules_.begin() + row);
    Refill(std::min(row, static_cast<int>(rules_.size()) - 1));
}

void HighlightersDialog::Move(int by) {
    const int row = Current();
    const int to = row + by;
    if (row < 0 || to < 0 || static_cast<size_t>(to) >= rules_.size()) {
        return;
    }
    std::swap(rules_[static_cast<size_t>(row)], rules_[static_cast<size_t>(to)]);
    Refill(to);
}

void HighlightersDialog::accept() {
    std::erase_if(rules_, [](const HighlightRule& rule) { return rule.text.empty(); });
    QDialog::accept();
}

}  // namespace linesift
