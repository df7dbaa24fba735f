#include "shell/code_page_dialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace linesift {

CodePageDialog::CodePageDialog(const QStringList& names, const QString& current, QWidget* parent)
    : QDialog(parent), search_(new QLineEdit(this)), list_(new QListWidget(this)) {
    setWindowTitle(tr("Reopen with Encoding"));
    search_->setPlaceholderText(tr("Search"));
    search_->setClearButtonEnabled(true);
    list_->addItems(names);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(search_);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    connect(search_, &QLineEdit::textChanged, this, &CodePageDialog::Narrow);
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::currentItemChanged, buttons, [buttons](QListWidgetItem* item) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(item != nullptr && !item->isHidden());
    });
    const QList<QListWidgetItem*> found = list_->findItems(current, Qt::MatchFixedString);
    list_->setCurrentItem(found.isEmpty() ? list_->item(0) : found.front());
    resize(320, 420);
}

QString CodePageDialog::Chosen() const {
    const QListWidgetItem* item = list_->currentItem();
    return item == nullptr || item->isHidden() ? QString() : item->text();
}

void CodePageDialog::Narrow(const QString& text) {
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const bool shown = item->text().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && first == nullptr) {
            first = item;
        }
    }
    QListWidgetItem* current = list_->currentItem();
    if (current == nullptr || current->isHidden()) {
        list_->setCurrentItem(first);
    }
}

}  // namespace linesift
