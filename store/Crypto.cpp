// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Crypto.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>

#include "core/Error.h"

namespace corvella {

void Cleanse(void* data, std::size_t size) {
  if (size != 0) OPENSSL_cleanse(data, size);
}

namespace crypto {
namespace {

[[noreturn]] void ThrowLibraryError(const char* operation) {
  const unsigned long code = ERR_get_error();
  char text[256] = "unknown error";
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  throw Error(std::string("Cryptographic operation failed: ") + operation + " (" + text + ")");
}

void Check(int result, const char* operation) {
  if (result != 1) ThrowLibraryError(operation);
}

// Algorithm objects are fetched once; fetching per call costs more than a short operation.
struct Algorithms {
  EVP_CIPHER* cbc256 = EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr);
  EVP_CIPHER* cfb8 = EVP_CIPHER_fetch(nullptr, "AES-128-CFB8", nullptr);
  EVP_CIPHER* ecb256 = EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr);
  EVP_CIPHER* ecb128 = EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr);
  EVP_MD* sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);

  Algorithms() {
    if (!cbc256 || !cfb8 || !ecb256 || !ecb128 || !sha256 || !md5) {
      ThrowLibraryError("fetching algorithms");
    }
  }
  ~Algorithms() {
    for (EVP_CIPHER* cipher : {cbc256, cfb8, ecb256, ecb128}) EVP_CIPHER_free(cipher);
    EVP_MD_free(sha256);
    EVP_MD_free(md5);
  }
};

const Algorithms& Get() {
  static const Algorithms algorithms;
  return algorithms;
}

template <std::size_t N>
std::array<unsigned char, N> Digest(const EVP_MD* md, std::span<const unsigned char> message) {
  std::array<unsigned char, N> digest{};
  unsigned int length = 0;
  Check(EVP_Digest(message.data(), message.size(), digest.data(), &length, md, nullptr), "digest");
  return digest;
}

int ToInt(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    throw Error("Cryptographic operation failed: input too large");
  }
  return static_cast<int>(size);
}

void Update(EVP_CIPHER_CTX* ctx, std::span<const unsigned char> in, std::span<unsigned char> out) {
  CORVELLA_ASSERT(in.size() == out.size());
  if (in.empty()) return;
  int written = 0;
  Check(EVP_CipherUpdate(ctx, out.data(), &written, in.data(), ToInt(in.size())), "cipher update");
  if (static_cast<std::size_t>(written) != in.size()) ThrowLibraryError("cipher update length");
}

constexpr signed char kBase64Invalid = -1;
constexpr signed char kBase64Pad = -2;

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> MakeBase64Table() {
  std::array<signed char, 256> table{};
  for (auto& value : table) value = kBase64Invalid;
  for (int i = 0; i < 64; ++i)
    table[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<signed char>(i);
  table['='] = kBase64Pad;
  return table;
}
constexpr auto kBase64Table = MakeBase64Table();

}  // namespace

std::span<const unsigned char> AsBytes(std::string_view text) {
  return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

Key256 Sha256(std::span<const unsigned char> message) { return Digest<32>(Get().sha256, message); }

Key128 Md5(std::span<const unsigned char> message) { return Digest<16>(Get().md5, message); }

Key256 HmacSha256(std::span<const unsigned char> key, std::span<const unsigned char> message) {
  Key256 mac{};
  std::size_t length = 0;
  if (EVP_Q_mac(nullptr, "HMAC", nullptr, "SHA256", nullptr, key.data(), key.size(), message.data(),
                message.size(), mac.data(), mac.size(), &length) == nullptr ||
      length != mac.size()) {
    ThrowLibraryError("HMAC");
  }
  return mac;
}

std::string Base64Encode(std::span<const unsigned char> bytes) {
  std::string text(Base64EncodedSize(bytes.size()), '\0');
  Base64EncodeInto(bytes, text);
  return text;
}

void Base64EncodeInto(std::span<const unsigned char> bytes, std::span<char> text) {
  CORVELLA_ASSERT(text.size() == Base64EncodedSize(bytes.size()));
  std::size_t in = 0;
  std::size_t out = 0;
  for (; in + 3 <= bytes.size(); in += 3, out += 4) {
    const unsigned triple =
        unsigned{bytes[in]} << 16 | unsigned{bytes[in + 1]} << 8 | bytes[in + 2];
    text[out] = kBase64Alphabet[triple >> 18];
    text[out + 1] = kBase64Alphabet[(triple >> 12) & 0x3F];
    text[out + 2] = kBase64Alphabet[(triple >> 6) & 0x3F];
    text[out + 3] = kBase64Alphabet[triple & 0x3F];
  }
  if (in == bytes.size()) return;
  const bool two = in + 2 == bytes.size();
  const unsigned triple = unsigned{bytes[in]} << 16 | (two ? unsigned{bytes[in + 1]} << 8 : 0u);
  text[out] = kBase64Alphabet[triple >> 18];
  text[out + 1] = kBase64Alphabet[(triple >> 12) & 0x3F];
  text[out + 2] = two ? kBase64Alphabet[(triple >> 6) & 0x3F] : '=';
  text[out + 3] = '=';
}

SecureBytes Base64Decode(std::string_view text) {
  SecureBytes bytes(Base64DecodedMaxSize(text.size()));
  bytes.resize(Base64DecodeInto(text, bytes));
  return bytes;
}

std::size_t Base64DecodeInto(std::string_view text, std::span<unsigned char> bytes) {
  const std::size_t groups = text.size() / 4;
  CORVELLA_ASSERT(bytes.size() >= groups * 3);
  std::size_t written = 0;
  for (std::size_t group = 0; group < groups; ++group) {
    signed char digits[4];
    for (std::size_t i = 0; i < 4; ++i) {
      digits[i] = kBase64Table[static_cast<unsigned char>(text[group * 4 + i])];
      if (digits[i] == kBase64Invalid) throw Error("Invalid Base64 text");
    }
    if (digits[0] == kBase64Pad || digits[1] == kBase64Pad) throw Error("Invalid Base64 text");
    const auto value = [&](int i) {
      return digits[i] == kBase64Pad ? 0u : static_cast<unsigned>(digits[i]);
    };
    const unsigned triple = value(0) << 18 | value(1) << 12 | value(2) << 6 | value(3);
    bytes[written++] = static_cast<unsigned char>(triple >> 16);
    if (digits[2] == kBase64Pad) continue;
    bytes[written++] = static_cast<unsigned char>(triple >> 8);
    if (digits[3] == kBase64Pad) continue;
    bytes[written++] = static_cast<unsigned char>(triple);
  }
  return written;
}

void RandomBytes(std::span<unsigned char> bytes) {
  if (!bytes.empty()) Check(RAND_bytes(bytes.data(), ToInt(bytes.size())), "random bytes");
}

struct Aes::Context {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  ~Context() { EVP_CIPHER_CTX_free(ctx); }  // also wipes the key schedule
};

Aes::Aes(std::unique_ptr<Context> context) : context_(std::move(context)) {}
Aes::Aes(Aes&&) noexcept = default;
Aes& Aes::operator=(Aes&&) noexcept = default;
Aes::~Aes() = default;

Aes Aes::Cbc256(const Key256& key, const Block& iv, Direction direction) {
  return Aes(Init(Get().cbc256, key.data(), iv.data(), direction));
}

Aes Aes::Block256(const Key256& key) {
  return Aes(Init(Get().ecb256, key.data(), nullptr, Direction::Encrypt));
}

Aes Aes::Block128(const Key128& key) {
  return Aes(Init(Get().ecb128, key.data(), nullptr, Direction::Encrypt));
}

Aes Aes::Cfb8(const Key128& key, Direction direction) {
  return Aes(Init(Get().cfb8, key.data(), nullptr, direction));
}

void Aes::Restart(const Block& iv) {
  // Sets the register only; the key schedule stays.
  Check(EVP_CipherInit_ex2(context_->ctx, nullptr, nullptr, iv.data(), -1, nullptr), "cipher init");
}

void Aes::Apply(std::span<unsigned char> data) { Apply(data, data); }

void Aes::Apply(std::span<const unsigned char> in, std::span<unsigned char> out) {
  Update(context_->ctx, in, out);
}

Block Aes::EncryptBlock(const Block& block) {
  Block out = block;
  Apply(out);
  return out;
}

std::unique_ptr<Aes::Context> Aes::Init(const void* cipher, const unsigned char* key,
                                        const unsigned char* iv, Direction direction) {
  auto context = std::make_unique<Aes::Context>();
  if (context->ctx == nullptr) ThrowLibraryError("cipher context");
  Check(EVP_CipherInit_ex2(context->ctx, static_cast<const EVP_CIPHER*>(cipher), key, iv,
                           direction == Direction::Encrypt ? 1 : 0, nullptr),
        "cipher init");
  // Only block modes pad. Set on a stream mode, the setting would be passed on again at every
  // restart, which then costs a tenth of a short message.
  if (EVP_CIPHER_get_block_size(static_cast<const EVP_CIPHER*>(cipher)) > 1) {
    Check(EVP_CIPHER_CTX_set_padding(context->ctx, 0), "cipher padding");
  }
  return context;
}

}  // namespace crypto
}  // namespace corvella
