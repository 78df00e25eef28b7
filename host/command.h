// SPDX-License-Identifier: MIT
#pragma once

#include <span>
#include <string>
#include <vector>

namespace lumivane::host {

// Exit statuses of lumivane-host.
enum ExitStatus : int {
  kExitOk = 0,
  kExitCallFailed = 1,  // a plug-in call or the command failed, or input lines were malformed
  kExitUsage = 2,       // the command line was wrong
  kExitNoPlugin = 3,    // the plug-in file could not be loaded
};

struct HostOptions {
  std::string pluginPath;  // empty: the plug-in beside the program
  std::string title = "Lumivane Host";
  std::string file;  // empty: the plug-in file's name
};

using Arguments = std::vector<std::string>;

// One command of lumivane-host: its name, a line for the overview, its full
// help text, and what it does.
struct Command {
  const char* name;
  const char* summary;
  const char* help;
  int (*run)(const HostOptions& options, const Arguments& args);
};

// All commands, in the order the help lists them. Each is defined in its
// own command_*.cpp file.
std::span<const Command> Commands();

extern const Command kInfoCommand;
extern const Command kSetCommand;
extern const Command kPlayCommand;
extern const Command kSettingsCommand;
extern const Command kDemoCommand;
extern const Command kScanCommand;
extern const Command kTestCommand;
extern const Command kPortsCommand;
extern const Command kSimulateCommand;
extern const Command kConfigureCommand;
extern const Command kNodesCommand;
extern const Command kReceiveCommand;

}  // namespace lumivane::host
