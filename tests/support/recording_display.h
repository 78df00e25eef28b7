// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/widget_display.h"

namespace lumivane::test {

// What the device dialog would show, recorded.
struct ListEntry {
  std::string text;
  int32_t itemData = 0;
  bool operator==(const ListEntry&) const = default;
};

class RecordingDisplay final : public WidgetDisplay {
 public:
  void AddListEntry(std::string_view text) override { entries.push_back({std::string(text), 0}); }
  void SetLastEntryItemData(int32_t data) override { entries.back().itemData = data; }
  void SetInfoCaption(std::string_view text) override { info = text; }
  void SetResultCaption(std::string_view text) override { result = text; }

  std::vector<ListEntry> entries;
  std::string info = "Info";
  std::string result = "Test Result";
};

}  // namespace lumivane::test
