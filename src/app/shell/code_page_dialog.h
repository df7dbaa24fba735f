#pragma once

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;

namespace linesift {

// Chooses a code page from a list that a search field narrows: every name
// holding the typed text, whatever its case.
class CodePageDialog : public QDialog {
    Q_OBJECT
  public:
    CodePageDialog(const QStringList& names, const QString& current, QWidget* parent);

    // The chosen name; empty when none is selected.
    QString Chosen() const;
    QLineEdit& SearchField() { return *search_; }
    QListWidget& List() { return *list_; }

  private:
    void Narrow(const QString& text);

    QLineEdit* search_;
    QListWidget* list_;
};

}  // namespace linesift
