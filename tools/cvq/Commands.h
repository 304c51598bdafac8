// The subcommands of cvq and what they share. Each takes the arguments after its own
// name and returns the exit status: 0 done, 1 what was looked at is damaged, missing
// or cannot be written (one line on standard error), 2 a wrong command line.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cvq::tool {

inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kWrongUsage = 2;

using TArguments = std::vector<std::string>;

int RunDump(const TArguments& arguments);
int RunVerify(const TArguments& arguments);
int RunConfig(const TArguments& arguments);
int RunRegistry(const TArguments& arguments);

/// The operands, with the options taken out into `options` ("--" ends the options; "-"
/// and negative numbers are operands).
/// False, after a message, for an option not in `known`; "--help" and "-h" are always
/// known and come back as "--help".
bool SplitOptions(const TArguments& arguments, const std::vector<std::string>& known,
                  std::vector<std::string>& options, TArguments& operands);
bool Has(const std::vector<std::string>& options, const char* option);

/// A whole file of at most INT32_MAX bytes; false with the reason in `why`.
bool LoadFile(const std::string& path, std::vector<char>& bytes, std::string& why);

/// Prints `text` to standard output and returns kDone (for --help).
int Help(const char* text);
/// Prints "usage: " and `usage` to standard error and returns kWrongUsage.
int WrongUsage(const char* usage);
/// One line "subject: why" on standard error; returns kFailed.
int Fail(const std::string& subject, const std::string& why);

}  // namespace cvq::tool
