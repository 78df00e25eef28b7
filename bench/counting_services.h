// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>

#include "core/user_reports.h"
#include "core/widget_display.h"

namespace lumivane::bench {

// Texts longer than a std::string holds in place: each one handed over as
// a std::string costs one allocation, which the figures allow.
inline bool OnHeap(std::string_view text) {
  return text.size() > 15;
}

// A display and message boxes that keep nothing and count the texts.
class CountingDisplay final : public WidgetDisplay {
 public:
  void AddListEntry(std::string_view text) override { Count(text), ++entries; }
  void SetLastEntryItemData(int32_t) override {}
  void SetInfoCaption(std::string_view text) override { Count(text); }
  void SetResultCaption(std::string_view text) override { Count(text); }
  uint64_t heapTexts = 0;
  uint64_t entries = 0;

 private:
  void Count(std::string_view text) { heapTexts += OnHeap(text) ? 1 : 0; }
};

class CountingReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override { heapTexts += OnHeap(text) ? 1 : 0; }
  uint64_t heapTexts = 0;
};

}  // namespace lumivane::bench
