// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include "host/command.h"
#include "host/driver_client.h"
#include "host/plugin_library.h"

namespace lumivane::host {

// The plug-in file loaded for a command, with the names init is given.
struct HostSession {
  explicit HostSession(const HostOptions& options);

  std::unique_ptr<PluginLibrary> library;
  std::string title;
  std::string file;  // MyFilename
};

// Reports a failed tool call on standard error; returns kExitCallFailed.
int Failed(const PluginLibrary& library, lv_status status);

// Prints one call's line: "init: result False, ok".
void PrintCall(const std::string& call, bool result, const CallOutcome& outcome);

}  // namespace lumivane::host
