#include "views/line_geometry.h"

#include <algorithm>

namespace linesift {

const std::vector<double>& LineGeometryCache::Checkpoints(uint32_t line, std::u16string_view text,
                                                          CharAdvances& advances) {
    auto it = checkpoints_.find(line);
    if (it != checkpoints_.end()) {
        return it->second;
    }
    if (checkpoints_.size() >= 256) {
        checkpoints_.clear();
    }
    // Entry k is the x at offset k * kStride; the last entry is the width.
    std::vector<double> points;
    points.reserve(text.size() / kStride + 2);
    double x = 0;
    for (size_t i = 0; i < text.size(); i += kStride) {
        points.push_back(x);
        x = advances.Advance(text.substr(i, kStride), x);
    }
    points.push_back(x);
    return checkpoints_.emplace(line, std::move(points)).first->second;
}

double LineGeometryCache::Width(uint32_t line, std::u16string_view text, CharAdvances& advances) {
    if (text.size() < kMinLength) {
        return advances.Width(text);
    }
    return Checkpoints(line, text, advances).back();
}

std::pair<size_t, double> LineGeometryCache::Seek(uint32_t line, std::u16string_view text, double x,
                                                  CharAdvances& advances) {
    if (text.size() < kMinLength || x <= 0) {
        return {0, 0.0};
    }
    const std::vector<double>& points = Checkpoints(line, text, advances);
    // The last checkpoint (excluding the final width) whose x is at or before x.
    auto end = points.end() - 1;
    auto it = std::upper_bound(points.begin(), end, x);
    size_t k = it == points.begin() ? 0 : static_cast<size_t>(it - points.begin()) - 1;
    return {k * kStride, points[k]};
}

}  // namespace linesift
