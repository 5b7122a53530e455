#pragma once

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

// Byte origin of the file cipher. Reads are exact: a failed or premature end is an error.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  virtual void ReadExact(std::span<unsigned char> buffer) = 0;
};

// A file opened for reading only.
class InputFile final : public ByteSource {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::uint64_t Size() const override { return size_; }
  void ReadExact(std::span<unsigned char> buffer) override;

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Byte destination of the file cipher.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::span<const unsigned char> bytes) = 0;
};

// Replaces a file as one step: the new content goes to "<path>.tmp" (mode 0600, truncated if it
// was left over), then Commit() flushes it to disk and renames it over `path`. Every failure is
// an error and leaves the previous file untouched; an uncommitted temporary file is removed.
class AtomicFileWriter final : public ByteSink {
 public:
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter() override;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(std::span<const unsigned char> bytes) override;
  void Commit();

  const std::string& TemporaryPath() const { return temporaryPath_; }

 private:
  std::string path_;
  std::string temporaryPath_;
  int fd_ = -1;
};

}  // namespace corvella::platform
