#include <gtest/gtest.h>

#include <string>

#include "TestVectors.h"
#include "store/CipherFraming.h"
#include "store/Password.h"
#include "store/Session.h"

namespace corvella {
namespace {

class PasswordTest : public testing::Test {
 protected:
  void SetUp() override { MakeSessionKey(); }
};

TEST_F(PasswordTest, SessionKeyIs32BytesAndStaysTheSame) {
  const std::string key(SessionKey());
  EXPECT_EQ(key.size(), kSessionKeySize);
  EXPECT_EQ(kSessionKeySize, 32u);
  MakeSessionKey();
  EXPECT_EQ(std::string(SessionKey()), key);
}

TEST_F(PasswordTest, NewEntryIsEmpty) {
  const TPassword entry;
  EXPECT_TRUE(entry.SiteName.empty());
  EXPECT_TRUE(entry.Url.empty());
  EXPECT_TRUE(entry.UserName.empty());
  EXPECT_TRUE(entry.EncryptedPassword.empty());
  EXPECT_TRUE(entry.GetPassword().empty());
}

TEST_F(PasswordTest, EmptyPasswordIsStoredAsEmptyText) {
  TPassword entry;
  entry.SetPassword("old");
  entry.SetPassword("");
  EXPECT_TRUE(entry.EncryptedPassword.empty());
  EXPECT_TRUE(entry.GetPassword().empty());
}

TEST_F(PasswordTest, SamePasswordGivesSameEncryptedText) {
  TPassword first;
  TPassword second;
  first.SetPassword("hunter2");
  second.SetPassword("hunter2");
  EXPECT_EQ(first.EncryptedPassword, second.EncryptedPassword);
}

TEST_F(PasswordTest, PasswordIsHeldEncryptedUnderTheSessionKey) {
  TPassword entry;
  entry.SetPassword("hunter2");
  EXPECT_EQ(entry.EncryptedPassword.find("hunter2"), std::string::npos);
  EXPECT_EQ(DecryptText(entry.EncryptedPassword, SessionKey()).View(), "hunter2");
}

TEST_F(PasswordTest, AnyBytesRoundTrip) {
  const std::string cases[] = {"x", "p\xc3\xa4ssw\xc3\xb6rd\xe2\x82\xac",
                               std::string("a\0b\x80\xff", 5), std::string(1, '\0'),
                               std::string(300, '\xfe')};
  for (const std::string& password : cases) {
    SCOPED_TRACE(test::ToHex(password));
    TPassword entry;
    entry.SetPassword(password);
    EXPECT_EQ(test::ToHex(entry.GetPassword().View()), test::ToHex(password));
  }
}

TEST_F(PasswordTest, WipeEmptiesEveryField) {
  TPassword entry;
  entry.SiteName = "Mail";
  entry.Url = std::string(100, 'u');
  entry.UserName = "alice";
  entry.SetPassword("hunter2");
  entry.Wipe();
  EXPECT_TRUE(entry.SiteName.empty());
  EXPECT_TRUE(entry.Url.empty());
  EXPECT_TRUE(entry.UserName.empty());
  EXPECT_TRUE(entry.EncryptedPassword.empty());
  EXPECT_TRUE(entry.GetPassword().empty());
}

}  // namespace
}  // namespace corvella
