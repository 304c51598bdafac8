// TConfigKey: comparison, deep copies with their hooks, trees too deep for recursion,
// and the name index of large groups against a plain walk of the list.
#include "ConfigTestSupport.h"

#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/ConfigKey.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A derived configuration may set the hooks; they count what they see.
class TCountingConfig : public TConfig {
public:
    explicit TCountingConfig(EMode mode) : TConfig("Counted", mode) {
        m_keyCopiedHook = [](TConfigKey*, const TConfigKey* source) {
            ++Copied();
            EXPECT_NE(source, nullptr);
        };
        m_keyDeletedHook = [](TConfigKey*) { ++Deleted(); };
    }
    static int& Copied() {
        static int count = 0;
        return count;
    }
    static int& Deleted() {
        static int count = 0;
        return count;
    }
};

int Sign(int value) {
    return (value > 0) - (value < 0);
}

}  // namespace

TEST(ConfigKeyTest, CompareOrdersByNameKindValueAndChildren) {
    TConfig config("Prefs", TConfig::kNoMode);
    TConfigKey group(config, "b", nullptr, 1);
    TConfigKey value(config, "b", nullptr, 0);
    TConfigKey later(config, "c", nullptr, 0);
    TConfigKey earlier(config, "a", nullptr, 1);
    EXPECT_LT(group.Compare(value, 0), 0);  // same name: a group first
    EXPECT_GT(value.Compare(group, 0), 0);
    EXPECT_LT(value.Compare(later, 0), 0);
    EXPECT_GT(later.Compare(earlier, 0), 0);
    EXPECT_LT(earlier.Compare(later, 4), 0);
    EXPECT_GT(group.Compare(earlier, 0), 0);
    // Flag 4: with different names a group still comes first.
    EXPECT_LT(TConfigKey(config, "z", nullptr, 1).Compare(value, 4), 0);
    EXPECT_GT(value.Compare(TConfigKey(config, "z", nullptr, 1), 4), 0);
    // Byte-wise unsigned.
    EXPECT_GT(TConfigKey(config, "\xE9", nullptr, 0).Compare(later, 0), 0);
    // Flag 0x40 skips the names of the outermost pair only.
    EXPECT_EQ(Sign(earlier.Compare(group, 0x40)), 0);
    EXPECT_NE(earlier.Compare(group, 0), 0);
}

TEST(ConfigKeyTest, TreesCompareDeeplyAndCopiesAreEqual) {
    TConfig a("Prefs", TConfig::kNoMode);
    a.MoveDown("/x/y", 0);
    a.SetValue(3, "v", 0);
    a.MoveDown("/x", 0);
    a.SetValue("w", "w", 0);
    a.MoveToRoot();
    a.SetValue(1.5, "top", 0);

    TConfig b(a);
    EXPECT_TRUE(a == b);
    EXPECT_EQ(b.GetCurrentKey(), b.GetRoot());
    EXPECT_EQ(b.GetRoot()->FirstChild()->GetConfig(), &b);
    EXPECT_EQ(b.GetRoot()->FirstChild()->GetParent(), b.GetRoot());
    b.MoveDown("/x/y", 0);
    b.SetValue(4, "v", 0);
    EXPECT_TRUE(a != b);
    b.SetValue(3, "v", 0);
    EXPECT_TRUE(a == b);
    b.SetValue(3, "extra", 0);  // a different child count gives 1 both ways
    EXPECT_EQ(a.GetRoot()->Compare(*b.GetRoot(), 0), 1);
    EXPECT_EQ(b.GetRoot()->Compare(*a.GetRoot(), 0), 1);

    TConfig c("Other", TConfig::kSorted);
    c = a;
    EXPECT_TRUE(c == a);
    EXPECT_EQ(c.GetMode(), TConfig::kNoMode);
    EXPECT_EQ(std::string(c.GetName().c_str()), "Prefs");
    // A different root name matters to == (flags 0) but not with 0x40.
    TConfig renamed("Renamed", TConfig::kNoMode);
    renamed = a;
    TConfig other("Other", TConfig::kNoMode);
    TConfigKey* clone = static_cast<TConfigKey*>(a.GetRoot()->CreateClone(&other));
    EXPECT_EQ(clone->GetConfig(), &other);
    EXPECT_EQ(clone->GetParent(), nullptr);
    EXPECT_EQ(clone->Compare(*a.GetRoot(), 0), 0);
    clone->Delete();

    // Assigning a key from its own subtree.
    TConfigKey* x = a.GetRoot()->FirstChild();
    TConfigKey* y = x->FirstChild();
    x->Assign(*y, a);
    EXPECT_EQ(std::string(x->GetName().c_str()), "y");
    EXPECT_EQ(x->ChildKeys()->GetCount(), 1);
}

TEST(ConfigKeyTest, HooksSeeEveryCopiedAndDeletedKey) {
    TCountingConfig::Copied() = 0;
    TCountingConfig::Deleted() = 0;
    {
        TCountingConfig config(TConfig::kNoMode);
        config.MoveDown("/a/b", 0);
        config.SetValue(1, "v", 0);
        config.MoveToRoot();
        config.SetValue(2, "w", 0);
        {
            TConfig copy(config);  // root, a, b, v, w
            EXPECT_EQ(TCountingConfig::Copied(), 5);
        }
        EXPECT_EQ(TCountingConfig::Deleted(), 5);
        config.DeleteChildKey("a", 0);
        EXPECT_EQ(TCountingConfig::Deleted(), 8);
    }
    EXPECT_EQ(TCountingConfig::Deleted(), 10);
}

TEST(ConfigKeyTest, TreesDeeperThanAnyStackAreWalkedWithoutRecursion) {
    constexpr int kDepth = 200000;
    TConfig config("Deep", TConfig::kNoMode);
    for (int i = 0; i < kDepth; ++i) config.MoveDown("g", 0);
    config.SetValue(1, "leaf", 0);
    config.MoveToRoot();

    TConfig copy(config);
    EXPECT_TRUE(copy == config);
    int visited = 0;
    copy.ForEachKey([](TConfigKey&, void* data) { ++*static_cast<int*>(data); }, &visited);
    EXPECT_EQ(visited, kDepth + 1);
    TConfig::TStringList lines;
    EXPECT_EQ(copy.GetAsPathList(lines), 1);
    EXPECT_EQ(lines.GetFirst()->GetString().GetLength(), uint32_t(kDepth) * 2 + 4);

    // Without the value every group is empty and goes.
    copy.MoveToRoot();
    TConfigKey* bottom = copy.GetRoot();
    while (bottom->FirstChild()) bottom = bottom->FirstChild();
    copy.DeleteKey(bottom);
    copy.MoveToRoot();
    copy.DeleteEmptyGroups();
    EXPECT_EQ(copy.GetNumKeys(), 0);
}

TEST(ConfigKeyTest, NameIndexAgreesWithAWalkOfTheList) {
    // Random changes to large groups; every lookup is checked against the list.
    for (TConfig::EMode mode : {TConfig::kNoMode, TConfig::kSorted, TConfig::kSortedGroupsFirst}) {
        TConfig config("Model", mode);
        std::mt19937 random(1234 + int(mode));
        auto name = [&] { return "k" + std::to_string(random() % 40); };
        auto walk = [&](const std::string& n, TConfigKey::EKind kind) -> TConfigKey* {
            for (TConfigKey* key = config.GetFirstKey(); key; key = key->GetNext()) {
                if (kind == TConfigKey::kGroupKind && !key->IsGroup()) continue;
                if (kind == TConfigKey::kValueKind && key->IsGroup()) continue;
                if (std::string(key->GetName().c_str()) == n) return key;
            }
            return nullptr;
        };
        for (int step = 0; step < 2000; ++step) {
            std::string n = name();
            switch (random() % 6) {
                case 0:
                case 1:
                    config.SetValue(int32_t(step), n.c_str(), 0);
                    break;
                case 2:
                    config.CreateKey(n.c_str());
                    break;
                case 3:
                    config.MoveDown(n.c_str(), 0);
                    config.MoveUp();
                    break;
                case 4:
                    config.DeleteChildKey(n.c_str(), 0);
                    break;
                case 5:
                    if (TConfigKey* key = config.GetKey(int(random() % 50))) config.DeleteKey(key);
                    break;
            }
            for (int i = 0; i < 40; ++i) {
                std::string probe = "k" + std::to_string(i);
                for (auto kind :
                     {TConfigKey::kAnyKind, TConfigKey::kGroupKind, TConfigKey::kValueKind}) {
                    ASSERT_EQ(config.GetRoot()->FindChild(probe, kind), walk(probe, kind))
                        << "mode " << mode << " step " << step << " " << probe << " " << kind;
                }
            }
        }
        EXPECT_GT(config.GetNumKeys(), 16);  // the index was in use
    }
}

TEST(ConfigKeyTest, ManyValuesInOneGroupLoadWithRepeatsOverwriting) {
    constexpr int kValues = 100000;
    std::string text = "Big\r\n{\r\n";
    for (int i = 0; i < kValues; ++i)
        text += "\tv" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    text += "\tv7=again\r\n}\r\n";
    TConfig config("", TConfig::kNoMode);
    cvq::test::ReadText(config, text);
    EXPECT_EQ(config.GetNumKeys(), kValues);
    EXPECT_EQ(config.GetValue(-1, "v99999", 0), 99999);
    EXPECT_EQ(std::string(config.GetValue("", "v7", 0).c_str()), "again");
}
