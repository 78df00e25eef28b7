// SPDX-License-Identifier: MIT
// Figures for the bench on the real driver: the state latency of a
// full-universe fade (the widget reading at full speed, then paced) and the
// bytes the line carries while the host outpaces it.
#include <thread>

#include "tests/real_driver/guest_cases.h"
#include "tests/real_driver/state_latency.h"

namespace lumivane::realdriver {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using host::DriverClient;

double Bytes(GuestSession& g) {
  double bytes = 0, frames = 0;
  std::sscanf(g.Ask("bytes").c_str(), "ok %lf %lf", &bytes, &frames);
  return bytes;
}

// 512 channels, 40 steps a second, 120 steps or 20 s; each step's end
// reported to the host. An emulated CPU may not keep the pace: the steps
// made a second are reported.
void Fade(GuestSession& g, DriverClient& client, const std::string& reader) {
  g.Ask("clear");
  CallRecord calls;
  const auto start = Clock::now();
  constexpr int kSteps = 120;
  int step = 0;
  for (; step < kSteps && Clock::now() - start < 20s; ++step) {
    for (int32_t ch = 1; ch <= 512; ++ch) calls.SetChannel(client, ch, StepLevel(step));
    g.Send(Format("step %.0f", step));
    std::this_thread::sleep_until(start + (step + 1) * 25ms);
  }
  const double seconds = MsSince(start) / 1000;
  std::this_thread::sleep_for(1s);
  g.Bench("state_latency reader=" + reader + " " + g.Ask("latency").substr(3) +
          Format(" steps_per_s=%.1f worst_call_ms=%.2f", step / seconds, calls.worstMs));
}

// As fast as the host can call, 2 s: what reaches the widget.
void LineUse(GuestSession& g, DriverClient& client, const std::string& reader) {
  CallRecord calls;
  const double before = Bytes(g);
  const auto start = Clock::now();
  int step = 0;
  while (Clock::now() - start < 2s) {
    for (int32_t ch = 1; ch <= 512; ++ch) calls.SetChannel(client, ch, StepLevel(step));
    ++step;
  }
  const double seconds = MsSince(start) / 1000;
  std::this_thread::sleep_for(500ms);
  g.Bench("line_use reader=" + reader +
          Format(" bytes_per_s=%.0f calls_per_s=%.0f", (Bytes(g) - before) / seconds,
                 static_cast<double>(calls.calls) / seconds));
}

}  // namespace

void RunProBench(GuestSession& g, int pacedRate) {
  g.Choose("DMXUSBpro");
  DriverClient client(g.library());
  bool result = false;
  client.Init(GuestSession::kTitle, GuestSession::kFile, result);
  for (const int rate : {0, pacedRate}) {
    const std::string reader = rate == 0 ? "full" : Format("paced-%.0f", rate);
    g.Ask(Format("rate %.0f", rate));
    Fade(g, client, reader);
    LineUse(g, client, reader);
  }
  g.Ask("rate 0");
  client.Term(result);
}

}  // namespace lumivane::realdriver
