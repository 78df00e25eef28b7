// SPDX-License-Identifier: MIT
#include "plugin/call_by_name.h"

#include <glib.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/number_text.h"

namespace lumivane {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (g_ascii_tolower(a[i]) != g_ascii_tolower(b[i])) return false;
  }
  return true;
}

class CountedHelper final : public HostObject {
 public:
  explicit CountedHelper(lv_helper* helper) : helper_(helper) { helper_->ops->AddRef(helper_); }
  ~CountedHelper() override { helper_->ops->Release(helper_); }
  CountedHelper(const CountedHelper&) = delete;
  CountedHelper& operator=(const CountedHelper&) = delete;

 private:
  lv_helper* helper_;
};

// Automation's conversion of a whole number to a 32-bit argument: texts are
// read as numbers and rounded half to even.
int32_t LongArgument(const lv_variant& arg) {
  switch (arg.type) {
    case LV_EMPTY:
      return 0;
    case LV_BOOL:
      return arg.value.b;
    case LV_I2:
      return arg.value.i2;
    case LV_I4:
      return arg.value.i4;
    case LV_TEXT: {
      const std::optional<double> number =
          ReadDecimalNumber(TextArgument(arg.value.text, "a number"));
      if (!number) throw Failure(ErrorNumber::kTypeMismatch);
      const double rounded = RoundHalfToEven(*number);
      if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
        throw Failure(ErrorNumber::kOverflow);
      }
      return static_cast<int32_t>(rounded);
    }
    default:
      throw Failure(ErrorNumber::kTypeMismatch);
  }
}

std::string StringArgument(const lv_variant& arg, std::string_view name) {
  switch (arg.type) {
    case LV_EMPTY:
      return {};
    case LV_BOOL:
      return arg.value.b != 0 ? "True" : "False";
    case LV_I2:
      return std::to_string(arg.value.i2);
    case LV_I4:
      return std::to_string(arg.value.i4);
    case LV_TEXT:
      return TextArgument(arg.value.text, name);
    default:
      throw Failure(ErrorNumber::kTypeMismatch);
  }
}

lv_helper* ObjectArgument(const lv_variant& arg) {
  switch (arg.type) {
    case LV_EMPTY:
      return nullptr;
    case LV_OBJECT:
      return arg.value.object;
    default:
      throw Failure(ErrorNumber::kTypeMismatch);
  }
}

void SetBool(lv_variant* result, bool value) {
  if (result == nullptr) return;
  result->type = LV_BOOL;
  result->value.b = value ? LV_TRUE : LV_FALSE;
}

// Runs a Boolean method once its arguments are converted, so a bad one
// changes nothing.
template <class Method>
void CallBool(lv_variant* result, Method&& method) {
  WriteBoolResult(method, [&](bool value) { SetBool(result, value); });
}

struct MethodEntry {
  std::string_view name;
  int32_t arity;
  void (*call)(clsOutputDriver& driver, const lv_variant* args, lv_variant* result);
};

constexpr MethodEntry kMethods[] = {
    {"Disable", 0,
     [](clsOutputDriver& d, const lv_variant*, lv_variant* r) {
       CallBool(r, [&] { return d.Disable(); });
     }},
    {"Enable", 0,
     [](clsOutputDriver& d, const lv_variant*, lv_variant* r) {
       CallBool(r, [&] { return d.Enable(); });
     }},
    {"PluginName", 0,
     [](clsOutputDriver& d, const lv_variant*, lv_variant* r) {
       if (r == nullptr) return;
       r->value.text = CopyText(d.PluginName());
       r->type = LV_TEXT;
     }},
    {"SetChannel", 2,
     [](clsOutputDriver& d, const lv_variant* args, lv_variant* r) {
       const int32_t channel = LongArgument(args[0]);
       const int32_t value = LongArgument(args[1]);
       CallBool(r, [&] { return d.SetChannel(channel, value); });
     }},
    {"Configure", 0,
     [](clsOutputDriver& d, const lv_variant*, lv_variant* r) {
       CallBool(r, [&] { return d.Configure(); });
     }},
    {"init", 3,
     [](clsOutputDriver& d, const lv_variant* args, lv_variant* r) {
       const std::string title = StringArgument(args[0], "CallingAppTitle");
       const std::string file = StringArgument(args[1], "MyFilename");
       std::unique_ptr<HostObject> helper = HelperReference(ObjectArgument(args[2]));
       CallBool(r, [&] { return d.init(title, file, std::move(helper)); });
     }},
    {"Term", 0,
     [](clsOutputDriver& d, const lv_variant*, lv_variant* r) {
       CallBool(r, [&] { return d.Term(); });
     }},
};

}  // namespace

bool IsKnownInterface(std::string_view name) {
  for (std::string_view known : {"_clsOutputDriver", "IDispatch", "IUnknown"}) {
    if (EqualsIgnoringCase(name, known)) return true;
  }
  return false;
}

char* CopyText(std::string_view text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

std::string TextArgument(const char* text, std::string_view name) {
  if (text == nullptr) throw Failure(ErrorNumber::kInvalidCall, std::string(name) + " is NULL");
  if (!g_utf8_validate(text, -1, nullptr)) {
    throw Failure(ErrorNumber::kInvalidCall, std::string(name) + " is not valid UTF-8");
  }
  return text;
}

std::unique_ptr<HostObject> HelperReference(lv_helper* helper) {
  if (helper == nullptr) return nullptr;
  if (helper->ops == nullptr || helper->ops->AddRef == nullptr || helper->ops->Release == nullptr) {
    throw Failure(ErrorNumber::kInvalidCall, "the helper object has no reference counting");
  }
  return std::make_unique<CountedHelper>(helper);
}

void InvokeByName(clsOutputDriver& driver, const char* method, const lv_variant* args, int32_t argc,
                  lv_variant* result) {
  const std::string name = TextArgument(method, "the method name");
  if (argc < 0 || (argc > 0 && args == nullptr)) {
    throw Failure(ErrorNumber::kInvalidCall, "no arguments");
  }
  for (const MethodEntry& entry : kMethods) {
    if (!EqualsIgnoringCase(name, entry.name)) continue;
    if (argc != entry.arity) throw Failure(ErrorNumber::kWrongArgCount);
    entry.call(driver, args, result);
    return;
  }
  throw Failure(ErrorNumber::kNoSuchMethod, name);
}

}  // namespace lumivane
