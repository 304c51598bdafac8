#include <commonvcqx/frame/Object.h>

#include <gtest/gtest.h>

namespace {

// Counts its lives so that ownership mistakes show as numbers.
struct TCounted : TObject {
    static inline int alive = 0;
    static inline int clones = 0;
    int value;
    explicit TCounted(int v) : value(v) { ++alive; }
    TCounted(const TCounted& other) : TObject(other), value(other.value) { ++alive; }
    TObject* CreateClone(void*) const override {
        ++clones;
        return new TCounted(*this);
    }
    int Compare(const TObject& other, int) const override {
        return value - static_cast<const TCounted&>(other).value;
    }

protected:
    ~TCounted() override { --alive; }
};

struct TPlain : TObject {};

TObject* MakePlain(int32_t) {
    return new TPlain;
}

}  // namespace

TEST(ObjectTest, DefaultsDoNothing) {
    TElementFactory factory = &MakePlain;
    TObject* a = factory(7);
    TObject* b = factory(0);
    EXPECT_EQ(a->Compare(*b, 0), -1);
    EXPECT_EQ(a->Compare(*a, 3), -1);
    EXPECT_EQ(a->CreateClone(nullptr), nullptr);
    EXPECT_EQ(a->GetHashedValue(), 0u);
    *a = *b;  // assignment has nothing to copy
    a->Delete();
    b->Delete();
}

TEST(ObjectTest, AssignCloneVirtualReplacesOwnedObject) {
    TCounted::alive = TCounted::clones = 0;
    TCounted* source = new TCounted(4);
    TObject* held = new TCounted(9);

    __AssignCloneVirtual(source, &held);
    ASSERT_NE(held, nullptr);
    EXPECT_NE(held, source);
    EXPECT_EQ(static_cast<TCounted*>(held)->value, 4);
    EXPECT_EQ(TCounted::alive, 2);  // the 9 is gone

    // Aliased source and target: the object is replaced by its own clone, not read
    // after it was deleted.
    __AssignCloneVirtual(held, &held);
    EXPECT_EQ(static_cast<TCounted*>(held)->value, 4);
    EXPECT_EQ(TCounted::alive, 2);

    __AssignCloneVirtual(nullptr, &held);
    EXPECT_EQ(held, nullptr);
    EXPECT_EQ(TCounted::alive, 1);

    __AssignCloneVirtual(nullptr, &held);  // nothing held, nothing given
    EXPECT_EQ(held, nullptr);

    // A source without clones leaves the target empty.
    TPlain plain;
    held = new TCounted(1);
    __AssignCloneVirtual(&plain, &held);
    EXPECT_EQ(held, nullptr);
    EXPECT_EQ(TCounted::alive, 1);
    source->Delete();
    EXPECT_EQ(TCounted::alive, 0);
    EXPECT_EQ(TCounted::clones, 2);
}
