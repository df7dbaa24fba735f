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
    // The clear button's cross (pushed: darker) and shaded squares, and the
    // magnifier.
    QColor cross = QColor(46, 92, 176);
    QColor cross_pushed = QColor(24, 62, 140);
    QColor pushed_top = QColor(190, 202, 226);
    QColor pushed_bottom = QColor(212, 221, 238);
    QColor hot_top = QColor(250, 251, 254);
    QColor hot_bottom = QColor(222, 229, 243);
    QColor magnifier = QColor(104, 116, 140);
};

}  // namespace linesift
