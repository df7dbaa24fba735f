#include "filter/required_literals.h"

#include <unicode/utf16.h>

namespace linesift {
namespace {

constexpr std::u16string_view kAtomEscapes = u"dDlLsSuUwWhHvVCRXbBAzZGKaefnrt";
constexpr std::u16string_view kAssertionEscapes = u"<>`'";

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Constructs that change how the rest of the pattern reads, or let a match
// end early, make the whole reading unsafe.
bool HasUnfollowedConstruct(std::u16string_view p) {
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        if (p[i] == u'\\' && p[i + 1] == u'Q') {
            return true;
        }
        if (p[i] == u'(' && p[i + 1] == u'*') {
            return true;
        }
        if (p[i] == u'(' && p[i + 1] == u'?' && i + 2 < p.size()) {
            char16_t c = p[i + 2];
            if (IsAsciiLetter(c) || c == u'-' || c == u'^') {
                return true;
            }
        }
    }
    return false;
}

class LiteralReader {
  public:
    LiteralReader(std::u16string_view pattern, bool icase) : p_(pattern), icase_(icase) {}

    std::vector<std::u16string> Read() {
        if (HasUnfollowedConstruct(p_)) {
            return {};
        }
        while (pos_ < p_.size() && !failed_) {
            ReadItem();
        }
        EndRun();
        return failed_ ? std::vector<std::u16string>() : runs_;
    }

  private:
    void ReadItem() {
        char16_t c = p_[pos_];
        switch (c) {
            case u'|':
            case u')':
            case u'*':
            case u'+':
            case u'?':
            case u'{':
                failed_ = true;
                return;
            case u'(':
                if (p_.substr(pos_, 3) == u"(?#") {
                    SkipComment();
                } else {
                    SkipGroup();
                }
                return Separator();
            case u'[':
                SkipSet();
                return Separator();
            case u'.':
            case u'^':
            case u'$':
                ++pos_;
                return Separator();
            case u'\\':
                return ReadEscape();
            default:
                return Literal(pos_);
        }
    }

    void ReadEscape() {
        if (pos_ + 1 >= p_.size()) {
            failed_ = true;
            return;
        }
        char16_t d = p_[pos_ + 1];
        if (kAtomEscapes.find(d) != std::u16string_view::npos ||
            kAssertionEscapes.find(d) != std::u16string_view::npos) {
            pos_ += 2;
            return Separator();
        }
        if (IsAsciiLetter(d) || IsDigit(d)) {
            failed_ = true;
            return;
        }
        ++pos_;
        Literal(pos_);
    }

    // The code point at i is a literal atom, perhaps quantified.
    void Literal(size_t i) {
        size_t length =
            (U16_IS_LEAD(p_[i]) && i + 1 < p_.size() && U16_IS_TRAIL(p_[i + 1])) ? 2 : 1;
        pos_ = i + length;
        if (icase_ && length == 2) {
            return Separator();
        }
        size_t atomStart = run_.size();
        run_.append(p_.substr(i, length));
        int minimum = ReadQuantifier();
        if (minimum == 0) {
            run_.resize(atomStart);
        }
        if (minimum >= 0) {
            EndRun();
        }
    }

    // An atom that is no literal: ends the run; its quantifier is skipped.
    void Separator() {
        EndRun();
        ReadQuantifier();
    }

    // Reads a quantifier at pos_: its minimum count, or -1 when there is none.
    int ReadQuantifier() {
        if (pos_ >= p_.size()) {
            return -1;
        }
        int minimum = -1;
        char16_t c = p_[pos_];
        if (c == u'*' || c == u'?') {
            minimum = 0;
            ++pos_;
        } else if (c == u'+') {
            minimum = 1;
            ++pos_;
        } else if (c == u'{') {
            minimum = ReadBraces();
        }
        if (minimum >= 0 && pos_ < p_.size() && (p_[pos_] == u'?' || p_[pos_] == u'+')) {
            ++pos_;
        }
        return minimum;
    }

    // {n}, {n,} or {n,m} at pos_; anything else fails the reading.
    int ReadBraces() {
        size_t i = pos_ + 1;
        int minimum = 0;
        size_t digits = 0;
        for (; i < p_.size() && IsDigit(p_[i]) && digits < 6; ++i, ++digits) {
            minimum = minimum * 10 + (p_[i] - u'0');
        }
        if (digits == 0 || i >= p_.size()) {
            failed_ = true;
            return -1;
        }
        if (p_[i] == u',') {
            for (++i; i < p_.size() && IsDigit(p_[i]); ++i) {
            }
        }
        if (i >= p_.size() || p_[i] != u'}') {
            failed_ = true;
            return -1;
        }
        pos_ = i + 1;
        return minimum;
    }

    void SkipGroup() {
        int depth = 0;
        while (pos_ < p_.size()) {
            char16_t c = p_[pos_];
            if (c == u'\\') {
                pos_ += 2;
            } else if (c == u'[') {
                SkipSet();
            } else if (c == u'(' && p_.substr(pos_, 3) == u"(?#") {
                SkipComment();
            } else {
                ++pos_;
                depth += c == u'(' ? 1 : c == u')' ? -1 : 0;
                if (depth == 0) {
                    return;
                }
            }
            if (failed_) {
                return;
            }
        }
        failed_ = true;
    }

    void SkipComment() {
        size_t close = p_.find(u')', pos_);
        failed_ = close == std::u16string_view::npos;
        pos_ = failed_ ? p_.size() : close + 1;
    }

    // A set "[...]", with "]" first taken literally, escapes, and the
    // "[:class:]", "[=x=]" and "[.x.]" forms inside.
    void SkipSet() {
        size_t i = pos_ + 1;
        if (i < p_.size() && p_[i] == u'^') {
            ++i;
        }
        if (i < p_.size() && p_[i] == u']') {
            ++i;
        }
        while (i < p_.size()) {
            char16_t c = p_[i];
            if (c == u']') {
                pos_ = i + 1;
                return;
            }
            if (c == u'\\') {
                i += 2;
            } else if (c == u'[' && i + 1 < p_.size() &&
                       std::u16string_view(u":.=").find(p_[i + 1]) != std::u16string_view::npos) {
                size_t close = p_.find(std::u16string{p_[i + 1], u']'}, i + 2);
                if (close == std::u16string_view::npos) {
                    break;
                }
                i = close + 2;
            } else {
                ++i;
            }
        }
        failed_ = true;
        pos_ = p_.size();
    }

    void EndRun() {
        if (!run_.empty()) {
            runs_.push_back(run_);
            run_.clear();
        }
    }

    std::u16string_view p_;
    bool icase_;
    size_t pos_ = 0;
    bool failed_ = false;
    std::u16string run_;
    std::vector<std::u16string> runs_;
};

}  // namespace

std::vector<std::u16string> FindRequiredLiterals(std::u16string_view pattern, bool icase) {
    return LiteralReader(pattern, icase).Read();
}

}  // namespace linesift
