// SPDX-License-Identifier: MIT
#include "tests/real_driver/qmp_client.h"

#include <stdexcept>

namespace lumivane::realdriver {

using Clock = std::chrono::steady_clock;
using std::chrono::duration_cast;
using std::chrono::milliseconds;

QmpClient::QmpClient(const std::string& socketPath)
    : channel_(ConnectUnix(socketPath, std::chrono::seconds(10))) {
  if (!channel_.ok()) throw std::runtime_error("cannot connect to QMP at " + socketPath);
  const auto greeting = channel_.Receive(std::chrono::seconds(10));
  if (!greeting || greeting->find("\"QMP\"") == std::string::npos) {
    throw std::runtime_error("no QMP greeting");
  }
  Execute(R"({"execute": "qmp_capabilities"})");
}

std::string QmpClient::Execute(const std::string& command, milliseconds timeout) {
  if (!channel_.Send(command)) throw std::runtime_error("QMP connection lost");
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    const auto line = channel_.Receive(duration_cast<milliseconds>(deadline - Clock::now()));
    if (!line) break;
    if (line->find("\"event\"") != std::string::npos) {
      events_.push_back(*line);
      continue;
    }
    if (line->find("\"error\"") != std::string::npos) {
      throw std::runtime_error("QMP refused " + command + ": " + *line);
    }
    return *line;
  }
  throw std::runtime_error("no QMP answer to " + command);
}

bool QmpClient::WaitForEvent(const std::string& name, const std::string& detail,
                             milliseconds timeout) {
  const auto matches = [&](const std::string& line) {
    return line.find("\"" + name + "\"") != std::string::npos &&
           line.find(detail) != std::string::npos;
  };
  for (auto it = events_.begin(); it != events_.end(); ++it) {
    if (matches(*it)) {
      events_.erase(it);
      return true;
    }
  }
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    const auto line = channel_.Receive(duration_cast<milliseconds>(deadline - Clock::now()));
    if (!line) return false;
    if (matches(*line)) return true;
    if (line->find("\"event\"") != std::string::npos) events_.push_back(*line);
  }
  return false;
}

}  // namespace lumivane::realdriver
