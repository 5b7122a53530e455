// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestVectors.h"
#include "store/Errors.h"
#include "store/MasterPassword.h"
#include "store/PasswordStream.h"
#include "store/SessionKey.h"

namespace corvella {
namespace {

using test::FromHex;
using test::ToHex;
using test::VectorPath;

struct Fields {
  std::string siteName;
  std::string url;
  std::string userName;
  std::string password;

  bool operator==(const Fields&) const = default;
};

void PrintTo(const Fields& f, std::ostream* out) {
  *out << "{" << ToHex(f.siteName) << ", " << ToHex(f.url) << ", " << ToHex(f.userName) << ", "
       << ToHex(f.password) << "}";
}

Fields FieldsOf(const Entry& entry, const SessionKey& key) {
  return {std::string(entry.SiteName()), std::string(entry.Url()), std::string(entry.UserName()),
          std::string(entry.Password(key).View())};
}

std::vector<Fields> FieldsOf(const PasswordStore& store) {
  std::vector<Fields> fields;
  for (const EntryPtr& entry : store.Entries()) fields.push_back(FieldsOf(*entry, store.Key()));
  return fields;
}

// Reads the entry lists that vaultref.py writes: an array of objects whose values are strings
// or {"hex": "..."}.
class EntriesJson {
 public:
  static std::vector<Fields> Parse(std::string_view text) {
    EntriesJson json(text);
    std::vector<Fields> entries;
    json.Expect('[');
    if (!json.Accept(']')) {
      do entries.push_back(json.Entry());
      while (json.Accept(','));
      json.Expect(']');
    }
    json.SkipSpace();
    EXPECT_EQ(json.pos_, text.size()) << "trailing text in JSON";
    return entries;
  }

 private:
  explicit EntriesJson(std::string_view text) : text_(text) {}

  void SkipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool Accept(char c) {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  void Expect(char c) {
    if (!Accept(c)) {
      ADD_FAILURE() << "expected '" << c << "' at " << pos_;
      pos_ = text_.size();
    }
  }

  Fields Entry() {
    Fields f;
    Expect('{');
    if (Accept('}')) return f;
    do {
      const std::string key = String();
      Expect(':');
      const std::string value = Value();
      if (key == "siteName") {
        f.siteName = value;
      } else if (key == "url") {
        f.url = value;
      } else if (key == "userName") {
        f.userName = value;
      } else if (key == "password") {
        f.password = value;
      } else {
        ADD_FAILURE() << "unexpected key " << key;
      }
    } while (Accept(','));
    Expect('}');
    return f;
  }

  std::string Value() {
    SkipSpace();
    if (!Accept('{')) return String();
    const std::string key = String();
    EXPECT_EQ(key, "hex");
    Expect(':');
    const std::string hex = String();
    Expect('}');
    return hex.empty() ? std::string() : FromHex(hex);
  }

  unsigned Hex4() {
    const std::string bytes = FromHex(text_.substr(pos_, 4));
    pos_ += 4;
    unsigned value = 0;
    for (const char byte : bytes) value = value << 8 | static_cast<unsigned char>(byte);
    return value;
  }

  static void AppendUtf8(std::string& out, unsigned c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  std::string String() {
    Expect('"');
    std::string out;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      const char c = text_[pos_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      const char escape = pos_ < text_.size() ? text_[pos_++] : '?';
      switch (escape) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          unsigned code = Hex4();
          if (code >= 0xD800 && code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
            pos_ += 2;
            code = 0x10000 + ((code - 0xD800) << 10) + (Hex4() - 0xDC00);
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          out += escape;  // \" \\ \/
      }
    }
    Expect('"');
    return out;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::vector<Fields> ExpectedEntries(const std::string& jsonName) {
  return EntriesJson::Parse(test::ReadFile(VectorPath(jsonName)));
}

// "pässwörd€" as typed (UTF-8).
const std::string kTypedUtf8 = "p\xc3\xa4ssw\xc3\xb6rd\xe2\x82\xac";

TEST(MasterPasswordTest, JsonReaderReadsEscapesAndHex) {
  const auto entries = EntriesJson::Parse(
      R"([{"siteName": "Caf\u00e9 \ud83d\udd11 \"q\" \\", "url": "", "userName": {"hex": "7500e9"},)"
      R"( "password": "\u20ac"}, {}])");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], (Fields{"Caf\xc3\xa9 \xf0\x9f\x94\x91 \"q\" \\", "",
                                std::string("u\0\xe9", 3), "\xe2\x82\xac"}));
  EXPECT_EQ(entries[1], Fields{});
}

TEST(MasterPasswordTest, FixtureVaultsLoadAsTheReferenceReadsThem) {
  const auto index = test::ReadVectorLines("vectors_index.txt", 4);
  for (const auto& row : index) {
    SCOPED_TRACE(row[0]);
    PasswordStore store;
    store.SetMasterPassword(FromHex(row[1]));
    if (row[3] == "ok") {
      EXPECT_EQ(store.LoadPasswordsFrom(VectorPath(row[0])), LoadResult::Loaded);
      EXPECT_EQ(FieldsOf(store), ExpectedEntries(row[2]));
    } else {
      ASSERT_EQ(row[3], "damaged");
      EXPECT_THROW(store.LoadPasswordsFrom(VectorPath(row[0])), StreamReadError);
      EXPECT_TRUE(store.Entries().empty());
    }
  }
}

TEST(MasterPasswordTest, LoadAppendsAndAFailedLoadKeepsOnlyTheEarlierEntries) {
  PasswordStore store;
  store.SetMasterPassword("correct horse");
  auto existing = std::make_shared<Entry>();
  existing->SetSiteName("Existing");
  existing->SetPassword("kept", store.Key());
  store.AddEntry(existing);

  // Two whole records come before the damage in this vault.
  EXPECT_THROW(store.LoadPasswordsFrom(VectorPath("vault_stray_two_bytes.dat")), StreamReadError);
  ASSERT_EQ(store.Entries().size(), 1u);
  EXPECT_EQ(store.Entries()[0], existing);
  EXPECT_EQ(FieldsOf(*existing, store.Key()), (Fields{"Existing", "", "", "kept"}));

  EXPECT_EQ(store.LoadPasswordsFrom(VectorPath("vault_basic.dat")), LoadResult::Loaded);
  auto expected = ExpectedEntries("vault_basic.json");
  expected.insert(expected.begin(), Fields{"Existing", "", "", "kept"});
  EXPECT_EQ(FieldsOf(store), expected);
}

TEST(MasterPasswordTest, Windows1252VaultOpensWithTheTypedText) {
  PasswordStore store;
  EXPECT_EQ(OpenWithTypedPassword(store, kTypedUtf8, VectorPath("vault_cp1252.dat")),
            LoadResult::Loaded);
  EXPECT_TRUE(store.CurrentFileKey() == FileKey::FromMasterPassword(FromHex("70e4737377f6726480")));
  EXPECT_EQ(FieldsOf(store), ExpectedEntries("vault_cp1252.json"));
}

TEST(MasterPasswordTest, Utf8VaultKeepsTheUtf8Bytes) {
  char pattern[] = "/tmp/corvella-unit-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::unique_ptr<char, void (*)(char*)> removeDir(
      pattern, [](char* dir) { std::filesystem::remove_all(dir); });
  const std::string path = std::string(pattern) + "/Passwords.dat";
  const Fields entry{"Gr\xc3\xbc\xc3\x9f", "https://w.example/", "w\xc3\xb6u", "\xe2\x82\xacuro"};
  {
    PasswordStore writer;
    writer.SetMasterPassword(kTypedUtf8);
    writer.AddEntry(std::make_shared<Entry>(entry.siteName, entry.url, entry.userName,
                                            entry.password, writer.Key()));
    writer.SavePasswordsTo(path);
  }
  PasswordStore store;
  EXPECT_EQ(OpenWithTypedPassword(store, kTypedUtf8, path), LoadResult::Loaded);
  EXPECT_TRUE(store.CurrentFileKey() == FileKey::FromMasterPassword(kTypedUtf8));
  EXPECT_EQ(FieldsOf(store), std::vector<Fields>{entry});
}

TEST(MasterPasswordTest, PlainPasswordOpensAsTyped) {
  PasswordStore store;
  EXPECT_EQ(OpenWithTypedPassword(store, "correct horse", VectorPath("vault_basic.dat")),
            LoadResult::Loaded);
  EXPECT_TRUE(store.CurrentFileKey() == FileKey::FromMasterPassword("correct horse"));
  EXPECT_EQ(FieldsOf(store), ExpectedEntries("vault_basic.json"));
}

TEST(MasterPasswordTest, WrongPasswordIsInvalid) {
  const struct {
    std::string_view vault;
    std::string typed;
  } cases[] = {
      {"vault_cp1252.dat", "p\xc3\xa4ssw\xc3\xb6rd"},              // has Windows-1252 bytes
      {"vault_cp1252.dat", "p\xc3\xa4ssw\xc3\xb6rd\xe6\x9d\xb1"},  // has none
      {"vault_basic.dat", "correct horsE"},
      {"vault_basic.dat", kTypedUtf8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.vault) + " " + ToHex(c.typed));
    PasswordStore store;
    EXPECT_THROW(OpenWithTypedPassword(store, c.typed, VectorPath(std::string(c.vault))),
                 InvalidPasswordError);
    EXPECT_TRUE(store.Entries().empty());
  }
}

// The stream export reads: opened as the load opens it, and refused whole when damaged anywhere.
TEST(MasterPasswordTest, CheckedStreamOpensAsTheLoadAndRefusesDamageAnywhere) {
  enum class Outcome { Opened, Missing, Invalid, Damaged };
  const struct {
    std::string_view vault;
    std::string typed;
    Outcome outcome;
  } cases[] = {
      {"vault_basic.dat", "correct horse", Outcome::Opened},
      {"vault_cp1252.dat", kTypedUtf8, Outcome::Opened},  // by its Windows-1252 bytes
      {"no_such_vault.dat", kTypedUtf8, Outcome::Missing},
      {"vault_cp1252.dat", "p\xc3\xa4ssw\xc3\xb6rd", Outcome::Invalid},
      {"vault_basic.dat", "", Outcome::Invalid},
      // Two whole records come before the damage.
      {"vault_stray_two_bytes.dat", "correct horse", Outcome::Damaged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.vault) + " " + ToHex(c.typed));
    const std::string path = VectorPath(std::string(c.vault));
    switch (c.outcome) {
      case Outcome::Opened: {
        const auto stream = ReadCheckedStream(c.typed, path);
        ASSERT_TRUE(stream.has_value());
        PasswordStore store;
        ASSERT_EQ(OpenWithTypedPassword(store, c.typed, path), LoadResult::Loaded);
        std::vector<Fields> read;
        ReadPasswordRecords(*stream, [&](const RecordView& r) {
          read.push_back({std::string(r.siteName), std::string(r.url), std::string(r.userName),
                          std::string(r.password)});
        });
        EXPECT_EQ(read, FieldsOf(store));
        EXPECT_FALSE(read.empty());
        break;
      }
      case Outcome::Missing:
        EXPECT_FALSE(ReadCheckedStream(c.typed, path).has_value());
        break;
      case Outcome::Invalid:
        EXPECT_THROW(ReadCheckedStream(c.typed, path), InvalidPasswordError);
        break;
      case Outcome::Damaged:
        EXPECT_THROW(ReadCheckedStream(c.typed, path), StreamReadError);
        break;
    }
  }
}

TEST(MasterPasswordTest, MissingFileIsReported) {
  PasswordStore store;
  EXPECT_EQ(OpenWithTypedPassword(store, kTypedUtf8, VectorPath("no_such_vault.dat")),
            LoadResult::FileMissing);
  EXPECT_TRUE(store.Entries().empty());
}

}  // namespace
}  // namespace corvella
