// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "SecureMemory.h"

namespace corvella {

// The program's clock-seeded generator. It only scrambles the bytes that WipeString writes
// before the final wipe; keys and generated passwords come from the CSPRNG (RandomSource).
void Reseed();
// Next value in 0 .. range - 1 (0 for range 0).
std::uint32_t RandomInt(std::uint32_t range);
std::uint32_t RandomState();
void SetRandomState(std::uint32_t state);

// Overwrites the string's bytes with random bytes, wipes its storage and releases it.
void WipeString(std::string& text);
void WipeString(SecureString& text);

// Source of uniformly distributed random bytes. The system one reads the operating system's
// CSPRNG; tests substitute scripted bytes.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void Fill(std::span<unsigned char> bytes) = 0;

  // A uniform value in 0 .. range - 1, drawn by rejection so that no value is favoured.
  std::uint32_t UniformInt(std::uint32_t range);

  static RandomSource& System();
};

}  // namespace corvella
