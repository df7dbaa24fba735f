#pragma once

#include <QDialog>
#include <QString>

namespace linesift {

// The version as the About dialog shows it: "Version 1.2.3  (Build 45)".
QString VersionText();

// "About Linesift": the product name, the version and a link to the web page.
class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    AboutDialog(const QString& webPage, QWidget* owner);
};

}  // namespace linesift
