// Random sequences of launch, store, undo, redo, repeat, series, macro recording, limit
// changes and cleanup over string operations, checked after every step against a
// reference model: a plain vector history with a cursor index that mirrors what each
// operation does to the document and how the history merges and trims.
#include "TestOperations.h"

#include <commonvcqx/undo/MacroOperation.h>

#include <random>

using namespace templates;

namespace {

struct TKind {
    const TOperation::TTemplate* tmpl;
    bool atOnce, delay, undoable, trivial, repeatable;
};
const TKind kKinds[] = {
    {&kPlain, false, false, true, false, false},
    {&kTyping, true, false, true, false, false},
    {&kDelayed, false, true, true, false, false},
    {&kTrivial, false, false, true, true, false},
    {&kRepeatable, false, false, true, false, true},
    {&kNotUndoable, false, false, false, false, false},
    {&kRepeatMerge, true, false, true, false, true},
};
constexpr int kNumKinds = sizeof(kKinds) / sizeof(kKinds[0]);
constexpr int kMacroKind = -1;

struct TEntry {
    int kind;
    int field;
    std::string stored;
    int32_t time = 0;
    std::vector<TEntry> inner;  // a macro's operations
    int id = 0;                 // which operation of the run it is, for the series

    bool Mergeable() const { return kind >= 0 && (kKinds[kind].atOnce || kKinds[kind].delay); }
    bool Trivial() const { return kind >= 0 && kKinds[kind].trivial; }
    bool SameType(const TEntry& o) const {
        if ((kind == kMacroKind) != (o.kind == kMacroKind)) return false;
        if (kind == kMacroKind) return true;  // one template, keys 0 and 0
        return field == o.field &&
               std::strcmp(kKinds[kind].tmpl->GetName(), kKinds[o.kind].tmpl->GetName()) == 0;
    }
    std::string Name() const {
        if (kind != kMacroKind) return "f" + std::to_string(field) + ":" + stored;
        std::string text = "M(";
        for (auto& e : inner) text += e.Name() + ",";
        return text + ")";
    }
};

// The reference: what the history should hold and what the document should read.
class TModel {
public:
    std::vector<std::string> doc = std::vector<std::string>(4);
    std::vector<TEntry> history;
    size_t cursor = 0;  // first redoable index; history.size() when none
    int32_t maximumCount = -1;
    int32_t maximumAge = 0;
    bool delayedCompressing = true;
    bool recording = false;
    bool executeWhileRecording = false;
    std::vector<TEntry> macro;

    void Swap(TEntry& e) {
        if (e.kind == kMacroKind) return;
        std::swap(doc[static_cast<size_t>(e.field)], e.stored);
    }
    bool Execute(TEntry& e) {
        if (e.kind == kMacroKind) {
            bool any = false;
            for (auto& i : e.inner) any = Execute(i) || any;
            return any;
        }
        if (doc[static_cast<size_t>(e.field)] == e.stored) return false;
        Swap(e);
        return true;
    }
    void Unexecute(TEntry& e) {
        if (e.kind != kMacroKind) return Swap(e);
        for (auto i = e.inner.rbegin(); i != e.inner.rend(); ++i) Swap(*i);
    }
    void Reexecute(TEntry& e) {
        if (e.kind != kMacroKind) return Swap(e);
        for (auto& i : e.inner) Swap(i);
    }

    void Erase(size_t index) {
        history.erase(history.begin() + static_cast<std::ptrdiff_t>(index));
        if (index < cursor) --cursor;
    }
    bool Stops(const TEntry& older, const TEntry& newer) const {
        return !older.SameType(newer) ||
               (!delayedCompressing && older.kind >= 0 && kKinds[older.kind].delay);
    }
    // `newer`, outside the list, absorbs the run of older ones that ends before `end`.
    void Merge(TEntry& newer, size_t end) {
        if (!newer.Mergeable()) return;
        for (size_t i = end; i-- > 0 && !Stops(history[i], newer);) {
            newer.stored = history[i].stored;
            Erase(i);
        }
    }
    // The same for the operation at `index` in the list.
    void MergeAt(size_t index) {
        if (!history[index].Mergeable()) return;
        while (index > 0 && !Stops(history[index - 1], history[index])) {
            history[index].stored = history[index - 1].stored;
            Erase(index - 1);
            --index;
        }
    }
    // `e` is outside the list; the undoable part ends at the cursor.
    void MergeNewlyExecuted(TEntry& e) {
        if (e.kind >= 0 && kKinds[e.kind].atOnce) {
            // A repeatable one leaves its predecessors to merge among themselves.
            if (kKinds[e.kind].repeatable && cursor > 0 && history[cursor - 1].SameType(e))
                MergeAt(cursor - 1);
            else
                Merge(e, cursor);
        }
        if (cursor == 0) return;
        TEntry& newest = history[cursor - 1];
        if (newest.Mergeable() && !newest.SameType(e)) MergeAt(cursor - 1);
    }
    void RemoveTrivial() {
        while (cursor > 0 && history[cursor - 1].Trivial()) Erase(cursor - 1);
    }
    int NonTrivial() const {
        int n = 0;
        for (auto& e : history) n += e.Trivial() ? 0 : 1;
        return n;
    }

    int lastId = 0;

    bool Submit(TEntry e, bool execute, bool keep, int32_t now) {
        e.id = ++lastId;
        if (recording && !executeWhileRecording) {
            macro.push_back(std::move(e));
            return true;
        }
        bool done = execute ? Execute(e) : true;
        if (!done) return false;
        e.time = now;
        if (recording) {
            macro.push_back(std::move(e));
            return true;
        }
        if (!e.Trivial()) {
            history.resize(cursor);
            RemoveTrivial();
        }
        bool undoable = e.kind == kMacroKind || kKinds[e.kind].undoable;
        if (keep && maximumCount != 0 && undoable) {
            if (maximumCount > 0)
                while (NonTrivial() >= maximumCount && !history.empty()) Erase(0);
            if (maximumAge != 0)
                while (!history.empty() && history.front().time < now - maximumAge) Erase(0);
            MergeNewlyExecuted(e);
            history.insert(history.begin() + static_cast<std::ptrdiff_t>(cursor), std::move(e));
            ++cursor;
        } else {
            history.clear();
            cursor = 0;
        }
        return true;
    }
    void Undo(int32_t now) {
        if (cursor == 0) return;
        const int kind = history[cursor - 1].kind;
        if (kind >= 0 && kKinds[kind].atOnce && kKinds[kind].repeatable) MergeAt(cursor - 1);
        TEntry& e = history[cursor - 1];
        Unexecute(e);
        e.time = now;
        --cursor;
    }
    void Redo(int32_t now) {
        if (cursor == history.size()) return;
        if (!history[cursor].Trivial()) RemoveTrivial();
        TEntry e = std::move(history[cursor]);
        history.erase(history.begin() + static_cast<std::ptrdiff_t>(cursor));
        Reexecute(e);
        e.time = now;
        MergeNewlyExecuted(e);
        history.insert(history.begin() + static_cast<std::ptrdiff_t>(cursor), std::move(e));
        ++cursor;
    }
    bool CanRepeat() const {
        return cursor > 0 && cursor == history.size() && history[cursor - 1].kind >= 0 &&
               kKinds[history[cursor - 1].kind].repeatable;
    }
    std::string Text() const {
        std::string text;
        for (size_t i = 0; i < cursor; ++i) text += history[i].Name() + " ";
        text += "|";
        for (size_t i = cursor; i < history.size(); ++i) text += " " + history[i].Name();
        return text;
    }
};

std::string NameOf(const TOperation* o) {
    if (auto* t = dynamic_cast<const TTextOperation*>(o))
        return "f" + std::to_string(t->GetFirstKey()) + ":" + t->GetStoredValue().c_str();
    auto* m = dynamic_cast<const TMacroOperation*>(o);
    if (!m) return "?";
    std::string text = "M(";
    for (TOperation* i = m->GetFirstOperation(); i; i = m->GetNextOperation(i))
        text += NameOf(i) + ",";
    return text + ")";
}

std::string History(const TChiefOperator& chief) {
    std::vector<std::string> undoable;
    for (TOperation* o = chief.GetFirstUndoableOperation(); o;
         o = chief.GetPreviousUndoableOperation(o))
        undoable.insert(undoable.begin(), NameOf(o));
    std::string text;
    for (auto& n : undoable) text += n + " ";
    text += "|";
    for (TOperation* o = chief.GetFirstRedoableOperation(); o;
         o = chief.GetNextRedoableOperation(o))
        text += " " + NameOf(o);
    return text;
}

// Runs one random sequence; returns false (with the trace) at the first difference.
bool RunSequence(uint32_t seed, int steps, std::string& trace) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    const char* values[] = {"", "a", "b", "ab"};
    TDocument document;
    TModel model;
    TTestChief chief;
    for (int step = 0; step < steps; ++step) {
        Now() += pick(3) == 0 ? pick(400) : 0;
        const int32_t now = Now();
        int action = pick(20);
        char got = 1, expected = 1;
        std::string what;
        if (action < 7) {  // launch
            int kind = pick(kNumKinds);
            int field = pick(3);
            const char* value = values[pick(4)];
            bool keep = pick(12) != 0;
            what = "launch " + std::to_string(kind) + " f" + std::to_string(field) + "=" + value +
                   (keep ? "" : " not kept");
            got = (new TTextOperation(*kKinds[kind].tmpl, &chief, &document, field, value))
                      ->Launch(0, keep ? 1 : 0, nullptr);
            expected = model.Submit({kind, field, value, 0, {}}, true, keep, now);
        } else if (action == 7) {  // store: the host has made the change itself
            int kind = pick(kNumKinds);
            int field = pick(3);
            const char* value = values[pick(4)];
            what = "store " + std::to_string(kind) + " f" + std::to_string(field) + "=" + value;
            std::string old = document.fields[static_cast<size_t>(field)];
            document.fields[static_cast<size_t>(field)] = value;
            model.doc[static_cast<size_t>(field)] = value;
            got = (new TTextOperation(*kKinds[kind].tmpl, &chief, &document, field, old.c_str()))
                      ->Store(1, nullptr);
            expected = model.Submit({kind, field, old, 0, {}}, false, true, now);
        } else if (action < 11) {
            what = "undo";
            got = chief.UndoOperation(0, nullptr);
            model.Undo(now);
        } else if (action < 13) {
            what = "redo";
            got = chief.RedoOperation(0, nullptr);
            model.Redo(now);
        } else if (action == 13) {
            what = "repeat";
            got = chief.RepeatOperation(0, nullptr);
            if (model.CanRepeat()) {
                TEntry copy = model.history[model.cursor - 1];
                expected = model.Submit(copy, true, true, now);
            }
        } else if (action == 14) {
            int undoable = static_cast<int>(model.cursor);
            int redoable = static_cast<int>(model.history.size() - model.cursor);
            if (pick(2) == 0 && undoable > 0) {
                int k = pick(undoable);
                what = "undo until " + std::to_string(k);
                got = chief.UndoUntilOperation(chief.GetUndoableOperation(-k), 0, nullptr);
                // Until the target is undone, or merged into the one just undone.
                const int target = model.history[model.cursor - 1 - static_cast<size_t>(k)].id;
                while (model.cursor > 0) {
                    model.Undo(now);
                    if (model.history[model.cursor].id == target) break;
                    bool present = false;
                    for (size_t i = 0; i < model.cursor; ++i)
                        present = present || model.history[i].id == target;
                    if (!present) break;
                }
            } else if (redoable > 0) {
                int k = pick(redoable);
                what = "redo until " + std::to_string(k);
                got = chief.RedoUntilOperation(chief.GetRedoableOperation(k), 0, nullptr);
                for (int i = 0; i <= k; ++i) model.Redo(now);
            } else {
                what = "undo all";
                got = chief.UndoAllOperations(0, nullptr);
                while (model.cursor > 0) model.Undo(now);
            }
        } else if (action == 15) {
            if (!model.recording) {
                bool execute = pick(2) != 0;
                what = std::string("start macro") + (execute ? " executing" : "");
                got = chief.StartMacroRecording(kMacro, execute ? 1 : 0);
                model.recording = true;
                model.executeWhileRecording = execute;
                model.macro.clear();
            } else {
                bool accept = pick(3) != 0;
                bool unwrap = pick(2) != 0;
                what = std::string("end macro") + (accept ? " accepted" : " rejected") +
                       (unwrap ? " unwrapped" : "");
                got = chief.ValidateMacroRecording(accept ? 1 : 0, 0, unwrap ? 1 : 0);
                model.recording = false;
                std::vector<TEntry> ops = std::move(model.macro);
                bool executed = model.executeWhileRecording;
                if (!accept) {
                    if (executed)
                        for (auto i = ops.rbegin(); i != ops.rend(); ++i) model.Swap(*i);
                } else if (ops.size() == 1 && unwrap) {
                    expected = model.Submit(ops.front(), !executed, true, now);
                } else if (!ops.empty()) {
                    TEntry macro{kMacroKind, 0, "", 0, std::move(ops)};
                    expected = model.Submit(std::move(macro), !executed, true, now);
                }
            }
        } else if (action == 16) {
            const int32_t counts[] = {-1, 0, 1, 2, 3, 8};
            model.maximumCount = counts[pick(6)];
            what = "count " + std::to_string(model.maximumCount);
            chief.SetMaximumCount(model.maximumCount);
        } else if (action == 17) {
            const int32_t ages[] = {0, 0, 300, 1000};
            model.maximumAge = ages[pick(4)];
            what = "age " + std::to_string(model.maximumAge);
            chief.SetMaximumAge(TTimeSpan(model.maximumAge));
        } else if (action == 18) {
            model.delayedCompressing = pick(2) != 0;
            what = std::string("delayed compressing ") + (model.delayedCompressing ? "on" : "off");
            chief.EnableDelayedCompressing(model.delayedCompressing ? 1 : 0);
        } else {
            what = "cleanup";
            chief.CleanupHistory(pick(2) ? 1 : 0);
            model.history.clear();
            model.cursor = 0;
        }
        std::string expectedText = model.Text();
        std::string gotText = History(chief);
        trace += what + "    " + expectedText + "\n";
        if (got != expected || gotText != expectedText || document.fields != model.doc ||
            chief.GetNumUndoableOperations() != static_cast<int32_t>(model.cursor) ||
            chief.GetNumTotalOperations() != static_cast<int32_t>(model.history.size()) ||
            chief.CanRepeatOperation() != (model.CanRepeat() ? 1 : 0) ||
            chief.IsRecordingMacro() != (model.recording ? 1 : 0)) {
            trace += "result " + std::to_string(got) + " expected " + std::to_string(expected) +
                     "\nhistory  " + gotText + "\nexpected " + expectedText + "\ndocument";
            for (auto& f : document.fields) trace += " [" + f + "]";
            trace += "\nmodel   ";
            for (auto& f : model.doc) trace += " [" + f + "]";
            return false;
        }
    }
    return true;
}

class ChiefOperatorModelTest : public OperationFixture {};

}  // namespace

TEST_F(ChiefOperatorModelTest, RandomSequencesFollowTheModel) {
    for (uint32_t seed = 1; seed <= 10000; ++seed) {
        std::string trace;
        if (!RunSequence(seed, 40, trace)) {
            ADD_FAILURE() << "seed " << seed << "\n" << trace;
            break;
        }
        ASSERT_EQ(LiveOperations(), 0) << "seed " << seed;
    }
}
