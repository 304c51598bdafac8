// TLogFile: batches of lines appended to one file, bypassed after a failure.
#include <commonvcqx/files/LogFile.h>

#include <commonvcqx/files/File.h>
#include <commonvcqx/platform/internal/Files.h>

#include <string>

namespace {

using namespace cvq::open_flags;

// The batch buffer starts at this size and goes to the file once it holds more than
// kWriteThreshold bytes, so one write stays a little over 64 KB.
constexpr size_t kInitialBuffer = 75536;
constexpr size_t kWriteThreshold = 65535;

}  // namespace

// The file slot the copies of one log share: opened once for all of them.
struct TLogFile::TShared {
    std::unique_ptr<TFile> file;
};

TLogEntry::~TLogEntry() = default;

TLogFile::TLogFile(const TFileName& name, char restart, int32_t flushThreshold)
    : m_shared(std::make_shared<TShared>()),
      m_name(name),
      m_flushThreshold(flushThreshold),
      m_restart(restart) {}

TLogFile::TLogFile(const TLogFile& other)
    : m_shared(other.m_shared),
      m_entries(other.m_entries),
      m_name(other.m_name),
      m_flushThreshold(other.m_flushThreshold),
      m_bypassed(other.m_bypassed),
      m_restart(other.m_restart) {}

TLogFile& TLogFile::operator=(const TLogFile& other) {
    if (&other == this) return *this;
    // What this log still holds belongs to its own file: written before it is replaced.
    Flush(0);
    TFlexList<TLogEntry> entries(other.m_entries);
    m_entries.SwapWith(entries);
    m_shared = other.m_shared;
    m_name = other.m_name;
    m_flushThreshold = other.m_flushThreshold;
    m_bypassed = other.m_bypassed;
    m_restart = other.m_restart;
    return *this;
}

TLogFile::~TLogFile() {
    Flush(0);
}

void TLogFile::AddEntry(TLogEntry* entry) {
    if (m_bypassed || !entry) return;
    m_entries.Append(entry);
    if (m_entries.GetCount() >= m_flushThreshold) Flush(0);
}

void TLogFile::Open() {
    auto file = std::make_unique<TFile>();
    if (!m_restart && TFile::Exist(m_name, TFile::kFile)) {
        file->Open(m_name, kSequentialScan | kReadWrite);
        file->SeekEnd();
    } else {
        file->Open(m_name, kSequentialScan | kCreate | kReadWrite);
    }
    DWORD error = 0;
    if (!file->IsOpen() || !cvq::platform::SetFileAppending(file->GetHandle(), error)) {
        m_bypassed = 1;
        return;
    }
    m_shared->file = std::move(file);
}

void TLogFile::Write(const char* data, size_t count) {
    // A single line may be longer than one 32-bit write.
    constexpr size_t kMostPerWrite = size_t{1} << 30;
    while (count != 0) {
        size_t piece = count < kMostPerWrite ? count : kMostPerWrite;
        m_shared->file->Write(data, static_cast<uint32_t>(piece), 0);
        data += piece;
        count -= piece;
    }
}

void TLogFile::Flush(char) noexcept {
    if (!m_bypassed) {
        try {
            if (!m_shared->file) Open();
            if (!m_bypassed) {
                std::string buffer;
                buffer.reserve(kInitialBuffer);
                for (TLogEntry* e = m_entries.GetFirst(); e; e = m_entries.GetNext(e)) {
                    TString line = e->GetLogText();
                    buffer.append(line.c_str(), line.GetLength());
                    buffer.append("\r\n", 2);
                    if (buffer.size() > kWriteThreshold) {
                        Write(buffer.data(), buffer.size());
                        buffer.clear();
                    }
                }
                Write(buffer.data(), buffer.size());
            }
        } catch (...) {
            // A log must not disturb the application: it falls silent instead.
            m_bypassed = 1;
        }
    }
    try {
        m_entries.DeleteAll();
    } catch (...) {
    }
}
