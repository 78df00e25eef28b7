// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "host/widget_simulator.h"
#include "prowidget/port_map_posix.h"
#include "tests/support/temp_folder.h"

namespace lumivane::test {

// Serial ports 1..16 in a port map of their own: simulated widgets on some,
// every other port linked to a device that does not exist, so no tty of the
// machine takes part.
class SimulatedPorts {
 public:
  SimulatedPorts() : map_(folder_.path() / "lumivane" / "ports") {
    for (int port = 1; port <= 16; ++port) {
      map_.Link(port, folder_.path() / ("missing" + std::to_string(port)));
    }
  }

  sim::WidgetSimulator& Widget(int port) {
    auto& widget = widgets_[port];
    widget = std::make_unique<sim::WidgetSimulator>();
    map_.Link(port, widget->devicePath());
    return *widget;
  }

  // The usual set: widgets on 4 and 9, a silent port, a port answering
  // garbage and a widget answering only after 80 ms.
  void AddTheUsualSet() {
    Widget(4).SetSerial(0x12345678);
    Widget(9).SetSerial(0xA0B1C2D3);
    Widget(2).SetReplies(sim::WidgetSimulator::Replies::kSilent);
    Widget(6).SetReplies(sim::WidgetSimulator::Replies::kGarbage);
    Widget(11).SetReplyDelay(std::chrono::milliseconds(80));
  }

  const PortMap& map() const { return map_; }
  // The settings home whose ports folder is the map.
  const std::filesystem::path& home() const { return folder_.path(); }

 private:
  TempFolder folder_;
  PortMap map_;
  std::map<int, std::unique_ptr<sim::WidgetSimulator>> widgets_;
};

}  // namespace lumivane::test
