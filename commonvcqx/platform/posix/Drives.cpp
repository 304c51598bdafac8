// The drive table and the translation between library file names and native paths.
#include <commonvcqx/platform/Drives.h>

#include <array>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include <unistd.h>
#include <cerrno>

namespace {

constexpr int kDriveCount = 26;

class TDriveTable {
public:
    TDriveTable() { m_roots[2].push_back('/'); }  // C: is the root

    bool Map(int index, std::string_view root) {
        std::unique_lock lock(m_mutex);
        m_roots[index].assign(root);
        return true;
    }
    void Unmap(int index) {
        std::unique_lock lock(m_mutex);
        m_roots[index].clear();
    }
    std::string Root(int index) const {
        std::shared_lock lock(m_mutex);
        return m_roots[index];
    }
    // Index of the drive whose root holds `path` most closely, or -1.
    int DriveOf(std::string_view path, size_t& rootLength) const {
        std::shared_lock lock(m_mutex);
        int best = -1;
        for (int i = 0; i < kDriveCount; ++i) {
            const std::string& root = m_roots[i];
            if (root.empty() || (best >= 0 && root.size() <= rootLength)) continue;
            bool holds = root == "/" ? true
                                     : path.starts_with(root) &&
                                           (path.size() == root.size() || path[root.size()] == '/');
            if (holds) {
                best = i;
                rootLength = root.size();
            }
        }
        return best;
    }

private:
    mutable std::shared_mutex m_mutex;
    std::array<std::string, kDriveCount> m_roots;
};

TDriveTable& Drives() {
    static TDriveTable* table = new TDriveTable;  // outlives every static destructor
    return *table;
}

int DriveIndex(char letter) {
    if (letter >= 'a' && letter <= 'z') return letter - 'a';
    if (letter >= 'A' && letter <= 'Z') return letter - 'A';
    return -1;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool StartsWithDrive(std::string_view name) {
    return name.size() >= 2 && name[1] == ':' && DriveIndex(name[0]) >= 0;
}

// Components of a drive-relative name with "." and ".." resolved, clamped at the root.
std::vector<std::string_view> ResolvedComponents(std::string_view rest) {
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t end = pos;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        std::string_view part = rest.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    return parts;
}

std::string JoinUnderRoot(const std::string& root, std::string_view rest) {
    std::string path = root;
    for (std::string_view part : ResolvedComponents(rest)) {
        if (path.back() != '/') path += '/';
        path += part;
    }
    return path;
}

std::string NativeWorkingDirectory() {
    std::string buffer(256, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    return buffer;
}

int CurrentDriveIndex() {
    size_t rootLength = 0;
    return Drives().DriveOf(NativeWorkingDirectory(), rootLength);
}

}  // namespace

bool MapDrive(char letter, std::string_view nativeRoot) {
    int index = DriveIndex(letter);
    if (index < 0 || nativeRoot.empty() || nativeRoot[0] != '/') return false;
    while (nativeRoot.size() > 1 && nativeRoot.back() == '/') nativeRoot.remove_suffix(1);
    return Drives().Map(index, nativeRoot);
}

void UnmapDrive(char letter) {
    int index = DriveIndex(letter);
    if (index >= 0) Drives().Unmap(index);
}

std::string GetDriveRoot(char letter) {
    int index = DriveIndex(letter);
    return index < 0 ? std::string() : Drives().Root(index);
}

bool NativePathFromFileName(std::string_view name, std::string& native) {
    if (name.empty()) return false;
    if (name[0] == '/') {
        native.assign(name);
        return true;
    }
    std::string root;
    std::string_view rest;
    if (StartsWithDrive(name)) {
        root = Drives().Root(DriveIndex(name[0]));
        rest = name.substr(2);
    } else if (IsSeparator(name[0])) {
        if (name.size() > 1 && IsSeparator(name[1])) return false;  // \\server\share
        int drive = CurrentDriveIndex();
        root = drive < 0 ? std::string("/") : Drives().Root(drive);
        rest = name.substr(1);
    } else {
        native.assign(name);
        for (char& c : native)
            if (c == '\\') c = '/';
        return true;
    }
    if (root.empty()) return false;
    native = JoinUnderRoot(root, rest);
    return true;
}

std::string FileNameFromNativePath(std::string_view native) {
    std::string name;
    size_t rootLength = 0;
    int drive = native.starts_with('/') ? Drives().DriveOf(native, rootLength) : -1;
    if (drive < 0) {
        name.assign(native);
        if (!native.starts_with('/'))
            for (char& c : name)
                if (c == '/') c = '\\';
        return name;
    }
    name = {static_cast<char>('A' + drive), ':', '\\'};
    std::string_view rest = native.substr(rootLength);
    for (char c : rest) {
        if (c != '/')
            name += c;
        else if (name.back() != '\\')
            name += '\\';
    }
    return name;
}

namespace cvq::platform {

std::string CurrentDirectoryName() {
    return FileNameFromNativePath(NativeWorkingDirectory());
}

}  // namespace cvq::platform
