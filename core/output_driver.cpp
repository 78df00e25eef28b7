// SPDX-License-Identifier: MIT
#include "core/output_driver.h"

#include "core/com_port_setting.h"

namespace lumivane {

bool clsOutputDriver::Disable() {
  plugin_.state.outputEnabled = false;
  plugin_.transmitter.Load();
  return true;
}

bool clsOutputDriver::Enable() {
  plugin_.state.outputEnabled = true;
  return true;
}

bool clsOutputDriver::SetChannel(int32_t Channel, int32_t Value) {
  DriverState& state = plugin_.state;
  bool stored = false;
  if (Channel >= 1 && Channel <= kHighestChannel) {
    if (Value < 0 || Value > 255) throw Failure(ErrorNumber::kOverflow);
    state.dmxData[Channel] = static_cast<uint8_t>(Value);
    stored = true;
  }
  try {
    plugin_.routing.SendUniverse();
  } catch (const Failure& failure) {
    throw FailureWithResult(failure, stored);
  }
  return stored;
}

bool clsOutputDriver::Configure() {
  plugin_.dialog.Show();
  return true;
}

bool clsOutputDriver::init(std::string_view CallingAppTitle, std::string_view MyFilename,
                           std::unique_ptr<HostObject> StagixPluginHelper) {
  DriverState& state = plugin_.state;
  myAppTitle_ = CallingAppTitle;
  state.appTitle = myAppTitle_;
  myPluginFile_ = MyFilename;
  state.pluginFile = myPluginFile_;
  // The new reference is taken before the old one is released.
  state.pluginHelper = std::move(StagixPluginHelper);
  plugin_.transmitter.Load();

  const std::string section = PluginSection(myPluginFile_);
  state.comPort = ConvertComPortSetting(plugin_.settings.Read(myAppTitle_, section, kKeyComPort));
  state.deviceType = plugin_.settings.Read(myAppTitle_, section, kKeyDeviceType);
  if (plugin_.network != nullptr) state.network = plugin_.network->Read(myAppTitle_, myPluginFile_);
  plugin_.routing.OpenDevice();
  return false;
}

bool clsOutputDriver::Term() {
  plugin_.state.pluginHelper.reset();
  plugin_.pro.CloseProPort();
  return false;
}

}  // namespace lumivane
