#pragma once

#include <QDialog>
#include <vector>

#include "settings/app_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace linesift {

class ColorButton;

// "Highlighters": edits a copy of the ordered highlight rules. The list
// shows each rule in its colours with a check box that turns it on or off;
// Add, Remove, Move Up and Move Down change the list, and the fields below
// edit the selected rule. A rule whose query does not compile is marked in
// the list, with the engine's message as its tip and below the fields when
// selected. Rules left without text are dropped on OK.
class HighlightersDialog : public QDialog {
    Q_OBJECT
  public:
    HighlightersDialog(std::vector<HighlightRule> rules, QWidget* owner);

    // The rules after OK.
    const std::vector<HighlightRule>& Rules() const { return rules_; }

    void accept() override;

  private:
    void BuildEditor(QWidget* box);
    void Refill(int current);
    void UpdateItem(int row);
    // Shows the selected rule in the fields (all disabled when none is).
    void ShowRule();
    // Reads the fields into the selected rule.
    void ReadFields();
    void Add();
    void Remove();
    void Move(int by);
    int Current() const;
    // What the dialog says of a rule whose query does not compile, from the
    // engine's error; empty for none.
    static QString ProblemText(const QString& error);

    std::vector<HighlightRule> rules_;
    bool showing_ = false;  // the fields are being filled, not edited
    QListWidget* list_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
    QWidget* editor_;
    QLineEdit* text_;
    QComboBox* mode_;
    QCheckBox* match_case_;
    QCheckBox* whole_word_;
    QCheckBox* has_foreground_;
    ColorButton* foreground_;
    QCheckBox* has_background_;
    ColorButton* background_;
    QLabel* problem_;
};

}  // namespace linesift
