#include "platform/code_page.h"

#include <emmintrin.h>
#include <langinfo.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

namespace linesift {
namespace {

std::mutex g_legacy_mutex;
std::string g_legacy_override;

std::string LocaleCharset() {
    const char* cs = nl_langinfo(CODESET);
    return cs != nullptr ? std::string(cs) : std::string();
}

bool IsUtf8OrAscii(const std::string& charset) {
    std::string n;
    for (char c : charset) {
        if (c != '-' && c != '_') {
            n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return n.empty() || n == "utf8" || n == "ansix3.41968" || n == "ascii" || n == "usascii" ||
           n == "646";
}

UConverter* OpenConverter(const std::string& name) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(name.c_str(), &status);
    if (U_FAILURE(status)) {
        return nullptr;
    }
    return cnv;
}

// The name people know a converter by: its MIME name, else its IANA one,
// else ICU's own; fallback when ICU has none.
std::string StandardName(UConverter* cnv, const std::string& fallback) {
    UErrorCode status = U_ZERO_ERROR;
    const char* own = ucnv_getName(cnv, &status);
    if (U_FAILURE(status) || own == nullptr) {
        return fallback;
    }
    for (const char* standard : {"MIME", "IANA"}) {
        status = U_ZERO_ERROR;
        const char* known = ucnv_getStandardName(own, standard, &status);
        if (U_SUCCESS(status) && known != nullptr && *known != '\0') {
            return known;
        }
    }
    return own;
}

}  // namespace

std::string LegacyCodePageName() {
    std::lock_guard lock(g_legacy_mutex);
    if (!g_legacy_override.empty()) {
        return g_legacy_override;
    }
    std::string charset = LocaleCharset();
    return IsUtf8OrAscii(charset) ? std::string("windows-1252") : charset;
}

// ICU skips characters it does not expect in a converter name, so only a
// name of printable ASCII is offered to it: another one is no name.
bool SetLegacyCodePage(const std::string& name) {
    auto printable = [](char c) { return c >= 0x20 && c < 0x7F; };
    if (!std::all_of(name.begin(), name.end(), printable)) {
        return false;
    }
    if (!name.empty()) {
        UConverter* cnv = OpenConverter(name);
        if (cnv == nullptr) {
            return false;
        }
        ucnv_close(cnv);
    }
    std::lock_guard lock(g_legacy_mutex);
    g_legacy_override = name;
    return true;
}

void AppendUtf8AsUtf16(std::string_view bytes, std::u16string& out) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    const int32_t n = static_cast<int32_t>(bytes.size());
    size_t at = out.size();
    out.resize(at + bytes.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT_OR_FFFD(s, i, n, c);
        if (c <= 0xFFFF) {
            out[at++] = static_cast<char16_t>(c);
        } else {
            out[at++] = U16_LEAD(c);
            out[at++] = U16_TRAIL(c);
        }
    }
    out.resize(at);
}

std::u16string Utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    AppendUtf8AsUtf16(bytes, out);
    return out;
}

void AppendCodePointAsUtf8(char32_t c, std::string& out) {
    uint8_t buf[4];
    int32_t len = 0;
    UBool error = false;
    (void)error;
    U8_APPEND(buf, len, 4, static_cast<UChar32>(c), error);
    out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(len));
}

void AppendUtf16AsUtf8(std::u16string_view text, std::string& out) {
    const size_t n = text.size();
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n;) {
        char16_t u = text[i];
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
            ++i;
            continue;
        }
        UChar32 c;
        U16_NEXT_OR_FFFD(text.data(), i, n, c);
        AppendCodePointAsUtf8(static_cast<char32_t>(c), out);
    }
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    AppendUtf16AsUtf8(text, out);
    return out;
}

struct LegacyDecoder::Converter {
    UConverter* cnv = nullptr;
    ~Converter() {
        if (cnv != nullptr) {
            ucnv_close(cnv);
        }
    }
};

bool CheckLineCodePage(const std::string& name, std::string& canonical) {
    auto printable = [](char c) { return c > 0x20 && c < 0x7F; };
    if (name.empty() || !std::all_of(name.begin(), name.end(), printable)) {
        return false;
    }
    UConverter* cnv = OpenConverter(name);
    if (cnv == nullptr) {
        return false;
    }
    bool lines = ucnv_getMinCharSize(cnv) == 1;
    for (const char byte : {'\n', '\r'}) {
        UChar unit[4];
        UErrorCode status = U_ZERO_ERROR;
        ucnv_resetToUnicode(cnv);
        const int32_t n = ucnv_toUChars(cnv, unit, 4, &byte, 1, &status);
        lines = lines && U_SUCCESS(status) && n == 1 && unit[0] == static_cast<UChar>(byte);
    }
    canonical = StandardName(cnv, name);
    ucnv_close(cnv);
    return lines;
}

std::vector<std::string> LineCodePages() {
    std::vector<std::string> names;
    const int32_t count = ucnv_countAvailable();
    for (int32_t i = 0; i < count; ++i) {
        std::string canonical;
        std::string again;
        // Names that ICU maps to another converter when asked again are left out.
        if (const char* name = ucnv_getAvailableName(i);
            name != nullptr && CheckLineCodePage(name, canonical) &&
            CheckLineCodePage(canonical, again) && again == canonical) {
            names.push_back(canonical);
        }
    }
    auto lower = [](std::string text) {
        for (char& c : text) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return text;
    };
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

LegacyDecoder::LegacyDecoder() : LegacyDecoder(std::string()) {}

LegacyDecoder::LegacyDecoder(const std::string& name) : converter_(std::make_unique<Converter>()) {
    if (!name.empty()) {
        converter_->cnv = OpenConverter(name);
    }
    if (converter_->cnv == nullptr) {
        converter_->cnv = OpenConverter(LegacyCodePageName());
    }
    if (converter_->cnv == nullptr) {
        converter_->cnv = OpenConverter("windows-1252");
    }
    if (converter_->cnv == nullptr || ucnv_getMaxCharSize(converter_->cnv) != 1) {
        return;
    }
    single_byte_ = true;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        UChar units[4];
        UErrorCode status = U_ZERO_ERROR;
        ucnv_resetToUnicode(converter_->cnv);
        int32_t len = ucnv_toUChars(converter_->cnv, units, 4, &in, 1, &status);
        if (U_FAILURE(status) || len != 1) {
            single_byte_ = false;
            break;
        }
        table_[b] = units[0];
    }
    ascii_identity_ = single_byte_;
    for (int b = 0; b < 0x80 && ascii_identity_; ++b) {
        ascii_identity_ = table_[b] == b;
    }
}

LegacyDecoder::~LegacyDecoder() = default;

size_t LegacyDecoder::DecodeInto(std::string_view bytes, char16_t* dest) {
    if (single_byte_) {
        const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
        const size_t n = bytes.size();
        size_t i = 0;
        if (ascii_identity_) {
            const __m128i zero = _mm_setzero_si128();
            for (; i + 16 <= n; i += 16) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
                if (_mm_movemask_epi8(v) != 0) {
                    for (size_t k = i; k < i + 16; ++k) {
                        dest[k] = table_[s[k]];
                    }
                    continue;
                }
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_unpacklo_epi8(v, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i + 8),
                                 _mm_unpackhi_epi8(v, zero));
            }
        }
        for (; i < n; ++i) {
            dest[i] = table_[s[i]];
        }
        return n;
    }
    if (converter_->cnv == nullptr || bytes.empty()) {
        return 0;
    }
    ucnv_resetToUnicode(converter_->cnv);
    UChar* target = reinterpret_cast<UChar*>(dest);
    const char* source = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter_->cnv, &target, target + 2 * bytes.size(), &source,
                   bytes.data() + bytes.size(), nullptr, true, &status);
    return static_cast<size_t>(target - reinterpret_cast<UChar*>(dest));
}

bool LegacyDecoder::Append(std::string_view bytes, std::u16string& out) {
    if (!single_byte_ && converter_->cnv == nullptr) {
        return false;
    }
    size_t at = out.size();
    out.resize(at + 2 * bytes.size());
    out.resize(at + DecodeInto(bytes, out.data() + at));
    return true;
}

struct FileTextEncoder::Converter {
    UConverter* cnv = nullptr;
    ~Converter() { ucnv_close(cnv); }
};

FileTextEncoder::FileTextEncoder() {
    std::string charset = LocaleCharset();
    if (IsUtf8OrAscii(charset)) {
        return;
    }
    if (UConverter* cnv = OpenConverter(charset)) {
        converter_ = std::make_unique<Converter>();
        converter_->cnv = cnv;
    }
}

FileTextEncoder::~FileTextEncoder() = default;

bool FileTextEncoder::Encode(std::u16string_view text, std::string& out) {
    out.clear();
    if (!converter_) {
        AppendUtf16AsUtf8(text, out);
        return true;
    }
    if (text.empty()) {
        return true;
    }
    UConverter* cnv = converter_->cnv;
    ucnv_resetFromUnicode(cnv);
    out.resize(
        static_cast<size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), ucnv_getMaxCharSize(cnv))));
    UErrorCode status = U_ZERO_ERROR;
    int32_t len = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()),
                                  reinterpret_cast<const UChar*>(text.data()),
                                  static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) {
        out.clear();
        return false;
    }
    out.resize(static_cast<size_t>(len));
    return true;
}

}  // namespace linesift
