// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers shared by the store's unit tests: hex texts and the vector files that vaultref.py
// writes into $CORVELLA_VECTORS_DIR.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace corvella::test {

// Bytes of a hex text; "-" stands for no bytes.
inline std::string FromHex(std::string_view hex) {
  if (hex == "-") return {};
  EXPECT_EQ(hex.size() % 2, 0u) << hex;
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    ADD_FAILURE() << "not a hex digit: " << c;
    return 0;
  };
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
  }
  return bytes;
}

inline std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

inline std::string ToHex(std::span<const unsigned char> bytes) {
  return ToHex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::span<const unsigned char> Bytes(std::string_view text) {
  return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

inline std::string VectorsDir() {
  const char* dir = std::getenv("CORVELLA_VECTORS_DIR");
  if (dir == nullptr || *dir == '\0') {
    ADD_FAILURE() << "CORVELLA_VECTORS_DIR is not set (run the tests through ctest)";
    return "./";
  }
  return std::string(dir) + "/";
}

inline std::string VectorPath(const std::string& name) { return VectorsDir() + name; }

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The whitespace-separated fields of every non-empty line of a vector file.
inline std::vector<std::vector<std::string>> ReadVectorLines(const std::string& name,
                                                             std::size_t fields) {
  std::istringstream in(ReadFile(VectorPath(name)));
  std::vector<std::vector<std::string>> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string word; words >> word;) row.push_back(word);
    EXPECT_EQ(row.size(), fields) << name << ": " << line;
    if (row.size() == fields) lines.push_back(std::move(row));
  }
  EXPECT_FALSE(lines.empty()) << name << " holds no vectors";
  return lines;
}

}  // namespace corvella::test
