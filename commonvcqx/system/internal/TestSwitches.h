// commonvcqx/system/internal/TestSwitches.h
//
// The test switches behind CanTest: the values at the root of a configuration named
// "Test" read from a file. Lookups never move the configuration's cursor and are
// serialized, so any thread may ask at any time.
#pragma once

#include <commonvcqx/config/Config.h>
#include <commonvcqx/threads/CriticalSection.h>

#include <memory>

namespace cvq::detail {

class TTestSwitches {
public:
    /// The switches of `file`, or null when it does not exist or cannot be loaded.
    static std::unique_ptr<TTestSwitches> Load(const TFileName& file);

    /// Whether the 32-bit value `name` at the root is non-zero (missing: 0).
    bool IsOn(const char* name) const;

private:
    TTestSwitches() : m_config("Test", TConfig::kNoMode) {}

    mutable TCriticalSection m_lock;
    TConfig m_config CVQ_GUARDED_BY(m_lock);
};

}  // namespace cvq::detail
