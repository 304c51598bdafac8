// Folder listings on POSIX: the folder is read whole into one block of names, sorted,
// and handed out entry by entry. An entry is stat'ed (statx, relative to the folder's
// descriptor) only when the caller completes it, or when readdir cannot tell a folder
// from a file (a symbolic link, a file system that gives no type).
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/ErrorCodes.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/FindFiles.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace cvq::platform {

namespace {

struct TListedEntry {
    size_t offset;       // of the name in the handle's block
    unsigned char type;  // readdir's d_type
};

constexpr unsigned kStatMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;

}  // namespace

struct TFindHandle {
    DIR* folder = nullptr;
    std::vector<char> names;  // each matching name followed by a NUL
    std::vector<TListedEntry> entries;
    size_t next = 0;  // the entry FindNextFile gives
    // The entry given last: whether it may be a link, and its stat when telling its
    // kind took one already.
    bool lastMayLink = false;
    bool lastStated = false;
    struct statx last = {};
};

namespace {

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool IsDots(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Opens a folder for reading. A path the system finds too long is walked down in
// pieces it accepts, each opened relative to the one before.
int OpenFolder(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != ENAMETOOLONG) return fd;
    int base = AT_FDCWD;
    size_t start = 0;
    auto fail = [&base](int errorNumber) {
        if (base != AT_FDCWD) ::close(base);
        errno = errorNumber;
        return -1;
    };
    while (path.size() - start >= PATH_MAX) {
        size_t cut = path.rfind('/', start + PATH_MAX - 1);
        if (cut == std::string::npos || cut <= start) return fail(ENAMETOOLONG);
        std::string piece = path.substr(start, cut - start);
        int next = ::openat(base, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (next < 0) return fail(errno);
        if (base != AT_FDCWD) ::close(base);
        base = next;
        start = cut + 1;
        while (start < path.size() && path[start] == '/') ++start;
    }
    const char* rest = start < path.size() ? path.c_str() + start : ".";
    fd = ::openat(base, rest, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return fail(errno);
    if (base != AT_FDCWD) ::close(base);
    return fd;
}

// Stat of `name` in the folder: what a link points to, else the link itself
// (dangling). An entry the listing calls no link is not looked at as one.
bool StatEntry(TFindHandle& find, const char* name, bool mayLink, struct statx& info) {
    int folder = ::dirfd(find.folder);
    const int follow = mayLink ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::statx(folder, name, AT_NO_AUTOMOUNT | follow, kStatMask, &info) == 0) return true;
    if (!mayLink) return false;
    if (errno != ENOENT && errno != ELOOP) return false;
    return ::statx(folder, name, AT_NO_AUTOMOUNT | AT_SYMLINK_NOFOLLOW, kStatMask, &info) == 0;
}

// Reads the entries matching `pattern`; false with errno set when the folder fails.
bool ReadFolder(TFindHandle& find, std::string_view pattern) {
    const bool all = pattern == "*" || pattern == "*.*";
    for (;;) {
        errno = 0;
        const struct dirent* item = ::readdir(find.folder);
        if (!item) return errno == 0;
        std::string_view name(item->d_name);
        if (!all && !MatchesFindPattern(pattern, name)) continue;
        find.entries.push_back({find.names.size(), item->d_type});
        find.names.insert(find.names.end(), name.begin(), name.end());
        find.names.push_back('\0');
    }
}

void Sort(TFindHandle& find, TNameOrder order) {
    const char* names = find.names.data();
    auto dots = [names](const TListedEntry& e) { return IsDots(names + e.offset); };
    auto rest = std::stable_partition(find.entries.begin(), find.entries.end(), dots);
    std::sort(find.entries.begin(), rest, [names](const TListedEntry& a, const TListedEntry& b) {
        return std::strcmp(names + a.offset, names + b.offset) < 0;  // "." before ".."
    });
    if (!order) return;
    // Names the order takes as equal ("A" and "a" may live side by side) fall back to
    // byte order, so that every listing of one folder comes out the same.
    std::sort(rest, find.entries.end(),
              [names, order](const TListedEntry& a, const TListedEntry& b) {
                  int c = order(names + a.offset, names + b.offset);
                  return c != 0 ? c < 0 : std::strcmp(names + a.offset, names + b.offset) < 0;
              });
}

// Fills `entry` with the next listed entry: its name and the bits that need no stat.
void GiveNext(TFindHandle& find, WIN32_FIND_DATAA& entry) {
    const TListedEntry& listed = find.entries[find.next++];
    const char* name = find.names.data() + listed.offset;
    bool directory = listed.type == DT_DIR;
    find.lastMayLink = listed.type == DT_LNK || listed.type == DT_UNKNOWN;
    find.lastStated = false;
    if (find.lastMayLink) {
        find.lastStated = StatEntry(find, name, true, find.last);
        directory = find.lastStated && S_ISDIR(find.last.stx_mode);
    }
    std::memset(&entry, 0, sizeof entry);
    // A name is at most NAME_MAX (255) bytes: it always fits with its NUL.
    std::memcpy(entry.cFileName, name, std::min(std::strlen(name), sizeof entry.cFileName - 1));
    DWORD attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (name[0] == '.' && !IsDots(name)) attributes |= FILE_ATTRIBUTE_HIDDEN;
    entry.dwFileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

FILETIME FileTimeOf(const struct statx_timestamp& time) {
    return FileTimeFromUnix(time.tv_sec, time.tv_nsec);
}

}  // namespace

bool MatchesFindPattern(std::string_view pattern, std::string_view name) {
    if (pattern.find_first_of("*?") == std::string_view::npos)
        while (!pattern.empty() && (pattern.back() == '.' || pattern.back() == ' '))
            pattern.remove_suffix(1);
    if (pattern == "*" || pattern == "*.*") return true;
    // Greedy with one step of backtracking to the last "*": linear in practice.
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

TFindHandle* FindFirstFile(std::string_view search, TNameOrder order, WIN32_FIND_DATAA& entry,
                           DWORD& error) {
    size_t separator = search.find_last_of("\\/");
    std::string_view folderName = separator == std::string_view::npos ? std::string_view(".")
                                  : separator == 0                    ? search.substr(0, 1)
                                                                      : search.substr(0, separator);
    std::string_view pattern =
        separator == std::string_view::npos ? search : search.substr(separator + 1);
    std::string path;
    if (!NativePathFromFileName(folderName, path)) {
        error = ERROR_INVALID_DRIVE;
        return nullptr;
    }
    int fd = OpenFolder(path);
    if (fd < 0) {
        error = errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                    : WindowsErrorFromErrno(errno);
        return nullptr;
    }
    auto* find = new TFindHandle;
    find->folder = ::fdopendir(fd);
    if (!find->folder) {
        error = LastSystemError();
        ::close(fd);
        delete find;
        return nullptr;
    }
    // Short memory throws out of the listing (a new handler's exception): the handle,
    // its folder and descriptor go with it.
    struct TCloseOnThrow {
        TFindHandle* find;
        ~TCloseOnThrow() { FindClose(find); }
    } pending{find};
    const bool read = ReadFolder(*find, pattern);
    if (!read || find->entries.empty()) {
        error = read ? ERROR_FILE_NOT_FOUND : LastSystemError();
        return nullptr;
    }
    Sort(*find, order);
    GiveNext(*find, entry);
    pending.find = nullptr;
    return find;
}

bool FindNextFile(TFindHandle* find, WIN32_FIND_DATAA& entry, DWORD& error) {
    if (find->next >= find->entries.size()) {
        error = ERROR_NO_MORE_FILES;
        return false;
    }
    GiveNext(*find, entry);
    return true;
}

bool CompleteFindData(TFindHandle* find, WIN32_FIND_DATAA& entry, DWORD& error) {
    struct statx own;
    const struct statx* info = &find->last;
    if (!find->lastStated) {
        if (!StatEntry(*find, entry.cFileName, find->lastMayLink, own)) {
            error = LastSystemError();
            return false;
        }
        info = &own;
    }
    if (!(info->stx_mode & S_IWUSR)) {
        entry.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
        entry.dwFileAttributes &= ~FILE_ATTRIBUTE_NORMAL;
    }
    entry.ftCreationTime =
        FileTimeOf((info->stx_mask & STATX_BTIME) ? info->stx_btime : info->stx_mtime);
    entry.ftLastAccessTime = FileTimeOf(info->stx_atime);
    entry.ftLastWriteTime = FileTimeOf(info->stx_mtime);
    entry.nFileSizeHigh = static_cast<DWORD>(info->stx_size >> 32);
    entry.nFileSizeLow = static_cast<DWORD>(info->stx_size);
    return true;
}

bool GetFindFolderId(TFindHandle* find, uint64_t& device, uint64_t& inode) {
    struct stat info;
    if (::fstat(::dirfd(find->folder), &info) != 0) return false;
    device = static_cast<uint64_t>(info.st_dev);
    inode = static_cast<uint64_t>(info.st_ino);
    return true;
}

void FindClose(TFindHandle* find) {
    if (!find) return;
    if (find->folder) ::closedir(find->folder);
    delete find;
}

}  // namespace cvq::platform
