#include "shell/frame_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "shell/code_page_dialog.h"

namespace linesift {
namespace {

const QString kFilters = QStringLiteral(
    "Log and Text Files (*.log *.txt *.out *.csv *.json *.xml);;Text Files (*.txt);;All Files (*)");

}  // namespace

QString QtFrameDialogs::AskOpenPath(QWidget* owner) {
    return Remember(QFileDialog::getOpenFileName(owner, QString(), folder_, kFilters));
}

QString QtFrameDialogs::AskSavePath(QWidget* owner, const QString& initialName) {
    const QString start = folder_.isEmpty() ? initialName : QDir(folder_).filePath(initialName);
    return Remember(QFileDialog::getSaveFileName(owner, QString(), start, kFilters));
}

QString QtFrameDialogs::Remember(const QString& chosen) {
    if (!chosen.isEmpty()) {
        folder_ = QFileInfo(chosen).absolutePath();
    }
    return chosen;
}

QMessageBox::StandardButton QtFrameDialogs::ShowMessage(QWidget* owner, const QString& text,
                                                        QMessageBox::StandardButtons buttons,
                                                        QMessageBox::Icon icon) {
    QMessageBox box(icon, QStringLiteral("Linesift"), text, buttons, owner);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString QtFrameDialogs::AskCodePage(QWidget* owner, const QStringList& names,
                                    const QString& current) {
    CodePageDialog dialog(names, current, owner);
    return dialog.exec() == QDialog::Accepted ? dialog.Chosen() : QString();
}

}  // namespace linesift
