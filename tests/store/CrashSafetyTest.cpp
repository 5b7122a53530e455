// A save killed at any moment leaves either the previous or the new password file in place,
// never a mixture or a damaged file.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "TempDir.h"
#include "core/Error.h"
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
    result.emplace_back(entry->siteName, entry->url, entry->userName,
                        std::string(entry->Password(store.Key()).View()));
  }
  return result;
}

void SaveList(const std::string& path, const std::vector<Plain>& list) {
  PasswordStore store;
  store.SetMasterPassword(kMaster);
  for (const auto& [site, url, user, password] : list) {
    auto entry = std::make_shared<Entry>();
    entry->siteName = site;
    entry->url = url;
    entry->userName = user;
    entry->SetPassword(password, store.Key());
    store.AddEntry(std::move(entry));
  }
  store.SavePasswordsTo(path);
}

struct Saver {
  pid_t pid = -1;
  int ready = -1;  // gives one byte when the saver begins to save
};

// Starts the saver with the master password on its standard input.
Saver StartSaver(const std::string& vault, const std::string& listA, const std::string& listB) {
  int input[2];
  int output[2];
  if (::pipe(input) != 0) return {};
  if (::pipe(output) != 0) {
    ::close(input[0]);
    ::close(input[1]);
    return {};
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(input[0], STDIN_FILENO);
    ::dup2(output[1], STDOUT_FILENO);
    for (const int fd : {input[0], input[1], output[0], output[1]}) ::close(fd);
    ::execl(CORVELLA_VAULT_SAVER, CORVELLA_VAULT_SAVER, vault.c_str(), listA.c_str(), listB.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(input[0]);
  ::close(output[1]);
  // Short enough for the pipe buffer, so this never blocks.
  [[maybe_unused]] const auto put = ::write(input[1], kMaster.data(), kMaster.size());
  ::close(input[1]);
  return {child, output[0]};
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

// True for the name of a save's temporary file of "Passwords.dat".
bool IsTemporaryName(const std::string& name) {
  return name.size() == std::string(".Passwords.dat.XXXXXX.tmp").size() &&
         name.starts_with(".Passwords.dat.") && name.ends_with(".tmp");
}

unsigned SeedFromEnvironment() {
  if (const char* seed = std::getenv("CORVELLA_CRASH_SEED")) {
    return static_cast<unsigned>(std::strtoul(seed, nullptr, 10));
  }
  return std::random_device{}();
}

TEST(CrashSafetyTest, KilledSaveLeavesTheOldOrTheNewFile) {
  constexpr int kRounds = 300;
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

  const std::set<std::string> onlyTheFile = {"Passwords.dat"};
  // How the kills met the saver, to show that they hit saves at every stage.
  int replaced = 0, seenA = 0, seenB = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const FileIdentity before = IdentityOf(vault);
    const Saver saver = StartSaver(vault, lists + "/A.dat", lists + "/B.dat");
    ASSERT_GT(saver.pid, 0);
    // The random delay counts from the first save, so that a slow start (as under a sanitizer)
    // does not take up the time.
    char ready = 0;
    const bool started = ::read(saver.ready, &ready, 1) == 1;
    ::close(saver.ready);
    if (started) std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(saver.pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(saver.pid, &status, 0), saver.pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the saver stopped by itself, exit status "
        << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);

    // Besides the file, only temporary files of killed saves.
    std::set<std::string> names = ListDirectory(folder);
    std::erase_if(names, IsTemporaryName);
    ASSERT_EQ(names, onlyTheFile);
    replaced += IdentityOf(vault) != before ? 1 : 0;

    PasswordStore store;
    store.SetMasterPassword(kMaster);
    try {
      ASSERT_EQ(store.LoadPasswordsFrom(vault), LoadResult::Loaded);
    } catch (const Error& e) {
      FAIL() << "the file does not load: " << e.what();
    }
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
      "%d kills in %.1f s (seed %u): file replaced in %d rounds; list A found %d times, list B %d "
      "times\n",
      kRounds, seconds, seed, replaced, seenA, seenB);
  // Otherwise the kills never let a save finish and little was tested.
  EXPECT_GT(replaced, 0);
}

}  // namespace
}  // namespace corvella
