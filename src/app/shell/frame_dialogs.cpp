#include "shell/frame_dialogs.h"

#include <QFileDialog>

namespace linesift {
namespace {

const QString kFilters = QStringLiteral("Text Files (*.txt);;All Files (*)");

}  // namespace

QString QtFrameDialogs::AskOpenPath(QWidget* owner) {
    return QFileDialog::getOpenFileName(owner, QString(), QString(), kFilters);
}

QString QtFrameDialogs::AskSavePath(QWidget* owner, const QString& initialName) {
    return QFileDialog::getSaveFileName(owner, QString(), initialName, kFilters);
}

QMessageBox::StandardButton QtFrameDialogs::ShowMessage(QWidget* owner, const QString& text,
                                                        QMessageBox::StandardButtons buttons,
                                                        QMessageBox::Icon icon) {
    QMessageBox box(icon, QStringLiteral("Linesift"), text, buttons, owner);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace linesift
