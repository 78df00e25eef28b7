// SPDX-License-Identifier: MIT
// A host fading the whole universe at show speed into a widget whose link
// is slower than the host: 512 SetChannel calls a step, 40 steps a second,
// for 5 s, into the simulator paced at a real link's rate. What the host
// feels (its time per step, the steps it managed) and what the widget gets
// (how soon it holds each step's state, the final state, whole frames).
//
// Two ways of pushing are measured on the same simulator: the plug-in
// through the C ABI, and a blocking push beside it (the frame built and
// written through the serial component on every call, as the link once
// did), so that the old and the new link are compared in one run.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/plugin_session.h"
#include "bench/pty_wire.h"
#include "bench/sample_stats.h"
#include "bench/section.h"
#include "core/failure.h"
#include "host/widget_simulator.h"
#include "prowidget/serial_port_posix.h"
#include "prowidget/widget_message.h"

namespace lumivane::bench {
namespace {

using namespace std::chrono_literals;

constexpr int kChannels = 512;
constexpr int kStepsPerSecond = 40;
constexpr auto kStepPeriod = std::chrono::nanoseconds(1'000'000'000 / kStepsPerSecond);
constexpr auto kFadeTime = 5s;
constexpr auto kFinalWait = 10s;
constexpr int kPluginPort = 11;
constexpr int kBlockingPort = 12;
constexpr size_t kFrameBytes = UniverseFrame::kSize;

// Step k sets every channel to this level; no two steps of a run share one.
uint8_t LevelOf(size_t step) {
  return static_cast<uint8_t>(step % 255 + 1);
}

// One push of channel ch at level v; 0 or the error number.
using Push = std::function<int32_t(int32_t channel, int32_t value)>;

struct FadeRun {
  std::vector<double> stepNs;       // the 512 calls of each step
  std::vector<int64_t> lastCallNs;  // when each step's last call returned
  double stepsPerSecond = 0;
  uint64_t failedCalls = 0;
  std::vector<double> heldAfterNs;  // last call to the simulator holding the state
  size_t stepsNeverHeld = 0;
  bool finalArrived = false;
  uint64_t corrupted = 0;  // frames cut, interleaved, or going back
};

FadeRun Fade(const Push& push, sim::WidgetSimulator& widget) {
  FadeRun run;
  const int64_t start = NowNs();
  const int64_t period = kStepPeriod.count();
  const int64_t end = start + std::chrono::nanoseconds(kFadeTime).count();
  for (size_t step = 0;; ++step) {
    const int64_t due = start + static_cast<int64_t>(step) * period;
    if (due >= end) break;
    if (const int64_t ahead = due - NowNs(); ahead > 0) {
      std::this_thread::sleep_for(std::chrono::nanoseconds(ahead));
    }
    if (NowNs() >= end) break;
    const int64_t t0 = NowNs();
    for (int32_t channel = 1; channel <= kChannels; ++channel) {
      if (push(channel, LevelOf(step)) != 0) ++run.failedCalls;
    }
    const int64_t t1 = NowNs();
    run.stepNs.push_back(static_cast<double>(t1 - t0));
    run.lastCallNs.push_back(t1);
  }
  const size_t steps = run.lastCallNs.size();
  const double seconds = static_cast<double>(run.lastCallNs.back() - start) / 1e9;
  run.stepsPerSecond = seconds > 0 ? static_cast<double>(steps) / seconds : 0;

  std::array<uint8_t, kChannels> last;
  last.fill(LevelOf(steps - 1));
  const auto deadline = std::chrono::steady_clock::now() + kFinalWait;
  while (widget.Levels() != last && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  run.finalArrived = widget.Levels() == last;

  // Every frame is some step's state from channel 1 up to a channel, the
  // step before beyond it; that position may only move forward.
  std::map<uint8_t, size_t> stepOfLevel;
  for (size_t step = 0; step < steps; ++step) stepOfLevel[LevelOf(step)] = step;
  std::vector<int64_t> heldAt(steps, 0);
  int64_t reached = -1;  // step * (kChannels + 1) + channels done
  for (const auto& message : widget.Messages()) {
    const auto& payload = message.frame.payload;
    if (message.frame.label != kLabelDmxOutput || payload.size() == 1) continue;  // initial frame
    if (payload.size() != kChannels + 1 || payload[0] != 0) {
      ++run.corrupted;
      continue;
    }
    const auto found = stepOfLevel.find(payload[1]);
    if (found == stepOfLevel.end()) {
      if (std::all_of(payload.begin() + 1, payload.end(), [](uint8_t v) { return v == 0; })) {
        continue;  // the universe before the first step
      }
      ++run.corrupted;
      continue;
    }
    const size_t step = found->second;
    const uint8_t before = step == 0 ? 0 : LevelOf(step - 1);
    int done = 0;
    while (done < kChannels && payload[1 + done] == LevelOf(step)) ++done;
    const bool whole = std::all_of(payload.begin() + 1 + done, payload.end(),
                                   [&](uint8_t v) { return v == before; });
    const int64_t position = static_cast<int64_t>(step) * (kChannels + 1) + done;
    if (!whole || position < reached) {
      ++run.corrupted;
      continue;
    }
    reached = position;
    if (done == kChannels && heldAt[step] == 0) {
      heldAt[step] =
          std::chrono::duration_cast<std::chrono::nanoseconds>(message.at.time_since_epoch())
              .count();
    }
  }
  for (size_t step = 0; step < steps; ++step) {
    if (heldAt[step] == 0) {
      ++run.stepsNeverHeld;
    } else {
      run.heldAfterNs.push_back(static_cast<double>(heldAt[step] - run.lastCallNs[step]));
    }
  }
  run.corrupted += widget.DroppedBytes();
  return run;
}

// What a pty holds that its far end has not read: ahead of the simulator,
// every frame waits behind that much once the line is full.
size_t PtyBufferBytes() {
  Pty pty;
  const int fd = pty.nonBlockingTerminal();
  std::array<char, 512> block{};
  size_t held = 0;
  for (ssize_t n = 1; n > 0 && held < (1u << 24);) {
    n = ::write(fd, block.data(), block.size());
    if (n > 0) held += static_cast<size_t>(n);
  }
  return held;
}

std::string SpreadText(const Spread& s) {
  return FormatNs(s.p50) + " / " + FormatNs(s.p99) + " / " + FormatNs(s.max);
}

std::string RateText(uint32_t bytesPerSecond) {
  return bytesPerSecond >= 1'000'000 ? FormatFixed(bytesPerSecond / 1e6, 0) + " MB/s"
                                     : FormatFixed(bytesPerSecond / 1e3, 0) + " kB/s";
}

class FadeSection final : public Section {
 public:
  explicit FadeSection(const BenchOptions& options) : options_(options) {}

  void Measure(const MicroRunner&, ResultsTable& table) override {
    session_ = std::make_unique<PluginSession>();
    session_->Stop();  // the widget port an earlier section left open
    ptyBytes_ = PtyBufferBytes();
    for (const uint32_t rate : {1'000'000u, 250'000u}) {
      AddRows(table, rate, "blocking push (before)", RunBlocking(rate), false);
      AddRows(table, rate, "C ABI", RunPlugin(rate), rate == 1'000'000u);
    }
  }

 private:
  FadeRun RunPlugin(uint32_t rate) {
    sim::WidgetSimulator widget;
    widget.SetRecordLimit(1'000'000);
    widget.SetLinkRate(rate);
    session_->UseWidgetOn(kPluginPort, widget.devicePath());
    widget.WaitForMessages(1, 5s);
    const FadeRun run =
        Fade([&](int32_t channel, int32_t value) { return session_->SetChannel(channel, value); },
             widget);
    session_->Stop();  // let go of the simulator
    return run;
  }

  // The frame built and written through the serial component on every
  // call, waiting for the line as long as it takes.
  FadeRun RunBlocking(uint32_t rate) {
    sim::WidgetSimulator widget;
    widget.SetRecordLimit(1'000'000);
    widget.SetLinkRate(rate);
    TemporaryFolder folder("lumivane-bench-ports-");
    PortMap ports(folder.path());
    ports.Link(kBlockingPort, widget.devicePath());
    SerialPortPosix port(ports);
    port.SetCommPort(kBlockingPort);
    port.SetPortOpen(true);
    Universe dmxData{};
    UniverseFrame frame;
    return Fade(
        [&](int32_t channel, int32_t value) -> int32_t {
          dmxData[channel] = static_cast<uint8_t>(value);
          try {
            port.Output(frame.Build(dmxData));
          } catch (const Failure& failure) {
            return failure.number();
          }
          return 0;
        },
        widget);
  }

  void AddRows(ResultsTable& table, uint32_t rate, const std::string& how, const FadeRun& run,
               bool goals) {
    const std::string name = "Fade 512 ch x 40 steps/s, " + RateText(rate) + ", " + how;
    const Spread step = SpreadOf(run.stepNs);
    const double frameTimeNs = kFrameBytes * 1e9 / rate;
    std::string measured =
        SpreadText(step) + "; " + FormatFixed(run.stepsPerSecond, 1) + " steps/s";
    if (run.failedCalls > 0) measured += "; " + std::to_string(run.failedCalls) + " calls failed";
    const std::optional<bool> stepMet =
        goals ? std::optional<bool>(step.p99 < 2e6 && run.stepsPerSecond >= 39.0 &&
                                    run.failedCalls == 0)
              : std::nullopt;
    table.Add({"  " + name + ": host time per step p50/p99/max; steps", measured,
               FormatNs(frameTimeNs * kChannels) + " the link's time for 512 frames", "-",
               goals ? "p99 < 2 ms; 40 steps/s" : "report", stepMet});

    const Spread held = SpreadOf(run.heldAfterNs);
    std::string arrived = SpreadText(held);
    if (run.stepsNeverHeld > 0) {
      arrived += " (" + std::to_string(run.stepsNeverHeld) + " steps never held alone)";
    }
    arrived += "; final state " + std::string(run.finalArrived ? "arrived" : "MISSING") + "; " +
               std::to_string(run.corrupted) + " corrupted";
    const std::optional<bool> heldMet =
        goals ? std::optional<bool>(held.p99 < 2 * frameTimeNs && run.finalArrived &&
                                    run.corrupted == 0)
              : std::nullopt;
    table.Add(
        {"  " + name + ": state at the widget after the step p50/p99/max; final; corrupted",
         arrived,
         FormatNs(static_cast<double>(ptyBytes_) * 1e9 / rate) + " a full pty (" +
             FormatBytes(static_cast<double>(ptyBytes_)) + ") at the link's rate",
         "-",
         goals ? "p99 < 2 frame times (" + FormatNs(2 * frameTimeNs) + "); final; 0" : "report",
         heldMet});
  }

  BenchOptions options_;
  std::unique_ptr<PluginSession> session_;
  size_t ptyBytes_ = 0;
};

}  // namespace

std::unique_ptr<Section> MakeFadeSection(const BenchOptions& options) {
  return std::make_unique<FadeSection>(options);
}

}  // namespace lumivane::bench
