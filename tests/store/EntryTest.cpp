// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <string>

#include "TestVectors.h"
#include "store/CipherFraming.h"
#include "store/Entry.h"
#include "store/SessionKey.h"

namespace corvella {
namespace {

class EntryTest : public testing::Test {
 protected:
  SessionKey key;
};

TEST_F(EntryTest, SessionKeyIs32RandomBytesThatStayTheSame) {
  const std::string bytes(key.Bytes());
  EXPECT_EQ(bytes.size(), kSessionKeySize);
  EXPECT_EQ(kSessionKeySize, 32u);
  EXPECT_EQ(std::string(key.Bytes()), bytes);
  EXPECT_NE(std::string(SessionKey().Bytes()), bytes);
}

TEST_F(EntryTest, NewEntryIsEmpty) {
  const Entry entry;
  EXPECT_TRUE(entry.SiteName().empty());
  EXPECT_TRUE(entry.Url().empty());
  EXPECT_TRUE(entry.UserName().empty());
  EXPECT_TRUE(entry.EncryptedPassword().empty());
  EXPECT_TRUE(entry.Password(key).empty());
}

TEST_F(EntryTest, EmptyPasswordIsStoredAsEmptyText) {
  Entry entry;
  entry.SetPassword("old", key);
  entry.SetPassword("", key);
  EXPECT_TRUE(entry.EncryptedPassword().empty());
  EXPECT_TRUE(entry.Password(key).empty());
}

TEST_F(EntryTest, SamePasswordGivesSameEncryptedText) {
  Entry first;
  Entry second;
  first.SetPassword("hunter2", key);
  second.SetPassword("hunter2", key);
  EXPECT_EQ(first.EncryptedPassword(), second.EncryptedPassword());
}

TEST_F(EntryTest, PasswordIsHeldEncryptedUnderTheSessionKey) {
  Entry entry;
  entry.SetPassword("hunter2", key);
  EXPECT_EQ(entry.EncryptedPassword().find("hunter2"), std::string::npos);
  EXPECT_EQ(DecryptText(entry.EncryptedPassword(), key.Bytes()).View(), "hunter2");
}

TEST_F(EntryTest, AnyBytesRoundTrip) {
  const std::string cases[] = {"x", "p\xc3\xa4ssw\xc3\xb6rd\xe2\x82\xac",
                               std::string("a\0b\x80\xff", 5), std::string(1, '\0'),
                               std::string(300, '\xfe')};
  for (const std::string& password : cases) {
    SCOPED_TRACE(test::ToHex(password));
    Entry entry;
    entry.SetPassword(password, key);
    EXPECT_EQ(test::ToHex(entry.Password(key).View()), test::ToHex(password));
  }
}

TEST_F(EntryTest, WipeEmptiesEveryField) {
  Entry entry;
  entry.SetSiteName("Mail");
  entry.SetUrl(std::string(100, 'u'));
  entry.SetUserName("alice");
  entry.SetPassword("hunter2", key);
  entry.Wipe();
  EXPECT_TRUE(entry.SiteName().empty());
  EXPECT_TRUE(entry.Url().empty());
  EXPECT_TRUE(entry.UserName().empty());
  EXPECT_TRUE(entry.EncryptedPassword().empty());
  EXPECT_TRUE(entry.Password(key).empty());
}

// Texts that fit in the entry and texts that do not, each set from the entry's own texts, so that
// a text copied from where it is replaced shows.
TEST_F(EntryTest, TextsSurviveEveryChangeInAndOutOfTheEntry) {
  for (const std::size_t siteLength : {0, 1, 40, 59, 60, 61, 200}) {
    SCOPED_TRACE("site name of " + std::to_string(siteLength) + " bytes");
    const std::string site(siteLength, 's');
    // With a 14-byte password (20 characters protected), 60 bytes of site name fill 88 bytes.
    Entry entry(site, "https://a.example", "alice", "Tr0ub4dor&3xyz", key);
    ASSERT_EQ(entry.SiteName(), site);
    entry.SetUserName(entry.SiteName());
    entry.SetSiteName(entry.Url());
    entry.SetUrl(entry.UserName());
    entry.SetPassword("hunter2", key);
    EXPECT_EQ(entry.SiteName(), "https://a.example");
    EXPECT_EQ(entry.Url(), site);
    EXPECT_EQ(entry.UserName(), site);
    EXPECT_TRUE(entry.Password(key).View() == "hunter2");
    entry.SetAll(entry.UserName(), entry.SiteName(), "bob", std::string(300, 'p'), key);
    EXPECT_EQ(entry.SiteName(), site);
    EXPECT_EQ(entry.Url(), "https://a.example");
    EXPECT_EQ(entry.UserName(), "bob");
    EXPECT_TRUE(entry.Password(key).View() == std::string(300, 'p'));
  }
}

}  // namespace
}  // namespace corvella
