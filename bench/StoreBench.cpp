// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Store benchmarks. Each of our operations is paired with its floor, the raw library (and, for a
// durable save, file system) work it cannot avoid, measured in the same run from the same inputs;
// scripts/bench prints the ratios.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <stdlib.h>
#include <unistd.h>

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
  std::span<const unsigned char> Read(std::span<unsigned char> room) override {
    const auto bytes = std::span(bytes_).subspan(position_, room.size());
    position_ += room.size();
    return bytes;
  }
  void Rewind() { position_ = 0; }

 private:
  const std::vector<unsigned char>& bytes_;
  std::size_t position_ = 0;
};

// The text cipher with its keyed contexts kept, as a store that protects many passwords under one
// key can keep them: per call only the reset of the register, CFB-8 over the text and Base64.
class TextCipherFloor {
 public:
  TextCipherFloor() {
    std::memset(iv_, 0xFF, sizeof iv_);
    EVP_CIPHER* cfb8 = EVP_CIPHER_fetch(nullptr, "AES-128-CFB8", nullptr);
    const unsigned char key[16] = {7};
    EVP_CipherInit_ex2(encrypt_, cfb8, key, iv_, 1, nullptr);
    EVP_CipherInit_ex2(decrypt_, cfb8, key, iv_, 0, nullptr);
    EVP_CIPHER_free(cfb8);
  }
  ~TextCipherFloor() {
    EVP_CIPHER_CTX_free(encrypt_);
    EVP_CIPHER_CTX_free(decrypt_);
  }

  // `plain` (at most 48 bytes) to Base64 in `text`; returns its length.
  int Protect(std::string_view plain, unsigned char* text) const {
    unsigned char bytes[48];
    int written = 0;
    EVP_CipherInit_ex2(encrypt_, nullptr, nullptr, iv_, -1, nullptr);
    EVP_CipherUpdate(encrypt_, bytes, &written,
                     reinterpret_cast<const unsigned char*>(plain.data()),
                     static_cast<int>(plain.size()));
    return EVP_EncodeBlock(text, bytes, written);
  }

  // Base64 `text` (at most 64 characters) to `plain`; returns its length.
  int Unprotect(std::string_view text, unsigned char* plain) const {
    unsigned char bytes[48];
    const int decoded = EVP_DecodeBlock(bytes, reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
    const int length = decoded - static_cast<int>(text.size() - text.find_last_not_of('=') - 1);
    int written = 0;
    EVP_CipherInit_ex2(decrypt_, nullptr, nullptr, iv_, -1, nullptr);
    EVP_CipherUpdate(decrypt_, plain, &written, bytes, length);
    return written;
  }

 private:
  EVP_CIPHER_CTX* encrypt_ = EVP_CIPHER_CTX_new();
  EVP_CIPHER_CTX* decrypt_ = EVP_CIPHER_CTX_new();
  unsigned char iv_[16];
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

// As the store protects and unprotects: in the memory of an entry or of the stream.
void BM_Protect(benchmark::State& state) {
  const SessionKey key;
  char text[64];
  const std::span<char> room(text, SessionKey::ProtectedSize(kPassword.size()));
  for (auto _ : state) {
    key.ProtectInto(kPassword, room);
    benchmark::DoNotOptimize(text);
  }
}

void BM_ProtectFloor(benchmark::State& state) {
  const TextCipherFloor cipher;
  unsigned char text[64];
  for (auto _ : state) {
    benchmark::DoNotOptimize(cipher.Protect(kPassword, text));
    benchmark::DoNotOptimize(text);
  }
}

void BM_Unprotect(benchmark::State& state) {
  const SessionKey key;
  const std::string text = key.Protect(kPassword);
  unsigned char plain[48];
  for (auto _ : state) {
    benchmark::DoNotOptimize(key.UnprotectInto(text, plain));
    benchmark::DoNotOptimize(plain);
  }
}

void BM_UnprotectFloor(benchmark::State& state) {
  const TextCipherFloor cipher;
  unsigned char text[64];
  const std::string protectedText(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(cipher.Protect(kPassword, text)));
  unsigned char plain[48];
  for (auto _ : state) {
    benchmark::DoNotOptimize(cipher.Unprotect(protectedText, plain));
    benchmark::DoNotOptimize(plain);
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

void BM_Save10kWall(benchmark::State& state) {
  auto& vault = Vault();
  for (auto _ : state) vault.store.SavePasswordsTo(vault.path);
}

// The floors of a load and a save of the 10,000 entries: the file key (SHA-256 of the master
// password), CBC in the direction needed over the stream's bytes, and per entry only the text
// cipher's unavoidable work (TextCipherFloor) over a 14-byte password.
struct StoreFloor {
  EVP_MD* sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  TextCipherFloor text;
  std::vector<unsigned char> stream = Pattern(bench::kStreamSize);
  std::vector<unsigned char> out = std::vector<unsigned char>(bench::kStreamSize);
  std::string protectedPassword;
  StoreFloor() {
    unsigned char encoded[64];
    protectedPassword.assign(reinterpret_cast<const char*>(encoded),
                             static_cast<std::size_t>(text.Protect(kPassword, encoded)));
  }
  ~StoreFloor() { EVP_MD_free(sha256); }

  void FileKey() const {
    unsigned char digest[32];
    unsigned int length = 0;
    EVP_Digest(kMasterPassword.data(), kMasterPassword.size(), digest, &length, sha256, nullptr);
    benchmark::DoNotOptimize(digest);
  }
  void Cbc(bool encrypt) {
    RawCbc(stream.data(), out.data(), bench::kStreamSize - bench::kStreamSize % 16, encrypt);
  }
  void Load() {
    FileKey();
    Cbc(false);
    unsigned char encoded[64];
    for (int i = 0; i < kEntries; ++i) benchmark::DoNotOptimize(text.Protect(kPassword, encoded));
  }
  void Save() {
    FileKey();
    unsigned char plain[48];
    for (int i = 0; i < kEntries; ++i)
      benchmark::DoNotOptimize(text.Unprotect(protectedPassword, plain));
    Cbc(true);
  }
};

void BM_LoadFloor10k(benchmark::State& state) {
  StoreFloor floor;
  for (auto _ : state) floor.Load();
}

void BM_SaveFloor10k(benchmark::State& state) {
  StoreFloor floor;
  for (auto _ : state) floor.Save();
}

// The durable write floor: the save floor, then the same number of bytes written to a new file
// in one call, synced and renamed over the vault's name.
void BM_SaveFloor10kWall(benchmark::State& state) {
  StoreFloor floor;
  const auto& vault = Vault();
  const std::string temporary = (vault.directory / "floor.tmp").string();
  const std::string target = (vault.directory / "floor.dat").string();
  for (auto _ : state) {
    floor.Save();
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, floor.out.data(), floor.out.size()) < 0 || ::fsync(fd) != 0 ||
        ::close(fd) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
      state.SkipWithError("durable write failed");
      break;
    }
  }
}

}  // namespace

BENCHMARK(BM_FileEncrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawCbcEncrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileDecrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawCbcDecrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Protect);
BENCHMARK(BM_ProtectFloor);
BENCHMARK(BM_Unprotect);
BENCHMARK(BM_UnprotectFloor);
BENCHMARK(BM_Save10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFloor10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFloor10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save10kWall)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveFloor10kWall)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
