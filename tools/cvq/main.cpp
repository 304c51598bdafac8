// cvq: looks into the data the library stores: tagged files, configuration files and
// the registry files. `cvq --help` lists the subcommands, `cvq COMMAND --help` tells
// each one's options.
#include "Commands.h"

#include <commonvcqx/frame/Exception.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <fstream>
#include <iterator>

namespace cvq::tool {

namespace {

constexpr char kUsage[] =
    "cvq dump [--json] FILE | verify FILE | config [--paths] FILE | registry ...";

constexpr char kHelp[] =
    "usage: cvq COMMAND [OPTIONS] [ARGUMENTS]\n"
    "Looks into the data CommonVcQx stores.\n"
    "\n"
    "  cvq dump [--json] FILE      print a tagged file's groups and values\n"
    "  cvq verify FILE             check a tagged file's marker, length and CRC-32\n"
    "  cvq config [--paths] FILE   check a configuration file, or print its paths\n"
    "  cvq registry list [KEY]     list the registry files' keys and values\n"
    "  cvq registry get KEY NAME   print one value\n"
    "  cvq registry set [--dword] KEY NAME VALUE\n"
    "                              write one value\n"
    "\n"
    "`cvq COMMAND --help` tells more; `man cvq` tells all.\n"
    "Exit status: 0 done; 1 what was looked at is damaged, missing or cannot be\n"
    "written (one line on standard error); 2 a wrong command line.\n";

}  // namespace

bool SplitOptions(const TArguments& arguments, const std::vector<std::string>& known,
                  std::vector<std::string>& options, TArguments& operands) {
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        const bool negativeNumber =
            argument.size() >= 2 && argument[0] == '-' && argument[1] >= '0' && argument[1] <= '9';
        if (optionsEnded || argument.size() < 2 || argument[0] != '-' || negativeNumber) {
            operands.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            options.push_back("--help");
        } else if (std::find(known.begin(), known.end(), argument) != known.end()) {
            options.push_back(argument);
        } else {
            std::fprintf(stderr, "cvq: unknown option %s\n", argument.c_str());
            return false;
        }
    }
    return true;
}

bool Has(const std::vector<std::string>& options, const char* option) {
    return std::find(options.begin(), options.end(), option) != options.end();
}

bool LoadFile(const std::string& path, std::vector<char>& bytes, std::string& why) {
    std::ifstream file(path, std::ios::binary);
    if (file) bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file.is_open() || file.bad()) {
        why = "cannot read the file";
        return false;
    }
    if (bytes.size() > size_t(INT32_MAX)) {
        why = "too large";
        return false;
    }
    return true;
}

int Help(const char* text) {
    std::fputs(text, stdout);
    return kDone;
}

int WrongUsage(const char* usage) {
    std::fprintf(stderr, "usage: %s\n", usage);
    return kWrongUsage;
}

int Fail(const std::string& subject, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", subject.c_str(), why.c_str());
    return kFailed;
}

}  // namespace cvq::tool

int main(int argc, char** argv) {
    using namespace cvq::tool;
    if (argc < 2) return WrongUsage(kUsage);
    const std::string command = argv[1];
    const TArguments arguments(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") return Help(kHelp);
    try {
        if (command == "dump") return RunDump(arguments);
        if (command == "verify") return RunVerify(arguments);
        if (command == "config") return RunConfig(arguments);
        if (command == "registry") return RunRegistry(arguments);
    } catch (const TException& e) {
        return Fail("cvq", e.GetMessage() ? e.GetMessage()->c_str() : "failed");
    } catch (const std::exception& e) {  // out of memory, say
        return Fail("cvq", e.what());
    }
    std::fprintf(stderr, "cvq: unknown command %s\n", command.c_str());
    return WrongUsage(kUsage);
}
