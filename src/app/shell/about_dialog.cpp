#include "shell/about_dialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

#include "program_version.h"

namespace linesift {

QString VersionText() {
    return QString::fromStdString(ProgramVersionText());
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
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    layout->addWidget(new QLabel(tr("For more information, please visit:"), this));
    QColor linkColour = palette().color(QPalette::Link);
    auto* link = new QLabel(QStringLiteral("<a href=\"%1\" style=\"color:%2\">%1</a>")
                                .arg(webPage.toHtmlEscaped(), linkColour.name()),
                            this);
    link->setObjectName(QStringLiteral("link"));
    link->setOpenExternalLinks(true);
    link->setToolTip(webPage);
    layout->addWidget(link);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace linesift
