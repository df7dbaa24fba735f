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

}  // namespace linesift
