#include "CipherFraming.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "Crypto.h"
#include "platform/Error.h"

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

// Wipes a key or working buffer when it goes out of scope.
template <class T>
struct WipeOnExit {
  T& data;
  ~WipeOnExit() { Cleanse(data.data(), data.size() * sizeof(data[0])); }
};

std::uint32_t StreamLength(std::uint64_t size) {
  if (size > std::numeric_limits<std::uint32_t>::max()) throw Error("The password file is too large");
  return static_cast<std::uint32_t>(size);
}

// Runs the file cipher over one piece in place. `lastCipherBlock` carries the register across
// pieces; only the final piece may end in a partial block.
void ProcessPiece(std::span<unsigned char> piece, Aes& cbc, Block& lastCipherBlock,
                  const crypto::Key256& key, Direction direction) {
  const std::size_t whole = piece.size() - piece.size() % kBlockSize;
  const auto blocks = piece.first(whole);
  if (direction == Direction::Decrypt && whole != 0) {
    std::copy_n(blocks.end() - kBlockSize, kBlockSize, lastCipherBlock.begin());
  }
  cbc.Apply(blocks);
  if (direction == Direction::Encrypt && whole != 0) {
    std::copy_n(blocks.end() - kBlockSize, kBlockSize, lastCipherBlock.begin());
  }
  const auto tail = piece.subspan(whole);
  if (tail.empty()) return;
  Block keyStream = Aes::Block256(key).EncryptBlock(lastCipherBlock);
  for (std::size_t i = 0; i < tail.size(); ++i) tail[i] ^= keyStream[i];
  Cleanse(keyStream.data(), keyStream.size());
}

Aes TextCipher(std::string_view key, Direction direction) {
  crypto::Key128 digest = crypto::Md5(crypto::AsBytes(key));
  WipeOnExit wipeDigest{digest};
  Block initialValue = Aes::Block128(digest).EncryptBlock(Filled(kTextConstantByte));
  WipeOnExit wipeInitialValue{initialValue};
  return Aes::Cfb8(digest, initialValue, direction);
}

}  // namespace

void EncryptStreamToFile(std::span<const unsigned char> source, platform::ByteSink& destination,
                         std::string_view masterPassword) {
  crypto::Key256 key = crypto::Sha256(crypto::AsBytes(masterPassword));
  WipeOnExit wipeKey{key};
  Block lastCipherBlock = Filled(kFileInitialValueByte);
  Aes cbc = Aes::Cbc256(key, lastCipherBlock, Direction::Encrypt);
  std::array<unsigned char, kCipherPieceSize> buffer;
  WipeOnExit wipeBuffer{buffer};

  const std::uint32_t length = StreamLength(source.size());
  for (std::size_t offset = 0; offset < length; offset += kCipherPieceSize) {
    const auto piece = std::span(buffer).first(std::min<std::size_t>(kCipherPieceSize, length - offset));
    std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(offset), piece.size(), piece.begin());
    ProcessPiece(piece, cbc, lastCipherBlock, key, Direction::Encrypt);
    destination.Write(piece);
  }
}

void DecryptFileToStream(platform::ByteSource& source, SecureBytes& destination,
                         std::string_view masterPassword) {
  crypto::Key256 key = crypto::Sha256(crypto::AsBytes(masterPassword));
  WipeOnExit wipeKey{key};
  Block lastCipherBlock = Filled(kFileInitialValueByte);
  Aes cbc = Aes::Cbc256(key, lastCipherBlock, Direction::Decrypt);

  const std::uint32_t length = StreamLength(source.Size());
  const std::size_t start = destination.size();
  destination.reserve(start + length);
  for (std::size_t offset = 0; offset < length; offset += kCipherPieceSize) {
    const std::size_t pieceSize = std::min<std::size_t>(kCipherPieceSize, length - offset);
    destination.resize(start + offset + pieceSize);
    const auto piece = std::span(destination).subspan(start + offset, pieceSize);
    source.ReadExact(piece);
    ProcessPiece(piece, cbc, lastCipherBlock, key, Direction::Decrypt);
  }
}

std::string EncryptText(std::string_view plaintext, std::string_view key) {
  if (plaintext.empty()) return {};
  SecureBytes bytes(plaintext.begin(), plaintext.end());
  TextCipher(key, Direction::Encrypt).Apply(bytes);
  return crypto::Base64Encode(bytes);
}

SecureString DecryptText(std::string_view text, std::string_view key) {
  SecureBytes bytes = crypto::Base64Decode(text);
  if (bytes.empty()) return {};
  TextCipher(key, Direction::Decrypt).Apply(bytes);
  return SecureString(bytes.begin(), bytes.end());
}

}  // namespace corvella
