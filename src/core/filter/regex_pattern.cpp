#include "filter/regex_pattern.h"

#include <unicode/utf16.h>
#include <boost/regex/icu.hpp>

#include <algorithm>
#include <bitset>
#include <climits>
#include <stdexcept>

#include "filter/linear_matcher.h"
#include "platform/char_class.h"
#include "platform/code_page.h"

namespace linesift {
namespace {

namespace rc = boost::regex_constants;
using Iterator = const UChar32*;

// The code points of UTF-16 text, as the engine reads them: a surrogate pair
// is one code point, a lone surrogate stands for itself. Reuses its memory.
class Utf32Text {
  public:
    void Assign(std::u16string_view text) {
        Reserve(text.size());
        offsets_.clear();
        size_t n = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (U16_IS_LEAD(text[i]) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
                AssignWithPairs(text);
                return;
            }
            units_[n++] = text[i];
        }
        size_ = n;
    }
    Iterator begin() const { return units_.get(); }
    Iterator end() const { return units_.get() + size_; }
    size_t size() const { return size_; }
    // The UTF-16 offset where code point i begins; i may be size().
    size_t Utf16Offset(size_t i) const { return offsets_.empty() ? i : offsets_[i]; }
    size_t Utf16Offset(Iterator it) const { return Utf16Offset(static_cast<size_t>(it - begin())); }

  private:
    void Reserve(size_t units) {
        if (units > capacity_) {
            capacity_ = std::max({units, capacity_ * 2, size_t{256}});
            units_.reset(new UChar32[capacity_]);
        }
    }
    void AssignWithPairs(std::u16string_view text) {
        size_t n = 0;
        for (size_t i = 0; i < text.size(); ++n) {
            offsets_.push_back(static_cast<uint32_t>(i));
            UChar32 c = text[i++];
            if (U16_IS_LEAD(c) && i < text.size() && U16_IS_TRAIL(text[i])) {
                c = U16_GET_SUPPLEMENTARY(c, text[i]);
                ++i;
            }
            units_[n] = c;
        }
        offsets_.push_back(static_cast<uint32_t>(text.size()));
        size_ = n;
    }

    std::unique_ptr<UChar32[]> units_;
    size_t capacity_ = 0;
    size_t size_ = 0;
    std::vector<uint32_t> offsets_;  // empty when every code point is one unit
};

std::vector<UChar32> CodePoints(std::u16string_view text) {
    Utf32Text decoded;
    decoded.Assign(text);
    return std::vector<UChar32>(decoded.begin(), decoded.end());
}

// The parser may read the character just past the end of an unterminated
// range in a set ("[a-z"), so the text it is given always has one more, zero.
boost::u32regex MakeRegex(std::vector<UChar32> text, rc::syntax_option_type flags) {
    const size_t size = text.size();
    text.push_back(0);
    // Through const pointers: the iterator constructor would parse a copy.
    const UChar32* begin = text.data();
    return boost::u32regex(begin, begin + size, flags);
}

bool StartsLookaround(std::u16string_view rest) {
    for (std::u16string_view open : {u"(?=", u"(?!", u"(?<=", u"(?<!"}) {
        if (rest.substr(0, open.size()) == open) {
            return true;
        }
    }
    return false;
}

bool InLookaround(const std::vector<bool>& groups) {
    return !groups.empty() && groups.back();
}

bool IsRepeatChar(char16_t c) {
    return c == u'*' || c == u'+' || c == u'?' || c == u'}';
}

// Constructs the engine takes but then mishandles, or null when there are
// none: \K inside a look-around assertion (Perl refuses it; the engine reports
// matches that end before they start or never move on, so a scan over them
// would not end), and a comment after a possessive repeat (the parser never
// returns). Sets, quoted \Q...\E text and escaped characters are skipped;
// a doubtful case is refused.
const char* FindMishandledConstruct(std::u16string_view text) {
    std::vector<bool> groups;  // per open group: whether it lies in a look-around
    bool inSet = false;
    int repeat = 0;  // 1 just after a repeat, 2 after a possessive one
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        int after = 0;
        if (c == u'\\' && i + 1 < text.size()) {
            char16_t next = text[++i];
            if (next == u'Q' && !inSet) {
                size_t e = text.find(u"\\E", i);
                i = e == std::u16string_view::npos ? text.size() : e + 1;
            } else if (next == u'K' && !inSet && InLookaround(groups)) {
                return "\\K is not allowed in a look-around assertion";
            }
        } else if (inSet) {
            inSet = c != u']';
        } else if (c == u'[') {
            inSet = true;
            i += text.substr(i + 1, 1) == u"^" ? 1 : 0;
            i += text.substr(i + 1, 1) == u"]" ? 1 : 0;
        } else if (c == u'(') {
            if (repeat == 2 && text.substr(i, 3) == u"(?#") {
                return "a comment may not follow a possessive repeat";
            }
            groups.push_back(StartsLookaround(text.substr(i)) || InLookaround(groups));
        } else if (c == u')' && !groups.empty()) {
            groups.pop_back();
        } else if (IsRepeatChar(c)) {
            after = repeat == 1 && c == u'+' ? 2 : 1;
        } else if (repeat == 2 && IsWhiteSpaceUnit(c)) {
            after = 2;  // skipped there in extended mode
        }
        repeat = after;
    }
    return nullptr;
}

}  // namespace

// Both engine expressions are compiled once: the one Search and the highlight
// scan use, and the one Test uses, which captures nothing and anchors "^" and
// "$" to the ends of the text.
struct RegexPattern::Compiled {
    std::u16string text;
    RegexSyntax syntax;
    boost::u32regex main;
    boost::u32regex test;

    Compiled(std::u16string_view source, RegexSyntax how) : text(source), syntax(how) {
        if (const char* why = FindMishandledConstruct(source)) {
            throw std::runtime_error(why);
        }
        std::vector<UChar32> points = CodePoints(source);
        rc::syntax_option_type flags = rc::perl;
        if (syntax == RegexSyntax::PerlIcase) {
            flags |= rc::icase;
        }
        main = MakeRegex(points, flags);
        try {
            test = MakeRegex(points, flags | rc::nosubs | rc::no_mod_m);
        } catch (const boost::regex_error&) {
            // Back references and recursion need their groups numbered.
            test = MakeRegex(points, flags | rc::no_mod_m);
        }
    }
};

// The linear matcher is made for one expression, the first time the engine
// gives up on a line; once it has decided such a line, Test asks it first.
struct RegexPattern::Scratch {
    Utf32Text text;
    boost::match_results<Iterator> what;
    std::weak_ptr<const Compiled> linear_for;
    std::unique_ptr<LinearMatcher> linear;  // null: the expression is not one it decides
    bool linear_made = false;
    bool prefer_linear = false;

    void KeepLinearFor(const std::shared_ptr<const Compiled>& compiled) {
        if (linear_for.owner_before(compiled) || compiled.owner_before(linear_for)) {
            linear_for = compiled;
            linear.reset();
            linear_made = false;
            prefer_linear = false;
        }
    }

    // Decides the text last assigned.
    LinearMatcher::Verdict DecideLinearly(const Compiled& compiled) {
        if (!linear_made) {
            linear_made = true;
            linear = LinearMatcher::Create(CodePoints(compiled.text),
                                           compiled.syntax == RegexSyntax::PerlIcase);
        }
        if (linear == nullptr) {
            return LinearMatcher::Verdict::Undecided;
        }
        return linear->Decide(std::span<const int32_t>(text.begin(), text.size()));
    }
};

RegexPattern::RegexPattern() = default;
RegexPattern::~RegexPattern() = default;
RegexPattern::RegexPattern(RegexPattern&&) noexcept = default;
RegexPattern& RegexPattern::operator=(RegexPattern&&) noexcept = default;

RegexPattern::RegexPattern(const RegexPattern& other)
    : compiled_(other.compiled_),
      syntax_(other.syntax_),
      results_(other.results_),
      searched_(other.searched_),
      error_(other.error_) {}

RegexPattern& RegexPattern::operator=(const RegexPattern& other) {
    if (this != &other) {
        compiled_ = other.compiled_;
        syntax_ = other.syntax_;
        results_ = other.results_;
        searched_ = other.searched_;
        error_ = other.error_;
    }
    return *this;
}

RegexPattern::Scratch& RegexPattern::Work() {
    if (scratch_ == nullptr) {
        scratch_ = std::make_unique<Scratch>();
    }
    return *scratch_;
}

void RegexPattern::RecordError(const char* what) {
    error_ = (what != nullptr && *what != 0) ? what : "Unknown error";
}

std::u16string RegexPattern::ErrorText() const {
    return error_.empty() ? std::u16string(u"Success") : Utf8ToUtf16(error_);
}

bool RegexPattern::CompileText(std::u16string_view text) {
    error_.clear();
    try {
        compiled_ = std::make_shared<const Compiled>(text, syntax_);
        return true;
    } catch (const std::exception& e) {
        RecordError(e.what());
    } catch (...) {
        RecordError(nullptr);
    }
    return false;
}

bool RegexPattern::Compile(std::u16string_view text) {
    return CompileText(text);
}

bool RegexPattern::Compile(std::u16string_view text, RegexSyntax syntax) {
    syntax_ = syntax;
    return CompileText(text);
}

bool RegexPattern::CompileWildcard(std::u16string_view text) {
    return CompileText(WildcardToRegex(text));
}

void RegexPattern::SetCaseSensitive(bool caseSensitive) {
    if (compiled_ == nullptr || (compiled_->syntax == RegexSyntax::Perl) == caseSensitive) {
        return;
    }
    std::u16string text = compiled_->text;
    Compile(text, caseSensitive ? RegexSyntax::Perl : RegexSyntax::PerlIcase);
}

std::u16string_view RegexPattern::ExpressionText() const {
    return compiled_ != nullptr ? std::u16string_view(compiled_->text) : std::u16string_view();
}

bool RegexPattern::Test(std::u16string_view text) {
    error_.clear();
    if (compiled_ == nullptr || text.empty()) {
        return false;
    }
    using Verdict = LinearMatcher::Verdict;
    try {
        Scratch& s = Work();
        s.text.Assign(text);
        s.KeepLinearFor(compiled_);
        if (s.prefer_linear) {
            if (Verdict v = s.DecideLinearly(*compiled_); v != Verdict::Undecided) {
                return v == Verdict::Match;
            }
        }
        try {
            return boost::regex_search(s.text.begin(), s.text.end(), s.what, compiled_->test,
                                       rc::match_default);
        } catch (const std::exception&) {
            Verdict v = s.prefer_linear ? Verdict::Undecided : s.DecideLinearly(*compiled_);
            if (v == Verdict::Undecided) {
                throw;
            }
            s.prefer_linear = true;
            return v == Verdict::Match;
        }
    } catch (const std::exception& e) {
        RecordError(e.what());
    }
    return false;
}

bool RegexPattern::Search(const char16_t* begin, const char16_t* end) {
    error_.clear();
    results_.clear();
    if (compiled_ == nullptr || begin == nullptr || begin >= end) {
        return false;
    }
    try {
        Scratch& s = Work();
        searched_.assign(begin, end);
        s.text.Assign(searched_);
        if (!boost::regex_search(s.text.begin(), s.text.end(), s.what, compiled_->main,
                                 rc::match_default)) {
            return false;
        }
        for (size_t i = 0; i < s.what.size(); ++i) {
            const auto& sub = s.what[static_cast<int>(i)];
            results_.emplace_back(
                sub.matched ? static_cast<int32_t>(s.text.Utf16Offset(sub.first)) : -1,
                sub.matched ? static_cast<int32_t>(s.text.Utf16Offset(sub.second)) : -1);
        }
        return true;
    } catch (const std::exception& e) {
        RecordError(e.what());
        results_.clear();
    }
    return false;
}

int32_t RegexPattern::MatchPosition() const {
    return results_.empty() ? -1 : results_[0].first;
}

int32_t RegexPattern::MatchLength() const {
    return results_.empty() ? 0 : results_[0].second - results_[0].first;
}

bool RegexPattern::SubMatchTexts(std::vector<std::u16string>& texts) const {
    std::vector<SubMatch> subs;
    SubMatches(subs);
    texts.clear();
    for (SubMatch& sub : subs) {
        texts.push_back(std::move(sub.text));
    }
    return !texts.empty();
}

bool RegexPattern::SubMatches(std::vector<SubMatch>& subs) const {
    subs.clear();
    for (size_t i = 0; i < results_.size(); ++i) {
        const auto [start, end] = results_[i];
        if (start >= 0) {
            subs.push_back(SubMatch{.index = static_cast<int32_t>(i),
                                    .text = searched_.substr(static_cast<size_t>(start),
                                                             static_cast<size_t>(end - start))});
        }
    }
    return !subs.empty();
}

void RegexPattern::AppendMatchSpans(std::u16string_view text, std::vector<MatchSpan>& spans) {
    error_.clear();
    if (compiled_ == nullptr || text.empty()) {
        return;
    }
    try {
        Scratch& s = Work();
        s.text.Assign(text);
        const Iterator base = s.text.begin();
        const Iterator last = s.text.end();
        for (Iterator from = base; from < last;) {
            // Passing the line's start as the base keeps the text before
            // from visible, without letting the engine read before the line.
            if (!boost::regex_search(from, last, s.what, compiled_->main, rc::match_default,
                                     base)) {
                break;
            }
            Iterator start = s.what[0].first;
            Iterator end = s.what[0].second;
            size_t endOffset = s.text.Utf16Offset(end);
            if (endOffset > static_cast<size_t>(INT32_MAX)) {
                break;
            }
            if (end > start) {
                spans.push_back({static_cast<int32_t>(s.text.Utf16Offset(start)),
                                 static_cast<int32_t>(endOffset)});
            }
            // Every search starts further on, whatever the match looked like.
            Iterator next = end > start ? end : start + 1;
            from = next > from ? next : from + 1;
        }
    } catch (const std::exception& e) {
        RecordError(e.what());
    }
}

bool RegexPattern::Split(std::u16string_view text, bool keepEmpty,
                         std::vector<std::u16string>& pieces) {
    error_.clear();
    pieces.clear();
    if (text.empty()) {
        return false;
    }
    if (compiled_ == nullptr) {
        pieces.emplace_back(text);
        return true;
    }
    try {
        Scratch& s = Work();
        s.text.Assign(text);
        using Tokens = boost::regex_token_iterator<Iterator, UChar32, boost::icu_regex_traits>;
        size_t lastEnd = 0;
        for (Tokens it(s.text.begin(), s.text.end(), compiled_->main, -1), end; it != end; ++it) {
            size_t from = s.text.Utf16Offset(it->first);
            lastEnd = s.text.Utf16Offset(it->second);
            if (keepEmpty || lastEnd > from) {
                pieces.emplace_back(text.substr(from, lastEnd - from));
            }
        }
        if (keepEmpty && lastEnd != text.size()) {
            pieces.emplace_back();
        }
    } catch (const std::exception& e) {
        RecordError(e.what());
        pieces.assign(1, std::u16string(text));
    }
    return !pieces.empty();
}

std::u16string EscapeRegexLiteral(std::u16string_view text) {
    static constexpr std::u16string_view kSpecial = u".[]{}()\\*+?|^$";
    std::u16string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        if (kSpecial.find(c) != std::u16string_view::npos) {
            out.push_back(u'\\');
        }
        out.push_back(c);
    }
    return out;
}

namespace {

// Copies a bracket expression that starts at text[i] (an opening bracket) up
// to, not including, its closing bracket. False when the text ends first.
bool CopyBracketExpression(std::u16string_view text, size_t& i, std::u16string& out) {
    out.push_back(text[i++]);
    if (i < text.size() && text[i] == u'^') {
        out.push_back(text[i++]);
    }
    if (i < text.size() && text[i] == u']') {
        out.push_back(text[i++]);
    }
    for (; i < text.size() && text[i] != u']'; ++i) {
        out.append(text[i] == u'\\' ? u"\\\\" : std::u16string(1, text[i]));
    }
    return i < text.size();
}

}  // namespace

std::u16string WildcardToRegex(std::u16string_view text) {
    static constexpr std::u16string_view kEscaped = u"$()+.\\^{|}";
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        char16_t c = text[i];
        if (c == u'[') {
            if (!CopyBracketExpression(text, i, out)) {
                break;
            }
            continue;
        }
        if (kEscaped.find(c) != std::u16string_view::npos) {
            out.push_back(u'\\');
            out.push_back(c);
        } else if (c == u'*') {
            out.append(u".*");
        } else if (c == u'?') {
            out.push_back(u'.');
        } else {
            out.push_back(c);
        }
        ++i;
    }
    return out;
}

bool SplitByPattern(RegexPattern& pattern, std::u16string_view text, bool keepEmpty,
                    std::vector<std::u16string>& pieces) {
    return pattern.Split(text, keepEmpty, pieces);
}

namespace {

struct WordClass {
    boost::icu_regex_traits traits;
    boost::icu_regex_traits::char_class_type mask;
    std::bitset<65536> bmp;

    WordClass() {
        const UChar32 w[] = {'w'};
        mask = traits.lookup_classname(w, w + 1);
        for (UChar32 c = 0; c < 65536; ++c) {
            bmp[static_cast<size_t>(c)] = traits.isctype(c, mask);
        }
    }
};

const WordClass& Words() {
    static const WordClass words;
    return words;
}

}  // namespace

bool IsRegexWordChar(char32_t c) {
    const WordClass& words = Words();
    if (c < 65536) {
        return words.bmp[c];
    }
    return words.traits.isctype(static_cast<UChar32>(c), words.mask);
}

}  // namespace linesift
