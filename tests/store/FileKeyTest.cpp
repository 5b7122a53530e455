// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "TestVectors.h"
#include "store/FileKey.h"
#include "store/PasswordStore.h"

namespace corvella {
namespace {

// Whether the bytes of `object` hold `needle` anywhere.
template <class T>
bool Holds(const T& object, std::string_view needle) {
  const auto* bytes = reinterpret_cast<const char*>(&object);
  return std::search(bytes, bytes + sizeof(T), needle.begin(), needle.end()) != bytes + sizeof(T);
}

std::string_view ValueOf(const FileKey& key) {
  return {reinterpret_cast<const char*>(key.Value().data()), key.Value().size()};
}

TEST(FileKeyTest, IsSha256OfTheMasterPassword) {
  const FileKey key = FileKey::FromMasterPassword("abc");
  ASSERT_TRUE(key.IsSet());
  EXPECT_EQ(test::ToHex(ValueOf(key)),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_FALSE(FileKey().IsSet());
}

// A key that is done with keeps no copy of its bytes.
TEST(FileKeyTest, LeavesNoCopyBehind) {
  const FileKey original = FileKey::FromMasterPassword("correct horse");
  const std::string value(ValueOf(original));
  const struct {
    const char* what;
    std::function<void(FileKey&)> finish;
  } cases[] = {
      {"wiped", [](FileKey& key) { key.Wipe(); }},
      {"moved into a new key", [](FileKey& key) { const FileKey taken(std::move(key)); }},
      {"moved over another key",
       [](FileKey& key) {
         FileKey other = FileKey::FromMasterPassword("other");
         other = std::move(key);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FileKey key = original;
    ASSERT_TRUE(Holds(key, value));
    c.finish(key);
    EXPECT_FALSE(key.IsSet());
    EXPECT_FALSE(Holds(key, value));
  }
}

TEST(FileKeyTest, StoreKeepsTheKeyAndNotTheMasterPassword) {
  // Short enough to sit inside a string object rather than on the heap.
  const std::string_view password = "pw of 12 ch";
  PasswordStore store;
  store.SetMasterPassword(password);
  EXPECT_TRUE(store.CurrentFileKey() == FileKey::FromMasterPassword(password));
  EXPECT_FALSE(Holds(store, password));

  // An empty master password is none.
  store.SetMasterPassword("");
  EXPECT_FALSE(store.HasFileKey());
  store.SetMasterPassword(password);
  store.WipeFileKey();
  EXPECT_FALSE(store.HasFileKey());
}

}  // namespace
}  // namespace corvella
