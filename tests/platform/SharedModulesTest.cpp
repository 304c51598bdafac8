#include <commonvcqx/platform/internal/SharedModules.h>

#include <gtest/gtest.h>

#include <string>

namespace pf = cvq::platform;

TEST(SharedModulesTest, NamesGoThroughTheDriveTableOrTheLoaderSearch) {
    void* math = pf::OpenModuleByName("libm.so.6");  // not beside us: the loader finds it
    ASSERT_NE(math, nullptr) << pf::LastSharedModuleError();
    EXPECT_NE(pf::FindModuleSymbol(math, "cos"), nullptr);
    EXPECT_TRUE(pf::CloseSharedModule(math));

    EXPECT_EQ(pf::OpenModuleByName("Q:\\unmapped\\libfx.so"), nullptr);
    EXPECT_NE(std::string(pf::LastSharedModuleError()).find("no such drive"), std::string::npos);
    EXPECT_EQ(pf::OpenModuleByName("C:\\nowhere\\libfx.so"), nullptr);
    EXPECT_NE(std::string(pf::LastSharedModuleError()), "");
    EXPECT_EQ(pf::OpenModuleByName(""), nullptr);
    EXPECT_EQ(pf::OpenModuleByName(nullptr), nullptr);
    EXPECT_NE(pf::ProgramModule(), nullptr);
    EXPECT_EQ(pf::ProgramModule(), pf::ProgramModule());
}
