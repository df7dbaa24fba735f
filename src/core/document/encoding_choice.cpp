#include "document/encoding_choice.h"

#include <cctype>

#include "platform/code_page.h"

namespace linesift {
namespace {

// "utf_16le", "UTF-16LE" and "Utf16Le" all become "utf16le".
std::string Folded(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c != '-' && c != '_') {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

}  // namespace

bool ParseEncodingName(std::string_view name, EncodingChoice& choice, std::string& error) {
    const std::string folded = Folded(name);
    choice = EncodingChoice{};
    if (folded.empty() || folded == "auto") {
        return true;
    }
    if (folded == "utf8") {
        choice.encoding = Utf8;
        return true;
    }
    if (folded == "utf16le" || folded == "utf16be") {
        choice.encoding = folded == "utf16le" ? Utf16Le : Utf16Be;
        return true;
    }
    std::string canonical;
    if (!CheckLineCodePage(std::string(name), canonical)) {
        error = "unknown encoding '" + std::string(name) +
                "' (use auto, UTF-8, UTF-16LE, UTF-16BE or a code page such as windows-1252 "
                "or ISO-8859-15)";
        return false;
    }
    choice.encoding = Ansi;
    choice.code_page = canonical;
    return true;
}

std::string EncodingChoiceName(const EncodingChoice& choice) {
    switch (choice.encoding) {
        case Detect:
            return "auto";
        case Utf8:
        case Utf8Bom:
            return "UTF-8";
        case Utf16Le:
            return "UTF-16LE";
        case Utf16Be:
            return "UTF-16BE";
        default:
            return choice.code_page.empty() ? LegacyCodePageName() : choice.code_page;
    }
}

std::string EncodingLabel(int32_t encoding, const std::string& codePage) {
    if (encoding == Utf8Bom) {
        return "UTF-8 BOM";
    }
    if (encoding == Detect) {
        return "";
    }
    return EncodingChoiceName(EncodingChoice{.encoding = encoding, .code_page = codePage});
}

}  // namespace linesift
