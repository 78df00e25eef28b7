// SPDX-License-Identifier: MIT
// Fakes of the network output's link and node finder: the link records its
// calls ("OpenNetwork ArtNet", "CloseNetwork", "PushNetworkUniverse") and
// keeps what it was opened with and the last universe; the finder answers
// with the nodes a test gives it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/network_output.h"
#include "core/network_setting_text.h"
#include "tests/support/call_log.h"

namespace lumivane::test {

class FakeNetworkLink final : public NetworkLink, public ScriptedFake {
 public:
  explicit FakeNetworkLink(CallLog* log = nullptr) : ScriptedFake(log) {}

  void OpenNetwork(const NetworkSettings& settings) override {
    const std::string_view protocol = NetOutputText(settings.protocol);
    Log("OpenNetwork " + std::string(protocol.empty() ? "off" : protocol));
    opened = settings;
  }
  void CloseNetwork() override { Log("CloseNetwork"); }
  void PushNetworkUniverse(const Universe& data) override {
    Log("PushNetworkUniverse");
    const auto levels = data.levels();
    std::copy(levels.begin(), levels.end(), lastPushed.begin());
  }

  int pushes() const { return Count("PushNetworkUniverse"); }
  NetworkSettings opened;
  std::array<uint8_t, kChannelCount> lastPushed{};
};

class FakeNodeFinder final : public NodeFinder, public ScriptedFake {
 public:
  explicit FakeNodeFinder(CallLog* log = nullptr) : ScriptedFake(log) {}
  std::vector<FoundNode> FindNodes() override {
    Record("FindNodes");
    return nodes;
  }
  std::vector<FoundNode> nodes;
};

}  // namespace lumivane::test
