// SPDX-License-Identifier: MIT
#include "host/plugin_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

// Where the installed plug-in file lies, seen from the installed program's
// folder; the install rules pass the real one.
#ifndef LUMIVANE_PLUGIN_DIR_FROM_BINDIR
#define LUMIVANE_PLUGIN_DIR_FROM_BINDIR "../lib/lumivane"
#endif

namespace lumivane::host {

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = ::dlerror();
    throw PluginLoadError("cannot load the plug-in file " + path + ": " + (why ? why : "?"));
  }
  try {
    abi_version = reinterpret_cast<decltype(abi_version)>(Require("lumivane_abi_version"));
    if (abi_version() != LUMIVANE_ABI_VERSION) {
      throw PluginLoadError(path + " was built for another version of the host contract");
    }
    create = reinterpret_cast<decltype(create)>(Require("lumivane_create"));
    type_description =
        reinterpret_cast<decltype(type_description)>(Require("lumivane_type_description"));
    error_description =
        reinterpret_cast<decltype(error_description)>(Require("lumivane_error_description"));
    free_text = reinterpret_cast<decltype(free_text)>(Require("lumivane_free_text"));
    pump_events = reinterpret_cast<decltype(pump_events)>(Require("lumivane_pump_events"));
    settings_path =
        reinterpret_cast<decltype(settings_path)>(Require("lumivane_tool_settings_path"));
    settings_read =
        reinterpret_cast<decltype(settings_read)>(Require("lumivane_tool_settings_read"));
    settings_write =
        reinterpret_cast<decltype(settings_write)>(Require("lumivane_tool_settings_write"));
    ports_list = reinterpret_cast<decltype(ports_list)>(Require("lumivane_tool_ports_list"));
    ports_device = reinterpret_cast<decltype(ports_device)>(Require("lumivane_tool_ports_device"));
    ports_link = reinterpret_cast<decltype(ports_link)>(Require("lumivane_tool_ports_link"));
    ports_unlink = reinterpret_cast<decltype(ports_unlink)>(Require("lumivane_tool_ports_unlink"));
    scan_pro_ports =
        reinterpret_cast<decltype(scan_pro_ports)>(Require("lumivane_tool_scan_pro_ports"));
    test_pro_port =
        reinterpret_cast<decltype(test_pro_port)>(Require("lumivane_tool_test_pro_port"));
    port_from_box_text =
        reinterpret_cast<decltype(port_from_box_text)>(Require("lumivane_tool_port_from_box_text"));
    port_from_setting =
        reinterpret_cast<decltype(port_from_setting)>(Require("lumivane_tool_port_from_setting"));
    pro_output_status =
        reinterpret_cast<decltype(pro_output_status)>(Require("lumivane_tool_pro_output_status"));
    find_nodes = reinterpret_cast<decltype(find_nodes)>(Require("lumivane_tool_find_nodes"));
  } catch (...) {
    ::dlclose(handle_);
    throw;
  }
}

PluginLibrary::~PluginLibrary() {
  ::dlclose(handle_);
}

void* PluginLibrary::Require(const char* symbol) const {
  void* address = ::dlsym(handle_, symbol);
  if (address == nullptr) throw PluginLoadError(path_ + " does not export " + symbol);
  return address;
}

std::string PluginLibrary::DefaultPath() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "liblumivane.so";
  const fs::path dir = self.parent_path();
  for (const fs::path& candidate :
       {dir / "liblumivane.so",
        (dir / LUMIVANE_PLUGIN_DIR_FROM_BINDIR / "liblumivane.so").lexically_normal()}) {
    if (fs::exists(candidate, ec)) return candidate.string();
  }
  return (dir / "liblumivane.so").string();
}

std::string TakeText(const PluginLibrary& library, char* text) {
  std::string copy = text != nullptr ? text : "";
  library.free_text(text);
  return copy;
}

}  // namespace lumivane::host
