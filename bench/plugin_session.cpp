// SPDX-License-Identifier: MIT
#include "bench/plugin_session.h"

#include <stdlib.h>

#include <stdexcept>

namespace lumivane::bench {
namespace {

constexpr const char* kTitle = "Lumivane Bench";

}  // namespace

TemporaryFolder::TemporaryFolder(const char* prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

PluginSession::PluginSession() {
  // The loaded plug-in keeps the settings home it found first, so every
  // session of the process shares the first one's.
  static const std::string home = home_.path().string();
  ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  library_ = std::make_unique<host::PluginLibrary>(host::PluginLibrary::DefaultPath());
  driver_ = std::make_unique<host::DriverClient>(*library_);
  object_ = driver_->object();
}

PluginSession::~PluginSession() {
  bool result = false;
  if (initialised_) driver_->Term(result);
  driver_.reset();
  library_.reset();
}

void PluginSession::Stop() {
  bool result = false;
  driver_->Term(result);
  initialised_ = false;
}

void PluginSession::UseWidgetOn(int port, const std::string& devicePath) {
  bool result = false;
  if (initialised_) driver_->Term(result);
  // Through the plug-in: a second session in the process shares the loaded
  // plug-in, which keeps the folders it found first.
  if (library_->ports_link(port, devicePath.c_str()) != 0) {
    throw std::runtime_error("cannot link the port: " + LastError());
  }
  const std::string file = std::filesystem::path(library_->path()).filename().string();
  const std::string portText = std::to_string(port);
  if (library_->settings_write(kTitle, file.c_str(), "DeviceType", "DMXUSBpro") != 0 ||
      library_->settings_write(kTitle, file.c_str(), "comPort", portText.c_str()) != 0) {
    throw std::runtime_error("cannot write the settings: " + LastError());
  }
  const host::CallOutcome outcome = driver_->Init(kTitle, file, result);
  if (!outcome.ok()) throw std::runtime_error("init failed: " + outcome.description);
  initialised_ = true;
}

}  // namespace lumivane::bench
