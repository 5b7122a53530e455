// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandLine.h"

#include "store/PasswordStore.h"

namespace corvella::cli {
namespace {

std::optional<CommandKind> CommandNamed(const std::string& name) {
  if (name == "list") return CommandKind::List;
  if (name == "export") return CommandKind::Export;
  if (name == "import") return CommandKind::Import;
  if (name == "passwd") return CommandKind::Passwd;
  return std::nullopt;
}

Format FormatNamed(const std::string& name) {
  if (name == "json") return Format::Json;
  if (name == "csv") return Format::Csv;
  if (name == "auto") return Format::Auto;
  throw UsageError("unknown format \"" + name + "\" (use json, csv or, for import, auto)");
}

void CheckImport(Options& options, const std::vector<std::string>& positional) {
  if (!options.documentFormat) options.documentFormat = Format::Auto;
  if (positional.size() != 1)
    throw UsageError("import needs one SOURCE (a file, or - for standard input)");
  if (options.file && options.into) throw UsageError("import takes --file or --into, not both");
  if (!options.file && !options.into) {
    throw UsageError(
        "import needs --file with the path of a new password file, or --into with an existing "
        "one");
  }
  options.source = positional.front();
}

}  // namespace

Options ParseCommandLine(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "--help" || argument == "-h") return {};
  }

  Options options;
  std::optional<CommandKind> command;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
      if (!command) {
        command = CommandNamed(argument);
        if (!command) throw UsageError("unknown command \"" + argument + "\"");
      } else {
        positional.push_back(argument);
      }
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    const auto equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    // The value of an option that takes one: "--name=value" or "--name value".
    const auto value = [&]() -> std::string {
      if (equals != std::string::npos) return argument.substr(equals + 1);
      if (i + 1 == arguments.size()) throw UsageError(name + " needs a value");
      return arguments[++i];
    };
    if (name == "--file") {
      if (options.file) throw UsageError("--file is given twice");
      options.file = value();
      if (options.file->empty()) throw UsageError("--file needs a path");
    } else if (name == "--format") {
      if (options.documentFormat) throw UsageError("--format is given twice");
      options.documentFormat = FormatNamed(value());
    } else if (name == "--into") {
      if (options.into) throw UsageError("--into is given twice");
      options.into = value();
      if (options.into->empty()) throw UsageError("--into needs a path");
    } else if (name == "--password-stdin") {
      if (equals != std::string::npos) throw UsageError("--password-stdin takes no value");
      options.passwordFromStdin = true;
    } else {
      throw UsageError("unknown option " + name);
    }
  }

  if (!command) throw UsageError("no command given");
  options.command = *command;
  switch (options.command) {
    case CommandKind::List:
      if (options.documentFormat) throw UsageError("list takes no --format");
      if (options.into) throw UsageError("only import takes --into");
      if (!positional.empty()) throw UsageError("list takes no arguments");
      break;
    case CommandKind::Export:
      if (!positional.empty()) throw UsageError("export takes no arguments");
      if (options.into) throw UsageError("only import takes --into");
      if (!options.documentFormat) options.documentFormat = Format::Json;
      if (options.documentFormat == Format::Auto) throw UsageError("export needs json or csv");
      break;
    case CommandKind::Import:
      CheckImport(options, positional);
      break;
    case CommandKind::Passwd:
      if (options.into) throw UsageError("only import takes --into");
      if (options.documentFormat) throw UsageError("passwd takes no --format");
      if (!positional.empty()) throw UsageError("passwd takes no arguments");
      break;
    case CommandKind::Help:
      break;
  }
  return options;
}

std::string UsageText() {
  return "Usage: corvella-cli COMMAND [OPTIONS]\n"
         "\n"
         "Commands:\n"
         "  list [--file PATH]\n"
         "      Show every entry as one line: site name, user name and address, separated by\n"
         "      tabs. Inside a field, tab, line feed, carriage return and backslash are shown\n"
         "      as \\t, \\n, \\r and \\\\, other control characters (U+0000-U+001F, U+007F,\n"
         "      U+0080-U+009F) as \\xHH with their code in hexadecimal.\n"
         "  export [--file PATH] [--format json|csv]\n"
         "      Write every entry with its password to standard output (JSON unless csv is\n"
         "      asked for).\n"
         "  import [--format auto|json|csv] SOURCE --file NEWPATH\n"
         "      Write a new password file NEWPATH from a document; SOURCE is a file, or - for\n"
         "      standard input. NEWPATH must not exist yet. The master password is asked twice\n"
         "      and must be at least 6 bytes long.\n"
         "  import [--format auto|json|csv] SOURCE --into PATH\n"
         "      Add the logins of a document to the existing password file PATH, leaving out\n"
         "      those whose four fields equal an entry's already there.\n"
         "  passwd [--file PATH]\n"
         "      Change the master password: asks for the current one, then the new one twice\n"
         "      (at least 6 bytes). The file and its backup (PATH.bak) are written anew under\n"
         "      the new one; on any failure the file stays as it was.\n"
         "\n"
         "Options:\n"
         "  --file PATH       The password file. Default for list, export and passwd:\n"
         "                    " +
         GetPasswordFileName() +
         "\n"
         "  --format FORMAT   json or csv; for import also auto (the default), which tells\n"
         "                    the two apart by the document's content.\n"
         "  --password-stdin  Read the master password from the first line of standard input\n"
         "                    instead of the terminal. For import from -, the document follows\n"
         "                    on the next lines. For passwd, three lines: the current\n"
         "                    password, the new one and the new one again.\n"
         "  -h, --help        Show this text.\n"
         "\n"
         "Documents: JSON is an array of objects with the keys siteName, url, userName and\n"
         "password, each a text; CSV (RFC 4180) has a header row naming these columns. Missing\n"
         "keys or columns are empty. Texts are UTF-8; stored texts that are not are read as\n"
         "Windows-1252. Import also reads the CSV exports of KeePassXC, Bitwarden, Chrome (and\n"
         "the browsers built on it) and Firefox, and Bitwarden's unencrypted JSON export; items\n"
         "that are not logins are skipped. Import reports \"N added, M skipped\".\n"
         "\n"
         "Limits: a document is at most 64 MiB, a master password at most 64 KiB and a\n"
         "password file at most 4 GiB. Password files and documents given by path must be\n"
         "regular files (not FIFOs, devices or folders); a document on standard input (-) may\n"
         "come through a pipe.\n"
         "\n"
         "The tool changes an existing password file only for import --into and passwd.\n"
         "Exit status: 0 on success, 1 on failure, 2 on wrong use.\n";
}

}  // namespace corvella::cli
