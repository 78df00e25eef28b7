// SPDX-License-Identifier: MIT
// Exports for set-up tools, beside the host contract.
#include <chrono>

#include "core/com_port_setting.h"
#include "core/network_setting_text.h"
#include "lumivane/lumivane_tools.h"
#include "plugin/abi_object.h"
#include "plugin/call_by_name.h"
#include "plugin/keyfile_settings_store.h"
#include "plugin/plugin_instance.h"
#include "posix/clock_posix.h"
#include "prowidget/port_map_posix.h"
#include "ui/port_text.h"

using lumivane::CopyText;
using lumivane::ErrorNumber;
using lumivane::Failure;
using lumivane::GuardAbiCall;
using lumivane::KeyFileSettingsStore;
using lumivane::PortMap;
using lumivane::TextArgument;

namespace {

void RequireResult(const void* result) {
  if (result == nullptr) throw Failure(ErrorNumber::kInvalidCall, "the result is NULL");
}

// The tool's callback table as the finder's display. Texts are handed on
// NUL-terminated; a callback left NULL is not called.
class CallbackWidgetDisplay final : public lumivane::WidgetDisplay {
 public:
  explicit CallbackWidgetDisplay(const lv_widget_display& table) : table_(table) {}
  void AddListEntry(std::string_view text) override {
    if (table_.add_list_entry) table_.add_list_entry(table_.context, std::string(text).c_str());
  }
  void SetLastEntryItemData(int32_t data) override {
    if (table_.set_last_entry_item_data) table_.set_last_entry_item_data(table_.context, data);
  }
  void SetInfoCaption(std::string_view text) override {
    if (table_.set_info_caption) table_.set_info_caption(table_.context, std::string(text).c_str());
  }
  void SetResultCaption(std::string_view text) override {
    if (table_.set_result_caption) {
      table_.set_result_caption(table_.context, std::string(text).c_str());
    }
  }

 private:
  const lv_widget_display& table_;
};

void RequireAll(std::initializer_list<const void*> pointers) {
  for (const void* p : pointers) {
    if (p == nullptr) throw Failure(ErrorNumber::kInvalidCall, "an argument is NULL");
  }
}

KeyFileSettingsStore UserSettings() {
  static lumivane::PosixClock clock;
  return KeyFileSettingsStore(KeyFileSettingsStore::DefaultFolder(), clock);
}

}  // namespace

extern "C" {

LUMIVANE_API lv_status lumivane_tool_settings_path(const char* app_title, char** path) {
  if (path != nullptr) *path = nullptr;
  return GuardAbiCall([&] {
    RequireResult(path);
    KeyFileSettingsStore store = UserSettings();
    *path = CopyText(store.FileFor(TextArgument(app_title, "the title")).string());
  });
}

LUMIVANE_API lv_status lumivane_tool_settings_read(const char* app_title, const char* plugin_file,
                                                   const char* key, char** value) {
  if (value != nullptr) *value = nullptr;
  return GuardAbiCall([&] {
    RequireAll({app_title, plugin_file, key, value});
    KeyFileSettingsStore store = UserSettings();
    const std::string section = lumivane::PluginSection(TextArgument(plugin_file, "the file"));
    *value = CopyText(store.ReadChecked(TextArgument(app_title, "the title"), section,
                                        TextArgument(key, "the key")));
  });
}

LUMIVANE_API lv_status lumivane_tool_settings_write(const char* app_title, const char* plugin_file,
                                                    const char* key, const char* value) {
  return GuardAbiCall([&] {
    RequireAll({app_title, plugin_file, key, value});
    KeyFileSettingsStore store = UserSettings();
    store.Write(TextArgument(app_title, "the title"),
                lumivane::PluginSection(TextArgument(plugin_file, "the file")),
                TextArgument(key, "the key"), TextArgument(value, "the value"));
  });
}

LUMIVANE_API lv_status lumivane_tool_ports_list(char** text) {
  if (text != nullptr) *text = nullptr;
  return GuardAbiCall([&] {
    RequireResult(text);
    std::string lines;
    for (const PortMap::Entry& entry : PortMap().Entries()) {
      lines += std::to_string(entry.port) + "\t" + entry.device.string() + "\t" +
               (entry.linked ? "link" : "default") + "\n";
    }
    *text = CopyText(lines);
  });
}

LUMIVANE_API lv_status lumivane_tool_ports_device(int32_t port, char** path) {
  if (path != nullptr) *path = nullptr;
  return GuardAbiCall([&] {
    RequireResult(path);
    const PortMap map;
    const auto target = map.LinkTarget(port);
    *path = CopyText(target ? target->string() : map.DevicePath(port).string());
  });
}

LUMIVANE_API lv_status lumivane_tool_ports_link(int32_t port, const char* device_path) {
  return GuardAbiCall([&] { PortMap().Link(port, TextArgument(device_path, "the device path")); });
}

LUMIVANE_API lv_status lumivane_tool_ports_unlink(int32_t port, lv_bool* had_link) {
  if (had_link != nullptr) *had_link = LV_FALSE;
  return GuardAbiCall([&] {
    const bool had = PortMap().Unlink(port);
    if (had_link != nullptr) *had_link = had ? LV_TRUE : LV_FALSE;
  });
}

LUMIVANE_API lv_status lumivane_tool_scan_pro_ports(const lv_widget_display* display) {
  return GuardAbiCall([&] {
    RequireAll({display});
    CallbackWidgetDisplay callbacks(*display);
    lumivane::PluginInstance::Get().probes().ScanProPorts(callbacks);
  });
}

LUMIVANE_API lv_status lumivane_tool_port_from_box_text(const char* text, int16_t* port) {
  if (port != nullptr) *port = 0;
  return GuardAbiCall([&] {
    RequireResult(port);
    const std::string typed = TextArgument(text, "the port text");
    const std::optional<int16_t> read = lumivane::ReadPortText(typed);
    if (!read) throw Failure(ErrorNumber::kTypeMismatch, "\"" + typed + "\" is no port number");
    *port = *read;
  });
}

LUMIVANE_API lv_status lumivane_tool_port_from_setting(const char* text, int16_t* port) {
  if (port != nullptr) *port = 0;
  return GuardAbiCall([&] {
    RequireResult(port);
    *port = lumivane::ConvertComPortSetting(TextArgument(text, "the comPort text"));
  });
}

LUMIVANE_API lv_status lumivane_tool_test_pro_port(int16_t port, const lv_widget_display* display) {
  return GuardAbiCall([&] {
    RequireAll({display});
    CallbackWidgetDisplay callbacks(*display);
    lumivane::PluginInstance::Get().probes().TestProPort(port, callbacks);
  });
}

LUMIVANE_API lv_status lumivane_tool_pro_output_status(lv_output_status* status) {
  if (status != nullptr) *status = lv_output_status{LV_FALSE, 0, 0, -1, -1};
  return GuardAbiCall([&] {
    RequireResult(status);
    const lumivane::OutputStatus now = lumivane::PluginInstance::Get().plugin().pro.OutputState();
    auto ms = [](std::chrono::nanoseconds span) -> int64_t {
      return span.count() < 0 ? -1
                              : std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
    };
    *status = lv_output_status{now.lost ? LV_TRUE : LV_FALSE, now.failure, now.outages,
                               ms(now.sinceChange), ms(now.lastOutage)};
  });
}

LUMIVANE_API lv_status lumivane_tool_find_nodes(char** text) {
  if (text != nullptr) *text = nullptr;
  return GuardAbiCall([&] {
    RequireResult(text);
    std::string lines;
    for (const lumivane::FoundNode& node :
         lumivane::PluginInstance::Get().nodeFinder().FindNodes()) {
      std::string outputs;
      for (uint16_t portAddress : node.outputPortAddresses) {
        if (!outputs.empty()) outputs += ',';
        outputs += std::to_string(portAddress);
      }
      lines += lumivane::Ipv4Text(node.address) + "\t" + node.name + "\t" + outputs + "\n";
    }
    *text = CopyText(lines);
  });
}

}  // extern "C"
