// SPDX-License-Identifier: MIT
#include "opendmx/open_dmx_link.h"

#include <functional>

namespace lumivane {
namespace {

constexpr uint16_t kDmxDivisor = 12;  // 3 MHz / 12 = 250000 baud

struct SetupStep {
  std::function<FT_STATUS()> call;
  std::string_view failureText;
};

}  // namespace

OpenDmxUsbLink::OpenDmxUsbLink(D2xx& d2xx, UserReports& reports, Clock& clock, DmxTiming timing)
    : d2xx_(d2xx),
      reports_(reports),
      openDmxFrame_(kChannelCount, '\0'),
      transmitter_(d2xx, clock, timing) {}

OpenDmxUsbLink::~OpenDmxUsbLink() {
  transmitter_.Stop();
  if (openDmxOpen_) d2xx_.FT_Close(openDmxHandle_);
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

  const FT_HANDLE h = openDmxHandle_;
  const SetupStep steps[] = {
      {[&] { return d2xx_.FT_ResetDevice(h); }, "Failed To Reset Enttec Open DMX USB Device!"},
      {[&] { return d2xx_.FT_SetDivisor(h, kDmxDivisor); }, "Failed To Set Baud Rate!"},
      {[&] {
         return d2xx_.FT_SetDataCharacteristics(h, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE);
       },
       "Failed To Set Data Characteristics!"},
      {[&] { return d2xx_.FT_SetFlowControl(h, FT_FLOW_NONE, 0, 0); },
       "Failed to set flow control!"},
      {[&] { return d2xx_.FT_ClrRts(h); }, "Failed to set RS485 to send!"},
      {[&] { return d2xx_.FT_Purge(h, FT_PURGE_TX); }, "Failed to purge TX buffer!"},
      {[&] { return d2xx_.FT_Purge(h, FT_PURGE_RX); }, "Failed to purge RX buffer!"},
  };
  for (const auto& step : steps) {
    if (step.call() != FT_OK) {
      reports_.ShowMessage(step.failureText);
      CloseLink();
      return;
    }
  }
  AssignFrame("");
  transmitter_.Start(h);
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

// The transmitter is joined before the close, so no packet follows it.
void OpenDmxUsbLink::CloseLink() {
  if (!openDmxOpen_) return;
  transmitter_.Stop();
  if (d2xx_.FT_Close(openDmxHandle_) != FT_OK) {
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
