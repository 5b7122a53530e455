// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/PasswordGenerator.h"
#include "tests/store/ScriptedSource.h"

namespace corvella {
namespace {

// Written out independently of the generator, in index order.
constexpr std::string_view kAlphabet =
    "abcdefghiklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!\"#%&/()=@";

std::string Generate(RandomSource& source) { return std::string(GeneratePassword(source).View()); }

struct ScriptCase {
  const char* name;
  std::vector<std::uint32_t> draws;  // length first, then one per character, rejections included
  std::string password;
};

void PrintTo(const ScriptCase& row, std::ostream* out) { *out << row.name; }

class ScriptedGeneration : public testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptedGeneration, DrawsTheLengthThenEachCharacterInTurn) {
  ScriptedSource source(GetParam().draws);
  EXPECT_EQ(Generate(source), GetParam().password);
  EXPECT_EQ(source.Left(), 0u);
}

// 2^32 = 858993459 * 5 + 1, so only 0xFFFFFFFF is redrawn for the length;
// 2^32 = 60492497 * 71 + 9, so 0xFFFFFFF7 and above are redrawn for a character.
INSTANTIATE_TEST_SUITE_P(
    Scripted, ScriptedGeneration,
    testing::Values(
        ScriptCase{"Shortest", {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, "abcdefghiklm"},
        ScriptCase{"LengthByModulo",
                   {5 * 7 + 1, 24, 25, 34, 50, 51, 60, 61, 62, 63, 64, 65, 66, 67},
                   "zAJZ09!\"#%&/("},
        ScriptCase{"LengthRejectsTheTopValue",
                   {0xFFFFFFFF, 0xFFFFFFFE, 68, 69, 70, 71, 71 + 70, 0xFFFFFFF0, 0, 0, 0, 0, 0, 0,
                    0, 0, 0, 0},
                   ")=@a@%aaaaaaaaaa"},
        ScriptCase{"CharacterRejectsTheIncompleteTop",
                   {3, 0xFFFFFFFF, 0xFFFFFFF7, 0xFFFFFFF6, 0xFFFFFFF8, 9, 1, 2, 3, 4, 5, 6, 7, 8,
                    10, 11, 12, 13, 14},
                   "@kbcdefghilmnop"}),
    [](const testing::TestParamInfo<ScriptCase>& row) { return std::string(row.param.name); });

TEST(GeneratePassword, IndexesTheWholeAlphabetInOrder) {
  // 71 = 15 + 4 * 14: five passwords whose characters are indexes 0 to 70.
  std::vector<std::uint32_t> draws;
  std::uint32_t index = 0;
  for (const std::uint32_t lengthDraw : {3u, 2u, 2u, 2u, 2u}) {
    draws.push_back(lengthDraw);
    for (std::uint32_t i = 0; i < 12 + lengthDraw; ++i) draws.push_back(index++);
  }
  ScriptedSource source(draws);
  std::string all;
  for (int i = 0; i < 5; ++i) all += Generate(source);
  EXPECT_EQ(all, kAlphabet);
  EXPECT_EQ(source.Left(), 0u);
}

TEST(GeneratePassword, SystemSourceGivesEveryLengthAndCharacterAndNothingElse) {
  std::set<std::size_t> lengths;
  std::set<char> characters;
  for (int i = 0; i < 2000; ++i) {
    const SecureString password = GeneratePassword();
    ASSERT_GE(password.size(), 12u);
    ASSERT_LE(password.size(), 16u);
    lengths.insert(password.size());
    for (const char c : password) {
      // The character's code only: a password never goes into test output.
      ASSERT_NE(kAlphabet.find(c), std::string_view::npos) << "code " << int{c};
      characters.insert(c);
    }
  }
  EXPECT_EQ(lengths, (std::set<std::size_t>{12, 13, 14, 15, 16}));
  // About 28000 characters: each of the 71 comes some 390 times.
  EXPECT_EQ(characters.size(), kAlphabet.size());
  EXPECT_EQ(characters.count('j'), 0u);
}

}  // namespace
}  // namespace corvella
