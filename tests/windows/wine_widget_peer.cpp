// SPDX-License-Identifier: MIT
// The widget simulator for the Wine tests, as a Linux program: prints its
// pty ("device /dev/pts/N"), records until its standard input closes, then
// prints every message it got, one a line:
//   short messages whole, "7E 06 01 00 00 E7";
//   DMX frames as "dmx <bytes> <channel>:<level> ..." for levels not 0.
//
// Options: --until FILE records until FILE exists and reads FILE instead
// of standard input (a pipe's writing end may be inherited by a program
// that outlives the test, Wine's server among them, so the pipe would
// never close); --link-rate BYTES_PER_S paces it as a real link; --not-reading
// leaves the port's output unread (its writes stall once the pty is full);
// --fade judges a fade instead of printing the messages: step k sets every
// channel to k % 255 + 1, and a line "final LEVEL" on standard input names
// the last step's level. It prints "frames N" (DMX frames with channels),
// "corrupted N" (frames cut, interleaved or going back, and bytes that
// were part of no message) and "final arrived" once the widget holds the
// final level on every channel (waiting up to 10 s after the input
// closed), "final missing" otherwise. --times ends each message's line with
// " @MS", the milliseconds since the pty was made. A line "await
// CHANNEL:LEVEL ..." on the input waits up to 10 s for the widget to hold
// those levels (every other channel at 0) before it prints.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "host/widget_simulator.h"
#include "prowidget/widget_message.h"

namespace {

using namespace std::chrono_literals;
using lumivane::sim::WidgetSimulator;

void PrintMessages(const WidgetSimulator& widget, bool times,
                   std::chrono::steady_clock::time_point start) {
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
    if (times) {
      std::snprintf(
          part, sizeof part, " @%lld",
          static_cast<long long>(
              std::chrono::duration_cast<std::chrono::milliseconds>(m.at - start).count()));
      line += part;
    }
    std::printf("%s\n", line.c_str());
  }
  std::printf("stray %llu\n", static_cast<unsigned long long>(widget.DroppedBytes()));
}

// Levels "CHANNEL:LEVEL ..." over a universe of zeros.
std::array<uint8_t, 512> LevelsOf(const std::string& text) {
  std::array<uint8_t, 512> levels{};
  std::istringstream in(text);
  int channel = 0, level = 0;
  char colon = 0;
  while (in >> channel >> colon >> level) {
    if (colon == ':' && channel >= 1 && channel <= 512) {
      levels[static_cast<size_t>(channel - 1)] = static_cast<uint8_t>(level);
    }
  }
  return levels;
}

// Every frame of a fade is one step's level from channel 1 up to some
// channel and the step before's beyond it; that position never goes back.
void JudgeFade(const WidgetSimulator& widget, int finalLevel) {
  std::array<uint8_t, 512> last;
  last.fill(static_cast<uint8_t>(finalLevel));
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (widget.Levels() != last && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(2ms);
  }
  const bool arrived = finalLevel > 0 && widget.Levels() == last;
  uint64_t frames = 0, corrupted = widget.DroppedBytes();
  long reached = -1;
  for (const auto& m : widget.Messages()) {
    const auto& p = m.frame.payload;
    if (m.frame.label != lumivane::kLabelDmxOutput || p.size() == 1) continue;
    ++frames;
    if (p.size() != 513 || p[0] != 0) {
      ++corrupted;
      continue;
    }
    if (std::all_of(p.begin() + 1, p.end(), [](uint8_t v) { return v == 0; })) continue;
    const uint8_t level = p[1];
    const uint8_t before = level - 1;  // level 1 is the first step's, after 0
    long done = 0;
    while (done < 512 && p[1 + done] == level) ++done;
    const bool whole =
        std::all_of(p.begin() + 1 + done, p.end(), [&](uint8_t v) { return v == before; });
    const long position = static_cast<long>(level) * 513 + done;
    if (!whole || position < reached) {
      ++corrupted;
      continue;
    }
    reached = position;
  }
  std::printf("frames %llu\ncorrupted %llu\nfinal %s\n", static_cast<unsigned long long>(frames),
              static_cast<unsigned long long>(corrupted), arrived ? "arrived" : "missing");
}

}  // namespace

int main(int argc, char** argv) {
  bool fade = false, reading = true, times = false;
  uint32_t rate = 0;
  const char* until = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fade") == 0) {
      fade = true;
    } else if (std::strcmp(argv[i], "--times") == 0) {
      times = true;
    } else if (std::strcmp(argv[i], "--not-reading") == 0) {
      reading = false;
    } else if (std::strcmp(argv[i], "--until") == 0 && i + 1 < argc) {
      until = argv[++i];
    } else if (std::strcmp(argv[i], "--link-rate") == 0 && i + 1 < argc) {
      rate = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      std::fprintf(stderr,
                   "usage: %s [--until FILE] [--link-rate BYTES_PER_S] [--not-reading] [--fade] "
                   "[--times]\n",
                   argv[0]);
      return 2;
    }
  }
  WidgetSimulator widget;
  const auto start = std::chrono::steady_clock::now();
  widget.SetRecordLimit(1'000'000);
  widget.SetLinkRate(rate);
  widget.SetReading(reading);
  std::printf("device %s\n", widget.devicePath().c_str());
  std::fflush(stdout);
  std::ifstream file;
  if (until != nullptr) {
    // Bounded: a test that died never leaves it running for long.
    const auto giveUp = std::chrono::steady_clock::now() + 10min;
    while (!std::filesystem::exists(until) && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::sleep_for(10ms);
    }
    file.open(until);
  }
  std::istream& input = until != nullptr ? static_cast<std::istream&>(file) : std::cin;
  int finalLevel = 0;
  std::optional<std::array<uint8_t, 512>> awaited;
  for (std::string line; std::getline(input, line);) {
    if (line.rfind("final ", 0) == 0) finalLevel = std::atoi(line.c_str() + 6);
    if (line.rfind("await ", 0) == 0) awaited = LevelsOf(line.substr(6));
  }
  if (awaited) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (widget.Levels() != *awaited && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(2ms);
    }
  }
  if (fade) {
    JudgeFade(widget, finalLevel);
    return 0;
  }
  // What the port wrote before it closed is in the pty: let it be read.
  std::this_thread::sleep_for(300ms);
  PrintMessages(widget, times, start);
  return 0;
}
