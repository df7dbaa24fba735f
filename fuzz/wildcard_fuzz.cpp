// Wildcards and splitting: any wildcard either compiles or fails cleanly with
// a message, one without a bracket always compiles and matches its own text;
// splitting any text by any pattern gives pieces that stand in the text in
// order, without overlap.
//
// Input: a switch byte (bit 0 keep empty pieces, bit 1 ignore case, bit 2
// the pattern is a regular expression rather than a wildcard, bit 4 UTF-16),
// then the pattern, a line feed, and the text to split.
#include <cstdint>
#include <string>
#include <vector>

#include "filter/regex_pattern.h"
#include "fuzz_support.h"

namespace linesift {
namespace {

// A pattern without an expression whose later compiles use syntax: a text
// that does not compile chooses the syntax and leaves no expression.
RegexPattern EmptyPattern(RegexSyntax syntax) {
    RegexPattern pattern;
    fuzz::Check(!pattern.Compile(u"(", syntax) && !pattern.IsValid(), "\"(\" compiles");
    return pattern;
}

void CheckCompileResult(RegexPattern& pattern, bool compiled) {
    fuzz::Check(compiled == pattern.IsValid(), "Compile's answer and IsValid disagree");
    fuzz::Check(compiled != pattern.HasError(), "a failed compile records no error");
    fuzz::Check(compiled == (pattern.ErrorText() == u"Success"), "the error text is wrong");
}

void CheckWildcard(const std::u16string& wildcard, RegexSyntax syntax) {
    std::u16string regex = WildcardToRegex(wildcard);
    RegexPattern pattern = EmptyPattern(syntax);
    bool compiled = pattern.CompileWildcard(wildcard);
    CheckCompileResult(pattern, compiled);
    if (wildcard.find(u'[') != std::u16string::npos) {
        return;
    }
    fuzz::Check(compiled, "a wildcard without a bracket does not compile");
    fuzz::Check(pattern.ExpressionText() == regex, "the compiled wildcard is another text");
    // The engine may give up on a text of many stars (its complexity limit).
    fuzz::Check(wildcard.empty() || pattern.Test(wildcard) || pattern.HasError(),
                "a wildcard does not match its own text");
}

void CheckSplit(RegexPattern& pattern, const std::u16string& text, bool keepEmpty) {
    std::vector<std::u16string> pieces;
    bool any = SplitByPattern(pattern, text, keepEmpty, pieces);
    fuzz::Check(any == !pieces.empty(), "SplitByPattern answers wrongly");
    fuzz::Check(!text.empty() || pieces.empty(), "an empty text gives pieces");
    if (!pattern.IsValid() && !text.empty()) {
        fuzz::Check(pieces.size() == 1 && pieces[0] == text, "no pattern must give the text");
    }
    size_t at = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        fuzz::Check(keepEmpty || !pieces[i].empty(), "an empty piece was kept");
        bool lastEmpty = keepEmpty && i + 1 == pieces.size() && pieces[i].empty();
        size_t found = text.find(pieces[i], at);
        fuzz::Check(lastEmpty || found != std::u16string::npos, "a piece is not in the text");
        at = lastEmpty ? text.size() : found + pieces[i].size();
    }
}

}  // namespace
}  // namespace linesift

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace linesift;
    if (size == 0) {
        return 0;
    }
    const bool keepEmpty = (data[0] & 1) != 0;
    const RegexSyntax syntax = (data[0] & 2) != 0 ? RegexSyntax::PerlIcase : RegexSyntax::Perl;
    const bool asRegex = (data[0] & 4) != 0;
    std::u16string input = fuzz::InputText(data, size);
    size_t cut = input.find(u'\n');
    std::u16string source = input.substr(0, cut);
    std::u16string text = cut == std::u16string::npos ? u"" : input.substr(cut + 1);
    CheckWildcard(source, syntax);
    RegexPattern pattern = EmptyPattern(syntax);
    bool compiled = asRegex ? pattern.Compile(source) : pattern.CompileWildcard(source);
    CheckCompileResult(pattern, compiled);
    CheckSplit(pattern, text, keepEmpty);
    return 0;
}
