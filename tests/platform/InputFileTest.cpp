// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The vault reader refuses what is not a regular file, without blocking on it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <ostream>
#include <string>

#include "core/Error.h"
#include "platform/Files.h"
#include "tests/store/TempDir.h"

namespace corvella::platform {
namespace {

using tests::TempDir;

// The message of opening `path` as a vault. An open that still waits after a generous time has
// blocked: it is released by a writer and counts as a failure.
std::string OpenError(const std::string& path) {
  auto opening = std::async(std::launch::async, [path] {
    try {
      const InputFile file(path);
    } catch (const Error& error) {
      return std::string(error.what());
    }
    return std::string("<opened>");
  });
  if (opening.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
    ADD_FAILURE() << "opening " << path << " blocked";
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0) ::close(writer);
  }
  return opening.get();
}

struct SpecialFile {
  const char* name;
  std::function<bool(const std::string& path)> make;
  const char* kind;
};

void PrintTo(const SpecialFile& file, std::ostream* out) { *out << file.name; }

class SpecialFileTest : public ::testing::TestWithParam<SpecialFile> {};

TEST_P(SpecialFileTest, IsRefusedWithItsName) {
  const TempDir dir;
  const std::string path = dir / "Passwords.dat";
  ASSERT_TRUE(GetParam().make(path));
  EXPECT_EQ(OpenError(path),
            "Cannot open file \"" + path + "\". It is " + GetParam().kind + ", not a regular file");
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialFileTest,
                         ::testing::Values(SpecialFile{"fifo",
                                                       [](const std::string& path) {
                                                         return ::mkfifo(path.c_str(), 0600) == 0;
                                                       },
                                                       "a FIFO"},
                                           SpecialFile{"folder",
                                                       [](const std::string& path) {
                                                         return ::mkdir(path.c_str(), 0700) == 0;
                                                       },
                                                       "a folder"},
                                           SpecialFile{"link_to_a_device",
                                                       [](const std::string& path) {
                                                         return ::symlink("/dev/zero",
                                                                          path.c_str()) == 0;
                                                       },
                                                       "a device"}),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace corvella::platform
