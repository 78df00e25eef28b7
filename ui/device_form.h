// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <vector>

#include "core/device_routing.h"
#include "core/driver_state.h"
#include "core/network_output.h"
#include "core/network_output_settings.h"
#include "core/port_probes.h"
#include "core/settings_store.h"
#include "core/user_reports.h"
#include "ui/device_view.h"

namespace lumivane {

// What the dialog's handlers reach besides their controls. Not owned.
struct DeviceFormServices {
  DriverState& state;
  SettingsStore& settings;
  DeviceRouting& routing;
  ProPortProbes& probes;
  UserReports& reports;
  // The network output; none: OK stores and opens only the interface.
  NetworkOutputSettings* network = nullptr;
  NodeFinder* nodes = nullptr;
};

// The handlers of the device dialog (frmDevice), on the shared state and
// the dialog's controls. They keep no data of their own but the nodes the
// last search found, for picking one. Host thread.
class DeviceForm {
 public:
  DeviceForm(DeviceView& view, DeviceFormServices services) : view_(view), services_(services) {}

  // Closes the current interface, fills the info line and the port box and,
  // for the widget, scans once. Throws Failure (a failing close); the steps
  // before it stay done.
  void Form_Load();
  // Scans again, appending to the list. Never throws.
  void optDMXUSBpro_Click();
  // Tests the typed port; a text that is no port number is refused with a
  // message box and changes nothing. Never throws.
  void cmdTest_Click();
  // Stores the choice and opens the chosen interface. A refused port text
  // changes nothing; a failing write or open is shown in a message box and
  // ends the handler, the steps before it stay done. Never throws Failure.
  void cmdOK_Click();

  // Polls for Art-Net nodes and lists each output they offer. Never throws.
  void cmdFindNodes_Click();
  // Takes the picked node's address and Port-Address for Art-Net.
  void lstNodes_Click();

 private:
  // The typed port number, or nullopt after telling the user why not.
  std::optional<int16_t> TypedPort();
  // The typed network output, or nullopt after telling the user why not.
  std::optional<NetworkSettings> TypedNetwork();

  struct NodeOutput {
    NetworkSettings::Ipv4 address;
    std::optional<uint16_t> portAddress;  // none: the node outputs nothing
  };

  DeviceView& view_;
  DeviceFormServices services_;
  std::vector<NodeOutput> nodeOutputs_;  // in the order of lstNodes
};

inline constexpr std::string_view kInvalidPortMessage = "Invalid port number: ";
inline constexpr std::string_view kInvalidAddressMessage = "Invalid network address: ";
inline constexpr std::string_view kInvalidUniverseMessage = "Invalid universe: ";
inline constexpr std::string_view kNoArtNetAddressMessage =
    "Art-Net needs a destination address: type one or find nodes";
inline constexpr std::string_view kNoNodesEntry = "No node answered";

}  // namespace lumivane
