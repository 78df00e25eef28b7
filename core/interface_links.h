// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>

#include "core/driver_state.h"

namespace lumivane {

// Whether a link's output reaches its device, for tools that watch a show.
struct OutputStatus {
  bool lost = false;     // the device went away or stalled; the link is reopening it
  int32_t failure = 0;   // the error number that began the last outage
  uint32_t outages = 0;  // since the link was made
  // Since output was last lost or resumed, and how long the last outage
  // that ended lasted; negative: not yet.
  std::chrono::nanoseconds sinceChange{-1};
  std::chrono::nanoseconds lastOutage{-1};
};

// What the routing reaches of the DMX USB Pro link. Failures are thrown as
// Failure; OpenProPort reports its own failure to open and never throws.
class ProLink {
 public:
  virtual ~ProLink() = default;
  virtual void OpenProPort() = 0;
  virtual void CloseProPort() = 0;
  virtual void SendProUniverse() = 0;  // reads dmxData itself
  virtual void RequestProSerial() = 0;
  // Returns once the frames the link still holds have gone to the line (or
  // failed), for a caller about to use the port itself. Never throws.
  virtual void FinishSending() {}
  virtual OutputStatus OutputState() { return {}; }
};

// What the routing reaches of the Open DMX USB link. Start and stop report
// their failures in message boxes and return normally.
class OpenDmxLink {
 public:
  virtual ~OpenDmxLink() = default;
  virtual void StartOpenDmx() = 0;
  virtual void StopOpenDmx() = 0;
  virtual void StageOpenDmxFrame(const Universe& data) = 0;
};

}  // namespace lumivane
