// SPDX-License-Identifier: MIT
#include "host/console_widget_display.h"

namespace lumivane::host {
namespace {

ConsoleWidgetDisplay& Self(void* context) {
  return *static_cast<ConsoleWidgetDisplay*>(context);
}

}  // namespace

// The callbacks must not throw into the plug-in: a failed allocation here
// ends the process, as it would anywhere else in this program.
void ConsoleWidgetDisplay::AddListEntry(void* context, const char* text) noexcept {
  Self(context).entries_.push_back({text, 0});
}

void ConsoleWidgetDisplay::SetLastEntryItemData(void* context, int32_t data) noexcept {
  if (!Self(context).entries_.empty()) Self(context).entries_.back().itemData = data;
}

void ConsoleWidgetDisplay::SetInfoCaption(void* context, const char* text) noexcept {
  Self(context).info_ = text;
}

void ConsoleWidgetDisplay::SetResultCaption(void* context, const char* text) noexcept {
  Self(context).result_ = text;
}

void ConsoleWidgetDisplay::Print(std::FILE* out) const {
  for (const Entry& entry : entries_) std::fprintf(out, "%s\n", entry.text.c_str());
  std::fprintf(out, "info: %s\nresult: %s\n", info_.c_str(), result_.c_str());
}

}  // namespace lumivane::host
