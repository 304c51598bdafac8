// TMultiFileBuffer against the files themselves. Reading: random sequences of register,
// get, validate (forward and backward), stop-using, reset, macro passes and reuse
// limits over small real files, every byte seen through a pointer checked against
// pread(2) of the file. Writing: several channels write one mapped file that grows
// under them, through pointers that must stay good; the file must end up holding
// exactly the bytes stored.
// Input: a run of 4-byte commands (operation, channel, two argument bytes); the first
// byte chooses writing (from 192 on) or the pool size and cache mode for reading.
#include <commonvcqx/files/BufferedFile.h>
#include <commonvcqx/files/MultiFileBuffer.h>
#include <commonvcqx/platform/Drives.h>

#include <fcntl.h>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kChannels = 3;
constexpr size_t kFileSizes[] = {0, 1, 4095, 70001, 300000};
constexpr int kFiles = 5;

struct TFiles {
    std::vector<std::string> native;
    std::vector<int> fds;
    std::vector<std::unique_ptr<TFile>> files;
    std::vector<std::unique_ptr<TMemoryMappedFile>> maps;  // null for the empty file

    TFiles() {
        const char* folder = std::getenv("TMPDIR");
        std::string base = std::string(folder && *folder ? folder : "/tmp") + "/cvq_multifile_" +
                           std::to_string(::getpid()) + "_";
        for (int f = 0; f < kFiles; ++f) {
            native.push_back(base + std::to_string(f));
            std::string bytes(kFileSizes[f], '\0');
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<char>((i * 2654435761u) >> (f + 7));
            int fd = ::open(native.back().c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
                std::abort();
            fds.push_back(fd);
            TFileName name(FileNameFromNativePath(native.back()).c_str());
            files.push_back(std::make_unique<TFile>(name, f % 2 ? 0x8082 : 0x82));
            maps.push_back(kFileSizes[f] ? std::make_unique<TMemoryMappedFile>(*files.back(), 0, 0)
                                         : nullptr);
        }
    }
    ~TFiles() {
        maps.clear();
        files.clear();
        for (size_t f = 0; f < native.size(); ++f) {
            ::close(fds[f]);
            ::unlink(native[f].c_str());
        }
    }
    static TFiles& Files() {
        static TFiles files;
        return files;
    }
};

int64_t FileByte(int file, int64_t offset) {
    unsigned char byte = 0;
    if (::pread(TFiles::Files().fds[file], &byte, 1, offset) != 1) std::abort();
    return byte;
}

constexpr int64_t kWriteRegion = 150000;  // where each writing channel starts

void WriteOneMappedFile(const uint8_t* data, size_t size) {
    const std::string& native = TFiles::Files().native.back();
    const std::string path = native + "_written";
    std::string model;  // the bytes stored; what lies between stays zero
    {
        TFile file(TFileName(FileNameFromNativePath(path).c_str()), 0x18);
        file.SetSize(1);
        TMemoryMappedFile map(file, 0, 0);
        TMultiFileBuffer buffer(TMultiFileBuffer::kWriteMode, kChannels, 0, TFile::kNoCache, 1, 0);
        unsigned char* p[kChannels] = {};
        int64_t at[kChannels] = {};
        for (int ch = 0; ch < kChannels; ++ch)
            TMappedBufferedFile::Register(buffer, ch, map, static_cast<int32_t>(ch * kWriteRegion),
                                          0, 1, 1 + data[0] % 64, 4096 << (data[0] % 5), 1);
        for (size_t i = 1; i + 4 <= size; i += 4) {
            const int op = data[i] % 4;
            const int ch = data[i + 1] % kChannels;
            const unsigned a = data[i + 2], b = data[i + 3];
            const int32_t margin = buffer.GetCurrentFile(ch)->GetAlignmentUnit();
            if (op == 0 || !p[ch]) {
                at[ch] = ch * kWriteRegion + static_cast<int64_t>((a << 8 | b) * 7);
                p[ch] = static_cast<unsigned char*>(
                    buffer.GetVirtualPointer(static_cast<int32_t>(at[ch]), ch));
                if (!p[ch]) std::abort();
            } else if (op == 3) {
                buffer.NotifyNewMacroPass();
            } else {
                // Stores of up to a margin, then the window moves on when it must.
                const int64_t n = 1 + static_cast<int64_t>(b) % margin;
                if (buffer.GetAvailableBytesFromVirtualPointer(p[ch], ch) < n) std::abort();
                if (model.size() < static_cast<size_t>(at[ch] + n))
                    model.resize(static_cast<size_t>(at[ch] + n), '\0');
                for (int64_t k = 0; k < n; ++k) {
                    p[ch][k] = static_cast<unsigned char>(a + k);
                    model[static_cast<size_t>(at[ch] + k)] = static_cast<char>(a + k);
                }
                p[ch] += n;
                at[ch] += n;
                buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&p[ch]), ch);
                if (buffer.VirtualPointerToFileOffset(p[ch], ch) != at[ch]) std::abort();
            }
        }
        const auto total = static_cast<int32_t>(std::max<size_t>(model.size(), 1));
        if (model.empty()) model.assign(1, '\0');
        for (int ch = 0; ch < kChannels; ++ch) buffer.ValidateWriting(total, total, 0, 0, ch, 1);
    }
    int fd = ::open(path.c_str(), O_RDONLY);
    std::string written(model.size() + 1, '\0');
    ssize_t got = fd < 0 ? -1 : ::pread(fd, written.data(), written.size(), 0);
    if (fd >= 0) ::close(fd);
    ::unlink(path.c_str());
    if (got != static_cast<ssize_t>(model.size())) std::abort();
    written.resize(model.size());
    if (written != model) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFiles& all = TFiles::Files();
    if (size == 0) return 0;
    if (data[0] >= 192) {
        WriteOneMappedFile(data, size);
        return 0;
    }
    auto mode = static_cast<TFile::ECacheMode>(data[0] % 3);
    TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, kChannels, 1 + data[0] / 3 % 8, mode,
                            TMultiFileBuffer::kThreadProcessId, 0);
    int fileOf[kChannels] = {-1, -1, -1};
    int64_t at[kChannels] = {};
    unsigned char* p[kChannels] = {};
    for (size_t i = 1; i + 4 <= size; i += 4) {
        const int op = data[i] % 10;
        const int ch = data[i + 1] % kChannels;
        const unsigned a = data[i + 2], b = data[i + 3];
        if (op == 0) {
            int f = static_cast<int>(a % kFiles);
            const int32_t item = 1 + b % 8, margin = 1 + (b >> 3) % 16;
            const int32_t start = static_cast<int32_t>(a / kFiles % 3 * 100);
            const int32_t bytes = static_cast<int32_t>(1 + b % 5) * 8192;
            if (all.maps[f] && (a & 0x80))
                TMappedBufferedFile::Register(buffer, ch, *all.maps[f], start, 0, item, margin,
                                              bytes, 0);
            else
                TClassicBufferedFile::Register(buffer, ch, *all.files[f], start, 0, item, margin,
                                               bytes, 0);
            fileOf[ch] = f;
            p[ch] = nullptr;
        } else if (op == 1) {
            if (fileOf[ch] >= 0) buffer.StopUsingFile(*all.files[fileOf[ch]]);
            if (fileOf[ch] >= 0 && all.maps[fileOf[ch]])
                buffer.StopUsingFile(*all.maps[fileOf[ch]]);
            for (auto& pointer : p) pointer = nullptr;
        } else if (op == 8) {
            buffer.NotifyNewMacroPass();
        } else if (op == 9) {
            buffer.SetReuseLimit(static_cast<int32_t>(a % 8));
        } else if (op == 2) {
            buffer.Reset();
            for (int c = 0; c < kChannels; ++c) {
                fileOf[c] = -1;
                p[c] = nullptr;
            }
        } else if (fileOf[ch] >= 0) {
            const auto length = static_cast<int64_t>(kFileSizes[fileOf[ch]]);
            TBufferedFile* file = buffer.GetCurrentFile(ch);
            const int64_t start = file->GetStart();
            if (length <= start) continue;
            const bool forward = op < 6;
            if (op == 3 || !p[ch]) {
                at[ch] = start + static_cast<int64_t>((a << 8 | b) * 37 % (length - start));
                p[ch] = static_cast<unsigned char*>(
                    forward ? buffer.GetVirtualPointer(static_cast<int32_t>(at[ch]), ch)
                            : buffer.GetVirtualPointerBackward(static_cast<int32_t>(at[ch]), ch));
                if (!p[ch]) std::abort();
            } else {
                const int64_t step = (a << 8 | b) % 4096;
                if (forward && at[ch] + step < length) {
                    at[ch] += step;
                    p[ch] += step;
                    buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&p[ch]), ch);
                } else if (!forward && at[ch] - step >= start) {
                    at[ch] -= step;
                    p[ch] -= step;
                    buffer.ValidateVirtualPointerBackward(reinterpret_cast<void**>(&p[ch]), ch);
                }
            }
            if (buffer.GetAvailableBytesFromVirtualPointer(p[ch], ch) <= 0 ||
                buffer.GetAvailableBytesBeforeVirtualPointer(p[ch], ch) < 0)
                std::abort();  // validated, the pointer lies inside its window
            if (buffer.VirtualPointerToFileOffset(p[ch], ch) != at[ch]) std::abort();
            if (*p[ch] != FileByte(fileOf[ch], at[ch])) std::abort();
        }
    }
    return 0;
}
