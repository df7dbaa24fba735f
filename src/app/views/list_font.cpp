#include "views/list_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace linesift {

const QFont& ListFont() {
    static const QFont font = [] {
        QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        f.setFamilies(
            QStringList{QStringLiteral("Tahoma"), f.family(), QStringLiteral("sans-serif")});
        f.setPixelSize(14);
        f.setKerning(false);
        f.setStyleStrategy(QFont::PreferNoShaping);
        return f;
    }();
    return font;
}

}  // namespace linesift
