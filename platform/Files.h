#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace corvella::platform {

// True when `path` names an existing file that is not a directory.
bool FileExists(const std::string& path);

// Creates `path` with every missing parent. Failures are not reported here: the file created
// inside it afterwards reports them.
void CreateDirectories(const std::string& path);

// Directory part of `path`, without a trailing separator.
std::string DirectoryOf(const std::string& path);

// Raises an Error that reads `<what> "<path>". <the system's text for the errno value>`, such as
// `Cannot open file "/a/b". No such file or directory`.
[[noreturn]] void ThrowFileError(const char* what, const std::string& path, int error);

constexpr std::size_t kMaxReadSize = 8192;
constexpr std::size_t kMaxWriteSize = 8192;

// Byte origin of the file cipher.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // The next `count` (at most kMaxReadSize) bytes, valid until the next call. Reads are exact:
  // a failed or premature end is an error.
  virtual std::span<const unsigned char> Read(std::size_t count) = 0;
};

// A regular file opened for reading only. Anything else (a FIFO, a device, a folder) is refused
// with an Error naming it; opening never waits for a writer.
class InputFile final : public ByteSource {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::uint64_t Size() const override { return size_; }
  std::span<const unsigned char> Read(std::size_t count) override;

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::array<unsigned char, kMaxReadSize> buffer_;
};

// Byte destination of the file cipher. The sink lends the memory that the next bytes are made
// in, so that they are not copied once more: Next(count) returns room for `count` (at most
// kMaxWriteSize) bytes, which the caller fills completely; they are stored by the following
// Next() or by the sink's final step.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual std::span<unsigned char> Next(std::size_t count) = 0;
};

// Replaces a file as one step: the new content goes to "<path>.tmp" (created anew with mode
// 0600), then Commit() flushes it to disk and renames it over `path`. Every failure is an error.
// A failure up to the rename leaves the previous file untouched and removes the temporary file;
// a failure to flush the folder after the rename is reported as well.
class AtomicFileWriter final : public ByteSink {
 public:
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter() override;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  std::span<unsigned char> Next(std::size_t count) override;
  void Commit();

  const std::string& TemporaryPath() const { return temporaryPath_; }

 private:
  void WritePending();

  std::string path_;
  std::string temporaryPath_;
  int fd_ = -1;
  std::array<unsigned char, kMaxWriteSize> buffer_;
  std::size_t pending_ = 0;
};

}  // namespace corvella::platform
