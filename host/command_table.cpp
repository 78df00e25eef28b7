// SPDX-License-Identifier: MIT
#include <array>

#include "host/command.h"

namespace lumivane::host {

std::span<const Command> Commands() {
  static const std::array kCommands{
      &kDemoCommand,     &kInfoCommand,      &kSetCommand,   &kPlayCommand,
      &kSettingsCommand, &kScanCommand,      &kTestCommand,  &kPortsCommand,
      &kSimulateCommand, &kConfigureCommand, &kNodesCommand, &kReceiveCommand,
  };
  static const auto kTable = [] {
    std::array<Command, kCommands.size()> table{};
    for (size_t i = 0; i < kCommands.size(); ++i) table[i] = *kCommands[i];
    return table;
  }();
  return kTable;
}

}  // namespace lumivane::host
