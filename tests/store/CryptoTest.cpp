// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestVectors.h"
#include "core/Error.h"
#include "store/Crypto.h"

namespace corvella::crypto {
namespace {

using test::FromHex;
using test::ToHex;

template <std::size_t N>
std::array<unsigned char, N> Array(std::string_view hex) {
  const std::string bytes = FromHex(hex);
  EXPECT_EQ(bytes.size(), N);
  std::array<unsigned char, N> out{};
  std::copy_n(bytes.begin(), std::min(N, bytes.size()), out.begin());
  return out;
}

std::vector<unsigned char> Buffer(std::string_view hex) {
  const std::string bytes = FromHex(hex);
  return {bytes.begin(), bytes.end()};
}

std::string ToHex(const std::vector<unsigned char>& bytes) { return test::ToHex(bytes); }

// FIPS-197 appendix C.
constexpr std::string_view kFipsPlaintext = "00112233445566778899aabbccddeeff";

TEST(AesBlock, Fips197Aes128) {
  Aes aes = Aes::Block128(Array<16>("000102030405060708090a0b0c0d0e0f"));
  EXPECT_EQ(ToHex(aes.EncryptBlock(Array<16>(kFipsPlaintext))), "69c4e0d86a7b0430d8cdb78070b4c55a");
}

TEST(AesBlock, Fips197Aes256) {
  Aes aes =
      Aes::Block256(Array<32>("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"));
  EXPECT_EQ(ToHex(aes.EncryptBlock(Array<16>(kFipsPlaintext))), "8ea2b7ca516745bfeafc49904b496089");
}

TEST(AesBlock, Aes256BlocksAreEncryptedIndependently) {
  Aes aes =
      Aes::Block256(Array<32>("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"));
  std::vector<unsigned char> twice =
      Buffer(std::string(kFipsPlaintext) + std::string(kFipsPlaintext));
  aes.Apply(twice);
  EXPECT_EQ(ToHex(twice), "8ea2b7ca516745bfeafc49904b4960898ea2b7ca516745bfeafc49904b496089");
  // A later call does not depend on the earlier one either.
  EXPECT_EQ(ToHex(aes.EncryptBlock(Array<16>(kFipsPlaintext))), "8ea2b7ca516745bfeafc49904b496089");
}

// SP 800-38A F.2.5 / F.2.6.
constexpr std::string_view kCbcKey =
    "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
constexpr std::string_view kSpIv = "000102030405060708090a0b0c0d0e0f";
constexpr std::string_view kCbcPlaintext =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
constexpr std::string_view kCbcCiphertext =
    "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
    "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b";

struct ModeCase {
  Direction direction;
  std::string_view input;
  std::string_view output;
};

class AesCbc256 : public testing::TestWithParam<ModeCase> {};

TEST_P(AesCbc256, Sp80038aInOneCall) {
  Aes aes = Aes::Cbc256(Array<32>(kCbcKey), Array<16>(kSpIv), GetParam().direction);
  std::vector<unsigned char> data = Buffer(GetParam().input);
  aes.Apply(data);
  EXPECT_EQ(ToHex(data), GetParam().output);
}

TEST_P(AesCbc256, ChainingCarriesAcrossCalls) {
  Aes aes = Aes::Cbc256(Array<32>(kCbcKey), Array<16>(kSpIv), GetParam().direction);
  std::vector<unsigned char> data = Buffer(GetParam().input);
  const auto all = std::span(data);
  aes.Apply(all.first(16));
  aes.Apply(all.subspan(16, 32));
  aes.Apply(all.subspan(48));
  EXPECT_EQ(ToHex(data), GetParam().output);
}

TEST_P(AesCbc256, OutOfPlaceLeavesTheInputAlone) {
  Aes aes = Aes::Cbc256(Array<32>(kCbcKey), Array<16>(kSpIv), GetParam().direction);
  const std::vector<unsigned char> in = Buffer(GetParam().input);
  std::vector<unsigned char> out(in.size());
  aes.Apply(std::span(in).first(32), std::span(out).first(32));
  aes.Apply(std::span(in).subspan(32), std::span(out).subspan(32));
  EXPECT_EQ(ToHex(out), GetParam().output);
  EXPECT_EQ(ToHex(in), GetParam().input);
}

INSTANTIATE_TEST_SUITE_P(
    Sp80038a, AesCbc256,
    testing::Values(ModeCase{Direction::Encrypt, kCbcPlaintext, kCbcCiphertext},
                    ModeCase{Direction::Decrypt, kCbcCiphertext, kCbcPlaintext}));

// SP 800-38A F.3.7 / F.3.8.
constexpr std::string_view kCfbKey = "2b7e151628aed2a6abf7158809cf4f3c";
constexpr std::string_view kCfbPlaintext = "6bc1bee22e409f96e93d7e117393172aae2d";
constexpr std::string_view kCfbCiphertext = "3b79424c9c0dd436bace9e0ed4586a4f32b9";

class AesCfb8 : public testing::TestWithParam<ModeCase> {};

TEST_P(AesCfb8, Sp80038a) {
  Aes aes = Aes::Cfb8(Array<16>(kCfbKey), GetParam().direction);
  aes.Restart(Array<16>(kSpIv));
  std::vector<unsigned char> data = Buffer(GetParam().input);
  aes.Apply(data);
  EXPECT_EQ(ToHex(data), GetParam().output);
}

TEST_P(AesCfb8, EveryRestartStartsAfreshFromItsIv) {
  // One context serves message after message: the register must not carry over.
  Aes aes = Aes::Cfb8(Array<16>(kCfbKey), GetParam().direction);
  std::vector<unsigned char> other = Buffer(GetParam().input);
  aes.Restart(Array<16>("00000000000000000000000000000000"));
  aes.Apply(other);
  for (int call = 0; call < 2; ++call) {
    std::vector<unsigned char> data = Buffer(GetParam().input);
    aes.Restart(Array<16>(kSpIv));
    aes.Apply(data);
    EXPECT_EQ(ToHex(data), GetParam().output) << "call " << call;
  }
  // A prefix gives the prefix of the output: the mode needs no whole blocks.
  std::vector<unsigned char> prefix = Buffer(GetParam().input.substr(0, 6));
  aes.Restart(Array<16>(kSpIv));
  aes.Apply(prefix);
  EXPECT_EQ(ToHex(prefix), GetParam().output.substr(0, 6));
}

INSTANTIATE_TEST_SUITE_P(
    Sp80038a, AesCfb8,
    testing::Values(ModeCase{Direction::Encrypt, kCfbPlaintext, kCfbCiphertext},
                    ModeCase{Direction::Decrypt, kCfbCiphertext, kCfbPlaintext}));

struct DigestCase {
  std::string_view message;
  std::string_view digest;
};

class Md5Test : public testing::TestWithParam<DigestCase> {};

TEST_P(Md5Test, Rfc1321) { EXPECT_EQ(ToHex(Md5(AsBytes(GetParam().message))), GetParam().digest); }

INSTANTIATE_TEST_SUITE_P(
    Rfc1321, Md5Test,
    testing::Values(DigestCase{"", "d41d8cd98f00b204e9800998ecf8427e"},
                    DigestCase{"a", "0cc175b9c0f1b6a831c399e269772661"},
                    DigestCase{"abc", "900150983cd24fb0d6963f7d28e17f72"},
                    DigestCase{"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
                    DigestCase{"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
                    DigestCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                               "d174ab98d277d9f5a5611c2c9f419d9f"},
                    DigestCase{
                        "1234567890123456789012345678901234567890123456789012345678901234567890"
                        "1234567890",
                        "57edf4a22be3c955ac49da2e2107b67a"}));

class Sha256Test : public testing::TestWithParam<DigestCase> {};

TEST_P(Sha256Test, Fips180) {
  EXPECT_EQ(ToHex(Sha256(AsBytes(GetParam().message))), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(
    Fips180, Sha256Test,
    testing::Values(
        DigestCase{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        DigestCase{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        DigestCase{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                   "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"}));

struct HmacCase {
  std::string keyHex;
  std::string_view message;
  std::string_view mac;
};

class HmacSha256Test : public testing::TestWithParam<HmacCase> {};

TEST_P(HmacSha256Test, Rfc4231) {
  const std::string key = FromHex(GetParam().keyHex);
  EXPECT_EQ(ToHex(HmacSha256(AsBytes(key), AsBytes(GetParam().message))), GetParam().mac);
}

INSTANTIATE_TEST_SUITE_P(
    Rfc4231, HmacSha256Test,
    testing::Values(HmacCase{"0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b", "Hi There",
                             "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
                    HmacCase{"4a656665", "what do ya want for nothing?",
                             "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
                    // A key longer than the block is hashed first.
                    HmacCase{std::string(262, 'a'),
                             "Test Using Larger Than Block-Size Key - Hash Key First",
                             "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"}));

struct Base64Case {
  std::string_view bytes;
  std::string_view text;
};

class Base64Test : public testing::TestWithParam<Base64Case> {};

TEST_P(Base64Test, Encodes) { EXPECT_EQ(Base64Encode(AsBytes(GetParam().bytes)), GetParam().text); }

TEST_P(Base64Test, Decodes) {
  const SecureBytes bytes = Base64Decode(GetParam().text);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Rfc4648, Base64Test,
                         testing::Values(Base64Case{"", ""}, Base64Case{"f", "Zg=="},
                                         Base64Case{"fo", "Zm8="}, Base64Case{"foo", "Zm9v"},
                                         Base64Case{"foob", "Zm9vYg=="},
                                         Base64Case{"fooba", "Zm9vYmE="},
                                         Base64Case{"foobar", "Zm9vYmFy"},
                                         // The last two letters of the alphabet and a zero byte.
                                         Base64Case{std::string_view("\xfb\xff\x00", 3), "+/8A"},
                                         Base64Case{std::string_view("\x00", 1), "AA=="}));

TEST(Base64Decode, IgnoresCharactersAfterTheLastWholeGroup) {
  const struct {
    std::string_view text;
    std::string_view bytes;
  } cases[] = {{"Z", ""},
               {"Zm9", ""},
               {"Zm9vY", "foo"},
               {"Zm9vYmF", "foo"},
               {"Zm9vYg==Zm", "foob"},
               {"Zm9v!", "foo"},
               {"Zm9v\n", "foo"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const SecureBytes bytes = Base64Decode(c.text);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes);
  }
}

TEST(Base64Decode, RejectsACharacterOutsideTheAlphabet) {
  const std::string_view texts[] = {
      "Zm9!",                        // punctuation
      "Zm 9",                        // a space
      "Zm-v",                        // URL-safe alphabet
      "Zm_v",                        // URL-safe alphabet
      "Zm9vY\xc3\xa9=",              // a non-ASCII letter
      std::string_view("Zm\0v", 4),  // a zero byte
      "Zm9vYmFy\nZm9v",              // a line break inside the text
  };
  for (const std::string_view text : texts) {
    SCOPED_TRACE(test::ToHex(text));
    EXPECT_THROW(Base64Decode(text), Error);
  }
}

}  // namespace
}  // namespace corvella::crypto
