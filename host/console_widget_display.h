// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lumivane/lumivane_tools.h"

namespace lumivane::host {

// The widget finder's display on a terminal: collects the list entries and
// the two captions the plug-in sets, then prints them.
class ConsoleWidgetDisplay {
 public:
  struct Entry {
    std::string text;
    int32_t itemData = 0;
  };

  // The callback table to hand to the plug-in; valid while this lives.
  const lv_widget_display* table() const { return &table_; }

  // Each list entry on its own line, then "info: " and "result: " with
  // their captions.
  void Print(std::FILE* out) const;

  const std::vector<Entry>& entries() const { return entries_; }
  const std::string& info() const { return info_; }
  const std::string& result() const { return result_; }

 private:
  static void AddListEntry(void* context, const char* text) noexcept;
  static void SetLastEntryItemData(void* context, int32_t data) noexcept;
  static void SetInfoCaption(void* context, const char* text) noexcept;
  static void SetResultCaption(void* context, const char* text) noexcept;

  std::vector<Entry> entries_;
  std::string info_;
  std::string result_;
  lv_widget_display table_{this, &AddListEntry, &SetLastEntryItemData, &SetInfoCaption,
                           &SetResultCaption};
};

}  // namespace lumivane::host
