#pragma once

#include <string_view>

namespace corvella {

constexpr std::size_t kSessionKeySize = 32;

// Makes the session key: 32 bytes from the operating system's CSPRNG. Later calls keep the key.
void MakeSessionKey();

// The key under which every password held in memory is encrypted; made on first use when
// MakeSessionKey has not run yet.
std::string_view SessionKey();

}  // namespace corvella
