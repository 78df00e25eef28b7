// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/recording_display.h"
#include "ui/device_view.h"

namespace lumivane::test {

// The dialog's controls as plain data, starting from their designed state.
class MemoryDeviceView final : public DeviceView {
 public:
  using Entry = ListEntry;

  void AddListEntry(std::string_view text) override { devList.push_back({std::string(text)}); }
  void SetLastEntryItemData(int32_t data) override { devList.back().itemData = data; }
  void SetInfoCaption(std::string_view text) override { lblinfo = text; }
  void SetResultCaption(std::string_view text) override { lblResult = text; }
  void SetPortText(std::string_view text) override { txtCommPort = text; }
  std::string PortText() const override { return txtCommPort; }
  void SelectProWidget() override { proSelected = true; }
  bool ProWidgetSelected() const override { return proSelected; }
  bool OpenDmxSelected() const override { return !proSelected; }
  void SetNetworkFields(const NetworkFields& fields) override { network = fields; }
  NetworkFields TypedNetworkFields() const override { return network; }
  void SetNodeEntries(const std::vector<std::string>& entries) override {
    lstNodes = entries;
    selectedNode = -1;
  }
  int SelectedNodeEntry() const override { return selectedNode; }

  std::vector<Entry> devList;
  std::string lblinfo = "Info";
  std::string lblResult = "Test Result";
  std::string txtCommPort = "1";
  bool proSelected = true;
  NetworkFields network;
  std::vector<std::string> lstNodes;
  int selectedNode = -1;
};

}  // namespace lumivane::test
