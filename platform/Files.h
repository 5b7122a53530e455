// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvella::platform {

// True when `path` names an existing file that is not a directory.
bool FileExists(const std::string& path);

// Creates `path` with every missing parent, new folders with mode 0700. A failure names the
// folder that could not be made: `Cannot create folder "<folder>". <cause>`, where a file in
// the way reads "Not a directory".
void CreateDirectories(const std::string& path);

// Directory part of `path`, without a trailing separator.
std::string DirectoryOf(const std::string& path);

// The file that `path` leads to: `path` itself, or where it is a symbolic link, the end of its
// chain of links (which need not exist yet). Links in the folders above are left to the kernel.
std::string ResolveLinks(const std::string& path);

// Removes what saves of `path` that were killed left behind: their temporary files, as far as
// they belong to this user. Only for the one writer of `path`, who holds its VaultLock.
void RemoveLeftoverTemporaries(const std::string& path);

// Which file a path named when it was looked at: a file replaced meanwhile differs from it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `path` leads to; nothing when there is none.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// Makes `copyPath` a copy of the file at `path` as it is now, in one step: a complete copy
// replaces whatever was at `copyPath`, or nothing changes and an Error naming `copyPath` is
// raised. The copy has mode 0600. Where it can, the copy is a second name of the same file (a
// hard link); it is written out where linking is impossible or the file's mode is not 0600.
// A second name is on the disk once its folder is synced, as a commit of a file there does: the
// copy is kept for a file about to be replaced beside it. False, with nothing done, when there is
// no file at `path`.
bool KeepCopy(const std::string& path, const std::string& copyPath);

// Gives the file at `path` the name `otherPath` as well, in one step, replacing what was there;
// where a second name is impossible, the file is moved there. False, with nothing done, when
// there is no file at `path`. A failure is an Error naming `otherPath`.
bool KeepUnderName(const std::string& path, const std::string& otherPath);

// Removes the file at `path`; false when there was none. Other failures are Errors naming it.
bool RemoveFile(const std::string& path);

// Raises an Error that reads `<what> "<path>". <the system's text for the errno value>`, such as
// `Cannot open file "/a/b". No such file or directory`.
[[noreturn]] void ThrowFileError(const char* what, const std::string& path, int error);

// Large enough that a vault of thousands of entries takes a few system calls, small enough for
// the stack.
constexpr std::size_t kMaxWriteSize = 64 << 10;

// Byte origin of the file cipher.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // The next `room.size()` bytes: read into `room`, or where the source already holds them in
  // memory, valid until the next call. Reads are exact: a failed or premature end is an error.
  virtual std::span<const unsigned char> Read(std::span<unsigned char> room) = 0;
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
  const FileIdentity& Identity() const { return identity_; }
  // Fills `destination` with the next bytes.
  void ReadInto(std::span<unsigned char> destination);
  std::span<const unsigned char> Read(std::span<unsigned char> room) override {
    ReadInto(room);
    return room;
  }

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  FileIdentity identity_;
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

// Writes a file as one step. The new content goes to a temporary file of this writer's own
// beside `path` (".<name>.XXXXXX.tmp", a new file with mode 0600), which is flushed to disk and
// then renamed over `path` by Commit(), or put at `path` by CommitNew(); Complete() flushes it
// beforehand, so that a step can come between the complete file and its rename. A symbolic link at
// `path` is replaced, not followed. Every failure is an error naming `path`; up to the rename
// it leaves the previous file untouched and removes the temporary file, and a failure to flush
// the folder after the rename is reported as well.
class AtomicFileWriter final : public ByteSink {
 public:
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter() override;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  std::span<unsigned char> Next(std::size_t count) override;
  // Appends `bytes` whole.
  void Write(std::string_view bytes);
  // Flushes the content to disk and closes the temporary file; nothing can be written after.
  void Complete();
  // Replaces whatever is at `path`.
  void Commit();
  // Puts the file at `path` only while nothing is there (not even a dangling link), else raises
  // `Cannot create file "<path>". File exists` and leaves what is there alone.
  void CommitNew();

  const std::string& TemporaryPath() const { return temporaryPath_; }
  // The new file's identity, once it is complete.
  const FileIdentity& Identity() const { return identity_; }

 private:
  void WritePending();
  // Removes the temporary file; it is not ours any more afterwards.
  void Discard();

  std::string path_;
  std::string temporaryPath_;
  int fd_ = -1;
  bool temporaryExists_ = true;
  FileIdentity identity_;
  std::array<unsigned char, kMaxWriteSize> buffer_;
  std::size_t pending_ = 0;
};

}  // namespace corvella::platform
