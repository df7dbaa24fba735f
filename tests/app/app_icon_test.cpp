#include "app_icon.h"

#include <QTest>

class AppIconTest : public QObject {
    Q_OBJECT
  private slots:
    void hasEveryDrawnSize() {
        QIcon icon = linesift::ApplicationIcon();
        for (int size : {16, 32, 48, 64, 128, 256}) {
            QPixmap pixmap = icon.pixmap(QSize(size, size));
            QVERIFY2(!pixmap.isNull(), qPrintable(QString::number(size)));
            QCOMPARE(pixmap.size(), QSize(size, size));
        }
    }
};

QTEST_MAIN(AppIconTest)
#include "app_icon_test.moc"
