// SPDX-License-Identifier: MIT
// The real plug-in file, loaded as a host loads it, driving the simulated
// widget over a pseudo-terminal.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "host/driver_client.h"
#include "host/plugin_library.h"
#include "host/widget_simulator.h"
#include "tests/support/temp_folder.h"

namespace lumivane {
namespace {

using namespace std::chrono_literals;
using host::CallOutcome;
using host::DriverClient;
using host::PluginLibrary;
using sim::WidgetSimulator;
using Bytes = std::vector<uint8_t>;

constexpr const char* kTitle = "End To End";
constexpr const char* kFile = "liblumivane.so";
const Bytes kInitial{0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7};

// One settings home for the whole process, set before the plug-in's first
// call: the loaded plug-in reads it once.
lumivane::test::TempFolder& Home() {
  static lumivane::test::TempFolder* home = [] {
    auto* folder = new lumivane::test::TempFolder;
    ::setenv("XDG_CONFIG_HOME", folder->path().c_str(), 1);
    return folder;
  }();
  return *home;
}

Bytes Universe(const std::array<uint8_t, 512>& levels) {
  Bytes out{0x7E, 0x06, 0x01, 0x02, 0x00};
  out.insert(out.end(), levels.begin(), levels.end());
  out.push_back(0xE7);
  return out;
}

class WidgetEndToEndTest : public ::testing::Test {
 protected:
  WidgetEndToEndTest() {
    Home();
    library_ = std::make_unique<PluginLibrary>(LUMIVANE_PLUGIN_FILE);
    driver_ = std::make_unique<DriverClient>(*library_);
  }
  ~WidgetEndToEndTest() override {
    bool result = false;
    driver_->Term(result);
  }

  void Store(const char* key, const std::string& value) {
    ASSERT_EQ(library_->settings_write(kTitle, kFile, key, value.c_str()), 0);
  }
  void UseWidgetOn(int32_t port, const WidgetSimulator& widget) {
    ASSERT_EQ(library_->ports_link(port, widget.devicePath().c_str()), 0);
    Store("DeviceType", "DMXUSBpro");
    Store("comPort", std::to_string(port));
  }
  CallOutcome Init() {
    bool result = true;
    CallOutcome outcome = driver_->Init(kTitle, kFile, result);
    EXPECT_FALSE(result);
    return outcome;
  }
  CallOutcome Set(int32_t channel, int32_t value, bool expected = true) {
    bool result = !expected;
    CallOutcome outcome = driver_->SetChannel(channel, value, result);
    EXPECT_EQ(result, expected) << "SetChannel(" << channel << ", " << value << ")";
    return outcome;
  }
  // Pushes channel 1 until a call fails (a stalled device fails within its
  // write timeout), at most for 10 s; `level` is the last level set. No
  // call may take long: the host never waits for the line.
  CallOutcome SetUntilFailure(int32_t& level) {
    CallOutcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    for (int i = 0; outcome.ok() && std::chrono::steady_clock::now() < deadline; ++i) {
      level = i % 200 + 1;
      const auto start = std::chrono::steady_clock::now();
      outcome = Set(1, level);  // True even when the push fails: the level is stored
      EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "call " << i;
      std::this_thread::sleep_for(1ms);
    }
    return outcome;
  }
  // The level of channel 1 in every universe frame the widget got, in order.
  static std::vector<uint8_t> Channel1Levels(const WidgetSimulator& widget) {
    std::vector<uint8_t> levels;
    for (const auto& m : widget.Messages()) {
      if (m.frame.label == 6 && m.frame.payload.size() == 513) levels.push_back(m.frame.payload[1]);
    }
    return levels;
  }
  static bool WaitForLevel(const WidgetSimulator& widget, int level) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (widget.Levels()[0] != level && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(2ms);
    }
    return widget.Levels()[0] == level;
  }
  static Bytes Last(const WidgetSimulator& widget) {
    const auto messages = widget.Messages();
    return messages.empty() ? Bytes{} : messages.back().frame.bytes();
  }

  std::unique_ptr<PluginLibrary> library_;
  std::unique_ptr<DriverClient> driver_;
};

TEST_F(WidgetEndToEndTest, InitPrimesTheWidgetAndEverySetChannelIsOneFrame) {
  WidgetSimulator widget;
  UseWidgetOn(3, widget);
  ASSERT_TRUE(Init().ok());
  ASSERT_TRUE(widget.WaitForMessages(1, 5s));
  EXPECT_EQ(Last(widget), kInitial);

  std::array<uint8_t, 512> levels{};
  struct Call {
    int32_t channel, value;
    bool stored;
  };
  const std::vector<Call> calls{{1, 0x7E, true}, {2, 0xE7, true},  {512, 255, true},
                                {0, 10, false},  {513, 10, false}, {600, 300, false}};
  uint64_t expected = 1;
  for (const Call& call : calls) {
    ASSERT_TRUE(Set(call.channel, call.value, call.stored).ok());
    if (call.stored) levels[call.channel - 1] = static_cast<uint8_t>(call.value);
    ASSERT_TRUE(widget.WaitForMessages(++expected, 5s)) << call.channel;
    EXPECT_EQ(Last(widget), Universe(levels)) << call.channel;
  }
  // A level out of range is refused before anything is pushed.
  EXPECT_EQ(Set(1, 256, false).status, 6);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(widget.MessageCount(), expected);
  EXPECT_EQ(widget.ReceivedBytes(), 6 + 518 * (expected - 1)) << "nothing but whole messages";
}

TEST_F(WidgetEndToEndTest, TermClosesThePortAndAnotherInitReopensIt) {
  WidgetSimulator widget;
  UseWidgetOn(3, widget);
  ASSERT_TRUE(Init().ok());
  ASSERT_TRUE(widget.WaitForPortOpen(true, 5s));
  bool result = true;
  ASSERT_TRUE(driver_->Term(result).ok());
  EXPECT_FALSE(result);
  EXPECT_TRUE(widget.WaitForPortOpen(false, 5s));
  ASSERT_TRUE(driver_->Term(result).ok()) << "a second Term closes nothing";
  EXPECT_TRUE(Set(1, 1).ok()) << "after Term nothing is written, and nothing fails";
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(widget.MessageCount(), 1u);

  ASSERT_TRUE(Init().ok());
  EXPECT_TRUE(widget.WaitForMessages(2, 5s));
  EXPECT_EQ(Last(widget), kInitial);
}

TEST_F(WidgetEndToEndTest, AnOpenPortKeepsItsNumberThroughASecondInit) {
  WidgetSimulator on3, on4;
  ASSERT_EQ(library_->ports_link(4, on4.devicePath().c_str()), 0);
  UseWidgetOn(3, on3);
  ASSERT_TRUE(Init().ok());
  Store("comPort", "4");
  ASSERT_TRUE(Init().ok());
  EXPECT_TRUE(on3.WaitForMessages(2, 5s)) << "primed again on the port it had";
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(on4.MessageCount(), 0u);
}

TEST_F(WidgetEndToEndTest, NoDeviceOnThePortIsReportedAndSendsNothing) {
  ASSERT_EQ(library_->ports_link(3, (Home().path() / "no-such-tty").c_str()), 0);
  Store("DeviceType", "DMXUSBpro");
  Store("comPort", "3");
  ::testing::internal::CaptureStderr();
  const CallOutcome outcome = Init();
  const std::string reported = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(outcome.ok());
  EXPECT_NE(reported.find("Failed to open USB DMX Pro on comm port:  3 - Check Settings, Device"),
            std::string::npos)
      << reported;
  EXPECT_TRUE(Set(1, 10).ok()) << "nothing to send to, nothing fails";
}

TEST_F(WidgetEndToEndTest, AStalledWidgetTimesTheWriteOutAndKeepsTheLevel) {
  WidgetSimulator widget;
  UseWidgetOn(3, widget);
  ASSERT_TRUE(Init().ok());
  ASSERT_TRUE(widget.WaitForMessages(1, 5s));
  widget.SetReading(false);
  int32_t level = 0;
  const CallOutcome outcome = SetUntilFailure(level);
  EXPECT_EQ(outcome.status, 8022) << outcome.description;

  // The timed-out frame went out in part; the widget drops it and the frame
  // after, whose start it took for the rest, then finds its footing again.
  widget.SetReading(true);
  std::this_thread::sleep_for(200ms);
  ASSERT_TRUE(Set(2, 5).ok());
  ASSERT_TRUE(Set(3, 6).ok());
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (widget.Levels()[2] != 6 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(widget.Levels()[0], level) << "the level of the failed push was kept";
  EXPECT_EQ(widget.Levels()[1], 5);
  EXPECT_EQ(widget.Levels()[2], 6);
}

TEST_F(WidgetEndToEndTest, TermOnAStalledWidgetReturnsWithinTheWriteTimeout) {
  WidgetSimulator widget;
  UseWidgetOn(3, widget);
  ASSERT_TRUE(Init().ok());
  ASSERT_TRUE(widget.WaitForMessages(1, 5s));
  widget.SetReading(false);
  int32_t level = 0;
  ASSERT_EQ(SetUntilFailure(level).status, 8022);
  ASSERT_TRUE(Set(1, 1).ok()) << "the next push waits for the writer again";
  const auto start = std::chrono::steady_clock::now();
  bool result = true;
  EXPECT_TRUE(driver_->Term(result).ok());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s)
      << "the write timeout is 1 s, for the rest of a frame and for the newest";
}

TEST_F(WidgetEndToEndTest, AVanishedWidgetFailsOnceAndALaterInitReopensCleanly) {
  auto widget = std::make_unique<WidgetSimulator>();
  UseWidgetOn(3, *widget);
  ASSERT_TRUE(Init().ok());
  ASSERT_TRUE(widget->WaitForMessages(1, 5s));
  widget->Vanish();
  EXPECT_EQ(Set(1, 33).status, 8023);
  EXPECT_TRUE(Set(1, 34).ok()) << "once per outage; the level is stored, and no hang";

  WidgetSimulator replacement;
  UseWidgetOn(3, replacement);
  ASSERT_TRUE(Init().ok());
  ASSERT_TRUE(Set(9, 99).ok());
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (replacement.Levels()[8] != 99 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_EQ(replacement.Levels()[8], 99);
  ASSERT_FALSE(replacement.Messages().empty());
  EXPECT_EQ(replacement.Messages().front().frame.bytes(), kInitial);
}

// A widget that reads slower than we write: the pty's buffer is full when
// the host ends, so whatever a close discards shows as missing frames, and
// the pushes that find the line full leave only the newest universe.
class SlowWidgetEndToEndTest : public WidgetEndToEndTest {
 protected:
  static constexpr uint32_t kLinkRate = 500'000;
  static constexpr int kCalls = 40;  // 20 KB, more than a pty buffers
  static constexpr int kCycles = 12;

  // Each cycle: init, kCalls SetChannel calls, `end` at once; then the
  // frames that went out must all arrive whole and in order, the last one
  // with the last universe.
  void PlayCycles(const std::function<void()>& end) {
    WidgetSimulator widget;
    widget.SetLinkRate(kLinkRate);
    UseWidgetOn(3, widget);
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      widget.ClearMessages();
      ASSERT_TRUE(Init().ok()) << cycle;
      const int last = kCalls + (cycle % 2) * 100;  // unlike the cycle before
      for (int i = last - kCalls + 1; i <= last; ++i) ASSERT_TRUE(Set(1, i).ok()) << cycle;
      end();
      ASSERT_TRUE(WaitForLevel(widget, last)) << "cycle " << cycle;
      ASSERT_TRUE(widget.WaitForPortOpen(false, 5s)) << cycle;  // once it has read it all
      const std::vector<uint8_t> levels = Channel1Levels(widget);
      ASSERT_FALSE(levels.empty()) << "cycle " << cycle;
      EXPECT_EQ(levels.back(), last) << "cycle " << cycle;
      EXPECT_TRUE(std::is_sorted(levels.begin(), levels.end())) << "cycle " << cycle;
      EXPECT_EQ(widget.DroppedBytes(), 0u) << "cycle " << cycle;
    }
  }
};

TEST_F(SlowWidgetEndToEndTest, TermDeliversEveryFrameBeforeIt) {
  PlayCycles([&] {
    bool result = true;
    ASSERT_TRUE(driver_->Term(result).ok());
  });
}

TEST_F(SlowWidgetEndToEndTest, UnloadDeliversEveryFrameBeforeIt) {
  PlayCycles([&] {
    driver_.reset();  // released without Term, then the file unloaded
    library_.reset();
    library_ = std::make_unique<PluginLibrary>(LUMIVANE_PLUGIN_FILE);
    driver_ = std::make_unique<DriverClient>(*library_);
  });
}

TEST_F(SlowWidgetEndToEndTest, PushesNeverWaitAndTheNewestUniverseWins) {
  WidgetSimulator widget;
  widget.SetLinkRate(100'000);  // a full pty buffer takes 150 ms to leave
  UseWidgetOn(3, widget);
  ASSERT_TRUE(Init().ok());
  constexpr int kBurst = 250;  // 130 KB: 1.3 s of the link's time
  for (int i = 1; i <= kBurst; ++i) ASSERT_TRUE(Set(1, i).ok());
  EXPECT_LT(widget.Levels()[0], kBurst) << "the calls did not wait for the line";
  // The host stops; the newest universe still goes out, nothing older after it.
  ASSERT_TRUE(WaitForLevel(widget, kBurst));
  std::this_thread::sleep_for(50ms);
  const std::vector<uint8_t> levels = Channel1Levels(widget);
  ASSERT_FALSE(levels.empty());
  EXPECT_EQ(levels.back(), kBurst);
  EXPECT_LT(levels.size(), static_cast<size_t>(kBurst)) << "universes replaced while waiting";
  EXPECT_TRUE(std::adjacent_find(levels.begin(), levels.end(), std::greater_equal<>()) ==
              levels.end())
      << "each frame newer than the one before";
  EXPECT_EQ(widget.DroppedBytes(), 0u) << "no frame cut or interleaved";
}

TEST_F(SlowWidgetEndToEndTest, AScanLetsWhatWaitsGoFirst) {
  WidgetSimulator widget;
  widget.SetLinkRate(100'000);
  UseWidgetOn(3, widget);
  ASSERT_TRUE(Init().ok());
  for (int i = 1; i <= 60; ++i) ASSERT_TRUE(Set(1, i).ok());
  const auto scan = library_->scan_pro_ports;
  lv_widget_display display{nullptr, [](void*, const char*) {}, [](void*, int32_t) {},
                            [](void*, const char*) {}, [](void*, const char*) {}};
  ASSERT_EQ(scan(&display), 0);  // probes the open port in its pass for port 1
  ASSERT_TRUE(widget.WaitForPortOpen(false, 10s));
  const auto messages = widget.Messages();
  const auto request = std::find_if(messages.begin(), messages.end(),
                                    [](const auto& m) { return m.frame.label == 10; });
  ASSERT_NE(request, messages.end());
  ASSERT_NE(request, messages.begin());
  const auto& before = std::prev(request)->frame;
  ASSERT_EQ(before.payload.size(), 513u);
  EXPECT_EQ(before.payload[1], 60) << "the newest universe, before the request";
  EXPECT_EQ(widget.DroppedBytes(), 0u);
}

TEST_F(SlowWidgetEndToEndTest, AWriteThatFailsLaterIsReportedOnTheNextCallOnce) {
  auto widget = std::make_unique<WidgetSimulator>();
  widget->SetLinkRate(20'000);
  UseWidgetOn(3, *widget);
  ASSERT_TRUE(Init().ok());
  for (int i = 1; i <= 40; ++i) ASSERT_TRUE(Set(1, i).ok()) << "the line is full, nobody waits";
  widget->Vanish();  // the writer's frame now fails
  std::this_thread::sleep_for(100ms);
  const CallOutcome reported = Set(1, 41);
  EXPECT_EQ(reported.status, 8023);
  EXPECT_EQ(reported.description.rfind("Device gone: the port was unplugged or hung up", 0), 0u)
      << reported.description;
  EXPECT_TRUE(Set(1, 42).ok()) << "once per outage; the link reopens the port meanwhile";

  WidgetSimulator replacement;
  UseWidgetOn(3, replacement);
  ASSERT_TRUE(Init().ok());
  ASSERT_TRUE(Set(1, 43).ok()) << "nothing left over from the old device";
  EXPECT_TRUE(WaitForLevel(replacement, 43));
}

TEST_F(WidgetEndToEndTest, ThePortMapThroughTheToolCalls) {
  ASSERT_EQ(library_->ports_link(7, "/dev/pts/123"), 0);
  char* text = nullptr;
  ASSERT_EQ(library_->ports_device(7, &text), 0);
  EXPECT_EQ(host::TakeText(*library_, text), "/dev/pts/123");
  ASSERT_EQ(library_->ports_list(&text), 0);
  EXPECT_NE(host::TakeText(*library_, text).find("7\t/dev/pts/123\tlink\n"), std::string::npos);
  lv_bool had = LV_FALSE;
  ASSERT_EQ(library_->ports_unlink(7, &had), 0);
  EXPECT_EQ(had, LV_TRUE);
  ASSERT_EQ(library_->ports_device(7, &text), 0);
  EXPECT_EQ(host::TakeText(*library_, text), "/dev/ttyUSB6");
  for (int32_t bad : {0, 256, -1}) {
    EXPECT_EQ(library_->ports_link(bad, "/dev/null"), 8002) << bad;
    EXPECT_EQ(library_->ports_unlink(bad, nullptr), 8002) << bad;
  }
  EXPECT_EQ(library_->ports_link(1, nullptr), 5);
}

}  // namespace
}  // namespace lumivane
