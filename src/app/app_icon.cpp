#include "app_icon.h"

namespace linesift {

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/linesift.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

}  // namespace linesift
