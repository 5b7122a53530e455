// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The two ways in which the store combines the primitives.
//
// File cipher: AES-256 under the file key (SHA-256 of the master password), CBC from a fixed
// initial value
// over whole blocks; a last partial block of t bytes is XORed with the first t bytes of the
// encryption of the last ciphertext block (or of the initial value). Output length equals
// input length; there is no header, padding or integrity check.
//
// Text cipher: AES-128 under MD5 of the key string, CFB-8 from the encryption of a fixed
// block, Base64 output. Used only for passwords held in memory.

#include <span>
#include <string>
#include <string_view>

#include "Crypto.h"
#include "FileKey.h"
#include "SecureMemory.h"
#include "platform/Files.h"

namespace corvella {

constexpr std::size_t kCipherPieceSize = platform::kMaxWriteSize;

// Encrypts the whole source into the sink in pieces of at most kCipherPieceSize bytes; the caller
// finishes the sink (AtomicFileWriter::Commit). Both directions need a key that is set.
void EncryptStreamToFile(std::span<const unsigned char> source, platform::ByteSink& destination,
                         const FileKey& key);

// Encrypts a stream that arrives in parts into the sink, in pieces of at most kCipherPieceSize
// bytes; the caller finishes the sink.
class FileEncryptor {
 public:
  FileEncryptor(platform::ByteSink& destination, const FileKey& key);
  ~FileEncryptor();
  FileEncryptor(const FileEncryptor&) = delete;
  FileEncryptor& operator=(const FileEncryptor&) = delete;

  // The next part of the stream; every part but the `last` one a whole number of blocks.
  void Encrypt(std::span<const unsigned char> part, bool last);

 private:
  platform::ByteSink& destination_;
  const crypto::Key256& key_;
  crypto::Block lastCipherBlock_;
  crypto::Aes cbc_;
  std::uint64_t length_ = 0;
};

// Appends the decryption of the whole source to `destination`.
void DecryptFileToStream(platform::ByteSource& source, SecureBytes& destination,
                         const FileKey& key);

// Decrypts a source piece by piece, so that the whole plaintext need never be in memory at once.
class FileDecryptor {
 public:
  FileDecryptor(platform::ByteSource& source, const FileKey& key);
  ~FileDecryptor();
  FileDecryptor(const FileDecryptor&) = delete;
  FileDecryptor& operator=(const FileDecryptor&) = delete;

  std::uint64_t Size() const { return length_; }
  // Appends the next piece, at most kCipherPieceSize bytes; false when nothing is left.
  bool AppendNext(SecureBytes& destination);

 private:
  platform::ByteSource& source_;
  const crypto::Key256& key_;
  crypto::Block lastCipherBlock_;
  crypto::Aes cbc_;
  std::uint32_t length_;
  std::uint32_t offset_ = 0;
};

std::string EncryptText(std::string_view plaintext, std::string_view key);
SecureString DecryptText(std::string_view text, std::string_view key);
// The same without a container of their own: the text of a plaintext of `plaintextSize` bytes
// has EncryptedTextSize of them, which EncryptTextInto fills; DecryptTextInto writes at most
// DecryptedTextMaxSize bytes and returns how many.
std::size_t EncryptedTextSize(std::size_t plaintextSize);
std::size_t DecryptedTextMaxSize(std::size_t textSize);
void EncryptTextInto(std::string_view plaintext, std::string_view key, std::span<char> text);
std::size_t DecryptTextInto(std::string_view text, std::string_view key,
                            std::span<unsigned char> plaintext);

}  // namespace corvella
