// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Core dumps off: the effect on the process, and a refusal by the system reported as an Error.
// Each case runs in a child process of its own, so that the test process keeps its limits.

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "core/Error.h"
#include "platform/ProcessProtection.h"

namespace corvella::platform {
namespace {

// Makes every later call of the system calls `numbers` fail with EPERM. (A test filter: it does
// not check the architecture, since this process makes only native calls.)
bool RefuseSystemCalls(const std::vector<long>& numbers) {
  std::vector<sock_filter> program = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
  for (const long number : numbers) {
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(number), 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
  }
  program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) == 0;
}

// Ends the child: 0 when DisableCoreDumps() raised nothing, else 1 with the message on stderr.
[[noreturn]] void RunAndExit() {
  try {
    DisableCoreDumps();
  } catch (const Error& error) {
    std::fputs(error.what(), stderr);
    std::_Exit(1);
  }
  std::_Exit(0);
}

TEST(DisableCoreDumpsTest, LeavesNoCoreLimitAndNoDumpableFlag) {
  EXPECT_EXIT(
      {
        DisableCoreDumps();
        rlimit limit{};
        const bool off = ::getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0 &&
                         limit.rlim_max == 0 && ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
        std::_Exit(off ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

struct RefusedCall {
  const char* name;
  std::vector<long> numbers;
};

void PrintTo(const RefusedCall& call, std::ostream* out) { *out << call.name; }

class RefusedCallTest : public ::testing::TestWithParam<RefusedCall> {};

TEST_P(RefusedCallTest, IsReportedWithTheSystemsReason) {
  EXPECT_EXIT(
      {
        if (!RefuseSystemCalls(GetParam().numbers)) std::_Exit(77);
        RunAndExit();
      },
      ::testing::ExitedWithCode(1),
      "^Cannot switch off core dumps.*\\(" + std::string(GetParam().name) +
          "\\)\\. Operation not permitted$");
}

INSTANTIATE_TEST_SUITE_P(Calls, RefusedCallTest,
                         ::testing::Values(RefusedCall{"setrlimit", {SYS_setrlimit, SYS_prlimit64}},
                                           RefusedCall{"prctl", {SYS_prctl}}),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace corvella::platform
