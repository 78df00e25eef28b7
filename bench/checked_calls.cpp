// SPDX-License-Identifier: MIT
#include "bench/checked_calls.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "bench/sample_stats.h"

namespace lumivane::bench {

int32_t ChannelOf(uint64_t k) {
  return static_cast<int32_t>(k % 512) + 1;
}
int32_t ValueOf(uint64_t k) {
  return static_cast<int32_t>((k / 512 + k * 7 + 1) % 256);
}
void StepOf(uint64_t k, Levels& universe) {
  universe[static_cast<size_t>(ChannelOf(k) - 1)] = static_cast<uint8_t>(ValueOf(k));
}

std::string RunText(const CheckedRun& run) {
  std::string text = std::to_string(run.lost) + " / " + std::to_string(run.corrupted);
  if (run.superseded) text += ", " + std::to_string(run.superseded) + " superseded";
  if (run.failedCalls) text += ", " + std::to_string(run.failedCalls) + " calls failed";
  if (run.strayBytes) text += ", " + std::to_string(run.strayBytes) + " stray bytes";
  return text;
}

CheckedRun RunCheckedCalls(PluginSession& session, sim::WidgetSimulator& simulator, int port,
                           uint64_t calls) {
  constexpr uint64_t kBlock = 10'000;
  constexpr auto kWait = std::chrono::seconds(5);
  simulator.ClearMessages();  // so that the wait below is for the start's own frame
  session.UseWidgetOn(port, simulator.devicePath());
  simulator.WaitForMessages(1, kWait);  // the frame the start sends
  simulator.ClearMessages();
  simulator.SetRecordLimit(kBlock);
  const uint64_t strayBefore = simulator.DroppedBytes();
  FrameSequenceCheck check(Levels{}, StepOf);
  CheckedRun run;
  Levels universe{};
  const int64_t start = NowNs();
  for (uint64_t done = 0; done < calls; done += kBlock) {
    const uint64_t n = std::min(kBlock, calls - done);
    for (uint64_t k = done; k < done + n; ++k) {
      if (session.SetChannel(ChannelOf(k), ValueOf(k)) != 0) ++run.failedCalls;
      StepOf(k, universe);
    }
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (simulator.Levels() != universe && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    for (const auto& message : simulator.Messages()) {
      check.Check(message.frame.label, message.frame.payload);
    }
    simulator.ClearMessages();
  }
  check.Finish(calls);
  run.seconds = static_cast<double>(NowNs() - start) / 1e9;
  run.lost = check.lost();
  run.superseded = check.superseded();
  run.corrupted = check.corrupted();
  run.strayBytes = simulator.DroppedBytes() - strayBefore;
  return run;
}

}  // namespace lumivane::bench
