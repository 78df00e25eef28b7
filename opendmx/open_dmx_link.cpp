// SPDX-License-Identifier: MIT
#include "opendmx/open_dmx_link.h"

#include "opendmx/open_dmx_setup.h"

namespace lumivane {
OpenDmxUsbLink::OpenDmxUsbLink(D2xx& d2xx, UserReports& reports, Clock& clock, DmxTiming timing)
    : d2xx_(d2xx),
      reports_(reports),
      openDmxFrame_(kChannelCount, '\0'),
      transmitter_(d2xx, clock, timing) {}

OpenDmxUsbLink::~OpenDmxUsbLink() {
  if (transmitter_.transmitting()) openDmxHandle_ = transmitter_.Stop();
  if (openDmxOpen_ && openDmxHandle_ != 0) d2xx_.FT_Close(openDmxHandle_);
}

void OpenDmxUsbLink::StartOpenDmx() {
  ReportTransmitterFailure();
  CloseLink();
  openDmxOpen_ = false;
  if (d2xx_.FT_Open(0, &openDmxHandle_) != FT_OK) {
    reports_.ShowMessage("Failed to open Enttec Open DMX USB device!");
    return;
  }
  openDmxOpen_ = true;

  const std::string_view failure = SetUpForDmx(d2xx_, openDmxHandle_);
  if (!failure.empty()) {
    reports_.ShowMessage(failure);
    CloseLink();
    return;
  }
  AssignFrame("");
  transmitter_.Start(openDmxHandle_);
}

void OpenDmxUsbLink::StopOpenDmx() {
  ReportTransmitterFailure();
  CloseLink();
}

void OpenDmxUsbLink::StageOpenDmxFrame(const Universe& data) {
  ReportTransmitterFailure();
  auto levels = data.levels();
  AssignFrame(std::string_view(reinterpret_cast<const char*>(levels.data()), levels.size()));
  transmitter_.Stage(levels);
}

// The transmitter is joined before the close, so no packet follows it. It
// hands back the handle it holds, none when the device went away and has
// not come back: there is nothing left to close then.
void OpenDmxUsbLink::CloseLink() {
  if (!openDmxOpen_) return;
  if (transmitter_.transmitting()) openDmxHandle_ = transmitter_.Stop();
  if (openDmxHandle_ != 0 && d2xx_.FT_Close(openDmxHandle_) != FT_OK) {
    reports_.ShowMessage("Close Enttec Open DMX USB Failed");
  }
  openDmxOpen_ = false;
}

void OpenDmxUsbLink::ReportTransmitterFailure() {
  switch (transmitter_.TakeFailure()) {
    case TransmitFailure::kBreak:
      reports_.ShowMessage("Write Start Code Failed!");
      break;
    case TransmitFailure::kWrite:
      reports_.ShowMessage("Write DMX Failed!");
      break;
    case TransmitFailure::kNone:
      break;
  }
}

// Every assignment keeps the frame at 512 characters: padded with spaces
// on the right, or cut.
void OpenDmxUsbLink::AssignFrame(std::string_view text) {
  openDmxFrame_.assign(text.substr(0, kChannelCount));
  openDmxFrame_.resize(kChannelCount, ' ');
}

}  // namespace lumivane
