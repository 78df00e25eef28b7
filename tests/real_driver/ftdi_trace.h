// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumivane::realdriver {

// What QEMU's emulated FTDI chip was asked to do, from its usb_serial_*
// trace (the log backend with -msg timestamp=on: "pid@seconds:event ...").
struct FtdiEvent {
  double at = 0;         // QEMU's wall clock, seconds
  std::string name;      // e.g. usb_serial_handle_control
  uint32_t request = 0;  // handle_control: the request (0x4004 SET_DATA ...)
  uint32_t value = 0;
  std::string text;  // the rest of the line
};

// The events in the file from byte `offset` on; `end` receives where the
// file ended, to start from next time.
std::vector<FtdiEvent> ReadFtdiTrace(const std::string& path, uint64_t offset, uint64_t& end);

constexpr uint32_t kFtdiReset = 0x4000;  // value 0 reset, 1 purge RX, 2 purge TX
constexpr uint32_t kFtdiModemCtrl = 0x4001;
constexpr uint32_t kFtdiFlowCtrl = 0x4002;
constexpr uint32_t kFtdiSetData = 0x4004;
constexpr uint32_t kFtdiBreakBit = 0x4000;  // in SET_DATA's value

// The Open DMX's set-up as the chip saw it: reset, 250000 baud, 8N2, no
// flow control, RTS cleared, both buffers purged, in this order (other
// requests may come between). Returns "" when it holds, else what is missing.
std::string MissingOpenSteps(const std::vector<FtdiEvent>& events);

struct BreakFigures {
  size_t breaks = 0;     // SET_DATA with the break bit
  double perSecond = 0;  // over the window, between the first and the last
};
// The breaks (one per packet) from `since` seconds on.
BreakFigures CountBreaks(const std::vector<FtdiEvent>& events, double since);

}  // namespace lumivane::realdriver
