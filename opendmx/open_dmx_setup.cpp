// SPDX-License-Identifier: MIT
#include "opendmx/open_dmx_setup.h"

#include <functional>

namespace lumivane {
namespace {

constexpr uint16_t kDmxDivisor = 12;  // 3 MHz / 12 = 250000 baud

struct SetupStep {
  std::function<FT_STATUS()> call;
  std::string_view failureText;
};

}  // namespace

std::string_view SetUpForDmx(D2xx& d2xx, FT_HANDLE h) {
  const SetupStep steps[] = {
      {[&] { return d2xx.FT_ResetDevice(h); }, "Failed To Reset Enttec Open DMX USB Device!"},
      {[&] { return d2xx.FT_SetDivisor(h, kDmxDivisor); }, "Failed To Set Baud Rate!"},
      {[&] { return d2xx.FT_SetDataCharacteristics(h, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE); },
       "Failed To Set Data Characteristics!"},
      {[&] { return d2xx.FT_SetFlowControl(h, FT_FLOW_NONE, 0, 0); },
       "Failed to set flow control!"},
      {[&] { return d2xx.FT_ClrRts(h); }, "Failed to set RS485 to send!"},
      {[&] { return d2xx.FT_Purge(h, FT_PURGE_TX); }, "Failed to purge TX buffer!"},
      {[&] { return d2xx.FT_Purge(h, FT_PURGE_RX); }, "Failed to purge RX buffer!"},
  };
  for (const auto& step : steps) {
    if (step.call() != FT_OK) return step.failureText;
  }
  return {};
}

FT_HANDLE OpenForDmx(D2xx& d2xx) {
  FT_HANDLE handle = 0;
  if (d2xx.FT_Open(0, &handle) != FT_OK) return 0;
  if (!SetUpForDmx(d2xx, handle).empty()) {
    d2xx.FT_Close(handle);
    return 0;
  }
  return handle;
}

}  // namespace lumivane
