// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Random.h"

#include <chrono>
#include <limits>

#include "Crypto.h"
#include "core/Error.h"

namespace corvella {
namespace {

constexpr std::uint32_t kMultiplier = 0x08088405;  // 134775813
std::uint32_t state = 0;

template <class String>
void Wipe(String& text) {
  for (char& c : text) c = static_cast<char>(RandomInt(256));
  Cleanse(text.data(), text.capacity());
  text.clear();
  text.shrink_to_fit();
}

class SystemRandom final : public RandomSource {
 public:
  void Fill(std::span<unsigned char> bytes) override { crypto::RandomBytes(bytes); }
};

}  // namespace

void Reseed() {
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  state = static_cast<std::uint32_t>(ticks);
}

std::uint32_t RandomInt(std::uint32_t range) {
  state = state * kMultiplier + 1;
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state) * range) >> 32);
}

std::uint32_t RandomState() { return state; }

void SetRandomState(std::uint32_t newState) { state = newState; }

void WipeString(std::string& text) { Wipe(text); }

void WipeString(SecureString& text) { Wipe(text); }

std::uint32_t RandomSource::UniformInt(std::uint32_t range) {
  CORVELLA_ASSERT(range != 0);
  // Largest multiple of range that fits: values at or above it are redrawn.
  const std::uint64_t span = std::uint64_t{1} << 32;
  const std::uint64_t limit = span - span % range;
  for (;;) {
    unsigned char bytes[4];
    Fill(bytes);
    const std::uint32_t value = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    if (value < limit) return static_cast<std::uint32_t>(value % range);
  }
}

RandomSource& RandomSource::System() {
  static SystemRandom source;
  return source;
}

}  // namespace corvella
