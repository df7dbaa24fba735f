#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace linesift {

// Decides whether a Perl-syntax regular expression matches anywhere in a
// text without backtracking, in time linear in the text's length (a Thompson
// automaton run over all starts at once), for the patterns whose meaning it
// reproduces exactly: single-character items (literals, sets, class escapes,
// the dot), groups, alternation, greedy and lazy repeats, "^" and "$" (at the
// ends of the text only), \A, \z, \b and \B.
// Which characters each single-character item matches is asked of the
// backtracking engine itself, with the same options, one character at a time;
// only the structure runs on the automaton. So both engines give the same
// answer on every text both decide (checked on a randomized corpus).
// Texts are code points as the backtracking engine reads them (a lone
// surrogate stands for itself). Keeps scratch space: one thread at a time.
class LinearMatcher {
  public:
    enum class Verdict : uint8_t { NoMatch, Match, Undecided };

    // Null when the pattern holds anything outside that subset (back
    // references, look-around, possessive repeats, inline options, ...) or
    // in a form the reader does not follow.
    static std::unique_ptr<LinearMatcher> Create(std::span<const int32_t> pattern, bool icase);

    ~LinearMatcher();
    LinearMatcher(const LinearMatcher&) = delete;
    LinearMatcher& operator=(const LinearMatcher&) = delete;

    // Whether the pattern matches anywhere in text. Undecided when memory
    // ran out or the text would take too long (its length times the size of
    // the pattern, with repeats unrolled, is very large).
    Verdict Decide(std::span<const int32_t> text);

  private:
    struct State;
    explicit LinearMatcher(std::unique_ptr<State> state);

    std::unique_ptr<State> state_;
};

}  // namespace linesift
