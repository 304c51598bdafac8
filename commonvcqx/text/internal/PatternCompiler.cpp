// commonvcqx/text/internal/PatternCompiler.cpp
//
// Recursive descent over the pattern grammar, building the state machine as it goes.
// Each piece is a fragment: its first state and the successor fields still open.
// Alternatives are gathered in a loop, so only nesting recurses, and nesting is bounded.
#include <commonvcqx/text/StringPattern.h>
#include <commonvcqx/text/internal/PatternMachine.h>

#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace cvq::detail {

namespace {

constexpr int kMaxNesting = 1000;
constexpr int32_t kStateStep = 50;

struct TFragment {
    int32_t start = -1;
    std::vector<int32_t> outs;  // state * 2 + (0: next1, 1: next2)
};

}  // namespace

struct PatternCompiler {
    TStringPattern& p;
    const unsigned char* s;
    int depth = 0;
    int32_t groups = 0;

    bool Is(unsigned char c, TStringPattern::EIndexSpecialChar role) const {
        unsigned char op = static_cast<unsigned char>(p.m_operators[role]);
        return op > 1 && c == op;
    }
    unsigned char Fold(unsigned char c) const { return p.m_caseSensitive ? c : LowerAscii(c); }

    int32_t NewState(int32_t kind, int32_t value, int32_t next1 = -1, int32_t next2 = -1) {
        if (p.m_stateCount == p.m_stateCapacity) {
            if (p.m_stateCapacity > (1 << 26)) return -1;
            int32_t capacity = p.m_stateCapacity + kStateStep;
            void* grown = std::realloc(p.m_states, size_t(capacity) * sizeof(PatternState));
            if (!grown) return -1;
            p.m_states = static_cast<PatternState*>(grown);
            p.m_stateCapacity = capacity;
        }
        p.m_states[p.m_stateCount] = PatternState{value, kind, next1, next2};
        return p.m_stateCount++;
    }

    int32_t NewSet(const TBitSet256& set) {
        void* grown = std::realloc(static_cast<void*>(p.m_sets),
                                   size_t(p.m_setCount + 1) * sizeof(TBitSet256));
        if (!grown) return -1;
        p.m_sets = static_cast<TBitSet256*>(grown);
        new (&p.m_sets[p.m_setCount]) TBitSet256(set);
        return p.m_setCount++;
    }

    void Patch(const std::vector<int32_t>& outs, int32_t target) {
        for (int32_t out : outs) {
            PatternState& st = p.m_states[out >> 1];
            (out & 1 ? st.next2 : st.next1) = target;
        }
    }

    // A single state consuming or testing something, with next1 open.
    bool Single(TFragment& f, int32_t kind, int32_t value) {
        f.start = NewState(kind, value);
        if (f.start < 0) return false;
        f.outs.assign(1, f.start * 2);
        return true;
    }

    bool ParsePattern(TFragment& out) {
        std::vector<TFragment> alternatives(1);
        if (!ParseAlternative(alternatives.back())) return false;
        while (Is(*s, TStringPattern::kAlternation)) {
            ++s;
            alternatives.emplace_back();
            if (!ParseAlternative(alternatives.back())) return false;
        }
        out = std::move(alternatives.back());
        for (size_t i = alternatives.size() - 1; i-- > 0;) {
            // The left alternative sits on next2, the one tried first.
            int32_t branch = NewState(kStateBranch, 0, out.start, alternatives[i].start);
            if (branch < 0) return false;
            out.start = branch;
            out.outs.insert(out.outs.end(), alternatives[i].outs.begin(),
                            alternatives[i].outs.end());
        }
        return true;
    }

    bool ParseAlternative(TFragment& out) {
        bool first = true;
        while (*s && !Is(*s, TStringPattern::kAlternation) &&
               !Is(*s, TStringPattern::kGroupClose) && !Is(*s, TStringPattern::kCaptureClose)) {
            TFragment item;
            if (!ParseItem(item)) return false;
            if (first) {
                out = std::move(item);
                first = false;
            } else {
                Patch(out.outs, item.start);
                out.outs = std::move(item.outs);
            }
        }
        return !first;  // an alternative holds at least one item
    }

    bool ParseItem(TFragment& out) {
        if (!ParseFactor(out)) return false;
        if (Is(*s, TStringPattern::kZeroOrMore)) {
            ++s;
            int32_t branch = NewState(kStateBranch, 0, -1, out.start);
            if (branch < 0) return false;
            Patch(out.outs, branch);
            out.start = branch;
            out.outs.assign(1, branch * 2);
        } else if (Is(*s, TStringPattern::kOneOrMore)) {
            ++s;
            int32_t branch = NewState(kStateBranch, 0, -1, out.start);
            if (branch < 0) return false;
            Patch(out.outs, branch);
            out.outs.assign(1, branch * 2);
        } else if (Is(*s, TStringPattern::kZeroOrOne)) {
            ++s;
            int32_t branch = NewState(kStateBranch, 0, -1, out.start);
            if (branch < 0) return false;
            out.start = branch;
            out.outs.push_back(branch * 2);
        }
        return true;
    }

    bool ParseNested(TFragment& out, TStringPattern::EIndexSpecialChar close) {
        if (++depth > kMaxNesting) return false;
        if (!ParsePattern(out) || !Is(*s, close)) return false;
        ++s;
        --depth;
        return true;
    }

    bool ParseFactor(TFragment& out) {
        unsigned char c = *s;
        if (!c) return false;
        if (Is(c, TStringPattern::kGroupOpen)) {
            ++s;
            return ParseNested(out, TStringPattern::kGroupClose);
        }
        if (Is(c, TStringPattern::kCaptureOpen)) {
            ++s;
            int32_t group = groups++;
            TFragment inner;
            if (!ParseNested(inner, TStringPattern::kCaptureClose)) return false;
            int32_t open = NewState(kStateCaptureOpen, group, inner.start);
            int32_t closing = NewState(kStateCaptureClose, group);
            if (open < 0 || closing < 0) return false;
            Patch(inner.outs, closing);
            out.start = open;
            out.outs.assign(1, closing * 2);
            return true;
        }
        if (Is(c, TStringPattern::kSetOpen)) {
            ++s;
            return ParseSet(out);
        }
        if (Is(c, TStringPattern::kAnyChar)) return ++s, Single(out, kStateAny, 0);
        if (Is(c, TStringPattern::kLineStart)) return ++s, Single(out, kStateLineStart, 0);
        if (Is(c, TStringPattern::kLineEnd)) return ++s, Single(out, kStateLineEnd, 0);
        if (Is(c, TStringPattern::kTilde)) return false;  // reserved
        if (Is(c, TStringPattern::kEscape)) {
            ++s;
            return ParseEscape(out);
        }
        if (Is(c, TStringPattern::kAlternation) || Is(c, TStringPattern::kGroupClose) ||
            Is(c, TStringPattern::kZeroOrMore) || Is(c, TStringPattern::kSetClose) ||
            Is(c, TStringPattern::kCaptureClose) || Is(c, TStringPattern::kOneOrMore))
            return false;
        ++s;
        return Single(out, kStateLiteral, Fold(c));
    }

    static int HexValue(unsigned char c) {
        if (IsAsciiDigit(c)) return c - '0';
        c = LowerAscii(c);
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    }

    static bool SimpleEscape(unsigned char c, unsigned char& value) {
        switch (c) {
            case 'e':
                value = 27;
                return true;
            case 'n':
                value = '\n';
                return true;
            case 'r':
                value = '\r';
                return true;
            case 't':
                value = '\t';
                return true;
            default:
                return false;
        }
    }

    bool ParseEscape(TFragment& out) {
        unsigned char c = *s;
        if (!c) return false;
        ++s;
        switch (c) {
            case 'w':
            case 'W':
            case 'd':
            case 'D':
            case 's':
            case 'S':
            case 'l':
            case 'L':
            case 'v':
            case 'V':
            case 'b':
                return Single(out, kStateClass, c);
            default:
                break;
        }
        unsigned char value = c;
        if (SimpleEscape(c, value)) return Single(out, kStateLiteral, Fold(value));
        if (c == 'x') {
            int high = HexValue(s[0]);
            int low = high < 0 ? -1 : HexValue(s[1]);
            if (low < 0) return false;
            s += 2;
            return Single(out, kStateLiteral, Fold(static_cast<unsigned char>(high * 16 + low)));
        }
        if (IsAsciiDigit(c)) {
            int number = c - '0';
            for (int i = 0; i < 2 && IsAsciiDigit(*s); ++i) number = number * 10 + (*s++ - '0');
            if (number > 255) return false;
            return Single(out, kStateLiteral, Fold(static_cast<unsigned char>(number)));
        }
        return Single(out, kStateLiteral, Fold(c));
    }

    // One set character, escaped or not; false at the end of the pattern or a newline.
    bool SetChar(unsigned char& value) {
        unsigned char c = *s;
        if (!c || c == '\n') return false;
        ++s;
        if (Is(c, TStringPattern::kEscape)) {
            c = *s;
            if (!c) return false;
            ++s;
            if (!SimpleEscape(c, value)) value = c;
            return true;
        }
        value = c;
        return true;
    }

    bool ParseSet(TFragment& out) {
        if (++depth > kMaxNesting) return false;
        TBitSet256 set;
        bool negated = false;
        if (Is(*s, TStringPattern::kSetNegation)) {
            negated = true;
            ++s;
        }
        if (Is(*s, TStringPattern::kSetRange)) return false;
        while (!Is(*s, TStringPattern::kSetClose)) {
            bool adds = !(Is(*s, TStringPattern::kLineStart) || Is(*s, TStringPattern::kLineEnd) ||
                          Is(*s, TStringPattern::kSetNegation));
            if (Is(s[0], TStringPattern::kSetRange) && Is(s[1], TStringPattern::kSetClose))
                return false;
            unsigned char low;
            if (!SetChar(low)) return false;
            if (Is(*s, TStringPattern::kSetRange)) {
                ++s;
                if (Is(*s, TStringPattern::kSetClose)) return false;
                unsigned char high;
                if (!SetChar(high)) return false;
                for (unsigned v = Fold(low); v <= Fold(high); ++v)
                    set.Enable(static_cast<unsigned char>(v));
            } else if (adds) {
                set.Enable(Fold(low));
            }
        }
        ++s;
        --depth;
        if (negated) set.Negate();
        int32_t index = NewSet(set);
        return index >= 0 && Single(out, kStateSet, index);
    }

    // Adds the bytes a consuming state takes to `bytes`.
    void AddTakenBytes(const PatternState& st, TBitSet256& bytes) const {
        for (unsigned v = 1; v < 256; ++v) {
            unsigned char c = static_cast<unsigned char>(v);
            bool takes = false;
            switch (st.kind) {
                case kStateLiteral:
                    takes = Fold(c) == st.value;
                    break;
                case kStateAny:
                    takes = c != '\n';
                    break;
                case kStateClass:
                    takes = ClassContains(st.value, c);
                    break;
                case kStateSet:
                    takes = p.m_sets[st.value].IsSet(Fold(c));
                    break;
                default:
                    break;
            }
            if (takes) bytes.Enable(c);
        }
    }

    static bool Consumes(const PatternState& st) {
        return st.kind == kStateLiteral || st.kind == kStateAny || st.kind == kStateSet ||
               (st.kind == kStateClass && st.value != 'b');
    }

    // Recognises a machine "C+L" or "C*L": one consuming state C repeated, then a chain
    // of literal states L straight to the accepting state. Such a match is a run of C
    // bytes ending in L, so the search can look for L and extend back over C.
    void ComputeSuffix() {
        p.m_suffixLength = 0;
        if (!p.m_caseSensitive || p.m_hasGroups || p.m_hasAnchors) return;
        const PatternState* st = p.m_states;
        int32_t run = -1, loop = -1;
        const PatternState& start = st[p.m_start];
        if (start.kind == kStateBranch && start.next2 > 0) {  // "C*": branch first
            run = start.next2;
            loop = p.m_start;
            p.m_suffixMinRun = 0;
        } else if (Consumes(start) && start.next1 > 0) {  // "C+": C first
            run = p.m_start;
            loop = start.next1;
            p.m_suffixMinRun = 1;
        } else {
            return;
        }
        if (!Consumes(st[run]) || st[run].next1 != loop || st[loop].kind != kStateBranch ||
            st[loop].next2 != run)
            return;
        int32_t length = 0, i = st[loop].next1;
        for (; i > 0 && length < 16 && st[i].kind == kStateLiteral && st[i].value; i = st[i].next1)
            p.m_suffix[length++] = char(st[i].value);
        if (i != 0 || length == 0) return;
        p.m_suffixRun = TBitSet256();
        AddTakenBytes(st[run], p.m_suffixRun);
        p.m_suffixLength = length;
    }

    // Bytes a non-empty match can start with: every consuming state reachable from the
    // start through branches and zero-width states.
    void ComputeFirstBytes() {
        TBitSet256 first;
        std::vector<char> seen(size_t(p.m_stateCount), 0);
        std::vector<int32_t> stack{p.m_start};
        while (!stack.empty()) {
            int32_t i = stack.back();
            stack.pop_back();
            if (i < 0 || seen[size_t(i)]) continue;
            seen[size_t(i)] = 1;
            const PatternState& st = p.m_states[i];
            AddTakenBytes(st, first);
            switch (st.kind) {
                case kStateBranch:
                    stack.push_back(st.next1);
                    stack.push_back(st.next2);
                    break;
                case kStateLineStart:
                case kStateLineEnd:
                case kStateCaptureOpen:
                case kStateCaptureClose:
                    stack.push_back(st.next1);
                    break;
                case kStateClass:
                    if (st.value == 'b') stack.push_back(st.next1);
                    break;
                default:
                    break;
            }
        }
        p.m_first = first;
        p.m_firstSingle = -1;
        int count = 0;
        for (unsigned v = 1; v < 256; ++v)
            if (first.IsSet(static_cast<unsigned char>(v))) {
                ++count;
                p.m_firstSingle = int32_t(v);
            }
        if (count != 1) p.m_firstSingle = -1;
    }

    bool Compile() {
        if (NewState(kStateAccept, 0) != 0) return false;
        TFragment all;
        if (!ParsePattern(all) || *s) return false;
        Patch(all.outs, 0);
        p.m_start = all.start;
        p.m_states[0].value = groups > 0;
        p.m_hasGroups = groups > 0;
        // Literal states have one successor, so a chain of them from the start is a
        // prefix of every match.
        p.m_prefixLength = 0;
        for (int32_t i = p.m_start; p.m_caseSensitive && i > 0 && p.m_prefixLength < 16 &&
                                    p.m_states[i].kind == kStateLiteral && p.m_states[i].value;
             i = p.m_states[i].next1)
            p.m_prefix[p.m_prefixLength++] = char(p.m_states[i].value);
        p.m_hasAnchors = 0;
        for (int32_t i = 0; i < p.m_stateCount; ++i) {
            const PatternState& st = p.m_states[i];
            if (st.kind == kStateLineStart || st.kind == kStateLineEnd ||
                (st.kind == kStateClass && st.value == 'b'))
                p.m_hasAnchors = 1;
        }
        ComputeFirstBytes();
        ComputeSuffix();
        return true;
    }
};

bool CompilePattern(TStringPattern& pattern, const char* text) {
    PatternCompiler compiler{pattern, reinterpret_cast<const unsigned char*>(text)};
    return compiler.Compile();
}

}  // namespace cvq::detail
