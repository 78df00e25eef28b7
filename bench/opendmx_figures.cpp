// SPDX-License-Identifier: MIT
// The Open DMX transmitter on a fake D2XX whose FT_Write costs the wire
// time of a packet, against a bare 40 Hz absolute-sleep loop run at the
// same time (the machine's own wake-up jitter and cost of sleeping).
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>

#include "bench/sample_stats.h"
#include "bench/section.h"
#include "opendmx/d2xx_fake.h"
#include "opendmx/d2xx_libftdi.h"
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

// Notes every sleep to a deadline with the time it was asked for: the sleep
// just before a packet's break is the transmitter's schedule as it stands.
class ScheduleNotingClock final : public Clock {
 public:
  struct Sleep {
    int64_t askedAt;
    int64_t deadline;
  };

  Time Now() override { return inner_.Now(); }
  void SleepUntil(Time deadline) override {
    {
      std::lock_guard lock(mutex_);
      sleeps_.push_back({inner_.Now().count(), deadline.count()});
    }
    inner_.SleepUntil(deadline);
  }
  void SleepFor(Time span) override { inner_.SleepFor(span); }
  void PrepareTimingThread() override { inner_.PrepareTimingThread(); }

  std::vector<Sleep> Sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

 private:
  PosixClock inner_;
  mutable std::mutex mutex_;
  std::vector<Sleep> sleeps_;
};

// Each packet's start against the deadline it was scheduled for, and each
// move of the schedule (a deadline other than one period after the last).
struct ScheduleFit {
  std::vector<double> lateness;
  std::vector<double> moves;
};

ScheduleFit FitSchedule(const std::vector<int64_t>& starts,
                        const std::vector<ScheduleNotingClock::Sleep>& sleeps) {
  ScheduleFit fit;
  size_t s = 0;
  int64_t previousDeadline = -1;
  for (size_t k = 0; k < starts.size(); ++k) {
    while (s < sleeps.size() && sleeps[s].askedAt < starts[k]) ++s;
    // The first packet goes at once, with no sleep before it.
    if (s == 0 || (k > 0 && sleeps[s - 1].askedAt < starts[k - 1])) continue;
    const int64_t deadline = sleeps[s - 1].deadline;
    fit.lateness.push_back(static_cast<double>(starts[k] - deadline));
    if (previousDeadline >= 0 && std::abs(deadline - previousDeadline - kPeriodNs) > 1000) {
      fit.moves.push_back(static_cast<double>(deadline - previousDeadline - kPeriodNs));
    }
    previousDeadline = deadline;
  }
  return fit;
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
  std::vector<int64_t> deadlines;
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
      deadlines.push_back(next.tv_sec * 1'000'000'000LL + next.tv_nsec);
    }
    cpuShare = static_cast<double>(ThreadCpuNs() - cpu0) / static_cast<double>(NowNs() - wall0);
  }
};

// The packets of one run, read from the fake's record.
struct Packets {
  std::vector<int64_t> starts;
  std::vector<double> breaks;
  std::vector<double> marks;
  uint64_t bad = 0;  // torn or malformed
};

Packets PacketsOf(const std::vector<D2xxCall>& calls) {
  Packets p;
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].kind != D2xxCallKind::kSetBreakOn) continue;
    if (i + 2 >= calls.size() || calls[i + 1].kind != D2xxCallKind::kSetBreakOff ||
        calls[i + 2].kind != D2xxCallKind::kWrite) {
      // Only the last packet may be cut short by the stop.
      if (i + 2 < calls.size()) ++p.bad;
      continue;
    }
    const D2xxCall& on = calls[i];
    const D2xxCall& off = calls[i + 1];
    const D2xxCall& write = calls[i + 2];
    p.starts.push_back(on.enteredAt.count());
    p.breaks.push_back(static_cast<double>((off.enteredAt - on.returnedAt).count()));
    p.marks.push_back(static_cast<double>((write.enteredAt - off.returnedAt).count()));
    const auto& data = write.data;
    if (data.size() != DmxTransmitter::kPacketSize || data[0] != 0 ||
        std::any_of(data.begin() + 1, data.end(), [&](uint8_t b) { return b != data[1]; })) {
      ++p.bad;
    }
  }
  return p;
}

// One run of the transmitter on the fake, whose FT_Write costs the wire
// time and whose break calls cost `controlCost` each.
struct TransmitterRun {
  std::vector<D2xxCall> calls;
  std::vector<ScheduleNotingClock::Sleep> sleeps;
  double cpuShare = 0;
};

TransmitterRun RunTransmitter(nanoseconds controlCost, std::chrono::seconds seconds,
                              DmxTiming timing = {}) {
  D2xxFake fake;
  fake.SetCallCost(D2xxCallKind::kWrite, kWireTime);
  fake.SetCallCost(D2xxCallKind::kSetBreakOn, controlCost);
  fake.SetCallCost(D2xxCallKind::kSetBreakOff, controlCost);
  CpuNotingD2xx d2xx(fake);
  ScheduleNotingClock clock;
  FT_HANDLE handle = 0;
  d2xx.FT_Open(0, &handle);
  {
    DmxTransmitter transmitter(d2xx, clock, timing);
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
  d2xx.FT_Close(handle);
  return {fake.Calls(), clock.Sleeps(), d2xx.CpuShare()};
}

// Counts the tries to open, over another adaptor.
class OpenCountingD2xx final : public D2xx {
 public:
  explicit OpenCountingD2xx(D2xx& inner) : inner_(inner) {}

  FT_STATUS FT_Open(int n, FT_HANDLE* h) override {
    const FT_STATUS status = inner_.FT_Open(n, h);
    ++tries;
    if (status == FT_OK) ++opened;
    return status;
  }
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
  FT_STATUS FT_SetBreakOn(FT_HANDLE h) override { return inner_.FT_SetBreakOn(h); }
  FT_STATUS FT_SetBreakOff(FT_HANDLE h) override { return inner_.FT_SetBreakOff(h); }

  std::atomic<int> tries{0};
  std::atomic<int> opened{0};

 private:
  D2xx& inner_;
};

int64_t ProcessCpuNs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ns = [](const timeval& t) { return t.tv_sec * 1'000'000'000LL + t.tv_usec * 1000LL; };
  return ns(usage.ru_utime) + ns(usage.ru_stime);
}

// The transmitter while its device is away, on the libftdi adaptor: it was
// started on a handle the adaptor never gave out, so the first break fails
// as on a device pulled out, and from then on it tries to open device 0,
// which is not there. The whole process's CPU time, libusb's included.
struct AwayRun {
  double cpuShare = 0;
  double triesPerSecond = 0;
  bool deviceFound = false;
};

AwayRun RunWhileAway(std::chrono::seconds seconds) {
  auto libftdi = CreateLibftdiD2xx();
  OpenCountingD2xx d2xx(*libftdi);
  PosixClock clock;
  AwayRun run;
  {
    DmxTransmitter transmitter(d2xx, clock);
    transmitter.Start(0xFFFF);
    std::array<uint8_t, kChannelCount> frame{};
    transmitter.Stage(frame);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // lost and tried once
    const int64_t cpu0 = ProcessCpuNs();
    const int64_t wall0 = NowNs();
    const int tries0 = d2xx.tries.load();
    std::this_thread::sleep_for(seconds);
    const double wall = static_cast<double>(NowNs() - wall0);
    run.cpuShare = static_cast<double>(ProcessCpuNs() - cpu0) / wall;
    run.triesPerSecond = (d2xx.tries.load() - tries0) * 1e9 / wall;
    const FT_HANDLE held = transmitter.Stop();
    if (held != 0) d2xx.FT_Close(held);
  }
  run.deviceFound = d2xx.opened.load() > 0;
  return run;
}

std::string Spread3(const Spread& s) {
  return FormatNs(s.p50) + " / " + FormatNs(s.p99) + " / " + FormatNs(s.max);
}

class OpenDmxSection final : public Section {
 public:
  explicit OpenDmxSection(const BenchOptions& options) : options_(options) {}

  void Measure(const MicroRunner&, ResultsTable& table) override {
    std::atomic<bool> stop{false};
    SleepLoopFloor floor;
    std::thread floorThread([&] { floor.Run(stop); });
    const TransmitterRun free = RunTransmitter(nanoseconds(0), Seconds(15));
    stop = true;
    floorThread.join();
    AddRows(free, floor, table);

    // Each break costs two control transfers, about 1 ms each on a real
    // full-speed bus. Before: a whole USB frame beyond the wire time between
    // a write's start and the next break.
    DmxTiming before;
    before.writeToNextBreak = std::chrono::microseconds(23600);
    AddBusRows("before, 23.6 ms from a write to the next break",
               RunTransmitter(std::chrono::milliseconds(1), Seconds(10), before), false, table);
    AddBusRows("now", RunTransmitter(std::chrono::milliseconds(1), Seconds(10)), true, table);

    const AwayRun away = RunWhileAway(Seconds(10));
    table.Add({"Open DMX device away: CPU while retrying (libftdi, whole process)",
               away.deviceFound ? "not measured: an Open DMX USB is attached"
                                : FormatFixed(away.cpuShare * 100, 3) + " % of a core, " +
                                      FormatFixed(away.triesPerSecond, 1) + " tries to open/s",
               "-", "-", "< 1 % of a core, >= 2 tries/s",
               !away.deviceFound && away.cpuShare < 0.01 && away.triesPerSecond >= 2});
  }

 private:
  std::chrono::seconds Seconds(int full) const {
    return std::chrono::seconds(options_.quick ? 2 : full);
  }

  // The run before the change is reported, not judged.
  static void AddBusRows(const std::string& which, const TransmitterRun& run, bool judged,
                         ResultsTable& table) {
    const Packets p = PacketsOf(run.calls);
    const double rate = RateOf(p.starts);
    const Spread breakSpread = SpreadOf(p.breaks);
    const Spread markSpread = SpreadOf(p.marks);
    const ScheduleFit fit = FitSchedule(p.starts, run.sleeps);
    table.Add({"Open DMX packet rate, break calls of 1 ms each, " + which + " (" +
                   std::to_string(p.starts.size()) + " packets)",
               FormatFixed(rate, 2) + "/s; break / MAB shortest " + FormatNs(breakSpread.min) +
                   " / " + FormatNs(markSpread.min) + "; " + std::to_string(fit.moves.size()) +
                   " schedule moves" + (p.bad ? ", " + std::to_string(p.bad) + " bad packets" : ""),
               "40.0/s the period", FormatFixed(rate / 40.0, 3),
               judged ? ">= 39.5/s, >= 92 us / >= 12 us" : "report",
               judged ? std::optional<bool>(rate >= 39.5 && p.bad == 0 && breakSpread.min >= 92e3 &&
                                            markSpread.min >= 12e3)
                      : std::nullopt});
  }

  static void AddRows(const TransmitterRun& run, const SleepLoopFloor& floor, ResultsTable& table) {
    const Packets p = PacketsOf(run.calls);
    const std::vector<int64_t>& starts = p.starts;
    const uint64_t bad = p.bad;
    const double cpuShare = run.cpuShare;
    const double rate = RateOf(starts);
    const double floorRate = RateOf(floor.starts);
    table.Add(
        {"Open DMX packet rate (" + std::to_string(starts.size()) + " packets)",
         FormatFixed(rate, 2) + "/s" + (bad ? ", " + std::to_string(bad) + " bad packets" : ""),
         FormatFixed(floorRate, 2) + "/s sleep loop",
         FormatFixed(floorRate > 0 ? rate / floorRate : 0, 3), "40.0/s, frames whole",
         std::abs(rate - 40.0) < 0.05 && bad == 0});

    // Each start against the deadline it was due at, after the last move
    // of the schedule; the moves themselves apart. The sleep loop never
    // moves its schedule.
    const ScheduleFit fit = FitSchedule(starts, run.sleeps);
    std::vector<double> floorLateness;
    for (size_t k = 0; k < floor.starts.size(); ++k) {
      floorLateness.push_back(static_cast<double>(floor.starts[k] - floor.deadlines[k]));
    }
    const Spread jitter = SpreadOf(fit.lateness);
    const Spread floorJitter = SpreadOf(floorLateness);
    table.Add({"Open DMX frame-start jitter (vs the schedule after its last move) p50/p99/max",
               Spread3(jitter), Spread3(floorJitter) + " sleep loop",
               FormatFixed(floorJitter.p99 > 0 ? jitter.p99 / floorJitter.p99 : 0, 2) + " at p99",
               "p99 < 200 us", jitter.count > 0 && jitter.p99 < 200e3});
    const Spread moves = SpreadOf(fit.moves);
    table.Add({"  schedule moves (a late packet pushes the ones after it)",
               std::to_string(fit.moves.size()) +
                   (fit.moves.empty()
                        ? ""
                        : ", by p50/max " + FormatNs(moves.p50) + " / " + FormatNs(moves.max)),
               "-", "-", "report", std::nullopt});

    const Spread gap = SpreadOf(GapErrorsOf(starts));
    const Spread floorGap = SpreadOf(GapErrorsOf(floor.starts));
    table.Add({"  period error |gap - 25 ms| p50/p99/max",
               FormatNs(gap.p50) + " / " + FormatNs(gap.p99) + " / " + FormatNs(gap.max),
               FormatNs(floorGap.p50) + " / " + FormatNs(floorGap.p99) + " / " +
                   FormatNs(floorGap.max) + " sleep loop",
               FormatFixed(floorGap.p99 > 0 ? gap.p99 / floorGap.p99 : 0, 2) + " at p99", "report",
               std::nullopt});

    const Spread breakSpread = SpreadOf(p.breaks);
    const Spread markSpread = SpreadOf(p.marks);
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
