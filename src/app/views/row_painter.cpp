#include "views/row_painter.h"

#include <algorithm>
#include <iterator>

#include "qt_text.h"

namespace linesift {
namespace {

const QColor kMarqueeBorder(134, 143, 191);
const QColor kMarqueeTint(76, 96, 190, 36);

const RowColors& ColorsOf(const RowPaintInput& input) {
    static const RowColors kLight;
    return input.colors != nullptr ? *input.colors : kLight;
}

bool IsLead(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsTrail(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Adds text ops for text[begin, end) drawn from x: one per stretch between
// tabs, skipping what lies left of clipLeft and stopping past clipRight.
// Returns the x where drawing stopped.
double AddTextOps(std::u16string_view text, size_t begin, size_t end, double x, double tabOrigin,
                  double clipLeft, double clipRight, CharAdvances& advances, const QColor& color,
                  std::vector<RowTextOp>& ops) {
    size_t i = begin;
    while (i < end && x < clipRight) {
        if (text[i] == u'\t') {
            x = tabOrigin + advances.NextTabStop(x - tabOrigin);
            ++i;
            continue;
        }
        size_t runEnd = i;
        double runX = x;
        size_t first = end;
        double firstX = x;
        while (runEnd < end && text[runEnd] != u'\t' && runX < clipRight) {
            double w = advances.Of(text[runEnd]);
            if (first == end && runX + w >= clipLeft && !IsTrail(text[runEnd])) {
                first = runEnd;
                firstX = runX;
            }
            runX += w;
            ++runEnd;
        }
        if (runEnd < end && runEnd > begin && IsLead(text[runEnd - 1])) {
            ++runEnd;  // keep a pair whole
        }
        if (first < runEnd) {
            ops.push_back({RowTextOp::kText, first, runEnd, firstX, runX - firstX, color});
        }
        x = runX;
        i = runEnd;
    }
    return x;
}

// The pen of a row's text outside highlight runs.
const QColor& TextPen(const RowPaintInput& input) {
    return input.dimmed ? ColorsOf(input).context_text : ColorsOf(input).text;
}

// The highlighted and plain stretches of text[first, last) from x, each
// run's fill before its characters, up to the right edge.
void AddHighlightedOps(const RowPaintInput& input, const VisibleText& visible,
                       const QRectF& textRect, RowTextLayout& layout) {
    const std::u16string_view text = input.text;
    CharAdvances& advances = *input.advances;
    const double left = textRect.left();
    const double right = textRect.right();
    auto run =
        std::upper_bound(input.runs.begin(), input.runs.end(), static_cast<int64_t>(visible.first),
                         [](int64_t at, const HighlightRun& r) { return at < r.end; });
    size_t at = visible.first;
    double x = left + visible.x;
    const double clipLeft = x;
    layout.clip = QRectF(x, textRect.top(), right - x, textRect.height());
    while (at < visible.last && x < right) {
        const bool lit = run != input.runs.end() && run->begin <= static_cast<int64_t>(at);
        size_t end = visible.last;
        if (run != input.runs.end()) {
            end = std::min(end, static_cast<size_t>(lit ? run->end : run->begin));
        }
        double width = advances.Advance(text.substr(at, end - at), x - left) - (x - left);
        QColor pen = TextPen(input);
        if (lit) {
            if (run->color.isValid()) {
                layout.ops.push_back(
                    {RowTextOp::kFill, at, end, x, std::min(width, right - x), run->color});
                pen = TextOn(run->color);
            }
            if (run->text_color.isValid()) {
                pen = run->text_color;
            }
            ++run;
        }
        AddTextOps(text, at, end, x, left, clipLeft, right, advances, pen, layout.ops);
        x += width;
        at = end;
    }
}

void PaintRowText(QPainter& painter, const RowPaintInput& input, const QRectF& textRect) {
    static RowTextLayout layout;  // painting happens on one thread only
    LayoutRowText(input, textRect, layout);
    if (layout.ops.empty()) {
        return;
    }
    const CharAdvances& advances = *input.advances;
    const double baseline =
        textRect.top() + (textRect.height() - advances.Height()) / 2 + advances.Ascent();
    if (layout.clip) {
        painter.save();
        painter.setClipRect(*layout.clip, Qt::IntersectClip);
    }
    for (const RowTextOp& op : layout.ops) {
        if (op.kind == RowTextOp::kFill) {
            painter.fillRect(QRectF(op.x, textRect.top(), op.width, textRect.height()), op.color);
            continue;
        }
        if (painter.pen().color() != op.color) {
            painter.setPen(op.color);
        }
        painter.drawText(QPointF(op.x, baseline),
                         ToQString(input.text.substr(op.begin, op.end - op.begin)));
    }
    if (layout.clip) {
        painter.restore();
    }
}

}  // namespace

QColor TextOn(const QColor& fill) {
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    return luminance > 0.45 ? QColor(Qt::black) : QColor(Qt::white);
}

VisibleText FindVisibleText(std::u16string_view text, TextAnchor anchor, double clipLeft,
                            double clipRight, CharAdvances& advances) {
    const size_t n = text.size();
    auto step = [&](size_t i, double x) {
        char16_t c = text[i];
        return c == u'\t' ? advances.NextTabStop(x) : x + advances.Of(c);
    };
    size_t first = std::min(anchor.offset, n);
    double x = anchor.x;
    for (double next; first < n && (next = step(first, x)) < clipLeft; ++first) {
        x = next;
    }
    if (first > 0 && first < n && IsTrail(text[first])) {
        // Only an anchor lands here; its x is after the pair's lead.
        --first;
        x -= advances.Of(text[first]);
    }
    size_t last = first;
    for (double w = x; last < n && w <= clipRight; ++last) {
        w = step(last, w);
    }
    if (last < n && IsTrail(text[last])) {
        ++last;
    }
    return {first, last, x};
}

void LayoutRowText(const RowPaintInput& input, const QRectF& textRect, RowTextLayout& layout) {
    layout.ops.clear();
    layout.clip.reset();
    if (input.text.empty()) {
        return;
    }
    CharAdvances& advances = *input.advances;
    const double left = textRect.left();
    const double clipLeft = std::max(left, input.visible_left);
    const double clipRight = std::min(textRect.right(), clipLeft + input.visible_width + 1);
    const VisibleText visible =
        FindVisibleText(input.text, input.anchor, clipLeft - left, clipRight - left, advances);
    if (input.runs.empty()) {
        AddTextOps(input.text, visible.first, visible.last, left + visible.x, left, clipLeft,
                   clipRight, advances, TextPen(input), layout.ops);
        return;
    }
    AddHighlightedOps(input, visible, textRect, layout);
}

void PaintRow(QPainter& painter, const RowPaintInput& input) {
    const QRect& r = input.rect;
    const QRect background = r.adjusted(kRowBackgroundInset, 0, 0, 0);
    if (background.isEmpty()) {
        return;
    }
    if (input.selected) {
        painter.fillRect(background, ColorsOf(input).selected);
    }
    const QRectF text(r.left() + kRowTextInset, r.top(), r.width() - kRowTextInset - 2, r.height());
    if (!text.isEmpty()) {
        PaintRowText(painter, input, text);
    }
    if (input.group_start && input.sub_row == 0) {
        painter.save();
        painter.setPen(QPen(ColorsOf(input).group_separator, 1, Qt::DashLine));
        painter.drawLine(background.left(), r.top(), background.right(), r.top());
        painter.restore();
    }
    if (input.caret_frame) {
        QRect lineRect(background.left(), r.top() - input.sub_row * r.height(), background.width(),
                       input.row_count * r.height());
        painter.save();
        painter.setClipRect(background);
        painter.setPen(QPen(ColorsOf(input).focus_frame, 1, Qt::DotLine));
        painter.drawRect(lineRect.adjusted(0, 0, -1, -1));
        painter.restore();
        return;
    }
    if (input.sub_row != input.row_count - 1) {
        return;
    }
    painter.fillRect(QRect(background.left(), background.bottom(), background.width(), 1),
                     ColorsOf(input).separator);
}

void PaintMarquee(QPainter& painter, const QRect& marquee) {
    painter.setPen(kMarqueeBorder);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(marquee);
    if (marquee.width() >= 3 && marquee.height() >= 3) {
        painter.fillRect(marquee.adjusted(0, 0, 1, 1), kMarqueeTint);
    }
}

}  // namespace linesift
