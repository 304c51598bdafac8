// cvq config: a configuration file read by the library's own reader, which tells the
// earliest line where the text departs from the form the library writes.
#include "Commands.h"

#include <commonvcqx/config/Config.h>
#include <commonvcqx/frame/Exception.h>

namespace cvq::tool {

namespace {

constexpr char kUsage[] = "cvq config [--paths] FILE";
constexpr char kHelp[] =
    "usage: cvq config [--paths] FILE\n"
    "Reads a configuration file as the library reads it and checks it against the\n"
    "form the library writes: the root's name, \"{\", one line per value (name=value,\n"
    "or the name alone) and per group (its name, \"{\", its keys, \"}\"), \"}\".\n"
    "Prints \"FILE: ok\". Otherwise prints \"FILE:LINE: \" and the earliest problem on\n"
    "standard error: a brace without a group, a group left open, text outside or\n"
    "after the root group, a value set twice in one group (the library keeps the\n"
    "last), a NUL byte, no group at all, or groups nested too deeply.\n"
    "\n"
    "  --paths  print the tree as a path list instead of \"ok\": one line for each\n"
    "           value key, the names of its groups below the root and its own name\n"
    "           joined by \"\\\" (values are not shown), as the library's path lists\n"
    "           hold them.\n"
    "\n"
    "Exit status: 0 sound; 1 a problem, or the file cannot be read; 2 a wrong\n"
    "command line.\n";

}  // namespace

int RunConfig(const TArguments& arguments) {
    std::vector<std::string> options;
    TArguments files;
    if (!SplitOptions(arguments, {"--paths"}, options, files)) return WrongUsage(kUsage);
    if (Has(options, "--help")) return Help(kHelp);
    if (files.size() != 1) return WrongUsage(kUsage);
    std::vector<char> bytes;
    std::string why;
    if (!LoadFile(files[0], bytes, why)) return Fail(files[0], why);
    TConfig config("", TConfig::kNoMode);
    TConfig::TTextProblem problem;
    try {
        // An empty file is text too (a null block would be no text at all).
        config.BuildFromTextBlock(bytes.empty() ? "" : bytes.data(), unsigned(bytes.size()),
                                  &problem);
    } catch (const TException& e) {
        if (problem.line == 0) return Fail(files[0], e.GetMessage() ? e.GetMessage()->c_str() : "");
    }
    if (problem.line != 0)
        return Fail(files[0] + ":" + std::to_string(problem.line), problem.reason.c_str());
    if (!Has(options, "--paths")) {
        std::printf("%s: ok\n", files[0].c_str());
        return kDone;
    }
    TConfig::TStringList lines;
    config.GetAsPathList(lines);
    for (const auto& line : lines) {
        std::fwrite(line.GetString().c_str(), 1, line.GetString().GetLength(), stdout);
        std::fputc('\n', stdout);
    }
    return kDone;
}

}  // namespace cvq::tool
