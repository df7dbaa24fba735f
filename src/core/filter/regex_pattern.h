#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filter/match_span.h"

namespace linesift {

// The syntax a pattern is compiled with: Perl syntax, case-sensitive or not.
enum class RegexSyntax : uint8_t {
    Perl = 0,
    PerlIcase = 1,
};

// A sub-expression of a match that took part: its group index (0 for the
// whole match) and the text it matched.
struct SubMatch {
    int32_t index = 0;
    std::u16string text;

    bool operator==(const SubMatch&) const = default;
};

// One compiled regular expression over UTF-16 text, with the results of its
// last Search and its error state. Engine errors never leave it: a text that
// does not compile leaves the pattern as it was and records why; a search the
// engine gives up on (its complexity or memory limits) counts as not found
// and records why, unless Test can decide it otherwise (see Test). A surrogate
// pair is one character; a lone surrogate is a character of its own.
// A copy shares the compiled expression and has its own results and scratch
// space, so each thread searches with its own copy.
class RegexPattern {
  public:
    RegexPattern();
    ~RegexPattern();
    RegexPattern(const RegexPattern& other);
    RegexPattern& operator=(const RegexPattern& other);
    RegexPattern(RegexPattern&&) noexcept;
    RegexPattern& operator=(RegexPattern&&) noexcept;

    // Compiles text with the current syntax (Perl, case-sensitive, until one
    // was chosen). False when it does not compile.
    bool Compile(std::u16string_view text);
    // Chooses the syntax, then compiles text with it.
    bool Compile(std::u16string_view text, RegexSyntax syntax);
    // Compiles WildcardToRegex(text) with the current syntax.
    bool CompileWildcard(std::u16string_view text);
    // Compiles the held expression again case-sensitively or not; nothing
    // happens without an expression or when it already behaves so.
    void SetCaseSensitive(bool caseSensitive);

    bool IsValid() const { return compiled_ != nullptr; }
    RegexSyntax Syntax() const { return syntax_; }
    // The text of the held expression; empty without one.
    std::u16string_view ExpressionText() const;

    // Whether the expression matches anywhere in text, "^" and "$" matching
    // only at its ends. An empty text never matches. When the engine gives up
    // on a text and the expression is one LinearMatcher takes, that decides
    // it without an error; from then on this copy asks LinearMatcher first.
    bool Test(std::u16string_view text);
    // Searches [begin, end), whose first character counts as the start of
    // the text, and keeps the match for MatchPosition, MatchLength and
    // SubMatchTexts. An empty range never matches.
    bool Search(const char16_t* begin, const char16_t* end);
    // Start of the last match, relative to the searched range, and its length.
    int32_t MatchPosition() const;
    int32_t MatchLength() const;
    // The text of every sub-expression of the last match that took part, in
    // index order (the whole match first). False when there is none.
    bool SubMatchTexts(std::vector<std::u16string>& texts) const;
    // The same sub-expressions, each with its group index.
    bool SubMatches(std::vector<SubMatch>& subs) const;

    // The highlight scan: appends the successive non-empty matches in text.
    // Each search after the first starts where the previous match ended, with
    // the text before it visible (to "^", "\b" and look-behind); an empty
    // match adds nothing and the scan goes on one character later. Leaves
    // the results of the last Search untouched.
    void AppendMatchSpans(std::u16string_view text, std::vector<MatchSpan>& spans);
    // The pieces of text between successive matches; see SplitByPattern.
    bool Split(std::u16string_view text, bool keepEmpty, std::vector<std::u16string>& pieces);

    bool HasError() const { return !error_.empty(); }
    // The engine's message about the last failure, or "Success".
    std::u16string ErrorText() const;

  private:
    struct Compiled;
    struct Scratch;
    bool CompileText(std::u16string_view text);
    void RecordError(const char* what);
    Scratch& Work();

    std::shared_ptr<const Compiled> compiled_;
    RegexSyntax syntax_ = RegexSyntax::Perl;
    std::unique_ptr<Scratch> scratch_;
    std::vector<std::pair<int32_t, int32_t>> results_;  // start, end; -1 when not taking part
    std::u16string searched_;
    std::string error_;
};

// The text with a backslash before each of . [ ] { } ( ) \ * + ? | ^ $.
std::u16string EscapeRegexLiteral(std::u16string_view text);

// A wildcard pattern ("*" any text, "?" any character, "[...]" a set) as a
// regular expression.
std::u16string WildcardToRegex(std::u16string_view text);

// Replaces pieces by the parts of text between the pattern's successive
// matches (all of text when nothing matches). Empty parts are kept only with
// keepEmpty, which also adds an empty last piece when text ends with a match.
// An empty text gives no pieces. Returns whether there are pieces.
bool SplitByPattern(RegexPattern& pattern, std::u16string_view text, bool keepEmpty,
                    std::vector<std::u16string>& pieces);

// Whether the expression engine counts the code point as a word character
// (for "\w" and "\b"): letters, decimal digits, non-spacing marks and "_".
bool IsRegexWordChar(char32_t c);

}  // namespace linesift
