// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Saves by real processes. A save killed at any moment leaves either the previous or the new
// password file in place, never a mixture or a damaged file; two programs saving the same file
// take turns, and no save that reported success is lost.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "TempDir.h"
#include "core/Error.h"
#include "platform/VaultLock.h"
#include "store/PasswordStore.h"
#include "store/SessionKey.h"

namespace corvella {
namespace {

using tests::ListDirectory;
using tests::TempDir;

const std::string kMaster = "crash master";

using Plain = std::tuple<std::string, std::string, std::string, std::string>;

std::vector<Plain> MakeList(const std::string& prefix, int count) {
  std::vector<Plain> list;
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    list.emplace_back(
        prefix + " site " + n, "https://" + prefix + n + ".example/" + std::string(150, 'u'),
        prefix + " user " + n, prefix + n + std::string(200, static_cast<char>('A' + i % 26)));
  }
  return list;
}

std::vector<Plain> Snapshot(const PasswordStore& store) {
  std::vector<Plain> result;
  for (const EntryPtr& entry : store.Entries()) {
    result.emplace_back(entry->SiteName(), entry->Url(), entry->UserName(),
                        std::string(entry->Password(store.Key()).View()));
  }
  return result;
}

void SaveList(const std::string& path, const std::vector<Plain>& list) {
  PasswordStore store;
  store.SetMasterPassword(kMaster);
  for (const auto& [site, url, user, password] : list) {
    auto entry = std::make_shared<Entry>();
    entry->SetSiteName(site);
    entry->SetUrl(url);
    entry->SetUserName(user);
    entry->SetPassword(password, store.Key());
    store.AddEntry(std::move(entry));
  }
  store.SavePasswordsTo(path);
}

// Starts the saver with `arguments`, the master password on its standard input and its
// standard output going to `output`. -1 when it cannot be started.
// Loads the vault under kMaster into `store`; anything but a whole file is a failure.
void Load(PasswordStore& store, const std::string& vault) {
  store.SetMasterPassword(kMaster);
  try {
    ASSERT_EQ(store.LoadPasswordsFrom(vault), LoadResult::Loaded);
  } catch (const Error& e) {
    FAIL() << "the file does not load: " << e.what();
  }
}

pid_t StartSaver(const std::vector<std::string>& arguments, int output) {
  int input[2];
  if (::pipe(input) != 0) return -1;
  std::vector<char*> argv = {const_cast<char*>(CORVELLA_VAULT_SAVER)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(input[0], STDIN_FILENO);
    ::dup2(output, STDOUT_FILENO);
    ::close(input[0]);
    ::close(input[1]);
    ::execv(CORVELLA_VAULT_SAVER, argv.data());
    ::_exit(127);
  }
  ::close(input[0]);
  // Short enough for the pipe buffer, so this never blocks.
  [[maybe_unused]] const auto put = ::write(input[1], kMaster.data(), kMaster.size());
  ::close(input[1]);
  return child;
}

// The saver's exit status, or -1 when it did not end by itself.
int WaitForExit(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// True for the name of a save's temporary file of "Passwords.dat".
bool IsTemporaryName(const std::string& name) {
  return name.size() == std::string(".Passwords.dat.XXXXXX.tmp").size() &&
         name.starts_with(".Passwords.dat.") && name.ends_with(".tmp");
}

// Tells whether a rename replaced the file: a new inode, or a reused one with a new change time.
struct FileIdentity {
  ino_t inode = 0;
  std::int64_t changed = 0;
  bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return {status.st_ino, std::int64_t{status.st_ctim.tv_sec} * 1000000000 + status.st_ctim.tv_nsec};
}

unsigned SeedFromEnvironment() {
  if (const char* seed = std::getenv("CORVELLA_CRASH_SEED")) {
    return static_cast<unsigned>(std::strtoul(seed, nullptr, 10));
  }
  return std::random_device{}();
}

TEST(CrashSafetyTest, KilledSaveLeavesTheOldOrTheNewFile) {
  constexpr int kRounds = 1000;
  constexpr int kMaxDelayMicroseconds = 15000;
  // The saver may die before it reads its input.
  struct IgnoreBrokenPipe {
    IgnoreBrokenPipe() {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      ::sigaction(SIGPIPE, &ignore, &previous);
    }
    ~IgnoreBrokenPipe() { ::sigaction(SIGPIPE, &previous, nullptr); }
    struct sigaction previous {};
  } ignoreBrokenPipe;

  const unsigned seed = SeedFromEnvironment();
  SCOPED_TRACE("CORVELLA_CRASH_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay(0, kMaxDelayMicroseconds);

  TempDir dir;
  const std::string lists = dir / "lists";
  const std::string folder = dir / "vault";
  std::filesystem::create_directory(lists);
  std::filesystem::create_directory(folder);
  const std::string vault = folder + "/Passwords.dat";
  const auto listA = MakeList("alpha", 50);
  const auto listB = MakeList("beta", 51);
  SaveList(lists + "/A.dat", listA);
  SaveList(lists + "/B.dat", listB);
  SaveList(vault, listA);

  // The killed saver held the lock, so its lock file stays; so may its temporary file, but not
  // those of earlier rounds: the next holder of the lock removes them.
  const std::set<std::string> fileAndLock = {"Passwords.dat", "Passwords.dat.lock"};
  const auto fullSizes = std::set<std::uintmax_t>{std::filesystem::file_size(lists + "/A.dat"),
                                                  std::filesystem::file_size(lists + "/B.dat")};
  // How the kills met the saver, to show that they hit saves at every stage.
  int replaced = 0, temporaryLeft = 0, partialTemporary = 0, seenA = 0, seenB = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const FileIdentity before = IdentityOf(vault);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t saver = StartSaver({vault, lists + "/A.dat", lists + "/B.dat"}, ready[1]);
    ::close(ready[1]);
    ASSERT_GT(saver, 0);
    // The random delay counts from the first save, so that a slow start (as under a sanitizer)
    // does not take up the time.
    char byte = 0;
    const bool started = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (started) std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(saver, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(saver, &status, 0), saver);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the saver stopped by itself, exit status "
        << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);

    std::set<std::string> names = ListDirectory(folder);
    std::vector<std::string> temporaries;
    std::erase_if(names, [&temporaries](const std::string& name) {
      if (!IsTemporaryName(name)) return false;
      temporaries.push_back(name);
      return true;
    });
    // The backup, from the first completed save on, holds one of the lists too.
    if (names.erase("Passwords.dat.bak") == 1) {
      PasswordStore backup;
      ASSERT_NO_FATAL_FAILURE(Load(backup, folder + "/Passwords.dat.bak"));
      const std::vector<Plain> kept = Snapshot(backup);
      ASSERT_TRUE(kept == listA || kept == listB) << "the backup holds neither list";
    }
    ASSERT_EQ(names, fileAndLock);
    // The new file's, and the second name of the previous file on its way to be the backup.
    ASSERT_LE(temporaries.size(), 2u) << ::testing::PrintToString(temporaries);
    replaced += IdentityOf(vault) != before ? 1 : 0;
    if (!temporaries.empty()) {
      ++temporaryLeft;
      for (const std::string& temporary : temporaries) {
        if (!fullSizes.contains(std::filesystem::file_size(folder + "/" + temporary))) {
          ++partialTemporary;
          break;
        }
      }
    }

    PasswordStore store;
    ASSERT_NO_FATAL_FAILURE(Load(store, vault));
    const std::vector<Plain> loaded = Snapshot(store);
    if (loaded == listA) {
      ++seenA;
    } else if (loaded == listB) {
      ++seenB;
    } else {
      FAIL() << "the file holds " << loaded.size() << " entries that are neither list";
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "%d kills in %.1f s (seed %u): file replaced in %d rounds, a temporary file left in %d "
      "(partly written in %d); list A found %d times, list B %d times\n",
      kRounds, seconds, seed, replaced, temporaryLeft, partialTemporary, seenA, seenB);
  // Otherwise the kills never let a save finish and little was tested.
  EXPECT_GT(replaced, 0);
  EXPECT_GT(temporaryLeft, 0);

  // The next program to take the lock clears what the last killed save left.
  { const platform::VaultLock lock(vault); }
  EXPECT_EQ(ListDirectory(folder), (std::set<std::string>{"Passwords.dat", "Passwords.dat.bak"}));
}

// What a saver in --append mode reported: the numbers of its saves and how often it found the
// vault held by the other one.
struct Report {
  std::set<int> saved;
  int refused = 0;
};

Report ReadReport(const std::string& path, const std::string& refusal) {
  Report report;
  std::ifstream lines(path);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("saved ")) {
      const int number = std::stoi(line.substr(6));
      EXPECT_TRUE(report.saved.insert(number).second) << "saved twice: " << line;
    } else {
      EXPECT_EQ(line, "refused " + refusal);
      ++report.refused;
    }
  }
  return report;
}

TEST(ConcurrentSaveTest, TwoSaversTakeTurnsAndLoseNothing) {
  constexpr int kSeconds = 5;
  TempDir dir;
  const std::string vault = dir / "Passwords.dat";
  // One saver goes through a link: the lock follows it to the same file.
  const std::string link = dir / "Link.dat";
  std::filesystem::create_symlink("Passwords.dat", link);
  const std::map<std::string, std::string> paths = {{"first", vault}, {"second", link}};

  std::map<std::string, pid_t> savers;
  for (const auto& [name, path] : paths) {
    const std::string output = dir / (name + ".txt");
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    savers[name] = StartSaver({"--append", name, std::to_string(kSeconds), path}, fd);
    ::close(fd);
  }
  for (const auto& [name, pid] : savers) {
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForExit(pid), 0) << "the " << name << " saver failed";
  }

  std::set<std::string> expected;
  int refused = 0;
  for (const auto& [name, path] : paths) {
    const Report report = ReadReport(dir / (name + ".txt"),
                                     "The password file " + path + " is open in another program");
    EXPECT_FALSE(report.saved.empty()) << "the " << name << " saver never saved";
    for (const int number : report.saved) expected.insert(name + " " + std::to_string(number));
    refused += report.refused;
  }
  PasswordStore store;
  ASSERT_NO_FATAL_FAILURE(Load(store, vault));
  std::multiset<std::string> found;
  for (const EntryPtr& entry : store.Entries()) {
    found.insert(std::string(entry->SiteName()));
    EXPECT_TRUE(entry->Password(store.Key()).View() == "pw " + std::string(entry->SiteName()));
  }
  std::vector<std::string> lost;
  std::set_difference(expected.begin(), expected.end(), found.begin(), found.end(),
                      std::back_inserter(lost));
  EXPECT_TRUE(lost.empty()) << lost.size() << " saves reported success and are lost, such as \""
                            << lost.front() << "\"";
  EXPECT_EQ(found.size(), expected.size()) << "the file holds entries of no reported save";
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ListDirectory(dir.Path()),
            (std::set<std::string>{"Passwords.dat", "Passwords.dat.bak", "Link.dat", "first.txt",
                                   "second.txt"}));
  std::printf(
      "%d s, two savers: %zu saves reported, %zu entries found, %zu lost; %d refused "
      "while the other held the file\n",
      kSeconds, expected.size(), found.size(), lost.size(), refused);
  // Otherwise the two never met.
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace corvella
