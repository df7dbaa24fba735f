#pragma once

#include <QCheckBox>
#include <QDialog>

#include "settings/app_settings.h"

namespace linesift {

// The option values the Options dialog edits: a copy the frame fills from
// AppSettings and applies on OK.
struct OptionValues {
    int32_t max_recent_files = 8;
    bool save_file_history = true;
    bool save_query_history = false;
    bool save_tester_history = false;
    Color32 hilite_color{.blue = 0x00, .green = 0xE3, .red = 0xFE, .alpha = 0xFF};
};

// "Options": three history check boxes, the colour of highlighted matches,
// Reset (the defaults, including the recent-file limit, which has no
// control), Cancel and OK.
class ColorButton;

class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    OptionsDialog(const OptionValues& values, QWidget* owner);

    // The values after OK (the boxes read into the copy).
    const OptionValues& Values() const { return values_; }

    void Reset();
    void accept() override;

  private:
    void ShowValues();

    OptionValues values_;
    QCheckBox* files_;
    QCheckBox* queries_;
    QCheckBox* tester_;
    ColorButton* hilite_;
};

}  // namespace linesift
