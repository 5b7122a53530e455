// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/Random.h"
#include "tests/store/ScriptedSource.h"

namespace corvella {
namespace {

TEST(RandomInt, FollowsTheLinearCongruentialSequence) {
  // state = state * 134775813 + 1 (mod 2^32); result = high 32 bits of state * range.
  const struct {
    std::uint32_t range;
    std::uint32_t state;
    std::uint32_t result;
  } steps[] = {{256, 0xcb5b9059, 203},  {256, 0x79ffb5be, 121},
               {1000, 0xd9a484b7, 850}, {0xFFFFFFFF, 0xf25cf394, 4066177939},
               {1, 0xe60911e5, 0},      {7, 0xe28f6d7a, 6},
               {256, 0x9d100b63, 157}};
  SetRandomState(0x12345678);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.state);
    EXPECT_EQ(RandomInt(step.range), step.result);
    EXPECT_EQ(RandomState(), step.state);
  }
}

TEST(RandomInt, StateWrapsModulo2To32) {
  SetRandomState(0xFFFFFFFF);
  RandomInt(2);
  // 0xFFFFFFFF * 134775813 + 1 = -134775813 + 1 (mod 2^32).
  EXPECT_EQ(RandomState(), 0xF7F77BFCu);
  SetRandomState(0);
  RandomInt(2);
  EXPECT_EQ(RandomState(), 1u);
}

TEST(RandomInt, Range256IsTheTopByteOfTheState) {
  SetRandomState(0xDEADBEEF);
  for (int i = 0; i < 100; ++i) {
    const std::uint32_t value = RandomInt(256);
    ASSERT_EQ(value, RandomState() >> 24);
  }
}

TEST(RandomInt, RangeZeroGivesZero) {
  for (const std::uint32_t state : {0u, 0x80000000u, 0xFFFFFFFFu}) {
    SetRandomState(state);
    EXPECT_EQ(RandomInt(0), 0u);
  }
}

template <class String>
void ExpectWipeDrawsOncePerByte(std::size_t length) {
  String text(length, 'p');
  SetRandomState(0x0BADF00D);
  for (std::size_t i = 0; i < length; ++i) RandomInt(256);
  const std::uint32_t expected = RandomState();

  SetRandomState(0x0BADF00D);
  WipeString(text);
  EXPECT_EQ(RandomState(), expected);
  EXPECT_TRUE(text.empty());
}

TEST(WipeString, AdvancesTheStateOncePerByteAndEmpties) {
  for (const std::size_t length : {0u, 1u, 15u, 16u, 100u}) {
    SCOPED_TRACE(length);
    ExpectWipeDrawsOncePerByte<std::string>(length);
    ExpectWipeDrawsOncePerByte<SecureString>(length);
  }
}

struct UniformCase {
  std::uint32_t range;
  std::vector<std::uint32_t> draws;  // the last one is accepted
  std::uint32_t result;
};

class UniformInt : public testing::TestWithParam<UniformCase> {};

TEST_P(UniformInt, RejectsTheIncompleteTopAndMapsByModulo) {
  ScriptedSource source(GetParam().draws);
  EXPECT_EQ(source.UniformInt(GetParam().range), GetParam().result);
  EXPECT_EQ(source.Left(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Scripted, UniformInt,
    testing::Values(
        // 2^32 = 60492497 * 71 + 9: values from 0xFFFFFFF7 up are redrawn.
        UniformCase{71, {0xFFFFFFFF, 0xFFFFFFF7, 0xFFFFFFF6}, 70},
        UniformCase{71, {0xFFFFFFF8, 5}, 5}, UniformCase{71, {0}, 0},
        UniformCase{71, {0xFFFFFFF0}, 64},
        // Byte order: 1 is the bytes 01 00 00 00.
        UniformCase{1000, {1}, 1}, UniformCase{1000, {0xFFFFFED8, 0xFFFFFED7}, 999},
        UniformCase{3, {0xFFFFFFFF, 0xFFFFFFFE}, 2},
        // Ranges that divide 2^32 accept every value.
        UniformCase{1, {0xFFFFFFFF}, 0}, UniformCase{0x80000000, {0xFFFFFFFF}, 0x7FFFFFFF},
        UniformCase{256, {0xFFFFFFFF}, 255},
        // Just above half: almost half of all values are redrawn.
        UniformCase{0x80000001, {0x80000001, 0xFFFFFFFF, 0x80000000}, 0x80000000}));

TEST(UniformInt, SystemSourceStaysInRangeAndReachesEveryValue) {
  std::array<int, 6> seen{};
  for (int i = 0; i < 600; ++i) {
    const std::uint32_t value = RandomSource::System().UniformInt(6);
    ASSERT_LT(value, 6u);
    ++seen[value];
  }
  for (const int count : seen) EXPECT_GT(count, 0);
  EXPECT_LT(RandomSource::System().UniformInt(0xFFFFFFFF), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace corvella
