// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The backup every save keeps, and changing the master password of a password file.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "core/Error.h"
#include "platform/Files.h"
#include "store/Errors.h"
#include "store/MasterPassword.h"
#include "store/PasswordStore.h"

namespace corvella {
namespace {

using tests::ChildOutcome;
using tests::FileMode;
using tests::ListDirectory;
using tests::ReadFileBytes;
using tests::RunInChild;
using tests::TempDir;
using tests::WriteFileBytes;

const std::string kOld = "old master";
const std::string kNew = "new master \xC3\xA4";

void AddNumbered(PasswordStore& store, const std::string& prefix, int count) {
  for (int i = 0; i < count; ++i) {
    auto entry = std::make_shared<Entry>();
    entry->SetSiteName(prefix + " " + std::to_string(i));
    entry->SetPassword(std::string(8, static_cast<char>('a' + i % 26)), store.Key());
    store.AddEntry(std::move(entry));
  }
}

std::vector<std::string> SiteNames(const PasswordStore& store) {
  std::vector<std::string> names;
  for (const EntryPtr& entry : store.Entries()) names.push_back(std::string(entry->SiteName()));
  return names;
}

// How the file at `path` opens under `password`: its site names, or "wrong password".
std::vector<std::string> Opened(const std::string& path, const std::string& password) {
  PasswordStore store;
  store.SetMasterPassword(password);
  try {
    if (store.LoadPasswordsFrom(path) == LoadResult::FileMissing) return {"missing"};
  } catch (const InvalidPasswordError&) {
    return {"wrong password"};
  }
  return SiteNames(store);
}

const std::vector<std::string> kWrongPassword = {"wrong password"};

class BackupTest : public ::testing::Test {
 protected:
  // Saves `count` entries named `prefix` under kOld to `path`.
  static void SaveList(const std::string& path, const std::string& prefix, int count) {
    PasswordStore store;
    store.SetMasterPassword(kOld);
    AddNumbered(store, prefix, count);
    store.SavePasswordsTo(path);
  }

  TempDir dir_;
  const std::string vault_ = dir_ / "Passwords.dat";
  const std::string backup_ = dir_ / "Passwords.dat.bak";
};

TEST_F(BackupTest, EverySaveKeepsThePreviousFile) {
  SaveList(vault_, "first", 1);
  EXPECT_EQ(ListDirectory(dir_.Path()), std::set<std::string>{"Passwords.dat"})
      << "the first save has nothing to keep";

  const std::string first = ReadFileBytes(vault_);
  SaveList(vault_, "second", 2);
  EXPECT_EQ(ReadFileBytes(backup_), first);
  EXPECT_EQ(FileMode(backup_), 0600u);

  const std::string second = ReadFileBytes(vault_);
  SaveList(vault_, "third", 3);
  EXPECT_EQ(ReadFileBytes(backup_), second);
  EXPECT_EQ(Opened(vault_, kOld).size(), 3u);
  EXPECT_EQ(ListDirectory(dir_.Path()),
            (std::set<std::string>{"Passwords.dat", "Passwords.dat.bak"}));
}

// A previous file that is not private is copied, not linked: the backup is private all the same,
// and the previous file is not changed by being kept.
TEST_F(BackupTest, PreviousFileOpenToOthersIsCopiedPrivately) {
  SaveList(vault_, "first", 2);
  ASSERT_EQ(::chmod(vault_.c_str(), 0644), 0);
  const std::string first = ReadFileBytes(vault_);
  std::filesystem::create_hard_link(vault_, dir_ / "other name");

  SaveList(vault_, "second", 1);

  EXPECT_EQ(ReadFileBytes(backup_), first);
  EXPECT_EQ(FileMode(backup_), 0600u);
  EXPECT_EQ(FileMode(dir_ / "other name"), 0644u);
}

// What stands at the backup's name and makes keeping the previous file fail.
struct BlockedBackupCase {
  const char* name;
  mode_t previousMode;  // 0600 links the previous file, else it is copied
};

void PrintTo(const BlockedBackupCase& c, std::ostream* out) { *out << c.name; }

class BlockedBackupTest : public BackupTest,
                          public ::testing::WithParamInterface<BlockedBackupCase> {};

TEST_P(BlockedBackupTest, FailedBackupStopsTheSaveAndNamesTheBackup) {
  SaveList(vault_, "previous", 2);
  ASSERT_EQ(::chmod(vault_.c_str(), GetParam().previousMode), 0);
  const std::string before = ReadFileBytes(vault_);
  // A folder with something in it cannot be replaced by a file.
  std::filesystem::create_directory(backup_);
  WriteFileBytes(backup_ + "/inside", "x");

  try {
    SaveList(vault_, "new", 5);
    ADD_FAILURE() << "the save reported success";
  } catch (const Error& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("not replaced"), std::string::npos) << message;
    EXPECT_NE(message.find("\"" + backup_ + "\""), std::string::npos) << message;
  }

  EXPECT_EQ(ReadFileBytes(vault_), before);
  EXPECT_EQ(ListDirectory(dir_.Path()),
            (std::set<std::string>{"Passwords.dat", "Passwords.dat.bak"}))
      << "no temporary file stays";
  EXPECT_EQ(ListDirectory(backup_), std::set<std::string>{"inside"});
}

INSTANTIATE_TEST_SUITE_P(Cases, BlockedBackupTest,
                         ::testing::Values(BlockedBackupCase{"Linked", 0600},
                                           BlockedBackupCase{"Copied", 0644}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// Changing the master password.

class ChangePasswordTest : public BackupTest {
 protected:
  void SetUp() override {
    SaveList(vault_, "older", 1);
    SaveList(vault_, "current", 3);
    ASSERT_TRUE(std::filesystem::exists(backup_));
  }

  // A store opened with kOld, as the program holds it.
  static void Open(PasswordStore& store, const std::string& path) {
    ASSERT_EQ(OpenWithTypedPassword(store, kOld, path), LoadResult::Loaded);
  }
};

TEST_F(ChangePasswordTest, NewPasswordOpensFileAndBackupAndTheOldOneNeither) {
  PasswordStore store;
  ASSERT_NO_FATAL_FAILURE(Open(store, vault_));

  ChangeMasterPassword(store, kOld, kNew, vault_);

  const std::vector<std::string> current = {"current 0", "current 1", "current 2"};
  for (const std::string& path : {vault_, backup_}) {
    EXPECT_EQ(Opened(path, kNew), current) << path;
    EXPECT_EQ(Opened(path, kOld), kWrongPassword) << path;
    EXPECT_EQ(FileMode(path), 0600u) << path;
  }
  EXPECT_EQ(ListDirectory(dir_.Path()),
            (std::set<std::string>{"Passwords.dat", "Passwords.dat.bak"}));
  // A file of its own: damage to the password file in place does not reach the backup.
  EXPECT_FALSE(std::filesystem::equivalent(vault_, backup_));
  // The store goes on under the new key: its next save opens with the new password.
  AddNumbered(store, "later", 1);
  store.SavePasswordsTo(vault_);
  EXPECT_EQ(Opened(vault_, kNew).size(), 4u);
  EXPECT_EQ(Opened(backup_, kNew), current);
  // Keeping the previous file as the backup leaves nothing behind.
  EXPECT_EQ(ListDirectory(dir_.Path()),
            (std::set<std::string>{"Passwords.dat", "Passwords.dat.bak"}));
}

TEST_F(ChangePasswordTest, ThroughALinkTheFileItLeadsToChanges) {
  const std::string link = dir_ / "link.dat";
  std::filesystem::create_symlink("Passwords.dat", link);
  PasswordStore store;
  ASSERT_NO_FATAL_FAILURE(Open(store, link));

  ChangeMasterPassword(store, kOld, kNew, link);

  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Opened(vault_, kNew).size(), 3u);
  EXPECT_EQ(Opened(backup_, kOld), kWrongPassword);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "link.dat.bak"));
}

enum class Limit { None, ReadOnlyFolder, FullDisk };

// A change made in a child process, which may be limited or run as another user. Exit codes: 0
// changed, 1 an Error, 4 the store lost its old key, 5 a harness failure.
ChildOutcome ChangeInChild(const std::string& folder, const std::string& vault, Limit limit,
                           const std::string& current, const std::string& newPassword,
                           const std::function<void()>& beforeChange = {}) {
  const ChildOutcome outcome = RunInChild([&](std::string& message) {
    int code = 5;
    try {
      PasswordStore store;
      if (OpenWithTypedPassword(store, kOld, vault) != LoadResult::Loaded) throw 0;
      if (beforeChange) beforeChange();
      if (limit == Limit::ReadOnlyFolder) {
        // Root writes anywhere: the change runs as nobody, who owns the folder and its files.
        if (::geteuid() == 0) {
          for (const auto& item : std::filesystem::directory_iterator(folder)) {
            if (::chown(item.path().c_str(), 65534, 65534) != 0) throw 0;
          }
          if (::chown(folder.c_str(), 65534, 65534) != 0 || ::setgid(65534) != 0 ||
              ::setuid(65534) != 0) {
            throw 0;
          }
        }
        if (::chmod(folder.c_str(), 0500) != 0) throw 0;
      } else if (limit == Limit::FullDisk) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{100, 100};
        if (::setrlimit(RLIMIT_FSIZE, &size) != 0) throw 0;
      }
      const FileKey before = store.CurrentFileKey();
      try {
        ChangeMasterPassword(store, current, newPassword, vault);
        code = 0;
      } catch (const Error& e) {
        message = e.what();
        code = store.CurrentFileKey() == before ? 1 : 4;
      }
    } catch (...) {
    }
    return code;
  });
  // The folder is ours again, for the checks and the clean-up.
  ::chmod(folder.c_str(), 0700);
  return outcome;
}

struct RefusedChangeCase {
  const char* name;
  Limit limit;
  std::string current;
  std::string newPassword;
  bool replaceFileMeanwhile;
  std::string messagePart;
};

void PrintTo(const RefusedChangeCase& c, std::ostream* out) { *out << c.name; }

class RefusedChangeTest : public ChangePasswordTest,
                          public ::testing::WithParamInterface<RefusedChangeCase> {};

TEST_P(RefusedChangeTest, OldFileBackupAndKeyStay) {
  const RefusedChangeCase& c = GetParam();
  const std::string other = dir_ / "other.dat";
  if (c.replaceFileMeanwhile) SaveList(other, "other", 2);
  const auto replace = [&] {
    if (c.replaceFileMeanwhile) std::filesystem::rename(other, vault_);
  };
  const std::string vaultBefore =
      c.replaceFileMeanwhile ? ReadFileBytes(other) : ReadFileBytes(vault_);
  const std::string backupBefore = ReadFileBytes(backup_);

  const ChildOutcome outcome =
      ChangeInChild(dir_.Path(), vault_, c.limit, c.current, c.newPassword, replace);

  ASSERT_EQ(outcome.exitCode, 1) << "0 is a change reported as done, 4 a key lost; "
                                 << outcome.message;
  EXPECT_NE(outcome.message.find(c.messagePart), std::string::npos) << outcome.message;
  EXPECT_EQ(ReadFileBytes(vault_), vaultBefore);
  EXPECT_EQ(ReadFileBytes(backup_), backupBefore);
  EXPECT_EQ(Opened(vault_, kNew), kWrongPassword);
  EXPECT_EQ(ListDirectory(dir_.Path()),
            (std::set<std::string>{"Passwords.dat", "Passwords.dat.bak"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedChangeTest,
    ::testing::Values(
        RefusedChangeCase{"WrongCurrent", Limit::None, "old masteR", kNew, false,
                          "Invalid password"},
        RefusedChangeCase{"NewTooShort", Limit::None, kOld, "five5", false, "too short"},
        RefusedChangeCase{"ReadOnlyFolder", Limit::ReadOnlyFolder, kOld, kNew, false,
                          "Cannot write file"},
        RefusedChangeCase{"FullDisk", Limit::FullDisk, kOld, kNew, false, "File too large"},
        RefusedChangeCase{"FileReplacedMeanwhile", Limit::None, kOld, kNew, true,
                          "replaced by another program"}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(ChangePasswordTest, ChildWithoutALimitChanges) {
  // The harness itself: the same child without a limit changes the file.
  const ChildOutcome outcome = ChangeInChild(dir_.Path(), vault_, Limit::None, kOld, kNew);
  ASSERT_EQ(outcome.exitCode, 0) << outcome.message;
  EXPECT_EQ(Opened(vault_, kNew).size(), 3u);
  EXPECT_EQ(Opened(backup_, kOld), kWrongPassword);
}

}  // namespace
}  // namespace corvella
