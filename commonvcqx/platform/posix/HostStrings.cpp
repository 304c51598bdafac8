#include <commonvcqx/platform/internal/HostStrings.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace cvq::platform {
namespace {

constexpr size_t kLongestText = 999;

using TStrings = std::map<int32_t, std::string>;

struct THostStrings {
    std::mutex lock;
    std::string path;                 // empty: the executable's file
    TStrings* strings = nullptr;      // loaded on first lookup; never freed
    std::vector<TStrings*> replaced;  // tables whose texts callers may still hold
};

THostStrings& Host() {
    static THostStrings* host = new THostStrings;  // outlives every static destructor
    return *host;
}

std::string ExecutableStringsFile() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    return std::string(path, size_t(length)) + ".strings";
}

std::string Unescape(const char* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length && out.size() < kLongestText; ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < length) {
            switch (text[i + 1]) {
                case 'n':
                    c = '\n', ++i;
                    break;
                case 'r':
                    c = '\r', ++i;
                    break;
                case 't':
                    c = '\t', ++i;
                    break;
                case '\\':
                    ++i;
                    break;
                default:
                    break;
            }
        }
        out += c;
    }
    return out;
}

TStrings* Load(const std::string& file) {
    auto* strings = new TStrings;
    std::FILE* in = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
    if (!in) return strings;
    char* line = nullptr;
    size_t capacity = 0;
    ssize_t length;
    while ((length = getline(&line, &capacity, in)) > 0) {
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) --length;
        char* end = nullptr;
        const long id = std::strtol(line, &end, 10);
        if (end == line || *end != '=') continue;
        const char* text = end + 1;
        strings->emplace(int32_t(id), Unescape(text, size_t(line + length - text)));
    }
    std::free(line);
    std::fclose(in);
    return strings;
}

}  // namespace

const char* FindHostString(int32_t id) {
    THostStrings& host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    if (!host.strings) host.strings = Load(host.path.empty() ? ExecutableStringsFile() : host.path);
    const auto found = host.strings->find(id);
    return found == host.strings->end() ? nullptr : found->second.c_str();
}

void SetHostStringsFile(const char* path) {
    THostStrings& host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    host.path = path ? path : "";
    if (host.strings) host.replaced.push_back(host.strings);
    host.strings = nullptr;
}

}  // namespace cvq::platform
