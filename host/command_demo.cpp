// SPDX-License-Identifier: MIT
#include <cstdio>

#include "host/host_session.h"

namespace lumivane::host {
namespace {

int RunDemo(const HostOptions& options, const Arguments& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "demo takes no arguments\n");
    return kExitUsage;
  }
  HostSession session(options);
  DriverClient driver(*session.library);
  std::string name;
  driver.PluginName(name);
  std::printf("%s\n", name.c_str());
  bool result = false;
  bool failed = false;
  for (int32_t channel = 1; channel <= 8; ++channel) {
    const CallOutcome outcome = driver.SetChannel(channel, channel * 32 - 1, result);
    PrintCall("SetChannel(" + std::to_string(channel) + ")", result, outcome);
    failed |= !outcome.ok();
  }
  return failed ? kExitCallFailed : kExitOk;
}

}  // namespace

const Command kDemoCommand{"demo", "drive a simulated widget (the default command)",
                           "usage: lumivane-host [options] demo\n"
                           "Shows the plug-in's name and the channel pushes it routes.\n",
                           RunDemo};

}  // namespace lumivane::host
