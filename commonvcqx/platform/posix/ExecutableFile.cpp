// commonvcqx/platform/posix/ExecutableFile.cpp
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/ExecutableFile.h>

#include <unistd.h>

#include <vector>

namespace cvq::platform {

std::string ExecutableFileName() {
    // readlink cuts silently: grow the buffer until the link fits with room to spare.
    std::vector<char> buffer(512);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0) return std::string();
        if (size_t(length) < buffer.size())
            return FileNameFromNativePath(std::string_view(buffer.data(), size_t(length)));
        if (buffer.size() >= (size_t(1) << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace cvq::platform
