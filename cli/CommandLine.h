// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvella::cli {

enum class CommandKind { Help, List, Export, Import, Passwd };
enum class Format { Json, Csv, Auto };

struct Options {
  CommandKind command = CommandKind::Help;
  std::optional<std::string> file;
  std::optional<Format> documentFormat;
  bool passwordFromStdin = false;
  // The document to import: a path, or "-" for standard input.
  std::string source;
  // The existing password file that an import adds to.
  std::optional<std::string> into;
};

// Wrong use of the command line; the message names the problem in one line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. "--help" anywhere asks for the usage text.
Options ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace corvella::cli
