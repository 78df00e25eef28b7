// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/port_probes.h"
#include "tests/support/call_log.h"

namespace lumivane::test {

// A scan that finds the same entries every time, and a test that shows a
// fixed result. Logged as "ScanProPorts" and "TestProPort <port>".
class ScriptedProbes final : public ProPortProbes, public ScriptedFake {
 public:
  explicit ScriptedProbes(CallLog* log = nullptr) : ScriptedFake(log) {}
  void ScanProPorts(WidgetDisplay& display) override {
    Record("ScanProPorts");
    for (const auto& [text, data] : found) {
      display.AddListEntry(text);
      if (data != 0) display.SetLastEntryItemData(data);
    }
  }
  void TestProPort(int16_t comPort, WidgetDisplay& display) override {
    Record("TestProPort " + std::to_string(comPort));
    display.SetResultCaption(testResult);
  }
  std::vector<std::pair<std::string, int32_t>> found;
  std::string testResult = " 10";
};

}  // namespace lumivane::test
