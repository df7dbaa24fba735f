#include "filter/linear_matcher.h"

#include <boost/regex/icu.hpp>

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace linesift {
namespace {

namespace rc = boost::regex_constants;
using Points = std::span<const int32_t>;
using ItemText = std::vector<UChar32>;

constexpr int32_t kEnd = -1;
constexpr int kUnbounded = -1;
// Past these the automaton would be too large to be worth building.
constexpr size_t kMaxItems = 200;
constexpr size_t kMaxStates = size_t{1} << 16;
constexpr int kMaxRepeat = 1000;
constexpr int kMaxDepth = 100;
constexpr size_t kMaxCachedPoints = size_t{1} << 16;
// The states one text may visit, a few tenths of a second at most: the time
// is linear, but a large automaton over a long line still takes long.
constexpr size_t kMaxSteps = size_t{1} << 25;

bool IsDigit(int32_t c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(int32_t c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsLetter(int32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool OneOf(int32_t c, std::string_view set) {
    return c > 0 && c < 128 && set.find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsRepeatStart(int32_t c) {
    return OneOf(c, "*+?{");
}

// ASCII punctuation that a backslash turns into itself. \< \> \` and \'
// are assertions to the engine, so they are not here.
bool IsQuotedPunctuation(int32_t c) {
    return OneOf(c, "!\"#$%&()*+,-./:;=?@[\\]^{|}~ ");
}

// Escapes that stand for one character: classes, control characters and the
// engine's vertical and horizontal space.
bool IsOneCharacterEscape(int32_t c) {
    return OneOf(c, "wWdDsShHvVtnrfea");
}

enum Assertion : uint32_t { kTextStart, kTextEnd, kWordBoundary, kNotWordBoundary };

// The pattern as a tree. An item is a single-character item: a literal, a
// set, a class escape or the dot.
struct Node {
    enum class Kind : uint8_t { Item, Assert, Sequence, Alternation, Repeat };
    Kind kind = Kind::Sequence;
    uint32_t value = 0;  // Item: its index; Assert: an Assertion
    int min = 0;
    int max = 0;  // Repeat: kUnbounded when there is no upper limit
    std::vector<Node> children;
};

Node MakeNode(Node::Kind kind, uint32_t value = 0) {
    Node node;
    node.kind = kind;
    node.value = value;
    return node;
}

// Whether the node can match without reading a character.
bool CanMatchEmpty(const Node& node) {
    switch (node.kind) {
        case Node::Kind::Item:
            return false;
        case Node::Kind::Assert:
            return true;
        case Node::Kind::Sequence:
            return std::all_of(node.children.begin(), node.children.end(), CanMatchEmpty);
        case Node::Kind::Alternation:
            return std::any_of(node.children.begin(), node.children.end(), CanMatchEmpty);
        case Node::Kind::Repeat:
            return node.min == 0 || CanMatchEmpty(node.children[0]);
    }
    return true;
}

bool HasAssertion(const Node& node) {
    return node.kind == Node::Kind::Assert ||
           std::any_of(node.children.begin(), node.children.end(), HasAssertion);
}

struct Program {
    Node root;
    std::vector<ItemText> items;  // the text of each item, as written
    bool uses_word = false;       // \b or \B: the word class is one more item
};

// Reads a pattern into a Program, refusing anything outside the subset it
// reproduces exactly. Items are kept as written, to be compiled alone by
// the backtracking engine.
class PatternReader {
  public:
    explicit PatternReader(Points pattern) : p_(pattern) {}

    bool Read(Program& program) {
        if (!ReadAlternation(program_.root) || i_ != p_.size() ||
            program_.items.size() > kMaxItems) {
            return false;
        }
        program = std::move(program_);
        return true;
    }

  private:
    int32_t At(size_t i) const { return i < p_.size() ? p_[i] : kEnd; }

    bool ReadAlternation(Node& out) {
        Node alternation = MakeNode(Node::Kind::Alternation);
        for (;;) {
            Node sequence;
            if (!ReadSequence(sequence)) {
                return false;
            }
            alternation.children.push_back(std::move(sequence));
            if (At(i_) != '|') {
                break;
            }
            ++i_;
        }
        out = alternation.children.size() == 1 ? std::move(alternation.children[0])
                                               : std::move(alternation);
        return true;
    }

    bool ReadSequence(Node& sequence) {
        while (i_ < p_.size() && p_[i_] != '|' && p_[i_] != ')') {
            bool repeatable = false;
            if (!ReadElement(sequence, repeatable)) {
                return false;
            }
            if (IsRepeatStart(At(i_))) {
                if (!repeatable || !ReadRepeat(sequence.children.back()) || IsRepeatStart(At(i_))) {
                    return false;
                }
            }
        }
        return true;
    }

    // Appends one element to the sequence; repeatable tells whether a repeat
    // may follow it.
    bool ReadElement(Node& sequence, bool& repeatable) {
        const int32_t c = p_[i_];
        repeatable = false;
        switch (c) {
            case '(':
                repeatable = true;
                return ReadGroup(sequence);
            case '^':
                return AddAssertion(sequence, kTextStart, 1);
            case '$':
                return AddAssertion(sequence, kTextEnd, 1);
            case '\\':
                return ReadEscape(sequence, repeatable);
            case '[':
                repeatable = true;
                return ReadSet(sequence);
            case '*':
            case '+':
            case '?':
            case '{':
            case ']':
            case '}':
                return false;
            default:
                repeatable = true;
                AddItem(sequence, i_, i_ + 1);
                return true;
        }
    }

    // Capturing and non-capturing groups only: nothing is captured here.
    bool ReadGroup(Node& sequence) {
        if (At(i_ + 1) == '*' || ++depth_ > kMaxDepth) {
            return false;  // a verb, or nested too deep
        }
        if (At(i_ + 1) == '?') {
            if (At(i_ + 2) != ':') {
                return false;
            }
            i_ += 2;
        }
        ++i_;
        Node group;
        if (!ReadAlternation(group) || At(i_) != ')') {
            return false;
        }
        ++i_;
        --depth_;
        sequence.children.push_back(std::move(group));
        return true;
    }

    bool AddAssertion(Node& sequence, Assertion what, size_t width) {
        sequence.children.push_back(MakeNode(Node::Kind::Assert, what));
        i_ += width;
        return true;
    }

    void AddItem(Node& sequence, size_t from, size_t to) {
        AddItem(sequence, ItemText(p_.begin() + static_cast<ptrdiff_t>(from),
                                   p_.begin() + static_cast<ptrdiff_t>(to)));
        i_ = to;
    }

    void AddItem(Node& sequence, ItemText text) {
        auto& items = program_.items;
        auto it = std::find(items.begin(), items.end(), text);
        const auto index = static_cast<uint32_t>(it - items.begin());
        if (it == items.end()) {
            items.push_back(std::move(text));
        }
        sequence.children.push_back(MakeNode(Node::Kind::Item, index));
    }

    // The end of \xhh or \x{h...} starting at i (the backslash), or 0.
    size_t HexEscapeEnd(size_t i) const {
        if (At(i + 2) == '{') {
            size_t j = i + 3;
            while (IsHexDigit(At(j)) && j - i < 10) {
                ++j;
            }
            return j > i + 3 && At(j) == '}' ? j + 1 : 0;
        }
        return IsHexDigit(At(i + 2)) && IsHexDigit(At(i + 3)) ? i + 4 : 0;
    }

    // The end of \pL or \p{Name} (also \P) starting at i, or 0.
    size_t PropertyEnd(size_t i) const {
        if (IsLetter(At(i + 2))) {
            return i + 3;
        }
        if (At(i + 2) != '{') {
            return 0;
        }
        for (size_t j = i + 3; j < i + 48; ++j) {
            const int32_t c = At(j);
            if (c == '}') {
                return j > i + 3 ? j + 1 : 0;
            }
            if (!(IsLetter(c) || IsDigit(c) || OneOf(c, "_ -=^&"))) {
                return 0;
            }
        }
        return 0;
    }

    // The end of an escape that stands for one character, starting at i, or
    // 0 for any other escape.
    size_t CharacterEscapeEnd(size_t i) const {
        const int32_t n = At(i + 1);
        if (IsOneCharacterEscape(n) || IsQuotedPunctuation(n)) {
            return i + 2;
        }
        if (n == 'x') {
            return HexEscapeEnd(i);
        }
        if (n == 'p' || n == 'P') {
            return PropertyEnd(i);
        }
        if (n == 'c' && IsLetter(At(i + 2))) {
            return i + 3;
        }
        return 0;
    }

    bool ReadEscape(Node& sequence, bool& repeatable) {
        switch (At(i_ + 1)) {
            case 'b':
                program_.uses_word = true;
                return AddAssertion(sequence, kWordBoundary, 2);
            case 'B':
                program_.uses_word = true;
                return AddAssertion(sequence, kNotWordBoundary, 2);
            case 'A':
                return AddAssertion(sequence, kTextStart, 2);
            case 'z':
                return AddAssertion(sequence, kTextEnd, 2);
            case 'Q':
                ReadQuoted(sequence);
                return true;
            default:
                break;
        }
        const size_t end = CharacterEscapeEnd(i_);
        if (end == 0) {
            return false;
        }
        repeatable = true;
        AddItem(sequence, i_, end);
        return true;
    }

    // \Q...\E: each character stands for itself. A repeat after it is
    // refused rather than deciding which part it repeats.
    void ReadQuoted(Node& sequence) {
        size_t j = i_ + 2;
        for (; j < p_.size() && !(p_[j] == '\\' && At(j + 1) == 'E'); ++j) {
            ItemText item;
            if (OneOf(p_[j], "\\^$.|?*+()[]{}")) {
                item.push_back('\\');
            }
            item.push_back(p_[j]);
            AddItem(sequence, std::move(item));
        }
        i_ = j < p_.size() ? j + 2 : j;
    }

    // A bracket expression: "]" first is a member, escapes stand for one
    // character, "[:name:]" is a class; collating elements, equivalence
    // classes and any other "[" inside are refused.
    bool ReadSet(Node& sequence) {
        size_t j = i_ + 1;
        j += At(j) == '^' ? 1 : 0;
        j += At(j) == ']' ? 1 : 0;
        for (;;) {
            const int32_t c = At(j);
            if (c == kEnd) {
                return false;
            }
            if (c == ']') {
                break;
            }
            j = c == '\\' ? CharacterEscapeEnd(j) : c == '[' ? ClassNameEnd(j) : j + 1;
            if (j == 0) {
                return false;
            }
        }
        AddItem(sequence, i_, j + 1);
        return true;
    }

    // The end of "[:name:]" or "[:^name:]" starting at i, or 0.
    size_t ClassNameEnd(size_t i) const {
        if (At(i + 1) != ':') {
            return 0;
        }
        size_t j = i + 2;
        j += At(j) == '^' ? 1 : 0;
        const size_t first = j;
        while (IsLetter(At(j))) {
            ++j;
        }
        return j > first && At(j) == ':' && At(j + 1) == ']' ? j + 2 : 0;
    }

    // Reads digits at j into value, at most kMaxRepeat. False when none.
    bool ReadCount(size_t& j, int& value) const {
        const size_t first = j;
        value = 0;
        while (IsDigit(At(j)) && j - first < 5) {
            value = value * 10 + (At(j) - '0');
            ++j;
        }
        return j > first && !IsDigit(At(j)) && value <= kMaxRepeat;
    }

    // *, +, ?, {n}, {n,}, {n,m}, greedy or lazy (the same to a yes or no);
    // possessive repeats are refused.
    bool ReadRepeat(Node& target) {
        Node repeat = MakeNode(Node::Kind::Repeat);
        const int32_t c = p_[i_++];
        repeat.min = c == '+' ? 1 : 0;
        repeat.max = c == '?' ? 1 : kUnbounded;
        if (c == '{') {
            if (!ReadCount(i_, repeat.min)) {
                return false;
            }
            repeat.max = repeat.min;
            if (At(i_) == ',') {
                ++i_;
                repeat.max = kUnbounded;
                if (IsDigit(At(i_)) && (!ReadCount(i_, repeat.max) || repeat.max < repeat.min)) {
                    return false;
                }
            }
            if (At(i_) != '}') {
                return false;
            }
            ++i_;
        }
        if (At(i_) == '+') {
            return false;
        }
        i_ += At(i_) == '?' ? 1 : 0;
        // The engine treats a repetition that matched nothing but an
        // assertion unlike an automaton does: "(?:^|a){2}b" finds no "ab".
        if (CanMatchEmpty(target) && HasAssertion(target)) {
            return false;
        }
        repeat.children.push_back(std::move(target));
        target = std::move(repeat);
        return true;
    }

    Points p_;
    size_t i_ = 0;
    int depth_ = 0;
    Program program_;
};

// A state of the automaton: Char steps over a character its item matches,
// Split goes on to both outs, Assert goes on when its assertion holds.
struct NfaState {
    enum class Op : uint8_t { Char, Split, Assert, Match };
    Op op = Op::Match;
    uint32_t arg = 0;
    uint32_t out = 0;
    uint32_t out1 = 0;
};

// Builds the automaton back to front: each part is compiled knowing the
// state that follows it. Repeats are unrolled, so a part may be compiled
// more than once.
class NfaBuilder {
  public:
    // False when the automaton would have too many states.
    bool Build(const Node& root, std::vector<NfaState>& states, uint32_t& start) {
        const uint32_t match = Add({.op = NfaState::Op::Match});
        start = Compile(root, match);
        if (overflow_) {
            return false;
        }
        states = std::move(states_);
        return true;
    }

  private:
    uint32_t Add(NfaState state) {
        if (states_.size() >= kMaxStates) {
            overflow_ = true;
            return 0;
        }
        states_.push_back(state);
        return static_cast<uint32_t>(states_.size() - 1);
    }

    uint32_t Split(uint32_t a, uint32_t b) {
        return Add({.op = NfaState::Op::Split, .out = a, .out1 = b});
    }

    uint32_t Compile(const Node& node, uint32_t next) {
        if (overflow_) {
            return 0;
        }
        switch (node.kind) {
            case Node::Kind::Item:
                return Add({.op = NfaState::Op::Char, .arg = node.value, .out = next});
            case Node::Kind::Assert:
                return Add({.op = NfaState::Op::Assert, .arg = node.value, .out = next});
            case Node::Kind::Sequence:
                for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) {
                    next = Compile(*it, next);
                }
                return next;
            case Node::Kind::Alternation: {
                uint32_t rest = Compile(node.children.back(), next);
                for (size_t k = node.children.size() - 1; k-- > 0;) {
                    rest = Split(Compile(node.children[k], next), rest);
                }
                return rest;
            }
            case Node::Kind::Repeat:
                return CompileRepeat(node, next);
        }
        return next;
    }

    uint32_t CompileRepeat(const Node& node, uint32_t next) {
        const Node& body = node.children[0];
        uint32_t entry = next;
        int copies = node.min;
        if (node.max == kUnbounded) {
            const uint32_t loop = Split(0, next);
            const uint32_t first = Compile(body, loop);
            if (overflow_) {
                return 0;
            }
            states_[loop].out = first;
            entry = node.min == 0 ? loop : first;
            copies = std::max(node.min - 1, 0);
        } else {
            for (int k = node.min; k < node.max && !overflow_; ++k) {
                entry = Split(Compile(body, entry), next);
            }
        }
        for (int k = 0; k < copies && !overflow_; ++k) {
            entry = Compile(body, entry);
        }
        return entry;
    }

    std::vector<NfaState> states_;
    bool overflow_ = false;
};

// The states reached at one position, each once, in the order reached.
class StateSet {
  public:
    void Reset(size_t states) {
        dense_.resize(states);
        sparse_.resize(states);
        size_ = 0;
    }
    void Clear() { size_ = 0; }
    bool Insert(uint32_t s) {
        const uint32_t at = sparse_[s];
        if (at < size_ && dense_[at] == s) {
            return false;
        }
        sparse_[s] = static_cast<uint32_t>(size_);
        dense_[size_++] = s;
        return true;
    }
    size_t size() const { return size_; }
    uint32_t operator[](size_t k) const { return dense_[k]; }

  private:
    std::vector<uint32_t> dense_;
    std::vector<uint32_t> sparse_;
    size_t size_ = 0;
};

boost::u32regex CompileItem(const ItemText& item, rc::syntax_option_type flags) {
    std::vector<UChar32> text = item;
    text.push_back(0);
    const UChar32* begin = text.data();
    return boost::u32regex(begin, begin + item.size(), flags);
}

}  // namespace

// Characters are read as symbols: two characters that every item of the
// pattern (and the word class) treats alike get one symbol, whose signature
// holds one bit per item. A character's signature is asked of the engine
// once and then cached.
struct LinearMatcher::State {
    std::vector<boost::u32regex> items;  // the pattern's items, then the word class if used
    std::vector<NfaState> nfa;
    uint32_t start = 0;

    std::unordered_map<int32_t, uint32_t> symbol_of;
    std::array<uint32_t, 128> ascii_symbol{};  // symbol + 1; 0 when not known yet
    std::unordered_map<std::string, uint32_t> symbol_ids;
    std::vector<std::string> signatures;

    std::vector<uint32_t> symbols;  // the text being decided
    StateSet current;
    StateSet next;
    std::vector<uint32_t> stack;
    bool matched = false;

    bool HasBit(uint32_t symbol, size_t item) const {
        return (signatures[symbol][item / 8] >> (item % 8)) & 1;
    }

    uint32_t Intern(int32_t c) {
        std::string signature((items.size() + 7) / 8, '\0');
        const UChar32 one[1] = {c};
        for (size_t k = 0; k < items.size(); ++k) {
            if (boost::regex_match(one, one + 1, items[k], rc::match_default)) {
                signature[k / 8] = static_cast<char>(signature[k / 8] | (1 << (k % 8)));
            }
        }
        auto [it, added] = symbol_ids.emplace(signature, static_cast<uint32_t>(signatures.size()));
        if (added) {
            signatures.push_back(std::move(signature));
        }
        return it->second;
    }

    uint32_t SymbolOf(int32_t c) {
        if (c >= 0 && c < 128) {
            uint32_t& known = ascii_symbol[static_cast<size_t>(c)];
            if (known == 0) {
                known = Intern(c) + 1;
            }
            return known - 1;
        }
        auto it = symbol_of.find(c);
        if (it != symbol_of.end()) {
            return it->second;
        }
        if (symbol_of.size() >= kMaxCachedPoints) {
            symbol_of.clear();
        }
        const uint32_t symbol = Intern(c);
        symbol_of.emplace(c, symbol);
        return symbol;
    }

    bool IsWordAt(size_t pos) const {
        return pos < symbols.size() && HasBit(symbols[pos], items.size() - 1);
    }

    bool Holds(uint32_t assertion, size_t pos) const {
        switch (assertion) {
            case kTextStart:
                return pos == 0;
            case kTextEnd:
                return pos == symbols.size();
            case kWordBoundary:
                return (pos > 0 && IsWordAt(pos - 1)) != IsWordAt(pos);
            default:
                // The engine never finds \B at either end of the text.
                return pos > 0 && pos < symbols.size() && IsWordAt(pos - 1) == IsWordAt(pos);
        }
    }

    // Adds s and every state reachable from it at pos without reading.
    void AddClosure(StateSet& set, uint32_t s, size_t pos) {
        stack.push_back(s);
        while (!stack.empty()) {
            const uint32_t t = stack.back();
            stack.pop_back();
            if (!set.Insert(t)) {
                continue;
            }
            const NfaState& state = nfa[t];
            switch (state.op) {
                case NfaState::Op::Match:
                    matched = true;
                    break;
                case NfaState::Op::Split:
                    stack.push_back(state.out1);
                    stack.push_back(state.out);
                    break;
                case NfaState::Op::Assert:
                    if (Holds(state.arg, pos)) {
                        stack.push_back(state.out);
                    }
                    break;
                case NfaState::Op::Char:
                    break;
            }
        }
    }

    // Runs every start at once: a match may begin at each position.
    Verdict Run() {
        matched = false;
        current.Reset(nfa.size());
        next.Reset(nfa.size());
        size_t steps = 0;
        for (size_t pos = 0;; ++pos) {
            AddClosure(current, start, pos);
            if (matched || pos == symbols.size()) {
                return matched ? Verdict::Match : Verdict::NoMatch;
            }
            steps += current.size();
            if (steps > kMaxSteps) {
                return Verdict::Undecided;
            }
            next.Clear();
            const uint32_t symbol = symbols[pos];
            for (size_t k = 0; k < current.size(); ++k) {
                const NfaState& state = nfa[current[k]];
                if (state.op == NfaState::Op::Char && HasBit(symbol, state.arg)) {
                    AddClosure(next, state.out, pos + 1);
                }
            }
            std::swap(current, next);
        }
    }
};

std::unique_ptr<LinearMatcher> LinearMatcher::Create(std::span<const int32_t> pattern, bool icase) {
    try {
        Program program;
        auto state = std::make_unique<State>();
        if (!PatternReader(pattern).Read(program) ||
            !NfaBuilder().Build(program.root, state->nfa, state->start)) {
            return nullptr;
        }
        rc::syntax_option_type flags = rc::perl | rc::nosubs | rc::no_mod_m;
        if (icase) {
            flags |= rc::icase;
        }
        for (const ItemText& item : program.items) {
            state->items.push_back(CompileItem(item, flags));
        }
        if (program.uses_word) {
            // Word boundaries look at the characters as they are, whatever the case option.
            state->items.push_back(CompileItem({'\\', 'w'}, rc::perl | rc::nosubs));
        }
        return std::unique_ptr<LinearMatcher>(new LinearMatcher(std::move(state)));
    } catch (const std::exception&) {
        return nullptr;
    }
}

LinearMatcher::LinearMatcher(std::unique_ptr<State> state) : state_(std::move(state)) {}
LinearMatcher::~LinearMatcher() = default;

LinearMatcher::Verdict LinearMatcher::Decide(std::span<const int32_t> text) {
    State& s = *state_;
    try {
        s.symbols.resize(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            s.symbols[i] = s.SymbolOf(text[i]);
        }
        return s.Run();
    } catch (const std::exception&) {
        return Verdict::Undecided;
    }
}

}  // namespace linesift
