#include "shell/about_dialog.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QSizePolicy>
#include <QVBoxLayout>

#include "program_version.h"

namespace linesift {

QString VersionText() {
    return QString::fromStdString(ProgramVersionText());
}

void SetFixedDialogFrame(QDialog& dialog) {
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // A window manager offers to maximize a window that can grow; the size is
    // fixed now, before the window exists, as some decide once when it maps.
    dialog.layout()->setSizeConstraint(QLayout::SetFixedSize);
    dialog.layout()->activate();
}

HoverLink::HoverLink(const QString& url, QWidget* parent) : QLabel(parent), url_(url) {
    setObjectName(QStringLiteral("link"));
    setTextFormat(Qt::RichText);
    setOpenExternalLinks(true);
    setToolTip(url);
    // As wide as the text: the pointer beside it is not over the link.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QLabel::linkHovered, this,
            [this](const QString& link) { SetUnderlined(!link.isEmpty()); });
    ShowLink();
}

void HoverLink::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    SetUnderlined(true);
}

void HoverLink::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    SetUnderlined(false);
}

void HoverLink::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        ShowLink();
    }
}

void HoverLink::SetUnderlined(bool underlined) {
    if (underlined_ != underlined) {
        underlined_ = underlined;
        ShowLink();
    }
}

void HoverLink::ShowLink() {
    const QString html =
        QStringLiteral("<a href=\"%1\" style=\"color:%2; text-decoration:%3\">%1</a>")
            .arg(url_.toHtmlEscaped(), palette().color(QPalette::Link).name(),
                 underlined_ ? QStringLiteral("underline") : QStringLiteral("none"));
    if (text() != html) {
        setText(html);
    }
}

AboutDialog::AboutDialog(const QString& webPage, QWidget* owner) : QDialog(owner) {
    setWindowTitle(tr("About Linesift"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("<b>Linesift</b>"), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    name->setFont(big);
    layout->addWidget(name);
    layout->addWidget(new QLabel(tr("Reads large text files by filtering their lines."), this));
    layout->addWidget(new QLabel(tr("Copyright \u00A9 2026 Quellora. All rights reserved."), this));
    auto* version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("version"));
    layout->addWidget(version);
    if (!webPage.isEmpty()) {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        layout->addWidget(line);
        layout->addWidget(new QLabel(tr("For more information, please visit:"), this));
        layout->addWidget(new HoverLink(webPage, this));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    SetFixedDialogFrame(*this);
}

}  // namespace linesift
