// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <string>

#include "TestVectors.h"
#include "store/TextCodec.h"

namespace corvella {
namespace {

using test::FromHex;
using test::ToHex;

struct Utf8Case {
  std::string_view hex;
  bool valid;
};

class IsValidUtf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(IsValidUtf8Test, Classifies) {
  EXPECT_EQ(IsValidUtf8(FromHex(GetParam().hex)), GetParam().valid) << GetParam().hex;
}

const Utf8Case kUtf8Cases[] = {
    {"-", true},
    {"616263", true},
    {"610062", true},         // a zero byte is a character
    {"c280", true},           // U+0080
    {"dfbf", true},           // U+07FF
    {"e0a080", true},         // U+0800
    {"e282ac", true},         // euro sign
    {"ed9fbf", true},         // U+D7FF, below the surrogates
    {"ee8080", true},         // U+E000, above them
    {"efbfbf", true},         // U+FFFF
    {"f0908080", true},       // U+10000
    {"f09f9491", true},       // key emoji
    {"f48fbfbf", true},       // U+10FFFF
    {"c080", false},          // overlong NUL
    {"c1bf", false},          // overlong 0x7F
    {"e080af", false},        // overlong '/'
    {"e09fbf", false},        // overlong U+07FF
    {"f08fbfbf", false},      // overlong U+FFFF
    {"eda080", false},        // U+D800
    {"edbfbf", false},        // U+DFFF
    {"eda0bdedb291", false},  // surrogate pair written out
    {"f4908080", false},      // U+110000
    {"f7bfbfbf", false},      // U+1FFFFF
    {"f888808080", false},    // five-byte form
    {"c3", false},            // truncated at the end
    {"616263e282", false},    // truncated at the end
    {"f09f94", false},        // truncated at the end
    {"e28261", false},        // truncated before ASCII
    {"80", false},            // lone continuation byte
    {"c3a9a9", false},        // extra continuation byte
    {"c328", false},          // bad continuation byte
    {"e9", false},            // Windows-1252 e acute
    {"fe", false},
    {"ff", false},
};

INSTANTIATE_TEST_SUITE_P(Sequences, IsValidUtf8Test, testing::ValuesIn(kUtf8Cases));

TEST(IsValidUtf8Test, SequenceCutShortByTheViewIsTruncated) {
  // The bytes after the view would complete the sequence: only the view may be read.
  const std::string text = "\xf0\x9f\x94\x91";
  for (std::size_t length = 1; length < text.size(); ++length) {
    SCOPED_TRACE(length);
    EXPECT_FALSE(IsValidUtf8(std::string_view(text).substr(0, length)));
    EXPECT_FALSE(Utf8ToWindows1252(std::string_view(text).substr(0, length)).has_value());
  }
  EXPECT_EQ(ToHex(DisplayText(std::string_view("\xc3\xa9", 1))), "c383");
}

struct DisplayCase {
  std::string_view bytesHex;
  std::string_view textHex;
};

class DisplayTextTest : public testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayTextTest, ShowsTheText) {
  const std::string bytes = FromHex(GetParam().bytesHex);
  EXPECT_EQ(ToHex(DisplayText(bytes)), GetParam().textHex);
  // The secret's versions read it alike.
  EXPECT_EQ(ToHex(SecretDisplayText(bytes).View()), GetParam().textHex);
  const SecureUtf16 utf16 = SecretDisplayUtf16(bytes);
  EXPECT_EQ(ToHex(Utf16ToUtf8({utf16.data(), utf16.size()}).View()), GetParam().textHex);
}

const DisplayCase kDisplayCases[] = {
    // Valid UTF-8 is unchanged.
    {"-", ""},
    {"436166c3a9", "436166c3a9"},
    {"e69db1e4baac", "e69db1e4baac"},
    {"f09f9491", "f09f9491"},
    {"610062", "610062"},
    // Everything else is Windows-1252.
    {"80", "e282ac"},                  // euro sign
    {"e9", "c3a9"},                    // e acute
    {"81", "c281"},                    // undefined: U+0081
    {"8d8f909d", "c28dc28fc290c29d"},  // the other undefined bytes
    {"9f", "c5b8"},                    // Y diaeresis
    {"99", "e284a2"},                  // trade mark sign
    {"a0", "c2a0"},
    {"ff", "c3bf"},
    {"63616600e9", "63616600c3a9"},  // zero byte kept
    // One invalid byte makes the whole text Windows-1252, valid sequences included.
    {"c3a9e9", "c383c2a9c3a9"},
};

INSTANTIATE_TEST_SUITE_P(Bytes, DisplayTextTest, testing::ValuesIn(kDisplayCases));

TEST(DisplayTextTest, EveryByteRoundTripsThroughWindows1252) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string bytes(1, static_cast<char>(byte));
    const auto back = Utf8ToWindows1252(DisplayText(bytes));
    ASSERT_TRUE(back.has_value()) << byte;
    EXPECT_EQ(ToHex(back->View()), ToHex(bytes));
  }
}

TEST(Utf16ToUtf8Test, EncodesPairsAndReplacesLoneSurrogates) {
  const struct {
    std::u16string_view utf16;
    std::string_view utf8Hex;
  } cases[] = {
      {u"", "-"},
      {u"a\u00e9\u20ac", "61c3a9e282ac"},
      {u"\U0001F511", "f09f9491"},  // a pair
      {u"\xD83D", "efbfbd"},        // high surrogate at the end
      {u"\xDD11"
       u"a",
       "efbfbd61"},  // low surrogate alone
      {u"\xD83D"
       u"a"
       u"\xDD11",
       "efbfbd61efbfbd"},  // a pair split by a character
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8Hex);
    EXPECT_EQ(ToHex(Utf16ToUtf8(c.utf16).View()), ToHex(FromHex(c.utf8Hex)));
  }
}

struct EncodeCase {
  std::string_view utf8Hex;
  std::optional<std::string_view> windowsHex;
};

class Utf8ToWindows1252Test : public testing::TestWithParam<EncodeCase> {};

TEST_P(Utf8ToWindows1252Test, Converts) {
  const auto bytes = Utf8ToWindows1252(FromHex(GetParam().utf8Hex));
  ASSERT_EQ(bytes.has_value(), GetParam().windowsHex.has_value());
  if (bytes) {
    EXPECT_EQ(ToHex(bytes->View()), ToHex(FromHex(*GetParam().windowsHex)));
  }
}

const EncodeCase kEncodeCases[] = {
    {"70c3a4737377c3b67264e282ac", "70e4737377f6726480"},  // "pässwörd€"
    {"-", "-"},
    {"610062", "610062"},
    {"c2a0c3bf", "a0ff"},            // U+00A0 and U+00FF
    {"c5b8e284a2", "9f99"},          // mapped into 0x80..0x9F
    {"c281", "81"},                  // an undefined byte's control character
    {"c280", std::nullopt},          // U+0080 has no byte: 0x80 is the euro sign
    {"e69db1", std::nullopt},        // CJK
    {"70c3a4e69db1", std::nullopt},  // one such character is enough
    {"f09f9491", std::nullopt},      // emoji
    {"c4b1", std::nullopt},          // dotless i, U+0131
    {"e9", std::nullopt},            // not UTF-8
};

INSTANTIATE_TEST_SUITE_P(Texts, Utf8ToWindows1252Test, testing::ValuesIn(kEncodeCases));

}  // namespace
}  // namespace corvella
