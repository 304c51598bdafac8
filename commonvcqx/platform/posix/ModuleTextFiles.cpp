// Reading the module text files, and the per-module string tables.
#include <commonvcqx/base/Mutex.h>
#include <commonvcqx/platform/internal/ModuleTexts.h>

#include <fstream>
#include <memory>

namespace cvq::platform {
namespace {

constexpr std::streamsize kLargestFile = 16 << 20;

}  // namespace

bool ReadModuleTextFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kLargestFile) return false;
    text.resize(size_t(size));
    in.seekg(0);
    in.read(text.data(), size);
    text.resize(size_t(in.gcount()));
    return !in.bad();
}

namespace {

struct TTables {
    cvq::TMutex lock;
    std::map<std::string, std::unique_ptr<TStringTable>> byModule CVQ_GUARDED_BY(lock);
};

TTables& Tables() {
    static TTables* tables = new TTables;  // texts handed out outlive static destructors
    return *tables;
}

}  // namespace

bool ReadCompanionFile(std::string_view modulePath, std::string_view suffix, std::string& text) {
    for (const std::string& name : CompanionFileNames(modulePath, suffix))
        if (ReadModuleTextFile(name, text)) return true;
    text.clear();
    return false;
}

const TStringTable& ModuleStringTable(const std::string& modulePath) {
    TTables& tables = Tables();
    cvq::TMutexGuard guard(tables.lock);
    std::unique_ptr<TStringTable>& table = tables.byModule[modulePath];
    if (!table) {
        std::string text;
        ReadCompanionFile(modulePath, ".strings", text);
        table = std::make_unique<TStringTable>(ParseStringTable(text));
    }
    return *table;
}

}  // namespace cvq::platform
