// Shell command lines run from tests: their exit status and what they print.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace cvq::test {

struct TShellRun {
    int status;  // the exit code; -1 when the command could not run or was killed
    std::string output;
};

/// Runs `command` through the shell; the output is its standard output (and error,
/// when the line redirects it).
inline TShellRun RunShell(const std::string& command) {
    TShellRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

/// `text` as one shell word, whatever it holds.
inline std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace cvq::test
