#pragma once

#include <QColor>

namespace linesift {

// The colours of the search box and its suggestion popup.
inline const QColor kBoxFrameColor{160, 160, 160};
inline const QColor kBoxEditingColor{255, 255, 255};
inline const QColor kBoxHoverColor{246, 248, 252};  // idle, pointer over the box
inline const QColor kBoxIdleColor{240, 244, 252};
inline const QColor kBoxInvalidColor{255, 220, 220};  // the query does not compile
inline const QColor kBoxIdleTextColor{74, 86, 110};
inline const QColor kSuggestionTextColor{61, 75, 102};
inline const QColor kSuggestionHotColor{212, 221, 238};
inline const QColor kSuggestionColor{255, 255, 255};  // other items and the empty area
inline const QColor kPopupBorderColor{143, 155, 179};

// The colours of the box and its popup for one palette; the defaults are
// the light ones above (see BoxColorsOf).
struct BoxColors {
    QColor frame = kBoxFrameColor;
    QColor editing = kBoxEditingColor;
    QColor hover = kBoxHoverColor;
    QColor idle = kBoxIdleColor;
    QColor invalid = kBoxInvalidColor;
    QColor idle_text = kBoxIdleTextColor;
    QColor edit_text = QColor(0, 0, 0);  // the text typed while editing
    QColor suggestion_text = kSuggestionTextColor;
    QColor suggestion_hot = kSuggestionHotColor;
    QColor suggestion = kSuggestionColor;
    QColor popup_border = kPopupBorderColor;
};

}  // namespace linesift
