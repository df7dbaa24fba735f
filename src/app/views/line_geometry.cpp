#include "views/line_geometry.h"

#include <algorithm>

namespace linesift {

LineGeometryCache::Measured& LineGeometryCache::Entry(uint32_t line) {
    auto it = lines_.find(line);
    if (it != lines_.end()) {
        return it->second;
    }
    if (lines_.size() >= 256) {
        lines_.clear();
    }
    return lines_[line];
}

void LineGeometryCache::MeasureTo(Measured& m, std::u16string_view text, double x,
                                  CharAdvances& advances) {
    while (m.end < text.size() && m.end_x <= x) {
        m.points.push_back(m.end_x);
        size_t n = std::min(kStride, text.size() - m.end);
        m.end_x = advances.Advance(text.substr(m.end, n), m.end_x);
        m.end += n;
    }
}

double LineGeometryCache::Width(uint32_t line, std::u16string_view text, CharAdvances& advances) {
    if (text.size() < kMinLength) {
        return advances.Width(text);
    }
    Measured& m = Entry(line);
    MeasureTo(m, text, 0, advances);
    return m.end_x + static_cast<double>(text.size() - m.end) * advances.AverageCharWidth();
}

std::pair<size_t, double> LineGeometryCache::Seek(uint32_t line, std::u16string_view text, double x,
                                                  CharAdvances& advances) {
    if (text.size() < kMinLength || x <= 0) {
        return {0, 0.0};
    }
    Measured& m = Entry(line);
    MeasureTo(m, text, x, advances);
    // The last checkpoint at or before x.
    auto it = std::upper_bound(m.points.begin(), m.points.end(), x);
    size_t k = it == m.points.begin() ? 0 : static_cast<size_t>(it - m.points.begin()) - 1;
    return {k * kStride, m.points.empty() ? 0.0 : m.points[k]};
}

}  // namespace linesift
