// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <span>
#include <stdexcept>
#include <vector>

#include "store/Random.h"

namespace corvella {

// Hands out scripted 32-bit values as 4 little-endian bytes each; drawing past the script fails.
class ScriptedSource final : public RandomSource {
 public:
  explicit ScriptedSource(const std::vector<std::uint32_t>& values)
      : values_(values.begin(), values.end()) {}

  void Fill(std::span<unsigned char> bytes) override {
    EXPECT_EQ(bytes.size(), 4u);
    if (values_.empty() || bytes.size() != 4) throw std::logic_error("drew more than scripted");
    const std::uint32_t value = values_.front();
    values_.pop_front();
    for (std::size_t i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  }
  std::size_t Left() const { return values_.size(); }

 private:
  std::deque<std::uint32_t> values_;
};

}  // namespace corvella
