// commonvcqx/frame/ResMess.h
//
// TResMess: a message named by its id in the static string table, for throwers that
// take their text from it.
//
//   TExceptionThrower(0).SetAndThrow(TResMess(18008), 3);   // "Invalid directory name."
#pragma once

#include <cstdint>

class TResMess {
public:
    explicit constexpr TResMess(int32_t id) noexcept : m_id(id) {}
    constexpr int32_t GetId() const noexcept { return m_id; }
    /// The text: GetStaticString of the id.
    const char* GetText() const;

private:
    int32_t m_id;
};
