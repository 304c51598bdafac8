// Random host sessions against a reference list: every filing, drop, pack, trim, undo,
// redo and exclusion must leave TUndoable's stacks, costs and answers as the plain
// model below computes them.
#include "TestMementos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <string>

namespace {

struct TRecord {
    int id;
    std::string name;
    int32_t instance;
    bool packable, discardable, major;
    int state, group;
    uint32_t memory, diskSpace, files;
};

bool SameRun(const TRecord& a, const TRecord& b) {
    return a.name == b.name && a.instance == b.instance;
}

// The filing rules written out on plain containers, front = newest.
struct TModel {
    std::deque<TRecord> undo, redo;
    int32_t maximum = 0x7FFFFFFF;
    bool disabled = false;
    std::string excluded = "%%%%%%%%";

    bool EnabledFor(const std::string& name) const {
        if (maximum <= 0 || disabled) return false;
        return !(name == (undo.empty() ? "" : undo.front().name) && name == excluded);
    }
    void AddToUndo(const TRecord& r, bool fromRedo) {
        if (maximum <= 0) return;
        if (!fromRedo) redo.clear();
        if (!undo.empty()) {
            const TRecord n = undo.front();
            if (n.discardable && r.discardable &&
                (n.state == r.state || (n.group != 0 && n.group == r.group)))
                return;
            if (!SameRun(n, r) && n.discardable && n.packable) {
                size_t run = 1;
                while (run < undo.size() && SameRun(undo[run], n)) ++run;
                undo.erase(undo.begin(), undo.begin() + static_cast<long>(run - 1));
            }
        }
        undo.push_front(r);
        if (static_cast<int64_t>(undo.size()) > maximum) undo.pop_back();
    }
    void SetMaximum(int32_t number) {
        if (number >= maximum) return;
        maximum = number;
        const size_t keep = static_cast<size_t>(std::max(number, 0));
        if (undo.size() > keep) undo.resize(keep);
        if (redo.size() > keep) redo.resize(keep);
    }
};

uint32_t Saturated(uint64_t sum) {
    return static_cast<uint32_t>(std::min<uint64_t>(sum, 0xFFFFFFFFu));
}

TRecord ResultOf(const TRecord& applied, int state) {
    return {ResultId(applied.id),
            applied.name,
            applied.instance,
            applied.packable,
            applied.discardable,
            applied.major,
            state,
            0,
            applied.memory,
            applied.diskSpace,
            applied.files};
}

void ExpectSame(const TTestUndoable& object, const TModel& model, const std::string& where) {
    std::vector<int> undoIds, redoIds;
    uint64_t memory = 0, diskSpace = 0, files = 0;
    bool major = false;
    for (const TRecord& r : model.undo) {
        undoIds.push_back(r.id);
        memory += r.memory;
        diskSpace += r.diskSpace;
        files += r.files;
        major = major || r.major;
    }
    for (const TRecord& r : model.redo) {
        redoIds.push_back(r.id);
        memory += r.memory;
    }
    ASSERT_EQ(object.UndoIds(), undoIds) << where;
    ASSERT_EQ(object.RedoIds(), redoIds) << where;
    ASSERT_EQ(object.GetInvolvedUndoMemory(), Saturated(memory)) << where;
    ASSERT_EQ(object.GetInvolvedUndoDiskSpace(), Saturated(diskSpace)) << where;
    ASSERT_EQ(object.GetNumInvolvedUndoFiles(), Saturated(files)) << where;
    ASSERT_EQ(object.HasMajorModification() != 0, major) << where;
    ASSERT_EQ(object.GetPendingRedoName(),
              model.redo.empty() ? "" : model.redo.front().name.c_str());
    ASSERT_EQ(LiveMementos(), static_cast<int>(undoIds.size() + redoIds.size())) << where;
}

}  // namespace

TEST(UndoablePropertyTest, RandomSessionsMatchTheReferenceList) {
    const char* const names[] = {"A", "B", "C"};
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        LiveMementos() = 0;
        std::mt19937 random(seed);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
        {
            TTestUndoable object;
            TModel model;
            int nextId = 1;
            for (int step = 0; step < 80; ++step) {
                const std::string where =
                    "seed " + std::to_string(seed) + " step " + std::to_string(step);
                const int op = pick(100);
                if (op < 55) {  // a host action: ask, snapshot, change
                    const std::string name = names[pick(3)];
                    ASSERT_EQ(object.IsUndoEnabledFor(name.c_str()) != 0, model.EnabledFor(name))
                        << where;
                    const int newState = pick(4);
                    if (model.EnabledFor(name)) {
                        const bool huge = pick(8) == 0;
                        TRecord r{nextId++,
                                  name,
                                  1 + pick(2),
                                  pick(4) != 0,
                                  pick(5) != 0,
                                  pick(6) == 0,
                                  object.state,
                                  pick(4) == 0 ? 1 + pick(2) : 0,
                                  huge ? 0x70000000u + static_cast<uint32_t>(pick(1000)) : 10u,
                                  static_cast<uint32_t>(pick(3) * 4096),
                                  huge ? 0xF0000000u : 1u};
                        auto* m = new TTestMemento(r.id, r.state, name.c_str(), r.instance,
                                                   r.packable, r.discardable, r.major);
                        m->m_group = r.group;
                        m->m_memory = r.memory;
                        m->m_diskSpace = r.diskSpace;
                        m->m_files = r.files;
                        if (pick(3) == 0) {  // against a memento of the state after the change
                            const TTestMemento after(0, newState);
                            const bool differs = r.state != newState;
                            ASSERT_EQ(object.AdoptMementoIfDifference(m, after) != 0, differs);
                            if (differs) model.AddToUndo(r, false);
                        } else {
                            object.AdoptMemento(m);
                            model.AddToUndo(r, false);
                        }
                    }
                    object.state = newState;
                } else if (op < 70) {
                    if (!model.undo.empty()) {
                        const TRecord applied = model.undo.front();
                        model.undo.pop_front();
                        if (model.maximum > 0)
                            model.redo.push_front(ResultOf(applied, object.state));
                    }
                    object.UndoCurrentState();
                } else if (op < 82) {
                    if (!model.redo.empty()) {
                        const TRecord applied = model.redo.front();
                        model.redo.pop_front();
                        model.AddToUndo(ResultOf(applied, object.state), true);
                    }
                    object.RedoLastUndoneState();
                } else if (op < 90) {
                    const std::string name = names[pick(3)];
                    object.DoNotSaveUndoMementosWithName(name.c_str());
                    model.excluded = name;
                } else if (op < 94) {
                    object.SaveUndoMementosWithAnyName();
                    model.excluded = "%%%%%%%%";
                } else if (op < 97) {
                    const int32_t number = pick(10) - 1;
                    object.SetMaxNumOfUndoMementos(number);
                    model.SetMaximum(number);
                } else if (op < 99) {
                    const bool enable = pick(2) == 0;
                    object.EnableUndo(enable);
                    model.disabled = !enable;
                } else {
                    object.ClearUndoMementos();
                    model.undo.clear();
                    model.redo.clear();
                }
                ExpectSame(object, model, where);
                if (HasFatalFailure()) return;
            }
        }
        ASSERT_EQ(LiveMementos(), 0) << "seed " << seed;
    }
}
