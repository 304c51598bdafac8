// commonvcqx/platform/RegistryKeys.h
//
// The predefined root keys of the registry helpers, with the values Windows gives them
// on 64-bit (the 32-bit constant sign-extended).
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

namespace cvq::platform {

inline HKEY RootKey(uint32_t code) noexcept {
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(code)));
}

}  // namespace cvq::platform

// Windows spells these as macros; host code uses them as such.
#define HKEY_CLASSES_ROOT (::cvq::platform::RootKey(0x80000000u))
#define HKEY_CURRENT_USER (::cvq::platform::RootKey(0x80000001u))
#define HKEY_LOCAL_MACHINE (::cvq::platform::RootKey(0x80000002u))
#define HKEY_USERS (::cvq::platform::RootKey(0x80000003u))
#define HKEY_PERFORMANCE_DATA (::cvq::platform::RootKey(0x80000004u))
#define HKEY_CURRENT_CONFIG (::cvq::platform::RootKey(0x80000005u))
#define HKEY_DYN_DATA (::cvq::platform::RootKey(0x80000006u))
