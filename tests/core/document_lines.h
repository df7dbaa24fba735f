#pragma once

#include <string>
#include <vector>

#include "document/text_document.h"

namespace linesift::test {

// Every line of the document, decoded.
inline std::vector<std::u16string> LinesOf(const TextDocument& document) {
    std::vector<std::u16string> lines;
    std::u16string buffer;
    for (size_t i = 0; i < document.LineCount(); ++i) {
        lines.emplace_back(document.LineText(i, buffer));
    }
    return lines;
}

}  // namespace linesift::test
