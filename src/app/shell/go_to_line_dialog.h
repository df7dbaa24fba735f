#pragma once

#include <QDialog>
#include <cstddef>

#include "filter/filtered_lines.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace linesift {

// "Go to Line": takes a 1-based line number of the document. A number that
// is not a line says why and stays open; a line the filter hides says so and
// offers Show All Lines, which closes the dialog with ShowAll() true.
class GoToLineDialog : public QDialog {
    Q_OBJECT
  public:
    // lines belongs to the caller and outlives the dialog.
    GoToLineDialog(const FilteredLines& lines, QWidget* owner);

    // The line chosen (0-based) once accepted.
    LineNo Line() const { return line_; }
    // The line is hidden: the user asked to show all lines there.
    bool ShowAll() const { return show_all_; }

    void accept() override;

  private:
    void Say(const QString& text);

    const FilteredLines& lines_;
    QLineEdit* number_;
    QLabel* message_;
    QPushButton* go_;
    QPushButton* show_all_button_;
    LineNo line_ = 0;
    bool show_all_ = false;
};

}  // namespace linesift
