// SPDX-License-Identifier: MIT
#include "tests/faults/soak_run.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "host/driver_client.h"
#include "host/plugin_library.h"
#include "host/widget_simulator.h"
#include "tests/faults/fault_support.h"

namespace lumivane::test {
namespace {

using namespace std::chrono_literals;
using Frame = std::vector<uint8_t>;

constexpr const char* kTitle = "Soak";
constexpr const char* kFile = "liblumivane.so";
constexpr int32_t kPort = 3;

Frame UniverseFrame(const std::array<uint8_t, 512>& levels) {
  Frame out{0x7E, 0x06, 0x01, 0x02, 0x00};
  out.insert(out.end(), levels.begin(), levels.end());
  out.push_back(0xE7);
  return out;
}

// Waits until the simulator holds the batch's last universe, then walks
// what it got: each frame one of the batch's universes, later than the one
// before.
void CheckBatch(const sim::WidgetSimulator& widget, const std::vector<Frame>& expected,
                const std::array<uint8_t, 512>& last, SoakResult& result) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (widget.Levels() != last && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(200us);
  }
  size_t next = 0;  // the first universe not seen yet
  for (const auto& message : widget.Messages()) {
    const Frame bytes = message.frame.bytes();
    const auto found =
        std::find(expected.begin() + static_cast<std::ptrdiff_t>(next), expected.end(), bytes);
    if (found == expected.end()) {
      ++result.framesCorrupt;
      continue;
    }
    const auto at = static_cast<size_t>(found - expected.begin());
    result.framesSuperseded += at - next;
    ++result.framesChecked;
    next = at + 1;
  }
  result.framesLost += expected.size() - next;
}

}  // namespace

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

SoakResult RunSoak(const SoakOptions& options) {
  SoakResult result;
  TempFolder home;
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  try {
    sim::WidgetSimulator widget;
    widget.SetRecordLimit(options.batch + 1);
    host::PluginLibrary library(options.pluginFile);
    if (library.ports_link(kPort, widget.devicePath().c_str()) != 0 ||
        library.settings_write(kTitle, kFile, "DeviceType", "DMXUSBpro") != 0 ||
        library.settings_write(kTitle, kFile, "comPort", std::to_string(kPort).c_str()) != 0) {
      result.error = std::string("cannot set up: ") + library.error_description();
      return result;
    }
    host::DriverClient driver(library);
    bool stored = false;
    if (!driver.Init(kTitle, kFile, stored).ok() || !widget.WaitForMessages(1, 5s)) {
      result.error = "init did not prime the widget";
      return result;
    }
    widget.ClearMessages();

    std::array<uint8_t, 512> levels{};
    std::vector<Frame> expected;
    expected.reserve(options.batch);
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t i = 0; i < options.calls; ++i) {
      const auto channel = static_cast<int32_t>(i % 512 + 1);
      const auto value = static_cast<int32_t>((i * 7 + i / 512) % 256);
      if (!driver.SetChannel(channel, value, stored).ok() || !stored) ++result.failedCalls;
      levels[channel - 1] = static_cast<uint8_t>(value);
      expected.push_back(UniverseFrame(levels));
      ++result.calls;
      if (expected.size() == options.batch || i + 1 == options.calls) {
        CheckBatch(widget, expected, levels, result);
        widget.ClearMessages();
        expected.clear();
        result.rssKb.push_back(ResidentKb());
      }
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.droppedBytes = widget.DroppedBytes();
    driver.Term(stored);
  } catch (const std::exception& e) {
    result.error = e.what();
  }
  return result;
}

}  // namespace lumivane::test
