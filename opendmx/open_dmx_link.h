// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/interface_links.h"
#include "core/user_reports.h"
#include "opendmx/d2xx.h"
#include "opendmx/dmx_transmitter.h"

namespace lumivane {

// The Open DMX USB: the first FTDI device, set up for DMX512 (250000 baud,
// 8 data bits, 2 stop bits, no parity, no flow control, RTS dropped so the
// RS-485 driver sends), with a transmitter that puts the staged frame on the
// line while the link is open.
//
// Host thread only. Failures are shown through UserReports and never
// thrown. A failing call on the line means the device went away: the link
// stays open while its transmitter opens and sets up the device again by
// itself, silently; the failure's message is shown once per outage, at the
// next call into the link.
class OpenDmxUsbLink final : public OpenDmxLink {
 public:
  OpenDmxUsbLink(D2xx& d2xx, UserReports& reports, Clock& clock, DmxTiming timing = {});
  // Stops the transmitter and closes the device, without any message: the
  // plug-in is going away.
  ~OpenDmxUsbLink() override;
  OpenDmxUsbLink(const OpenDmxUsbLink&) = delete;
  OpenDmxUsbLink& operator=(const OpenDmxUsbLink&) = delete;

  // A start while open closes the earlier handle first, so that device 0 is
  // free to open again and only one transmitter ever runs.
  void StartOpenDmx() override;
  void StopOpenDmx() override;
  void StageOpenDmxFrame(const Universe& data) override;

  // The handle the link opened; after a loss the transmitter holds another,
  // which it hands back here when it stops.
  FT_HANDLE openDmxHandle() const { return openDmxHandle_; }
  bool openDmxOpen() const { return openDmxOpen_; }
  // Always 512 characters, one byte each.
  const std::string& openDmxFrame() const { return openDmxFrame_; }
  bool transmitting() const { return transmitter_.transmitting(); }
  // True from a failure on the line until a packet went out again.
  bool outputLost() const { return transmitter_.deviceAway(); }

 private:
  void CloseLink();
  void ReportTransmitterFailure();
  void AssignFrame(std::string_view text);

  D2xx& d2xx_;
  UserReports& reports_;
  FT_HANDLE openDmxHandle_ = 0;
  bool openDmxOpen_ = false;
  std::string openDmxFrame_;
  DmxTransmitter transmitter_;
};

}  // namespace lumivane
