// SPDX-License-Identifier: MIT
// The widget unplugged and plugged back, or stalled for a while, under the
// real plug-in file over ptys: one failure per outage, the host's thread
// never held, and output back with the newest universe by itself. Then the
// same seen through lumivane-host play. Unplugging is the simulator closing
// its side and the port map losing the link; plugging back is a new pty at
// the same link.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/driver_client.h"
#include "host/plugin_library.h"
#include "host/widget_simulator.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace lumivane::test {
namespace {

using namespace std::chrono_literals;
using host::CallOutcome;
using host::DriverClient;
using host::PluginLibrary;
using sim::WidgetSimulator;
using SteadyClock = std::chrono::steady_clock;

constexpr const char* kTitle = "Outage";
constexpr const char* kFile = "liblumivane.so";
constexpr int32_t kPort = 3;
constexpr int kDeviceGone = 8023;
constexpr int kWriteTimedOut = 8022;
// Frames enough to fill a pty whose reader stopped, wherever it stopped:
// 78 KB, where a pty holds about 30 KB.
constexpr int kStallingCalls = 150;

TempFolder& Home() {
  static TempFolder* home = [] {
    auto* folder = new TempFolder;
    ::setenv("XDG_CONFIG_HOME", folder->path().c_str(), 1);
    return folder;
  }();
  return *home;
}

double Ms(SteadyClock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The calls a host made, and what they met.
struct Calls {
  int made = 0;
  int failed = 0;
  std::vector<int> failures;  // their error numbers, in order
  SteadyClock::duration worst{};
  int lastLevel = 0;
};

class WidgetOutage : public ::testing::Test {
 protected:
  WidgetOutage() {
    Home();
    library_ = std::make_unique<PluginLibrary>(LUMIVANE_PLUGIN_FILE);
    driver_ = std::make_unique<DriverClient>(*library_);
  }
  ~WidgetOutage() override {
    bool result = false;
    driver_->Term(result);
  }

  void Plug(WidgetSimulator& widget) {
    ASSERT_EQ(library_->ports_link(kPort, widget.devicePath().c_str()), 0);
  }
  void Unplug(WidgetSimulator& widget) {
    widget.Vanish();
    ASSERT_EQ(library_->ports_unlink(kPort, nullptr), 0);
  }
  void Start(WidgetSimulator& widget) {
    Plug(widget);
    ASSERT_EQ(library_->settings_write(kTitle, kFile, "DeviceType", "DMXUSBpro"), 0);
    ASSERT_EQ(library_->settings_write(kTitle, kFile, "comPort", "3"), 0);
    bool result = true;
    ASSERT_TRUE(driver_->Init(kTitle, kFile, result).ok());
    ASSERT_TRUE(widget.WaitForMessages(1, 5s));
  }
  lv_output_status Status() {
    lv_output_status status{};
    EXPECT_EQ(library_->pro_output_status(&status), 0);
    return status;
  }

  // SetChannel(1, ...) every `every` for `span`, each call timed; every
  // call must return True, the level stored.
  void Stream(Calls& calls, SteadyClock::duration span, std::chrono::milliseconds every = 2ms) {
    const auto end = SteadyClock::now() + span;
    while (SteadyClock::now() < end) {
      calls.lastLevel = calls.lastLevel % 250 + 1;
      bool result = false;
      const auto start = SteadyClock::now();
      const CallOutcome outcome = driver_->SetChannel(1, calls.lastLevel, result);
      calls.worst = std::max(calls.worst, SteadyClock::now() - start);
      ++calls.made;
      EXPECT_TRUE(result) << "call " << calls.made;
      if (!outcome.ok()) {
        ++calls.failed;
        calls.failures.push_back(outcome.status);
      }
      std::this_thread::sleep_for(every);
    }
  }
  static bool WaitForLevel(const WidgetSimulator& widget, int level,
                           SteadyClock::duration timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (widget.Levels()[0] != level && SteadyClock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
    return widget.Levels()[0] == level;
  }
  // What a replugged widget got first: the initial frame, then universes.
  static void ExpectPrimedThenUniverses(const WidgetSimulator& widget) {
    const auto messages = widget.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0].frame.label, 6);
    EXPECT_EQ(messages[0].frame.payload.size(), 1u) << "the initial frame first";
    for (size_t i = 1; i < messages.size(); ++i) {
      EXPECT_EQ(messages[i].frame.payload.size(), 513u) << "message " << i;
    }
    EXPECT_EQ(widget.DroppedBytes(), 0u);
  }

  std::unique_ptr<PluginLibrary> library_;
  std::unique_ptr<DriverClient> driver_;
};

TEST_F(WidgetOutage, UnpluggedAndPluggedBackWhileTheHostStreams) {
  auto widget = std::make_unique<WidgetSimulator>();
  Start(*widget);
  const uint32_t outagesBefore = Status().outages;
  Calls calls;
  Stream(calls, 200ms);
  ASSERT_EQ(calls.failed, 0);

  Unplug(*widget);
  Stream(calls, 600ms);
  EXPECT_EQ(calls.failures, std::vector<int>{kDeviceGone}) << "once per outage";
  EXPECT_TRUE(Status().lost);

  WidgetSimulator replugged;
  Plug(replugged);
  const auto pluggedAt = SteadyClock::now();
  Stream(calls, 1200ms);
  EXPECT_EQ(calls.failures, std::vector<int>{kDeviceGone});
  ASSERT_TRUE(replugged.WaitForMessages(2, 1s));
  const auto resumedAfter = replugged.Messages()[1].at - pluggedAt;
  EXPECT_LT(resumedAfter, 1s) << "output resumed " << Ms(resumedAfter) << " ms after the replug";
  EXPECT_TRUE(WaitForLevel(replugged, calls.lastLevel, 1s)) << "the newest universe";
  ExpectPrimedThenUniverses(replugged);

  const lv_output_status status = Status();
  EXPECT_FALSE(status.lost);
  EXPECT_EQ(status.outages, outagesBefore + 1);
  EXPECT_EQ(status.error_number, kDeviceGone);
  std::printf("streaming: %d calls, worst %.2f ms; first universe %.0f ms after the replug\n",
              calls.made, Ms(calls.worst), Ms(resumedAfter));
  EXPECT_LT(calls.worst, 500ms) << "no call is held while the link recovers";
}

TEST_F(WidgetOutage, UnpluggedAndPluggedBackWhileTheHostIsIdle) {
  auto widget = std::make_unique<WidgetSimulator>();
  Start(*widget);
  Calls calls;
  Stream(calls, 50ms);
  Unplug(*widget);
  Stream(calls, 1ms);  // the one call that meets the loss
  EXPECT_EQ(calls.failures, std::vector<int>{kDeviceGone});
  std::this_thread::sleep_for(700ms);  // several attempts find nothing

  WidgetSimulator replugged;
  Plug(replugged);
  const auto pluggedAt = SteadyClock::now();
  ASSERT_TRUE(WaitForLevel(replugged, calls.lastLevel, 1s))
      << "no host call: the newest universe goes out by itself";
  std::printf("idle: the newest universe %.0f ms after the replug\n",
              Ms(SteadyClock::now() - pluggedAt));
  ExpectPrimedThenUniverses(replugged);
  EXPECT_EQ(replugged.FrameCount(), 2u) << "the initial frame and the newest, nothing else";
}

TEST_F(WidgetOutage, AStallThatClearsByItselfFailsOnceAndResumesWithTheNewest) {
  WidgetSimulator widget;
  Start(widget);
  Calls calls;
  Stream(calls, 100ms);
  widget.SetReading(false);
  Stream(calls, 2s, 5ms);
  widget.SetReading(true);
  Stream(calls, 1500ms, 5ms);
  EXPECT_EQ(calls.failures, std::vector<int>{kWriteTimedOut}) << "once per outage";
  EXPECT_TRUE(WaitForLevel(widget, calls.lastLevel, 2s)) << "the newest universe";
  EXPECT_FALSE(Status().lost);
  // Over a pty the reopened port finds room at once (closing it dropped
  // what the widget had not read), so the link may count the outage over
  // before the widget reads again.
  const lv_output_status status = Status();
  std::printf("stall: %d calls, worst %.2f ms; the outage %lld ms long as the link saw it\n",
              calls.made, Ms(calls.worst), static_cast<long long>(status.last_outage_ms));
  EXPECT_LT(calls.worst, 500ms);
}

TEST_F(WidgetOutage, TermAfterFramesAStalledWidgetNeverTookFailsWith8022) {
  WidgetSimulator widget;
  widget.SetReading(false);  // a hung widget: it never reads
  Plug(widget);
  ASSERT_EQ(library_->settings_write(kTitle, kFile, "DeviceType", "DMXUSBpro"), 0);
  ASSERT_EQ(library_->settings_write(kTitle, kFile, "comPort", "3"), 0);
  bool initResult = true;
  ASSERT_TRUE(driver_->Init(kTitle, kFile, initResult).ok());
  // A pty takes more a moment after it seemed full (the kernel moves what
  // it holds on to the reader's side): fill it, let it settle, then push
  // on, so that what waits cannot leave.
  for (int round = 0; round < 2; ++round) {
    if (round > 0) std::this_thread::sleep_for(300ms);
    for (int i = 1; i <= kStallingCalls; ++i) {
      bool result = false;
      ASSERT_TRUE(driver_->SetChannel(1, i % 256, result).ok()) << i;
    }
  }
  const auto start = SteadyClock::now();
  bool result = true;
  const CallOutcome term = driver_->Term(result);
  EXPECT_EQ(term.status, kWriteTimedOut) << term.description;
  EXPECT_FALSE(result);
  EXPECT_LT(SteadyClock::now() - start, 3s) << "the write timeout is 1 s";
  EXPECT_TRUE(driver_->Term(result).ok()) << "told once";
}

TEST_F(WidgetOutage, UnloadWhileTheWidgetIsAwayEndsTheRetrying) {
  auto widget = std::make_unique<WidgetSimulator>();
  Start(*widget);
  Unplug(*widget);
  Calls calls;
  Stream(calls, 1ms);
  ASSERT_EQ(calls.failures, std::vector<int>{kDeviceGone});
  const auto start = SteadyClock::now();
  driver_.reset();
  library_.reset();  // the writer must be gone, or the unload would crash
  EXPECT_LT(SteadyClock::now() - start, 2s);
  library_ = std::make_unique<PluginLibrary>(LUMIVANE_PLUGIN_FILE);
  driver_ = std::make_unique<DriverClient>(*library_);
}

// lumivane-host as a user runs it, its standard input a pipe from the test.
class HostProgram {
 public:
  explicit HostProgram(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(LUMIVANE_HOST_PROGRAM)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, LUMIVANE_HOST_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("spawn");
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
  }
  ~HostProgram() {
    CloseInput();
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(output_);
  }

  void Write(const std::string& text) {
    ASSERT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void CloseInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }
  // Reads its output until it holds `text` or the timeout passes.
  bool WaitForOutput(const std::string& text, SteadyClock::duration timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (output.find(text) == std::string::npos && SteadyClock::now() < deadline) {
      pollfd p{output_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(output_, chunk, sizeof chunk);
      if (n <= 0) break;
      output.append(chunk, static_cast<size_t>(n));
    }
    return output.find(text) != std::string::npos;
  }
  int ExitStatus() {
    int status = 0;
    WaitForOutput("\x01", 10s);  // everything, until it closes its output
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string output;

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

TEST_F(WidgetOutage, PlayTellsWhenOutputIsLostAndWhenItResumes) {
  auto widget = std::make_unique<WidgetSimulator>();
  Plug(*widget);
  ASSERT_EQ(library_->settings_write(kTitle, kFile, "DeviceType", "DMXUSBpro"), 0);
  ASSERT_EQ(library_->settings_write(kTitle, kFile, "comPort", "3"), 0);
  HostProgram play({"--title", kTitle, "--file", kFile, "play", "-"});
  play.Write("1 10\n");
  ASSERT_TRUE(play.WaitForOutput("SetChannel(1, 10): result True, ok", 5s)) << play.output;
  Unplug(*widget);
  play.Write("1 11\n");
  EXPECT_TRUE(play.WaitForOutput("failed with 8023", 5s)) << play.output;
  EXPECT_TRUE(play.WaitForOutput("output lost at ", 5s)) << play.output;
  WidgetSimulator replugged;
  Plug(replugged);
  EXPECT_TRUE(play.WaitForOutput("output resumed at ", 5s))
      << "told while the input is quiet: " << play.output;
  EXPECT_TRUE(WaitForLevel(replugged, 11, 1s));
  play.CloseInput();
  EXPECT_EQ(play.ExitStatus(), 1) << play.output;
}

TEST_F(WidgetOutage, PlayIntoAStalledWidgetExitsWith1AndSaysWhy) {
  WidgetSimulator widget;
  widget.SetReading(false);
  Plug(widget);
  ASSERT_EQ(library_->settings_write(kTitle, kFile, "DeviceType", "DMXUSBpro"), 0);
  ASSERT_EQ(library_->settings_write(kTitle, kFile, "comPort", "3"), 0);
  HostProgram play({"--title", kTitle, "--file", kFile, "play", "-"});
  std::string lines;
  for (int i = 1; i <= kStallingCalls; ++i) lines += "1 " + std::to_string(i % 256) + "\n";
  play.Write(lines);
  play.CloseInput();
  EXPECT_EQ(play.ExitStatus(), 1) << play.output;
  EXPECT_NE(play.output.find("Term: result False, failed with 8022"), std::string::npos)
      << play.output;
}

}  // namespace
}  // namespace lumivane::test
