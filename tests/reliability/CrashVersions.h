// What version N of the crash test's files holds: a text whose length and letters both
// follow from N, so that a torn or mixed file cannot pass for a whole one.
#pragma once

#include <cstdint>
#include <string>

namespace cvq::reliability {

inline std::string VersionBody(uint32_t version) {
    std::string body(200 + (version * 7919u) % 30000u, ' ');
    for (size_t i = 0; i < body.size(); ++i) body[i] = char('a' + (version + i * 31) % 26);
    return body;
}

/// The registry value of version N: its number and a body short enough to read back.
inline std::string RegistryText(uint32_t version) {
    return std::to_string(version) + ":" + VersionBody(version).substr(0, 900);
}

}  // namespace cvq::reliability
