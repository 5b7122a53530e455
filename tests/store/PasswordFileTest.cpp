// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The password file on disk: saving, loading, where it lives, and failures while writing.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "core/Error.h"
#include "platform/Files.h"
#include "store/CipherFraming.h"
#include "store/Errors.h"
#include "store/PasswordStore.h"
#include "store/PasswordStream.h"
#include "store/SessionKey.h"

namespace corvella {
namespace {

using tests::ChildOutcome;
using tests::FileMode;
using tests::ListDirectory;
using tests::ReadFileBytes;
using tests::RunInChild;
using tests::TempDir;
using tests::WriteFileBytes;

const std::string kMaster = "m\xC3\xA4ster key";
const std::set<std::string> kOnlyTheFile = {"Passwords.dat"};

// An entry in plain form, for building stores and comparing their content.
struct Plain {
  std::string site, url, user, password;
  bool operator==(const Plain&) const = default;
};

// Never shows a password in test output.
void PrintTo(const Plain& entry, std::ostream* out) {
  *out << "{site=\"" << entry.site << "\", url=\"" << entry.url << "\", user=\"" << entry.user
       << "\", password=<" << entry.password.size() << " bytes>}";
}

EntryPtr MakeEntry(const Plain& plain, const SessionKey& key) {
  return std::make_shared<Entry>(plain.site, plain.url, plain.user, plain.password, key);
}

void AddAll(PasswordStore& store, const std::vector<Plain>& entries) {
  for (const Plain& plain : entries) store.AddEntry(MakeEntry(plain, store.Key()));
}

std::vector<Plain> Snapshot(const PasswordStore& store) {
  std::vector<Plain> result;
  for (const EntryPtr& entry : store.Entries()) {
    result.push_back({std::string(entry->SiteName()), std::string(entry->Url()),
                      std::string(entry->UserName()),
                      std::string(entry->Password(store.Key()).View())});
  }
  return result;
}

std::vector<Plain> Numbered(const std::string& prefix, int count, std::size_t passwordSize = 12) {
  std::vector<Plain> entries;
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    entries.push_back({prefix + " site " + n, "https://" + prefix + n + ".example/", "user" + n,
                       std::string(passwordSize, static_cast<char>('a' + i % 26))});
  }
  return entries;
}

std::string Concat(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += part;
  return out;
}

// One length-prefixed string of the password stream.
std::string Field(const std::string& text) {
  SecureBytes bytes;
  WriteString(text, bytes);
  return {bytes.begin(), bytes.end()};
}

std::string Record(const Plain& entry) {
  return Concat({Field("SiteName"), Field(entry.site), Field("Url"), Field(entry.url),
                 Field("Password"), Field(entry.password), Field("UserName"), Field(entry.user),
                 Field("End")});
}

std::string StreamOf(const std::vector<Plain>& entries) {
  PasswordStore store;
  AddAll(store, entries);
  SecureBytes stream;
  WritePasswordStream(store.Entries(), store.Key(), stream);
  return {stream.begin(), stream.end()};
}

// Writes `stream` encrypted with the file cipher, as a save would.
void WriteVault(const std::string& path, const std::string& stream, const std::string& master) {
  platform::AtomicFileWriter file(path);
  EncryptStreamToFile(
      std::span(reinterpret_cast<const unsigned char*>(stream.data()), stream.size()), file,
      FileKey::FromMasterPassword(master));
  file.Commit();
}

// Restores the process's file creation mask when it goes.
class UmaskGuard {
 public:
  explicit UmaskGuard(mode_t mask) : previous_(::umask(mask)) {}
  ~UmaskGuard() { ::umask(previous_); }

 private:
  mode_t previous_;
};

class PasswordFileTest : public ::testing::Test {
 protected:
  // Saves `entries` under kMaster to `path`.
  static void Save(const std::string& path, const std::vector<Plain>& entries) {
    PasswordStore store;
    store.SetMasterPassword(kMaster);
    AddAll(store, entries);
    store.SavePasswordsTo(path);
  }

  TempDir dir_;
  const std::string vault_ = dir_ / "Passwords.dat";
};

const std::vector<Plain> kVarious = {
    {"Mail", "https://mail.example.org/login", "alice@example.org", "Tr0ub4dor&3"},
    {"", "", "", ""},
    {"End", "SiteName", "Password", "UserName"},
    {"Caf\xC3\xA9 Z\xC3\xBCrich \xE6\x9D\xB1\xE4\xBA\xAC", "https://\xE4\xBE\x8B.jp/",
     "j\xC3\xB3zef", "p\xC3\xA4ss\xE2\x82\xAC\xF0\x9F\x94\x91"},
    {"Bank", "https://bank.example/", std::string("us\0er\xE9", 6), std::string("pi\0n\xFF", 5)},
    {std::string(9000, 'S'), std::string(300, 'u'), "long", std::string(10000, 'p')},
    {"Mail", "https://mail.example.org/login", "alice@example.org", "Tr0ub4dor&3"},
};

TEST_F(PasswordFileTest, SavedEntriesLoadBackEqualAndInOrder) {
  Save(vault_, kVarious);

  PasswordStore loaded;
  loaded.SetMasterPassword(kMaster);
  EXPECT_EQ(loaded.LoadPasswordsFrom(vault_), LoadResult::Loaded);
  EXPECT_EQ(Snapshot(loaded), kVarious);
}

TEST_F(PasswordFileTest, SavedFileMatchesTheReferenceImplementation) {
  // The Python model writes the same entries; the file cipher is deterministic, so the bytes
  // must agree.
  std::vector<Plain> entries = kVarious;
  entries.resize(5);
  Save(vault_, entries);

  const auto hex = [](const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
      out += digits[c >> 4];
      out += digits[c & 15];
    }
    return out;
  };
  std::string json = "[";
  for (const Plain& e : entries) {
    if (json.size() > 1) json += ",";
    json += "{\"siteName\":{\"hex\":\"" + hex(e.site) + "\"},\"url\":{\"hex\":\"" + hex(e.url) +
            "\"},\"userName\":{\"hex\":\"" + hex(e.user) + "\"},\"password\":{\"hex\":\"" +
            hex(e.password) + "\"}}";
  }
  json += "]";
  const std::string reference = dir_ / "reference.dat";
  const std::string command = std::string("/usr/bin/python3 '") + CORVELLA_VAULTREF + "' write '" +
                              reference + "' --password-hex " + hex(kMaster);
  FILE* python = ::popen(command.c_str(), "w");
  ASSERT_NE(python, nullptr);
  std::fwrite(json.data(), 1, json.size(), python);
  ASSERT_EQ(::pclose(python), 0) << "the reference writer failed";

  EXPECT_EQ(ReadFileBytes(vault_), ReadFileBytes(reference));
}

// The file is exactly as long as the plaintext stream, whatever the tail of the last block.
class FileLengthTest : public PasswordFileTest,
                       public ::testing::WithParamInterface<std::size_t> {};

TEST_P(FileLengthTest, FileIsAsLongAsTheStream) {
  // A record costs 66 bytes beside its four values; the marker 3.
  const std::size_t streamLength = GetParam();
  const std::vector<Plain> entries = {{std::string(streamLength - 69, 's'), "", "", ""}};
  ASSERT_EQ(StreamOf(entries).size(), streamLength);

  Save(vault_, entries);
  EXPECT_EQ(std::filesystem::file_size(vault_), streamLength);
  PasswordStore loaded;
  loaded.SetMasterPassword(kMaster);
  loaded.LoadPasswordsFrom(vault_);
  EXPECT_EQ(Snapshot(loaded), entries);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FileLengthTest,
                         ::testing::Values(69, 70, 80, 96, 8191, 8192, 8193, 8208, 20001, 65535,
                                           65536, 65537, 65552, 131089),
                         [](const auto& tested) {
                           return "Stream" + std::to_string(tested.param);
                         });

TEST_F(PasswordFileTest, EmptyListWritesTheThreeByteMarkerOnly) {
  Save(vault_, {});

  EXPECT_EQ(std::filesystem::file_size(vault_), 3u);
  EXPECT_EQ(ListDirectory(dir_.Path()), kOnlyTheFile);
  PasswordStore loaded;
  loaded.SetMasterPassword(kMaster);
  EXPECT_EQ(loaded.LoadPasswordsFrom(vault_), LoadResult::Loaded);
  EXPECT_TRUE(loaded.Entries().empty());
}

// The saved file is private to the user whatever was there before and whatever the umask.
struct ModeCase {
  const char* name;
  mode_t umask;
  bool leftoverTemporary;  // a temporary file with mode 0644 from an interrupted save
  bool previousFile;       // a Passwords.dat with mode 0644
};

void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.name; }

class FileModeTest : public PasswordFileTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(FileModeTest, SavedFileHasMode0600AndNoTemporaryRemains) {
  const ModeCase& c = GetParam();
  const std::vector<Plain> entries = Numbered("mode", 3);
  const std::string fresh = dir_ / "fresh.dat";
  Save(fresh, entries);

  TempDir target;
  const std::string vault = target / "Passwords.dat";
  std::string previous;
  if (c.previousFile) {
    Save(vault, Numbered("old", 1));
    ASSERT_EQ(::chmod(vault.c_str(), 0644), 0);
    previous = ReadFileBytes(vault);
  }
  // Longer than the new file: a temporary that is reused without truncation would show. A save
  // leaves it alone; the holder of the file's lock clears it.
  const std::string leftover = target / ".Passwords.dat.Lft0v3.tmp";
  if (c.leftoverTemporary) {
    WriteFileBytes(leftover, std::string(5000, 'x'));
    ASSERT_EQ(::chmod(leftover.c_str(), 0644), 0);
  }
  {
    UmaskGuard mask(c.umask);
    Save(vault, entries);
  }

  std::set<std::string> expected = kOnlyTheFile;
  if (c.leftoverTemporary) {
    expected.insert(".Passwords.dat.Lft0v3.tmp");
    EXPECT_EQ(ReadFileBytes(leftover), std::string(5000, 'x'));
  }
  if (c.previousFile) {
    // The backup is private too, although the file it keeps was not.
    expected.insert("Passwords.dat.bak");
    EXPECT_EQ(FileMode(vault + ".bak"), 0600u);
    EXPECT_EQ(ReadFileBytes(vault + ".bak"), previous);
  }
  EXPECT_EQ(ListDirectory(target.Path()), expected);
  EXPECT_EQ(FileMode(vault), 0600u);
  EXPECT_EQ(ReadFileBytes(vault), ReadFileBytes(fresh));
}

INSTANTIATE_TEST_SUITE_P(Cases, FileModeTest,
                         ::testing::Values(ModeCase{"NewFile", 022, false, false},
                                           ModeCase{"NewFileUmask0", 0, false, false},
                                           ModeCase{"LeftoverTemporary", 022, true, false},
                                           ModeCase{"LeftoverTemporaryUmask0", 0, true, false},
                                           ModeCase{"ReplacesFile0644", 0, false, true},
                                           ModeCase{"LeftoverAndFile", 0, true, true}),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(PasswordFileTest, SaveWithoutMasterPasswordWritesNothing) {
  Save(vault_, Numbered("kept", 2));
  const std::string before = ReadFileBytes(vault_);
  const std::string elsewhere = dir_ / "missing/folder/Passwords.dat";

  PasswordStore store;
  AddAll(store, Numbered("new", 3));
  for (const std::string& path : {vault_, elsewhere}) {
    try {
      store.SavePasswordsTo(path);
      ADD_FAILURE() << "saved without a master password to " << path;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "No master password set");
    }
  }
  EXPECT_EQ(ReadFileBytes(vault_), before);
  EXPECT_EQ(ListDirectory(dir_.Path()), kOnlyTheFile);
}

TEST_F(PasswordFileTest, FirstSaveCreatesTheDataFolder) {
  const std::string dataDir = dir_ / "home/.local/share/";
  const std::string path = PasswordFileNameIn(dir_ / "program/", dataDir);
  ASSERT_EQ(path, dataDir + "Corvella/Passwords.dat");
  ASSERT_FALSE(std::filesystem::exists(dataDir));

  Save(path, Numbered("first", 2));

  EXPECT_EQ(ListDirectory(dataDir), std::set<std::string>{"Corvella"});
  EXPECT_EQ(ListDirectory(dataDir + "Corvella"), kOnlyTheFile);
  // Private to the user, as the password file.
  for (const std::string folder : {"home", "home/.local/share", "home/.local/share/Corvella"}) {
    EXPECT_EQ(FileMode(dir_ / folder), 0700u) << folder;
  }
  PasswordStore loaded;
  loaded.SetMasterPassword(kMaster);
  EXPECT_EQ(loaded.LoadPasswordsFrom(path), LoadResult::Loaded);
  EXPECT_EQ(Snapshot(loaded), Numbered("first", 2));
}

// A folder on the way to the password file that cannot be made is named with the cause.
struct FolderCase {
  const char* name;
  const char* blocker;  // a file made here
  const char* named;    // the folder the message names
};

void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }

class DataFolderTest : public PasswordFileTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(DataFolderTest, FolderThatCannotBeMadeIsNamedWithTheCause) {
  const FolderCase& c = GetParam();
  std::filesystem::create_directories(std::filesystem::path(dir_ / c.blocker).parent_path());
  WriteFileBytes(dir_ / c.blocker, "not a folder");
  const std::string path = dir_ / "home/.local/share/Corvella/Passwords.dat";

  try {
    Save(path, Numbered("x", 1));
    ADD_FAILURE() << "saved below a file";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create folder \"" + (dir_ / c.named) + "\". Not a directory");
  }
  EXPECT_EQ(ReadFileBytes(dir_ / c.blocker), "not a folder");
}

INSTANTIATE_TEST_SUITE_P(
    Blockers, DataFolderTest,
    ::testing::Values(FolderCase{"FileInPlaceOfTheFolder", "home/.local/share/Corvella",
                                 "home/.local/share/Corvella"},
                      FolderCase{"FileInPlaceOfTheDataFolder", "home/.local/share",
                                 "home/.local/share"},
                      FolderCase{"FileInPlaceOfAFolderAbove", "home/.local", "home/.local"}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Two saves of the same file at once, their steps interleaved: each writes a file of its own,
// and both succeed; the one that finishes last wins.
TEST_F(PasswordFileTest, InterleavedWritersKeepTheirOwnTemporaryFiles) {
  for (const bool firstFinishesFirst : {true, false}) {
    SCOPED_TRACE(firstFinishesFirst ? "first finishes first" : "second finishes first");
    platform::AtomicFileWriter first(vault_);
    platform::AtomicFileWriter second(vault_);
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    first.Write(std::string(10000, '1'));
    second.Write(std::string(20000, '2'));
    platform::AtomicFileWriter& early = firstFinishesFirst ? first : second;
    platform::AtomicFileWriter& late = firstFinishesFirst ? second : first;
    early.Commit();
    EXPECT_EQ(ListDirectory(dir_.Path()).size(), 2u) << "the later writer's file must stay";
    late.Commit();

    EXPECT_EQ(ReadFileBytes(vault_),
              firstFinishesFirst ? std::string(20000, '2') : std::string(10000, '1'));
    EXPECT_EQ(ListDirectory(dir_.Path()), kOnlyTheFile);
  }
}

// A password file reached through a symbolic link: the save replaces the file at the end of the
// links, in its own folder, and the links stay.
struct LinkCase {
  const char* name;
  // (link, where it points; "/..." below the test's folder), in the order they are followed
  std::vector<std::pair<std::string, std::string>> links;
  std::string target;  // the file they lead to
  bool targetExists;
};

void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.name; }

class LinkedFileTest : public PasswordFileTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkedFileTest, SaveThroughLinksReplacesTheTargetAndKeepsTheLinks) {
  const LinkCase& c = GetParam();
  for (const std::string folder : {"data", "synced", "elsewhere"}) {
    std::filesystem::create_directory(dir_ / folder);
  }
  if (c.targetExists) Save(dir_ / c.target, Numbered("old", 2));
  const auto where = [this](const std::string& pointsTo) {
    return pointsTo.starts_with('/') ? dir_.Path() + pointsTo : pointsTo;
  };
  for (const auto& [link, pointsTo] : c.links) {
    std::filesystem::create_symlink(where(pointsTo), dir_ / link);
  }
  const std::string path = dir_ / c.links.front().first;

  Save(path, Numbered("new", 3));

  for (const auto& [link, pointsTo] : c.links) {
    ASSERT_TRUE(std::filesystem::is_symlink(dir_ / link)) << link;
    EXPECT_EQ(std::filesystem::read_symlink(dir_ / link).string(), where(pointsTo));
  }
  EXPECT_EQ(FileMode(dir_ / c.target), 0600u);
  for (const std::string& viaPath : {path, dir_ / c.target}) {
    PasswordStore loaded;
    loaded.SetMasterPassword(kMaster);
    EXPECT_EQ(loaded.LoadPasswordsFrom(viaPath), LoadResult::Loaded);
    EXPECT_EQ(Snapshot(loaded), Numbered("new", 3));
  }
  // No temporary file stays in any folder.
  std::set<std::string> names;
  for (const auto& item : std::filesystem::recursive_directory_iterator(dir_.Path())) {
    names.insert(item.path().lexically_relative(dir_.Path()).string());
  }
  std::set<std::string> expected = {"data", "synced", "elsewhere", c.target};
  for (const auto& link : c.links) expected.insert(link.first);
  // The backup sits beside the file the links lead to.
  if (c.targetExists) expected.insert(c.target + ".bak");
  EXPECT_EQ(names, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkedFileTest,
    ::testing::Values(LinkCase{"Relative",
                               {{"data/Passwords.dat", "../synced/Passwords.dat"}},
                               "synced/Passwords.dat",
                               true},
                      LinkCase{"Absolute",
                               {{"data/Passwords.dat", "/synced/Passwords.dat"}},
                               "synced/Passwords.dat",
                               true},
                      LinkCase{"Chain",
                               {{"data/Passwords.dat", "../elsewhere/hop"},
                                {"elsewhere/hop", "../synced/vault"}},
                               "synced/vault",
                               true},
                      LinkCase{"ToAFileNotYetThere",
                               {{"data/Passwords.dat", "../synced/new.dat"}},
                               "synced/new.dat",
                               false}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(PasswordFileTest, LinkLoopIsAnErrorNamingTheFile) {
  std::filesystem::create_symlink("other", vault_);
  std::filesystem::create_symlink("Passwords.dat", dir_ / "other");
  try {
    Save(vault_, Numbered("x", 1));
    ADD_FAILURE() << "saved through a loop of links";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + vault_ + "\". Too many levels of symbolic links");
  }
  EXPECT_EQ(ListDirectory(dir_.Path()), (std::set<std::string>{"Passwords.dat", "other"}));
}

// A new password file appears whole or not at all, and never over anything that is there.
TEST_F(PasswordFileTest, NewFileNeverReplacesWhatAppearedMeanwhile) {
  PasswordStore store;
  store.SetMasterPassword(kMaster);
  AddAll(store, Numbered("new", 2));
  store.CreatePasswordFile(vault_);
  EXPECT_EQ(FileMode(vault_), 0600u);
  PasswordStore loaded;
  loaded.SetMasterPassword(kMaster);
  EXPECT_EQ(loaded.LoadPasswordsFrom(vault_), LoadResult::Loaded);
  EXPECT_EQ(Snapshot(loaded), Numbered("new", 2));
  const std::string first = ReadFileBytes(vault_);

  const std::string dangling = dir_ / "dangling.dat";
  std::filesystem::create_symlink("nowhere", dangling);
  for (const std::string& taken : {vault_, dangling}) {
    SCOPED_TRACE(taken);
    // Appears between the start of the write and its end.
    platform::AtomicFileWriter file(dir_ / "late.dat");
    file.Write("partial");
    std::filesystem::copy(taken, dir_ / "late.dat", std::filesystem::copy_options::copy_symlinks);
    try {
      file.CommitNew();
      ADD_FAILURE() << "replaced a file that appeared meanwhile";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot create file \"" + (dir_ / "late.dat") + "\". File exists");
    }
    try {
      store.CreatePasswordFile(taken);
      ADD_FAILURE() << "replaced " << taken;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + taken + "\". File exists");
    }
    std::filesystem::remove(dir_ / "late.dat");
  }
  EXPECT_EQ(ReadFileBytes(vault_), first);
  EXPECT_EQ(std::filesystem::read_symlink(dangling), "nowhere");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "nowhere"));
  EXPECT_EQ(ListDirectory(dir_.Path()), (std::set<std::string>{"Passwords.dat", "dangling.dat"}));
}

TEST_F(PasswordFileTest, FileBesideTheProgramWinsOnlyWhileItIsAFile) {
  const std::string programDir = dir_ / "program/";
  const std::string dataDir = dir_ / "data/";
  const std::string besideProgram = programDir + "Passwords.dat";
  const std::string inDataDir = dataDir + "Corvella/Passwords.dat";
  std::filesystem::create_directories(programDir);

  EXPECT_EQ(PasswordFileNameIn(programDir, dataDir), inDataDir);

  Save(inDataDir, Numbered("data", 1));
  ASSERT_TRUE(std::filesystem::create_directory(besideProgram));
  EXPECT_EQ(PasswordFileNameIn(programDir, dataDir), inDataDir) << "a folder is not the file";

  ASSERT_TRUE(std::filesystem::remove(besideProgram));
  Save(besideProgram, Numbered("program", 1));
  EXPECT_EQ(PasswordFileNameIn(programDir, dataDir), besideProgram);

  ASSERT_TRUE(std::filesystem::remove(besideProgram));
  EXPECT_EQ(PasswordFileNameIn(programDir, dataDir), inDataDir);
}

TEST_F(PasswordFileTest, SaveOntoAFolderFailsAndLeavesItAlone) {
  ASSERT_TRUE(std::filesystem::create_directory(vault_));
  WriteFileBytes(vault_ + "/inside", "content");

  PasswordStore store;
  store.SetMasterPassword(kMaster);
  AddAll(store, Numbered("x", 2));
  try {
    store.SavePasswordsTo(vault_);
    ADD_FAILURE() << "saved onto a folder";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Passwords.dat"), std::string::npos) << e.what();
  }

  EXPECT_TRUE(std::filesystem::is_directory(vault_));
  EXPECT_EQ(ListDirectory(vault_), std::set<std::string>{"inside"});
  EXPECT_EQ(ReadFileBytes(vault_ + "/inside"), "content");
  EXPECT_EQ(ListDirectory(dir_.Path()), kOnlyTheFile) << "the temporary file must be gone";

  // A folder is no password file to load either.
  EXPECT_EQ(store.LoadPasswordsFrom(vault_), LoadResult::FileMissing);
  EXPECT_EQ(store.Entries().size(), 2u);
}

// A writer that fails part-way: the file size limit stops the temporary file after
// `limit` bytes (EFBIG). Runs in a child so that the limit does not outlive the case.
struct WriteLimitCase {
  rlim_t limit;
  bool previousFile;
};

void PrintTo(const WriteLimitCase& c, std::ostream* out) {
  *out << "limit " << c.limit << (c.previousFile ? ", previous file" : ", no previous file");
}

class WriteFailureTest : public PasswordFileTest,
                         public ::testing::WithParamInterface<WriteLimitCase> {
 protected:
  // Saves `entries` to vault_ in a child under the file size limit `limit`.
  ChildOutcome SaveLimited(const std::vector<Plain>& entries, rlim_t limit) {
    return RunInChild([&](std::string& message) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit size{limit, limit};
      if (::setrlimit(RLIMIT_FSIZE, &size) != 0) return 3;
      try {
        Save(vault_, entries);
        return 0;
      } catch (const Error& e) {
        message = e.what();
        return 1;
      } catch (...) {
        return 2;
      }
    });
  }
};

TEST_P(WriteFailureTest, FailedWriteRaisesAndKeepsThePreviousFile) {
  const WriteLimitCase& c = GetParam();
  const std::vector<Plain> entries = Numbered("big", 40, 3500);  // about 140 kB
  ASSERT_GT(StreamOf(entries).size(), 2 * kCipherPieceSize + 1);
  std::string before;
  if (c.previousFile) {
    Save(vault_, Numbered("previous", 30, 300));
    before = ReadFileBytes(vault_);
  }

  const ChildOutcome outcome = SaveLimited(entries, c.limit);

  ASSERT_EQ(outcome.exitCode, 1) << "the save did not raise an error";
  EXPECT_NE(outcome.message.find("Cannot write file \"" + vault_ + "\""), std::string::npos)
      << outcome.message;
  EXPECT_NE(outcome.message.find("File too large"), std::string::npos) << outcome.message;
  if (c.previousFile) {
    EXPECT_EQ(ListDirectory(dir_.Path()), kOnlyTheFile);
    EXPECT_EQ(ReadFileBytes(vault_), before);
  } else {
    EXPECT_TRUE(ListDirectory(dir_.Path()).empty());
  }
}

TEST_F(WriteFailureTest, SaveWithinTheLimitSucceeds) {
  // Checks the harness: a limit of exactly the file's length lets the save through.
  const std::vector<Plain> entries = Numbered("big", 40, 400);
  const auto length = static_cast<rlim_t>(StreamOf(entries).size());
  Save(vault_, Numbered("previous", 3));

  const ChildOutcome outcome = SaveLimited(entries, length);

  ASSERT_EQ(outcome.exitCode, 0) << outcome.message;
  EXPECT_EQ(ListDirectory(dir_.Path()),
            (std::set<std::string>{"Passwords.dat", "Passwords.dat.bak"}));
  PasswordStore loaded;
  loaded.SetMasterPassword(kMaster);
  loaded.LoadPasswordsFrom(vault_);
  EXPECT_EQ(Snapshot(loaded), entries);
}

INSTANTIATE_TEST_SUITE_P(Limits, WriteFailureTest,
                         ::testing::Values(WriteLimitCase{0, true}, WriteLimitCase{1, true},
                                           WriteLimitCase{8191, true}, WriteLimitCase{8192, true},
                                           WriteLimitCase{8193, true}, WriteLimitCase{65535, true},
                                           WriteLimitCase{65536, true}, WriteLimitCase{65537, true},
                                           WriteLimitCase{131073, true}, WriteLimitCase{0, false},
                                           WriteLimitCase{8193, false}),
                         [](const auto& tested) {
                           return "Limit" + std::to_string(tested.param.limit) +
                                  (tested.param.previousFile ? "" : "NoPreviousFile");
                         });

// Loading.

const std::vector<Plain> kBefore = {{"before 1", "u1", "n1", "p1"}, {"before 2", "u2", "n2", "p2"}};

TEST_F(PasswordFileTest, MissingFileLoadsNothing) {
  PasswordStore store;
  store.SetMasterPassword(kMaster);
  AddAll(store, kBefore);

  EXPECT_EQ(store.LoadPasswordsFrom(vault_), LoadResult::FileMissing);
  EXPECT_EQ(Snapshot(store), kBefore);
  EXPECT_TRUE(ListDirectory(dir_.Path()).empty());
}

TEST_F(PasswordFileTest, WrongMasterPasswordAppendsNothing) {
  Save(vault_, Numbered("secret", 5));
  for (const std::string& wrong :
       {std::string("m\xC3\xA4ster keY"), std::string("x"), kMaster + " ", kMaster.substr(1)}) {
    PasswordStore store;
    store.SetMasterPassword(wrong);
    AddAll(store, kBefore);
    EXPECT_THROW(store.LoadPasswordsFrom(vault_), InvalidPasswordError);
    EXPECT_EQ(Snapshot(store), kBefore);
  }
}

TEST_F(PasswordFileTest, LoadAppendsToTheEntriesThere) {
  Save(vault_, Numbered("file", 3));
  PasswordStore store;
  store.SetMasterPassword(kMaster);
  AddAll(store, kBefore);

  EXPECT_EQ(store.LoadPasswordsFrom(vault_), LoadResult::Loaded);
  std::vector<Plain> expected = kBefore;
  for (const Plain& entry : Numbered("file", 3)) expected.push_back(entry);
  EXPECT_EQ(Snapshot(store), expected);

  // Loading the same file again appends the same entries once more.
  EXPECT_EQ(store.LoadPasswordsFrom(vault_), LoadResult::Loaded);
  EXPECT_EQ(store.Entries().size(), expected.size() + 3);
}

TEST_F(PasswordFileTest, SnapshotKeepsTheListWhileTheStoreChangesIt) {
  Save(vault_, Numbered("file", 3));
  PasswordStore store;
  store.SetMasterPassword(kMaster);
  AddAll(store, kBefore);
  const EntryListSnapshot taken = store.Snapshot();
  const std::vector<EntryPtr> original = *taken;

  ASSERT_EQ(store.LoadPasswordsFrom(vault_), LoadResult::Loaded);
  EXPECT_EQ(*taken, original);
  EXPECT_EQ(store.Entries().size(), original.size() + 3);

  const EntryListSnapshot loaded = store.Snapshot();
  store.RemoveEntry(store.Entries().front().get());
  store.AddEntry(MakeEntry({"added", "", "", ""}, store.Key()));
  EXPECT_EQ(*taken, original);
  EXPECT_EQ(loaded->size(), original.size() + 3);
  EXPECT_EQ(loaded->front(), original.front());

  // Wiping empties the entries in the list, also where a snapshot reaches them, but not its list.
  store.WipeEntries();
  EXPECT_TRUE(store.Entries().empty());
  EXPECT_EQ(*taken, original);
  EXPECT_TRUE(taken->back()->SiteName().empty());
  EXPECT_FALSE(taken->front()->SiteName().empty());  // removed before, so not wiped
}

// Files made from hand-built streams. On an error the store holds exactly what it held before.
enum class Expect { Loaded, Damaged, WrongPassword };

struct StreamCase {
  const char* name;
  std::string stream;
  Expect expect;
  std::vector<Plain> entries;  // appended when loaded
};

void PrintTo(const StreamCase& c, std::ostream* out) { *out << c.name; }

const Plain kOne = {"one", "https://one.example/", "first", "pw1"};
const Plain kTwo = {"two", "https://two.example/", "second", "pw2"};

std::string Negative() { return std::string("\xFF\xFF\xFF\xFF", 4); }

std::vector<StreamCase> StreamCases() {
  const std::string marker = "QVZ";
  const std::string one = Record(kOne);
  const std::string two = Record(kTwo);
  return {
      {"MarkerOnly", marker, Expect::Loaded, {}},
      {"MarkerAndStrayByte", marker + '\0', Expect::Loaded, {}},
      {"MarkerAndTwoStrayBytes", marker + std::string(2, '\0'), Expect::Damaged, {}},
      {"RecordAndStrayByte", marker + one + 'x', Expect::Loaded, {kOne}},
      {"RecordsAndStrayByte", marker + one + two + 'x', Expect::Loaded, {kOne, kTwo}},
      {"SecondRecordCutInLengthPrefix", marker + one + two.substr(0, 3), Expect::Damaged, {}},
      {"SecondRecordCutInTag", marker + one + two.substr(0, 9), Expect::Damaged, {}},
      {"SecondRecordCutInValue", marker + one + two.substr(0, 18), Expect::Damaged, {}},
      {"SecondRecordWithoutEnd", marker + one + two.substr(0, two.size() - 7), Expect::Damaged, {}},
      {"ThirdRecordCut", marker + one + two + one.substr(0, one.size() - 1), Expect::Damaged, {}},
      {"NegativeLength",
       marker + one + Field("SiteName") + Negative() + "xxxxxxxx",
       Expect::Damaged,
       {}},
      {"LengthBeyondTheEnd",
       marker + one + std::string("\xFF\xFF\xFF\x7F", 4) + "End",
       Expect::Damaged,
       {}},
      // Shorter than the marker under any password: damaged, not a wrong password.
      {"EmptyFile", "", Expect::Damaged, {}},
      {"ShorterThanMarker", "QV", Expect::Damaged, {}},
      {"WrongMarker", "QVY" + one, Expect::WrongPassword, {}},
  };
}

class StreamFileTest : public PasswordFileTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamFileTest, LoadAppendsAllOrNothing) {
  const StreamCase& c = GetParam();
  WriteVault(vault_, c.stream, kMaster);
  ASSERT_EQ(std::filesystem::file_size(vault_), c.stream.size());

  PasswordStore store;
  store.SetMasterPassword(kMaster);
  AddAll(store, kBefore);
  std::vector<Plain> expected = kBefore;
  switch (c.expect) {
    case Expect::Loaded:
      EXPECT_EQ(store.LoadPasswordsFrom(vault_), LoadResult::Loaded);
      expected.insert(expected.end(), c.entries.begin(), c.entries.end());
      break;
    case Expect::Damaged:
      EXPECT_THROW(store.LoadPasswordsFrom(vault_), StreamReadError);
      break;
    case Expect::WrongPassword:
      EXPECT_THROW(store.LoadPasswordsFrom(vault_), InvalidPasswordError);
      break;
  }
  EXPECT_EQ(Snapshot(store), expected);
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamFileTest, ::testing::ValuesIn(StreamCases()),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(PasswordFileTest, TruncatedSavedFileRaisesAndAppendsNothing) {
  const std::vector<Plain> entries = Numbered("cut", 3, 40);
  Save(vault_, entries);
  const std::string whole = ReadFileBytes(vault_);
  // The third record begins here; cutting inside it leaves two stray bytes or more.
  const std::size_t third = StreamOf({entries[0], entries[1]}).size();
  ASSERT_EQ(whole.size(), third + Record(entries[2]).size());

  for (const std::size_t length :
       {third + 2, third + 17, third + 60, whole.size() - 16, whole.size() - 1}) {
    SCOPED_TRACE("cut to " + std::to_string(length) + " of " + std::to_string(whole.size()));
    const std::string cut = dir_ / "cut.dat";
    WriteFileBytes(cut, whole.substr(0, length));
    PasswordStore store;
    store.SetMasterPassword(kMaster);
    AddAll(store, kBefore);
    EXPECT_THROW(store.LoadPasswordsFrom(cut), StreamReadError);
    EXPECT_EQ(Snapshot(store), kBefore);
  }
}

}  // namespace
}  // namespace corvella
