#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "views/char_advances.h"

namespace linesift {

// Colours of the line list.
inline const QColor kListBackground(255, 255, 255);
inline const QColor kListText(0, 0, 0);
inline const QColor kSelectedLine(230, 230, 230);
inline const QColor kLineSeparator(240, 240, 240);

// The colours a row is painted in; the defaults are the light ones above
// (RowColorsOf derives them from a palette).
struct RowColors {
    QColor background = kListBackground;
    QColor text = kListText;
    QColor selected = kSelectedLine;
    QColor separator = kLineSeparator;
    QColor focus_frame = QColor(0, 0, 0);
    // Context lines around matches are drawn dimmer than the matching ones,
    // and a dashed line marks where the shown lines skip some.
    QColor context_text = QColor(128, 128, 128);
    QColor group_separator = QColor(160, 160, 160);
};

// The text of a row starts this far right of the row's left edge, and the
// row's background and separator this far.
constexpr int kRowTextInset = 8;
constexpr int kRowBackgroundInset = 6;

// Black or white, whichever reads better on fill: the text on a highlight.
QColor TextOn(const QColor& fill);

// Characters [begin, end) of a row's text drawn on a background colour.
struct HighlightRun {
    int64_t begin;
    int64_t end;
    QColor color;                  // invalid: no fill, the row's background shows
    QColor text_color = QColor();  // invalid: the row's text colour
};

// A character whose x is known, relative to the row text's left edge: where
// walking along a long line may start instead of at its first character.
struct TextAnchor {
    size_t offset = 0;
    double x = 0;
};

// Everything a row is painted from; the painter reads nothing else.
struct RowPaintInput {
    // What the row shows: its line, or its piece of a wrapped line. Tab
    // stops count from the piece's first character.
    std::u16string_view text = {};
    // Ordered, disjoint, non-empty runs inside text.
    std::span<const HighlightRun> runs = {};
    QRect rect = {};          // the row, in the painter's coordinates
    double visible_left = 0;  // the part of the painter's x axis that can be seen
    double visible_width = 0;
    TextAnchor anchor = {};  // at or before the first character that can be seen
    bool selected = false;
    bool dimmed = false;       // a context line: its text is drawn in context_text
    bool group_start = false;  // the shown lines skip some above this row: a line goes on top
    // The line has the caret and the list has the focus: a dotted frame goes
    // around all rows of the line instead of the separator.
    bool caret_frame = false;
    int sub_row = 0;  // the row's place among its line's rows
    int row_count = 1;
    CharAdvances* advances = nullptr;  // not owned; the painter's font measured
    // Not owned; null for the light defaults. Text on a highlight is black or
    // white, whichever reads better on the highlight's colour.
    const RowColors* colors = nullptr;
};

// One step of drawing a row's text, in order: a background fill under some
// characters, or characters without tabs drawn from x.
struct RowTextOp {
    enum Kind { kFill, kText };
    Kind kind;
    size_t begin;  // characters of the row's text
    size_t end;
    double x;      // in the painter's coordinates
    double width;  // fills: the width filled
    QColor color;  // fills: the background; text: the pen
};

// The text of a row as drawn: its ops, and the clip they are drawn in (rows
// with highlights only: runs end at the text's right edge).
struct RowTextLayout {
    std::vector<RowTextOp> ops;
    std::optional<QRectF> clip;
};

// The characters of text that can be seen between clipLeft and clipRight
// (relative to the text's left edge), and the x of the first of them.
// Surrogate pairs are kept whole.
struct VisibleText {
    size_t first;
    size_t last;
    double x;
};
VisibleText FindVisibleText(std::u16string_view text, TextAnchor anchor, double clipLeft,
                            double clipRight, CharAdvances& advances);

// Lays out the text of a row drawn into textRect: the visible characters split
// at tabs and at the edges of highlight runs, each run's fill before its text.
void LayoutRowText(const RowPaintInput& input, const QRectF& textRect, RowTextLayout& layout);

// Paints one row: selection shading, text with highlights, and the separator
// under a line's last row or the caret frame. Only the characters that can
// be seen are measured and drawn, so lines of megabytes paint as fast as
// short ones. The painter's font must be the one input.advances measures.
void PaintRow(QPainter& painter, const RowPaintInput& input);

// Draws the drag marquee over the rows: a frame and, when it is at least
// 3 x 3 pixels, a light tint.
void PaintMarquee(QPainter& painter, const QRect& marquee);

}  // namespace linesift
