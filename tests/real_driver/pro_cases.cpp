// SPDX-License-Identifier: MIT
// The DMX USB Pro through the guest kernel's ftdi_sio: frames, scan and
// Test, saturation, unplug and replug idle, saturated and mid-show.
#include <cstdio>
#include <memory>
#include <thread>

#include "tests/real_driver/guest_cases.h"
#include "tests/real_driver/state_latency.h"

namespace lumivane::realdriver {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using host::DriverClient;

constexpr double kHeldCallBoundMs = 1500;        // "never held": generous on an emulated CPU
constexpr double kSaturatedReaderRate = 250000;  // bytes/s

bool Starts(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

std::string RunTool(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    ::pclose(pipe);
  }
  return output;
}

bool Init(DriverClient& client) {
  bool result = false;
  return client.Init(GuestSession::kTitle, GuestSession::kFile, result).ok();
}

// One fade step: every channel to the step's level, channel 1 first.
void FadeStep(DriverClient& client, CallRecord& calls, int step) {
  for (int32_t ch = 1; ch <= 512; ++ch) calls.SetChannel(client, ch, StepLevel(step));
}

double TermMs(DriverClient& client, std::string& outcome) {
  bool result = false;
  const auto start = Clock::now();
  const host::CallOutcome o = client.Term(result);
  outcome = host::OutcomeText(o);
  return MsSince(start);
}

void EndToEnd(GuestSession& g) {
  g.Choose("DMXUSBpro");
  g.Ask("clear");
  DriverClient client(g.library());
  const bool opened = Init(client);
  const std::string first = g.Ask("first");
  g.Check(opened && first == "ok 6 1 0", "pro_initial_frame",
          "init " + std::string(opened ? "ok" : "failed") + ", first message " + first);
  CallRecord calls;
  for (int32_t ch = 1; ch <= 4; ++ch) calls.SetChannel(client, ch, 10 * ch);
  calls.SetChannel(client, 512, 99);
  const std::string levels = g.Ask("levels 3000 1=10 2=20 3=30 4=40 512=99");
  g.Check(Starts(levels, "ok") && calls.Count(0) == calls.calls, "pro_frames",
          "whole 513-slot frames with the levels set: " + levels + " ms after the last call; " +
              calls.Text());
  std::string term;
  TermMs(client, term);

  const auto scanStart = Clock::now();
  const std::string scan = RunTool(g.hostProgram() + " --title 'Real Driver' scan 2>&1");
  const double scanMs = MsSince(scanStart);
  g.Check(scan.find("Pro Widget - Com:  1 : 12345678") != std::string::npos, "pro_scan",
          Format("%.0f ms for 16 ports: ", scanMs) + scan.substr(0, scan.find('\n')));
  const std::string test = RunTool(g.hostProgram() + " --title 'Real Driver' test 1 2>&1");
  g.Check(test.find("result:  10") != std::string::npos, "pro_test",
          test.substr(0, test.find('\n')));
}

// The host outpaces the line for 2 s, then sets a final state: it arrives.
void Saturation(GuestSession& g) {
  g.Choose("DMXUSBpro");
  DriverClient client(g.library());
  Init(client);
  CallRecord calls;
  const std::string before = g.Ask("bytes");
  const auto start = Clock::now();
  int step = 0;
  while (Clock::now() - start < 2s) FadeStep(client, calls, step++);
  const double seconds = MsSince(start) / 1000;
  for (int32_t ch = 1; ch <= 512; ++ch) calls.SetChannel(client, ch, ch % 7 == 0 ? 7 : 200);
  const std::string final = g.Ask("levels 5000 1=200 7=7 510=200 511=7 512=200");
  const std::string after = g.Ask("bytes");
  double bytes0 = 0, frames0 = 0, bytes1 = 0, frames1 = 0;
  std::sscanf(before.c_str(), "ok %lf %lf", &bytes0, &frames0);
  std::sscanf(after.c_str(), "ok %lf %lf", &bytes1, &frames1);
  std::string term;
  const double termMs = TermMs(client, term);
  g.Check(Starts(final, "ok") && calls.Count(0) == calls.calls && calls.worstMs < kHeldCallBoundMs,
          "pro_saturation_final_state",
          "final state " + final + " ms after its last call; " + calls.Text() +
              Format("; %.0f fade steps in %.1f s; %.0f frames, %.0f bytes/s at the widget", step,
                     seconds, frames1 - frames0, (bytes1 - bytes0) / seconds) +
              Format("; Term %.1f ms ", termMs) + term);
}

// Unplugged and replugged with the link idle: nothing held, the port's
// name comes back, output resumes (by itself, or at the next init).
void UnplugIdle(GuestSession& g) {
  g.Choose("DMXUSBpro");
  DriverClient client(g.library());
  Init(client);
  CallRecord calls;
  calls.SetChannel(client, 1, 77);
  g.Ask("levels 3000 1=77");
  const std::string unplug = g.Ask("unplug");
  const auto goneAt = Clock::now();
  // Levels set while away and after the replug come from ranges the widget
  // never held before, so a match cannot be an old state.
  int level = 150;
  while (Clock::now() - goneAt < 1500ms) {
    calls.SetChannel(client, 1, level);
    level = level == 199 ? 150 : level + 1;
    std::this_thread::sleep_for(50ms);
  }
  level = 200;
  const std::string namesWhileGone = UsbTtys();
  g.Ask("plug");
  const auto plugAt = Clock::now();
  const double ttyMs = WaitForTty("ttyUSB0", 10s);
  const std::string names = UsbTtys();
  // Output resumes by itself when the link reopens the port; otherwise
  // only at the next init.
  std::string resumed = "no";
  while (MsSince(plugAt) < 8000) {
    calls.SetChannel(client, 1, level);
    if (Starts(g.Ask(Format("levels 50 1=%.0f", level)), "ok")) {
      resumed = Format("%.0f ms after the replug, no init", MsSince(plugAt));
      break;
    }
    level = level == 249 ? 200 : level + 1;
  }
  std::string term;
  const double termMs = TermMs(client, term);
  if (resumed == "no") {
    Init(client);
    calls.SetChannel(client, 1, 33);
    if (Starts(g.Ask("levels 3000 1=33"), "ok")) resumed = "only after init";
    TermMs(client, term);
  }
  g.Check(calls.worstMs < kHeldCallBoundMs && termMs < kHeldCallBoundMs, "pro_unplug_idle_bound",
          "unplug " + unplug + " ms; " + calls.Text() + Format("; Term %.1f ms ", termMs) + term);
  g.Check(ttyMs >= 0 && names == "ttyUSB0", "pro_replug_name",
          "while gone: [" + namesWhileGone + "], after the replug: [" + names + "]" +
              Format(", ttyUSB0 after %.0f ms", ttyMs));
  g.Check(Starts(resumed, "only") == false && resumed != "no", "pro_unplug_idle_resumes",
          "output resumed: " + resumed);
}

// Unplugged while the host saturates the link, `rounds` times: no call and
// no Term held, and the device keeps its name.
void UnplugSaturated(GuestSession& g, int rounds) {
  g.Choose("DMXUSBpro");
  // The widget takes the bytes at a real link's pace, so the driver's
  // queue is full when the device goes.
  g.Ask(Format("rate %.0f", kSaturatedReaderRate));
  double worstCall = 0, worstTerm = 0;
  int done = 0;
  std::string failure;
  uint64_t gone = 0, stalled = 0, other = 0;
  for (; done < rounds && failure.empty(); ++done) {
    DriverClient client(g.library());
    Init(client);
    CallRecord calls;
    int step = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < 300ms) FadeStep(client, calls, step++);
    g.Send("unplug");
    std::optional<std::string> answer;
    const auto sent = Clock::now();
    while (!(answer = g.Poll()) && MsSince(sent) < 15000) FadeStep(client, calls, step++);
    const auto unplugged = Clock::now();
    while (Clock::now() - unplugged < 300ms) FadeStep(client, calls, step++);
    std::string term;
    const double termMs = TermMs(client, term);
    g.Ask("plug");
    const double ttyMs = WaitForTty("ttyUSB0", 10s);
    const std::string names = UsbTtys();
    worstCall = std::max(worstCall, calls.worstMs);
    worstTerm = std::max(worstTerm, termMs);
    gone += calls.Count(8023);
    stalled += calls.Count(8022);
    other += calls.calls - calls.Count(0) - calls.Count(8023) - calls.Count(8022);
    if (!answer || !Starts(*answer, "ok")) failure = "the device was not removed";
    if (calls.worstMs >= kHeldCallBoundMs || termMs >= kHeldCallBoundMs) {
      failure = calls.Text() + Format("; Term %.0f ms ", termMs) + term;
    }
    if (ttyMs < 0 || names != "ttyUSB0") failure = "after the replug: [" + names + "]";
    if (!failure.empty()) failure = Format("round %.0f: ", done + 1) + failure;
  }
  g.Ask("rate 0");
  g.Check(failure.empty(), "pro_unplug_saturated",
          Format("%.0f rounds, worst SetChannel %.1f ms, worst Term %.1f ms", done, worstCall,
                 worstTerm) +
              Format("; 8023 x%.0f, 8022 x%.0f, other failures x%.0f", static_cast<double>(gone),
                     static_cast<double>(stalled), static_cast<double>(other)) +
              (failure.empty() ? "" : "; " + failure));
}

// A show at 100 changes a second loses its device for 1 s: output resumes
// by itself with the newest level.
void ProMidShow(GuestSession& g) {
  g.Choose("DMXUSBpro");
  DriverClient client(g.library());
  Init(client);
  CallRecord calls;
  int level = 1;
  enum { kShow, kUnplugging, kAway, kPlugging, kBack } phase = kShow;
  auto phaseAt = Clock::now();
  std::string resumed = "no", unplug, names;
  const auto start = Clock::now();
  while (MsSince(start) < 9000) {
    // 1..149 before the replug, 150..249 after: a match is never old.
    level = phase == kBack ? (level < 150 || level == 249 ? 150 : level + 1)
                           : (level == 149 ? 1 : level + 1);
    calls.SetChannel(client, 1, level);
    std::this_thread::sleep_for(10ms);
    if (phase == kShow && MsSince(phaseAt) > 500) {
      g.Send("unplug");
      phase = kUnplugging;
    } else if (phase == kUnplugging) {
      if (const auto a = g.Poll()) unplug = *a, phase = kAway, phaseAt = Clock::now();
    } else if (phase == kAway && MsSince(phaseAt) > 1000) {
      g.Send("plug");
      phase = kPlugging;
    } else if (phase == kPlugging) {
      if (g.Poll()) phase = kBack, phaseAt = Clock::now();
    } else if (phase == kBack) {
      if (Starts(g.Ask(Format("levels 0 1=%.0f", level)), "ok")) {
        resumed = Format("%.0f ms after the replug", MsSince(phaseAt));
        names = UsbTtys();
        break;
      }
    }
  }
  std::string term;
  const double termMs = TermMs(client, term);
  g.Check(resumed != "no" && calls.worstMs < kHeldCallBoundMs, "pro_mid_show_resumes",
          "output resumed " + resumed + ", device [" + names + "]; unplug " + unplug + " ms; " +
              calls.Text() + Format("; Term %.1f ms ", termMs) + term);
}

}  // namespace

void RunProCases(GuestSession& g, int saturatedRounds) {
  EndToEnd(g);
  Saturation(g);
  UnplugIdle(g);
  ProMidShow(g);
  UnplugSaturated(g, saturatedRounds);
}

}  // namespace lumivane::realdriver
