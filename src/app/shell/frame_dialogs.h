#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

namespace linesift {

// The questions the main window asks through dialogs. The program shows
// real dialogs; tests answer them without any.
class FrameDialogs {
  public:
    virtual ~FrameDialogs() = default;

    // A path chosen to open; empty when cancelled.
    virtual QString AskOpenPath(QWidget* owner) = 0;
    // A path chosen to save to, starting with initialName; empty when
    // cancelled. The dialog asks before replacing the chosen file.
    virtual QString AskSavePath(QWidget* owner, const QString& initialName) = 0;
    // A message box with the caption "Linesift" centred over owner; returns
    // the button pressed.
    virtual QMessageBox::StandardButton ShowMessage(QWidget* owner, const QString& text,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::Icon icon) = 0;
    // A code page chosen from names (searchable), starting at current; empty
    // when cancelled. By default none is chosen.
    virtual QString AskCodePage(QWidget* /*owner*/, const QStringList& /*names*/,
                                const QString& /*current*/) {
        return QString();
    }
};

// Real dialogs: file dialogs offering log and text files first, then text
// files, then all files, starting in the folder last used by either (the
// settings' last_folder, which the window keeps);
// message boxes with the caption "Linesift".
class QtFrameDialogs : public FrameDialogs {
  public:
    QString AskOpenPath(QWidget* owner) override;
    QString AskSavePath(QWidget* owner, const QString& initialName) override;
    QMessageBox::StandardButton ShowMessage(QWidget* owner, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::Icon icon) override;
    QString AskCodePage(QWidget* owner, const QStringList& names, const QString& current) override;
};

}  // namespace linesift
