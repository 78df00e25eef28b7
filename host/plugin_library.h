// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

#include "lumivane/lumivane.h"
#include "lumivane/lumivane_tools.h"

namespace lumivane::host {

// The plug-in file cannot be loaded, or lacks a call the host needs.
class PluginLoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The plug-in file, loaded with dlopen as any host would, and the calls it
// exports. Only the public C headers are used.
class PluginLibrary {
 public:
  // Throws PluginLoadError with dlerror's words when it cannot load.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // The plug-in built or installed beside this program.
  static std::string DefaultPath();

  const std::string& path() const { return path_; }

  decltype(&lumivane_abi_version) abi_version;
  decltype(&lumivane_create) create;
  decltype(&lumivane_type_description) type_description;
  decltype(&lumivane_error_description) error_description;
  decltype(&lumivane_free_text) free_text;
  decltype(&lumivane_pump_events) pump_events;
  decltype(&lumivane_tool_settings_path) settings_path;
  decltype(&lumivane_tool_settings_read) settings_read;
  decltype(&lumivane_tool_settings_write) settings_write;
  decltype(&lumivane_tool_ports_list) ports_list;
  decltype(&lumivane_tool_ports_device) ports_device;
  decltype(&lumivane_tool_ports_link) ports_link;
  decltype(&lumivane_tool_ports_unlink) ports_unlink;
  decltype(&lumivane_tool_scan_pro_ports) scan_pro_ports;
  decltype(&lumivane_tool_test_pro_port) test_pro_port;
  decltype(&lumivane_tool_port_from_box_text) port_from_box_text;
  decltype(&lumivane_tool_port_from_setting) port_from_setting;
  decltype(&lumivane_tool_pro_output_status) pro_output_status;
  decltype(&lumivane_tool_find_nodes) find_nodes;

 private:
  void* Require(const char* symbol) const;

  std::string path_;
  void* handle_;
};

// A text returned by the plug-in, freed with it.
std::string TakeText(const PluginLibrary& library, char* text);

}  // namespace lumivane::host
