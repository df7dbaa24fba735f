#include "shell/frame_dialogs.h"

#include <QDir>
#include <QFileDialog>

#include "qt_text.h"
#include "settings/app_settings.h"

#include "shell/code_page_dialog.h"

namespace linesift {
namespace {

const QString kFilters = QStringLiteral(
    "Log and Text Files (*.log *.txt *.out *.csv *.json *.xml);;Text Files (*.txt);;All Files (*)");

// The folder last used by either dialog, kept in the settings.
QString StartFolder() {
    return ToQString(AppSettings::Instance().last_folder);
}

}  // namespace

QString QtFrameDialogs::AskOpenPath(QWidget* owner) {
    return QFileDialog::getOpenFileName(owner, QString(), StartFolder(), kFilters);
}

QString QtFrameDialogs::AskSavePath(QWidget* owner, const QString& initialName) {
    const QString folder = StartFolder();
    const QString start = folder.isEmpty() ? initialName : QDir(folder).filePath(initialName);
    return QFileDialog::getSaveFileName(owner, QString(), start, kFilters);
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
