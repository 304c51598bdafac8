// Runs the cvq tool on files written here, intact and damaged.
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class TTempDir {
public:
    TTempDir() {
        m_path = fs::temp_directory_path() /
                 ("cvq_tool_test_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_path);
    }
    ~TTempDir() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string Path(const char* name) const { return (m_path / name).string(); }
    std::string Write(const char* name, const std::vector<char>& bytes) const {
        const fs::path file = m_path / name;
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return file.string();
    }

private:
    fs::path m_path;
};

struct TRun {
    int status;
    std::string output;
};

TRun RunTool(const std::string& arguments) {
    const std::string command = std::string(CVQ_TOOL) + " " + arguments + " 2>&1";
    TRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class TValue : public TObject {
public:
    explicit TValue(int32_t v) : m_v(v) {}
    void WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const override {
        out.SetValue(m_v, name, index);
    }

private:
    int32_t m_v;
};

std::vector<char> Document() {
    TTaggedOutputStream out(1, "song", 1);
    out.SetValue("Demo", "Title", 0);
    TArrayBase array;
    array.Add(new TValue(10));
    array.Add(new TValue(20));
    array.WriteState(out, 0, "Takes", 0);
    out.CloseWriting();
    return std::vector<char>(out.GetStart(), out.GetStart() + out.GetSize());
}

}  // namespace

TEST(CvqToolTest, DumpsAndVerifiesWrittenFiles) {
    TTempDir dir;
    const std::string good = dir.Write("good.cvq", Document());
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
    TTempDir dir;
    std::vector<char> bytes = Document();
    std::vector<char> flipped = bytes;
    flipped.back() ^= 1;
    std::vector<char> cut(bytes.begin(), bytes.end() - 4);
    std::vector<char> tiny(bytes.begin(), bytes.begin() + 5);
    std::vector<char> tree = bytes;
    tree[20 + 12] = 1;  // the root's first child, misaligned (CRC left wrong too)

    struct Case {
        const char* command;
        std::string file;
        const char* reason;
    } cases[] = {
        {"verify", dir.Write("flipped.cvq", flipped), "CRC-32 mismatch"},
        {"verify", dir.Write("cut.cvq", cut), "length "},
        {"verify", dir.Write("tiny.cvq", tiny), "too short"},
        {"verify", dir.Path("missing.cvq"), "cannot read the file"},
        {"dump", dir.Write("tree.cvq", tree), "damaged tagged stream"},
        {"dump", dir.Write("tiny2.cvq", tiny), "damaged tagged stream"},
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
