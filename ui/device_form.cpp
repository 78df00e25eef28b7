// SPDX-License-Identifier: MIT
#include "ui/device_form.h"

#include <string>

#include "core/com_port_setting.h"
#include "core/failure.h"
#include "core/number_text.h"
#include "ui/port_text.h"

namespace lumivane {

void DeviceForm::Form_Load() {
  DriverState& state = services_.state;
  services_.routing.CloseDevice();
  const std::string deviceLine = "Current Device: " + state.deviceType;
  view_.SetInfoCaption(deviceLine);
  view_.SetPortText(SignPadded(state.comPort));
  if (state.deviceType == kDeviceProWidget) {
    view_.SetInfoCaption(deviceLine + " on port: " + PlainDecimal(state.comPort));
    view_.SelectProWidget();
    services_.probes.ScanProPorts(view_);
  }
}

void DeviceForm::optDMXUSBpro_Click() {
  services_.probes.ScanProPorts(view_);
}

std::optional<int16_t> DeviceForm::TypedPort() {
  const std::string text = view_.PortText();
  const std::optional<int16_t> port = ReadPortText(text);
  if (!port) services_.reports.ShowMessage(std::string(kInvalidPortMessage) + text);
  return port;
}

void DeviceForm::cmdTest_Click() {
  const std::optional<int16_t> port = TypedPort();
  if (!port) return;
  services_.state.comPort = *port;
  services_.probes.TestProPort(*port, view_);
}

void DeviceForm::cmdOK_Click() {
  DriverState& state = services_.state;
  // Read before anything changes, so a refused text leaves all as it was.
  std::optional<int16_t> port;
  if (view_.ProWidgetSelected()) {
    port = TypedPort();
    if (!port) return;
  }
  try {
    const std::string section = PluginSection(state.pluginFile);
    if (view_.OpenDmxSelected()) state.deviceType = kDeviceOpenDmx;
    if (port) {
      state.deviceType = kDeviceProWidget;
      state.comPort = *port;
      services_.settings.Write(state.appTitle, section, kKeyComPort,
                               FormatComPortSetting(state.comPort));
    }
    services_.settings.Write(state.appTitle, section, kKeyDeviceType, state.deviceType);
    services_.routing.OpenDevice();
  } catch (const Failure& failure) {
    services_.reports.ShowMessage(failure.description());
  }
}

}  // namespace lumivane
