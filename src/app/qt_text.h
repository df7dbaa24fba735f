#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace linesift {

// The program's UTF-16 text and Qt's share one representation: these copy
// code units without re-encoding.
inline QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}

}  // namespace linesift
