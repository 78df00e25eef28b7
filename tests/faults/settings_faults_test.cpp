// SPDX-License-Identifier: MIT
// The settings file when things go wrong: damaged, unreadable, in a folder
// that takes no new files, on a full disk, written by two hosts at once.
// What cannot be read reads as empty; a write that cannot be done fails
// with a clear message and leaves the old file byte for byte.
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "core/failure.h"
#include "core/output_driver.h"
#include "plugin/keyfile_settings_store.h"
#include "posix/clock_posix.h"
#include "tests/faults/fault_support.h"
#include "tests/support/fake_links.h"
#include "tests/support/fake_probes.h"
#include "tests/support/fake_windows.h"
#include "tests/support/memory_device_view.h"
#include "tests/support/recording_reports.h"
#include "ui/device_form.h"

namespace lumivane::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kApp = "Show Control";
constexpr std::string_view kFile = "liblumivane.so";
const std::string kSection = PluginSection(kFile);
const std::string kGoodFile = "[Plugins\\liblumivane.so]\ncomPort=3\nDeviceType=DMXUSBpro\n";

int32_t WriteError(KeyFileSettingsStore& store, std::string_view key, std::string_view value,
                   std::string* description = nullptr) {
  try {
    store.Write(kApp, kSection, key, value);
  } catch (const Failure& failure) {
    if (description != nullptr) *description = failure.what();
    return failure.number();
  }
  return 0;
}

class SettingsFaults : public ::testing::Test {
 protected:
  TempFolder temp;
  fs::path folder = temp.path() / "settings";
  PosixClock clock;
  KeyFileSettingsStore store{folder, clock};
  fs::path file = store.FileFor(kApp);
  std::string LockName() const { return file.filename().string() + ".lock"; }
};

// init over a damaged file: nothing read, nothing opened, no failure.
struct InitOutcome {
  bool failed = false;
  int16_t comPort = -1;
  std::string deviceType = "unset";
  int opens = 0;
};

InitOutcome InitWith(SettingsStore& store) {
  DriverState state;
  FakeTransmitter transmitter;
  FakeProLink pro;
  FakeOpenDmxLink openDmx;
  FakeDialog dialog;
  DeviceRouting routing(state, pro, openDmx);
  Plugin plugin{state, store, transmitter, pro, routing, dialog};
  clsOutputDriver driver(plugin);
  InitOutcome outcome;
  try {
    driver.init(kApp, kFile, nullptr);
  } catch (const Failure&) {
    outcome.failed = true;
  }
  outcome.comPort = state.comPort;
  outcome.deviceType = state.deviceType;
  outcome.opens = pro.Count("OpenProPort") + openDmx.Count("StartOpenDmx");
  return outcome;
}

// The dialog's OK with the widget on port 4 chosen, over the real store:
// what the user is shown.
std::vector<std::string> PressOk(SettingsStore& store) {
  DriverState state;
  state.appTitle = kApp;
  state.pluginFile = kFile;
  FakeProLink pro;
  FakeOpenDmxLink openDmx;
  DeviceRouting routing(state, pro, openDmx);
  CallLog log;
  ScriptedProbes probes(&log);
  RecordingReports reports;
  MemoryDeviceView view;
  view.txtCommPort = "4";
  DeviceForm form(view, {state, store, routing, probes, reports});
  form.cmdOK_Click();
  return reports.messages;
}

TEST_F(SettingsFaults, DamagedFileReadsEmptyAndIsNeverOverwritten) {
  for (const std::string& damaged : {
           std::string("this is not a settings file\n"),
           std::string("[Plugins\\liblumivane.so\ncomPort=3\n"),   // group never closed
           std::string("comPort=3\n[Plugins\\liblumivane.so]\n"),  // key before any group
           std::string("[Plugins\\liblumivane.so]\ncomPort=3\n\xff\xfe garbage\n"),
           std::string("\x00\x01\x02\x03", 4),
       }) {
    SCOPED_TRACE(damaged);
    PutFile(file, damaged);

    EXPECT_EQ(store.Read(kApp, kSection, "comPort"), "");
    EXPECT_EQ(store.Read(kApp, kSection, "DeviceType"), "");
    const InitOutcome init = InitWith(store);
    EXPECT_FALSE(init.failed);
    EXPECT_EQ(init.comPort, 0);
    EXPECT_EQ(init.deviceType, "");
    EXPECT_EQ(init.opens, 0);

    std::string message;
    EXPECT_EQ(WriteError(store, "comPort", "4", &message),
              static_cast<int32_t>(ErrorNumber::kSettingsCorrupt));
    EXPECT_NE(message.find("damaged"), std::string::npos) << message;
    EXPECT_NE(message.find(file.string()), std::string::npos) << message;
    // OK refuses in a message box that says so.
    const std::vector<std::string> shown = PressOk(store);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], message);
    EXPECT_EQ(FileBytes(file), damaged);
    EXPECT_EQ(ListFolder(folder), file.filename().string() + "\n" + LockName() + "\n");
  }
}

// The user learns why nothing lights: once per damaged file, not at every
// read, and again only for another damaged file in its place.
TEST_F(SettingsFaults, DamagedFileAtInitIsReportedOnceWithTheFileAndTheReason) {
  RecordingReports reports;
  KeyFileSettingsStore reporting(folder, clock, KeyFileSettingsStore::kLockTimeout, &reports);
  const std::string damaged = "this is not a settings file\n";
  PutFile(file, damaged);
  const std::string head =
      "The settings file is damaged and was left unchanged: " + file.string() + ": ";

  const InitOutcome first = InitWith(reporting);
  EXPECT_FALSE(first.failed);
  EXPECT_EQ(first.deviceType, "");
  EXPECT_EQ(first.opens, 0);
  ASSERT_EQ(reports.messages.size(), 1u);
  EXPECT_TRUE(reports.messages[0].starts_with(head)) << reports.messages[0];
  EXPECT_GT(reports.messages[0].size(), head.size()) << "no reason given";

  EXPECT_FALSE(InitWith(reporting).failed);
  EXPECT_EQ(reports.messages.size(), 1u) << "reported again for the same file";
  EXPECT_EQ(FileBytes(file), damaged);

  PutFile(file, "comPort=3\n[Plugins\\liblumivane.so]\n");  // damaged another way
  EXPECT_FALSE(InitWith(reporting).failed);
  ASSERT_EQ(reports.messages.size(), 2u);
  EXPECT_TRUE(reports.messages[1].starts_with(head)) << reports.messages[1];

  PutFile(file, kGoodFile);
  EXPECT_EQ(InitWith(reporting).comPort, 3);
  EXPECT_EQ(reports.messages.size(), 2u);
}

TEST_F(SettingsFaults, FileThatCannotBeReadReadsEmptyAndWriteFails) {
  // A folder where the file should be: unreadable for root too.
  fs::create_directories(file);
  EXPECT_EQ(store.Read(kApp, kSection, "comPort"), "");
  EXPECT_FALSE(InitWith(store).failed);
  std::string message;
  EXPECT_EQ(WriteError(store, "comPort", "4", &message),
            static_cast<int32_t>(ErrorNumber::kSettingsUnreadable));
  EXPECT_NE(message.find(file.string()), std::string::npos) << message;
  EXPECT_EQ(PressOk(store), std::vector<std::string>{message});
  EXPECT_TRUE(fs::is_directory(file));
}

TEST_F(SettingsFaults, SettingsFolderThatIsAFileFailsTheWrite) {
  PutFile(folder, "a file where the folder should be");
  std::string message;
  EXPECT_EQ(WriteError(store, "comPort", "4", &message),
            static_cast<int32_t>(ErrorNumber::kSettingsWriteFailed));
  EXPECT_NE(message.find("could not be saved"), std::string::npos) << message;
  EXPECT_EQ(FileBytes(folder), "a file where the folder should be");
  EXPECT_EQ(store.Read(kApp, kSection, "comPort"), "");
}

TEST_F(SettingsFaults, FolderThatTakesNoNewFilesKeepsTheOldFile) {
  PutFile(file, kGoodFile);
  ASSERT_EQ(WriteError(store, "comPort", "3"), 0);  // the lock file exists from now on
  const std::string before = FileBytes(file);
  const std::string names = ListFolder(folder);
  {
    ReadOnlyFolder readOnly(folder);
    if (!readOnly.works()) GTEST_SKIP() << "cannot make a folder read-only here";
    std::string message;
    EXPECT_EQ(WriteError(store, "comPort", "9", &message),
              static_cast<int32_t>(ErrorNumber::kSettingsWriteFailed))
        << "made read-only by " << readOnly.means();
    EXPECT_NE(message.find(file.string()), std::string::npos) << message;
    const std::vector<std::string> shown = PressOk(store);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("could not be saved"), std::string::npos) << shown[0];
    EXPECT_EQ(store.Read(kApp, kSection, "comPort"), "3");
  }
  EXPECT_EQ(FileBytes(file), before);
  EXPECT_EQ(ListFolder(folder), names);
}

TEST_F(SettingsFaults, FullDiskKeepsTheOldFileAndLeavesNoTemporaryFile) {
  PutFile(file, kGoodFile);
  ASSERT_EQ(WriteError(store, "comPort", "3"), 0);
  const std::string before = FileBytes(file);
  const std::string names = ListFolder(folder);
  std::string message;
  int32_t error = 0;
  std::vector<std::string> shown;
  {
    FullDisk full;
    error = WriteError(store, "DeviceType", "OpenDMXUSB", &message);
    shown = PressOk(store);
  }
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("could not be saved"), std::string::npos) << shown[0];
  EXPECT_EQ(error, static_cast<int32_t>(ErrorNumber::kSettingsWriteFailed));
  EXPECT_NE(message.find("cannot write"), std::string::npos) << message;
  EXPECT_EQ(FileBytes(file), before);
  EXPECT_EQ(ListFolder(folder), names);
  EXPECT_EQ(store.Read(kApp, kSection, "DeviceType"), "DMXUSBpro");
}

bool Parses(const fs::path& path) {
  GKeyFile* keyFile = g_key_file_new();
  GError* error = nullptr;
  const bool ok = g_key_file_load_from_file(keyFile, path.c_str(), G_KEY_FILE_NONE, &error) ||
                  g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT);
  g_clear_error(&error);
  g_key_file_free(keyFile);
  return ok;
}

TEST_F(SettingsFaults, TwoHostsWritingAtOnceBothLandAndTheFileAlwaysParses) {
  constexpr int kWrites = 150;
  auto host = [&](std::string_view plugin) {
    KeyFileSettingsStore own(folder, clock);
    for (int i = 1; i <= kWrites; ++i) {
      try {
        own.Write(kApp, PluginSection(plugin), "comPort", std::to_string(i));
      } catch (const Failure&) {
        ::_exit(1);
      }
    }
    ::_exit(0);
  };
  pid_t hosts[2];
  hosts[0] = ::fork();
  if (hosts[0] == 0) host("a.so");
  hosts[1] = ::fork();
  if (hosts[1] == 0) host("b.so");

  // Read the file while both write, until both are done.
  int unparsed = 0;
  int status[2] = {0, 0};
  bool done[2] = {false, false};
  while (!done[0] || !done[1]) {
    if (!Parses(file)) ++unparsed;
    for (int i = 0; i < 2; ++i) {
      if (!done[i]) done[i] = ::waitpid(hosts[i], &status[i], WNOHANG) == hosts[i];
    }
  }
  for (const int s : status) EXPECT_TRUE(WIFEXITED(s) && WEXITSTATUS(s) == 0);
  EXPECT_EQ(unparsed, 0);
  EXPECT_EQ(store.Read(kApp, PluginSection("a.so"), "comPort"), std::to_string(kWrites));
  EXPECT_EQ(store.Read(kApp, PluginSection("b.so"), "comPort"), std::to_string(kWrites));
}

}  // namespace
}  // namespace lumivane::test
