// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Encrypts the input as a plaintext password stream into a password file and loads it. A load
// must agree with reading the plaintext directly: the same entries, or the same kind of error
// and no entry left in the store.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "FuzzSupport.h"
#include "platform/Files.h"
#include "store/CipherFraming.h"
#include "store/Errors.h"
#include "store/PasswordStore.h"
#include "store/PasswordStream.h"
#include "store/SessionKey.h"

using namespace corvella;

namespace {

constexpr std::string_view kMasterPassword = "fuzz master password";

std::string gDirectory;
std::string gPath;

// Writes the password file as a new file, without the atomic writer's syncs, which would
// dominate each run (as would truncating a file in place, which ext4 flushes on close).
class FileSink final : public platform::ByteSink {
 public:
  explicit FileSink(const std::string& path) {
    ::unlink(path.c_str());
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    fuzz::Check(fd_ >= 0, "cannot create the password file");
  }
  ~FileSink() override { ::close(fd_); }
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  std::span<unsigned char> Next(std::size_t count) override {
    fuzz::Check(count <= buffer_.size(), "a piece is larger than the sink lends");
    WritePending();
    pending_ = count;
    // Stale bytes, so that a piece the cipher leaves partly unfilled shows.
    std::fill_n(buffer_.begin(), count, static_cast<unsigned char>(0xA5));
    return std::span(buffer_).first(count);
  }

  // Stores the last piece.
  void Finish() { WritePending(); }

  std::size_t Written() const { return written_; }

 private:
  void WritePending() {
    auto bytes = std::span<const unsigned char>(buffer_).first(pending_);
    pending_ = 0;
    while (!bytes.empty()) {
      const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
      fuzz::Check(put > 0, "cannot write the password file");
      bytes = bytes.subspan(static_cast<std::size_t>(put));
      written_ += static_cast<std::size_t>(put);
    }
  }

  int fd_ = -1;
  std::array<unsigned char, platform::kMaxWriteSize> buffer_;
  std::size_t pending_ = 0;
  std::size_t written_ = 0;
};

enum class Outcome { Loaded, InvalidPassword, StreamRead, OtherError };

const char* Name(Outcome outcome) {
  switch (outcome) {
    case Outcome::Loaded:
      return "loaded";
    case Outcome::InvalidPassword:
      return "invalid password";
    case Outcome::StreamRead:
      return "stream read error";
    case Outcome::OtherError:
      return "other error";
  }
  return "?";
}

template <class Action>
Outcome Run(Action action) {
  try {
    action();
    return Outcome::Loaded;
  } catch (const InvalidPasswordError&) {
    return Outcome::InvalidPassword;
  } catch (const StreamReadError&) {
    return Outcome::StreamRead;
  } catch (const Error&) {
    return Outcome::OtherError;
  }
}

void RemoveDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(gDirectory, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvella-fuzz-XXXXXX").string();
  fuzz::Check(::mkdtemp(pattern.data()) != nullptr, "cannot create a temporary folder");
  gDirectory = pattern;
  gPath = gDirectory + "/" + std::string(kPasswordFileName);
  std::atexit(RemoveDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const unsigned char> plaintext(data, size);
  {
    FileSink file(gPath);
    EncryptStreamToFile(plaintext, file, FileKey::FromMasterPassword(kMasterPassword));
    file.Finish();
    fuzz::Check(file.Written() == size, "the password file is not as long as its plaintext");
  }

  PasswordStore store;
  store.SetMasterPassword(kMasterPassword);
  LoadResult result = LoadResult::FileMissing;
  const Outcome loaded = Run([&] { result = store.LoadPasswordsFrom(gPath); });
  if (loaded != Outcome::Loaded) {
    fuzz::Check(store.Entries().empty(), "entries remain after a failed load");
  } else {
    fuzz::Check(result == LoadResult::Loaded, "an existing file is reported missing");
  }

  std::vector<EntryPtr> direct;
  const Outcome read = Run([&] {
    ReadPasswordStream(plaintext, store.Key(),
                       [&direct](EntryPtr entry) { direct.push_back(std::move(entry)); });
  });
  if (loaded != read) {
    std::fprintf(stderr, "==fuzz== load: %s, direct read: %s\n", Name(loaded), Name(read));
    fuzz::Check(false, "loading the file and reading its plaintext disagree");
  }
  if (loaded == Outcome::Loaded) {
    fuzz::Check(fuzz::SameFields(store.Entries(), direct, store.Key()),
                "loaded entries differ from the plaintext");
  }
  return 0;
}
