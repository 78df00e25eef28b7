// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "host/driver_client.h"
#include "host/plugin_library.h"
#include "tests/real_driver/line_channel.h"

namespace lumivane::realdriver {

// What the guest's cases share: the plug-in file loaded as a host loads it,
// the control port to the host's side, and the case results.
class GuestSession {
 public:
  GuestSession(const std::string& pluginPath, const std::string& hostProgram);

  host::PluginLibrary& library() { return *library_; }
  const std::string& hostProgram() const { return hostProgram_; }
  // Loads the plug-in file afresh (the old one unloaded first).
  void Reload();
  void Unload() { library_.reset(); }

  // Stores the device the next init opens: "DMXUSBpro" on port 1 or "OpenDMXUSB".
  void Choose(const std::string& deviceType);
  static constexpr const char* kTitle = "Real Driver";
  static constexpr const char* kFile = "liblumivane.so";

  // Requests to the host's side. Ask waits for the answer; Send does not
  // (its answer is taken later with Poll, in order).
  std::string Ask(const std::string& request,
                  std::chrono::milliseconds timeout = std::chrono::seconds(20));
  void Send(const std::string& request) { control_.Send(request); }
  std::optional<std::string> Poll(
      std::chrono::milliseconds timeout = std::chrono::milliseconds(0)) {
    return control_.Receive(timeout);
  }

  void Check(bool passed, const std::string& name, const std::string& detail);
  void Bench(const std::string& line);
  int failures() const { return failures_; }

 private:
  std::string pluginPath_, hostProgram_;
  std::optional<host::PluginLibrary> library_;
  LineChannel control_;
  int failures_ = 0;
};

// Every call's time and outcome over a stretch of a case.
struct CallRecord {
  uint64_t calls = 0;
  double worstMs = 0;
  std::map<int, uint64_t> statuses;  // status -> count (0 ok)
  std::string firstFailure;          // its description

  // Makes the call and records it; returns its status.
  int SetChannel(host::DriverClient& client, int32_t channel, int32_t value);
  // "N calls, worst X ms, 0 x12, 8023 x1 (Device gone ...)".
  std::string Text() const;
  uint64_t Count(int status) const;
};

// The tty names there are, e.g. "ttyUSB0", blank-separated; "" for none.
std::string UsbTtys();
// Waits until /dev/<name> exists; the time it took in ms, or a negative number.
double WaitForTty(const std::string& name, std::chrono::milliseconds timeout);

std::string Format(const char* format, double a, double b = 0, double c = 0, double d = 0);
double MsSince(std::chrono::steady_clock::time_point start);

}  // namespace lumivane::realdriver
