// SPDX-License-Identifier: MIT
#include "host/host_session.h"

#include <cstdio>
#include <filesystem>

namespace lumivane::host {

HostSession::HostSession(const HostOptions& options)
    : library(std::make_unique<PluginLibrary>(
          options.pluginPath.empty() ? PluginLibrary::DefaultPath() : options.pluginPath)),
      title(options.title),
      file(options.file.empty() ? std::filesystem::path(library->path()).filename().string()
                                : options.file) {}

int Failed(const PluginLibrary& library, lv_status status) {
  std::fprintf(stderr, "failed with %d: %s\n", status, library.error_description());
  return kExitCallFailed;
}

void PrintCall(const std::string& call, bool result, const CallOutcome& outcome) {
  std::printf("%s: result %s, %s\n", call.c_str(), BoolText(result), OutcomeText(outcome).c_str());
}

}  // namespace lumivane::host
