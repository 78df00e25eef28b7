// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumivane::test {

struct SoakOptions {
  std::string pluginFile;  // the plug-in file to dlopen
  uint64_t calls = 20000;  // SetChannel calls through the C boundary
  uint64_t batch = 1000;   // calls between frame checks and memory samples
};

// What a soak run saw. Every SetChannel call builds a universe; each frame
// on the simulated widget must be one of them, in order, and each batch's
// last one must arrive. Universes the link replaced by a newer one while
// the line was full count as superseded.
struct SoakResult {
  uint64_t calls = 0;
  uint64_t failedCalls = 0;       // a status other than 0
  uint64_t framesChecked = 0;     // received and equal to the expected universe
  uint64_t framesSuperseded = 0;  // replaced by a newer universe before it went
  uint64_t framesLost = 0;        // after a batch's last frame that came
  uint64_t framesCorrupt = 0;     // received but not the expected universe
  uint64_t droppedBytes = 0;      // bytes the simulator could not place in a message
  double seconds = 0;
  std::vector<long> rssKb;  // resident memory after each batch
  std::string error;        // set when the run could not start
  bool clean() const {
    return error.empty() && failedCalls == 0 && framesLost == 0 && framesCorrupt == 0 &&
           droppedBytes == 0 && framesChecked + framesSuperseded == calls;
  }
};

// Loads the plug-in file, points port 3 at a simulated widget on a pty,
// runs init, then the SetChannel calls (channel i % 512 + 1, a level that
// changes with i), checking every frame batch by batch. Settings and the
// port map go to a temporary home (XDG_CONFIG_HOME is set for the process).
SoakResult RunSoak(const SoakOptions& options);

// Resident memory of this process in KiB.
long ResidentKb();

}  // namespace lumivane::test
