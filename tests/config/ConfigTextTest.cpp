// The configuration's text form byte for byte, its reading rules and damaged input,
// files with the time stamp and the atomic save, and path lists.
#include "../files/FileTestSupport.h"
#include "ConfigTestSupport.h"

#include <commonvcqx/config/Config.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/TraceSink.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using cvq::test::ReadText;
using cvq::test::TextOf;
using cvq::test::Throws;

const std::string kExample =
    "Prefs\r\n{\r\n\tWidth=640\r\n\tPaths\r\n\t{\r\n\t\tLast=c:\\x\r\n\t}\r\n}\r\n";

std::vector<std::string> Lines(const TConfig::TStringList& list) {
    std::vector<std::string> lines;
    for (auto& item : list) lines.emplace_back(item.c_str());
    return lines;
}

class ConfigFileTest : public cvq::test::ScratchFolder {};

}  // namespace

TEST(ConfigTextTest, TheExampleIsWrittenAndReadByteForByte) {
    TConfig config("Prefs", TConfig::kNoMode);
    config.SetValue(640, "Width", 0);
    config.MoveDown("Paths", 0);
    config.SetValue("c:\\x", "Last", 0);
    config.MoveDown("/Empty/Deeper", 0);  // empty groups are not written
    config.MoveToRoot();
    EXPECT_EQ(TextOf(config), kExample);
    EXPECT_EQ(config.GetCurrentKey(), config.GetRoot());

    TConfig back("Other", TConfig::kNoMode);
    ReadText(back, kExample);
    EXPECT_EQ(std::string(back.GetName().c_str()), "Prefs");
    EXPECT_EQ(back.GetValue(0, "Width", 0), 640);
    EXPECT_EQ(TextOf(back), kExample);
    EXPECT_FALSE(back.ExistGroup("Empty", 0));

    // An empty value is the name alone; an empty root name reads back too.
    TConfig bare("", TConfig::kNoMode);
    bare.CreateKey("flag");
    bare.MoveDown("g", 0);
    bare.SetValue("x", "v", 0);
    const std::string text = TextOf(bare);
    EXPECT_EQ(text, "\r\n{\r\n\tflag\r\n\tg\r\n\t{\r\n\t\tv=x\r\n\t}\r\n}\r\n");
    TConfig again("Named", TConfig::kNoMode);
    ReadText(again, text);
    EXPECT_TRUE(again == bare);
    EXPECT_EQ(TextOf(again), text);
}

TEST(ConfigTextTest, ReadingFollowsTheLineRules) {
    struct Case {
        const char* name;
        std::string text;
        std::string written;
    } cases[] = {
        {"first = splits", "R\n{\na=b=c\n}\n", "R\r\n{\r\n\ta=b=c\r\n}\r\n"},
        {"= first is a name", "R\n{\n=x\n}", "R\r\n{\r\n\t=x\r\n}\r\n"},
        {"repeats of a bare name stay", "R\n{\na\na\n}", "R\r\n{\r\n\ta\r\n\ta\r\n}\r\n"},
        {"repeats of a value overwrite", "R\n{\na=1\na=2\n}", "R\r\n{\r\n\ta=2\r\n}\r\n"},
        {"slash in a header", "R\n{\nx/y\n{\nv=1\n}\n}",
         "R\r\n{\r\n\tx:y\r\n\t{\r\n\t\tv=1\r\n\t}\r\n}\r\n"},
        {"blanks trimmed, any line end", "  R \r {\0   v = 1 \t\r\n\r\n\n}",
         "R\r\n{\r\n\tv = 1\r\n}\r\n"},
        {"no final line break", "R\n{\nv=1", "R\r\n{\r\n\tv=1\r\n}\r\n"},
        {"same groups merge", "R\n{\ng\n{\na=1\n}\ng\n{\nb=2\n}\n}",
         "R\r\n{\r\n\tg\r\n\t{\r\n\t\ta=1\r\n\t\tb=2\r\n\t}\r\n}\r\n"},
        {"text after the root's end is ignored", "R\n{\n}\n}\nlost=1", "R\r\n{\r\n}\r\n"},
        {"a stray brace is skipped", "R\n{\n{\nv=1\n}", "R\r\n{\r\n\tv=1\r\n}\r\n"},
        {"a line before a brace is a header", "R\n{\nv=1\n{\nw=2\n}",
         "R\r\n{\r\n\tv=1\r\n\t{\r\n\t\tw=2\r\n\t}\r\n}\r\n"},
        {"empty block", "", "\r\n{\r\n}\r\n"},
        {"outer lines join the root", "R\n{\na=1\n}\nb=2\n}\nc=3",
         "R\r\n{\r\n\ta=1\r\n\tb=2\r\n}\r\n"},
    };
    for (const Case& c : cases) {
        TConfig config("", TConfig::kNoMode);
        std::string text = c.text;
        if (std::string(c.name) == "blanks trimmed, any line end")
            text = std::string("  R \r {\0   v = 1 \t\r\n\r\n\n}", 25);
        ReadText(config, text);
        EXPECT_EQ(TextOf(config), c.written) << c.name;
        // One normalisation: the written text reads back to itself.
        TConfig again("", TConfig::kNoMode);
        ReadText(again, c.written);
        EXPECT_EQ(TextOf(again), c.written) << c.name;
    }
    TConfig config("Kept", TConfig::kNoMode);
    config.BuildFromTextBlock(nullptr, 10);  // nothing for a null block
    EXPECT_EQ(std::string(config.GetName().c_str()), "Kept");
}

TEST(ConfigTextTest, TheEarliestDepartureFromTheWrittenFormIsReported) {
    struct Case {
        std::string text;
        int32_t line;
        const char* reason;
    } cases[] = {
        {kExample, 0, ""},
        {"\r\n{\r\n\tflag\r\n}\r\n", 0, ""},             // an unnamed root
        {"P\n{\n\n  a=1  \n\tg\n\t{\n\t}\n}\n", 0, ""},  // blank lines, LF, empty group
        {"P\r{\ra\r}\r", 0, ""},                         // bare CR ends lines too
        {"", 1, "no root group"},
        {" \t\r\n\r\n", 1, "no root group"},
        {"a=1\r\n", 1, "a value outside the root group"},
        {"P\r\n{\r\n\t{\r\n\ta=1\r\n}\r\n", 3, "an opening brace without a group name before it"},
        {"P\r\n{\r\n}\r\n}\r\n", 4, "a closing brace outside every group"},
        {"P\r\n{\r\n}\r\nb=2\r\n", 4, "text after the end of the root group"},
        {"P\r\n{\r\n}\r\nQ\r\n{\r\n}\r\n", 4, "text after the end of the root group"},
        {"P\r\n{\r\n\ta=1\r\n", 1, "the group \"P\" is not closed"},
        {"P\r\n{\r\n\tG\r\n\t{\r\n\t\tx\r\n}\r\n", 1, "the group \"P\" is not closed"},
        {"P\r\n{\r\n\tG\r\n\t{\r\n\t\tH\r\n\t\t{\r\n\t\t}\r\n", 3, "the group \"G\" is not closed"},
        {"P\r\n{\r\n\ta=1\r\n\tb\r\n\ta=2\r\n}\r\n", 5,
         "the value \"a\" is set twice in one group"},
        {"P\r\n{\r\n\ta=1\r\n\tG\r\n\t{\r\n\t\ta=2\r\n\t}\r\n}\r\n", 0, ""},  // other group
        {"P\r\n{\r\n\tflag\r\n\tflag\r\n}\r\n", 0, ""},  // names alone may repeat
        {std::string("P\r\n{\r\n\ta=1\0b\r\n}\r\n", 16), 3, "a NUL byte in the text"},
        // The earliest line wins, whatever is found first.
        {"P\r\n{\r\n\t{\r\n\ta=1\r\n\ta=2\r\n", 1, "the group \"P\" is not closed"},
        {"P\r\n{\r\n\ta=1\r\n\ta=2\r\n}\r\n}\r\n", 4, "the value \"a\" is set twice"},
    };
    for (const Case& c : cases) {
        TConfig checked("X", TConfig::kNoMode);
        TConfig::TTextProblem problem;
        problem.line = -1;  // overwritten
        checked.BuildFromTextBlock(c.text.data(), unsigned(c.text.size()), &problem);
        EXPECT_EQ(problem.line, c.line) << c.text;
        EXPECT_EQ(std::string(problem.reason.c_str()).rfind(c.reason, 0), 0u)
            << c.text << " -> " << problem.reason.c_str();
        // Checking reads exactly as the plain reading does.
        TConfig plain("X", TConfig::kNoMode);
        plain.BuildFromTextBlock(c.text.data(), unsigned(c.text.size()));
        EXPECT_TRUE(plain == checked) << c.text;
        EXPECT_EQ(TextOf(plain), TextOf(checked));
    }

    // Too deep a nesting still throws, after naming the header that went too deep.
    std::string deep = "R\n{\n";
    for (int i = 0; i < TConfig::kMaxTextDepth + 5; ++i) deep += "g\n{\n";
    TConfig config("X", TConfig::kNoMode);
    TConfig::TTextProblem problem;
    EXPECT_THROW(config.BuildFromTextBlock(deep.data(), unsigned(deep.size()), &problem),
                 TException);
    EXPECT_EQ(problem.line, 3 + 2 * (TConfig::kMaxTextDepth - 1));
    EXPECT_EQ(std::string(problem.reason.c_str()), "groups nested deeper than 1000");
}

TEST(ConfigTextTest, NestingTooDeepIsNotLoaded) {
    std::string deep = "R\n{\n";
    for (int i = 0; i < 1000000; ++i) deep += "a\n{\n";
    TConfig config("R", TConfig::kNoMode);
    config.SetValue(1, "old", 0);
    EXPECT_TRUE(Throws([&] { ReadText(config, deep); }));
    EXPECT_EQ(config.GetNumKeys(), 0);

    std::string fits = "R\n{\n";
    for (int i = 1; i < TConfig::kMaxTextDepth; ++i) fits += "a\n{\n";
    fits += "v=1\n";
    ReadText(config, fits);
    TConfigKey* key = config.GetRoot();
    int depth = 0;
    while (key->FirstChild()) {
        key = key->FirstChild();
        ++depth;
    }
    EXPECT_EQ(depth, TConfig::kMaxTextDepth);
    EXPECT_EQ(std::string(key->GetName().c_str()), "v");
}

TEST(ConfigTextTest, EveryValueTypeRoundTripsThroughTheText) {
    TConfig config("Types", TConfig::kNoMode);
    const unsigned char bytes[] = {0, 1, 0xFF, '\r', '\n', '=', '{'};
    config.SetValue(char(-1), "c", 0);
    config.SetValue(short(-300), "s", 0);
    config.SetValue(int32_t(-70000), "i", 0);
    config.SetValue(static_cast<unsigned short>(60000), "us", 0);
    config.SetValue(4000000000u, "u", 0);
    config.SetValue(0.1f, "f", 0);
    config.SetValue(0.1, "d", 0);
    config.SetValue(" lead and = inside", "t", 0);
    config.SetBinary(bytes, 7, "b", 3);
    TConfig back("", TConfig::kNoMode);
    ReadText(back, TextOf(config));
    EXPECT_TRUE(back == config);
    EXPECT_EQ(back.GetValue(char(0), "c", 0), char(-1));
    EXPECT_EQ(back.GetValue(short(0), "s", 0), -300);
    EXPECT_EQ(back.GetValue(0, "i", 0), -70000);
    EXPECT_EQ(back.GetValue(static_cast<unsigned short>(0), "us", 0), 60000);
    EXPECT_EQ(back.GetValue(0u, "u", 0), 4000000000u);
    EXPECT_EQ(back.GetValue(0.0f, "f", 0), 0.1f);
    EXPECT_EQ(back.GetValue(0.0, "d", 0), 0.1);
    EXPECT_EQ(std::string(back.GetValue("", "t", 0).c_str()), " lead and = inside");
    unsigned char read[7] = {};
    EXPECT_EQ(back.GetBinary(read, nullptr, 7, "b", 3), 7);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(read), 7),
              std::string(reinterpret_cast<const char*>(bytes), 7));
}

TEST(ConfigTextTest, PathListsFlattenAndRebuildTheValueKeys) {
    TConfig config("P", TConfig::kNoMode);
    config.MoveDown("A", 0);
    config.SetValue(5, "B", 0);
    config.MoveDown("C/E", 0);
    config.CreateKey("F");
    config.MoveToRoot();
    config.SetValue(1, "D", 0);
    TConfig::TStringList lines;
    EXPECT_EQ(config.GetAsPathList(lines), 3);
    EXPECT_EQ(Lines(lines), (std::vector<std::string>{"A\\B", "A\\C\\E\\F", "D"}));

    TConfig rebuilt("P", TConfig::kNoMode);
    rebuilt.BuildFromPathList(lines);
    EXPECT_EQ(TextOf(rebuilt),
              "P\r\n{\r\n\tA\r\n\t{\r\n\t\tB\r\n\t\tC\r\n\t\t{\r\n\t\t\tE\r\n\t\t\t{\r\n"
              "\t\t\t\tF\r\n\t\t\t}\r\n\t\t}\r\n\t}\r\n\tD\r\n}\r\n");

    // Parts are trimmed, empty ones skipped; names the text cannot carry are refused.
    TConfig::TStringList odd;
    odd.Append(new TStringItem<TListElement>(" x \\\\ y "));
    odd.Append(new TStringItem<TListElement>("\\"));
    rebuilt.BuildFromPathList(odd);
    TConfig::TStringList back;
    EXPECT_EQ(rebuilt.GetAsPathList(back), 1);
    EXPECT_EQ(Lines(back), (std::vector<std::string>{"x\\y"}));
    odd.Append(new TStringItem<TListElement>("g\\a=b"));
    EXPECT_TRUE(Throws([&] { rebuilt.BuildFromPathList(odd); }));
}

TEST_F(ConfigFileTest, SaveAndLoadRoundTripAFileByteForByte) {
    Put("prefs.cfg", kExample);
    TConfig config("Other", Name("prefs.cfg").c_str(), 0, TConfig::kNoMode);
    EXPECT_EQ(config.GetValue(0, "Width", 0), 640);
    config.Save(Name("copy.cfg").c_str(), 1);
    EXPECT_EQ(Get("copy.cfg"), kExample);
    EXPECT_TRUE(config.HasWrongFileTime());  // no stamp asked for

    // A missing file leaves the tree as it was; mode 8 makes that an exception.
    config.Load(Name("missing.cfg").c_str());
    EXPECT_EQ(config.GetValue(0, "Width", 0), 640);
    TConfig strict("S", TConfig::kThrowIfNotLoaded);
    EXPECT_TRUE(Throws([&] { strict.Load(Name("missing.cfg").c_str()); }));
    strict.Load(Name("prefs.cfg").c_str());
    // A constructor whose load throws does not auto-save over the file.
    EXPECT_TRUE(Throws(
        [&] { TConfig failed("F", Name("missing.cfg").c_str(), 1, TConfig::kThrowIfNotLoaded); }));
    EXPECT_FALSE(std::filesystem::exists(Path("missing.cfg")));
    strict.Load("");  // nothing for an empty name
    strict.Save("", 1);

    // Auto-save on destruction.
    {
        TConfig saved("Auto", Name("auto.cfg").c_str(), 1, TConfig::kNoMode);
        saved.SetValue(1, "v", 0);
    }
    EXPECT_EQ(Get("auto.cfg"), "Auto\r\n{\r\n\tv=1\r\n}\r\n");

    // The path list files.
    config.SaveAsPathList(Name("paths.txt").c_str());
    EXPECT_EQ(Get("paths.txt"), "Width\r\nPaths\\Last\r\n");
    TConfig fromPaths("Prefs", TConfig::kNoMode);
    fromPaths.LoadFromPathList(Name("paths.txt").c_str());
    EXPECT_EQ(TextOf(fromPaths),
              "Prefs\r\n{\r\n\tWidth\r\n\tPaths\r\n\t{\r\n\t\tLast\r\n\t}\r\n}\r\n");
}

TEST_F(ConfigFileTest, TheFileTimeStampNoticesOutsideEdits) {
    const std::string name = Name("stamped.cfg");
    {
        TConfig config("Prefs", TConfig::kFileTimeStamp);
        config.SetValue(640, "Width", 0);
        config.Save(name.c_str(), 1);
        EXPECT_EQ(config.GetValue(0, "Width", 0), 640);
    }
    TConfig config("Prefs", TConfig::kFileTimeStamp);
    EXPECT_TRUE(config.HasWrongFileTime());
    config.Load(name.c_str());
    EXPECT_FALSE(config.HasWrongFileTime());
    EXPECT_EQ(std::string(config.GetCurrentKey()->GetName().c_str()), "__System");
    EXPECT_EQ(config.GetBinarySize("config", 0), 8);
    FILETIME written{};
    ASSERT_TRUE(TFile::GetDateTime(name.c_str(), nullptr, nullptr, &written));
    FILETIME stamp{};
    config.GetBinary(&stamp, nullptr, 8, "config", 0);
    EXPECT_EQ(stamp.dwLowDateTime, written.dwLowDateTime);
    EXPECT_EQ(stamp.dwHighDateTime, written.dwHighDateTime);

    // Saved again, it still matches; changed by another program, it does not.
    config.Save(name.c_str(), 1);
    config.Load(name.c_str());
    EXPECT_FALSE(config.HasWrongFileTime());
    config.GetBinary(&stamp, nullptr, 8, "config", 0);  // the second save's stamp
    std::string text = Get("stamped.cfg");
    Put("stamped.cfg", text);
    std::filesystem::last_write_time(
        Path("stamped.cfg"),
        std::filesystem::last_write_time(Path("stamped.cfg")) + std::chrono::seconds(3));
    config.Load(name.c_str());
    EXPECT_TRUE(config.HasWrongFileTime());

    // A file system with whole seconds keeps only the second of the stamp.
    FILETIME whole = stamp;
    uint64_t ticks = (uint64_t{whole.dwHighDateTime} << 32) | whole.dwLowDateTime;
    ticks -= ticks % 10000000;
    whole.dwLowDateTime = DWORD(ticks);
    whole.dwHighDateTime = DWORD(ticks >> 32);
    ASSERT_TRUE(TFile::SetDateTime(name.c_str(), nullptr, nullptr, &whole));
    TConfig reread("Prefs", TConfig::kFileTimeStamp);
    reread.Load(name.c_str());
    EXPECT_FALSE(reread.HasWrongFileTime());
}

TEST_F(ConfigFileTest, AFailedSaveKeepsTheOldFile) {
    Put("prefs.cfg", kExample);
    const std::string name = Name("prefs.cfg");
    TConfig config("New", TConfig::kNoMode);
    config.SetValue(1, "changed", 0);
    for (auto seam : {cvq::platform::EFailureSeam::Write, cvq::platform::EFailureSeam::Sync,
                      cvq::platform::EFailureSeam::Rename}) {
        cvq::platform::FailNthOperation(seam, 1, 28);
        auto failure = cvq::test::Catch([&] { config.Save(name.c_str(), 1); });
        cvq::platform::DisarmFailures();
        EXPECT_TRUE(failure.thrown) << int(seam);
        EXPECT_EQ(Get("prefs.cfg"), kExample) << int(seam);
        EXPECT_EQ(Entries(), 1u) << int(seam);  // no temporary file left behind
    }
    // Without rethrow the failure is posted to the loading thread, not thrown.
    TException::NotifyPostHandle(nullptr);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // the queue exists from here
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Write, 1, 28);
    EXPECT_FALSE(Throws([&] { config.Save(name.c_str(), 0); }));
    cvq::platform::DisarmFailures();
    EXPECT_EQ(Get("prefs.cfg"), kExample);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, 0x83EBu);
    auto* posted = reinterpret_cast<TException*>(msg.lParam);
    ASSERT_NE(posted->GetMessage(), nullptr);
    EXPECT_EQ(std::string(posted->GetMessage()->c_str()), name + "\r\nFile error");
    delete posted;

    // A file that cannot be read leaves the tree alone and counts as not loaded.
    TConfig strict("S", TConfig::kThrowIfNotLoaded);
    strict.SetValue(1, "kept", 0);
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Open, 1, 5);
    EXPECT_TRUE(Throws([&] { strict.Load(name.c_str()); }));
    cvq::platform::DisarmFailures();
    EXPECT_EQ(strict.GetValue(0, "kept", 0), 1);
    strict.Load(name.c_str());
    EXPECT_EQ(strict.GetValue(0, "Width", 0), 640);

    // The destructor's save reports to the trace sink and lets nothing out.
    static std::vector<std::string> traced;
    traced.clear();
    TTraceSink previous = SetTraceSink([](const char* line) { traced.emplace_back(line); });
    {
        TConfig autoSaved("Auto", Name("no\\such\\folder.cfg").c_str(), 1, TConfig::kNoMode);
        autoSaved.SetValue(1, "v", 0);
    }
    SetTraceSink(previous);
    ASSERT_EQ(traced.size(), 1u);
    EXPECT_EQ(traced[0].rfind("Configuration not saved: ", 0), 0u);
}
