// Runs the cvq tool on files written here, intact and damaged: tagged files as text and
// JSON (read back by jq), configuration files, and the registry files, whose changes
// the library in this process then sees.
#include <commonvcqx/config/Registry.h>
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include "../support/ScratchFolder.h"
#include "../support/Shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

using cvq::test::RunShell;
using TRun = cvq::test::TShellRun;

TRun RunTool(const std::string& arguments) {
    return RunShell(std::string(CVQ_TOOL) + " " + arguments + " 2>&1");
}

// The tool's standard output alone, its error thrown away.
TRun RunToolOutput(const std::string& arguments) {
    return RunShell(std::string(CVQ_TOOL) + " " + arguments + " 2>/dev/null");
}

using cvq::test::ShellQuoted;

class TValue : public TObject {
public:
    explicit TValue(int32_t v) : m_v(v) {}
    void WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const override {
        out.SetValue(m_v, name, index);
    }

private:
    int32_t m_v;
};

std::string Document() {
    TTaggedOutputStream out(1, "song", 1);
    out.SetValue("Demo", "Title", 0);
    TArrayBase array;
    array.Add(new TValue(10));
    array.Add(new TValue(20));
    array.WriteState(out, 0, "Takes", 0);
    out.CloseWriting();
    return std::string(out.GetStart(), out.GetStart() + out.GetSize());
}

}  // namespace

TEST(CvqToolTest, DumpsAndVerifiesWrittenFiles) {
    const cvq::test::TScratchFolder dir("cvq_tool");
    const std::string good = dir.Put("good.cvq", Document());
    TRun run = RunTool("verify " + good);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, good + ": ok\n");

    run = RunTool("dump " + good);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("(ok)\nRoot/\n  Title [5 bytes] = \"Demo\"\n  Takes/\n"
                              "    Siz [4 bytes] = 2\n    E [4 bytes] = 10\n"
                              "    E1 [4 bytes] = 20\n"),
              std::string::npos)
        << run.output;
}

TEST(CvqToolTest, RejectsDamagedFilesWithOneLine) {
    const cvq::test::TScratchFolder dir("cvq_tool");
    std::string bytes = Document();
    std::string flipped = bytes;
    flipped.back() ^= 1;
    std::string cut(bytes.begin(), bytes.end() - 4);
    std::string tiny(bytes.begin(), bytes.begin() + 5);
    std::string tree = bytes;
    tree[20 + 12] = 1;  // the root's first child, misaligned (CRC left wrong too)

    struct Case {
        const char* command;
        std::string file;
        const char* reason;
    } cases[] = {
        {"verify", dir.Put("flipped.cvq", flipped), "CRC-32 mismatch"},
        {"verify", dir.Put("cut.cvq", cut), "length "},
        {"verify", dir.Put("tiny.cvq", tiny), "too short"},
        {"verify", dir.Path("missing.cvq"), "cannot read the file"},
        {"dump", dir.Put("tree.cvq", tree), "damaged tagged stream"},
        {"dump", dir.Put("tiny2.cvq", tiny), "damaged tagged stream"},
    };
    for (const Case& c : cases) {
        const TRun run = RunTool(std::string(c.command) + " " + c.file);
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_EQ(run.output.rfind(c.file + ": " + c.reason, 0), 0u) << run.output;
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
    }
    EXPECT_EQ(RunTool("").status, 2);
    EXPECT_EQ(RunTool("frobnicate x").status, 2);
}

TEST(CvqToolTest, EveryCommandHasHelpAndRefusesWrongCommandLines) {
    struct Help {
        const char* arguments;
        const char* mentions;
    } helps[] = {
        {"--help", "cvq registry set [--dword] KEY NAME VALUE"},
        {"help", "cvq config [--paths] FILE"},
        {"dump --help", "binary data is given in hex"},
        {"dump --json -h", "never base64"},
        {"verify --help", "CRC-32"},
        {"config --help", "path list"},
        {"registry --help", "HKEY_CURRENT_USER (HKCU)"},
        {"registry set --help", "--dword"},
    };
    for (const Help& h : helps) {
        const TRun run = RunToolOutput(h.arguments);
        EXPECT_EQ(run.status, 0) << h.arguments;
        EXPECT_EQ(run.output.rfind("usage: cvq", 0), 0u) << run.output;
        EXPECT_NE(run.output.find(h.mentions), std::string::npos) << run.output;
    }
    const char* wrong[] = {
        "",
        "frobnicate x",
        "dump",
        "dump a b",
        "dump --bogus a",
        "verify --json a",
        "config",
        "config --json a",
        "registry",
        "registry frob",
        "registry list a b",
        "registry get HKCU",
        "registry set HKCU a",
        "registry --dword get HKCU a",
        "registry --dir",
        "registry --dir '' list",
    };
    for (const char* arguments : wrong) {
        const TRun run = RunTool(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.output.find("usage: cvq"), std::string::npos) << run.output;
    }
}

namespace {

std::string TrickyDocument() {
    TTaggedOutputStream out(1, "caf\xE9 \"doc\"", 1);  // Latin-1, as a Windows host wrote
    out.SetValue("line\nbreak\t\"quoted\" \\ caf\xC3\xA9", "Text", 0);
    const unsigned char raw[5] = {0, 1, 0xFF, 0x80, 0x7F};
    out.SetBinary(raw, 5, "Raw", 0);
    out.SetValue(int32_t(-5), "Neg", 0);
    out.SetValue(0.5, "Half", 0);
    out.MoveDown("Group \"g\"", 0);
    out.SetValue(short(9), "Nine", 0);
    out.MoveUp();
    out.MoveDown("Empty", 0);
    out.CloseWriting();
    return std::string(out.GetStart(), out.GetStart() + out.GetSize());
}

}  // namespace

TEST(CvqToolTest, JsonDumpIsReadByJqAndPython) {
    const cvq::test::TScratchFolder dir("cvq_tool");
    const std::string file = dir.Put("tricky.cvq", TrickyDocument());
    const std::string json = std::string(CVQ_TOOL) + " dump --json " + file;
    EXPECT_EQ(RunShell(json + " | python3 -m json.tool >/dev/null").status, 0);
    struct Query {
        const char* filter;
        const char* result;
    } queries[] = {
        {"-r .document", "caf\xC3\xA9 \"doc\"\n"},
        {".crcOk", "true\n"},
        {"-c '[.root[] | .name]'",
         "[\"Text\",\"Raw\",\"Neg\",\"Half\",\"Group \\\"g\\\"\",\"Empty\"]\n"},
        {"-r '.root[] | select(.name == \"Text\") | .text'",
         "line\nbreak\t\"quoted\" \\ caf\xC3\xA9\n"},
        {"-r '.root[] | select(.name == \"Raw\") | [.size, .hex, .text] | @csv'",
         "5,\"0001ff807f\",\n"},
        {"'.root[] | select(.name == \"Neg\") | .number'", "-5\n"},
        {"'.root[] | select(.name == \"Half\") | .double'", "0.5\n"},
        {"-c '.root[4].group'",
         "[{\"name\":\"Nine\",\"size\":2,\"hex\":\"0900\",\"text\":\"\\t\",\"number\":9}]\n"},
        {"-c '.root[5]'", "{\"name\":\"Empty\",\"group\":[]}\n"},
    };
    for (const Query& q : queries) {
        const TRun run = RunShell(json + " | jq " + q.filter);
        EXPECT_EQ(run.status, 0) << q.filter;
        EXPECT_EQ(run.output, q.result) << q.filter;
    }

    // A damaged file gives nothing on standard output, one line on standard error.
    const std::string damaged = dir.Put("damaged.cvq", TrickyDocument().substr(0, 12));
    TRun run = RunToolOutput("dump --json " + damaged);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "");
    run = RunTool("dump --json " + damaged);
    EXPECT_EQ(run.output.rfind(damaged + ": damaged tagged stream", 0), 0u) << run.output;
}

TEST(CvqToolTest, ConfigReportsTheFirstProblemLineOrPrintsPaths) {
    const cvq::test::TScratchFolder dir("cvq_tool");
    const std::string good =
        dir.Put("good.cfg",
                "Prefs\r\n{\r\n\tWidth=640\r\n\tflag\r\n\tPaths\r\n\t{\r\n"
                "\t\tLast=c:\\x\r\n\t\tDeep\r\n\t\t{\r\n\t\t\tv\r\n\t\t}\r\n\t}\r\n}\r\n");
    TRun run = RunTool("config " + good);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, good + ": ok\n");
    run = RunTool("config --paths " + good);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "Width\nflag\nPaths\\Last\nPaths\\Deep\\v\n");

    struct Case {
        const char* name;
        std::string text;
        const char* report;
    } cases[] = {
        {"open.cfg", "P\n{\n\ta=1\n", ":1: the group \"P\" is not closed"},
        {"twice.cfg", "P\n{\n\ta=1\n\ta=2\n}\n", ":4: the value \"a\" is set twice in one group"},
        {"stray.cfg", "P\n{\n\t{\n}\n", ":3: an opening brace without a group name before it"},
        {"after.cfg", "P\n{\n}\nx=1\n", ":4: text after the end of the root group"},
        {"empty.cfg", "", ":1: no root group"},
    };
    for (const Case& c : cases) {
        const std::string file = dir.Put(c.name, c.text);
        for (const char* options : {"", "--paths "}) {
            run = RunTool(std::string("config ") + options + file);
            EXPECT_EQ(run.status, 1) << c.name;
            EXPECT_EQ(run.output, file + c.report + "\n");
            EXPECT_EQ(RunToolOutput(std::string("config ") + options + file).output, "");
        }
    }
    run = RunTool("config " + dir.Path("missing.cfg"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, dir.Path("missing.cfg") + ": cannot read the file\n");
    EXPECT_EQ(RunTool("config " + dir.Path("")).status, 1);  // a folder
}

TEST(CvqToolTest, RegistryValuesAreSetListedAndReadThroughTheLibrary) {
    const cvq::test::TScratchFolder dir("cvq_tool");
    const std::string registry = dir.Path("registry");
    const std::string tool = "registry --dir " + registry + " ";
    const std::string app = ShellQuoted("HKCU\\Software\\Maker\\App");
    struct Set {
        std::string arguments;
    } sets[] = {
        {"set " + app + " Path /opt/app"},
        {"set --dword " + app + " Count -3"},
        {"set --dword " + app + " Mask 0xFFFFFFFF"},
        {"set " + ShellQuoted("hkey_current_user\\software\\maker\\app\\Sub") + " '' " +
         ShellQuoted("tab\there")},
        {"set " + ShellQuoted("HKLM\\System") + " Shell /bin/sh"},
        {"set " + app + " PATH /usr/app"},  // same value, first spelling kept
    };
    for (const Set& set : sets) {
        const TRun run = RunTool(tool + set.arguments);
        EXPECT_EQ(run.status, 0) << set.arguments << run.output;
        EXPECT_EQ(run.output, "");
    }
    TRun run = RunTool(tool + "list");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              "HKEY_CURRENT_USER\n"
              "HKEY_CURRENT_USER\\Software\n"
              "HKEY_CURRENT_USER\\Software\\Maker\n"
              "HKEY_CURRENT_USER\\Software\\Maker\\App\n"
              "    Count    REG_DWORD    -3\n"
              "    Mask    REG_DWORD    -1\n"
              "    Path    REG_SZ    /usr/app\n"
              "HKEY_CURRENT_USER\\Software\\Maker\\App\\Sub\n"
              "    (Default)    REG_SZ    tab\\x09here\n"
              "HKEY_LOCAL_MACHINE\n"
              "HKEY_LOCAL_MACHINE\\System\n"
              "    Shell    REG_SZ    /bin/sh\n");
    run = RunTool(tool + "list " + ShellQuoted("hklm\\system"));
    EXPECT_EQ(run.output, "HKEY_LOCAL_MACHINE\\system\n    Shell    REG_SZ    /bin/sh\n");

    struct Get {
        std::string arguments;
        int status;
        std::string output;
    } gets[] = {
        {"get " + app + " path", 0, "/usr/app\n"},
        {"get " + app + " COUNT", 0, "-3\n"},
        {"get " + ShellQuoted("HKCU\\Software\\Maker\\App\\Sub") + " ''", 0, "tab\there\n"},
        {"get " + app + " Absent", 1, "HKCU\\Software\\Maker\\App: no value \"Absent\"\n"},
        {"get " + ShellQuoted("HKCU\\Nowhere") + " x", 1, "HKCU\\Nowhere: no value \"x\"\n"},
        {"list " + ShellQuoted("HKCU\\Nowhere"), 1, "HKEY_CURRENT_USER\\Nowhere: no such key\n"},
        {"get " + ShellQuoted("HKXX\\a") + " x", 1, "cvq: HKXX: not a registry root\n"},
        {"set --dword " + app + " Big 4294967296", 1, "4294967296: not a 32-bit number\n"},
        {"set --dword " + app + " Low -2147483649", 1, "-2147483649: not a 32-bit number\n"},
        {"set --dword " + app + " Word 12abc", 1, "12abc: not a 32-bit number\n"},
    };
    for (const Get& get : gets) {
        run = RunTool(tool + get.arguments);
        EXPECT_EQ(run.status, get.status) << get.arguments;
        EXPECT_EQ(run.output, get.output) << get.arguments;
    }
    // Reading made nothing: no key "Nowhere" appeared.
    EXPECT_EQ(RunTool(tool + "list " + ShellQuoted("HKCU\\Nowhere")).status, 1);

    // The library in this process reads what the tool wrote.
    SetRegistryDirectory(registry.c_str());
    char found = 0;
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "Software\\Maker\\App", "Mask", &found), -1);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(GetRegistryString(HKEY_LOCAL_MACHINE, "System", "Shell", &found), TString("/bin/sh"));
    SetRegistryDirectory(nullptr);

    // Without --dir the folder follows XDG_CONFIG_HOME; a folder that cannot be made fails.
    const std::string xdg = "XDG_CONFIG_HOME=" + dir.Path("xdg") + " " + CVQ_TOOL + " registry ";
    EXPECT_EQ(RunShell(xdg + "set HKCU v 1").status, 0);
    EXPECT_TRUE(fs::exists(dir.Path("xdg") + "/CommonVcQx/registry/HKEY_CURRENT_USER.reg"));
    EXPECT_EQ(RunShell(xdg + "get HKCU v").output, "1\n");
    const std::string blocker = dir.Put("blocker", "x");
    run = RunTool("registry --dir " + blocker + "/registry set HKCU v 1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output.rfind("HKCU: cannot be written in ", 0), 0u) << run.output;
}

TEST(CvqToolTest, RegistryChangesFromManyProcessesAreAllKept) {
    // Each process reads, changes and replaces the root's file under the library's lock;
    // without it, changes made at once would overwrite one another.
    const cvq::test::TScratchFolder dir("cvq_tool");
    const std::string tool = std::string(CVQ_TOOL) + " registry --dir " + dir.Path("registry");
    std::string script;
    constexpr int kProcesses = 12;
    for (int i = 0; i < kProcesses; ++i)
        script +=
            tool + " set --dword HKCU V" + std::to_string(i) + " " + std::to_string(i) + " & ";
    script += "wait";
    ASSERT_EQ(RunShell(script).status, 0);
    const TRun run = RunShell(tool + " list HKCU");
    for (int i = 0; i < kProcesses; ++i) {
        const std::string line =
            "    V" + std::to_string(i) + "    REG_DWORD    " + std::to_string(i);
        EXPECT_NE(run.output.find(line + "\n"), std::string::npos) << run.output;
    }
}
