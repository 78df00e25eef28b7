// SPDX-License-Identifier: MIT
#include "ui/device_form.h"

#include <string>

#include "core/com_port_setting.h"
#include "core/failure.h"
#include "core/network_setting_text.h"
#include "core/number_text.h"
#include "ui/port_text.h"

namespace lumivane {
namespace {

DeviceView::NetworkFields FieldsOf(const NetworkSettings& network) {
  DeviceView::NetworkFields fields;
  if (network.protocol == NetworkSettings::Protocol::kOff) return fields;
  fields.enabled = true;
  fields.sacn = network.protocol == NetworkSettings::Protocol::kSacn;
  if (network.address) fields.address = Ipv4Text(*network.address);
  fields.universe = PlainDecimal(network.universe);
  return fields;
}

}  // namespace

void DeviceForm::Form_Load() {
  DriverState& state = services_.state;
  services_.routing.CloseDevice();
  const std::string deviceLine = "Current Device: " + state.deviceType;
  view_.SetInfoCaption(deviceLine);
  view_.SetPortText(SignPadded(state.comPort));
  view_.SetNetworkFields(FieldsOf(state.network));
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

std::optional<NetworkSettings> DeviceForm::TypedNetwork() {
  const DeviceView::NetworkFields fields = view_.TypedNetworkFields();
  NetworkSettings network;
  if (!fields.enabled) return network;
  network.protocol =
      fields.sacn ? NetworkSettings::Protocol::kSacn : NetworkSettings::Protocol::kArtNet;
  if (!fields.address.empty()) {
    network.address = ReadIpv4Text(fields.address);
    if (!network.address) {
      services_.reports.ShowMessage(std::string(kInvalidAddressMessage) + fields.address);
      return std::nullopt;
    }
  } else if (network.protocol == NetworkSettings::Protocol::kArtNet) {
    // sACN has its multicast group; Art-Net has no address of its own.
    services_.reports.ShowMessage(kNoArtNetAddressMessage);
    return std::nullopt;
  }
  const std::optional<uint16_t> universe = ReadNetUniverseText(fields.universe, network.protocol);
  if (!universe) {
    services_.reports.ShowMessage(std::string(kInvalidUniverseMessage) + fields.universe);
    return std::nullopt;
  }
  network.universe = *universe;
  return network;
}

void DeviceForm::cmdOK_Click() {
  DriverState& state = services_.state;
  // Read before anything changes, so a refused text leaves all as it was.
  std::optional<int16_t> port;
  if (view_.ProWidgetSelected()) {
    port = TypedPort();
    if (!port) return;
  }
  std::optional<NetworkSettings> network;
  if (services_.network != nullptr) {
    network = TypedNetwork();
    if (!network) return;
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
    if (network) {
      services_.network->Write(state.appTitle, state.pluginFile, *network);
      state.network = *network;
    }
    services_.routing.OpenDevice();
  } catch (const Failure& failure) {
    services_.reports.ShowMessage(failure.description());
  }
}

void DeviceForm::cmdFindNodes_Click() {
  if (services_.nodes == nullptr) return;
  std::vector<FoundNode> nodes;
  try {
    nodes = services_.nodes->FindNodes();
  } catch (const std::exception& failure) {
    services_.reports.ShowMessage(failure.what());
  }
  nodeOutputs_.clear();
  std::vector<std::string> entries;
  for (const FoundNode& node : nodes) {
    const std::string head = node.name + " - " + Ipv4Text(node.address);
    if (node.outputPortAddresses.empty()) {
      // Listed, but nothing to pick for Art-Net output.
      entries.push_back(head);
      nodeOutputs_.push_back({node.address, std::nullopt});
      continue;
    }
    for (uint16_t portAddress : node.outputPortAddresses) {
      entries.push_back(head + " : " + PlainDecimal(portAddress));
      nodeOutputs_.push_back({node.address, portAddress});
    }
  }
  if (entries.empty()) entries.emplace_back(kNoNodesEntry);
  view_.SetNodeEntries(entries);
}

void DeviceForm::lstNodes_Click() {
  const int picked = view_.SelectedNodeEntry();
  if (picked < 0 || picked >= static_cast<int>(nodeOutputs_.size())) return;
  const NodeOutput& output = nodeOutputs_[static_cast<size_t>(picked)];
  DeviceView::NetworkFields fields = view_.TypedNetworkFields();
  fields.sacn = false;
  fields.address = Ipv4Text(output.address);
  if (output.portAddress) fields.universe = PlainDecimal(*output.portAddress);
  view_.SetNetworkFields(fields);
}

}  // namespace lumivane
