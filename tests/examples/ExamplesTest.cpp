// Runs the example programs as a user would: from a folder of their own, with the
// temporary folder, home and configuration folder pointed into a scratch tree, so
// that anything they leave behind or write elsewhere is seen.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class TScratchTree {
public:
    TScratchTree() {
        m_root = fs::temp_directory_path() /
                 ("cvq_examples_test_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        for (const char* folder : {"work", "tmp", "home"}) fs::create_directories(m_root / folder);
    }
    ~TScratchTree() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    fs::path Folder(const char* name) const { return m_root / name; }
    // The environment of a run: the working, temporary and home folders of the tree.
    std::string Environment() const {
        return "cd '" + Folder("work").string() + "' && TMPDIR='" + Folder("tmp").string() +
               "' HOME='" + Folder("home").string() + "' XDG_CONFIG_HOME='" +
               (Folder("home") / ".config").string() + "' ";
    }
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(m_root))
            if (!entry.is_directory() || !fs::is_empty(entry.path()))
                found.push_back(fs::relative(entry.path(), m_root).string());
        return found;
    }

private:
    fs::path m_root;
};

struct TRun {
    int status;
    std::string output;
};

TRun RunCommand(const std::string& command) {
    TRun run{-1, {}};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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

}  // namespace

TEST(DemoTest, TellsTheWholeSessionAndLeavesNothingBehind) {
    TScratchTree tree;
    const std::vector<std::string> pieces = {
        "malloc served by a library heap: yes",
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
