// SPDX-License-Identifier: MIT
#pragma once

#include "core/driver_state.h"
#include "core/interface_links.h"
#include "core/user_reports.h"
#include "prowidget/transmitter.h"
#include "prowidget/widget_message.h"

namespace lumivane {

// The DMX USB Pro link over the transmitter's serial component MSComm1.
// proPortOpen follows OpenProPort and CloseProPort only: the port scan and
// the dialog's Test open and close the port directly without touching it,
// so the flag and the port may disagree, and the link goes by the flag.
// Host thread only.
class WidgetLink final : public ProLink {
 public:
  WidgetLink(DriverState& state, Transmitter& transmitter, UserReports& reports)
      : state_(state), transmitter_(transmitter), reports_(reports) {}

  // Opens comPort unless a port is open already, then sends the initial
  // frame. Every step is guarded; a port that stays closed is reported in a
  // message box. Never throws.
  void OpenProPort() override;
  // Closes the port while proPortOpen is set; failures pass up.
  void CloseProPort() override;
  // Writes the universe frame while proPortOpen is set; failures pass up.
  void SendProUniverse() override;
  // Writes the serial number request whatever proPortOpen says.
  void RequestProSerial() override;

  bool proPortOpen() const { return proPortOpen_; }

 private:
  SerialComponent& MSComm1() { return transmitter_.MSComm1(); }

  DriverState& state_;
  Transmitter& transmitter_;
  UserReports& reports_;
  bool proPortOpen_ = false;
  UniverseFrame frame_;
};

}  // namespace lumivane
