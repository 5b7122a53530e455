// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "InputOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "core/Error.h"

namespace corvella::cli {
namespace {

std::string MiB(std::size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// Appends what is left in `fd`, but no more than `limit` + 1 bytes; returns 0 or the errno of a
// failed read.
int AppendAtMost(int fd, std::size_t limit, SecureString& out) {
  constexpr std::size_t kChunk = 65536;
  while (out.size() <= limit) {
    const std::size_t size = out.size();
    const std::size_t chunk = std::min(kChunk, limit + 1 - size);
    if (out.capacity() - size < chunk) out.reserve(size + std::max(size, chunk));
    out.resize(size + chunk);
    const ssize_t got = ::read(fd, out.data() + size, chunk);
    out.resize(size + static_cast<std::size_t>(got > 0 ? got : 0));
    if (got == 0) return 0;
    if (got < 0 && errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace

SecureString ReadDocument(const std::string& source) {
  SecureString content;
  if (source == "-") {
    if (const int error = AppendAtMost(STDIN_FILENO, kMaxDocumentSize, content); error != 0) {
      throw Error(std::string("Cannot read standard input. ") + std::strerror(error));
    }
    if (content.size() > kMaxDocumentSize) {
      throw Error("The document on standard input is larger than " + MiB(kMaxDocumentSize));
    }
    return content;
  }
  return interchange::ReadDocumentFile(source);
}

bool ReadLine(int fd, SecureString& line) {
  line.clear();
  bool any = false;
  for (;;) {
    char c = 0;
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0)
      throw Error(std::string("Cannot read the master password. ") + std::strerror(errno));
    if (got == 0) return any;
    any = true;
    if (c == '\n') return true;
    if (line.size() == kMaxPasswordLength) {
      throw Error("The master password is longer than " + std::to_string(kMaxPasswordLength >> 10) +
                  " KiB");
    }
    line += c;
  }
}

void WriteAll(int fd, std::string_view bytes, const std::string& what) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      throw Error("Cannot write to " + what + ". " + std::strerror(put < 0 ? errno : EIO));
    }
    done += static_cast<std::size_t>(put);
  }
}

BufferedOutput::BufferedOutput(int fd, std::string what) : fd_(fd), what_(std::move(what)) {
  buffer_.reserve(kOutputBufferSize);
}

void BufferedOutput::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t taken = std::min(bytes.size(), kOutputBufferSize - buffer_.size());
    buffer_.append(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    if (buffer_.size() == kOutputBufferSize) Flush();
  }
}

void BufferedOutput::Flush() {
  WriteAll(fd_, buffer_.View(), what_);
  Cleanse(buffer_.data(), buffer_.size());
  buffer_.clear();
}

}  // namespace corvella::cli
