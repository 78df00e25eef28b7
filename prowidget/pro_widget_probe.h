// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/interface_links.h"
#include "core/port_probes.h"
#include "core/user_reports.h"
#include "core/widget_display.h"
#include "prowidget/reply_parser.h"
#include "prowidget/transmitter.h"

namespace lumivane {

inline constexpr int kTestReplyWaitMs = 100;

// The dialog's two widget probes over the transmitter's serial component:
// ask a port's widget for its serial number and show what came back. Every
// step is guarded: nothing fails out of either probe. Host thread only.
class ProWidgetProbe final : public ProPortProbes {
 public:
  static constexpr int16_t kFirstPort = 1;
  static constexpr int16_t kLastPort = 16;
  static constexpr int kReplyWaitMs = 50;

  ProWidgetProbe(Transmitter& transmitter, ProLink& pro, ReplyParser& parser, Clock& clock,
                 UserReports& reports)
      : transmitter_(transmitter), pro_(pro), parser_(parser), clock_(clock), reports_(reports) {}

  // Probes ports 1..16 and appends what it found after the entries already
  // listed: a port whose widget gave its serial number as
  // "Pro Widget - Com:  n : serial" with item data n, any other port that
  // opened as "Com: n" (item data 0), a port that did not open not at all.
  // Expects the port closed and leaves it closed; a port that is already
  // open is probed (and closed) in the pass for port 1. Blocks 50 ms for
  // every port that opens.
  void ScanProPorts(WidgetDisplay& display) override;

  // The Test button once the port number is read: opens comPort unless a
  // port is already open (then tests that one, whatever its number),
  // reports a port that stays closed in a message box, asks for the serial
  // number, waits 100 ms, and shows the parser's code in the result line
  // (sign-padded), or "Nothing Recieved". The port is left open.
  void TestProPort(int16_t comPort, WidgetDisplay& display) override;

  // What the latest scan found on port n (1..16); false for other numbers.
  bool portPresent(int port) const { return InRange(port) && portPresent_[port]; }
  bool portIsWidget(int port) const { return InRange(port) && portIsWidget_[port]; }

 private:
  static bool InRange(int port) { return port >= kFirstPort && port <= kLastPort; }
  void ProbePort(int16_t port, WidgetDisplay& display);
  void ListPort(int16_t port, WidgetDisplay& display);
  // Drops pending input, asks the open port's widget for its serial number
  // and waits waitMs; when bytes came, reads them and hands them to
  // onReply in one guarded step. False when nothing came.
  template <class OnReply>
  bool AskForSerial(int waitMs, OnReply&& onReply);

  Transmitter& transmitter_;
  ProLink& pro_;
  ReplyParser& parser_;
  Clock& clock_;
  UserReports& reports_;
  std::array<bool, kLastPort + 1> portPresent_{};  // index 0 unused
  std::array<bool, kLastPort + 1> portIsWidget_{};
};

}  // namespace lumivane
