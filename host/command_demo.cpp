// SPDX-License-Identifier: MIT
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "host/host_session.h"
#include "host/whole_number.h"
#include "host/widget_simulator.h"

namespace lumivane::host {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int32_t kSimulatedPort = 1;
constexpr auto kFramePause = 30ms;

struct DemoOptions {
  int32_t frames = 72;
  int32_t channels = 8;
  std::optional<int32_t> port;  // a real widget instead of the simulator
};

std::optional<int32_t> NumberIn(const std::string& text, int32_t lowest, int32_t highest) {
  const std::optional<int32_t> value = WholeNumber<int32_t>(text);
  if (!value || *value < lowest || *value > highest) return std::nullopt;
  return value;
}

std::optional<DemoOptions> ParseOptions(const Arguments& args) {
  DemoOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    struct Numeric {
      const char* name;
      int32_t lowest, highest;
      int32_t* out;
    };
    int32_t port = 0;
    const std::array numerics{Numeric{"--frames", 0, 1'000'000, &options.frames},
                              Numeric{"--channels", 1, 512, &options.channels},
                              Numeric{"--port", 1, 255, &port}};
    const Numeric* match = nullptr;
    for (const Numeric& n : numerics) {
      if (args[i] == n.name) match = &n;
    }
    if (match == nullptr) {
      std::fprintf(stderr, "unknown demo option %s\n", args[i].c_str());
      return std::nullopt;
    }
    const auto value =
        i + 1 < args.size() ? NumberIn(args[i + 1], match->lowest, match->highest) : std::nullopt;
    if (!value) {
      std::fprintf(stderr, "%s needs a whole number in %d..%d\n", match->name, match->lowest,
                   match->highest);
      return std::nullopt;
    }
    *match->out = *value;
    if (match->out == &port) options.port = port;
    ++i;
  }
  return options;
}

// A settings home of the demo's own, so the user's settings and port map
// are never touched. Set before the plug-in is first called, removed after.
class TemporaryHome {
 public:
  TemporaryHome() {
    std::string pattern = (fs::temp_directory_path() / "lumivane-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temp folder");
    path_ = pattern;
    ::setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
  }
  ~TemporaryHome() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;

 private:
  fs::path path_;
};

// The chase: one light runs along the channels with a dimmer tail. Each
// step is up to three SetChannel calls, each call one frame on the wire.
struct ChaseStep {
  int32_t channel;
  int32_t value;
};
ChaseStep ChaseCall(int32_t call, int32_t channels) {
  const int32_t step = call / 3;
  const int32_t back = call % 3;  // 0: the head, 1: its tail, 2: off behind it
  const int32_t channel = ((step - back) % channels + channels) % channels + 1;
  static constexpr std::array<int32_t, 3> kLevels{255, 96, 0};
  if (channels <= back) return {step % channels + 1, 255};  // too few channels for a tail
  return {channel, kLevels[back]};
}

class BarDisplay {
 public:
  explicit BarDisplay(int32_t channels)
      : channels_(std::min<int32_t>(channels, 16)), live_(::isatty(STDOUT_FILENO) == 1) {}
  bool live() const { return live_; }

  void Show(const std::string& heading, const std::array<uint8_t, 512>& levels) {
    if (drawn_ && live_) std::printf("\x1b[%dA", channels_ + 1);
    std::printf(live_ ? "\r%s\x1b[K\n" : "%s\n", heading.c_str());
    for (int32_t c = 0; c < channels_; ++c) {
      constexpr int kWidth = 32;
      const int filled = (levels[c] * kWidth + 127) / 255;
      std::printf("  ch %3d |%s%s| %3d\n", c + 1, std::string(filled, '#').c_str(),
                  std::string(kWidth - filled, '.').c_str(), levels[c]);
    }
    std::fflush(stdout);
    drawn_ = true;
  }

 private:
  int32_t channels_;
  bool live_;
  bool drawn_ = false;
};

bool Check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok:" : "FAILED:", what);
  return ok;
}

int RunDemo(const HostOptions& hostOptions, const Arguments& args) {
  const std::optional<DemoOptions> parsed = ParseOptions(args);
  if (!parsed) return kExitUsage;
  const DemoOptions& options = *parsed;

  // A real widget is found through the user's port map, read before the
  // demo's own home replaces it.
  std::optional<std::string> realDevice;
  if (options.port) {
    HostSession probe(hostOptions);
    char* text = nullptr;
    if (probe.library->ports_device(*options.port, &text) == 0) {
      realDevice = TakeText(*probe.library, text);
    }
  }
  TemporaryHome home;
  HostSession session(hostOptions);
  PluginLibrary& lib = *session.library;

  std::unique_ptr<sim::WidgetSimulator> widget;
  const int32_t port = options.port.value_or(kSimulatedPort);
  std::string device;
  if (!options.port) {
    widget = std::make_unique<sim::WidgetSimulator>();
    device = widget->devicePath();
  } else {
    device = realDevice.value_or("/dev/ttyUSB" + std::to_string(port - 1));
    if (std::error_code ec; !fs::exists(device, ec)) {
      std::fprintf(stderr, "no device for port %d: %s does not exist (see 'ports')\n", port,
                   device.c_str());
      return kExitCallFailed;
    }
  }
  if (const lv_status status = lib.ports_link(port, device.c_str()); status != 0) {
    std::fprintf(stderr, "cannot link port %d: %s\n", port, lib.error_description());
    return kExitCallFailed;
  }
  const std::string portText = std::to_string(port);
  for (auto [key, value] :
       {std::pair{"DeviceType", "DMXUSBpro"}, std::pair{"comPort", portText.c_str()}}) {
    if (lib.settings_write(session.title.c_str(), session.file.c_str(), key, value) != 0) {
      std::fprintf(stderr, "cannot store %s: %s\n", key, lib.error_description());
      return kExitCallFailed;
    }
  }
  std::printf("%s on port %d (%s)\n", widget ? "simulated widget" : "widget", port, device.c_str());

  bool ok = true;
  DriverClient driver(lib);
  bool result = false;
  CallOutcome outcome = driver.Init(session.title, session.file, result);
  PrintCall("init", result, outcome);
  ok &= outcome.ok();
  if (widget) {
    const std::vector<uint8_t> initial{0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7};
    const bool primed =
        widget->WaitForMessages(1, 2s) && widget->Messages().front().frame.bytes() == initial;
    ok &= Check(primed, "the widget received the initial frame 7E 06 01 00 00 E7");
  }

  BarDisplay bars(options.channels);
  std::array<uint8_t, 512> sent{};
  int32_t pushed = 0;
  for (int32_t call = 0; call < options.frames; ++call) {
    const ChaseStep next = ChaseCall(call, options.channels);
    outcome = driver.SetChannel(next.channel, next.value, result);
    if (!outcome.ok()) {
      PrintCall("SetChannel(" + std::to_string(next.channel) + ")", result, outcome);
      ok = false;
      break;
    }
    sent[next.channel - 1] = static_cast<uint8_t>(next.value);
    ++pushed;
    if (widget) widget->WaitForMessages(static_cast<uint64_t>(pushed) + 1, 1s);
    if (bars.live() || call + 1 == options.frames) {
      const uint64_t received = widget ? widget->FrameCount() - 1 : 0;
      bars.Show(widget ? "frames received by the widget: " + std::to_string(received)
                       : "frames sent: " + std::to_string(pushed),
                widget ? widget->Levels() : sent);
    }
    if (bars.live()) std::this_thread::sleep_for(kFramePause);
  }
  if (widget) {
    ok &=
        Check(widget->FrameCount() == static_cast<uint64_t>(pushed) + 1 && widget->Levels() == sent,
              "one frame per SetChannel, with the levels that were set");
  }

  outcome = driver.Term(result);
  PrintCall("Term", result, outcome);
  ok &= outcome.ok();
  if (widget) ok &= Check(widget->WaitForPortOpen(false, 2s), "the widget saw the port close");
  return ok ? kExitOk : kExitCallFailed;
}

}  // namespace

const Command kDemoCommand{
    "demo", "drive a simulated widget (the default command)",
    "usage: lumivane-host [options] demo [--frames N] [--channels N] [--port N]\n"
    "Starts a simulated DMX USB Pro on a pseudo-terminal, links port 1 to it in a\n"
    "temporary settings home (your own settings are never touched), stores\n"
    "\"DMXUSBpro\" and that port, runs init, plays a chase through SetChannel and\n"
    "shows what the widget received, then Term. Exits 0 when every frame arrived.\n"
    "  --frames N    SetChannel calls, one frame each (default 72)\n"
    "  --channels N  channels the chase runs over, 1..512 (default 8)\n"
    "  --port N      drive the real widget on port N instead (see 'ports')\n",
    RunDemo};

}  // namespace lumivane::host
