// SPDX-License-Identifier: MIT
#pragma once

#include "core/driver_state.h"

namespace lumivane {

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
