// Reads on worker threads for TFile::ReadAsync: each read runs on a thread of its own
// with pread, so the file's position is never touched, and sets the caller's event
// when it ended. Results stay with the handle until asked for or the file closes.
#include <commonvcqx/base/Mutex.h>
#include <commonvcqx/platform/ErrorCodes.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/KernelObjects.h>
#include <commonvcqx/platform/posix/FileState.h>

#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <list>
#include <system_error>
#include <thread>

namespace cvq::platform {

struct AsyncReads {
    struct TAsyncRead {
        HANDLE event = nullptr;
        std::thread worker;
        std::atomic<bool> ended{false};
        size_t done = 0;  // written by the worker, read after joining it
        DWORD error = 0;
    };
    cvq::TMutex mutex;
    // Stable addresses: the workers write into their records.
    std::list<TAsyncRead> reads CVQ_GUARDED_BY(mutex);

    std::list<TAsyncRead>::iterator Find(HANDLE event) CVQ_REQUIRES(mutex) {
        for (auto it = reads.begin(); it != reads.end(); ++it)
            if (it->event == event) return it;
        return reads.end();
    }
};

namespace {

void ReadAt(int fd, void* buffer, size_t count, uint64_t offset, AsyncReads::TAsyncRead& read,
            HANDLE event) {
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    DWORD error = 0;
    while (done < count) {
        ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = WindowsErrorFromErrno(errno);
            break;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    read.done = done;
    read.error = error;
    read.ended.store(true, std::memory_order_release);
    SetEventObject(event);
    CloseObjectHandle(event);
}

// The handle's reads, made on first use: two threads may start its first reads at once.
AsyncReads& ReadsOf(FileHandle& file) {
    AsyncReads* reads = file.async.load(std::memory_order_acquire);
    if (reads) return *reads;
    auto* made = new AsyncReads;
    if (file.async.compare_exchange_strong(reads, made, std::memory_order_acq_rel)) return *made;
    delete made;
    return *reads;
}

}  // namespace

bool StartAsyncRead(FileHandle* file, void* buffer, size_t count, uint64_t offset, HANDLE event,
                    DWORD& error) {
    if (!file || !event) {
        error = file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE;
        return false;
    }
    // Bytes still in the stream's buffer must be in the file for pread to see them.
    if (file->stream && !posix::StreamFlush(*file, error)) return false;
    AsyncReads& all = ReadsOf(*file);
    cvq::TMutexGuard guard(all.mutex);
    auto earlier = all.Find(event);
    if (earlier != all.reads.end()) {
        earlier->worker.join();
        all.reads.erase(earlier);
    }
    if (!ResetEventObject(event)) {  // after the earlier read, which set it
        error = ERROR_INVALID_HANDLE;
        return false;
    }
    AsyncReads::TAsyncRead& read = all.reads.emplace_back();
    read.event = event;
    HANDLE own = DuplicateObjectHandle(event);  // the event may be closed before the end
    try {
        read.worker = std::thread(ReadAt, file->fd, buffer, count, offset, std::ref(read), own);
    } catch (const std::system_error&) {
        CloseObjectHandle(own);
        all.reads.pop_back();
        error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    return true;
}

bool AsyncReadResult(FileHandle* file, HANDLE event, bool wait, size_t& done, DWORD& error) {
    done = 0;
    AsyncReads* reads = file ? file->async.load(std::memory_order_acquire) : nullptr;
    if (!reads) {
        error = file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE;
        return false;
    }
    AsyncReads& all = *reads;
    cvq::TMutexGuard guard(all.mutex);
    auto read = all.Find(event);
    if (read == all.reads.end()) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (!wait && !read->ended.load(std::memory_order_acquire)) {
        error = ERROR_IO_INCOMPLETE;
        return false;
    }
    read->worker.join();
    done = read->done;
    DWORD failure = read->error;
    all.reads.erase(read);
    if (failure != 0) {
        error = failure;
        return false;
    }
    return true;
}

void FinishAsyncReads(FileHandle* file) {
    if (file) posix::FinishAsyncReads(*file);
}

namespace posix {

void FinishAsyncReads(FileHandle& file) {
    AsyncReads* reads = file.async.exchange(nullptr, std::memory_order_acq_rel);
    if (!reads) return;
    {
        cvq::TMutexGuard guard(reads->mutex);
        for (auto& read : reads->reads) read.worker.join();
    }
    delete reads;
}

}  // namespace posix
}  // namespace cvq::platform
