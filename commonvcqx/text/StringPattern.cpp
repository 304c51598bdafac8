// commonvcqx/text/StringPattern.cpp
//
// Two matchers share the compiled machine. Without capture groups a breadth-first
// simulation runs all start positions at once: threads carry their start, a state
// reached twice at one position keeps the earliest start (its future is the same), so
// the leftmost-longest match costs one pass over the text. With capture groups a
// depth-first search with an explicit stack marks every (state, position) pair it
// enters; a pair met again has failed or lies on an empty loop, so each is explored
// once.
#include <commonvcqx/text/String.h>
#include <commonvcqx/text/StringPattern.h>
#include <commonvcqx/text/internal/PatternMachine.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace cvq::detail {

struct PatternScratch {
    struct TMachineThread {
        int32_t state;
        int32_t start;
    };
    std::vector<TMachineThread> current, next;
    std::vector<uint32_t> mark;  // generation in which a state was last added
    uint32_t generation = 0;
    std::vector<int32_t> stack;

    enum : int32_t { kRestoreOpen = -1, kDropCapture = -2 };
    struct TFrame {
        int32_t state;  // or kRestoreOpen / kDropCapture
        int32_t pos;    // position, or the group to restore
        int32_t old;    // the open position to restore
    };
    struct TCapture {
        int32_t group, first, last;
    };
    std::vector<TFrame> frames;
    std::vector<uint64_t> visited;
    size_t visitedUsed = 0;
    std::vector<int32_t> opens;
    std::vector<TCapture> captures;

    // Transitions cached for this search, for machines without anchors: each cached
    // state is the set of consuming states active after some text, with 256 successors
    // (kUnknown until first needed, kDead when nothing stays active).
    enum : int32_t { kUnknown = -2, kDead = -1, kOverflow = -3, kMaxCached = 4096 };
    std::vector<int32_t> successors;
    std::vector<char> accepting;
    std::vector<std::vector<int32_t>> cachedSets;
    std::map<std::vector<int32_t>, int32_t> cachedIndex;
    std::vector<int32_t> seeds, set;

    void NextGeneration() {
        if (++generation == 0) {
            std::fill(mark.begin(), mark.end(), 0);
            generation = 1;
        }
    }
};

}  // namespace cvq::detail

using cvq::detail::PatternScratch;
using cvq::detail::PatternState;

namespace {

constexpr char kDefaultOperators[] = "|*+()[]-^/.?^${}~";
static_assert(sizeof kDefaultOperators == TStringPattern::kSpecialCharCount + 1);

}  // namespace

TStringPattern::TStringPattern() noexcept
    : m_states(nullptr),
      m_sets(nullptr),
      m_stateCount(0),
      m_stateCapacity(0),
      m_setCount(0),
      m_start(-1),
      m_firstSingle(-1),
      m_prefixLength(0),
      m_suffixLength(0),
      m_suffixMinRun(0),
      m_caseSensitive(1),
      m_valid(0),
      m_hasGroups(0),
      m_hasAnchors(0) {
    std::memcpy(m_operators, kDefaultOperators, kSpecialCharCount);
}

TStringPattern::TStringPattern(const char* pattern, char caseSensitive) : TStringPattern() {
    Set(pattern, caseSensitive);
}

TStringPattern::~TStringPattern() {
    FreeMachine();
}

void TStringPattern::FreeMachine() noexcept {
    std::free(m_states);
    std::free(m_sets);
    m_states = nullptr;
    m_sets = nullptr;
    m_stateCount = m_stateCapacity = m_setCount = 0;
    m_start = -1;
    m_prefixLength = 0;
    m_suffixLength = 0;
    m_valid = 0;
    m_hasGroups = 0;
    m_hasAnchors = 0;
}

char TStringPattern::Set(const char* pattern, char caseSensitive) {
    FreeMachine();
    m_caseSensitive = caseSensitive ? 1 : 0;
    if (!pattern) return 0;
    m_states = static_cast<PatternState*>(std::malloc(50 * sizeof(PatternState)));
    if (!m_states) return 0;
    m_stateCapacity = 50;
    if (!cvq::detail::CompilePattern(*this, pattern)) {
        FreeMachine();
        return 0;
    }
    m_valid = 1;
    return 1;
}

void TStringPattern::SetNoMetaChar() noexcept {
    std::memset(m_operators, 1, kSpecialCharCount);
}

void TStringPattern::SetMetaChar(EIndexSpecialChar role, char c) noexcept {
    if (role >= 0 && role < kSpecialCharCount) m_operators[role] = c ? c : '\x01';
}

char TStringPattern::SetAsDos(const char* dosPattern, char caseSensitive) {
    TString converted(dosPattern);
    ReplaceAllPatterns(converted, "/*", ".*", 1);
    ReplaceAllPatterns(converted, "/?", ".?", 1);
    SetNoMetaChar();
    SetMetaChar(kAnyChar, '.');
    SetMetaChar(kZeroOrMore, '*');
    SetMetaChar(kZeroOrOne, '?');
    return Set(dosPattern ? converted.c_str() : nullptr, caseSensitive);
}

int32_t TStringPattern::NextCandidate(const char* text, int32_t length,
                                      int32_t from) const noexcept {
    if (from >= length) return -1;
    if (m_prefixLength >= 2) {
        const void* hit =
            memmem(text + from, size_t(length - from), m_prefix, size_t(m_prefixLength));
        return hit ? int32_t(static_cast<const char*>(hit) - text) : -1;
    }
    if (m_firstSingle >= 0) {
        const void* hit = std::memchr(text + from, m_firstSingle, size_t(length - from));
        return hit ? int32_t(static_cast<const char*>(hit) - text) : -1;
    }
    for (int32_t p = from; p < length; ++p)
        if (m_first.IsSet(static_cast<unsigned char>(text[p]))) return p;
    return -1;
}

// For a "C+L" or "C*L" machine: the leftmost position from `from` on where a match
// starts, or -1 when there is none. A match is a run of C bytes ending in L; the first
// occurrence of L with a long enough run before it gives the leftmost start, as any
// earlier start would need an earlier such occurrence. Linear: each occurrence is
// found once, and the run is read back only for the one that is taken.
int32_t TStringPattern::SuffixCandidate(const char* text, int32_t length,
                                        int32_t from) const noexcept {
    for (int32_t q = from; q < length; ++q) {
        const void* hit = memmem(text + q, size_t(length - q), m_suffix, size_t(m_suffixLength));
        if (!hit) return -1;
        q = int32_t(static_cast<const char*>(hit) - text);
        int32_t r = q;
        while (r > from && m_suffixRun.IsSet(static_cast<unsigned char>(text[r - 1]))) --r;
        if (q - r >= m_suffixMinRun) return r;
    }
    return -1;
}

namespace {

inline bool Takes(const PatternState& st, const TBitSet256* sets, unsigned char c,
                  unsigned char folded) {
    using namespace cvq::detail;
    switch (st.kind) {
        case kStateLiteral:
            return folded == st.value;
        case kStateAny:
            return c != '\n';
        case kStateClass:
            return ClassContains(st.value, c);
        case kStateSet:
            return sets[st.value].IsSet(folded);
        default:
            return false;
    }
}

}  // namespace

bool TStringPattern::Simulate(const char* text, int32_t length, int32_t from, bool anchored,
                              PatternScratch& sc, int32_t& matchPos, int32_t& matchLength) const {
    using namespace cvq::detail;
    int32_t bestStart = -1, bestLength = -1;
    int32_t pos = from;
    auto add = [&](std::vector<PatternScratch::TMachineThread>& list, int32_t state,
                   int32_t start) {
        sc.stack.push_back(state);
        while (!sc.stack.empty()) {
            int32_t i = sc.stack.back();
            sc.stack.pop_back();
            if (i < 0 || sc.mark[size_t(i)] == sc.generation) continue;
            sc.mark[size_t(i)] = sc.generation;
            const PatternState& st = m_states[i];
            switch (st.kind) {
                case kStateAccept: {
                    int32_t l = pos - start;
                    bool better = anchored ? l > bestLength
                                           : l > 0 && (bestStart < 0 || start < bestStart ||
                                                       (start == bestStart && l > bestLength));
                    if (better) {
                        bestStart = start;
                        bestLength = l;
                    }
                    break;
                }
                case kStateBranch:
                    sc.stack.push_back(st.next1);
                    sc.stack.push_back(st.next2);
                    break;
                case kStateLineStart:
                    if (pos == 0 || text[pos - 1] == '\n') sc.stack.push_back(st.next1);
                    break;
                case kStateLineEnd:
                    if (pos == length || text[pos] == '\n') sc.stack.push_back(st.next1);
                    break;
                case kStateCaptureOpen:
                case kStateCaptureClose:
                    sc.stack.push_back(st.next1);
                    break;
                case kStateClass:
                    if (st.value == 'b') {
                        if (IsWordBoundary(text, length, pos)) sc.stack.push_back(st.next1);
                        break;
                    }
                    list.push_back({i, start});
                    break;
                default:
                    list.push_back({i, start});
                    break;
            }
        }
    };

    sc.current.clear();
    sc.NextGeneration();
    for (;;) {
        if (anchored) {
            if (pos == from) add(sc.current, m_start, pos);
        } else if (bestStart < 0) {
            if (sc.current.empty()) {
                // Jump to the next byte a match can start with; a start whose anchors
                // fail leaves nothing running, so go on to the next one.
                for (;;) {
                    int32_t candidate = NextCandidate(text, length, pos);
                    if (candidate < 0) break;
                    if (candidate != pos) {
                        pos = candidate;
                        sc.NextGeneration();
                    }
                    add(sc.current, m_start, pos);
                    if (!sc.current.empty()) break;
                    ++pos;
                    sc.NextGeneration();
                }
            } else if (pos < length && m_first.IsSet(static_cast<unsigned char>(text[pos]))) {
                add(sc.current, m_start, pos);  // after the older threads: earliest start wins
            }
        }
        if (sc.current.empty() || pos >= length) break;
        unsigned char c = static_cast<unsigned char>(text[pos]);
        unsigned char folded = m_caseSensitive ? c : LowerAscii(c);
        ++pos;
        sc.NextGeneration();
        sc.next.clear();
        for (const auto& t : sc.current)
            if (Takes(m_states[t.state], m_sets, c, folded))
                add(sc.next, m_states[t.state].next1, t.start);
        std::swap(sc.current, sc.next);
        if (!anchored && bestStart >= 0) {
            // Threads that started later can no longer win.
            auto later = std::find_if(sc.current.begin(), sc.current.end(),
                                      [&](const auto& t) { return t.start > bestStart; });
            sc.current.erase(later, sc.current.end());
        }
    }
    if (bestLength < 0) return false;
    matchPos = bestStart;
    matchLength = bestLength;
    return true;
}

int32_t TStringPattern::Backtrack(const char* text, int32_t length, int32_t pos0, int32_t base,
                                  PatternScratch& sc, TPatternMatchCallback callback,
                                  void* context) const {
    using namespace cvq::detail;
    if (base == pos0) {
        std::fill_n(sc.visited.begin(), sc.visitedUsed, 0);
        sc.visitedUsed = 0;
    }
    sc.frames.clear();
    sc.captures.clear();
    const size_t states = size_t(m_stateCount);
    sc.frames.push_back({m_start, pos0, 0});
    while (!sc.frames.empty()) {
        PatternScratch::TFrame f = sc.frames.back();
        sc.frames.pop_back();
        if (f.state == PatternScratch::kRestoreOpen) {
            sc.opens[size_t(f.pos)] = f.old;
            continue;
        }
        if (f.state == PatternScratch::kDropCapture) {
            sc.captures.pop_back();
            continue;
        }
        if (f.state < 0) continue;
        const int32_t p = f.pos;
        const size_t bit = size_t(p - base) * states + size_t(f.state);
        const size_t word = bit >> 6;
        if (word >= sc.visited.size())
            sc.visited.resize(std::max(word + 1, sc.visited.size() * 2), 0);
        const uint64_t mask = uint64_t(1) << (bit & 63);
        if (sc.visited[word] & mask) continue;
        sc.visited[word] |= mask;
        sc.visitedUsed = std::max(sc.visitedUsed, word + 1);

        const PatternState& st = m_states[f.state];
        switch (st.kind) {
            case kStateAccept:
                if (callback)
                    for (const auto& cap : sc.captures)
                        if (cap.last >= cap.first)
                            callback(cap.group, cap.first, cap.last, text, context);
                return p - pos0;
            case kStateBranch:
                // Pushed last, popped first: next2 is tried first.
                sc.frames.push_back({st.next1, p, 0});
                if (st.next2 >= 0) sc.frames.push_back({st.next2, p, 0});
                break;
            case kStateLineStart:
                if (p == 0 || text[p - 1] == '\n') sc.frames.push_back({st.next1, p, 0});
                break;
            case kStateLineEnd:
                if (p == length || text[p] == '\n') sc.frames.push_back({st.next1, p, 0});
                break;
            case kStateCaptureOpen: {
                size_t g = size_t(st.value);
                if (sc.opens.size() <= g) sc.opens.resize(g + 1, -1);
                sc.frames.push_back({PatternScratch::kRestoreOpen, st.value, sc.opens[g]});
                sc.opens[g] = p;
                sc.frames.push_back({st.next1, p, 0});
                break;
            }
            case kStateCaptureClose: {
                size_t g = size_t(st.value);
                if (sc.opens.size() <= g) sc.opens.resize(g + 1, -1);
                sc.captures.push_back({st.value, sc.opens[g], p - 1});
                sc.frames.push_back({PatternScratch::kDropCapture, 0, 0});
                sc.frames.push_back({st.next1, p, 0});
                break;
            }
            case kStateClass:
                if (st.value == 'b') {
                    if (IsWordBoundary(text, length, p)) sc.frames.push_back({st.next1, p, 0});
                    break;
                }
                [[fallthrough]];
            default:
                if (p < length) {
                    unsigned char c = static_cast<unsigned char>(text[p]);
                    unsigned char folded = m_caseSensitive ? c : LowerAscii(c);
                    if (Takes(st, m_sets, c, folded)) sc.frames.push_back({st.next1, p + 1, 0});
                }
                break;
        }
    }
    return -1;
}

// The cached state for the closure of sc.seeds, created when new; kOverflow when the
// cache is full.
int32_t TStringPattern::CachedState(PatternScratch& sc) const {
    using namespace cvq::detail;
    sc.NextGeneration();
    sc.set.clear();
    bool accept = false;
    sc.stack.assign(sc.seeds.begin(), sc.seeds.end());
    while (!sc.stack.empty()) {
        int32_t i = sc.stack.back();
        sc.stack.pop_back();
        if (i < 0 || sc.mark[size_t(i)] == sc.generation) continue;
        sc.mark[size_t(i)] = sc.generation;
        const PatternState& st = m_states[i];
        switch (st.kind) {
            case kStateAccept:
                accept = true;
                break;
            case kStateBranch:
                sc.stack.push_back(st.next1);
                sc.stack.push_back(st.next2);
                break;
            case kStateCaptureOpen:
            case kStateCaptureClose:
                sc.stack.push_back(st.next1);
                break;
            default:
                sc.set.push_back(i);
                break;
        }
    }
    std::sort(sc.set.begin(), sc.set.end());
    if (accept) sc.set.push_back(-1);  // part of the key
    auto found = sc.cachedIndex.find(sc.set);
    if (found != sc.cachedIndex.end()) return found->second;
    if (int32_t(sc.cachedSets.size()) >= PatternScratch::kMaxCached)
        return PatternScratch::kOverflow;
    int32_t index = int32_t(sc.cachedSets.size());
    sc.cachedIndex.emplace(sc.set, index);
    if (accept) sc.set.pop_back();
    sc.cachedSets.push_back(sc.set);
    sc.accepting.push_back(accept);
    sc.successors.resize(sc.successors.size() + 256, PatternScratch::kUnknown);
    return index;
}

// Longest match at `pos` through the cached transitions: the length, -1 for none, or
// kOverflow. Adds the characters read to `steps`.
int32_t TStringPattern::RunCached(const char* text, int32_t length, int32_t pos, PatternScratch& sc,
                                  int64_t& steps) const {
    if (sc.cachedSets.empty()) {
        sc.seeds.assign(1, m_start);
        if (CachedState(sc) < 0) return PatternScratch::kOverflow;
    }
    int32_t state = 0;
    int32_t best = sc.accepting[0] ? 0 : -1;
    for (int32_t p = pos; p < length; ++p) {
        unsigned char c = static_cast<unsigned char>(text[p]);
        int32_t next = sc.successors[size_t(state) * 256 + c];
        ++steps;
        if (next == PatternScratch::kUnknown) {
            unsigned char folded = m_caseSensitive ? c : cvq::detail::LowerAscii(c);
            sc.seeds.clear();
            for (int32_t i : sc.cachedSets[size_t(state)])
                if (Takes(m_states[i], m_sets, c, folded)) sc.seeds.push_back(m_states[i].next1);
            next = sc.seeds.empty() ? int32_t(PatternScratch::kDead) : CachedState(sc);
            if (next == PatternScratch::kOverflow) return next;
            sc.successors[size_t(state) * 256 + c] = next;
        }
        if (next == PatternScratch::kDead) break;
        state = next;
        if (sc.accepting[size_t(state)]) best = p + 1 - pos;
    }
    return best;
}

int32_t TStringPattern::FindAt(const char* text, int32_t length, int32_t pos, PatternScratch& sc,
                               TPatternMatchCallback callback, void* context) const {
    if (m_hasGroups) return Backtrack(text, length, pos, pos, sc, callback, context);
    if (!m_hasAnchors) {
        int64_t steps = 0;
        int32_t l = RunCached(text, length, pos, sc, steps);
        if (l != PatternScratch::kOverflow) return l;
    }
    int32_t matchPos, matchLength;
    return Simulate(text, length, pos, true, sc, matchPos, matchLength) ? matchLength : -1;
}

bool TStringPattern::FindNext(const char* text, int32_t length, int32_t from, PatternScratch& sc,
                              int32_t& matchPos, int32_t& matchLength,
                              TPatternMatchCallback callback, void* context) const {
    if (!m_hasGroups) {
        if (m_suffixLength > 0) {
            int32_t p = SuffixCandidate(text, length, from);
            if (p < 0) return false;
            // The longest match from there, as for any other start.
            int64_t steps = 0;
            int32_t l = RunCached(text, length, p, sc, steps);
            if (l > 0) {
                matchPos = p;
                matchLength = l;
                if (callback) callback(0, matchPos, matchPos + matchLength - 1, text, context);
                return true;
            }
            from = p;  // nothing before p matches; leave the rest to the general search
        }
        if (!m_hasAnchors) {
            // Candidate by candidate through the cached transitions while that stays
            // cheap; a text that makes it re-read too much goes on with the one-pass
            // simulation, so the search stays linear.
            int64_t steps = 0;
            bool exhausted = true;
            for (int32_t p = NextCandidate(text, length, from); p >= 0;
                 p = NextCandidate(text, length, p + 1)) {
                int32_t l = RunCached(text, length, p, sc, steps);
                if (l > 0) {
                    matchPos = p;
                    matchLength = l;
                    if (callback) callback(0, matchPos, matchPos + matchLength - 1, text, context);
                    return true;
                }
                if (l == PatternScratch::kOverflow || steps > 8 * int64_t(p - from) + 65536) {
                    from = l == PatternScratch::kOverflow ? p : p + 1;
                    exhausted = false;
                    break;
                }
            }
            if (exhausted) return false;
        }
        if (!Simulate(text, length, from, false, sc, matchPos, matchLength)) return false;
        if (callback) callback(0, matchPos, matchPos + matchLength - 1, text, context);
        return true;
    }
    // Pairs marked by an attempt that failed, or by one that only matched empty text at
    // its own position, cannot reach the end from any later start: keep them.
    const int32_t base = NextCandidate(text, length, from);
    for (int32_t p = base; p >= 0; p = NextCandidate(text, length, p + 1)) {
        int32_t l = Backtrack(text, length, p, base, sc, callback, context);
        if (l > 0) {
            matchPos = p;
            matchLength = l;
            return true;
        }
    }
    return false;
}

int32_t TStringPattern::Find(int32_t* matchStart, const char* text, int32_t start, EMatchMode mode,
                             TPatternMatchCallback callback, void* context) const {
    if (matchStart) *matchStart = start;
    if (!m_valid) return -1;
    if (!text) text = "";
    size_t textLength = std::strlen(text);
    if (textLength > size_t(INT32_MAX) || start < 0 || size_t(start) > textLength) return -1;
    const int32_t length = int32_t(textLength);
    PatternScratch sc;
    sc.mark.assign(size_t(m_stateCount), 0);
    int32_t pos = start, found = -1;

    switch (mode) {
        case kAnchored:
            return FindAt(text, length, start, sc, m_hasGroups ? callback : nullptr, context);
        case kBackward:
            for (int32_t p = start - 1; p >= 0; --p) {
                if (!m_first.IsSet(static_cast<unsigned char>(text[p]))) continue;
                int32_t l = FindAt(text, length, p, sc, m_hasGroups ? callback : nullptr, context);
                if (l > 0) {
                    if (callback && !m_hasGroups) callback(0, p, p + l - 1, text, context);
                    if (matchStart) *matchStart = p;
                    return l;
                }
            }
            return start > 0 ? FindAt(text, length, 0, sc, nullptr, nullptr) : -1;
        case kAll: {
            int32_t first = -1, l;
            for (int32_t from = start; FindNext(text, length, from, sc, pos, l, callback, context);
                 from = pos + l) {
                if (first < 0) {
                    first = pos;
                    found = l;
                }
            }
            if (first >= 0) {
                if (matchStart) *matchStart = first;
                return found;
            }
            break;
        }
        default:  // kForward
            if (FindNext(text, length, start, sc, pos, found, callback, context)) {
                if (matchStart) *matchStart = pos;
                return found;
            }
            break;
    }
    // Nothing taken: the answer of the last position tried, the end of the text.
    return FindAt(text, length, length, sc, nullptr, nullptr);
}

int TStringPattern::ReplaceAll(TString& text, const char* replacement) const {
    if (!m_valid) return 0;
    if (!replacement) replacement = "";
    const char* source = text.c_str();
    const int32_t length = int32_t(text.GetLength());
    PatternScratch sc;
    sc.mark.assign(size_t(m_stateCount), 0);
    TString result;
    int count = 0;
    int32_t from = 0, pos, l;
    while (FindNext(source, length, from, sc, pos, l, nullptr, nullptr)) {
        result.Append(source + from, uint32_t(pos - from));
        result.Append(replacement);
        from = pos + l;
        ++count;
    }
    if (count == 0) return 0;
    result.Append(source + from);
    text = result;
    return count;
}

int TStringPattern::Tokenize(const TString& text, TArray<TString>& tokens) const {
    Find(nullptr, text.c_str(), 0, kAll, CB_OnMatchStoreInStringArray, &tokens);
    return int(tokens.GetCount());
}

int TokenizePatterns(const TString& text, TArray<TString>& tokens, const char* pattern,
                     char caseSensitive) {
    TStringPattern compiled(pattern, caseSensitive);
    return compiled.Tokenize(text, tokens);
}

int CB_OnMatchStoreInStringArray(int, int32_t first, int32_t last, const char* text,
                                 void* context) {
    if (!context || !text || first < 0 || last < first - 1) return 0;
    // Matches lie inside the text; strnlen still stops a range at its NUL.
    const char* begin = text + first;
    const size_t length = strnlen(begin, size_t(int64_t(last) - first + 1));
    static_cast<TArray<TString>*>(context)->Add(TString(begin, 0, 0, uint32_t(length)));
    return 0;
}

int CB_OnMatchStoreInMatchLocationArray(int group, int32_t first, int32_t last, const char*,
                                        void* context) {
    if (context)
        static_cast<TArray<TMatchLocation>*>(context)->Add(
            TMatchLocation{group, first, int32_t(int64_t(last) - first + 1)});
    return 0;
}

int32_t FindPattern(const char* text, const char* pattern, char caseSensitive,
                    int32_t* matchStart) {
    TStringPattern compiled(pattern, caseSensitive);
    return compiled.Find(matchStart, text, 0, TStringPattern::kForward);
}

int32_t FindWithDosWildcards(const char* text, const char* dosPattern, int32_t* matchStart,
                             char caseSensitive) {
    TStringPattern compiled;
    compiled.SetAsDos(dosPattern, caseSensitive);
    return compiled.Find(matchStart, text, 0, TStringPattern::kForward);
}

int ReplaceAllPatterns(TString& text, const char* pattern, const char* replacement,
                       char caseSensitive) {
    TStringPattern compiled(pattern, caseSensitive);
    return compiled.ReplaceAll(text, replacement);
}

namespace {

// Greedy scan that falls back to the last "*": equivalent to trying every ending of
// the text for every "*", in time bounded by the product of the lengths.
template <bool kIgnoreCase>
char MatchDos(const char* text, const char* pattern) {
    using cvq::detail::UpperAscii;
    if (!text) text = "";
    if (!pattern) pattern = "";
    const char* starPattern = nullptr;
    const char* starText = nullptr;
    while (*text) {
        if (*pattern == '*') {
            while (*pattern == '*') ++pattern;
            if (!*pattern) return 1;  // trailing stars take the rest
            starPattern = pattern;
            starText = text;
            continue;
        }
        unsigned char p = static_cast<unsigned char>(*pattern);
        unsigned char t = static_cast<unsigned char>(*text);
        if (p && (p == '?' || (kIgnoreCase ? UpperAscii(p) == UpperAscii(t) : p == t))) {
            ++pattern;
            ++text;
        } else if (starPattern) {
            pattern = starPattern;
            text = ++starText;
        } else {
            return 0;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

}  // namespace

char IsStringMatchedByDosPattern(const char* text, const char* dosPattern) {
    return MatchDos<false>(text, dosPattern);
}

char IsStringMatchedByDosPatternNCS(const char* text, const char* dosPattern) {
    return MatchDos<true>(text, dosPattern);
}
