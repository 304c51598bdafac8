#include <commonvcqx/config/AutoConfig.h>
#include <commonvcqx/config/internal/KeyName.h>

#include <mutex>
#include <string_view>
#include <vector>

namespace {

struct TChain {
    // Recursive: a callback may load a module whose registrations join the chain.
    std::recursive_mutex lock;
    TAutoConfig* head = nullptr;
};

TChain& Chain() {
    static TChain* chain = new TChain;  // static constructors of any module reach it
    return *chain;
}

// The groups MoveDown enters for `path`, in order; empty when it names no group.
std::vector<std::string_view> GroupParts(std::string_view path) {
    std::vector<std::string_view> parts;
    if (path.find('/') == std::string_view::npos) {
        parts.push_back(path);
        return parts;
    }
    for (size_t start = 0; start <= path.size();) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view part = cvq::detail::TrimBlanks(path.substr(start, slash - start));
        if (!part.empty()) parts.push_back(part);
        start = slash + 1;
    }
    return parts;
}

// MoveDown(path, 0), true only when the cursor reached the group the path names: without
// auto-create a missing group leaves the cursor short of it, where the functions must
// not read or write.
bool EnterGroup(TConfig& config, const char* path) {
    TConfigKey* const start = config.GetCurrentKey();
    const std::string_view text(path);
    const std::vector<std::string_view> parts = GroupParts(text);
    TConfigKey* const base = text[0] == '/' ? config.GetRoot() : start;
    const TConfigKey* key = config.MoveDown(path, 0);
    for (size_t i = parts.size(); i-- > 0;) {
        if (!key || !key->IsGroup() ||
            std::string_view(key->GetName().c_str(), key->GetName().GetLength()) != parts[i])
            return false;
        key = key->GetParent();
    }
    return key == base;
}

}  // namespace

struct TAutoConfigWalk {
    static void Run(TConfig& config, int category, bool save, int saveArgument) {
        TChain& chain = Chain();
        std::lock_guard<std::recursive_mutex> guard(chain.lock);
        for (TAutoConfig* entry = chain.head; entry; entry = entry->m_next) {
            if (entry->m_category != category) continue;
            if (entry->m_fileKind) {
                try {
                    if (save && entry->m_save.file)
                        entry->m_save.file(entry->m_fileName, entry->m_text, entry->m_userData);
                    else if (!save && entry->m_load.file)
                        entry->m_load.file(entry->m_fileName, entry->m_text, entry->m_userData);
                } catch (...) {
                    // A registration's failure does not stop the others.
                }
                continue;
            }
            TConfigKey* const current = config.GetCurrentKey();
            try {
                if (!entry->m_text || !entry->m_text[0] || EnterGroup(config, entry->m_text)) {
                    if (save && entry->m_save.tree)
                        entry->m_save.tree(config, saveArgument, entry->m_userData);
                    else if (!save && entry->m_load.tree)
                        entry->m_load.tree(config, entry->m_userData);
                }
            } catch (...) {
                // As above; the cursor is put back below.
            }
            config.MoveTo(current);
        }
    }

    static void Link(TAutoConfig& entry) {
        TChain& chain = Chain();
        std::lock_guard<std::recursive_mutex> guard(chain.lock);
        entry.m_next = chain.head;
        chain.head = &entry;
    }

    static void Unlink(const TAutoConfig& entry) {
        TChain& chain = Chain();
        std::lock_guard<std::recursive_mutex> guard(chain.lock);
        for (TAutoConfig** link = &chain.head; *link; link = &(*link)->m_next) {
            if (*link == &entry) {
                *link = entry.m_next;
                return;
            }
        }
    }
};

TAutoConfig::TAutoConfig(const char* const groupPath, TTreeLoad load, TTreeSave save, int category,
                         void* userData)
    : m_text(groupPath),
      m_category(category),
      m_userData(userData),
      m_next(nullptr),
      m_fileKind(0) {
    m_load.tree = load;
    m_save.tree = save;
    TAutoConfigWalk::Link(*this);
}

TAutoConfig::TAutoConfig(TFileLoad load, TFileSave save, const char* fileName, const char* text,
                         int category, void* userData)
    : m_text(text),
      m_category(category),
      m_userData(userData),
      m_next(nullptr),
      m_fileName(fileName ? fileName : ""),
      m_fileKind(1) {
    m_load.file = load;
    m_save.file = save;
    TAutoConfigWalk::Link(*this);
}

TAutoConfig::TAutoConfig(const TAutoConfig& other)
    : m_text(other.m_text),
      m_load(other.m_load),
      m_save(other.m_save),
      m_category(other.m_category),
      m_userData(other.m_userData),
      m_next(other.m_next),
      m_fileName(other.m_fileName),
      m_fileKind(other.m_fileKind) {}

TAutoConfig& TAutoConfig::operator=(const TAutoConfig& other) {
    if (this == &other) return *this;
    std::lock_guard<std::recursive_mutex> guard(Chain().lock);  // a walk may read the fields
    m_text = other.m_text;
    m_load = other.m_load;
    m_save = other.m_save;
    m_category = other.m_category;
    m_userData = other.m_userData;
    m_fileName = other.m_fileName;
    m_fileKind = other.m_fileKind;
    return *this;
}

TAutoConfig::~TAutoConfig() {
    TAutoConfigWalk::Unlink(*this);
}

void LoadAllRegisteredConfig(TConfig& config, int category) {
    TAutoConfigWalk::Run(config, category, false, 0);
}

void SaveAllRegisteredConfig(TConfig& config, int saveArgument, int category) {
    TAutoConfigWalk::Run(config, category, true, saveArgument);
}
