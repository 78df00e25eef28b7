// SPDX-License-Identifier: MIT
#include "plugin/abi_object.h"

#include <glib.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/call_by_name.h"

namespace lumivane {
namespace {

// A plain buffer, not a std::string: a thread-local with a destructor keeps
// the plug-in file mapped after the host's dlclose, and what it holds with it.
constexpr size_t kLastErrorSize = 1024;
thread_local char tLastError[kLastErrorSize];

// A host sees only the lv_object base; every lv_object it hands back is
// one of these, so the downcast is sound.
struct DriverObject : lv_object {
  std::atomic<uint32_t> refs{1};
  clsOutputDriver driver;

  DriverObject(const lv_output_driver_ops* operations, Plugin& plugin)
      : lv_object{operations}, driver(plugin) {}
};

DriverObject& Self(lv_object* self) {
  if (self == nullptr) throw Failure(ErrorNumber::kInvalidCall, "no object");
  return *static_cast<DriverObject*>(self);
}

void Require(const void* pointer, std::string_view what) {
  if (pointer == nullptr) throw Failure(ErrorNumber::kInvalidCall, std::string(what) + " is NULL");
}

lv_bool ToLv(bool value) {
  return value ? LV_TRUE : LV_FALSE;
}

// A call whose result is decided even when it fails later writes it anyway.
template <typename Method>
lv_status BoolCall(lv_object* self, lv_bool* result, Method&& method) {
  if (result != nullptr) *result = LV_FALSE;
  return GuardAbiCall([&] {
    DriverObject& object = Self(self);
    Require(result, "the result");
    WriteBoolResult([&] { return method(object.driver); },
                    [&](bool value) { *result = ToLv(value); });
  });
}

uint32_t AddRef(lv_object* self) {
  if (self == nullptr) return 0;
  return ++Self(self).refs;
}

uint32_t Release(lv_object* self) {
  if (self == nullptr) return 0;
  DriverObject* object = &Self(self);
  const uint32_t left = --object->refs;
  if (left == 0) delete object;  // destroying an object touches no state
  return left;
}

lv_status QueryInterface(lv_object* self, const char* name, lv_object** out) {
  if (out != nullptr) *out = nullptr;
  return GuardAbiCall([&] {
    Self(self);
    Require(out, "the result");
    const std::string interface = TextArgument(name, "the interface name");
    if (!IsKnownInterface(interface)) throw Failure(ErrorNumber::kNoInterface, interface);
    AddRef(self);
    *out = self;
  });
}

lv_status Invoke(lv_object* self, const char* method, const lv_variant* args, int32_t argc,
                 lv_variant* result) {
  if (result != nullptr) *result = lv_variant{};
  return GuardAbiCall([&] { InvokeByName(Self(self).driver, method, args, argc, result); });
}

lv_status Disable(lv_object* self, lv_bool* result) {
  return BoolCall(self, result, [](clsOutputDriver& d) { return d.Disable(); });
}

lv_status Enable(lv_object* self, lv_bool* result) {
  return BoolCall(self, result, [](clsOutputDriver& d) { return d.Enable(); });
}

lv_status PluginName(lv_object* self, char** result) {
  if (result != nullptr) *result = nullptr;
  return GuardAbiCall([&] {
    DriverObject& object = Self(self);
    Require(result, "the result");
    *result = CopyText(object.driver.PluginName());
  });
}

lv_status SetChannel(lv_object* self, const int32_t* Channel, const int32_t* Value,
                     lv_bool* result) {
  return BoolCall(self, result, [&](clsOutputDriver& d) {
    Require(Channel, "Channel");
    Require(Value, "Value");
    return d.SetChannel(*Channel, *Value);
  });
}

lv_status Configure(lv_object* self, lv_bool* result) {
  return BoolCall(self, result, [](clsOutputDriver& d) { return d.Configure(); });
}

lv_status Init(lv_object* self, const char* const* CallingAppTitle, const char* const* MyFilename,
               lv_helper* const* StagixPluginHelper, lv_bool* result) {
  return BoolCall(self, result, [&](clsOutputDriver& d) {
    Require(CallingAppTitle, "CallingAppTitle");
    Require(MyFilename, "MyFilename");
    Require(StagixPluginHelper, "StagixPluginHelper");
    const std::string title = TextArgument(*CallingAppTitle, "CallingAppTitle");
    const std::string file = TextArgument(*MyFilename, "MyFilename");
    return d.init(title, file, HelperReference(*StagixPluginHelper));
  });
}

lv_status Term(lv_object* self, lv_bool* result) {
  return BoolCall(self, result, [](clsOutputDriver& d) { return d.Term(); });
}

constexpr lv_output_driver_ops kOps{
    AddRef,     Release,    QueryInterface, Invoke, Disable, Enable,
    PluginName, SetChannel, Configure,      Init,   Term,
};

}  // namespace

lv_object* NewDriverObject(Plugin& plugin) {
  return new DriverObject(&kOps, plugin);
}

const char* TypeDescription() {
  // slot numbers count the four standard operations first
  return "abi\t1\n"
         "class\tclsOutputDriver\tcreatable\n"
         "interface\t_clsOutputDriver\tdual\tdefault\n"
         "method\t4\tDisable\t\tbool\n"
         "method\t5\tEnable\t\tbool\n"
         "method\t6\tPluginName\t\ttext\n"
         "method\t7\tSetChannel\tChannel:i4:byref,Value:i4:byref\tbool\n"
         "method\t8\tConfigure\t\tbool\n"
         "method\t9\tinit\tCallingAppTitle:text:byref,MyFilename:text:byref,"
         "StagixPluginHelper:object:byref\tbool\n"
         "method\t10\tTerm\t\tbool\n";
}

const char* LastErrorDescription() {
  return tLastError;
}

void SetLastErrorDescription(std::string_view text) noexcept {
  // Hosts are promised UTF-8: what is not (a path, a name the host passed)
  // is replaced character by character. No allocation, so failures without
  // memory still describe themselves.
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  size_t size = 0;
  while (!text.empty()) {
    const gchar* validEnd = nullptr;
    g_utf8_validate_len(text.data(), text.size(), &validEnd);
    size_t valid = static_cast<size_t>(validEnd - text.data());
    const bool cut = valid > kLastErrorSize - 1 - size;
    if (cut) {
      // Cut long texts at a character boundary, so what is left stays UTF-8.
      valid = kLastErrorSize - 1 - size;
      while (valid > 0 && (static_cast<unsigned char>(text[valid]) & 0xC0) == 0x80) --valid;
    }
    std::memcpy(tLastError + size, text.data(), valid);
    size += valid;
    if (cut || valid == text.size()) break;
    if (size + kReplacement.size() > kLastErrorSize - 1) break;
    std::memcpy(tLastError + size, kReplacement.data(), kReplacement.size());
    size += kReplacement.size();
    text.remove_prefix(valid + 1);
  }
  tLastError[size] = '\0';
}

}  // namespace lumivane
