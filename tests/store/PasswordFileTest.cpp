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

using tests::FileMode;
using tests::ListDirectory;
using tests::ReadFileBytes;
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
  auto entry = std::make_shared<Entry>();
  entry->siteName = plain.site;
  entry->url = plain.url;
  entry->userName = plain.user;
  entry->SetPassword(plain.password, key);
  return entry;
}

void AddAll(PasswordStore& store, const std::vector<Plain>& entries) {
  for (const Plain& plain : entries) store.AddEntry(MakeEntry(plain, store.Key()));
}

std::vector<Plain> Snapshot(const PasswordStore& store) {
  std::vector<Plain> result;
  for (const EntryPtr& entry : store.Entries()) {
    result.push_back({entry->siteName, entry->url, entry->userName,
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
                         ::testing::Values(69, 70, 80, 96, 8191, 8192, 8193, 8208, 20001),
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
  bool leftoverTemporary;  // a Passwords.dat.tmp with mode 0644 from an interrupted save
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
  if (c.previousFile) {
    Save(vault, Numbered("old", 1));
    ASSERT_EQ(::chmod(vault.c_str(), 0644), 0);
  }
  if (c.leftoverTemporary) {
    // Longer than the new file: a temporary that is not truncated would show.
    WriteFileBytes(vault + ".tmp", std::string(5000, 'x'));
    ASSERT_EQ(::chmod((vault + ".tmp").c_str(), 0644), 0);
  }
  {
    UmaskGuard mask(c.umask);
    Save(vault, entries);
  }

  EXPECT_EQ(ListDirectory(target.Path()), kOnlyTheFile);
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
  PasswordStore loaded;
  loaded.SetMasterPassword(kMaster);
  EXPECT_EQ(loaded.LoadPasswordsFrom(path), LoadResult::Loaded);
  EXPECT_EQ(Snapshot(loaded), Numbered("first", 2));
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
  struct Outcome {
    int exitCode = -1;
    std::string message;
  };

  // Saves `entries` to vault_ in a child under the file size limit `limit`.
  Outcome SaveLimited(const std::vector<Plain>& entries, rlim_t limit) {
    int channel[2];
    if (::pipe(channel) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(channel[0]);
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit size{limit, limit};
      int code = 3;
      std::string message;
      if (::setrlimit(RLIMIT_FSIZE, &size) == 0) {
        try {
          Save(vault_, entries);
          code = 0;
        } catch (const Error& e) {
          code = 1;
          message = e.what();
        } catch (...) {
          code = 2;
        }
      }
      [[maybe_unused]] const auto put = ::write(channel[1], message.data(), message.size());
      ::_exit(code);
    }
    ::close(channel[1]);
    Outcome outcome;
    char buffer[512];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
      outcome.message.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
      outcome.exitCode = WEXITSTATUS(status);
    }
    return outcome;
  }
};

TEST_P(WriteFailureTest, FailedWriteRaisesAndKeepsThePreviousFile) {
  const WriteLimitCase& c = GetParam();
  const std::vector<Plain> entries = Numbered("big", 40, 400);  // about 20 kB
  ASSERT_GT(StreamOf(entries).size(), 2 * kCipherPieceSize + 1);
  std::string before;
  if (c.previousFile) {
    Save(vault_, Numbered("previous", 30, 300));
    before = ReadFileBytes(vault_);
  }

  const Outcome outcome = SaveLimited(entries, c.limit);

  ASSERT_EQ(outcome.exitCode, 1) << "the save did not raise an error";
  EXPECT_NE(outcome.message.find("Cannot write file \"" + vault_ + ".tmp\""), std::string::npos)
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

  const Outcome outcome = SaveLimited(entries, length);

  ASSERT_EQ(outcome.exitCode, 0) << outcome.message;
  EXPECT_EQ(ListDirectory(dir_.Path()), kOnlyTheFile);
  PasswordStore loaded;
  loaded.SetMasterPassword(kMaster);
  loaded.LoadPasswordsFrom(vault_);
  EXPECT_EQ(Snapshot(loaded), entries);
}

INSTANTIATE_TEST_SUITE_P(Limits, WriteFailureTest,
                         ::testing::Values(WriteLimitCase{0, true}, WriteLimitCase{1, true},
                                           WriteLimitCase{8191, true}, WriteLimitCase{8192, true},
                                           WriteLimitCase{8193, true}, WriteLimitCase{16385, true},
                                           WriteLimitCase{0, false}, WriteLimitCase{8193, false}),
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
      {"EmptyFile", "", Expect::WrongPassword, {}},
      {"ShorterThanMarker", "QV", Expect::WrongPassword, {}},
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
