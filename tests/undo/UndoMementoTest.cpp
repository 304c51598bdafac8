// What the memento base holds and reports.
#include "TestMementos.h"

#include <gtest/gtest.h>

TEST(UndoMementoTest, BaseValuesAndReports) {
    struct TBare : TUndoMemento {
        TBare(const TString& name) : TUndoMemento(name, -4, 1, 0) {}
        TBare(const char* name) : TUndoMemento(name, 7, 0, 1) {}
        TBare& operator=(const TBare&) = default;
        char IsSameState(const TUndoMemento&) const override { return 0; }
        char IsDiscardable() const override { return 0; }
    };
    TBare fromString(TString("Cut"));
    TBare fromText("Paste");
    TBare fromNull(static_cast<const char*>(nullptr));
    EXPECT_EQ(fromString.GetActionName(), "Cut");
    EXPECT_EQ(fromString.GetActionInstance(), -4);
    EXPECT_TRUE(fromString.IsPackable());
    EXPECT_FALSE(fromString.IsMajorModification());
    EXPECT_EQ(fromNull.GetActionName(), "");

    // The base reports its own record: 56 bytes on 64-bit.
    EXPECT_EQ(fromText.GetInvolvedMemory(), sizeof(TUndoMemento));
    EXPECT_EQ(sizeof(TUndoMemento), 56u);
    EXPECT_EQ(fromText.GetInvolvedDiskSpace(), 0u);
    EXPECT_EQ(fromText.GetNumInvolvedFiles(), 0u);
    EXPECT_FALSE(fromText.CanGroup(fromString));

    // Assignment copies the four values and leaves the list links alone.
    TDoubleList list(0);
    list.Append(&fromString);
    list.Append(&fromNull);
    fromString = fromText;
    EXPECT_EQ(fromString.GetActionName(), "Paste");
    EXPECT_EQ(fromString.GetActionInstance(), 7);
    EXPECT_TRUE(fromString.IsMajorModification());
    EXPECT_FALSE(fromString.IsPackable());
    EXPECT_EQ(list.GetNext(&fromString), &fromNull);
    list.DetachAll();
}
