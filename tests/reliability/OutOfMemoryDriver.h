// The out-of-memory driver: runs an operation with the heaps failing at its 1st, 2nd, ...
// allocation until it runs to its end, and checks each failed run: it ended in
// TException "Out of memory" (or in a result the case accepts), the heaps hold the
// same blocks as before, the objects involved still work, and memory comes as usual
// afterwards. A case is a function that builds its objects, runs the operation through
// TOutOfMemoryRun::Armed and checks the objects; the driver calls it once per failure
// point and compares the heaps around each call.
#pragma once

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/AllocationFailures.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/text/String.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace cvq::reliability {

/// One run of a case at one failure point.
class TOutOfMemoryRun {
public:
    explicit TOutOfMemoryRun(int32_t nth) : m_nth(nth) {}

    /// Runs `operation` with the `nth` allocation of the calling thread failing (never
    /// when nth is 0). True when it ran to its end without reaching the failure.
    template <class F>
    bool Armed(F&& operation) {
        m_thrown[0] = 0;
        if (m_nth > 0) cvq::detail::FailNthAllocation(m_nth, nullptr);
        try {
            operation();
        } catch (const TException& e) {
            Record(e.GetMessage() ? e.GetMessage()->c_str() : "(TException without text)");
        } catch (const std::bad_alloc&) {
            Record("std::bad_alloc");
        } catch (...) {
            Record("(another exception)");
        }
        cvq::detail::DisarmAllocationFailures();
        m_failed = m_nth > 0 && cvq::detail::AllocationFailureFired();
        m_armedRuns++;
        return !m_failed && m_thrown[0] == 0;
    }

    /// The case has checked that the failure ended in the operation's documented
    /// result instead of an exception.
    void AcceptResult() { m_accepted = true; }

    bool Failed() const { return m_failed; }
    bool Accepted() const { return m_accepted; }
    const char* Thrown() const { return m_thrown; }
    int32_t Nth() const { return m_nth; }
    int ArmedRuns() const { return m_armedRuns; }

private:
    void Record(const char* text) {
        std::strncpy(m_thrown, text, sizeof(m_thrown) - 1);
        m_thrown[sizeof(m_thrown) - 1] = 0;
    }

    int32_t m_nth;
    bool m_failed = false;
    bool m_accepted = false;
    int m_armedRuns = 0;
    char m_thrown[512] = {};
};

using TOutOfMemoryCase = void (*)(TOutOfMemoryRun& run);

struct TNamedOutOfMemoryCase {
    const char* name;
    TOutOfMemoryCase run;
};

/// Blocks in use and their bytes, per library heap that the operations allocate from.
struct THeapCensus {
    struct TCount {
        size_t blocks = 0;
        size_t bytes = 0;
        bool operator==(const TCount&) const = default;
    };
    TCount heaps[3];
    bool operator==(const THeapCensus&) const = default;

    static THeapCensus Take() {
        THeapCensus census;
        NH_Heap* heaps[3] = {&NH_Heap::Default(), _stringHeap, &cvq::detail::HeapForHeaps()};
        for (int i = 0; i < 3; ++i) {
            heaps[i]->ForEach(
                [](void* block, void* user) {
                    auto* count = static_cast<TCount*>(user);
                    count->blocks++;
                    count->bytes += NH_Heap::GetBlockSize(block);
                },
                &census.heaps[i]);
        }
        return census;
    }
};

inline ::testing::AssertionResult SameHeaps(const THeapCensus& before, const THeapCensus& after) {
    static const char* const kNames[3] = {"DefaultHeap", "StringHeap", "HeapForHeaps"};
    for (int i = 0; i < 3; ++i) {
        if (before.heaps[i] == after.heaps[i]) continue;
        return ::testing::AssertionFailure()
               << kNames[i] << ": " << before.heaps[i].blocks << " blocks of "
               << before.heaps[i].bytes << " bytes before, " << after.heaps[i].blocks
               << " blocks of " << after.heaps[i].bytes << " bytes after";
    }
    return ::testing::AssertionSuccess();
}

/// Memory comes as usual: every path the operations took gives blocks again.
inline bool AllocatesNormally() {
    void* raw = std::malloc(100);
    char* big = new char[200000];
    TString text('x', 3000);
    bool ok = raw && text.GetLength() == 3000;
    std::free(raw);
    delete[] big;
    void* own = NH_Heap::Default().AllocMem(40);
    ok = ok && own;
    NH_Heap::FreeMem(own);
    return ok;
}

/// True when operator new and malloc are the library's heaps; a sanitizer build keeps
/// its runtime's allocator, and only what the library asks of its heaps directly fails.
inline bool HeapsServeTheProcess() {
    char* probe = new char;
    bool interposed = IsDynamicMemory(probe) != 0;
    delete probe;
    return interposed;
}

/// Runs `entry` at every failure point; returns the number of failed runs checked.
inline int32_t DriveOutOfMemory(const TNamedOutOfMemoryCase& entry, int32_t limit = 100000) {
    SCOPED_TRACE(entry.name);
    {
        // Caches filled on first use are filled before the heaps are counted.
        TOutOfMemoryRun warm(0);
        entry.run(warm);
        EXPECT_EQ(warm.Thrown()[0], 0)
            << "the operation fails with memory to spare: " << warm.Thrown();
        if (warm.ArmedRuns() == 0) {
            ADD_FAILURE() << "the case never runs its operation";
        }
    }
    for (int32_t nth = 1; nth <= limit; ++nth) {
        THeapCensus before = THeapCensus::Take();
        TOutOfMemoryRun run(nth);
        entry.run(run);
        THeapCensus after = THeapCensus::Take();
        EXPECT_TRUE(SameHeaps(before, after)) << "failure at allocation " << nth;
        if (!run.Failed()) {
            EXPECT_EQ(run.Thrown()[0], 0) << "allocation " << nth << ": " << run.Thrown();
            return nth - 1;
        }
        if (!run.Accepted()) {
            EXPECT_STREQ(run.Thrown(), "Out of memory") << "failure at allocation " << nth;
        }
        EXPECT_TRUE(AllocatesNormally()) << "after a failure at allocation " << nth;
        if (::testing::Test::HasFailure()) return nth;
    }
    ADD_FAILURE() << "still failing after " << limit << " failure points";
    return limit;
}

}  // namespace cvq::reliability
