// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "TestVectors.h"
#include "core/Error.h"
#include "store/CipherFraming.h"

namespace corvella {
namespace {

using test::Bytes;
using test::FromHex;
using test::ToHex;

// Lends fresh room for every piece, at most kCipherPieceSize bytes, and keeps the pieces. The room
// starts out as 0xAA bytes, so that a piece not filled completely shows.
class MemorySink final : public platform::ByteSink {
 public:
  std::span<unsigned char> Next(std::size_t count) override {
    EXPECT_LE(count, kCipherPieceSize);
    pieces.emplace_back(count, 0xAA);
    return pieces.back();
  }
  std::string All() const {
    std::string all;
    for (const auto& piece : pieces) all.append(piece.begin(), piece.end());
    return all;
  }
  std::deque<std::vector<unsigned char>> pieces;
};

// Where a source serves the bytes read: in the reader's room, as a file does, so that they are
// decrypted in place, or from memory of its own.
enum class Serves { IntoTheRoom, FromItsMemory };

// Serves bytes held in memory. A declared size beyond the bytes makes the reads run short.
class MemorySource final : public platform::ByteSource {
 public:
  explicit MemorySource(std::string bytes, Serves serves = Serves::IntoTheRoom)
      : bytes_(std::move(bytes)), size_(bytes_.size()), serves_(serves) {}
  MemorySource(std::string bytes, std::uint64_t declaredSize)
      : bytes_(std::move(bytes)), size_(declaredSize), serves_(Serves::IntoTheRoom) {}

  std::uint64_t Size() const override { return size_; }
  std::span<const unsigned char> Read(std::span<unsigned char> room) override {
    if (room.size() > bytes_.size() - position_) throw Error("Cannot read file");
    const auto bytes =
        std::span(reinterpret_cast<const unsigned char*>(bytes_.data()) + position_, room.size());
    position_ += room.size();
    if (serves_ == Serves::FromItsMemory) return bytes;
    std::copy(bytes.begin(), bytes.end(), room.begin());
    return room;
  }

 private:
  std::string bytes_;
  std::uint64_t size_;
  Serves serves_;
  std::size_t position_ = 0;
};

std::string Encrypt(std::string_view plaintext, std::string_view password) {
  MemorySink sink;
  EncryptStreamToFile(Bytes(plaintext), sink, FileKey::FromMasterPassword(password));
  return sink.All();
}

std::string Decrypt(const std::string& ciphertext, std::string_view password,
                    Serves serves = Serves::IntoTheRoom) {
  MemorySource source(ciphertext, serves);
  SecureBytes plaintext;
  DecryptFileToStream(source, plaintext, FileKey::FromMasterPassword(password));
  return {plaintext.begin(), plaintext.end()};
}

struct FileVector {
  std::string password;
  std::string plaintext;
  std::string ciphertext;
};

std::vector<FileVector> FileVectors() {
  std::vector<FileVector> vectors;
  for (const auto& line : test::ReadVectorLines("file_cipher.txt", 3)) {
    vectors.push_back({FromHex(line[0]), FromHex(line[1]), FromHex(line[2])});
  }
  return vectors;
}

TEST(FileCipher, EncryptsLikeTheReference) {
  for (const FileVector& v : FileVectors()) {
    SCOPED_TRACE("length " + std::to_string(v.plaintext.size()) + ", password " +
                 ToHex(v.password));
    EXPECT_EQ(ToHex(Encrypt(v.plaintext, v.password)), ToHex(v.ciphertext));
  }
}

TEST(FileCipher, DecryptsLikeTheReference) {
  for (const FileVector& v : FileVectors()) {
    SCOPED_TRACE("length " + std::to_string(v.plaintext.size()) + ", password " +
                 ToHex(v.password));
    EXPECT_EQ(ToHex(Decrypt(v.ciphertext, v.password)), ToHex(v.plaintext));
  }
}

class FileCipherLength : public testing::TestWithParam<std::size_t> {};

// The sink checks the size of every piece. Streams longer than a piece carry the register from
// one piece to the next, also where each piece is decrypted in place.
TEST_P(FileCipherLength, KeepsTheLength) {
  std::string plaintext(GetParam(), '\0');
  for (std::size_t i = 0; i < plaintext.size(); ++i) plaintext[i] = static_cast<char>(i * 7 + 3);
  const std::string ciphertext = Encrypt(plaintext, "secret");
  EXPECT_EQ(ciphertext.size(), plaintext.size());
  EXPECT_EQ(Decrypt(ciphertext, "secret", Serves::IntoTheRoom), plaintext);
  EXPECT_EQ(Decrypt(ciphertext, "secret", Serves::FromItsMemory), plaintext);
}

INSTANTIATE_TEST_SUITE_P(EdgeLengths, FileCipherLength,
                         testing::Values(0, 3, 15, 16, 17, 20, 8192, 8193, kCipherPieceSize + 17,
                                         3 * kCipherPieceSize));

TEST(FileCipher, DecryptionAppendsToTheDestination) {
  for (const std::size_t length : {20u, 8193u}) {
    SCOPED_TRACE(length);
    const std::string plaintext(length, 'x');
    MemorySource source(Encrypt(plaintext, "secret"));
    SecureBytes destination = {'k', 'e', 'e', 'p'};
    DecryptFileToStream(source, destination, FileKey::FromMasterPassword("secret"));
    EXPECT_EQ(std::string(destination.begin(), destination.end()), "keep" + plaintext);
  }
}

TEST(FileCipher, WrongPasswordGivesOtherBytesWithoutError) {
  const std::string plaintext = "QVZ and some more bytes of a stream";
  const std::string ciphertext = Encrypt(plaintext, "secret");
  std::string decrypted;
  ASSERT_NO_THROW(decrypted = Decrypt(ciphertext, "Secret"));
  EXPECT_EQ(decrypted.size(), plaintext.size());
  EXPECT_NE(decrypted.substr(0, 16), plaintext.substr(0, 16));
  EXPECT_NE(decrypted.substr(16), plaintext.substr(16));
}

TEST(FileCipher, ShortSourceIsAnError) {
  MemorySource source(std::string(20, 'x'), 40);
  SecureBytes destination;
  EXPECT_THROW(DecryptFileToStream(source, destination, FileKey::FromMasterPassword("secret")),
               Error);
}

TEST(TextCipher, MatchesTheReference) {
  auto lines = test::ReadVectorLines("text_cipher.txt", 3);
  // A second pass in the other order changes keys at other places: the values derived from the
  // last key must never serve another.
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& line : lines) {
      const std::string key = FromHex(line[0]);
      const std::string plaintext = FromHex(line[1]);
      const std::string text = line[2] == "-" ? "" : line[2];
      SCOPED_TRACE("key " + line[0] + ", plaintext " + line[1]);
      EXPECT_EQ(EncryptText(plaintext, key), text);
      EXPECT_EQ(ToHex(DecryptText(text, key).View()), ToHex(plaintext));
    }
    std::reverse(lines.begin(), lines.end());
  }
}

TEST(TextCipher, Base64Padding) {
  const struct {
    std::string_view plaintext;
    std::size_t length;
    std::size_t padding;
  } cases[] = {{"", 0, 0}, {"a", 4, 2}, {"ab", 4, 1}, {"abc", 4, 0}, {"abcd", 8, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plaintext);
    const std::string text = EncryptText(c.plaintext, "key");
    EXPECT_EQ(text.size(), c.length);
    const auto padding = text.size() - std::min(text.size(), text.find_last_not_of('=') + 1);
    EXPECT_EQ(padding, c.padding) << text;
    EXPECT_EQ(DecryptText(text, "key").View(), c.plaintext);
  }
}

TEST(TextCipher, IsDeterministicPerKey) {
  EXPECT_EQ(EncryptText("hunter2", "key"), EncryptText("hunter2", "key"));
  EXPECT_NE(EncryptText("hunter2", "key"), EncryptText("hunter2", "kez"));
  // The key string is used whole, bytes after a zero byte included.
  EXPECT_NE(EncryptText("hunter2", std::string_view("k\0a", 3)),
            EncryptText("hunter2", std::string_view("k\0b", 3)));
}

}  // namespace
}  // namespace corvella
