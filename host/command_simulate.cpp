// SPDX-License-Identifier: MIT
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "host/host_session.h"
#include "host/whole_number.h"
#include "host/widget_simulator.h"

namespace lumivane::host {
namespace {

using namespace std::chrono_literals;
using sim::WidgetSimulator;

std::atomic<bool> stopRequested{false};
extern "C" void RequestStop(int) {
  stopRequested = true;
}

struct SimulateOptions {
  uint32_t serial = WidgetSimulator::kDefaultSerial;
  uint8_t firmwareHigh = 1, firmwareLow = 44;
  WidgetSimulator::Replies replies = WidgetSimulator::Replies::kAnswer;
  int32_t delayMs = 0;
  int32_t seconds = 0;  // 0: until interrupted
  std::optional<int32_t> link;
  uint32_t linkRate = 0;  // bytes per second; 0: as fast as it reads
};

std::optional<SimulateOptions> Parse(const Arguments& args) {
  SimulateOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--silent") {
      o.replies = WidgetSimulator::Replies::kSilent;
      continue;
    }
    if (a == "--garbage") {
      o.replies = WidgetSimulator::Replies::kGarbage;
      continue;
    }
    if (i + 1 >= args.size()) {
      std::fprintf(stderr, "%s needs a value\n", a.c_str());
      return std::nullopt;
    }
    const std::string& v = args[++i];
    bool good = true;
    if (a == "--serial") {
      const auto n = WholeNumber<uint32_t>(v, 16);
      good = n.has_value() && v.size() <= 8;
      if (good) o.serial = *n;
    } else if (a == "--firmware") {
      const size_t dot = v.find('.');
      const auto high = WholeNumber<uint8_t>(v.substr(0, dot));
      const auto low =
          dot == std::string::npos ? std::nullopt : WholeNumber<uint8_t>(v.substr(dot + 1));
      good = high && low;
      if (good) o.firmwareHigh = *high, o.firmwareLow = *low;
    } else if (a == "--link-rate") {
      const auto n = WholeNumber<uint32_t>(v);
      good = n.has_value() && *n > 0;
      if (good) o.linkRate = *n;
    } else if (a == "--delay" || a == "--seconds" || a == "--link") {
      const auto n = WholeNumber<int32_t>(v);
      good = n.has_value() && *n >= 0;
      if (good) (a == "--delay" ? o.delayMs : a == "--seconds" ? o.seconds : o.link.emplace()) = *n;
    } else {
      std::fprintf(stderr, "unknown simulate option %s\n", a.c_str());
      return std::nullopt;
    }
    if (!good) {
      std::fprintf(stderr, "bad value for %s: %s\n", a.c_str(), v.c_str());
      return std::nullopt;
    }
  }
  return o;
}

int RunSimulate(const HostOptions& hostOptions, const Arguments& args) {
  const auto options = Parse(args);
  if (!options) return kExitUsage;
  WidgetSimulator widget;
  widget.SetSerial(options->serial);
  widget.SetFirmware(options->firmwareHigh, options->firmwareLow);
  widget.SetReplies(options->replies);
  widget.SetReplyDelay(std::chrono::milliseconds(options->delayMs));
  widget.SetLinkRate(options->linkRate);

  std::unique_ptr<HostSession> session;
  if (options->link) {
    session = std::make_unique<HostSession>(hostOptions);
    if (session->library->ports_link(*options->link, widget.devicePath().c_str()) != 0) {
      std::fprintf(stderr, "cannot link port %d: %s\n", *options->link,
                   session->library->error_description());
      return kExitCallFailed;
    }
    std::printf("port %d linked (unlinked again at exit)\n", *options->link);
  }
  std::printf("simulated widget on %s, serial %08X, firmware %u.%u\n", widget.devicePath().c_str(),
              options->serial, options->firmwareHigh, options->firmwareLow);
  std::fflush(stdout);

  ::signal(SIGINT, RequestStop);
  ::signal(SIGTERM, RequestStop);
  const auto start = std::chrono::steady_clock::now();
  uint64_t shown = 0;
  bool open = false;
  uint64_t closes = 0;
  while (!stopRequested) {
    if (options->seconds > 0 &&
        std::chrono::steady_clock::now() - start >= std::chrono::seconds(options->seconds))
      break;
    std::this_thread::sleep_for(50ms);
    for (const auto& m : widget.Messages(shown, shown)) {
      const double at = std::chrono::duration<double>(m.at - start).count();
      std::printf("%9.3f s  label %u, %zu payload bytes\n", at, m.frame.label,
                  m.frame.payload.size());
    }
    const bool nowOpen = widget.PortOpen();
    if (nowOpen && !open) std::printf("port opened\n");
    open = nowOpen;
    for (const uint64_t closed = widget.CloseCount(); closes < closed; ++closes) {
      std::printf("port closed\n");
    }
    std::fflush(stdout);
  }
  std::printf("%llu messages, %llu DMX frames, %llu stray bytes, %llu DMX packets sent\n",
              static_cast<unsigned long long>(widget.MessageCount()),
              static_cast<unsigned long long>(widget.FrameCount()),
              static_cast<unsigned long long>(widget.DroppedBytes()),
              static_cast<unsigned long long>(widget.DmxPacketCount()));
  if (session) session->library->ports_unlink(*options->link, nullptr);
  return kExitOk;
}

}  // namespace

const Command kSimulateCommand{
    "simulate", "run a simulated widget on a pseudo-terminal",
    "usage: lumivane-host [options] simulate [--link N] [--serial HEX] [--firmware H.L]\n"
    "                                        [--silent | --garbage] [--delay MS] [--seconds S]\n"
    "                                        [--link-rate BYTES_PER_S]\n"
    "Emulates a DMX USB Pro on a pseudo-terminal and prints every message it\n"
    "receives, until interrupted (or for S seconds). It answers the serial number\n"
    "request with HEX (default 12345678) and the parameters request with firmware\n"
    "H.L (default 1.44), or stays silent, or answers garbage, after MS ms.\n"
    "  --link N  links port N to it for as long as it runs\n"
    "  --link-rate BYTES_PER_S\n"
    "            takes the port's bytes no faster than that, as a real widget's USB\n"
    "            link does (the port's writes then wait once the pty's buffer is\n"
    "            full), and puts at most one DMX packet on its line per packet time\n"
    "            (22.7 ms for 512 channels), the newest complete frame; the count of\n"
    "            packets is printed at the end. Default: as fast as it reads.\n",
    RunSimulate};

}  // namespace lumivane::host
