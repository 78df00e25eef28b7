// SPDX-License-Identifier: MIT
// The settings store when its system calls are interrupted, write part of
// the file, or keep failing: the new file lands byte for byte, or the write
// fails with the call's reason and the old file stays as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "core/failure.h"
#include "plugin/keyfile_settings_store.h"
#include "posix/clock_posix.h"
#include "tests/faults/fault_support.h"
#include "tests/support/expect_failure.h"
#include "tests/support/fake_clock.h"
#include "tests/support/scripted_system_calls.h"

namespace lumivane::test {
namespace {

namespace fs = std::filesystem;
using Turns = std::vector<ScriptedSystemCalls::Turn>;
constexpr auto Real = ScriptedSystemCalls::Real;
constexpr auto Fail = ScriptedSystemCalls::Fail;
constexpr auto AtMost = ScriptedSystemCalls::AtMost;

constexpr std::string_view kApp = "Show Control";
const std::string kSection = PluginSection("liblumivane.so");
const std::string kGoodFile = "[Plugins\\liblumivane.so]\ncomPort=3\nDeviceType=DMXUSBpro\n";

// A value long enough that the file can be cut many ways.
std::string LongValue() {
  std::string text;
  for (int i = 0; i < 400; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

struct Case {
  const char* name;
  ScriptedSystemCalls::Call call;
  Turns turns;
  ScriptedSystemCalls::Turn then = Real();
  const char* failure = nullptr;  // how the description starts; none: the write lands
  int error = 0;                  // the reason the description ends with
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class SettingsSystemCalls : public ::testing::TestWithParam<Case> {
 protected:
  SettingsSystemCalls() { PutFile(file, kGoodFile); }

  TempFolder temp;
  fs::path folder = temp.path() / "settings";
  PosixClock clock;
  KeyFileSettingsStore store{folder, clock};
  fs::path file = store.FileFor(kApp);
  ScriptedSystemCalls calls;
};

TEST_P(SettingsSystemCalls, WriteLandsWholeOrFailsWithTheReasonAndKeepsTheOldFile) {
  const Case& c = GetParam();
  // What the same write makes of the same file when no call misbehaves.
  KeyFileSettingsStore reference(temp.path() / "reference", clock);
  PutFile(reference.FileFor(kApp), kGoodFile);
  reference.Write(kApp, kSection, "Notes", LongValue());
  const std::string written = FileBytes(reference.FileFor(kApp));
  const std::string names = ListFolder(folder) + file.filename().string() + ".lock\n";

  calls.Script(c.call, c.turns, c.then);
  auto write = [&] { store.Write(kApp, kSection, "Notes", LongValue()); };
  if (c.failure == nullptr) {
    EXPECT_NO_THROW(write());
  } else {
    EXPECT_FAILURE(write(), ErrorNumber::kSettingsWriteFailed,
                   ::testing::EndsWith(std::string(c.failure) + " " + file.string() + ": " +
                                       std::strerror(c.error)));
  }

  EXPECT_GE(calls.Count(c.call), static_cast<int>(c.turns.size()));
  EXPECT_EQ(ListFolder(folder), names) << "a temporary file was left";
  EXPECT_EQ(FileBytes(file), c.failure == nullptr ? written : kGoodFile);
}

using S = ScriptedSystemCalls;
INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsSystemCalls,
    ::testing::Values(
        Case{"InterruptedWritesAreRetried", S::kWrite, {Fail(EINTR), Fail(EINTR), Fail(EINTR)}},
        Case{"ShortWritesContinueWithTheRest", S::kWrite, {AtMost(1), AtMost(2), AtMost(100)}},
        Case{"ShortAndInterruptedWrites",
             S::kWrite,
             {AtMost(7), Fail(EINTR), AtMost(1), Fail(EINTR), AtMost(50)}},
        Case{"InterruptedLockIsRetried", S::kFlock, {Fail(EINTR), Fail(EINTR)}},
        Case{"DiskFullAfterPartOfTheFile",
             S::kWrite,
             {AtMost(10)},
             Fail(ENOSPC),
             "cannot write",
             ENOSPC},
        // Never for a file; it must fail rather than loop.
        Case{"WriteThatTakesNothing", S::kWrite, {}, AtMost(0), "cannot write", EIO},
        Case{"FlushFails", S::kFsync, {}, Fail(EIO), "cannot flush", EIO},
        Case{"RenameFails", S::kRename, {}, Fail(EXDEV), "cannot replace", EXDEV},
        Case{"LockFails", S::kFlock, {Fail(EINTR)}, Fail(ENOLCK), "cannot lock", ENOLCK}),
    [](const auto& p) { return std::string(p.param.name); });

// Another writer that never lets go: the write waits on the store's clock,
// in short steps, and gives up when the lock timeout has passed on it.
TEST(SettingsLockWait, LockHeldElsewhereFailsOnceTheTimeoutHasPassed) {
  TempFolder temp;
  test::FakeClock clock;
  KeyFileSettingsStore store(temp.path(), clock, std::chrono::milliseconds(50));
  ScriptedSystemCalls calls;
  calls.Script(ScriptedSystemCalls::kFlock, {}, Fail(EWOULDBLOCK));

  EXPECT_FAILURE(
      store.Write(kApp, kSection, "comPort", "4"), ErrorNumber::kSettingsWriteFailed,
      ::testing::EndsWith(store.FileFor(kApp).string() + " is locked by another program"))
      << "wrote past another writer's lock";
  EXPECT_EQ(clock.SpansMs(), std::vector<int64_t>(10, 5));
  EXPECT_FALSE(fs::exists(store.FileFor(kApp)));
}

}  // namespace
}  // namespace lumivane::test
