#include "shell/options_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt_color.h"
#include "shell/about_dialog.h"
#include "views/color_button.h"

namespace linesift {

OptionsDialog::OptionsDialog(const OptionValues& values, QWidget* owner)
    : QDialog(owner), values_(values) {
    setWindowTitle(tr("Options"));
    auto* group = new QGroupBox(tr("General"), this);
    files_ = new QCheckBox(tr("Save history for recent files"), group);
    queries_ = new QCheckBox(tr("Save history for all queries"), group);
    tester_ = new QCheckBox(tr("Save history for Regex Tester"), group);
    auto* boxes = new QVBoxLayout(group);
    boxes->addWidget(files_);
    boxes->addWidget(queries_);
    boxes->addWidget(tester_);
    auto* colors = new QGroupBox(tr("Colours"), this);
    hilite_ = new ColorButton(tr("&Highlighted matches..."), colors);
    hilite_->setObjectName(QStringLiteral("HiliteColor"));
    (new QVBoxLayout(colors))->addWidget(hilite_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* reset = buttons->addButton(tr("Reset"), QDialogButtonBox::ResetRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setDefault(true);
    connect(reset, &QPushButton::clicked, this, &OptionsDialog::Reset);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(colors);
    layout->addWidget(buttons);
    SetFixedDialogFrame(*this);
    ShowValues();
}

void OptionsDialog::ShowValues() {
    files_->setChecked(values_.save_file_history);
    queries_->setChecked(values_.save_query_history);
    tester_->setChecked(values_.save_tester_history);
    hilite_->SetColor(ToQColor(values_.hilite_color));
}

void OptionsDialog::Reset() {
    values_ = OptionValues{};
    ShowValues();
}

void OptionsDialog::accept() {
    values_.save_file_history = files_->isChecked();
    values_.save_query_history = queries_->isChecked();
    values_.save_tester_history = tester_->isChecked();
    values_.hilite_color = ToColor32(hilite_->Color());
    QDialog::accept();
}

}  // namespace linesift
