// SPDX-License-Identifier: MIT
#include "core/device_routing.h"

namespace lumivane {

DeviceRouting::Target DeviceRouting::Selected() const {
  if (state_.deviceType == kDeviceOpenDmx) return Target::kOpenDmx;
  if (state_.deviceType == kDeviceProWidget) return Target::kProWidget;
  return Target::kNone;
}

bool DeviceRouting::NetworkSends() const {
  return network_ != nullptr && state_.network.protocol != NetworkSettings::Protocol::kOff;
}

void DeviceRouting::OpenDevice() {
  // Off stops what an earlier open started.
  if (network_ != nullptr) network_->OpenNetwork(state_.network);
  switch (Selected()) {
    case Target::kOpenDmx:
      openDmx_.StartOpenDmx();
      break;
    case Target::kProWidget:
      pro_.OpenProPort();
      break;
    case Target::kNone:
      break;
  }
  state_.dmxData.Clear();
}

void DeviceRouting::CloseDevice() {
  if (network_ != nullptr) network_->CloseNetwork();
  switch (Selected()) {
    case Target::kOpenDmx:
      openDmx_.StopOpenDmx();
      break;
    case Target::kProWidget:
      pro_.CloseProPort();
      break;
    case Target::kNone:
      break;
  }
}

void DeviceRouting::SendUniverse() {
  if (NetworkSends()) network_->PushNetworkUniverse(state_.dmxData);
  switch (Selected()) {
    case Target::kOpenDmx:
      openDmx_.StageOpenDmxFrame(state_.dmxData);
      break;
    case Target::kProWidget:
      pro_.SendProUniverse();
      break;
    case Target::kNone:
      break;
  }
}

}  // namespace lumivane
