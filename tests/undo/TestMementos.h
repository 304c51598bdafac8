// A counting memento and an undoable integer for the undo tests. Each memento carries
// an id (its order of making), the state it holds and the costs it reports; the live
// count shows every ownership rule: a leak leaves it above zero, a double delete is
// the sanitizers' to find. The undoable's ApplyMemento can be replaced per test.
#pragma once

#include <commonvcqx/undo/Undoable.h>

#include <functional>
#include <vector>

inline int& LiveMementos() {
    static int live = 0;
    return live;
}

class TTestMemento : public TUndoMemento {
public:
    TTestMemento(int id, int state, const char* name = "A", int32_t instance = 1, char packable = 1,
                 char discardable = 1, char major = 0)
        : TUndoMemento(name, instance, packable, major),
          m_id(id),
          m_state(state),
          m_discardable(discardable) {
        ++LiveMementos();
    }
    TTestMemento(const TTestMemento& other)
        : TUndoMemento(other),
          m_id(other.m_id),
          m_state(other.m_state),
          m_discardable(other.m_discardable),
          m_group(other.m_group),
          m_memory(other.m_memory),
          m_diskSpace(other.m_diskSpace),
          m_files(other.m_files) {
        ++LiveMementos();
    }
    TTestMemento& operator=(const TTestMemento&) = default;

    ~TTestMemento() override { --LiveMementos(); }

    TObject* CreateClone(void*) const override { return new TTestMemento(*this); }
    uint32_t GetInvolvedMemory() const override { return m_memory; }
    uint32_t GetInvolvedDiskSpace() const override { return m_diskSpace; }
    uint32_t GetNumInvolvedFiles() const override { return m_files; }
    char IsSameState(const TUndoMemento& other) const override {
        return static_cast<const TTestMemento&>(other).m_state == m_state;
    }
    char IsDiscardable() const override { return m_discardable; }
    char CanGroup(const TUndoMemento& other) const override {
        return m_group != 0 && static_cast<const TTestMemento&>(other).m_group == m_group;
    }

    int m_id;
    int m_state;
    char m_discardable;
    int m_group = 0;
    uint32_t m_memory = 0;
    uint32_t m_diskSpace = 0;
    uint32_t m_files = 0;
};

inline TTestMemento* AsTest(TUndoMemento* memento) {
    return static_cast<TTestMemento*>(memento);
}

/// The id a memento made by applying memento `id` gets.
inline int ResultId(int id) {
    return id + 1000000;
}

class TTestUndoable : public TUndoable {
public:
    TTestUndoable() = default;
    explicit TTestUndoable(int32_t maximum) : TUndoable(maximum) {}

    /// Files a memento of the current state, then changes the state (the host's order).
    void Snapshot(int id, const char* name = "A", int32_t instance = 1, uint32_t memory = 0) {
        auto* memento = new TTestMemento(id, state, name, instance);
        memento->m_memory = memory;
        AdoptMemento(memento);
        state = id * 10;
    }

    std::vector<int> UndoIds() const { return Ids(GetFirstUndoMemento(), false); }
    std::vector<int> RedoIds() const { return Ids(GetFirstRedoMemento(), true); }

    int state = 0;
    int applied = 0;
    /// Replaces the default ApplyMemento when set.
    std::function<TUndoMemento*(TTestMemento*, char)> apply;

    /// The default: take the memento's state, return one of the state left, same action
    /// and costs.
    TUndoMemento* SwapState(TTestMemento* memento) {
        auto* result =
            new TTestMemento(ResultId(memento->m_id), state, memento->GetActionName().c_str(),
                             memento->GetActionInstance(), memento->IsPackable(),
                             memento->m_discardable, memento->IsMajorModification());
        result->m_memory = memento->m_memory;  // a snapshot of the same size
        result->m_diskSpace = memento->m_diskSpace;
        result->m_files = memento->m_files;
        state = memento->m_state;
        return result;
    }

protected:
    TUndoMemento* ApplyMemento(TUndoMemento* memento, char redo) override {
        ++applied;
        if (apply) return apply(AsTest(memento), redo);
        return SwapState(AsTest(memento));
    }

private:
    std::vector<int> Ids(TUndoMemento* m, bool redo) const {
        std::vector<int> ids;
        for (; m; m = redo ? GetNextRedoMemento(m) : GetNextUndoMemento(m))
            ids.push_back(AsTest(m)->m_id);
        return ids;
    }
};
