// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A fresh directory under $TMPDIR (else /tmp), removed with everything in it when the object goes.

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace corvella::tests {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
    if (pattern.back() != '/') pattern += '/';
    pattern += "corvella-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
      throw std::runtime_error(std::string("mkdtemp failed: ") + std::strerror(errno));
    }
    path_ = name.data();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without a trailing '/'.
  const std::string& Path() const { return path_; }
  // The directory with a trailing '/', as the folder arguments of the store expect.
  std::string Dir() const { return path_ + '/'; }
  // `relative` inside the directory.
  std::string operator/(const std::string& relative) const { return path_ + '/' + relative; }

 private:
  std::string path_;
};

// Names of the entries directly inside `directory`.
inline std::set<std::string> ListDirectory(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(directory)) {
    names.insert(item.path().filename().string());
  }
  return names;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

// Permission bits of `path` (0 when it does not exist).
inline unsigned FileMode(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return 0;
  return status.st_mode & 07777u;
}

}  // namespace corvella::tests
