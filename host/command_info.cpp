// SPDX-License-Identifier: MIT
#include <cstdio>

#include "host/host_session.h"

namespace lumivane::host {
namespace {

int RunInfo(const HostOptions& options, const Arguments& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "info takes no arguments\n");
    return kExitUsage;
  }
  HostSession session(options);
  DriverClient driver(*session.library);
  std::string name;
  const CallOutcome outcome = driver.PluginName(name);
  if (!outcome.ok()) {
    std::printf("PluginName: %s\n", OutcomeText(outcome).c_str());
    return kExitCallFailed;
  }
  std::printf("plug-in file: %s\n", session.library->path().c_str());
  std::printf("name: %s\n", name.c_str());
  std::printf("abi version: %u\n", session.library->abi_version());
  std::printf("type description:\n%s", session.library->type_description());
  return kExitOk;
}

}  // namespace

const Command kInfoCommand{"info", "show the plug-in's name and type description",
                           "usage: lumivane-host [options] info\n"
                           "Loads the plug-in file and prints its name (PluginName), the\n"
                           "version of the host contract it was built for, and its type\n"
                           "description: class, interface, each method's slot, parameters\n"
                           "and result.\n",
                           RunInfo};

}  // namespace lumivane::host
