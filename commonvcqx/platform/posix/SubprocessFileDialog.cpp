// zenity or kdialog as a child process: the request becomes its arguments, its
// standard output the chosen paths, its exit status the outcome (0 chosen, 1 cancel).
#include <commonvcqx/platform/internal/FileDialogs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cvq::platform {

namespace {

// No canonical path holds two slashes in a row, so zenity's names never contain it.
constexpr std::string_view kZenitySeparator = "//";

enum class EProgram { kZenity, kKdialog };

std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string_view rest(path ? path : "");
    while (!rest.empty()) {
        const size_t cut = rest.find(':');
        std::string candidate(rest.substr(0, cut));
        rest.remove_prefix(cut == std::string_view::npos ? rest.size() : cut + 1);
        if (candidate.empty()) continue;
        candidate += '/';
        candidate += program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

bool OnKdeDesktop() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return desktop && std::strstr(desktop, "KDE");
}

// The preselected filter first: neither program can start on another one.
std::vector<const TDialogFilter*> FiltersInOrder(const TFileDialogRequest& request) {
    std::vector<const TDialogFilter*> order;
    const int count = int(request.filters.size());
    if (count == 0) return order;
    const int first =
        request.currentFilter >= 0 && request.currentFilter < count ? request.currentFilter : 0;
    order.push_back(&request.filters[size_t(first)]);
    for (int i = 0; i < count; ++i)
        if (i != first) order.push_back(&request.filters[size_t(i)]);
    return order;
}

// Both programs split pattern lists at blanks; a blank inside a pattern becomes "?".
std::string PatternList(const TDialogFilter& filter) {
    std::string list;
    for (std::string pattern : filter.patterns) {
        for (char& c : pattern)
            if (c == ' ' || c == '\t' || c == '\n' || c == '|') c = '?';
        if (!list.empty()) list += ' ';
        list += pattern;
    }
    return list;
}

std::string Clean(std::string text, const char* bad) {
    for (char& c : text)
        if (std::strchr(bad, c)) c = ' ';
    return text;
}

std::string StartName(const TFileDialogRequest& request) {
    if (request.folder.empty()) return request.name;
    std::string start = request.folder;
    if (start.back() != '/') start += '/';
    return start + request.name;
}

std::vector<std::string> ZenityArguments(const TFileDialogRequest& request) {
    std::vector<std::string> args = {"zenity", "--file-selection"};
    if (!request.title.empty()) args.push_back("--title=" + request.title);
    if (request.save) args.push_back("--save");
    if (request.multiple && !request.save) {
        args.push_back("--multiple");
        args.push_back("--separator=" + std::string(kZenitySeparator));
    }
    const std::string start = StartName(request);
    if (!start.empty()) args.push_back("--filename=" + start);
    for (const TDialogFilter* filter : FiltersInOrder(request))
        args.push_back("--file-filter=" + Clean(filter->description, "|") + " | " +
                       PatternList(*filter));
    return args;
}

std::vector<std::string> KdialogArguments(const TFileDialogRequest& request) {
    std::vector<std::string> args = {"kdialog"};
    if (!request.title.empty()) args.insert(args.end(), {"--title", request.title});
    if (request.multiple && !request.save)
        args.insert(args.end(), {"--multiple", "--separate-output"});
    args.push_back(request.save ? "--getsavefilename" : "--getopenfilename");
    const std::string start = StartName(request);
    args.push_back(start.empty() ? std::string(".") : start);
    std::string filters;
    for (const TDialogFilter* filter : FiltersInOrder(request)) {
        if (!filters.empty()) filters += '\n';
        filters += PatternList(*filter) + "|" + Clean(filter->description, "\n");
    }
    if (!filters.empty()) args.push_back(filters);
    return args;
}

class TFd {
public:
    explicit TFd(int fd = -1) noexcept : m_fd(fd) {}
    ~TFd() { Reset(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const noexcept { return m_fd; }
    void Reset() noexcept {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Runs the program with its output in a pipe; the exit status, or -1 when it could not
// be started or did not end normally.
int RunCapturing(const std::string& program, const std::vector<std::string>& args,
                 std::string& output, const std::function<void()>& serveQueue) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    TFd readEnd(pipeFds[0]);
    TFd writeEnd(pipeFds[1]);

    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
    // The toolkits' warnings are not the library's to show.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Reset();
    if (spawned != 0) return -1;

    char chunk[4096];
    for (;;) {
        if (!WaitServingQueue(readEnd.Get(), serveQueue)) break;
        const ssize_t got = read(readEnd.Get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        output.append(chunk, size_t(got));
    }
    readEnd.Reset();
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class TSubprocessFileDialog : public AFileDialog {
public:
    TFileDialogAnswer Run(const TFileDialogRequest& request,
                          const std::function<void()>& serveQueue) override {
        TFileDialogAnswer answer;
        const EProgram order[2] = {OnKdeDesktop() ? EProgram::kKdialog : EProgram::kZenity,
                                   OnKdeDesktop() ? EProgram::kZenity : EProgram::kKdialog};
        for (EProgram program : order) {
            const bool zenity = program == EProgram::kZenity;
            const std::string path = FindOnPath(zenity ? "zenity" : "kdialog");
            if (path.empty()) continue;
            std::string output;
            const int status =
                RunCapturing(path, zenity ? ZenityArguments(request) : KdialogArguments(request),
                             output, serveQueue);
            if (status == 1) {
                answer.outcome = EDialogOutcome::kCancelled;
                return answer;
            }
            answer.outcome = EDialogOutcome::kFailed;
            if (status != 0) return answer;
            answer.paths = SplitDialogOutput(output, zenity ? kZenitySeparator : "\n");
            if (answer.paths.empty()) return answer;
            for (const std::string& chosen : answer.paths)
                if (chosen.empty() || chosen[0] != '/') return answer;
            if (!request.multiple && answer.paths.size() > 1) return answer;
            answer.outcome = EDialogOutcome::kChosen;
            return answer;
        }
        return answer;
    }
};

}  // namespace

std::unique_ptr<AFileDialog> CreateSubprocessFileDialog() {
    return std::make_unique<TSubprocessFileDialog>();
}

}  // namespace cvq::platform
