// Registered configurations: order and categories, both kinds, group paths, swallowed
// exceptions, leaving the chain, copies, and a module loaded and unloaded.
#include <commonvcqx/config/AutoConfig.h>
#include <commonvcqx/platform/internal/SharedModules.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Each registration appends its letter to the log its user data points to, with the
// name of the group it ran in.
struct TLog {
    std::string text;
};

struct TEntry {
    TLog* log;
    char letter;
};

void Record(TConfig& config, TEntry* entry, const char* what) {
    entry->log->text += entry->letter;
    entry->log->text += what;
    entry->log->text += '@';
    entry->log->text += config.GetCurrentKey()->GetName().c_str();
    entry->log->text += ' ';
}

void TreeLoad(TConfig& config, void* data) {
    Record(config, static_cast<TEntry*>(data), "L");
}
void TreeSave(TConfig& config, int argument, void* data) {
    Record(config, static_cast<TEntry*>(data), ("S" + std::to_string(argument)).c_str());
}
void Throwing(TConfig& config, void* data) {
    Record(config, static_cast<TEntry*>(data), "T");
    config.MoveDown("/Elsewhere", 0);
    throw std::runtime_error("callback failed");
}
void ThrowingInt(TConfig&, int, void*) {
    throw 3;
}

void FileLoad(const TFileName& name, const char* text, void* data) {
    auto* entry = static_cast<TEntry*>(data);
    entry->log->text += std::string(1, entry->letter) + "F(" + name.c_str() + "," + text + ") ";
}

TEST(AutoConfig, OnlyTheCategoryRunsNewestFirst) {
    TLog log;
    TEntry a{&log, 'a'}, b{&log, 'b'}, c{&log, 'c'}, d{&log, 'd'};
    TAutoConfig first("/One", TreeLoad, TreeSave, 901, &a);
    TAutoConfig second(nullptr, TreeLoad, TreeSave, 902, &b);
    TAutoConfig third("", TreeLoad, TreeSave, 901, &c);
    TAutoConfig fourth(FileLoad, nullptr, "C:\\cfg\\mod.cfg", "extra", 901, &d);
    TConfig config("Root", TConfig::kNoMode);
    LoadAllRegisteredConfig(config, 902);
    EXPECT_EQ(log.text, "bL@Root ");
    log.text.clear();
    LoadAllRegisteredConfig(config, 901);
    EXPECT_EQ(log.text, "dF(C:\\cfg\\mod.cfg,extra) cL@Root aL@One ");
    log.text.clear();
    SaveAllRegisteredConfig(config, 42, 901);  // the file kind has no save function
    EXPECT_EQ(log.text, "cS42@Root aS42@One ");
    log.text.clear();
    LoadAllRegisteredConfig(config, 903);
    EXPECT_EQ(log.text, "");
    EXPECT_EQ(config.GetCurrentKey(), config.GetRoot());
    EXPECT_EQ(fourth.GetFileName(), TFileName("C:\\cfg\\mod.cfg"));
    EXPECT_EQ(fourth.IsFileKind(), 1);
    EXPECT_EQ(first.IsFileKind(), 0);
    EXPECT_EQ(fourth.GetNext(), &third);
}

TEST(AutoConfig, ExceptionsAreSwallowedAndTheCursorRestored) {
    TLog log;
    TEntry a{&log, 'a'}, b{&log, 'b'}, c{&log, 'c'};
    TAutoConfig first("/G", TreeLoad, TreeSave, 911, &a);
    TAutoConfig second("/G/H", Throwing, ThrowingInt, 911, &b);
    TAutoConfig third("K", TreeLoad, TreeSave, 911, &c);
    TConfig config("Root", TConfig::kNoMode);
    TConfigKey* start = config.MoveDown("/Start", 0);
    LoadAllRegisteredConfig(config, 911);
    EXPECT_EQ(log.text, "cL@K bT@H aL@G ");  // a relative path is entered from the cursor
    EXPECT_EQ(config.GetCurrentKey(), start);
    EXPECT_EQ(config.GetCurrentKey()->GetParent(), config.GetRoot());
    log.text.clear();
    SaveAllRegisteredConfig(config, 1, 911);
    EXPECT_EQ(log.text, "cS1@K aS1@G ");
    EXPECT_EQ(config.GetCurrentKey(), start);
}

TEST(AutoConfig, GroupsThatCannotBeEnteredAreSkipped) {
    TLog log;
    TEntry a{&log, 'a'}, b{&log, 'b'}, c{&log, 'c'}, d{&log, 'd'};
    TAutoConfig present("/Here/There", TreeLoad, TreeSave, 921, &a);
    TAutoConfig missing("/Here/Nowhere", TreeLoad, TreeSave, 921, &b);
    TAutoConfig refused("/Here/{", TreeLoad, TreeSave, 921, &c);  // a name the text refuses
    TAutoConfig same("/Here/Here", TreeLoad, TreeSave, 921, &d);
    TConfig config("Root", TConfig::kNoMode);
    config.MoveDown("/Here/There", 0);
    config.MoveToRoot();
    config.SetAutoCreate(0);
    LoadAllRegisteredConfig(config, 921);
    EXPECT_EQ(log.text, "aL@There ");
    EXPECT_EQ(config.GetCurrentKey(), config.GetRoot());
    EXPECT_FALSE(config.ExistGroup("Nowhere"));
    config.SetAutoCreate(1);
    log.text.clear();
    LoadAllRegisteredConfig(config, 921);
    EXPECT_EQ(log.text, "dL@Here bL@Nowhere aL@There ");
}

TEST(AutoConfig, DestroyedRegistrationsLeaveTheChain) {
    TLog log;
    TEntry a{&log, 'a'}, b{&log, 'b'}, c{&log, 'c'};
    TAutoConfig outer(nullptr, TreeLoad, nullptr, 931, &a);
    {
        TAutoConfig inner(nullptr, TreeLoad, nullptr, 931, &b);
        auto late = std::make_unique<TAutoConfig>(nullptr, TreeLoad, nullptr, 931, &c);
        TConfig config("R", TConfig::kNoMode);
        LoadAllRegisteredConfig(config, 931);
        EXPECT_EQ(log.text, "cL@R bL@R aL@R ");
        late.reset();  // from the head
        log.text.clear();
        LoadAllRegisteredConfig(config, 931);
        EXPECT_EQ(log.text, "bL@R aL@R ");
    }
    TConfig config("R", TConfig::kNoMode);
    log.text.clear();
    LoadAllRegisteredConfig(config, 931);
    EXPECT_EQ(log.text, "aL@R ");
}

TEST(AutoConfig, CopiesTakeEveryFieldAndKeepTheChain) {
    TLog log;
    TEntry a{&log, 'a'}, b{&log, 'b'};
    TAutoConfig first("/A", TreeLoad, nullptr, 941, &a);
    TAutoConfig second("/B", TreeLoad, nullptr, 941, &b);
    TAutoConfig copy(second);
    EXPECT_EQ(copy.GetNext(), second.GetNext());
    EXPECT_STREQ(copy.GetText(), "/B");
    EXPECT_EQ(copy.GetUserData(), &b);
    TConfig config("R", TConfig::kNoMode);
    LoadAllRegisteredConfig(config, 941);
    EXPECT_EQ(log.text, "bL@B aL@A ");  // the copy is not registered
    // Assigning the first over the second: both now run as the first, and none is lost.
    second = first;
    EXPECT_EQ(second.GetNext(), &first);
    log.text.clear();
    LoadAllRegisteredConfig(config, 941);
    EXPECT_EQ(log.text, "aL@A aL@A ");
}

TEST(AutoConfig, ModuleRegistrationsComeAndGoWithTheModule) {
    TConfig config("R", TConfig::kNoMode);
    LoadAllRegisteredConfig(config, 4711);
    EXPECT_FALSE(config.ExistGroup("Module"));
    void* module = cvq::platform::OpenSharedModule(CVQ_AUTOCONFIG_MODULE);
    ASSERT_NE(module, nullptr) << cvq::platform::LastSharedModuleError();
    LoadAllRegisteredConfig(config, 4711);
    config.MoveToRoot();
    config.MoveDown("/Module", 0);
    EXPECT_EQ(config.GetValue(0, "FromModule", 0), 1);
    config.Clear();
    ASSERT_TRUE(cvq::platform::CloseSharedModule(module));
    LoadAllRegisteredConfig(config, 4711);
    EXPECT_EQ(config.GetNumKeys(), 0);
}

TEST(AutoConfig, RegistrationsComeAndGoWhileWalksRun) {
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    auto count = [](TConfig&, void* data) { ++*static_cast<std::atomic<int>*>(data); };
    TAutoConfig steady(nullptr, count, nullptr, 951, &calls);
    std::thread churn([&] {
        while (!stop) {
            std::vector<std::unique_ptr<TAutoConfig>> made;
            for (int i = 0; i < 8; ++i)
                made.push_back(std::make_unique<TAutoConfig>(nullptr, count, nullptr, 951, &calls));
        }
    });
    TConfig config("R", TConfig::kNoMode);
    int walks = 0;
    for (; walks < 300; ++walks) {
        const int before = calls;
        LoadAllRegisteredConfig(config, 951);
        EXPECT_GE(calls - before, 1);
    }
    stop = true;
    churn.join();
    const int before = calls;
    LoadAllRegisteredConfig(config, 951);
    EXPECT_EQ(calls - before, 1);
}

}  // namespace
