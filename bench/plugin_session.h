// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "host/driver_client.h"
#include "host/plugin_library.h"

namespace lumivane::bench {

// A temporary folder, removed with everything in it when it goes.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const char* prefix);  // throws std::runtime_error
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The plug-in file loaded with dlopen, as a host loads it, with settings
// and a ports folder in a temporary XDG_CONFIG_HOME, the first session's
// for every later one in the process (they share the loaded plug-in).
// Create the first before anything else reads XDG_CONFIG_HOME. Host thread
// only.
class PluginSession {
 public:
  PluginSession();   // throws std::runtime_error
  ~PluginSession();  // Term, release, remove the temporary folder
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  // Points port at devicePath and starts the plug-in on it as a widget:
  // Term, the settings "DeviceType" and "comPort", init.
  void UseWidgetOn(int port, const std::string& devicePath);

  // Term. It closes the one widget port whichever session opened it: a
  // session's init finds a port left open and keeps it.
  void Stop();

  // SetChannel through the object's operations table, as a host calls it.
  lv_status SetChannel(int32_t channel, int32_t value) {
    lv_bool result = LV_FALSE;
    return object_->ops->SetChannel(object_, &channel, &value, &result);
  }
  // Enable: the cheapest call through the same operations table.
  lv_status Enable() {
    lv_bool result = LV_FALSE;
    return object_->ops->Enable(object_, &result);
  }
  std::string LastError() const { return library_->error_description(); }

 private:
  TemporaryFolder home_{"lumivane-bench-"};
  std::unique_ptr<host::PluginLibrary> library_;
  std::unique_ptr<host::DriverClient> driver_;
  lv_object* object_ = nullptr;
  bool initialised_ = false;
};
}  // namespace lumivane::bench
