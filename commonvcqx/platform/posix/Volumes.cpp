// Volumes from the mount table (/proc/self/mountinfo), the block devices in /sys and
// the file systems' own label calls; module files from the dynamic loader's map.
#include <commonvcqx/base/Mutex.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/Volumes.h>
#include <commonvcqx/platform/posix/FileState.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <initializer_list>

#include <sstream>
#include <vector>

namespace cvq::platform {
namespace {

constexpr unsigned kFloppyMajor = 2;

struct TMount {
    std::string point;
    std::string type;
    std::string options;  // per-mount and file-system options, comma-separated
};

// Mount table fields escape space, tab, newline and backslash as \ooo.
std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
            text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                     (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool Holds(const std::string& point, const std::string& path) {
    if (point == "/") return true;
    return path.compare(0, point.size(), point) == 0 &&
           (path.size() == point.size() || path[point.size()] == '/');
}

struct TMountTableSetting {
    cvq::TMutex lock;
    std::string file CVQ_GUARDED_BY(lock);  // empty: the system's
};

TMountTableSetting& MountTable() {
    static TMountTableSetting* setting = new TMountTableSetting;  // outlives static destructors
    return *setting;
}

std::string MountTableFile() {
    TMountTableSetting& table = MountTable();
    cvq::TMutexGuard guard(table.lock);
    return table.file.empty() ? std::string("/proc/self/mountinfo") : table.file;
}

std::string DeviceNumbers(dev_t device) {
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// The mount holding the canonical `path` on `device`: the longest mount point above it,
// the latest among equal ones (a later mount hides an earlier one at the same place).
// Mounts of the path's own device win over others, which a later mount over a shorter
// path may have hidden.
bool FindMount(const std::string& path, dev_t device, TMount& found) {
    std::ifstream table(MountTableFile());
    if (!table) return false;
    const std::string numbers = DeviceNumbers(device);
    bool any = false, onDevice = false;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::vector<std::string> field;
        for (std::string word; fields >> word;) field.push_back(word);
        // id parent major:minor root point options [optional...] - type source super
        size_t dash = 6;
        while (dash < field.size() && field[dash] != "-") ++dash;
        if (field.size() < 7 || dash + 1 >= field.size()) continue;
        std::string point = Unescape(field[4]);
        if (!Holds(point, path)) continue;
        bool same = field[2] == numbers;
        if (any && (onDevice && !same)) continue;
        if (any && onDevice == same && point.size() < found.point.size()) continue;
        onDevice = same;
        found.point = point;
        found.type = field[dash + 1];
        found.options = field[5];
        if (dash + 3 < field.size()) found.options += "," + field[dash + 3];
        any = true;
    }
    return any;
}

// Canonical native directory of a drive root and its device numbers.
bool RootDirectory(std::string_view root, std::string& path, struct stat& info, DWORD& error) {
    std::string native;
    if (!posix::Native(root, native, error)) return false;
    char* resolved = ::realpath(native.c_str(), nullptr);
    if (!resolved) return posix::Fail(error);
    path = resolved;
    std::free(resolved);
    if (::stat(path.c_str(), &info) != 0) return posix::Fail(error);
    if (!S_ISDIR(info.st_mode)) {
        error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    return true;
}

std::string ReadFirstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The whole disk of a block device in /sys (a partition's parent), or "".
std::string DiskOfDevice(dev_t device) {
    std::string link = "/sys/dev/block/" + DeviceNumbers(device);
    char* resolved = ::realpath(link.c_str(), nullptr);
    if (!resolved) return std::string();
    std::string disk = resolved;
    std::free(resolved);
    if (::access((disk + "/partition").c_str(), F_OK) == 0) disk.erase(disk.rfind('/'));
    return disk;
}

bool HasOption(const std::string& options, std::string_view prefix) {
    std::istringstream list(options);
    for (std::string option; std::getline(list, option, ',');)
        if (option.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

// udev writes unsafe characters of a label as \xHH.
std::string DecodeLabelLink(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

std::string LabelFromFileSystem(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::string();
    char label[FSLABEL_MAX] = {};
    bool read = ::ioctl(fd, FS_IOC_GETFSLABEL, label) == 0;
    ::close(fd);
    label[FSLABEL_MAX - 1] = '\0';
    return read ? std::string(label) : std::string();
}

std::string LabelFromLinks(dev_t device) {
    DIR* folder = ::opendir("/dev/disk/by-label");
    if (!folder) return std::string();
    std::string label;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        struct stat info;
        std::string link = std::string("/dev/disk/by-label/") + entry->d_name;
        if (::stat(link.c_str(), &info) == 0 && S_ISBLK(info.st_mode) && info.st_rdev == device) {
            label = DecodeLabelLink(entry->d_name);
            break;
        }
    }
    ::closedir(folder);
    return label;
}

bool IsOneOf(const std::string& type, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (type == name) return true;
    return false;
}

}  // namespace

EDriveType GetDriveKind(std::string_view root) {
    std::string path;
    struct stat info;
    DWORD error = 0;
    if (!RootDirectory(root, path, info, error)) return kDriveNoRootDir;
    TMount mount;
    if (!FindMount(path, info.st_dev, mount)) return kDriveUnknown;
    if (IsOneOf(mount.type, {"tmpfs", "ramfs"})) return kDriveRamDisk;
    if (IsOneOf(mount.type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "9p",
                             "sshfs", "fuse.sshfs", "fuse.rclone", "glusterfs", "fuse.glusterfs",
                             "davfs", "fuse.davfs2"}))
        return kDriveRemote;
    if (IsOneOf(mount.type, {"iso9660", "udf"})) return kDriveCdRom;
    std::string disk = DiskOfDevice(info.st_dev);
    if (!disk.empty() && ReadFirstLine(disk + "/removable") == "1") return kDriveRemovable;
    if (major(info.st_dev) == kFloppyMajor && !disk.empty()) return kDriveRemovable;
    return kDriveFixed;
}

bool GetVolumeLabel(std::string_view root, std::string& label, DWORD& error) {
    std::string path;
    struct stat info;
    if (!RootDirectory(root, path, info, error)) return false;
    label = LabelFromFileSystem(path);
    if (label.empty()) label = LabelFromLinks(info.st_dev);
    if (label.empty()) {
        TMount mount;
        std::string point = FindMount(path, info.st_dev, mount) ? mount.point : path;
        label = point.substr(point.rfind('/') + 1);
    }
    return true;
}

bool SetVolumeLabel(std::string_view root, std::string_view label, DWORD& error) {
    std::string current;
    if (!GetVolumeLabel(root, current, error)) return false;
    if (current == label) return true;
    if (label.size() >= FSLABEL_MAX || label.find('\0') != std::string_view::npos) {
        error = ERROR_INVALID_NAME;
        return false;
    }
    std::string path;
    struct stat info;
    if (!RootDirectory(root, path, info, error)) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return posix::Fail(error);
    char text[FSLABEL_MAX] = {};
    label.copy(text, label.size());
    int result = ::ioctl(fd, FS_IOC_SETFSLABEL, text);
    int number = errno;
    ::close(fd);
    if (result == 0) return true;
    if (number == ENOTTY || number == EOPNOTSUPP || number == ENOSYS) {
        error = ERROR_NOT_SUPPORTED;
        return false;
    }
    errno = number;
    return posix::Fail(error);
}

bool IsCompressedVolume(std::string_view root) {
    std::string path;
    struct stat info;
    DWORD error = 0;
    TMount mount;
    if (!RootDirectory(root, path, info, error) || !FindMount(path, info.st_dev, mount))
        return false;
    return mount.type == "squashfs" || HasOption(mount.options, "compress");
}

bool IsFloppyDevice(std::string_view root) {
    std::string path;
    struct stat info;
    DWORD error = 0;
    return RootDirectory(root, path, info, error) && major(info.st_dev) == kFloppyMajor &&
           !DiskOfDevice(info.st_dev).empty();
}

void SetMountTableFile(const char* path) {
    TMountTableSetting& table = MountTable();
    cvq::TMutexGuard guard(table.lock);
    table.file = path ? path : "";
}

}  // namespace cvq::platform
