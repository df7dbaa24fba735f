#include "settings/app_settings.h"

#include <sys/stat.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

#include "platform/code_page.h"
#include "platform/native_path.h"
#include "settings/data_folder.h"
#include "settings/file_io.h"

namespace linesift {
namespace {

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

constexpr char kRootName[] = "LinesiftSettings";
constexpr char kVersion[] = "1.0";
constexpr char kNamespace[] = "urn:linesift:settings:1";
// Far beyond anything the program writes (its lists are short); a larger file
// is set aside rather than parsed into memory.
constexpr size_t kMaxFileBytes = size_t{256} << 20;
// A text that XML 1.0 cannot hold (a control character, a lone surrogate) is
// stored escaped in the attribute of this suffix instead of its own; files
// written before this existed never have one, so they read as before.
constexpr char kEscapedSuffix[] = "_escaped";

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    return -1;
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

Color32 ParseColor(std::u16string_view text) {
    const Color32 black;
    if (text.size() == 7 && text[0] == u'#') {
        text.remove_prefix(1);
    }
    if (text.size() != 6) {
        return black;
    }
    uint8_t rgb[3];
    for (int i = 0; i < 3; ++i) {
        int high = HexDigit(text[2 * i]);
        int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return black;
        }
        rgb[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return Color32{.blue = rgb[2], .green = rgb[1], .red = rgb[0], .alpha = 0xFF};
}

std::u16string FormatColor(Color32 color, bool with_hash) {
    char text[8];
    std::snprintf(text, sizeof text, with_hash ? "#%02X%02X%02X" : "%02X%02X%02X", color.red,
                  color.green, color.blue);
    return Utf8ToUtf16(text);
}

std::vector<HighlightRule> DefaultHighlightRules() {
    const Color32 white{.blue = 0xFF, .green = 0xFF, .red = 0xFF};
    return {
        {.text = u"ERROR",
         .match_case = true,
         .whole_word = true,
         .foreground = white,
         .background = Color32{.blue = 0x2F, .green = 0x2F, .red = 0xD3},
         .enabled = false},
        {.text = u"WARN",
         .match_case = true,
         .whole_word = true,
         .background = Color32{.blue = 0x07, .green = 0xC1, .red = 0xFF},
         .enabled = false},
        {.text = u"\"[^\"]*\"",
         .query_mode = 2,
         .foreground = Color32{.blue = 0xB4, .green = 0x5F, .red = 0x1A},
         .enabled = false},
    };
}

namespace {

// Reading. An attribute that is missing or not a 32-bit decimal integer
// leaves the field as it was.

std::optional<int32_t> ParseInt32(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string_view s(text);
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && space(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && space(s.back())) {
        s.remove_suffix(1);
    }
    if (s.size() >= 2 && s[0] == '+' && s[1] != '-') {
        s.remove_prefix(1);
    }
    int32_t value = 0;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> IntAttribute(const XMLElement& element, const char* name) {
    return ParseInt32(element.Attribute(name));
}

void ReadBool(const XMLElement& element, const char* name, bool& field) {
    if (auto value = IntAttribute(element, name)) {
        field = *value != 0;
    }
}

void ReadMode(const XMLElement& element, const char* name, int32_t& field) {
    if (auto value = IntAttribute(element, name)) {
        field = std::clamp<int32_t>(*value, 0, 2);
    }
}

void ReadApplication(const XMLElement& element, AppSettings& s) {
    ReadBool(element, "debut", s.debut);
    ReadBool(element, "auto_suggest", s.auto_suggest);
    ReadMode(element, "query_mode", s.query_mode);
    ReadBool(element, "match_case", s.match_case);
    ReadBool(element, "match_whole_word_only", s.match_whole_word_only);
    ReadBool(element, "search_as_you_type", s.search_as_you_type);
    ReadBool(element, "word_wrap", s.word_wrap);
    ReadMode(element, "filter_mode", s.filter_mode);
    if (auto lines = IntAttribute(element, "context_lines")) {
        s.context_lines = std::clamp<int32_t>(*lines, 0, AppSettings::kMaxContextLines);
    }
    ReadBool(element, "line_numbers", s.line_numbers);
    ReadMode(element, "theme", s.theme);
}

// Both ends of one axis from a position and a length that may be negative or
// reach past the 32-bit range. The span is at most the largest 32-bit length,
// so that the rectangle is written back as it was read.
void SetSpan(int64_t position, int64_t length, int32_t& low, int32_t& high) {
    low = ClampToInt32(position);
    high = ClampToInt32(position + length);
    if (low > high) {
        std::swap(low, high);
    }
    high = ClampToInt32(std::min<int64_t>(high, int64_t{low} + INT32_MAX));
}

void ReadMainFrame(const XMLElement& element, AppSettings& s) {
    Rect32& r = s.frame_rect;
    int64_t x = IntAttribute(element, "x").value_or(r.left);
    int64_t y = IntAttribute(element, "y").value_or(r.top);
    int64_t width =
        IntAttribute(element, "width").value_or(ClampToInt32(int64_t{r.right} - r.left));
    int64_t height =
        IntAttribute(element, "height").value_or(ClampToInt32(int64_t{r.bottom} - r.top));
    SetSpan(x, width, r.left, r.right);
    SetSpan(y, height, r.top, r.bottom);
    ReadBool(element, "maximized", s.maximized);
    ReadBool(element, "show_toolbar", s.show_toolbar);
    ReadBool(element, "show_statusbar", s.show_statusbar);
    ReadBool(element, "follow_file", s.follow_file);
}

// Undoes EscapeText: "\\" is a backslash and "\uXXXX" the UTF-16 unit
// XXXX; any other backslash stands for itself.
std::u16string UnescapeText(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == u'\\') {
            out += u'\\';
            ++i;
            continue;
        }
        if (text[i] == u'\\' && i + 5 < text.size() && text[i + 1] == u'u') {
            int unit = 0;
            for (size_t k = i + 2; k < i + 6 && unit >= 0; ++k) {
                int digit = HexDigit(text[k]);
                unit = digit < 0 ? -1 : unit * 16 + digit;
            }
            if (unit >= 0) {
                out += static_cast<char16_t>(unit);
                i += 5;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The text of attribute name, or of its escaped form (name + kEscapedSuffix),
// which takes precedence; nullopt when neither is there.
std::optional<std::u16string> TextAttribute(const XMLElement& element, const char* name) {
    std::string escaped = std::string(name) + kEscapedSuffix;
    if (const char* text = element.Attribute(escaped.c_str())) {
        return UnescapeText(Utf8ToUtf16(text));
    }
    if (const char* text = element.Attribute(name)) {
        return Utf8ToUtf16(text);
    }
    return std::nullopt;
}

// Appends the non-empty value of attribute of each child named child.
template <typename List>
void AppendTexts(const XMLElement* parent, const char* child, const char* attribute, List& list) {
    if (parent == nullptr) {
        return;
    }
    for (const XMLElement* e = parent->FirstChildElement(child); e != nullptr;
         e = e->NextSiblingElement(child)) {
        std::optional<std::u16string> text = TextAttribute(*e, attribute);
        if (text && !text->empty()) {
            list.push_back(std::move(*text));
        }
    }
}

// The "encoding" attributes of the File elements, for the paths that are
// recent files.
void ReadRecentEncodings(const XMLElement& element, AppSettings& s) {
    for (const XMLElement* e = element.FirstChildElement("File"); e != nullptr;
         e = e->NextSiblingElement("File")) {
        std::optional<std::u16string> path = TextAttribute(*e, "path");
        const char* encoding = e->Attribute("encoding");
        if (path && encoding != nullptr && *encoding != '\0' &&
            std::find(s.recent_files.begin(), s.recent_files.end(), *path) !=
                s.recent_files.end()) {
            s.recent_encodings[*path] = encoding;
        }
    }
}

void ReadRecentFiles(const XMLElement& element, AppSettings& s) {
    std::vector<std::u16string> paths;
    AppendTexts(&element, "File", "path", paths);
    for (std::u16string& path : paths) {
        if (std::find(s.recent_files.begin(), s.recent_files.end(), path) == s.recent_files.end()) {
            s.recent_files.push_back(std::move(path));
        }
    }
    ReadRecentEncodings(element, s);
}

void ReadRegexTester(const XMLElement& element, AppSettings& s) {
    s.tester_text_mru.clear();
    AppendTexts(element.FirstChildElement("TextMru"), "Text", "value", s.tester_text_mru);
    s.tester_regex_mru.clear();
    AppendTexts(element.FirstChildElement("RegexMru"), "Regex", "value", s.tester_regex_mru);
}

void ReadStates(const XMLElement& states, AppSettings& s) {
    for (const XMLElement* e = states.FirstChildElement(); e != nullptr;
         e = e->NextSiblingElement()) {
        std::string_view name = e->Name();
        if (name == "Application") {
            ReadApplication(*e, s);
        } else if (name == "MainFrame") {
            ReadMainFrame(*e, s);
            s.last_folder = TextAttribute(*e, "last_folder").value_or(u"");
        } else if (name == "RecentFiles") {
            ReadRecentFiles(*e, s);
        } else if (name == "MruQueries") {
            AppendTexts(e, "Query", "text", s.mru_queries);
        } else if (name == "AllQueries") {
            AppendTexts(e, "Query", "text", s.all_queries);
        } else if (name == "RegexTester") {
            ReadRegexTester(*e, s);
        }
    }
}

void ReadGeneral(const XMLElement& general, AppSettings& s) {
    ReadBool(general, "save_file_history", s.save_file_history);
    ReadBool(general, "save_query_history", s.save_query_history);
    ReadBool(general, "save_tester_history", s.save_tester_history);
    if (const char* color = general.Attribute("hilite_color")) {
        s.hilite_color = ParseColor(Utf8ToUtf16(color));
    }
    const char* code_page = general.Attribute("ansi_code_page");
    if (code_page != nullptr && SetLegacyCodePage(code_page)) {
        s.ansi_code_page = Utf8ToUtf16(code_page);
    }
}

std::optional<Color32> ColorAttribute(const XMLElement& element, const char* name) {
    if (const char* color = element.Attribute(name)) {
        return ParseColor(Utf8ToUtf16(color));
    }
    return std::nullopt;
}

// The rules of a Highlighters element replace the defaults, so a user who
// removed them all keeps none; a rule without text is skipped.
void ReadHighlighters(const XMLElement& element, AppSettings& s) {
    s.highlight_rules.clear();
    for (const XMLElement* e = element.FirstChildElement("Rule"); e != nullptr;
         e = e->NextSiblingElement("Rule")) {
        HighlightRule rule;
        rule.text = TextAttribute(*e, "text").value_or(u"");
        if (rule.text.empty()) {
            continue;
        }
        ReadMode(*e, "query_mode", rule.query_mode);
        ReadBool(*e, "match_case", rule.match_case);
        ReadBool(*e, "whole_word", rule.whole_word);
        rule.foreground = ColorAttribute(*e, "foreground");
        rule.background = ColorAttribute(*e, "background");
        ReadBool(*e, "enabled", rule.enabled);
        s.highlight_rules.push_back(std::move(rule));
    }
}

void ReadOptions(const XMLElement& options, AppSettings& s) {
    for (const XMLElement* e = options.FirstChildElement("General"); e != nullptr;
         e = e->NextSiblingElement("General")) {
        ReadGeneral(*e, s);
    }
    if (const XMLElement* e = options.FirstChildElement("Highlighters")) {
        ReadHighlighters(*e, s);
    }
}

bool IsSettingsRoot(const XMLElement* root) {
    if (root == nullptr || std::strcmp(root->Name(), kRootName) != 0) {
        return false;
    }
    const char* version = root->Attribute("version");
    const char* xmlns = root->Attribute("xmlns");
    return version != nullptr && std::strcmp(version, kVersion) == 0 && xmlns != nullptr &&
           std::strcmp(xmlns, kNamespace) == 0;
}

bool ReadSettings(const std::string& path, AppSettings& s) {
    std::string bytes;
    if (!ReadWholeFile(path, kMaxFileBytes, bytes)) {
        return false;
    }
    XMLDocument document;
    if (document.Parse(bytes.data(), bytes.size()) != tinyxml2::XML_SUCCESS) {
        return false;
    }
    const XMLElement* root = document.RootElement();
    if (!IsSettingsRoot(root)) {
        return false;
    }
    if (const XMLElement* states = root->FirstChildElement("States")) {
        ReadStates(*states, s);
    }
    if (const XMLElement* options = root->FirstChildElement("Options")) {
        ReadOptions(*options, s);
    }
    return true;
}

}  // namespace

namespace {

void SetBool(XMLElement* element, const char* name, bool value) {
    element->SetAttribute(name, value ? 1 : 0);
}

// Whether XML 1.0 can hold the UTF-16 unit at text[i]: not a control
// character other than tab, line feed and carriage return, not U+FFFE or
// U+FFFF, not half of a surrogate pair without its other half.
bool XmlCanHold(std::u16string_view text, size_t i) {
    char16_t u = text[i];
    if (u < 0x20) {
        return u == u'\t' || u == u'\n' || u == u'\r';
    }
    if (u == 0xFFFE || u == 0xFFFF) {
        return false;
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
        return i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) {
        return i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
    }
    return true;
}

// The text with each unit XML cannot hold written as "\uXXXX" and each
// backslash doubled; false (text untouched) when every unit can be held.
bool EscapeText(std::u16string_view text, std::u16string& out) {
    size_t i = 0;
    while (i < text.size() && XmlCanHold(text, i)) {
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    static const char16_t kHex[] = u"0123456789ABCDEF";
    out.clear();
    for (i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (u == u'\\') {
            out += u"\\\\";
        } else if (XmlCanHold(text, i)) {
            out += u;
        } else {
            out += u"\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(u >> shift) & 0xF];
            }
        }
    }
    return true;
}

// Writes value as attribute name; a value XML cannot hold goes escaped
// (EscapeText) into name + kEscapedSuffix instead, so the file stays
// well-formed and reads back exactly.
void SetText(XMLElement* element, const char* name, std::u16string_view value) {
    std::u16string escaped;
    if (EscapeText(value, escaped)) {
        std::string escapedName = std::string(name) + kEscapedSuffix;
        element->SetAttribute(escapedName.c_str(), Utf16ToUtf8(escaped).c_str());
    } else {
        element->SetAttribute(name, Utf16ToUtf8(value).c_str());
    }
}

void WriteApplication(XMLElement* states, const AppSettings& s) {
    XMLElement* e = states->InsertNewChildElement("Application");
    SetBool(e, "debut", false);
    SetBool(e, "auto_suggest", s.auto_suggest);
    e->SetAttribute("query_mode", s.query_mode);
    SetBool(e, "match_case", s.match_case);
    SetBool(e, "match_whole_word_only", s.match_whole_word_only);
    SetBool(e, "search_as_you_type", s.search_as_you_type);
    SetBool(e, "word_wrap", s.word_wrap);
    e->SetAttribute("filter_mode", s.filter_mode);
    e->SetAttribute("context_lines", s.context_lines);
    SetBool(e, "line_numbers", s.line_numbers);
    if (s.theme != 0) {
        e->SetAttribute("theme", s.theme);
    }
}

void WriteMainFrame(XMLElement* states, const AppSettings& s) {
    const Rect32& r = s.frame_rect;
    XMLElement* e = states->InsertNewChildElement("MainFrame");
    e->SetAttribute("x", r.left);
    e->SetAttribute("y", r.top);
    e->SetAttribute("width", ClampToInt32(int64_t{r.right} - r.left));
    e->SetAttribute("height", ClampToInt32(int64_t{r.bottom} - r.top));
    SetBool(e, "maximized", s.maximized);
    SetBool(e, "show_toolbar", s.show_toolbar);
    SetBool(e, "show_statusbar", s.show_statusbar);
    SetBool(e, "follow_file", s.follow_file);
    if (s.save_file_history && !s.last_folder.empty()) {
        SetText(e, "last_folder", s.last_folder);
    }
}

template <typename List>
void WriteTexts(XMLElement* parent, const char* list_name, const char* child, const char* attribute,
                const List& list) {
    XMLElement* e = parent->InsertNewChildElement(list_name);
    for (const std::u16string& text : list) {
        SetText(e->InsertNewChildElement(child), attribute, text);
    }
}

// Adds the chosen encodings to the File elements WriteTexts made, one per
// recent file in order.
void WriteRecentEncodings(XMLElement* list, const AppSettings& s) {
    auto path = s.recent_files.begin();
    for (XMLElement* e = list->FirstChildElement("File");
         e != nullptr && path != s.recent_files.end(); e = e->NextSiblingElement("File"), ++path) {
        auto chosen = s.recent_encodings.find(*path);
        if (chosen != s.recent_encodings.end() && !chosen->second.empty()) {
            e->SetAttribute("encoding", chosen->second.c_str());
        }
    }
}

void WriteStates(XMLElement* root, const AppSettings& s) {
    XMLElement* states = root->InsertNewChildElement("States");
    WriteApplication(states, s);
    WriteMainFrame(states, s);
    if (s.save_file_history) {
        WriteTexts(states, "RecentFiles", "File", "path", s.recent_files);
        WriteRecentEncodings(states->LastChildElement("RecentFiles"), s);
    }
    if (s.save_query_history) {
        WriteTexts(states, "MruQueries", "Query", "text", s.mru_queries);
        WriteTexts(states, "AllQueries", "Query", "text", s.all_queries);
    }
    if (s.save_tester_history) {
        XMLElement* tester = states->InsertNewChildElement("RegexTester");
        WriteTexts(tester, "TextMru", "Text", "value", s.tester_text_mru);
        WriteTexts(tester, "RegexMru", "Regex", "value", s.tester_regex_mru);
    }
}

void WriteOptions(XMLElement* root, const AppSettings& s) {
    XMLElement* options = root->InsertNewChildElement("Options");
    XMLElement* general = options->InsertNewChildElement("General");
    SetBool(general, "save_file_history", s.save_file_history);
    SetBool(general, "save_query_history", s.save_query_history);
    SetBool(general, "save_tester_history", s.save_tester_history);
    SetText(general, "hilite_color", FormatColor(s.hilite_color, true));
    if (!s.ansi_code_page.empty()) {
        SetText(general, "ansi_code_page", s.ansi_code_page);
    }
    XMLElement* rules = options->InsertNewChildElement("Highlighters");
    for (const HighlightRule& rule : s.highlight_rules) {
        XMLElement* e = rules->InsertNewChildElement("Rule");
        SetText(e, "text", rule.text);
        e->SetAttribute("query_mode", rule.query_mode);
        SetBool(e, "match_case", rule.match_case);
        SetBool(e, "whole_word", rule.whole_word);
        if (rule.foreground) {
            SetText(e, "foreground", FormatColor(*rule.foreground, true));
        }
        if (rule.background) {
            SetText(e, "background", FormatColor(*rule.background, true));
        }
        SetBool(e, "enabled", rule.enabled);
    }
}

// The document as text. The printer leaves a carriage return in an attribute
// value as it is, and every reader turns it into a line feed; a character
// reference keeps it. The printer's own line breaks are line feeds, so every
// carriage return in its output belongs to a value.
std::string PrintSettings(const AppSettings& s) {
    XMLDocument document;
    document.InsertEndChild(document.NewDeclaration());
    XMLElement* root = document.NewElement(kRootName);
    document.InsertEndChild(root);
    root->SetAttribute("version", kVersion);
    root->SetAttribute("xmlns", kNamespace);
    WriteStates(root, s);
    WriteOptions(root, s);
    tinyxml2::XMLPrinter printer;
    document.Print(&printer);
    std::string text;
    for (const char* c = printer.CStr(); *c != '\0'; ++c) {
        if (*c == '\r') {
            text += "&#13;";
        } else {
            text += *c;
        }
    }
    return text;
}

}  // namespace

AppSettings& AppSettings::Instance() {
    static AppSettings settings;
    return settings;
}

namespace {

// Keeps a settings file that exists but could not be used under path +
// ".bad" (replacing an earlier one), so that the next save does not destroy
// it, and says so on stderr.
void SetAsideUnusable(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    std::string kept = path + ".bad";
    if (::rename(path.c_str(), kept.c_str()) == 0) {
        std::fprintf(stderr, "linesift: %s could not be read; it was kept as %s\n", path.c_str(),
                     kept.c_str());
    } else {
        std::fprintf(stderr, "linesift: %s could not be read, nor kept as %s: %s\n", path.c_str(),
                     kept.c_str(), std::strerror(errno));
    }
}

}  // namespace

bool AppSettings::LoadSettings() {
    std::string path = ToNativePath(GetSettingsFilePath());
    bool ok = false;
    try {
        ok = ReadSettings(path, *this);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        SetAsideUnusable(path);
    }
    return ok;
}

bool AppSettings::SaveSettings() const {
    try {
        std::string text = PrintSettings(*this);
        return EnsureDataFolder() && WriteFileReplacing(ToNativePath(GetSettingsFilePath()), text);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace linesift
