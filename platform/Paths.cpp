// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace corvella::platform {
namespace {

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr) return entry->pw_dir;
  return "/";
}

// An XDG base directory: the variable when it holds an absolute path, else the default below home.
std::string XdgDir(const char* variable, const char* defaultBelowHome) {
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
    return WithTrailingSlash(value);
  }
  return WithTrailingSlash(WithTrailingSlash(HomeDir()) + defaultBelowHome);
}

}  // namespace

std::string ProgramPath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

const std::string& ProgramDir() {
  static const std::string directory = [] {
    const std::string path = ProgramPath();
    return path.empty() ? path : WithTrailingSlash(path.substr(0, path.find_last_of('/') + 1));
  }();
  return directory;
}

std::string UserDataDir() { return XdgDir("XDG_DATA_HOME", ".local/share"); }

std::string UserConfigDir() { return XdgDir("XDG_CONFIG_HOME", ".config"); }

}  // namespace corvella::platform
