// cvq dump and cvq verify: tagged files through the library's own dump and check.
#include "Commands.h"

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedDump.h>

#include <cstdint>

namespace cvq::tool {

namespace {

constexpr char kDumpUsage[] = "cvq dump [--json] FILE";
constexpr char kDumpHelp[] =
    "usage: cvq dump [--json] FILE\n"
    "Prints a tagged file: a header line (document name, byte order, length, CRC-32\n"
    "and whether it is right), then every group as \"Name/\" and every value as\n"
    "\"Name [n bytes] = ...\", indented by depth. Values are shown as they read best:\n"
    "quoted text, a number (1, 2, 4 or 8 bytes), or hex.\n"
    "\n"
    "  --json   one JSON object instead, for jq and scripts:\n"
    "             {\"document\", \"byteOrder\" (\"little-endian\" or \"reversed\"),\n"
    "              \"length\", \"size\", \"crc32\" (8 hex digits), \"crcOk\" (true, false,\n"
    "              or null when the length allows no check), \"root\": [nodes]}\n"
    "           A group is {\"name\", \"group\": [nodes]}. A value is {\"name\", \"size\",\n"
    "           \"hex\"}: binary data is given in hex (two lower-case digits a byte),\n"
    "           never base64, plus the readings that fit: \"text\" (NUL-terminated\n"
    "           printable data), \"number\" (1, 2, 4 or 8 bytes, signed) and \"double\"\n"
    "           (8 bytes, finite). Bytes of names and texts that are not UTF-8 are\n"
    "           read as Latin-1.\n"
    "\n"
    "Exit status: 0 dumped; 1 the file cannot be read or its nodes are damaged (one\n"
    "line on standard error, nothing on standard output); 2 a wrong command line.\n";

constexpr char kVerifyUsage[] = "cvq verify FILE";
constexpr char kVerifyHelp[] =
    "usage: cvq verify FILE\n"
    "Checks a tagged file: its marker, its length (at least 13, a multiple of 4, the\n"
    "file's size), its CRC-32 and that every node can be walked. Prints \"FILE: ok\".\n"
    "\n"
    "Exit status: 0 intact; 1 damaged or unreadable, with \"FILE: \" and the first\n"
    "fault on standard error; 2 a wrong command line.\n";

}  // namespace

int RunDump(const TArguments& arguments) {
    std::vector<std::string> options;
    TArguments files;
    if (!SplitOptions(arguments, {"--json"}, options, files)) return WrongUsage(kDumpUsage);
    if (Has(options, "--help")) return Help(kDumpHelp);
    if (files.size() != 1) return WrongUsage(kDumpUsage);
    std::vector<char> bytes;
    std::string why;
    if (!LoadFile(files[0], bytes, why)) return Fail(files[0], why);
    std::string out;
    try {
        const int32_t size = int32_t(bytes.size());
        out = Has(options, "--json") ? DumpTaggedStreamAsJson(bytes.data(), size)
                                     : DumpTaggedStream(bytes.data(), size);
    } catch (const TException& e) {
        why = "damaged tagged stream";
        if (e.GetMessage()) why += std::string(": ") + e.GetMessage()->c_str();
        return Fail(files[0], why);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kDone;
}

int RunVerify(const TArguments& arguments) {
    std::vector<std::string> options;
    TArguments files;
    if (!SplitOptions(arguments, {}, options, files)) return WrongUsage(kVerifyUsage);
    if (Has(options, "--help")) return Help(kVerifyHelp);
    if (files.size() != 1) return WrongUsage(kVerifyUsage);
    std::vector<char> bytes;
    std::string why;
    if (!LoadFile(files[0], bytes, why)) return Fail(files[0], why);
    if (!VerifyTaggedStream(bytes.data(), int32_t(bytes.size()), &why)) return Fail(files[0], why);
    std::printf("%s: ok\n", files[0].c_str());
    return kDone;
}

}  // namespace cvq::tool
