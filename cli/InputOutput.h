// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "interchange/Import.h"
#include "store/SecureMemory.h"

namespace corvella::cli {

using interchange::kMaxDocumentSize;
// A bound on what is read, so that endless input (/dev/zero, a pipe that never ends) is an error
// rather than a hang or an exhausted memory.
constexpr std::size_t kMaxPasswordLength = std::size_t{64} << 10;

// The whole content of a regular file, or of standard input for "-", at most kMaxDocumentSize
// bytes. Anything else (a FIFO, a device, a folder, more bytes) raises an Error naming the file.
SecureString ReadDocument(const std::string& source);

// Reads one line of the master password from `fd` a byte at a time, so that what follows stays
// unread. The line break is not part of the result. Returns false at the end of input when
// nothing was read; a line longer than kMaxPasswordLength is an Error.
bool ReadLine(int fd, SecureString& line);

// Writes all of `bytes` to `fd`; a failure is an Error naming `what`.
void WriteAll(int fd, std::string_view bytes, const std::string& what);

constexpr std::size_t kOutputBufferSize = std::size_t{64} << 10;

// Output to `fd` through a buffer of kOutputBufferSize bytes in memory that is wiped: what is
// written goes out whenever the buffer is full, the rest at Flush. Nothing goes out when it is
// destroyed, so that a failure leaves unwritten what was not flushed yet. Failures as WriteAll.
class BufferedOutput {
 public:
  BufferedOutput(int fd, std::string what);
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  void Write(std::string_view bytes);
  void Flush();

 private:
  int fd_;
  std::string what_;
  SecureString buffer_;
};

}  // namespace corvella::cli
