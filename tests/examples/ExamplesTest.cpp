// Runs the example programs as a user would: from a folder of their own, with the
// temporary folder, home and configuration folder pointed into a scratch tree, so
// that anything they leave behind or write elsewhere is seen.
#include "../support/ScratchFolder.h"
#include "../support/Shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class TScratchTree : public cvq::test::TScratchFolder {
public:
    TScratchTree() : TScratchFolder("cvq_examples") {
        for (const char* folder : {"work", "tmp", "home"}) fs::create_directories(Path(folder));
    }
    fs::path Folder(const char* name) const { return Path(name); }
    // The environment of a run: the working, temporary and home folders of the tree.
    std::string Environment() const {
        return "cd '" + Folder("work").string() + "' && TMPDIR='" + Folder("tmp").string() +
               "' HOME='" + Folder("home").string() + "' XDG_CONFIG_HOME='" +
               (Folder("home") / ".config").string() + "' ";
    }
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(Path()))
            if (!entry.is_directory() || !fs::is_empty(entry.path()))
                found.push_back(fs::relative(entry.path(), Path()).string());
        return found;
    }
};

using TRun = cvq::test::TShellRun;

TRun RunCommand(const std::string& command) {
    return cvq::test::RunShell(command + " 2>&1");
}

// Each piece is found after the one before it.
void ExpectInOrder(const std::string& output, const std::vector<std::string>& pieces) {
    size_t at = 0;
    for (const std::string& piece : pieces) {
        const size_t found = output.find(piece, at);
        EXPECT_NE(found, std::string::npos) << "missing, or out of order: \"" << piece << "\"";
        if (found != std::string::npos) at = found + piece.size();
    }
}

// The library's name of a native path: C: is the root folder.
std::string LibraryName(const fs::path& native) {
    std::string name = "C:" + native.string();
    for (char& c : name)
        if (c == '/') c = '\\';
    return name;
}

// A program in a terminal of a private tmux server, typed at and read as a person
// would. Every wait is bounded: the screen is polled until the text expected is there.
class TTerminal {
public:
    // A server of its own, apart from any tmux the suite itself runs in; its socket
    // goes with the tree.
    TTerminal(const TScratchTree& tree, const std::string& command)
        : m_tmux("env -u TMUX tmux -S '" + (tree.Folder("tmux") / "socket").string() + "' ") {
        const fs::path script = tree.Folder("tmux") / "run.sh";
        const fs::path config = tree.Folder("tmux") / "tmux.conf";
        fs::create_directories(script.parent_path());
        std::ofstream(script) << tree.Environment() << "exec " << command << "\n";
        // The pane stays after the program ends, so that its last words and its exit
        // status can be read.
        std::ofstream(config) << "set -g remain-on-exit on\nset -g history-limit 5000\n";
        m_started =
            RunCommand(m_tmux + "-f '" + config.string() +
                       "' new-session -d -s editor -x 120 -y 40 'sh " + script.string() + "'")
                .status == 0;
    }
    ~TTerminal() { RunCommand(m_tmux + "kill-server"); }
    TTerminal(const TTerminal&) = delete;
    TTerminal& operator=(const TTerminal&) = delete;

    bool Started() const { return m_started; }
    // All the terminal has shown, wrapped lines joined.
    std::string Screen() const {
        return RunCommand(m_tmux + "capture-pane -p -J -S - -t editor").output;
    }
    // Waits for the next prompt; the text shown since the previous one, prompt included.
    std::string WaitForPrompt() {
        const size_t count = ++m_prompts;
        std::string screen;
        const bool shown = WaitUntil([&] {
            screen = Screen();
            return Prompts(screen) >= count;
        });
        EXPECT_TRUE(shown) << "no prompt " << count << " on the screen:\n" << screen;
        return Since(screen, count - 1);
    }
    // Types a line and returns what it answered, from its own prompt line on.
    std::string Type(const std::string& line) {
        RunCommand(m_tmux + "send-keys -t editor -l '" + line + "'");
        RunCommand(m_tmux + "send-keys -t editor Enter");
        return WaitForPrompt();
    }
    // Types a last line and waits for the program to end: its exit status, -1 if it
    // did not end.
    int TypeAndWaitForEnd(const std::string& line) {
        RunCommand(m_tmux + "send-keys -t editor -l '" + line + "'");
        RunCommand(m_tmux + "send-keys -t editor Enter");
        std::string state;
        const bool ended = WaitUntil([&] {
            state = RunCommand(m_tmux +
                               "display-message -p -t editor '#{pane_dead} #{pane_dead_status}'")
                        .output;
            return state.rfind("1 ", 0) == 0;
        });
        return ended ? std::atoi(state.c_str() + 2) : -1;
    }

private:
    static constexpr const char* kPrompt = "takes>";

    template <class TCondition>
    static bool WaitUntil(TCondition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    static size_t Prompts(const std::string& screen) {
        size_t count = 0;
        for (size_t at = screen.find(kPrompt); at != std::string::npos;
             at = screen.find(kPrompt, at + 1))
            ++count;
        return count;
    }
    // The screen from prompt `number` (from 1; 0 is the start) to the next prompt.
    static std::string Since(const std::string& screen, size_t number) {
        size_t at = 0;
        for (size_t i = 0; i < number && at != std::string::npos; ++i)
            at = screen.find(kPrompt, i ? at + 1 : 0);
        if (at == std::string::npos) return {};
        const size_t next = screen.find(kPrompt, number ? at + 1 : 0);
        return screen.substr(at, next == std::string::npos ? std::string::npos : next - at);
    }

    std::string m_tmux;
    size_t m_prompts = 0;
    bool m_started = false;
};

bool HaveTmux() {
    return std::system("command -v tmux >/dev/null 2>&1") == 0;
}

}  // namespace

TEST(DemoTest, TellsTheWholeSessionAndLeavesNothingBehind) {
    TScratchTree tree;
    const std::vector<std::string> pieces = {
        CVQ_OVERRIDE_MALLOC ? "malloc served by a library heap;"
                            : "malloc served by the C library (no heap override);",
        "T:\\song.cvq is " + (tree.Folder("tmp") / "cvq_demo_").string(),
        "settings saved in T:\\demo.cfg:\n  Demo\n  {\n    SampleRate=48000\n    FrameRate=25\n"
        "    UndoSteps=100\n    Takes\n    {\n      Folder=T:\\takes\n      Types=*.raw\n",
        "Settings = T:\\demo.cfg, Runs = 1\n  kept in T:\\registry\\HKEY_CURRENT_USER.reg",
        "T:\\takes scanned for *.raw: 3 takes, 7.27 MB\n  intro.raw\n  verse.raw\n"
        "  old\\chorus.raw\n",
        "edited through the undo history (100 steps):",
        "  add the takes              intro, verse, chorus\n",
        "  rename verse to bridge     intro, bridge, chorus\n",
        "  delete intro               bridge, chorus\n",
        "  undo Delete take           intro, bridge, chorus\n",
        "  undo Rename take           intro, verse, chorus\n",
        "  redo Rename take           intro, bridge, chorus\n",
        "  4 undoable, 1 redoable\nT:\\song.log, what was done:\n",
        "takes at 48000 Hz and 25 frames per second:\n"
        "  intro    00:00:01.13  1 s 500 ms  -6.02 dB\n"
        "  bridge   00:00:12.06  12 s 250 ms -12.04 dB\n"
        "  chorus   00:01:02.00  1 mn 2 s    0 dB\n",
        "saved in T:\\song.cvq (396 bytes, intact) and reloaded: the same\n",
        "(ok)\nRoot/\n  Song/\n    Title [12 bytes] = \"Night drive\"\n    Rate [4 bytes] = 48000\n"
        "    Takes/\n      Siz [4 bytes] = 3\n      E/\n        Nm [6 bytes] = \"intro\"\n",
        "\nscratch folder removed\n",
    };
    // A second run starts afresh: the registry lives in the run's own folder.
    for (int runNumber = 0; runNumber < 2; ++runNumber) {
        const TRun run = RunCommand(tree.Environment() + CVQ_DEMO);
        ASSERT_EQ(run.status, 0) << run.output;
        ExpectInOrder(run.output, pieces);

        // The history's log, one line per execution, undo and redo, and the closing line.
        const std::regex logLine(
            R"(\n  \d\d \w{3} \d{4} \d\d:\d\d:\d\d (done|undone): ([^\n]*) \(Song\))");
        std::vector<std::string> logged;
        for (std::sregex_iterator it(run.output.begin(), run.output.end(), logLine), end; it != end;
             ++it)
            logged.push_back((*it)[1].str() + " " + (*it)[2].str());
        const std::vector<std::string> expected = {
            "done add take intro",
            "done add take verse",
            "done add take chorus",
            "done rename take verse to bridge",
            "done delete take intro",
            "undone delete take intro",
            "undone rename take verse to bridge",
            "done rename take verse to bridge",
            "done ",
        };
        EXPECT_EQ(logged, expected) << run.output;
        EXPECT_EQ(tree.Leftovers(), std::vector<std::string>());
    }
}

TEST(TakeEditorTest, EditsUndoesAndSavesAtTheTerminal) {
    if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
    TScratchTree tree;
    const std::string document = LibraryName(tree.Folder("work") / "songs.cvq");
    {
        TTerminal terminal(tree, std::string(CVQ_TAKE_EDITOR) + " songs.cvq");
        ASSERT_TRUE(terminal.Started());
        EXPECT_NE(terminal.WaitForPrompt().find("new document " + document), std::string::npos);
        struct TStep {
            const char* typed;
            const char* answer;
        } steps[] = {
            {"add intro", "takes> add intro\n  1 intro\n"},
            {"add verse", "takes> add verse\n  1 intro\n  2 verse\n"},
            {"add", "takes> add\n  1 intro\n  2 verse\n  3 take 3\n"},
            {"rename 2 bridge", "  1 intro\n  2 bridge\n  3 take 3\n"},
            {"delete 1", "  1 bridge\n  2 take 3\n"},
            {"undo", "undone: delete intro\n  1 intro\n  2 bridge\n  3 take 3\n"},
            {"undo", "undone: rename verse to bridge\n  1 intro\n  2 verse\n  3 take 3\n"},
            {"redo", "redone: rename verse to bridge\n  1 intro\n  2 bridge\n  3 take 3\n"},
            {"delete 7", "no take \"7\": give a number from 1 to 3\n"},
            {"rename 0 x", "no take \"0 x\": give a number from 1 to 3\n"},
            {"rename 1", "rename N NAME: a new name is needed\n"},
            {"frobnicate", "commands: add [NAME], rename N NAME, delete N"},
        };
        for (const TStep& step : steps)
            EXPECT_NE(terminal.Type(step.typed).find(step.answer), std::string::npos)
                << "typed \"" << step.typed << "\"; the screen:\n"
                << terminal.Screen();
        EXPECT_NE(terminal.Type("save").find("saved 3 takes in " + document), std::string::npos);
        EXPECT_EQ(terminal.TypeAndWaitForEnd("quit"), 0) << terminal.Screen();
    }

    const TRun dump = RunCommand(std::string(CVQ_TOOL) + " dump '" +
                                 (tree.Folder("work") / "songs.cvq").string() + "'");
    EXPECT_EQ(dump.status, 0) << dump.output;
    EXPECT_NE(dump.output.find("(ok)\nRoot/\n  Takes/\n    Siz [4 bytes] = 3\n"
                               "    E/\n      Nm [6 bytes] = \"intro\"\n"
                               "    E1/\n      Nm [7 bytes] = \"bridge\"\n"
                               "    E2/\n      Nm [7 bytes] = \"take 3\"\n"),
              std::string::npos)
        << dump.output;
    EXPECT_EQ(tree.Get("home/.config/take_editor.cfg"),
              "TakeEditor\r\n{\r\n\tLastFile=" + document +
                  "\r\n\tDefaultName=take\r\n\tUndoSteps=100\r\n}\r\n");
}

TEST(TakeEditorTest, ReopensTheLastFileWithItsSettings) {
    if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
    TScratchTree tree;
    const fs::path file = tree.Folder("work") / "set.cvq";
    {
        TTerminal terminal(tree, std::string(CVQ_TAKE_EDITOR) + " set.cvq");
        ASSERT_TRUE(terminal.Started());
        terminal.WaitForPrompt();
        terminal.Type("add opener");
        EXPECT_NE(terminal.Type("default clip").find("new takes are named \"clip N\""),
                  std::string::npos);
        EXPECT_NE(terminal.Type("add").find("  1 opener\n  2 clip 2\n"), std::string::npos);
        EXPECT_NE(terminal.Type("quit").find("unsaved changes"), std::string::npos);
        terminal.Type("save");
        EXPECT_EQ(terminal.TypeAndWaitForEnd("quit"), 0) << terminal.Screen();
    }
    const std::string saved = tree.Get("work/set.cvq");
    {
        // No file named: the last one, and the name of new takes, come back.
        TTerminal terminal(tree, CVQ_TAKE_EDITOR);
        ASSERT_TRUE(terminal.Started());
        EXPECT_NE(terminal.WaitForPrompt().find("opened " + LibraryName(file) +
                                                "\n  1 opener\n  2 clip 2\n"),
                  std::string::npos)
            << terminal.Screen();
        EXPECT_NE(terminal.Type("add").find("  3 clip 3\n"), std::string::npos);
        EXPECT_NE(terminal.Type("quit").find("unsaved changes"), std::string::npos);
        EXPECT_EQ(terminal.TypeAndWaitForEnd("quit"), 0) << terminal.Screen();
    }
    EXPECT_EQ(tree.Get("work/set.cvq"), saved);  // quitting twice drops the changes

    // A damaged document is refused, and left as it was.
    std::string damaged = saved;
    damaged.back() ^= 1;
    tree.Put("work/set.cvq", damaged);
    const TRun refused = RunCommand(tree.Environment() + CVQ_TAKE_EDITOR + " </dev/null");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("cannot open " + LibraryName(file) + ": "), std::string::npos)
        << refused.output;
    EXPECT_EQ(tree.Get("work/set.cvq"), damaged);
}
