// The two stacks: filing, dropping, packing, trimming, exclusion, costs, and an
// ApplyMemento that changes the stacks under the call.
#include "TestMementos.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

using TIds = std::vector<int>;

namespace {

class UndoableTest : public testing::Test {
protected:
    void SetUp() override { LiveMementos() = 0; }
    void TearDown() override { EXPECT_EQ(LiveMementos(), 0) << "a memento leaked"; }
};

TTestMemento* Made(int id, const char* name, int32_t instance, char packable, char discardable,
                   int state) {
    return new TTestMemento(id, state, name, instance, packable, discardable);
}

}  // namespace

TEST_F(UndoableTest, DefaultsAndEnabling) {
    TTestUndoable object;
    EXPECT_TRUE(object.IsUndoEnabled());
    object.EnableUndo(0);
    EXPECT_FALSE(object.IsUndoEnabled());
    EXPECT_FALSE(object.IsUndoEnabledFor("A"));
    object.EnableUndo(1);
    EXPECT_TRUE(object.IsUndoEnabled());
    EXPECT_FALSE(TTestUndoable(0).IsUndoEnabled());
    EXPECT_FALSE(TTestUndoable(-3).IsUndoEnabled());

    EXPECT_EQ(object.GetPendingUndoName(), "");
    EXPECT_EQ(object.GetPendingRedoName(), "");
    object.UndoCurrentState();  // empty stacks: ApplyMemento is never called
    object.RedoLastUndoneState();
    EXPECT_EQ(object.applied, 0);
    EXPECT_EQ(object.GetInvolvedUndoMemory(), 0u);
    EXPECT_FALSE(object.HasMajorModification());
}

TEST_F(UndoableTest, UndoAndRedoWalkTheStates) {
    TTestUndoable object;
    for (int id = 1; id <= 3; ++id) object.Snapshot(id);
    object.UndoCurrentState();
    object.UndoCurrentState();
    EXPECT_EQ(object.state, 10);
    EXPECT_EQ(object.UndoIds(), TIds({1}));
    EXPECT_EQ(object.RedoIds(), TIds({ResultId(2), ResultId(3)}));
    EXPECT_EQ(object.GetPendingRedoName(), "A");

    object.RedoLastUndoneState();  // the result is filed without emptying the redo stack
    EXPECT_EQ(object.state, 20);
    EXPECT_EQ(object.UndoIds(), TIds({ResultId(ResultId(2)), 1}));
    EXPECT_EQ(object.RedoIds(), TIds({ResultId(3)}));

    object.Snapshot(4);  // a new change: the undone states are gone
    EXPECT_EQ(object.GetNumRedoMementos(), 0);
    EXPECT_EQ(object.GetNumUndoMementos(), 3);
}

TEST_F(UndoableTest, MaximumKeepsTheNewestAndOnlyGoesDown) {
    TTestUndoable object(2);
    for (int id = 1; id <= 3; ++id) object.Snapshot(id);
    EXPECT_EQ(object.UndoIds(), TIds({3, 2}));

    TTestUndoable many;
    for (int id = 1; id <= 4; ++id) many.Snapshot(id);
    many.UndoCurrentState();
    many.UndoCurrentState();
    many.SetMaxNumOfUndoMementos(3);  // no stack is above it yet
    EXPECT_EQ(many.GetNumUndoMementos() + many.GetNumRedoMementos(), 4);
    many.SetMaxNumOfUndoMementos(1);
    EXPECT_EQ(many.UndoIds(), TIds({2}));
    EXPECT_EQ(many.RedoIds(), TIds({ResultId(3)}));
    many.SetMaxNumOfUndoMementos(3);  // above the maximum: ignored
    many.Snapshot(5);
    EXPECT_EQ(many.UndoIds(), TIds({5}));
    many.SetMaxNumOfUndoMementos(0);
    EXPECT_EQ(many.GetNumUndoMementos(), 0);
    EXPECT_FALSE(many.IsUndoEnabled());
}

TEST_F(UndoableTest, DropsIdenticalAndGroupableMementos) {
    struct TCase {
        char newestDiscardable, newDiscardable;
        int newState, newGroup;
        bool filed;
    } cases[] = {
        {1, 1, 7, 0, false},  // same state
        {1, 1, 8, 9, false},  // the newest groups it
        {1, 1, 8, 0, true},   // differs, no group
        {0, 1, 7, 9, true},   // the newest may not be dropped against
        {1, 0, 7, 9, true},   // the new one may not be dropped
    };
    for (const TCase& c : cases) {
        TTestUndoable object;
        TTestMemento* first = Made(1, "A", 1, 1, c.newestDiscardable, 7);
        first->m_group = 9;
        object.AdoptMemento(first);
        TTestMemento* second = Made(2, "A", 1, 1, c.newDiscardable, c.newState);
        second->m_group = c.newGroup;
        object.AdoptMemento(second);
        EXPECT_EQ(object.GetNumUndoMementos(), c.filed ? 2 : 1) << c.newState << c.newGroup;
    }

    TTestUndoable object;
    object.AdoptMemento(Made(1, "A", 1, 1, 1, 5));
    const TTestMemento same(0, 5);
    EXPECT_FALSE(object.AdoptMementoIfDifference(Made(2, "B", 1, 1, 1, 5), same));
    EXPECT_TRUE(object.AdoptMementoIfDifference(Made(3, "B", 1, 1, 1, 6), same));
    EXPECT_FALSE(object.AdoptMementoIfDifference(nullptr, same));
    EXPECT_EQ(object.UndoIds(), TIds({3, 1}));
}

TEST_F(UndoableTest, PacksARunIntoItsOldestSnapshot) {
    struct TStep {
        const char* name;
        int32_t instance;
        char packable, discardable;
    };
    struct TCase {
        std::vector<TStep> steps;
        TIds expected;  // ids are the step numbers from 1, newest first
    } cases[] = {
        {{{"A", 1, 1, 1}, {"A", 1, 1, 1}, {"A", 1, 1, 1}, {"B", 1, 1, 1}}, {4, 1}},
        {{{"A", 1, 1, 1}, {"A", 1, 1, 1}, {"A", 2, 1, 1}, {"B", 1, 1, 1}}, {4, 3, 1}},
        {{{"A", 1, 1, 1}, {"A", 1, 1, 1}, {"A", 1, 0, 1}, {"B", 1, 1, 1}}, {4, 3, 2, 1}},
        {{{"A", 1, 1, 1}, {"A", 1, 1, 1}, {"A", 1, 1, 0}, {"B", 1, 1, 1}}, {4, 3, 2, 1}},
        // Only the newest decides; the older members of the run go whatever their flags.
        {{{"A", 1, 0, 0}, {"A", 1, 0, 0}, {"A", 1, 1, 1}, {"B", 1, 1, 1}}, {4, 1}},
        // The run is the consecutive one: an earlier A1 behind B1 stays.
        {{{"A", 1, 1, 1}, {"B", 1, 1, 1}, {"A", 1, 1, 1}, {"A", 1, 1, 1}, {"C", 1, 1, 1}},
         {5, 3, 2, 1}},
        {{{"A", 1, 1, 1}, {"A", 1, 1, 1}}, {2, 1}},  // no new run yet
    };
    for (const TCase& c : cases) {
        TTestUndoable object;
        int id = 0;
        for (const TStep& s : c.steps) {
            ++id;
            object.AdoptMemento(Made(id, s.name, s.instance, s.packable, s.discardable, id));
        }
        EXPECT_EQ(object.UndoIds(), c.expected) << c.steps.size();
    }
}

TEST_F(UndoableTest, ExcludedNameSavesNothingWhileItRepeats) {
    TTestUndoable object;
    object.DoNotSaveUndoMementosWithName("A");
    EXPECT_TRUE(object.IsUndoEnabledFor("A"));
    object.Snapshot(1, "A");
    EXPECT_FALSE(object.IsUndoEnabledFor("A"));
    EXPECT_FALSE(object.IsUndoEnabledFor(TString("A")));
    EXPECT_TRUE(object.IsUndoEnabledFor("a"));  // exact comparison
    EXPECT_TRUE(object.IsUndoEnabledFor("B"));
    object.Snapshot(2, "B");
    EXPECT_TRUE(object.IsUndoEnabledFor("A"));
    object.Snapshot(3, "A");
    object.SaveUndoMementosWithAnyName();
    EXPECT_TRUE(object.IsUndoEnabledFor("A"));
    EXPECT_TRUE(object.IsUndoEnabledFor("%%%%%%%%"));
}

TEST_F(UndoableTest, CostsAreRunningSumsThatSaturate) {
    TTestUndoable object;
    auto adopt = [&](int id, uint32_t memory, uint32_t disk, uint32_t files, char major) {
        TTestMemento* m = new TTestMemento(id, id, "A", id, 1, 1, major);
        m->m_memory = memory;
        m->m_diskSpace = disk;
        m->m_files = files;
        object.AdoptMemento(m);
        return m;
    };
    adopt(1, 100, 1000, 1, 0);
    TTestMemento* second = adopt(2, 200, 2000, 2, 1);
    EXPECT_EQ(object.GetInvolvedUndoMemory(), 300u);
    EXPECT_EQ(object.GetInvolvedUndoDiskSpace(), 3000u);
    EXPECT_EQ(object.GetNumInvolvedUndoFiles(), 3u);
    EXPECT_TRUE(object.HasMajorModification());

    second->m_memory = 5;  // read once, when filed: the sums keep what was reported then
    object.apply = [&](TTestMemento* m, char) {
        auto* result = new TTestMemento(ResultId(m->m_id), 0);
        result->m_memory = 40;
        result->m_diskSpace = 9;
        result->m_files = 9;
        return result;
    };
    object.UndoCurrentState();  // the redo stack counts for memory only
    EXPECT_EQ(object.GetInvolvedUndoMemory(), 140u);
    EXPECT_EQ(object.GetInvolvedUndoDiskSpace(), 1000u);
    EXPECT_EQ(object.GetNumInvolvedUndoFiles(), 1u);
    EXPECT_FALSE(object.HasMajorModification());
    object.ClearUndoMementos();
    EXPECT_EQ(object.GetInvolvedUndoMemory(), 0u);

    for (int id = 1; id <= 3; ++id) adopt(id, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0);
    EXPECT_EQ(object.GetInvolvedUndoMemory(), 0xFFFFFFFFu);  // 6 GB: no wrap
    EXPECT_EQ(object.GetInvolvedUndoDiskSpace(), 0xFFFFFFFFu);
    EXPECT_EQ(object.GetNumInvolvedUndoFiles(), 0xFFFFFFFFu);
    object.SetMaxNumOfUndoMementos(1);  // and exact again below the limit
    EXPECT_EQ(object.GetInvolvedUndoMemory(), 0x7FFFFFFFu);
    EXPECT_EQ(object.GetInvolvedUndoDiskSpace(), 0xFFFFFFFFu);
}

TEST_F(UndoableTest, MementoThatCannotBeKeptIsDeleted) {
    TTestUndoable none(0);
    none.Snapshot(1);
    EXPECT_EQ(none.GetNumUndoMementos(), 0);
    EXPECT_EQ(LiveMementos(), 0);
    none.AdoptMemento(nullptr);

    TTestUndoable disabled;  // switched off by the host, the object still files what it is given
    disabled.EnableUndo(0);
    disabled.Snapshot(2);
    EXPECT_EQ(disabled.GetNumUndoMementos(), 1);
}

TEST_F(UndoableTest, ApplyMementoMayChangeTheStacksUnderTheCall) {
    // Each hook runs inside ApplyMemento; the live count and the sanitizers catch a
    // memento deleted twice or lost.
    struct TCase {
        const char* what;
        std::function<void(TTestUndoable&)> during;
        bool redo;
        TIds undo, redoIds;
    } cases[] = {
        {"adopt while undoing packs the applied memento away",
         [](TTestUndoable& o) { o.AdoptMemento(Made(9, "B", 1, 1, 1, 99)); },
         false,
         {9, 1},
         {ResultId(3)}},
        {"adopt while redoing empties the redo stack",
         [](TTestUndoable& o) { o.AdoptMemento(Made(9, "B", 1, 1, 1, 99)); },
         true,
         {ResultId(ResultId(3)), 9, 1},
         {}},
        {"clear while undoing",
         [](TTestUndoable& o) { o.ClearUndoMementos(); },
         false,
         {},
         {ResultId(3)}},
        {"trim to one while redoing",
         [](TTestUndoable& o) { o.SetMaxNumOfUndoMementos(1); },
         true,
         {ResultId(ResultId(3))},
         {}},
        {"trim to none while undoing",
         [](TTestUndoable& o) { o.SetMaxNumOfUndoMementos(0); },
         false,
         {},
         {}},
    };
    for (const TCase& c : cases) {
        TTestUndoable object;
        for (int id = 1; id <= 3; ++id) object.Snapshot(id);  // one packable run A1
        if (c.redo) object.UndoCurrentState();
        object.apply = [&](TTestMemento* m, char) {
            c.during(object);
            object.UndoCurrentState();  // no nested undo or redo while applying
            object.RedoLastUndoneState();
            return object.SwapState(m);
        };
        if (c.redo)
            object.RedoLastUndoneState();
        else
            object.UndoCurrentState();
        EXPECT_EQ(object.UndoIds(), c.undo) << c.what;
        EXPECT_EQ(object.RedoIds(), c.redoIds) << c.what;
        EXPECT_EQ(LiveMementos(), int(c.undo.size() + c.redoIds.size())) << c.what;
    }
}

TEST_F(UndoableTest, ApplyMementoMayReturnTheAppliedMemento) {
    TTestUndoable object;
    object.Snapshot(1);
    object.state = 10;
    object.apply = [&](TTestMemento* m, char) {  // swaps the states in place
        std::swap(object.state, m->m_state);
        return m;
    };
    for (int round = 0; round < 3; ++round) {
        object.UndoCurrentState();
        EXPECT_EQ(object.state, 0);
        EXPECT_EQ(object.RedoIds(), TIds({1}));
        object.RedoLastUndoneState();
        EXPECT_EQ(object.state, 10);
        EXPECT_EQ(object.UndoIds(), TIds({1}));
    }
    EXPECT_EQ(LiveMementos(), 1);
}

TEST_F(UndoableTest, ApplyMementoThatThrowsLeavesTheStacks) {
    TTestUndoable object;
    object.Snapshot(1, "A");
    object.Snapshot(2, "B");
    object.apply = [](TTestMemento*, char) -> TUndoMemento* { throw std::runtime_error("x"); };
    EXPECT_THROW(object.UndoCurrentState(), std::runtime_error);
    EXPECT_EQ(object.UndoIds(), TIds({2, 1}));
    object.apply = [&](TTestMemento*, char) -> TUndoMemento* {
        object.ClearUndoMementos();  // the applied memento leaves its list, then the call fails
        throw std::runtime_error("x");
    };
    EXPECT_THROW(object.UndoCurrentState(), std::runtime_error);
    EXPECT_EQ(object.GetNumUndoMementos(), 0);
    object.apply = nullptr;
    object.Snapshot(3);  // and the object works on
    object.UndoCurrentState();
    EXPECT_EQ(object.RedoIds(), TIds({ResultId(3)}));
}

TEST_F(UndoableTest, CopiesCloneTheStacksAndDeleteThroughTheBase) {
    TTestUndoable object;
    object.SetMaxNumOfUndoMementos(5);
    object.DoNotSaveUndoMementosWithName("B");
    for (int id = 1; id <= 3; ++id) object.Snapshot(id, id == 2 ? "B" : "A", 1, 10);
    object.UndoCurrentState();

    TTestUndoable copy(object);
    EXPECT_EQ(copy.UndoIds(), object.UndoIds());
    EXPECT_EQ(copy.RedoIds(), object.RedoIds());
    EXPECT_EQ(copy.GetInvolvedUndoMemory(), object.GetInvolvedUndoMemory());
    EXPECT_FALSE(copy.IsUndoEnabledFor("B"));  // the excluded name came along
    EXPECT_NE(copy.GetFirstUndoMemento(), object.GetFirstUndoMemento());

    TTestUndoable assigned(1);
    assigned.Snapshot(7);
    assigned = object;
    TTestUndoable& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.UndoIds(), object.UndoIds());
    EXPECT_EQ(assigned.GetInvolvedUndoMemory(), 30u);  // the redo stack counts
    for (int id = 10; id < 16; ++id) assigned.Snapshot(id, "C", id);
    EXPECT_EQ(assigned.GetNumUndoMementos(), 5);  // the maximum came along

    std::unique_ptr<TUndoable> owner(new TTestUndoable(copy));
    owner.reset();  // the virtual destructor deletes the derived object and its mementos
    EXPECT_EQ(LiveMementos(), 2 * 3 + 5);
}
