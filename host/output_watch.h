// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstdio>

#include "host/plugin_library.h"

namespace lumivane::host {

// Tells, one line each, when the widget's output was lost and when it
// resumed, with the time it happened:
//   output lost at 16:42:03.120 (8023)
//   output resumed at 16:42:05.310, after 2.19 s
// Look() asks the plug-in and prints what changed since the last look.
class OutputWatch {
 public:
  OutputWatch(PluginLibrary& library, std::FILE* out) : library_(library), out_(out) {}
  void Look();

 private:
  PluginLibrary& library_;
  std::FILE* out_;
  bool lost_ = false;
  uint32_t outages_ = 0;
};

}  // namespace lumivane::host
