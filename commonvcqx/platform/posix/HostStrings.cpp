#include <commonvcqx/platform/internal/HostStrings.h>
#include <commonvcqx/platform/internal/ModuleTexts.h>

#include <commonvcqx/base/Mutex.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace cvq::platform {
namespace {

struct THostStrings {
    cvq::TMutex lock;
    std::string path CVQ_GUARDED_BY(lock);                 // empty: the executable's file
    TStringTable* strings CVQ_GUARDED_BY(lock) = nullptr;  // loaded on first lookup; never freed
    // Tables whose texts callers may still hold.
    std::vector<TStringTable*> replaced CVQ_GUARDED_BY(lock);
};

THostStrings& Host() {
    static THostStrings* host = new THostStrings;  // outlives every static destructor
    return *host;
}

std::string ExecutablePath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    return std::string(path, size_t(length));
}

TStringTable* Load(const std::string& file) {
    std::string text;
    if (file.empty())
        ReadCompanionFile(ExecutablePath(), ".strings", text);
    else
        ReadModuleTextFile(file, text);
    return new TStringTable(ParseStringTable(text));
}

}  // namespace

const char* FindHostString(int32_t id) {
    THostStrings& host = Host();
    cvq::TMutexGuard guard(host.lock);
    if (!host.strings) host.strings = Load(host.path);
    const auto found = host.strings->find(id);
    return found == host.strings->end() ? nullptr : found->second.c_str();
}

void SetHostStringsFile(const char* path) {
    THostStrings& host = Host();
    cvq::TMutexGuard guard(host.lock);
    host.path = path ? path : "";
    if (host.strings) host.replaced.push_back(host.strings);
    host.strings = nullptr;
}

}  // namespace cvq::platform
