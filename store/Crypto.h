// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Thin facade over libcrypto. No library type appears here; every library failure becomes a
// corvella::Error and every context is released (and its key material wiped) on all paths.

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "SecureMemory.h"

namespace corvella::crypto {

constexpr std::size_t kBlockSize = 16;
using Block = std::array<unsigned char, kBlockSize>;
using Key128 = std::array<unsigned char, 16>;
using Key256 = std::array<unsigned char, 32>;

enum class Direction { Encrypt, Decrypt };

std::span<const unsigned char> AsBytes(std::string_view text);

Key256 Sha256(std::span<const unsigned char> message);
Key128 Md5(std::span<const unsigned char> message);
// HMAC-SHA-256 (RFC 2104).
Key256 HmacSha256(std::span<const unsigned char> key, std::span<const unsigned char> message);

// RFC 4648 Base64, standard alphabet, "=" padding, no line breaks.
std::string Base64Encode(std::span<const unsigned char> bytes);
constexpr std::size_t Base64EncodedSize(std::size_t byteCount) { return 4 * ((byteCount + 2) / 3); }
// Writes the Base64 text of `bytes` to `text`, which holds exactly Base64EncodedSize of them.
void Base64EncodeInto(std::span<const unsigned char> bytes, std::span<char> text);
// Decodes the whole groups of four characters; characters after the last whole group are
// ignored. A character outside the alphabet is an error.
SecureBytes Base64Decode(std::string_view text);
// The same into `bytes`, which holds at least Base64DecodedMaxSize(text.size()); returns how many
// it wrote.
constexpr std::size_t Base64DecodedMaxSize(std::size_t textSize) { return textSize / 4 * 3; }
std::size_t Base64DecodeInto(std::string_view text, std::span<unsigned char> bytes);

// Fills `bytes` from the operating system's CSPRNG.
void RandomBytes(std::span<unsigned char> bytes);

// One AES context with a fixed key. Holds its key schedule until destroyed.
class Aes {
 public:
  // AES-256-CBC over whole blocks, starting from `iv`; chaining carries across calls.
  static Aes Cbc256(const Key256& key, const Block& iv, Direction direction);
  // The raw block function: every call encrypts whole blocks independently.
  static Aes Block256(const Key256& key);
  static Aes Block128(const Key128& key);
  // AES-128-CFB8, for data of any length; Restart sets the register before each message.
  static Aes Cfb8(const Key128& key, Direction direction);

  Aes(Aes&&) noexcept;
  Aes& operator=(Aes&&) noexcept;
  ~Aes();

  // Starts the chaining anew from `iv`, keeping the key.
  void Restart(const Block& iv);
  // Processes `data` in place, or `in` into `out` of the same size; a multiple of 16 bytes except
  // for CFB-8.
  void Apply(std::span<unsigned char> data);
  void Apply(std::span<const unsigned char> in, std::span<unsigned char> out);
  // Convenience for the block function: returns the encryption of one block.
  Block EncryptBlock(const Block& block);

 private:
  struct Context;
  static std::unique_ptr<Context> Init(const void* cipher, const unsigned char* key,
                                       const unsigned char* iv, Direction direction);
  explicit Aes(std::unique_ptr<Context> context);
  std::unique_ptr<Context> context_;
};

}  // namespace corvella::crypto
