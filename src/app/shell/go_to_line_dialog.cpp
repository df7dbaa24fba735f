#include "shell/go_to_line_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "filter/line_navigation.h"
#include "qt_text.h"

namespace linesift {

GoToLineDialog::GoToLineDialog(const FilteredLines& lines, QWidget* owner)
    : QDialog(owner), lines_(lines) {
    setWindowTitle(tr("Go to Line"));
    auto* prompt = new QLabel(tr("&Line number (1 - %1):").arg(lines.LineCount()), this);
    number_ = new QLineEdit(this);
    number_->setObjectName(QStringLiteral("LineNumber"));
    prompt->setBuddy(number_);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("Message"));
    message_->setWordWrap(true);
    message_->hide();
    auto* buttons = new QDialogButtonBox(this);
    // Beside the box, which would show it with the others.
    show_all_button_ = new QPushButton(tr("Show &All Lines"), this);
    show_all_button_->hide();
    go_ = buttons->addButton(tr("&Go To"), QDialogButtonBox::AcceptRole);
    go_->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &GoToLineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &GoToLineDialog::reject);
    connect(show_all_button_, &QPushButton::clicked, this, [this] {
        show_all_ = true;
        QDialog::accept();
    });
    connect(number_, &QLineEdit::textEdited, this, [this] {
        // A new number: the offer for the hidden line no longer holds.
        show_all_button_->hide();
        go_->setDefault(true);
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(number_);
    layout->addWidget(message_);
    auto* row = new QHBoxLayout;
    row->addWidget(show_all_button_);
    row->addWidget(buttons, 1);
    layout->addLayout(row);
}

void GoToLineDialog::Say(const QString& text) {
    message_->setText(text);
    message_->show();
    adjustSize();  // room for the message
    number_->setFocus();
    number_->selectAll();
}

void GoToLineDialog::accept() {
    const LineTarget target = FindLineNumber(lines_, ToU16(number_->text()));
    switch (target.status) {
        case LineTarget::kNotANumber:
            Say(tr("Type a line number from 1 to %1.").arg(lines_.LineCount()));
            return;
        case LineTarget::kOutOfRange:
            Say(tr("There is no line %1: the document has %2 lines.")
                    .arg(number_->text().trimmed())
                    .arg(lines_.LineCount()));
            return;
        case LineTarget::kOk:
            break;
    }
    line_ = target.line;
    if (target.shown < 0) {
        Say(tr("Line %1 is hidden by the filter. Show all lines to go there.").arg(line_ + 1));
        show_all_button_->show();
        show_all_button_->setDefault(true);
        return;
    }
    QDialog::accept();
}

}  // namespace linesift
