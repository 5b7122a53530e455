// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CipherFraming.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>

#include "Crypto.h"
#include "core/Error.h"

namespace corvella {
namespace {

using crypto::Aes;
using crypto::Block;
using crypto::Direction;
using crypto::kBlockSize;

constexpr unsigned char kFileInitialValueByte = 0xFF;
constexpr unsigned char kTextConstantByte = 0xFF;

Block Filled(unsigned char value) {
  Block block;
  block.fill(value);
  return block;
}

std::uint32_t StreamLength(std::uint64_t size) {
  if (size > std::numeric_limits<std::uint32_t>::max())
    throw Error("The password file is too large");
  return static_cast<std::uint32_t>(size);
}

// Runs the file cipher over one piece from `in` into `out` (which may be the same memory).
// `lastCipherBlock` carries the register across pieces; only the final piece may end in a
// partial block.
void ProcessPiece(std::span<const unsigned char> in, std::span<unsigned char> out, Aes& cbc,
                  Block& lastCipherBlock, const crypto::Key256& key, Direction direction) {
  const std::size_t whole = in.size() - in.size() % kBlockSize;
  if (whole != 0) {
    const auto lastBlockOf = [&](std::span<const unsigned char> blocks) {
      std::copy_n(blocks.begin() + static_cast<std::ptrdiff_t>(whole - kBlockSize), kBlockSize,
                  lastCipherBlock.begin());
    };
    // The ciphertext is the input of a decryption, which may run in place: then it must be taken
    // before it is overwritten. Otherwise it is taken after the cipher has read it, while cached.
    const bool inPlace = in.data() == out.data();
    if (direction == Direction::Decrypt && inPlace) lastBlockOf(in);
    cbc.Apply(in.first(whole), out.first(whole));
    if (direction == Direction::Decrypt && !inPlace) lastBlockOf(in);
    if (direction == Direction::Encrypt) lastBlockOf(out);
  }
  if (whole == in.size()) return;
  Block keyStream = Aes::Block256(key).EncryptBlock(lastCipherBlock);
  for (std::size_t i = whole; i < in.size(); ++i) out[i] = in[i] ^ keyStream[i - whole];
  Cleanse(keyStream.data(), keyStream.size());
}

// The text cipher under one key: the initial value and the keyed CFB-8 contexts derived from it.
// Each thread keeps them for the last key it used, since passwords are protected under the
// session key again and again and the derivation is most of the work. They are worth no more
// than the key, which the caller holds for the whole run anyway; the contexts wipe their key
// schedules when they go.
class TextKey {
 public:
  explicit TextKey(std::string_view key)
      : key_(key.begin(), key.end()),
        digest_(crypto::Md5(crypto::AsBytes(key))),
        initialValue_(Aes::Block128(digest_).EncryptBlock(Filled(kTextConstantByte))),
        encrypt_(Aes::Cfb8(digest_, Direction::Encrypt)),
        decrypt_(Aes::Cfb8(digest_, Direction::Decrypt)) {
    Cleanse(digest_.data(), digest_.size());
  }
  ~TextKey() { Cleanse(initialValue_.data(), initialValue_.size()); }
  TextKey(const TextKey&) = delete;
  TextKey& operator=(const TextKey&) = delete;

  bool IsFor(std::string_view key) const { return key == key_.View(); }

  void Apply(Direction direction, std::span<const unsigned char> in, std::span<unsigned char> out) {
    Aes& cipher = direction == Direction::Encrypt ? encrypt_ : decrypt_;
    cipher.Restart(initialValue_);
    cipher.Apply(in, out);
  }

 private:
  SecureString key_;
  crypto::Key128 digest_;  // wiped once the contexts are keyed
  Block initialValue_;
  Aes encrypt_;
  Aes decrypt_;
};

void TextCipher(std::string_view key, Direction direction, std::span<const unsigned char> in,
                std::span<unsigned char> out) {
  thread_local std::optional<TextKey> textKey;
  if (!textKey || !textKey->IsFor(key)) textKey.emplace(key);
  textKey->Apply(direction, in, out);
}

}  // namespace

void EncryptStreamToFile(std::span<const unsigned char> source, platform::ByteSink& destination,
                         const FileKey& key) {
  FileEncryptor(destination, key).Encrypt(source, true);
}

FileEncryptor::FileEncryptor(platform::ByteSink& destination, const FileKey& key)
    : destination_(destination),
      key_(key.Value()),
      lastCipherBlock_(Filled(kFileInitialValueByte)),
      cbc_(Aes::Cbc256(key_, lastCipherBlock_, Direction::Encrypt)) {}

FileEncryptor::~FileEncryptor() { Cleanse(lastCipherBlock_.data(), lastCipherBlock_.size()); }

void FileEncryptor::Encrypt(std::span<const unsigned char> part, bool last) {
  CORVELLA_ASSERT(last || part.size() % kBlockSize == 0);
  StreamLength(length_ + part.size());
  length_ += part.size();
  for (std::size_t offset = 0; offset < part.size(); offset += kCipherPieceSize) {
    const std::size_t pieceSize = std::min<std::size_t>(kCipherPieceSize, part.size() - offset);
    ProcessPiece(part.subspan(offset, pieceSize), destination_.Next(pieceSize), cbc_,
                 lastCipherBlock_, key_, Direction::Encrypt);
  }
}

void DecryptFileToStream(platform::ByteSource& source, SecureBytes& destination,
                         const FileKey& key) {
  FileDecryptor decryptor(source, key);
  destination.reserve(destination.size() + decryptor.Size());
  while (decryptor.AppendNext(destination)) {
  }
}

FileDecryptor::FileDecryptor(platform::ByteSource& source, const FileKey& key)
    : source_(source),
      key_(key.Value()),
      lastCipherBlock_(Filled(kFileInitialValueByte)),
      cbc_(Aes::Cbc256(key_, lastCipherBlock_, Direction::Decrypt)),
      length_(StreamLength(source.Size())) {}

FileDecryptor::~FileDecryptor() { Cleanse(lastCipherBlock_.data(), lastCipherBlock_.size()); }

bool FileDecryptor::AppendNext(SecureBytes& destination) {
  if (offset_ == length_) return false;
  const std::size_t pieceSize = std::min<std::size_t>(kCipherPieceSize, length_ - offset_);
  const std::size_t start = destination.size();
  destination.resize(start + pieceSize);
  // A file's ciphertext is read into the room of its plaintext and decrypted there.
  const auto piece = std::span(destination).subspan(start);
  ProcessPiece(source_.Read(piece), piece, cbc_, lastCipherBlock_, key_, Direction::Decrypt);
  offset_ += static_cast<std::uint32_t>(pieceSize);
  return true;
}

std::size_t EncryptedTextSize(std::size_t plaintextSize) {
  return crypto::Base64EncodedSize(plaintextSize);
}

void EncryptTextInto(std::string_view plaintext, std::string_view key, std::span<char> text) {
  if (plaintext.empty()) return;
  // Passwords are short: the ciphertext stays on the stack when it fits.
  std::array<unsigned char, 64> small;
  std::vector<unsigned char> large;
  std::span<unsigned char> bytes;
  if (plaintext.size() <= small.size()) {
    bytes = std::span(small).first(plaintext.size());
  } else {
    large.resize(plaintext.size());
    bytes = large;
  }
  TextCipher(key, Direction::Encrypt, crypto::AsBytes(plaintext), bytes);
  crypto::Base64EncodeInto(bytes, text);
}

std::string EncryptText(std::string_view plaintext, std::string_view key) {
  std::string text(EncryptedTextSize(plaintext.size()), '\0');
  EncryptTextInto(plaintext, key, text);
  return text;
}

std::size_t DecryptedTextMaxSize(std::size_t textSize) {
  return crypto::Base64DecodedMaxSize(textSize);
}

std::size_t DecryptTextInto(std::string_view text, std::string_view key,
                            std::span<unsigned char> plaintext) {
  const std::size_t size = crypto::Base64DecodeInto(text, plaintext);
  const auto bytes = plaintext.first(size);
  if (size != 0) TextCipher(key, Direction::Decrypt, bytes, bytes);
  return size;
}

SecureString DecryptText(std::string_view text, std::string_view key) {
  SecureString plaintext(DecryptedTextMaxSize(text.size()), '\0');
  plaintext.resize(DecryptTextInto(
      text, key, {reinterpret_cast<unsigned char*>(plaintext.data()), plaintext.size()}));
  return plaintext;
}

}  // namespace corvella
