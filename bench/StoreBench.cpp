// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Store benchmarks. Each of our operations is paired with the raw libcrypto work it cannot avoid,
// measured in the same run; scripts/bench prints the ratios.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/TenThousandEntries.h"
#include "store/CipherFraming.h"
#include "store/Entry.h"
#include "store/PasswordStore.h"
#include "store/SessionKey.h"

namespace {

using namespace corvella;
using bench::kEntries;
using bench::kMasterPassword;

constexpr std::size_t kFileSize = 8 << 20;
constexpr std::string_view kPassword = "Tr0ub4dor&3xyz";  // 14 bytes

std::vector<unsigned char> Pattern(std::size_t size) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 131 + i / 7);
  return bytes;
}

class MemorySink final : public platform::ByteSink {
 public:
  explicit MemorySink(std::size_t capacity) : bytes_(capacity) {}
  std::span<unsigned char> Next(std::size_t count) override {
    const auto room = std::span(bytes_).subspan(used_, count);
    used_ += count;
    return room;
  }
  void Rewind() { used_ = 0; }
  std::vector<unsigned char>& Bytes() { return bytes_; }

 private:
  std::vector<unsigned char> bytes_;
  std::size_t used_ = 0;
};

class MemorySource final : public platform::ByteSource {
 public:
  explicit MemorySource(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::span<const unsigned char> Read(std::size_t count) override {
    const auto bytes = std::span(bytes_).subspan(position_, count);
    position_ += count;
    return bytes;
  }
  void Rewind() { position_ = 0; }

 private:
  const std::vector<unsigned char>& bytes_;
  std::size_t position_ = 0;
};

// The plain library calls that one text-cipher call needs, with no framing around them.
struct RawTextCipher {
  EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  EVP_CIPHER* ecb = EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr);
  EVP_CIPHER* cfb8 = EVP_CIPHER_fetch(nullptr, "AES-128-CFB8", nullptr);
  ~RawTextCipher() {
    EVP_MD_free(md5);
    EVP_CIPHER_free(ecb);
    EVP_CIPHER_free(cfb8);
  }

  void Run(const unsigned char* in, int length, unsigned char* out, std::string_view key) const {
    unsigned char digest[16];
    unsigned int digestLength = 0;
    EVP_Digest(key.data(), key.size(), digest, &digestLength, md5, nullptr);
    unsigned char iv[16];
    std::memset(iv, 0xFF, sizeof iv);
    int written = 0;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex2(ctx, ecb, digest, nullptr, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_EncryptUpdate(ctx, iv, &written, iv, 16);
    EVP_EncryptInit_ex2(ctx, cfb8, digest, iv, nullptr);
    EVP_EncryptUpdate(ctx, out, &written, in, length);
    EVP_CIPHER_CTX_free(ctx);
  }
};

void RawCbc(const unsigned char* in, unsigned char* out, std::size_t size, bool encrypt) {
  static EVP_CIPHER* cbc = EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr);
  unsigned char key[32] = {1, 2, 3};
  unsigned char iv[16];
  std::memset(iv, 0xFF, sizeof iv);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_CipherInit_ex2(ctx, cbc, key, iv, encrypt ? 1 : 0, nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  int written = 0;
  EVP_CipherUpdate(ctx, out, &written, in, static_cast<int>(size));
  EVP_CIPHER_CTX_free(ctx);
}

void BM_FileEncrypt(benchmark::State& state) {
  const auto plain = Pattern(kFileSize);
  MemorySink sink(kFileSize);
  const FileKey key = FileKey::FromMasterPassword(kMasterPassword);
  for (auto _ : state) {
    sink.Rewind();
    EncryptStreamToFile(plain, sink, key);
    benchmark::DoNotOptimize(sink.Bytes().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_RawCbcEncrypt(benchmark::State& state) {
  const auto plain = Pattern(kFileSize);
  std::vector<unsigned char> out(kFileSize);
  for (auto _ : state) {
    RawCbc(plain.data(), out.data(), kFileSize, true);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_FileDecrypt(benchmark::State& state) {
  const auto cipher = Pattern(kFileSize);
  MemorySource source(cipher);
  SecureBytes stream(kFileSize, 0);  // touched now, as the raw run's output buffer is
  const FileKey key = FileKey::FromMasterPassword(kMasterPassword);
  for (auto _ : state) {
    source.Rewind();
    stream.clear();
    DecryptFileToStream(source, stream, key);
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_RawCbcDecrypt(benchmark::State& state) {
  const auto cipher = Pattern(kFileSize);
  std::vector<unsigned char> out(kFileSize);
  for (auto _ : state) {
    RawCbc(cipher.data(), out.data(), kFileSize, false);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_Protect(benchmark::State& state) {
  const SessionKey key;
  Entry entry;
  for (auto _ : state) {
    entry.SetPassword(kPassword, key);
    benchmark::DoNotOptimize(entry.encryptedPassword.data());
  }
}

void BM_Unprotect(benchmark::State& state) {
  const SessionKey key;
  Entry entry;
  entry.SetPassword(kPassword, key);
  for (auto _ : state) {
    SecureString plain = entry.Password(key);
    benchmark::DoNotOptimize(plain.data());
  }
}

struct TenThousand {
  std::filesystem::path directory;
  std::string path;
  PasswordStore store;

  TenThousand() {
    char pattern[] = "/tmp/corvella-bench-XXXXXX";
    directory = mkdtemp(pattern);
    path = (directory / "Passwords.dat").string();
    store.SetMasterPassword(bench::kMasterPassword);
    bench::AddTenThousandEntries(store);
    store.SavePasswordsTo(path);
  }
  ~TenThousand() { std::filesystem::remove_all(directory); }
};

TenThousand& Vault() {
  static TenThousand vault;
  return vault;
}

void BM_Save10k(benchmark::State& state) {
  auto& vault = Vault();
  for (auto _ : state) vault.store.SavePasswordsTo(vault.path);
}

void BM_Load10k(benchmark::State& state) {
  auto& vault = Vault();
  PasswordStore loaded;
  loaded.SetMasterPassword(kMasterPassword);
  for (auto _ : state) {
    loaded.LoadPasswordsFrom(vault.path);
    state.PauseTiming();
    loaded.WipeEntries();
    state.ResumeTiming();
  }
}

// What a save or load of the 10,000 entries must spend in the library: one SHA-256, CBC over
// the stream and one text-cipher call per entry.
void BM_Raw10k(benchmark::State& state) {
  static EVP_MD* sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  const SessionKey key;
  const RawTextCipher text;
  const auto stream = Pattern(bench::kStreamSize);
  std::vector<unsigned char> out(bench::kStreamSize);
  unsigned char password[14] = {};
  unsigned char encrypted[14];
  for (auto _ : state) {
    unsigned char digest[32];
    unsigned int length = 0;
    EVP_Digest(kMasterPassword.data(), kMasterPassword.size(), digest, &length, sha256, nullptr);
    RawCbc(stream.data(), out.data(), bench::kStreamSize - bench::kStreamSize % 16, true);
    for (int i = 0; i < kEntries; ++i) text.Run(password, 14, encrypted, key.Bytes());
    benchmark::DoNotOptimize(encrypted);
  }
}

}  // namespace

BENCHMARK(BM_FileEncrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawCbcEncrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileDecrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawCbcDecrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Protect);
BENCHMARK(BM_Unprotect);
BENCHMARK(BM_Save10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Raw10k)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
