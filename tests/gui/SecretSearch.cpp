// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Searches a core image for secrets in every way a program may have left them: as bytes (UTF-8,
// Latin-1), as UTF-16 (either byte order) or UTF-32LE, next to each other or one character every
// few bytes (a record per character, as an undo history keeps them), for every stride up to 32
// bytes.
//
//   corvella_secret_search CORE < needles
//
// Standard input holds one needle a line: printable ASCII, at least 12 characters, so that the
// needles never appear on a command line. For ASCII, each of the encodings puts every character
// into one byte, the other bytes of a character being zero: a search of the character bytes at
// every byte stride up to 32 finds all of them, and the zero bytes around a find tell which
// encoding it is. The output names needles by their line number, never by their text:
//
//   NEEDLE ENCODING STRIDE COUNT FIRST_OFFSET
//
// with ENCODING one of bytes, utf-16le, utf-16be, utf-32le and STRIDE the distance between
// characters in code units (1 for text side by side). Exit status 0 after a search, 2 for wrong
// use.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::size_t kMaxStride = 32;
constexpr std::size_t kMinNeedle = 12;
// Characters per anchor: a needle is looked up by four characters at a time.
constexpr std::size_t kAnchor = 4;
// Every needle has at least kMinNeedle - kAnchor + 1 anchors in a row, so looking at every
// kStep-th character of a stride's sequence meets one of them.
constexpr std::size_t kStep = kMinNeedle - kAnchor + 1;
constexpr unsigned kFilterBits = 22;

struct Anchor {
  std::size_t needle;
  std::size_t offset;  // in characters from the needle's start
};

std::uint32_t AnchorKey(const unsigned char* at, std::size_t stride) {
  return std::uint32_t{at[0]} | std::uint32_t{at[stride]} << 8 |
         std::uint32_t{at[2 * stride]} << 16 | std::uint32_t{at[3 * stride]} << 24;
}

std::size_t FilterSlot(std::uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kFilterBits); }

class Core {
 public:
  explicit Core(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
      std::perror(path);
      return;
    }
    size_ = static_cast<std::size_t>(info.st_size);
    if (size_ != 0) {
      void* mapped = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
      if (mapped == MAP_FAILED) {
        std::perror(path);
        size_ = 0;
      } else {
        data_ = static_cast<const unsigned char*>(mapped);
      }
    }
    close(fd);
  }
  ~Core() {
    if (data_ != nullptr) munmap(const_cast<unsigned char*>(data_), size_);
  }
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  bool Valid() const { return data_ != nullptr; }
  const unsigned char* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
};

// Which encoding a find at `position` is: the bytes beside each character tell. A stride that is
// no whole number of code units is a find of bytes.
const char* EncodingAt(const Core& core, std::size_t position, std::size_t stride,
                       std::size_t length, std::size_t& unit) {
  const unsigned char* data = core.Data();
  const auto zeroAfter = [&](std::size_t count) {
    for (std::size_t i = 0; i < length; ++i) {
      const std::size_t at = position + i * stride;
      if (at + count >= core.Size()) return false;
      for (std::size_t k = 1; k <= count; ++k) {
        if (data[at + k] != 0) return false;
      }
    }
    return true;
  };
  const auto zeroBefore = [&] {
    for (std::size_t i = 0; i < length; ++i) {
      const std::size_t at = position + i * stride;
      if (at == 0 || data[at - 1] != 0) return false;
    }
    return true;
  };
  if (stride % 4 == 0 && zeroAfter(3)) {
    unit = 4;
    return "utf-32le";
  }
  if (stride % 2 == 0 && zeroAfter(1)) {
    unit = 2;
    return "utf-16le";
  }
  if (stride % 2 == 0 && zeroBefore()) {
    unit = 2;
    return "utf-16be";
  }
  unit = 1;
  return "bytes";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: corvella_secret_search CORE < needles\n";
    return 2;
  }
  std::vector<std::string> needles;
  for (std::string line; std::getline(std::cin, line);) {
    if (line.size() < kMinNeedle) {
      std::cerr << "needle " << needles.size() << " is shorter than " << kMinNeedle << "\n";
      return 2;
    }
    for (const char c : line) {
      if (c < '!' || c > '~') {
        std::cerr << "needle " << needles.size() << " is not printable ASCII\n";
        return 2;
      }
    }
    needles.push_back(line);
  }
  const Core core(argv[1]);
  if (!core.Valid()) return 2;

  std::vector<std::uint64_t> filter((std::size_t{1} << kFilterBits) / 64);
  std::unordered_map<std::uint32_t, std::vector<Anchor>> anchors;
  for (std::size_t n = 0; n < needles.size(); ++n) {
    const auto* text = reinterpret_cast<const unsigned char*>(needles[n].data());
    for (std::size_t offset = 0; offset + kAnchor <= needles[n].size(); ++offset) {
      const std::uint32_t key = AnchorKey(text + offset, 1);
      filter[FilterSlot(key) / 64] |= std::uint64_t{1} << FilterSlot(key) % 64;
      anchors[key].push_back({n, offset});
    }
  }

  const unsigned char* data = core.Data();
  const std::size_t size = core.Size();
  std::set<std::tuple<std::size_t, std::size_t, std::size_t>> finds;  // needle, stride, position
  for (std::size_t stride = 1; stride <= kMaxStride; ++stride) {
    const std::size_t reach = (kAnchor - 1) * stride;
    if (size <= reach) break;
    const std::size_t last = size - reach;  // anchors start before this
    for (std::size_t block = 0; block < last; block += kStep * stride) {
      const std::size_t end = std::min(block + stride, last);
      for (std::size_t at = block; at < end; ++at) {
        const std::uint32_t key = AnchorKey(data + at, stride);
        const std::size_t slot = FilterSlot(key);
        if ((filter[slot / 64] >> slot % 64 & 1) == 0) continue;
        const auto found = anchors.find(key);
        if (found == anchors.end()) continue;
        for (const Anchor& anchor : found->second) {
          const std::string& needle = needles[anchor.needle];
          if (anchor.offset * stride > at) continue;
          const std::size_t start = at - anchor.offset * stride;
          if (start + (needle.size() - 1) * stride >= size) continue;
          bool whole = true;
          for (std::size_t i = 0; i < needle.size() && whole; ++i) {
            whole = data[start + i * stride] == static_cast<unsigned char>(needle[i]);
          }
          if (whole) finds.emplace(anchor.needle, stride, start);
        }
      }
    }
  }

  // needle, encoding, stride in units -> count, first offset
  std::map<std::tuple<std::size_t, std::string, std::size_t>, std::pair<std::size_t, std::size_t>>
      summary;
  for (const auto& [needle, stride, position] : finds) {
    std::size_t unit = 1;
    const char* encoding = EncodingAt(core, position, stride, needles[needle].size(), unit);
    auto& [count, first] = summary[{needle, encoding, stride / unit}];
    // A UTF-16BE character begins with its zero byte.
    if (count++ == 0) first = std::string_view(encoding) == "utf-16be" ? position - 1 : position;
  }
  for (const auto& [key, value] : summary) {
    const auto& [needle, encoding, stride] = key;
    std::cout << needle << ' ' << encoding << ' ' << stride << ' ' << value.first << ' '
              << value.second << '\n';
  }
  return 0;
}
