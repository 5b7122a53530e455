#pragma once

#include <string_view>

namespace corvella {

constexpr std::size_t kSessionKeySize = 32;

// Makes the session key: 32 bytes from the operating system's CSPRNG. Runs once at start-up,
// before any entry exists; later calls keep the key.
void MakeSessionKey();

// The key under which every password held in memory is encrypted.
std::string_view SessionKey();

}  // namespace corvella
