#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace linesift {

// Strings that every match of a Perl-syntax regular expression contains, so
// that lines lacking one of them can be skipped without the engine. Reads
// only the pattern's top level, conservatively: runs of plain characters that
// no quantifier makes optional; groups, sets, classes and assertions end a
// run. Gives nothing for a pattern with top-level alternation or with a
// construct it does not follow (inline options, verbs, \Q...\E, back
// references, escapes with arguments). With icase, characters outside the
// BMP end a run too, since their case mapping is not unit by unit.
// The strings are as written; with icase they are to be compared in lower case.
std::vector<std::u16string> FindRequiredLiterals(std::u16string_view pattern, bool icase);

}  // namespace linesift
