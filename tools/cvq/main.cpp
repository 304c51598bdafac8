// cvq: looks into tagged files.
//
//   cvq dump FILE     prints the file's groups and values as an indented tree
//   cvq verify FILE   checks marker, length and CRC-32; exit status 0 when intact,
//                     1 with a one-line reason when not
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedDump.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::fputs("usage: cvq dump FILE\n       cvq verify FILE\n", stderr);
    return 2;
}

bool Load(const char* path, std::vector<char>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: cvq dump FILE\n       cvq verify FILE\n", stdout);
        return 0;
    }
    if (argc != 3) return Usage();
    const std::string command = argv[1];
    if (command != "dump" && command != "verify") return Usage();
    std::vector<char> bytes;
    if (!Load(argv[2], bytes)) {
        std::printf("%s: cannot read the file\n", argv[2]);
        return 1;
    }
    if (bytes.size() > INT32_MAX) {
        std::printf("%s: too large for a tagged stream\n", argv[2]);
        return 1;
    }
    const int32_t size = int32_t(bytes.size());
    if (command == "verify") {
        std::string reason;
        if (!VerifyTaggedStream(bytes.data(), size, &reason)) {
            std::printf("%s: %s\n", argv[2], reason.c_str());
            return 1;
        }
        std::printf("%s: ok\n", argv[2]);
        return 0;
    }
    try {
        const std::string tree = DumpTaggedStream(bytes.data(), size);
        std::fwrite(tree.data(), 1, tree.size(), stdout);
    } catch (const TException& e) {
        std::printf("%s: damaged tagged stream%s%s\n", argv[2], e.GetMessage() ? ": " : "",
                    e.GetMessage() ? e.GetMessage()->c_str() : "");
        return 1;
    }
    return 0;
}
