// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>

namespace lumivane {

// What the device dialog lends the reply parser and the port scan: its
// list of found ports (devList), its info line (lblinfo) and its result
// line (lblResult). The dialog implements it; the reference host has a
// console one. A new list entry's item data is 0 until it is set.
class WidgetDisplay {
 public:
  virtual ~WidgetDisplay() = default;
  virtual void AddListEntry(std::string_view text) = 0;
  virtual void SetLastEntryItemData(int32_t data) = 0;
  virtual void SetInfoCaption(std::string_view text) = 0;
  virtual void SetResultCaption(std::string_view text) = 0;
};

}  // namespace lumivane
