// SPDX-License-Identifier: MIT
// The Open DMX transmitter on a fake D2XX whose FT_Write costs the wire
// time of a packet, against a bare 40 Hz absolute-sleep loop run at the
// same time (the machine's own wake-up jitter and cost of sleeping).
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "bench/sample_stats.h"
#include "bench/section.h"
#include "opendmx/d2xx_fake.h"
#include "opendmx/dmx_transmitter.h"
#include "posix/clock_posix.h"

namespace lumivane::bench {
namespace {

using std::chrono::nanoseconds;

constexpr int64_t kPeriodNs = 25'000'000;
// 513 bytes at 250000 baud, 11 bits each (start, 8 data, 2 stop).
constexpr nanoseconds kWireTime{513LL * 11 * 1'000'000'000 / 250'000};

// Stands in front of the fake and reads the calling thread's CPU clock at
// every packet call: the transmitter's own CPU time, taken on its thread.
class CpuNotingD2xx final : public D2xx {
 public:
  explicit CpuNotingD2xx(D2xx& inner) : inner_(inner) {}

  FT_STATUS FT_Open(int n, FT_HANDLE* h) override { return inner_.FT_Open(n, h); }
  FT_STATUS FT_ResetDevice(FT_HANDLE h) override { return inner_.FT_ResetDevice(h); }
  FT_STATUS FT_SetDivisor(FT_HANDLE h, uint16_t d) override { return inner_.FT_SetDivisor(h, d); }
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, uint8_t w, uint8_t s, uint8_t p) override {
    return inner_.FT_SetDataCharacteristics(h, w, s, p);
  }
  FT_STATUS FT_SetFlowControl(FT_HANDLE h, uint16_t f, uint8_t on, uint8_t off) override {
    return inner_.FT_SetFlowControl(h, f, on, off);
  }
  FT_STATUS FT_ClrRts(FT_HANDLE h) override { return inner_.FT_ClrRts(h); }
  FT_STATUS FT_Purge(FT_HANDLE h, uint32_t mask) override { return inner_.FT_Purge(h, mask); }
  FT_STATUS FT_Close(FT_HANDLE h) override { return inner_.FT_Close(h); }
  FT_STATUS FT_Write(FT_HANDLE h, const uint8_t* b, uint32_t n, uint32_t* written) override {
    return inner_.FT_Write(h, b, n, written);
  }
  FT_STATUS FT_SetBreakOn(FT_HANDLE h) override {
    Note();
    return inner_.FT_SetBreakOn(h);
  }
  FT_STATUS FT_SetBreakOff(FT_HANDLE h) override { return inner_.FT_SetBreakOff(h); }

  // CPU time over wall time between the first and the last packet start.
  double CpuShare() const {
    const int64_t wall = lastWall_.load() - firstWall_.load();
    return wall > 0
               ? static_cast<double>(lastCpu_.load() - firstCpu_.load()) / static_cast<double>(wall)
               : 0;
  }

 private:
  void Note() {
    const int64_t cpu = ThreadCpuNs();
    const int64_t wall = NowNs();
    if (firstWall_.load() == 0) {
      firstCpu_ = cpu;
      firstWall_ = wall;
    }
    lastCpu_ = cpu;
    lastWall_ = wall;
  }

  D2xx& inner_;
  std::atomic<int64_t> firstCpu_{0}, firstWall_{0}, lastCpu_{0}, lastWall_{0};
};

// Lateness of each start against an absolute schedule one period apart,
// whose origin is the earliest start could have been due.
std::vector<double> LatenessOf(const std::vector<int64_t>& starts) {
  if (starts.empty()) return {};
  int64_t origin = starts[0];
  for (size_t k = 0; k < starts.size(); ++k) {
    origin = std::min(origin, starts[k] - static_cast<int64_t>(k) * kPeriodNs);
  }
  std::vector<double> lateness;
  for (size_t k = 0; k < starts.size(); ++k) {
    lateness.push_back(
        static_cast<double>(starts[k] - origin - static_cast<int64_t>(k) * kPeriodNs));
  }
  return lateness;
}

// How far each gap between two starts is off the period.
std::vector<double> GapErrorsOf(const std::vector<int64_t>& starts) {
  std::vector<double> errors;
  for (size_t k = 1; k < starts.size(); ++k) {
    errors.push_back(static_cast<double>(std::abs(starts[k] - starts[k - 1] - kPeriodNs)));
  }
  return errors;
}

double RateOf(const std::vector<int64_t>& starts) {
  if (starts.size() < 2) return 0;
  return static_cast<double>(starts.size() - 1) * 1e9 /
         static_cast<double>(starts.back() - starts.front());
}

// The floor: what a thread set up as the transmitter's is, that only sleeps
// to an absolute 40 Hz schedule, achieves on this machine meanwhile.
struct SleepLoopFloor {
  std::vector<int64_t> starts;
  double cpuShare = 0;

  void Run(const std::atomic<bool>& stop) {
    PosixClock().PrepareTimingThread();  // as the transmitter's thread
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const int64_t cpu0 = ThreadCpuNs();
    const int64_t wall0 = NowNs();
    while (!stop.load()) {
      next.tv_nsec += kPeriodNs;
      if (next.tv_nsec >= 1'000'000'000) {
        next.tv_nsec -= 1'000'000'000;
        ++next.tv_sec;
      }
      while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0) {
      }
      starts.push_back(NowNs());
    }
    cpuShare = static_cast<double>(ThreadCpuNs() - cpu0) / static_cast<double>(NowNs() - wall0);
  }
};

int64_t Ns(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<nanoseconds>(t.time_since_epoch()).count();
}

class OpenDmxSection final : public Section {
 public:
  explicit OpenDmxSection(const BenchOptions& options) : options_(options) {}

  void Measure(const MicroRunner&, ResultsTable& table) override {
    D2xxFake fake;
    fake.SetCallCost(D2xxCallKind::kWrite, kWireTime);
    CpuNotingD2xx d2xx(fake);
    PosixClock clock;
    FT_HANDLE handle = 0;
    d2xx.FT_Open(0, &handle);

    std::atomic<bool> stop{false};
    SleepLoopFloor floor;
    std::thread floorThread([&] { floor.Run(stop); });
    const auto seconds = std::chrono::seconds(options_.quick ? 2 : 15);
    {
      DmxTransmitter transmitter(d2xx, clock);
      transmitter.Start(handle);
      // The host stages a new frame every millisecond, each frame one level
      // throughout, so that a packet mixing two frames shows.
      const auto end = std::chrono::steady_clock::now() + seconds;
      uint8_t level = 0;
      while (std::chrono::steady_clock::now() < end) {
        std::array<uint8_t, kChannelCount> frame;
        frame.fill(++level);
        transmitter.Stage(frame);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      transmitter.Stop();
    }
    stop = true;
    floorThread.join();
    d2xx.FT_Close(handle);

    AddRows(fake.Calls(), d2xx.CpuShare(), floor, table);
  }

 private:
  static void AddRows(const std::vector<D2xxCall>& calls, double cpuShare,
                      const SleepLoopFloor& floor, ResultsTable& table) {
    std::vector<int64_t> starts;
    std::vector<double> breaks;
    std::vector<double> marks;
    uint64_t torn = 0;
    uint64_t malformed = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].kind != D2xxCallKind::kSetBreakOn) continue;
      if (i + 2 >= calls.size() || calls[i + 1].kind != D2xxCallKind::kSetBreakOff ||
          calls[i + 2].kind != D2xxCallKind::kWrite) {
        // Only the last packet may be cut short by the stop.
        if (i + 2 < calls.size()) ++malformed;
        continue;
      }
      const D2xxCall& on = calls[i];
      const D2xxCall& off = calls[i + 1];
      const D2xxCall& write = calls[i + 2];
      starts.push_back(Ns(on.enteredAt));
      breaks.push_back(static_cast<double>(Ns(off.enteredAt) - Ns(on.returnedAt)));
      marks.push_back(static_cast<double>(Ns(write.enteredAt) - Ns(off.returnedAt)));
      const auto& data = write.data;
      if (data.size() != DmxTransmitter::kPacketSize || data[0] != 0 ||
          std::any_of(data.begin() + 1, data.end(), [&](uint8_t b) { return b != data[1]; })) {
        ++torn;
      }
    }
    const double rate = RateOf(starts);
    const double floorRate = RateOf(floor.starts);
    table.Add(
        {"Open DMX packet rate (" + std::to_string(starts.size()) + " packets)",
         FormatFixed(rate, 2) + "/s" +
             (torn + malformed ? ", " + std::to_string(torn + malformed) + " bad packets" : ""),
         FormatFixed(floorRate, 2) + "/s sleep loop",
         FormatFixed(floorRate > 0 ? rate / floorRate : 0, 3), "40.0/s, frames whole",
         std::abs(rate - 40.0) < 0.05 && torn + malformed == 0});

    // Gaps more than 200 us longer than the period: where a late packet
    // moved the schedule.
    size_t late = 0;
    for (size_t i = 1; i < starts.size(); ++i) {
      if (starts[i] - starts[i - 1] - kPeriodNs > 200'000) ++late;
    }
    const Spread jitter = SpreadOf(LatenessOf(starts));
    const Spread floorJitter = SpreadOf(LatenessOf(floor.starts));
    table.Add({"Open DMX frame-start jitter (vs schedule) p50/p99/max",
               FormatNs(jitter.p50) + " / " + FormatNs(jitter.p99) + " / " + FormatNs(jitter.max) +
                   ", " + std::to_string(late) + " late by > 200 us",
               FormatNs(floorJitter.p50) + " / " + FormatNs(floorJitter.p99) + " / " +
                   FormatNs(floorJitter.max) + " sleep loop",
               FormatFixed(floorJitter.p99 > 0 ? jitter.p99 / floorJitter.p99 : 0, 2) + " at p99",
               "p99 < 200 us", jitter.count > 0 && jitter.p99 < 200e3});

    const Spread gap = SpreadOf(GapErrorsOf(starts));
    const Spread floorGap = SpreadOf(GapErrorsOf(floor.starts));
    table.Add({"  period error |gap - 25 ms| p50/p99/max",
               FormatNs(gap.p50) + " / " + FormatNs(gap.p99) + " / " + FormatNs(gap.max),
               FormatNs(floorGap.p50) + " / " + FormatNs(floorGap.p99) + " / " +
                   FormatNs(floorGap.max) + " sleep loop",
               FormatFixed(floorGap.p99 > 0 ? gap.p99 / floorGap.p99 : 0, 2) + " at p99", "report",
               std::nullopt});

    const Spread breakSpread = SpreadOf(breaks);
    const Spread markSpread = SpreadOf(marks);
    table.Add({"Open DMX break / MAB, shortest (median)",
               FormatNs(breakSpread.min) + " (" + FormatNs(breakSpread.p50) + ") / " +
                   FormatNs(markSpread.min) + " (" + FormatNs(markSpread.p50) + ")",
               "92 us / 12 us (DMX512 minimum)", "-", ">= 92 us / >= 12 us, every packet",
               breakSpread.count > 0 && breakSpread.min >= 92e3 && markSpread.min >= 12e3});

    table.Add({"Open DMX transmitter CPU (thread clock)",
               FormatFixed(cpuShare * 100, 3) + " % of a core",
               FormatFixed(floor.cpuShare * 100, 3) + " % sleep loop", "-", "< 2 % of a core",
               cpuShare > 0 && cpuShare < 0.02});
  }

  BenchOptions options_;
};

}  // namespace

std::unique_ptr<Section> MakeOpenDmxSection(const BenchOptions& options) {
  return std::make_unique<OpenDmxSection>(options);
}

}  // namespace lumivane::bench
