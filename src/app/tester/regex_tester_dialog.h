#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QRect>
#include <optional>

#include "tester/regex_tester.h"

namespace linesift {

class ResultsPane;

// The tester's controls by their dialog ids, each kept in the control's
// "controlId" property.
enum TesterControlId : int {
    kTesterPatternBox = 1263,
    kTesterTextBox = 1264,
    kTesterTestButton = 1266,
    kTesterCaseBox = 1268,
    kTesterWholeWordBox = 1270,
    kTesterExactBox = 1272,
    kTesterResults = 1273,
    kTesterRegexBox = 1275,
    kTesterResetButton = 1332,
    kTesterCloseButton = 2,
};

// What the tester keeps from one window to the next until the process ends.
struct TesterSession {
    RegexTestOptions options;   // the four check boxes
    std::optional<QRect> rect;  // the window's geometry at its last closing
};

// "Regex Tester": tries a pattern against a sample text and shows the first
// match and its captures as a table. There is at most one, a window of its
// own with no parent, which the main window does not wait for; it deletes
// itself when closed.
class RegexTesterDialog : public QDialog {
    Q_OBJECT
  public:
    // Brings the open tester to the front, or opens a new one.
    static RegexTesterDialog* Open();
    // The open tester, or null.
    static RegexTesterDialog* Instance();
    // Closes the open tester, if any, as its Close button would.
    static void CloseInstance();
    // The check boxes and geometry kept for the next opening.
    static TesterSession& Session();

    // The control with a TesterControlId, or null.
    QWidget* Control(int id) const;
    QComboBox& TextBox() const { return *text_; }
    QComboBox& PatternBox() const { return *pattern_; }
    ResultsPane& Results() const { return *results_; }
    // Whether the pattern box shows that its pattern does not compile.
    bool IsPatternMarkedInvalid() const { return pattern_invalid_; }

    // Enables Test for a sample and a pattern that compiles, marks a pattern
    // that does not, ties "Whole word only" to "Exact match", and clears the
    // results when asked.
    void UpdateTesterState(bool clearResults);
    // Adds both inputs to their histories and shows the first match of the
    // pattern in the sample, or the no-match page. Nothing happens for a
    // pattern that does not compile.
    void RunTest();
    // Empties both histories (also those in AppSettings), the inputs and the
    // results, and sets the check boxes to their first state.
    void Reset();
    // Keeps the check boxes and geometry for the next opening, hands the
    // histories to AppSettings when they are to be saved, and closes.
    void done(int result) override;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    RegexTesterDialog();
    void BuildControls();
    QLayout* BuildCheckBoxes();
    QLayout* BuildButtons();
    void SetTabOrder();
    void ConnectControls();
    void LoadState();
    QSize InitialSize() const;
    void PlaceWindow();
    void InputChanged();
    void SetPatternInvalid(bool invalid);
    void AddToHistoryCombo(QComboBox& box, const QString& text);
    void SetHistory(QComboBox& box, const std::vector<std::u16string>& entries);
    RegexTestOptions CurrentOptions() const;
    void ShowOptions(const RegexTestOptions& options);

    QComboBox* text_ = nullptr;
    QComboBox* pattern_ = nullptr;
    QCheckBox* case_ = nullptr;
    QCheckBox* whole_word_ = nullptr;
    QCheckBox* exact_ = nullptr;
    QCheckBox* regex_ = nullptr;
    ResultsPane* results_ = nullptr;
    QPushButton* test_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* close_ = nullptr;
    bool pattern_invalid_ = false;
    bool initialized_ = false;
    int loading_ = 0;  // above zero while controls are filled in by the program
};

}  // namespace linesift
