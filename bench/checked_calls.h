// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "bench/frame_sequence_check.h"
#include "bench/plugin_session.h"
#include "host/widget_simulator.h"

namespace lumivane::bench {

// Call k of every run: a channel that walks the universe and a level that
// differs from the one it replaces, so that every frame is new.
int32_t ChannelOf(uint64_t k);
int32_t ValueOf(uint64_t k);
// What call k does to the universe.
void StepOf(uint64_t k, Levels& universe);

struct CheckedRun {
  uint64_t lost = 0;
  uint64_t superseded = 0;  // replaced by a newer universe before the line took them
  uint64_t corrupted = 0;
  uint64_t failedCalls = 0;
  uint64_t strayBytes = 0;  // bytes the simulator could place in no message
  double seconds = 0;       // the calls and their checking
  bool ok() const { return lost + corrupted + failedCalls + strayBytes == 0; }
};

// "0 / 0", then the superseded universes, failed calls and stray bytes if
// there were any.
std::string RunText(const CheckedRun& run);

// Restarts the plug-in on the simulator (universe back to 0), then makes
// calls SetChannel calls at full speed and checks every frame the simulator
// received against them, ten thousand at a time, each block once the
// simulator holds its last universe.
CheckedRun RunCheckedCalls(PluginSession& session, sim::WidgetSimulator& simulator, int port,
                           uint64_t calls);

}  // namespace lumivane::bench
