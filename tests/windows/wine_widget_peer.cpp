// SPDX-License-Identifier: MIT
// The widget simulator for the Wine tests, as a Linux program: prints its
// pty ("device /dev/pts/N"), records until its standard input closes, then
// prints every message it got, one a line:
//   short messages whole, "7E 06 01 00 00 E7";
//   DMX frames as "dmx <bytes> <channel>:<level> ..." for levels not 0.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "host/widget_simulator.h"

int main() {
  using namespace std::chrono_literals;
  lumivane::sim::WidgetSimulator widget;
  std::printf("device %s\n", widget.devicePath().c_str());
  std::fflush(stdout);
  while (std::fgetc(stdin) != EOF) {
  }
  // What the port wrote before it closed is in the pty: let it be read.
  std::this_thread::sleep_for(300ms);
  for (const auto& m : widget.Messages()) {
    const std::vector<uint8_t> bytes = m.frame.bytes();
    std::string line;
    char part[48];
    if (m.frame.label == 6 && m.frame.payload.size() > 1) {
      std::snprintf(part, sizeof part, "dmx %zu", bytes.size());
      line = part;
      for (size_t i = 1; i < m.frame.payload.size(); ++i) {
        if (m.frame.payload[i] == 0) continue;
        std::snprintf(part, sizeof part, " %zu:%u", i, m.frame.payload[i]);
        line += part;
      }
    } else {
      for (uint8_t b : bytes) {
        std::snprintf(part, sizeof part, "%s%02X", line.empty() ? "" : " ", b);
        line += part;
      }
    }
    std::printf("%s\n", line.c_str());
  }
  std::printf("stray %llu\n", static_cast<unsigned long long>(widget.DroppedBytes()));
  return 0;
}
