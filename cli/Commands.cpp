// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "InputOutput.h"
#include "PasswordPrompt.h"
#include "core/Error.h"
#include "interchange/Csv.h"
#include "interchange/Import.h"
#include "interchange/Json.h"
#include "interchange/PlainEntry.h"
#include "platform/Files.h"
#include "platform/VaultLock.h"
#include "store/Errors.h"
#include "store/MasterPassword.h"
#include "store/PasswordStore.h"
#include "store/PasswordStream.h"
#include "store/TextCodec.h"

namespace corvella::cli {
namespace {

using interchange::ImportedDocument;
using interchange::PlainEntry;

constexpr std::string_view kPrompt = "Master password: ";
constexpr std::string_view kRepeatPrompt = "Repeat: ";

bool PathExists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// Fails before the master password is asked for when the password file cannot be read.
void CheckReadable(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    throw Error("Password file " + path + " not found");
  }
  const platform::InputFile probe(path);
  // The file is as long as its stream, whose length the format holds in 32 bits.
  if (probe.Size() > std::numeric_limits<std::uint32_t>::max()) {
    throw Error("The password file " + path + " is too large (more than 4 GiB)");
  }
}

SecureString AskOrRead(const Options& options, std::string_view prompt) {
  return options.passwordFromStdin ? ReadPasswordFromStdin() : AskPassword(prompt);
}

SecureString ExistingMasterPassword(const Options& options) { return AskOrRead(options, kPrompt); }

SecureString NewMasterPassword(const Options& options) {
  SecureString password = ExistingMasterPassword(options);
  if (password.size() < kMinimumMasterPasswordLength) {
    throw Error("The password you entered is too short. Please enter a password that is at least " +
                std::to_string(kMinimumMasterPasswordLength) + " characters long");
  }
  if (!options.passwordFromStdin && AskPassword(kRepeatPrompt) != password) {
    throw Error("The passwords you enter don't match.");
  }
  return password;
}

// Runs `open`, which tells whether the password file was there, turning the store's failures into
// messages that say what went wrong with which file.
void OpenWithMessages(const std::string& path, const std::function<bool()>& open) {
  try {
    if (!open()) throw Error("Password file " + path + " not found");
  } catch (const InvalidPasswordError&) {
    throw Error("Invalid master password");
  } catch (const StreamReadError& error) {
    throw Error("The password file " + path + " is damaged: " + error.what());
  }
}

// Loads the password file into `store` with the typed master password.
void LoadWithPassword(PasswordStore& store, const SecureString& typed, const std::string& path) {
  OpenWithMessages(
      path, [&] { return OpenWithTypedPassword(store, typed.View(), path) == LoadResult::Loaded; });
}

// Asks the master password and loads the password file, whose lock the caller holds.
void LoadStore(PasswordStore& store, const Options& options, const std::string& path) {
  LoadWithPassword(store, ExistingMasterPassword(options), path);
}

// The password stream of the file, to read it without making entries. It is checked whole before
// it is returned, so that nothing is written of a file found damaged later.
SecureBytes OpenStream(const Options& options, const std::string& path) {
  CheckReadable(path);
  const platform::VaultLock lock(path, platform::VaultLock::Purpose::Read);
  const SecureString typed = ExistingMasterPassword(options);
  std::optional<SecureBytes> stream;
  OpenWithMessages(path, [&] {
    stream = ReadCheckedStream(typed.View(), path);
    return stream.has_value();
  });
  return std::move(*stream);
}

// A field of a list line. Control characters (C0, DEL, C1) would act on the terminal, and tabs
// and line breaks would split the line or its columns: they are shown as escapes, and so is the
// backslash, so that every escape reads back to one character.
SecureString ListField(std::string_view bytes) {
  constexpr std::string_view kHexDigits = "0123456789abcdef";
  constexpr std::string_view kEscapedChars = "\t\n\r\\";
  constexpr std::string_view kEscapeLetters = "tnr\\";
  const SecureString text = SecretDisplayText(bytes);
  SecureString shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned code = static_cast<unsigned char>(text[i]);
    const unsigned next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (code == 0xC2 && next >= 0x80 && next <= 0x9F) {
      code = next;  // U+0080..U+009F in UTF-8
      ++i;
    } else if (code >= 0x20 && code != 0x7F && code != '\\') {
      shown += text[i];
      continue;
    }
    if (const auto escape = kEscapedChars.find(static_cast<char>(code));
        escape != std::string_view::npos) {
      shown += '\\';
      shown += kEscapeLetters[escape];
    } else {
      shown += "\\x";
      shown += kHexDigits[code >> 4];
      shown += kHexDigits[code & 0x0F];
    }
  }
  return shown;
}

void List(const Options& options, const std::string& path, BufferedOutput& out) {
  const SecureBytes stream = OpenStream(options, path);
  SecureString line;
  ReadPasswordRecords(stream, [&](const RecordView& record) {
    line = ListField(record.siteName);
    line += '\t';
    line += ListField(record.userName);
    line += '\t';
    line += ListField(record.url);
    line += '\n';
    out.Write(line.View());
  });
}

// Writes the document an entry at a time, each as soon as it is made.
template <class Writer>
void WriteDocument(std::span<const unsigned char> stream, Writer writer, BufferedOutput& out) {
  SecureString piece;
  writer.Begin(piece);
  ReadPasswordRecords(stream, [&](const RecordView& record) {
    writer.Add(interchange::PlainEntryOf(record), piece);
    out.Write(piece.View());
    piece.clear();
  });
  writer.End(piece);
  out.Write(piece.View());
}

void Export(const Options& options, const std::string& path, BufferedOutput& out) {
  const SecureBytes stream = OpenStream(options, path);
  if (options.documentFormat == Format::Csv) {
    WriteDocument(stream, interchange::CsvWriter(), out);
  } else {
    WriteDocument(stream, interchange::JsonWriter(), out);
  }
}

// The document to import, read whole.
class ImportSource {
 public:
  explicit ImportSource(const Options& options)
      : name_(options.source == "-" ? "standard input" : options.source),
        text_(ReadDocument(options.source)),
        format_(options.documentFormat == Format::Csv    ? interchange::DocumentFormat::Csv
                : options.documentFormat == Format::Json ? interchange::DocumentFormat::Json
                                                         : interchange::DocumentFormat::Auto) {}

  // interchange::ReadExport of the document, either form; a failure names the document.
  template <class... Visitor>
  auto Read(const Visitor&... visit) const {
    try {
      return interchange::ReadExport(text_.View(), format_, visit...);
    } catch (const Error& error) {
      throw Error("Cannot import " + name_ + ": " + error.what());
    }
  }

 private:
  std::string name_;
  SecureString text_;
  interchange::DocumentFormat format_;
};

void WriteImportReport(std::size_t added, std::size_t duplicates, std::size_t notLogins,
                       BufferedOutput& out) {
  out.Write(interchange::ImportReport(added, duplicates, notLogins) + "\n");
}

void Import(const Options& options, const std::string& path, BufferedOutput& out) {
  if (PathExists(path)) throw Error("The file " + path + " already exists");
  // With the password on standard input, the document may follow it there.
  SecureString password;
  if (options.passwordFromStdin) password = NewMasterPassword(options);
  const ImportSource document(options);
  if (!options.passwordFromStdin) {
    // A document that cannot be imported is refused before a password is asked for.
    document.Read([](const PlainEntry& /*login*/) {});
    password = NewMasterPassword(options);
  }

  std::size_t added = 0;
  std::size_t notLogins = 0;
  // The new file appears only when complete, and never over one that appeared meanwhile. Each
  // login goes into it as soon as it is read: nothing here needs them held as entries.
  const platform::VaultLock lock(path);
  PasswordStore::CreatePasswordFile(path, FileKey::FromMasterPassword(password.View()),
                                    [&](PasswordStreamWriter& file) {
                                      notLogins = document.Read([&](const PlainEntry& login) {
                                        file.Add(interchange::RecordOf(login));
                                        ++added;
                                      });
                                    });
  WriteImportReport(added, 0, notLogins, out);
}

// Adds the document's logins to an existing vault, but none whose four fields equal those of an
// entry already there or earlier in the document. The lock is held from the load to the save.
void ImportInto(const Options& options, const std::string& path, BufferedOutput& out) {
  CheckReadable(path);
  const platform::VaultLock lock(path);
  PasswordStore store;
  LoadStore(store, options, path);
  const ImportedDocument document = ImportSource(options).Read();

  interchange::SeenEntries seen;
  for (const EntryPtr& entry : store.Entries())
    seen.Insert(interchange::PlainEntryOf(*entry, store.Key()));
  std::size_t added = 0;
  for (const PlainEntry& plain : document.entries) {
    if (!seen.Insert(plain)) continue;
    store.AddEntry(interchange::NewEntry(plain, store.Key()));
    ++added;
  }
  if (added > 0) store.SavePasswordsTo(path);
  WriteImportReport(added, document.entries.size() - added, document.notLogins, out);
}

// Rewrites the password file under a new master password, holding its lock from the load on.
void ChangePassword(const Options& options, const std::string& path) {
  CheckReadable(path);
  const platform::VaultLock lock(path);
  PasswordStore store;
  const SecureString current = AskOrRead(options, "Current master password: ");
  LoadWithPassword(store, current, path);
  const SecureString newPassword = AskOrRead(options, "New master password: ");
  if (AskOrRead(options, kRepeatPrompt) != newPassword) {
    throw Error("The passwords you enter don't match.");
  }
  ChangeMasterPassword(store, current.View(), newPassword.View(), path);
}

}  // namespace

void RunCommand(const Options& options, BufferedOutput& out) {
  switch (options.command) {
    case CommandKind::List:
      return List(options, options.file.value_or(GetPasswordFileName()), out);
    case CommandKind::Export:
      return Export(options, options.file.value_or(GetPasswordFileName()), out);
    case CommandKind::Import:
      return options.into ? ImportInto(options, *options.into, out)
                          : Import(options, *options.file, out);
    case CommandKind::Passwd:
      return ChangePassword(options, options.file.value_or(GetPasswordFileName()));
    case CommandKind::Help:
      break;
  }
}

}  // namespace corvella::cli
