// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/device_routing.h"
#include "core/driver_state.h"
#include "core/driver_windows.h"
#include "core/failure.h"
#include "core/interface_links.h"
#include "core/network_output_settings.h"
#include "core/settings_store.h"

namespace lumivane {

// Everything an output-driver object reaches: the shared state and the
// services behind it. Not owned; the composition root (or a test) owns them.
struct Plugin {
  DriverState& state;
  SettingsStore& settings;
  TransmitterWindow& transmitter;
  ProLink& pro;  // Term closes the widget's port directly
  DeviceRouting& routing;
  DeviceDialog& dialog;
  // The network output's settings, read at init; none: init reads only the
  // two interface keys.
  NetworkOutputSettings* network = nullptr;
};

// A failure that comes after the call's result was decided: SetChannel
// stored the level and only the push failed, so the host sees True.
class FailureWithResult : public Failure {
 public:
  FailureWithResult(const Failure& failure, bool result) : Failure(failure), result_(result) {}
  bool result() const { return result_; }

 private:
  bool result_;
};

// How a boundary writes a Boolean method's result: False first, so a call
// that fails leaves False, then what the method returned, or the result a
// FailureWithResult carries before that failure passes up.
template <class Method, class Write>
void WriteBoolResult(Method&& method, Write&& write) {
  write(false);
  try {
    write(static_cast<bool>(method()));
  } catch (const FailureWithResult& failure) {
    write(failure.result());
    throw;
  }
}

inline constexpr std::string_view kPluginName = "Lumivane DMX Pro Driver";

// The host's object. Any number of them share one Plugin. Methods run on
// the host's thread and throw Failure; none handles errors itself.
class clsOutputDriver {
 public:
  explicit clsOutputDriver(Plugin& plugin) : plugin_(plugin) {}

  bool Disable();
  bool Enable();
  std::string PluginName() const { return std::string(kPluginName); }
  bool SetChannel(int32_t Channel, int32_t Value);
  bool Configure();
  bool init(std::string_view CallingAppTitle, std::string_view MyFilename,
            std::unique_ptr<HostObject> StagixPluginHelper);
  bool Term();

  const std::string& myAppTitle() const { return myAppTitle_; }
  const std::string& myPluginFile() const { return myPluginFile_; }

 private:
  Plugin& plugin_;
  std::string myAppTitle_;
  std::string myPluginFile_;
};

}  // namespace lumivane
