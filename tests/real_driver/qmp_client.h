// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tests/real_driver/line_channel.h"

namespace lumivane::realdriver {

// QEMU's machine protocol over its Unix socket, as far as plugging a device
// needs: commands are sent as JSON text and answered in order; events that
// arrive meanwhile are kept until asked for.
class QmpClient {
 public:
  // Connects and leaves capability negotiation; throws std::runtime_error.
  explicit QmpClient(const std::string& socketPath);

  // Sends one command ({"execute": ...}) and returns QEMU's answer line;
  // throws when QEMU answers with an error or not within the timeout.
  std::string Execute(const std::string& command,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Waits for an event line holding `name` and `detail` (e.g. the device's
  // id); false when none came within the timeout.
  bool WaitForEvent(const std::string& name, const std::string& detail,
                    std::chrono::milliseconds timeout);

 private:
  LineChannel channel_;
  std::vector<std::string> events_;
};

}  // namespace lumivane::realdriver
