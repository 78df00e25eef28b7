// SPDX-License-Identifier: MIT
// The host contract driven by arbitrary calls: method names, argument
// counts, argument types and values through Invoke, and NULL or invalid
// texts through the operations table. Every call returns a documented
// status; a failed call leaves the state as it was and reaches no device;
// a successful one does exactly what its method says; references balance.
#include <fuzzer/FuzzedDataProvider.h>
#include <glib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "plugin/abi_object.h"
#include "tests/support/fake_helper.h"
#include "tests/support/test_plugin.h"

using namespace lumivane;
using namespace lumivane::test;

namespace {

constexpr std::array<std::string_view, 7> kMethods = {
    "Disable", "Enable", "PluginName", "SetChannel", "Configure", "init", "Term"};
constexpr std::array<int, 7> kArgCounts = {0, 0, 0, 2, 0, 3, 0};

// The shared state a call may change, for comparing before and after.
struct Snapshot {
  std::array<uint8_t, kChannelCount> levels;
  std::string deviceType, appTitle, pluginFile;
  int16_t comPort;
  bool helper, outputEnabled;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const DriverState& s) {
  Snapshot snap{};
  std::copy(s.dmxData.levels().begin(), s.dmxData.levels().end(), snap.levels.begin());
  snap.deviceType = s.deviceType;
  snap.appTitle = s.appTitle;
  snap.pluginFile = s.pluginFile;
  snap.comPort = s.comPort;
  snap.helper = s.pluginHelper != nullptr;
  snap.outputEnabled = s.outputEnabled;
  return snap;
}

bool Documented(lv_status status) {
  for (ErrorNumber n :
       {ErrorNumber::kInvalidCall, ErrorNumber::kOverflow, ErrorNumber::kTypeMismatch,
        ErrorNumber::kNoSuchMethod, ErrorNumber::kWrongArgCount}) {
    if (status == static_cast<lv_status>(n)) return true;
  }
  return status == 0;
}

int KnownMethod(std::string_view name) {
  for (size_t i = 0; i < kMethods.size(); ++i) {
    if (name.size() == kMethods[i].size() &&
        std::equal(name.begin(), name.end(), kMethods[i].begin(),
                   [](char a, char b) { return g_ascii_tolower(a) == g_ascii_tolower(b); })) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// A method name: mostly a known one in random case, sometimes any bytes.
std::string MethodName(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return in.ConsumeRandomLengthString(16);
  std::string name(kMethods[in.ConsumeIntegralInRange<size_t>(0, kMethods.size() - 1)]);
  for (char& c : name) {
    if (in.ConsumeBool()) c = g_ascii_toupper(c);
  }
  return name;
}

class Session {
 public:
  explicit Session(FuzzedDataProvider& in) : in_(in) {
    // Valid settings, so init fails only on its arguments.
    fake_.settings.Put("T", "F", kKeyComPort, "3");
    fake_.settings.Put("T", "F", kKeyDeviceType, "DMXUSBpro");
    object_ = NewDriverObject(fake_.plugin);
  }
  ~Session() {
    lv_bool ignored;
    object_->ops->Term(object_, &ignored);
    FUZZ_CHECK(object_->ops->Release(object_) == 0);
    FUZZ_CHECK(helper_.held() == 0);  // every reference taken was dropped
  }

  void Step() {
    if (in_.ConsumeBool()) {
      InvokeStep();
    } else {
      DirectStep();
    }
  }

 private:
  lv_variant Argument() {
    lv_variant arg{};
    switch (in_.ConsumeIntegralInRange(0, 7)) {
      case 0:
        arg.type = LV_EMPTY;
        break;
      case 1:
        arg.type = LV_BOOL;
        arg.value.b = in_.ConsumeIntegral<int16_t>();
        break;
      case 2:
        arg.type = LV_I2;
        arg.value.i2 = in_.ConsumeIntegral<int16_t>();
        break;
      case 3:
        arg.type = LV_I4;
        arg.value.i4 = in_.ConsumeIntegralInRange<int32_t>(-2, 600);
        break;
      case 4:
        arg.type = LV_I4;
        arg.value.i4 = in_.ConsumeIntegral<int32_t>();
        break;
      case 5:
        arg.type = LV_TEXT;
        arg.value.text = in_.ConsumeBool() ? nullptr : Keep(in_.ConsumeRandomLengthString(12));
        break;
      case 6:
        arg.type = LV_OBJECT;
        arg.value.object = in_.ConsumeBool() ? helper_.get() : nullptr;
        break;
      default:
        arg.type = in_.ConsumeIntegral<int32_t>();
        arg.value.i4 = 0;
        break;
    }
    return arg;
  }

  char* Keep(std::string text) {
    texts_.push_back(std::move(text));
    return texts_.back().data();
  }

  void InvokeStep() {
    const std::string name = MethodName(in_);
    const int argc = in_.ConsumeIntegralInRange(0, 4);
    std::vector<lv_variant> args;
    for (int i = 0; i < argc; ++i) args.push_back(Argument());
    const bool wantResult = in_.ConsumeBool();
    lv_variant result{};
    result.type = 0x5A5A;

    const Snapshot before = Take(fake_.state);
    const size_t callsBefore = fake_.log.size();
    const lv_status status = object_->ops->Invoke(object_, name.c_str(), args.data(), argc,
                                                  wantResult ? &result : nullptr);
    Check(status, before, callsBefore);

    const int method = KnownMethod(name);
    if (method < 0) {
      const bool utf8 = g_utf8_validate(name.c_str(), -1, nullptr);
      FUZZ_CHECK(status == static_cast<lv_status>(utf8 ? ErrorNumber::kNoSuchMethod
                                                       : ErrorNumber::kInvalidCall));
    }
    if (method >= 0 && argc != kArgCounts[method]) {
      FUZZ_CHECK(status == static_cast<lv_status>(ErrorNumber::kWrongArgCount));
    }
    if (!wantResult) return;
    if (status != 0) {
      FUZZ_CHECK(result.type == LV_EMPTY || result.type == LV_BOOL);
      if (result.type == LV_BOOL) FUZZ_CHECK(result.value.b == LV_FALSE);
      return;
    }
    if (method == 2) {
      FUZZ_CHECK(result.type == LV_TEXT);
      FUZZ_CHECK(std::string_view(result.value.text) == kPluginName);
      std::free(result.value.text);
    } else {
      FUZZ_CHECK(result.type == LV_BOOL);
      // init and Term always give False; SetChannel tells; the rest True.
      if (method == 5 || method == 6) FUZZ_CHECK(result.value.b == LV_FALSE);
      if (method <= 1 || method == 4) FUZZ_CHECK(result.value.b == LV_TRUE);
      if (method == 3) FUZZ_CHECK(result.value.b == LV_TRUE || result.value.b == LV_FALSE);
    }
  }

  void DirectStep() {
    const Snapshot before = Take(fake_.state);
    const size_t callsBefore = fake_.log.size();
    lv_bool result = 7;
    lv_bool* out = in_.ConsumeIntegralInRange(0, 9) == 0 ? nullptr : &result;
    lv_status status = 0;
    switch (in_.ConsumeIntegralInRange(0, 3)) {
      case 0: {
        const int32_t channel = in_.ConsumeIntegralInRange<int32_t>(-1, 514);
        const int32_t value = in_.ConsumeIntegralInRange<int32_t>(-2, 258);
        const bool nullChannel = in_.ConsumeIntegralInRange(0, 9) == 0;
        const int pushesBefore = fake_.pro.pushes();
        status = object_->ops->SetChannel(object_, nullChannel ? nullptr : &channel, &value, out);
        if (status == 0) {
          const bool inRange = channel >= 1 && channel <= kChannelCount;
          FUZZ_CHECK(result == (inRange ? LV_TRUE : LV_FALSE));
          if (inRange) FUZZ_CHECK(fake_.state.dmxData[channel] == value);
          FUZZ_CHECK(fake_.pro.pushes() == pushesBefore + (fake_.state.deviceType == "DMXUSBpro"));
        }
        break;
      }
      case 1: {
        // Texts that may be NULL, empty, or not UTF-8.
        const std::string title = in_.ConsumeBool() ? "T" : in_.ConsumeRandomLengthString(8);
        const std::string file = in_.ConsumeBool() ? "F" : in_.ConsumeRandomLengthString(8);
        const char* titlePtr = in_.ConsumeIntegralInRange(0, 9) == 0 ? nullptr : title.c_str();
        const char* filePtr = file.c_str();
        lv_helper* helper = in_.ConsumeBool() ? helper_.get() : nullptr;
        const bool nullTitleRef = in_.ConsumeIntegralInRange(0, 9) == 0;
        status =
            object_->ops->init(object_, nullTitleRef ? nullptr : &titlePtr, &filePtr, &helper, out);
        if (status == 0) {
          FUZZ_CHECK(result == LV_FALSE);
          // A C text ends at its first NUL; NULL reads as "".
          FUZZ_CHECK(fake_.state.appTitle == (titlePtr != nullptr ? titlePtr : ""));
          FUZZ_CHECK(fake_.state.pluginFile == filePtr);
          FUZZ_CHECK((fake_.state.pluginHelper != nullptr) == (helper != nullptr));
        }
        break;
      }
      case 2: {
        lv_object* other = nullptr;
        const std::string name = in_.ConsumeRandomLengthString(20);
        status = object_->ops->QueryInterface(object_, name.c_str(), &other);
        const bool utf8 = g_utf8_validate(name.c_str(), -1, nullptr);
        FUZZ_CHECK(status == 0 ||
                   status == static_cast<lv_status>(utf8 ? ErrorNumber::kNoInterface
                                                         : ErrorNumber::kInvalidCall));
        FUZZ_CHECK((status == 0) == (other == object_));
        if (other != nullptr) other->ops->Release(other);
        return;
      }
      default:
        status = object_->ops->Term(object_, out);
        break;
    }
    Check(status, before, callsBefore);
    if (out == nullptr) FUZZ_CHECK(status == static_cast<lv_status>(ErrorNumber::kInvalidCall));
  }

  // What holds after any call.
  void Check(lv_status status, const Snapshot& before, size_t callsBefore) {
    FUZZ_CHECK(Documented(status));
    if (status == 0) return;
    FUZZ_CHECK(*lumivane::LastErrorDescription() != '\0');
    FUZZ_CHECK(g_utf8_validate(lumivane::LastErrorDescription(), -1, nullptr));
    FUZZ_CHECK(Take(fake_.state) == before);
    FUZZ_CHECK(fake_.log.size() == callsBefore);  // reached no fake
  }

  FuzzedDataProvider& in_;
  FakeHelper helper_;  // outlives the plug-in that holds it
  TestPlugin fake_;
  lv_object* object_ = nullptr;
  std::deque<std::string> texts_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Session session(in);
  for (int i = 0; i < 64 && in.remaining_bytes() > 0; ++i) session.Step();
  return 0;
}
