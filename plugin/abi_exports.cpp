// SPDX-License-Identifier: MIT
// The symbols the plug-in file exports; everything else stays hidden.
#include <cstdlib>
#include <string_view>

#include "lumivane/lumivane.h"
#include "plugin/abi_object.h"
#include "plugin/call_by_name.h"
#include "plugin/plugin_instance.h"

using lumivane::ErrorNumber;
using lumivane::Failure;
using lumivane::GuardAbiCall;
using lumivane::PluginInstance;

extern "C" {

LUMIVANE_API uint32_t lumivane_abi_version(void) {
  return LUMIVANE_ABI_VERSION;
}

LUMIVANE_API lv_status lumivane_create(const char* class_name, lv_object** out) {
  if (out != nullptr) *out = nullptr;
  return GuardAbiCall([&] {
    if (class_name == nullptr || out == nullptr) {
      throw Failure(ErrorNumber::kInvalidCall, "lumivane_create needs a class name and a result");
    }
    if (lumivane::TextArgument(class_name, "the class name") != "clsOutputDriver") {
      throw Failure(ErrorNumber::kCannotCreate, class_name);
    }
    *out = lumivane::NewDriverObject(PluginInstance::Get().plugin());
  });
}

LUMIVANE_API const char* lumivane_type_description(void) {
  return lumivane::TypeDescription();
}

LUMIVANE_API const char* lumivane_error_description(void) {
  return lumivane::LastErrorDescription();
}

LUMIVANE_API void lumivane_free_text(char* text) {
  std::free(text);
}

LUMIVANE_API lv_status lumivane_pump_events(int32_t wait_ms, lv_bool* dialog_open) {
  if (dialog_open != nullptr) *dialog_open = LV_FALSE;
  return GuardAbiCall([&] {
    lumivane::DeviceDialog& dialog = PluginInstance::Get().plugin().dialog;
    if (dialog.IsLoaded()) dialog.PumpEvents(wait_ms < 0 ? 0 : wait_ms);
    if (dialog_open != nullptr) *dialog_open = dialog.IsLoaded() ? LV_TRUE : LV_FALSE;
  });
}

}  // extern "C"
