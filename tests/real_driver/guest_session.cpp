// SPDX-License-Identifier: MIT
#include "tests/real_driver/guest_session.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cstdio>
#include <set>
#include <stdexcept>
#include <thread>

namespace lumivane::realdriver {

using Clock = std::chrono::steady_clock;

namespace {

// The guest's second serial port, QEMU's socket chardev on the host: raw,
// as fast as the emulated UART goes.
UniqueFd OpenControlPort() {
  UniqueFd fd(::open("/dev/ttyS1", O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!fd.ok()) throw std::runtime_error("cannot open the control port /dev/ttyS1");
  termios line{};
  ::tcgetattr(fd.get(), &line);
  ::cfmakeraw(&line);
  ::cfsetspeed(&line, B115200);
  ::tcsetattr(fd.get(), TCSANOW, &line);
  return fd;
}

}  // namespace

GuestSession::GuestSession(const std::string& pluginPath, const std::string& hostProgram)
    : pluginPath_(pluginPath), hostProgram_(hostProgram), control_(OpenControlPort()) {
  library_.emplace(pluginPath_);
  if (Ask("hello", std::chrono::seconds(10)) != "ok") {
    throw std::runtime_error("the host's side does not answer");
  }
}

void GuestSession::Reload() {
  library_.reset();
  library_.emplace(pluginPath_);
}

void GuestSession::Choose(const std::string& deviceType) {
  library_->settings_write(kTitle, kFile, "comPort", "1");
  library_->settings_write(kTitle, kFile, "DeviceType", deviceType.c_str());
}

std::string GuestSession::Ask(const std::string& request, std::chrono::milliseconds timeout) {
  control_.Send(request);
  const auto answer = control_.Receive(timeout);
  if (!answer) throw std::runtime_error("no answer to " + request);
  return *answer;
}

void GuestSession::Check(bool passed, const std::string& name, const std::string& detail) {
  std::printf("%s %s: %s\n", passed ? "PASS" : "FAIL", name.c_str(), detail.c_str());
  std::fflush(stdout);
  if (!passed) ++failures_;
}

void GuestSession::Bench(const std::string& line) {
  std::printf("BENCH %s\n", line.c_str());
  std::fflush(stdout);
}

int CallRecord::SetChannel(host::DriverClient& client, int32_t channel, int32_t value) {
  bool result = false;
  const auto start = Clock::now();
  const host::CallOutcome outcome = client.SetChannel(channel, value, result);
  worstMs = std::max(worstMs, MsSince(start));
  ++calls;
  ++statuses[outcome.status];
  if (!outcome.ok() && firstFailure.empty()) firstFailure = outcome.description;
  return outcome.status;
}

uint64_t CallRecord::Count(int status) const {
  const auto it = statuses.find(status);
  return it == statuses.end() ? 0 : it->second;
}

std::string CallRecord::Text() const {
  std::string text = Format("%.0f calls, worst %.1f ms;", static_cast<double>(calls), worstMs);
  for (const auto& [status, count] : statuses) {
    text += " status " + std::to_string(status) + " x" + std::to_string(count);
  }
  if (!firstFailure.empty()) text += " (" + firstFailure + ")";
  return text;
}

std::string UsbTtys() {
  std::set<std::string> names;
  if (DIR* dir = ::opendir("/dev")) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.rfind("ttyUSB", 0) == 0) names.insert(name);
    }
    ::closedir(dir);
  }
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

double WaitForTty(const std::string& name, std::chrono::milliseconds timeout) {
  const auto start = Clock::now();
  struct stat st {};
  while (::stat(("/dev/" + name).c_str(), &st) != 0) {
    if (Clock::now() - start > timeout) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return MsSince(start);
}

std::string Format(const char* format, double a, double b, double c, double d) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b, c, d);
  return text;
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace lumivane::realdriver
