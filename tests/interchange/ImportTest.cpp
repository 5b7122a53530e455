// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/Error.h"
#include "interchange/Import.h"

namespace corvella::interchange {
namespace {

using Fields = std::array<std::string_view, kFieldCount>;

struct SampleCase {
  const char* file;
  DocumentFormat format;
  // siteName, url, userName, password of each login, in document order.
  std::vector<Fields> logins;
  std::size_t notLogins;
};

void PrintTo(const SampleCase& sample, std::ostream* out) { *out << sample.file; }

class SampleTest : public testing::TestWithParam<SampleCase> {};

TEST_P(SampleTest, ReadsEveryLoginAndCountsTheRest) {
  const SampleCase& sample = GetParam();
  const SecureString document =
      ReadDocumentFile(std::string(CORVELLA_SAMPLES_DIR "/") + sample.file);
  for (const DocumentFormat format : {DocumentFormat::Auto, sample.format}) {
    const ImportedDocument imported = ReadExport(document.View(), format);
    ASSERT_EQ(imported.entries.size(), sample.logins.size());
    for (std::size_t i = 0; i < sample.logins.size(); ++i) {
      for (std::size_t f = 0; f < kFieldCount; ++f) {
        // Passwords are compared, never printed.
        EXPECT_TRUE(imported.entries[i].fields[f].View() == sample.logins[i][f])
            << "login " << i << ", field " << kFieldNames[f];
      }
    }
    EXPECT_EQ(imported.notLogins, sample.notLogins);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Exports, SampleTest,
    testing::Values(
        SampleCase{"corvella.csv",
                   DocumentFormat::Csv,
                   {{"Mail", "https://mail.example.org/", "alice@example.org",
                     "p,w \"quoted\"\r\nnext line"},
                    {"Bank", "https://bank.example/login", "bob", "s3cret"}},
                   0},
        SampleCase{"corvella.json",
                   DocumentFormat::Json,
                   {{"Mail", "https://mail.example.org/", "alice@example.org",
                     "p,w \"quoted\"\r\nnext line"},
                    {"Caf\u00e9", "", "j\u00f3zef", "p\u00e4ssw\u00f6rd\U0001F511"}},
                   0},
        SampleCase{"keepassxc.csv",
                   DocumentFormat::Csv,
                   {{"Forge, internal", "https://forge.example.net/", "carol", "a\"b,c"},
                    {"Wiki", "", "dave", "wiki pass"}},
                   1},
        SampleCase{"bitwarden.csv",
                   DocumentFormat::Csv,
                   {{"Shop", "https://shop.example/", "erin", "sh0p\"pw"},
                    {"No address", "", "frank", "line\nbreak"}},
                   1},
        SampleCase{"bitwarden.json",
                   DocumentFormat::Json,
                   {{"Shop", "https://shop.example/", "erin", "sh0p\"pw\n\u00e9"},
                    {"Bare", "", "", "bare-pw"}},
                   3},
        SampleCase{"chrome.csv",
                   DocumentFormat::Csv,
                   {{"accounts.example.com", "https://accounts.example.com/signin", "grace",
                     "multi\r\nline"},
                    {"shop.example", "https://shop.example/", "heidi, h.", "q\"uote"}},
                   0},
        SampleCase{"firefox.csv",
                   DocumentFormat::Csv,
                   {{"news.example", "https://www.news.example", "ivan", "n3ws,pw"},
                    {"192.168.1.1", "http://192.168.1.1:8080", "admin", "router"},
                    {"webmail.example", "https://judy@webmail.example:8443", "judy", "\"quoted\""}},
                   0}));

struct RefusalCase {
  const char* name;
  std::string document;
  std::vector<std::string_view> fragments;
};

void PrintTo(const RefusalCase& refusal, std::ostream* out) { *out << refusal.name; }

class RefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, SaysWhyInOneLine) {
  try {
    ReadExport(GetParam().document, DocumentFormat::Auto);
    FAIL() << "read";
  } catch (const Error& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    for (const std::string_view fragment : GetParam().fragments) {
      EXPECT_NE(message.find(fragment), std::string::npos) << message;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RefusalTest,
    testing::Values(
        RefusalCase{
            "UnknownHeader",
            "Title,Login,Password,URL\r\na,b,c,d\r\n",
            {"line 1: unknown column \"Login\"", "Corvella (siteName, url, userName, password)",
             "KeePassXC (Title, Username, Password, URL)",
             "Bitwarden (type, name, login_uri, login_username, login_password)",
             "Chrome (name, url, username, password)",
             "or Firefox (url, username, password, httpRealm)"}},
        RefusalCase{"MissingColumn", "name,url,username\n", {"missing column \"password\""}},
        RefusalCase{"ColumnTwice", "name,url,username,password,url\n", {"\"url\" appears twice"}},
        RefusalCase{"EncryptedBitwarden",
                    R"({"encrypted": true, "passwordProtected": true, "salt": "c2FsdA==",
                        "kdfType": 0, "kdfIterations": 600000, "data": "2.AAAA|BBBB|CCCC"})",
                    {"encrypted Bitwarden export"}},
        RefusalCase{"ObjectWithoutItems", R"({"encrypted": false})", {"\"items\""}},
        RefusalCase{"ItemNameNotText",
                    "{\"items\": [\n  {\"type\": 1, \"name\": 5}]}",
                    {"line 2", "\"name\" must be a text"}},
        RefusalCase{"TooFewFields",
                    "name,url,username,password\na,b,c,d\ne,f,g\n",
                    {"line 3", "3 fields where the header has 4"}},
        // CRLF, CR and LF inside quotes are one line break each.
        RefusalCase{"LineAfterQuotedBreaks",
                    "url\r\n\"a\r\nb\rc\nd\"\r\nx\"y\r\n",
                    {"line 6", "a quote inside a field"}},
        RefusalCase{"CsvNotUtf8", "name,url,username,password\na,b,c,p\xe9\n", {"UTF-8"}},
        RefusalCase{"JsonNotUtf8", "{\"items\": [{\"type\": 1, \"name\": \"\xff\"}]}", {"UTF-8"}},
        RefusalCase{"NestedTooDeeply",
                    "{\"items\": [" + std::string(100, '[') + std::string(100, ']') + "]}",
                    {"nested too deeply"}},
        RefusalCase{"CutShort", "{\"items\": [{\"type\": 1", {"ends too early"}}));

TEST(SeenEntriesTest, KnowsEqualEntriesOnly) {
  const auto entry = [](Fields fields) {
    PlainEntry plain;
    for (std::size_t f = 0; f < kFieldCount; ++f) plain.fields[f] = SecureString(fields[f]);
    return plain;
  };
  SeenEntries seen;
  EXPECT_TRUE(seen.Insert(entry({"ab", "c", "", "pw"})));
  // The same texts split otherwise between the fields are another entry.
  EXPECT_TRUE(seen.Insert(entry({"a", "bc", "", "pw"})));
  EXPECT_TRUE(seen.Insert(entry({"ab", "c", "", "pW"})));
  EXPECT_FALSE(seen.Insert(entry({"ab", "c", "", "pw"})));
}

TEST(ImportReportTest, CountsAndSaysWhy) {
  EXPECT_EQ(ImportReport(3, 0, 0), "3 added, 0 skipped");
  EXPECT_EQ(ImportReport(0, 1, 0), "0 added, 1 skipped\n(1 duplicate)");
  EXPECT_EQ(ImportReport(5, 2, 1), "5 added, 3 skipped\n(2 duplicates, 1 not a login)");
  EXPECT_EQ(ImportReport(1, 0, 3), "1 added, 3 skipped\n(3 not logins)");
}

}  // namespace
}  // namespace corvella::interchange
