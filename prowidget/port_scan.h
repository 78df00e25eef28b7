// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

#include "core/interface_links.h"
#include "core/sleeper.h"
#include "prowidget/reply_parser.h"
#include "prowidget/transmitter.h"
#include "core/widget_display.h"

namespace lumivane {

// Probes serial ports 1..16 for DMX USB Pro widgets and lists them: a port
// whose widget gave its serial number as "Pro Widget - Com:  n : serial"
// with item data n, any other port that opened as "Com: n" (item data 0),
// a port that did not open not at all. Every step is guarded: nothing
// fails out of a scan. Expects the port closed and leaves it closed; a
// port that is already open is probed (and closed) in the pass for port 1.
// Host thread only; blocks it 50 ms for every port that opens.
class PortScan {
 public:
  static constexpr int16_t kFirstPort = 1;
  static constexpr int16_t kLastPort = 16;
  static constexpr int kReplyWaitMs = 50;

  PortScan(Transmitter& transmitter, ProLink& pro, ReplyParser& parser, Sleeper& sleeper)
      : transmitter_(transmitter), pro_(pro), parser_(parser), sleeper_(sleeper) {}

  // Appends this scan's entries after those already listed.
  void ScanProPorts(WidgetDisplay& display);

  // What the latest scan found on port n (1..16); false for other numbers.
  bool portPresent(int port) const { return InRange(port) && portPresent_[port]; }
  bool portIsWidget(int port) const { return InRange(port) && portIsWidget_[port]; }

 private:
  static bool InRange(int port) { return port >= kFirstPort && port <= kLastPort; }
  void ProbePort(int16_t port, WidgetDisplay& display);
  void ListPort(int16_t port, WidgetDisplay& display);

  Transmitter& transmitter_;
  ProLink& pro_;
  ReplyParser& parser_;
  Sleeper& sleeper_;
  std::array<bool, kLastPort + 1> portPresent_{};  // index 0 unused
  std::array<bool, kLastPort + 1> portIsWidget_{};
};

}  // namespace lumivane
