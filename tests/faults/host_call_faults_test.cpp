// SPDX-License-Identifier: MIT
// A host that calls out of order, or passes NULL pointers and invalid
// UTF-8 through the C boundary: every call returns its status, no call
// crashes, a refused call changes nothing and reaches no device, and every
// reference the plug-in took is given back.
#include <glib.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "plugin/abi_object.h"
#include "tests/support/fake_helper.h"
#include "tests/support/test_plugin.h"

namespace lumivane::test {
namespace {

constexpr lv_status kInvalid = static_cast<lv_status>(ErrorNumber::kInvalidCall);

class HostCallFaults : public ::testing::Test {
 protected:
  HostCallFaults() {
    fake.settings.Put("Show", "liblumivane.so", kKeyComPort, "3");
    fake.settings.Put("Show", "liblumivane.so", kKeyDeviceType, "DMXUSBpro");
    object = NewDriverObject(fake.plugin);
  }
  ~HostCallFaults() override {
    object->ops->Release(object);
    EXPECT_EQ(helper.held(), 0u);
  }

  lv_status Init(const char* title = "Show", lv_helper* with = nullptr) {
    const char* file = "liblumivane.so";
    lv_bool result = 1;
    const lv_status status = object->ops->init(object, &title, &file, &with, &result);
    EXPECT_EQ(result, LV_FALSE);
    return status;
  }
  lv_status SetChannel(int32_t channel, int32_t value, lv_bool* result) {
    return object->ops->SetChannel(object, &channel, &value, result);
  }
  lv_bool Call(lv_status (*const* op)(lv_object*, lv_bool*)) {
    lv_bool result = 1;
    EXPECT_EQ((*op)(object, &result), 0);
    return result;
  }

  FakeHelper helper;  // outlives the plug-in that holds it
  TestPlugin fake;
  lv_object* object = nullptr;
};

TEST_F(HostCallFaults, CallsBeforeInitWorkOnTheStateThereIs) {
  lv_bool result = 0;
  EXPECT_EQ(SetChannel(5, 200, &result), 0);
  EXPECT_EQ(result, LV_TRUE);
  EXPECT_EQ(fake.state.dmxData[5], 200);
  EXPECT_EQ(Call(&object->ops->Term), LV_FALSE);
  EXPECT_EQ(Call(&object->ops->Configure), LV_TRUE);
  EXPECT_EQ(Call(&object->ops->Disable), LV_TRUE);
  EXPECT_EQ(fake.pro.pushes(), 0);  // no interface selected yet
  EXPECT_EQ(fake.pro.Count("OpenProPort"), 0);
  EXPECT_EQ(fake.dialog.Count("ShowDialog"), 1);
}

TEST_F(HostCallFaults, InitTwiceOpensTwiceAndTermTwiceIsHarmless) {
  ASSERT_EQ(Init("Show", helper.get()), 0);
  ASSERT_EQ(Init("Show", helper.get()), 0);
  EXPECT_EQ(fake.pro.Count("OpenProPort"), 2);
  EXPECT_EQ(helper.held(), 1u);  // the second init replaced the first reference
  lv_bool result = 0;
  EXPECT_EQ(SetChannel(1, 9, &result), 0);
  EXPECT_EQ(fake.pro.pushes(), 1);
  EXPECT_EQ(Call(&object->ops->Term), LV_FALSE);
  EXPECT_EQ(helper.held(), 0u);
  EXPECT_EQ(Call(&object->ops->Term), LV_FALSE);
  EXPECT_EQ(helper.held(), 0u);
  // Still usable after Term, as the host may init again.
  EXPECT_EQ(SetChannel(1, 10, &result), 0);
  EXPECT_EQ(fake.state.dmxData[1], 10);
  EXPECT_EQ(Init(), 0);
  EXPECT_EQ(fake.pro.Count("OpenProPort"), 3);
}

// One bad call, given the object and a helper to pass.
struct BadCall {
  const char* what;
  std::function<lv_status(lv_object*, lv_helper*)> call;
};

const char* const kTitle = "Show";
const char* const kFile = "liblumivane.so";
const char* const kNullText = nullptr;
const char* const kBadUtf8 = "Show \xff\xfe";
const char* const kOverlong = "\xc0\xaf";  // "/" written the long way
const char* const kCut = "caf\xc3";        // a sequence cut short
const int32_t kOne = 1;
const lv_helper_ops kNoCounting{nullptr, nullptr};

lv_status InitWith(lv_object* o, const char* const* title, const char* const* file,
                   lv_helper* const* helper) {
  lv_bool result = 1;
  const lv_status status = o->ops->init(o, title, file, helper, &result);
  EXPECT_EQ(result, LV_FALSE);
  return status;
}

lv_status InvokeInit(lv_object* o, const char* title, lv_helper* helper) {
  lv_variant args[3] = {};
  args[0].type = LV_TEXT;
  args[0].value.text = const_cast<char*>(title);
  args[1].type = LV_TEXT;
  args[1].value.text = const_cast<char*>(kFile);
  args[2].type = LV_OBJECT;
  args[2].value.object = helper;
  lv_variant result{};
  return o->ops->Invoke(o, "init", args, 3, &result);
}

const std::vector<BadCall>& BadCalls() {
  static lv_helper uncounted{&kNoCounting};
  static const std::vector<BadCall> calls = {
      {"Disable(NULL self)",
       [](lv_object* o, lv_helper*) {
         lv_bool r;
         return o->ops->Disable(nullptr, &r);
       }},
      {"Enable(NULL self)",
       [](lv_object* o, lv_helper*) {
         lv_bool r;
         return o->ops->Enable(nullptr, &r);
       }},
      {"Configure(NULL self)",
       [](lv_object* o, lv_helper*) {
         lv_bool r;
         return o->ops->Configure(nullptr, &r);
       }},
      {"Term(NULL self)",
       [](lv_object* o, lv_helper*) {
         lv_bool r;
         return o->ops->Term(nullptr, &r);
       }},
      {"PluginName(NULL self)",
       [](lv_object* o, lv_helper*) {
         char* r;
         return o->ops->PluginName(nullptr, &r);
       }},
      {"SetChannel(NULL self)",
       [](lv_object* o, lv_helper*) {
         lv_bool r;
         return o->ops->SetChannel(nullptr, &kOne, &kOne, &r);
       }},
      {"init(NULL self)",
       [](lv_object* o, lv_helper* h) {
         lv_bool r;
         return o->ops->init(nullptr, &kTitle, &kFile, &h, &r);
       }},
      {"Invoke(NULL self)",
       [](lv_object* o, lv_helper*) {
         return o->ops->Invoke(nullptr, "Enable", nullptr, 0, nullptr);
       }},
      {"QueryInterface(NULL self)",
       [](lv_object* o, lv_helper*) {
         lv_object* r;
         return o->ops->QueryInterface(nullptr, "IUnknown", &r);
       }},
      {"Disable(NULL result)",
       [](lv_object* o, lv_helper*) { return o->ops->Disable(o, nullptr); }},
      {"Enable(NULL result)", [](lv_object* o, lv_helper*) { return o->ops->Enable(o, nullptr); }},
      {"Configure(NULL result)",
       [](lv_object* o, lv_helper*) { return o->ops->Configure(o, nullptr); }},
      {"Term(NULL result)", [](lv_object* o, lv_helper*) { return o->ops->Term(o, nullptr); }},
      {"PluginName(NULL result)",
       [](lv_object* o, lv_helper*) { return o->ops->PluginName(o, nullptr); }},
      {"SetChannel(NULL result)",
       [](lv_object* o, lv_helper*) { return o->ops->SetChannel(o, &kOne, &kOne, nullptr); }},
      {"init(NULL result)",
       [](lv_object* o, lv_helper* h) { return o->ops->init(o, &kTitle, &kFile, &h, nullptr); }},
      {"QueryInterface(NULL name)",
       [](lv_object* o, lv_helper*) {
         lv_object* r;
         return o->ops->QueryInterface(o, nullptr, &r);
       }},
      {"QueryInterface(NULL out)",
       [](lv_object* o, lv_helper*) { return o->ops->QueryInterface(o, "IUnknown", nullptr); }},
      {"QueryInterface(invalid UTF-8 name)",
       [](lv_object* o, lv_helper*) {
         lv_object* r;
         return o->ops->QueryInterface(o, "IUnknown\xff", &r);
       }},
      {"SetChannel(NULL Channel)",
       [](lv_object* o, lv_helper*) {
         lv_bool r;
         return o->ops->SetChannel(o, nullptr, &kOne, &r);
       }},
      {"SetChannel(NULL Value)",
       [](lv_object* o, lv_helper*) {
         lv_bool r;
         return o->ops->SetChannel(o, &kOne, nullptr, &r);
       }},
      {"init(NULL CallingAppTitle)",
       [](lv_object* o, lv_helper* h) { return InitWith(o, nullptr, &kFile, &h); }},
      {"init(NULL MyFilename)",
       [](lv_object* o, lv_helper* h) { return InitWith(o, &kTitle, nullptr, &h); }},
      {"init(NULL StagixPluginHelper)",
       [](lv_object* o, lv_helper*) { return InitWith(o, &kTitle, &kFile, nullptr); }},
      {"init(invalid UTF-8 title)",
       [](lv_object* o, lv_helper* h) { return InitWith(o, &kBadUtf8, &kFile, &h); }},
      {"init(overlong UTF-8 file)",
       [](lv_object* o, lv_helper* h) { return InitWith(o, &kTitle, &kOverlong, &h); }},
      {"init(cut UTF-8 file)",
       [](lv_object* o, lv_helper* h) { return InitWith(o, &kTitle, &kCut, &h); }},
      {"init(helper without counting)",
       [](lv_object* o, lv_helper*) {
         lv_helper* u = &uncounted;
         return InitWith(o, &kTitle, &kFile, &u);
       }},
      {"Invoke(NULL method)",
       [](lv_object* o, lv_helper*) { return o->ops->Invoke(o, nullptr, nullptr, 0, nullptr); }},
      {"Invoke(invalid UTF-8 method)",
       [](lv_object* o, lv_helper*) {
         return o->ops->Invoke(o, "Plugin\xff", nullptr, 0, nullptr);
       }},
      {"Invoke(NULL arguments)",
       [](lv_object* o, lv_helper*) {
         return o->ops->Invoke(o, "SetChannel", nullptr, 2, nullptr);
       }},
      {"Invoke(negative count)",
       [](lv_object* o, lv_helper*) {
         lv_variant a{};
         return o->ops->Invoke(o, "Enable", &a, -1, nullptr);
       }},
      {"Invoke init(invalid UTF-8 title)",
       [](lv_object* o, lv_helper* h) { return InvokeInit(o, kBadUtf8, h); }},
      {"Invoke init(helper without counting)",
       [](lv_object* o, lv_helper*) { return InvokeInit(o, kTitle, &uncounted); }},
  };
  return calls;
}

struct Snapshot {
  std::string levels, deviceType, appTitle, pluginFile;
  int16_t comPort;
  bool helper, outputEnabled;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const DriverState& s) {
  return {std::string(s.dmxData.levels().begin(), s.dmxData.levels().end()),
          s.deviceType,
          s.appTitle,
          s.pluginFile,
          s.comPort,
          s.pluginHelper != nullptr,
          s.outputEnabled};
}

TEST_F(HostCallFaults, NullPointersAndInvalidTextsAreRefusedAndChangeNothing) {
  ASSERT_EQ(Init("Show", helper.get()), 0);  // a state worth keeping
  lv_bool stored = 0;
  ASSERT_EQ(SetChannel(7, 70, &stored), 0);
  for (const BadCall& bad : BadCalls()) {
    SCOPED_TRACE(bad.what);
    const Snapshot before = Take(fake.state);
    const CallLog calls = fake.log;
    const uint32_t refs = helper.refs;
    EXPECT_EQ(bad.call(object, helper.get()), kInvalid);
    EXPECT_STRNE(LastErrorDescription(), "");
    EXPECT_TRUE(g_utf8_validate(LastErrorDescription(), -1, nullptr)) << LastErrorDescription();
    EXPECT_EQ(Take(fake.state), before);
    EXPECT_EQ(fake.log, calls);  // no fake was reached
    EXPECT_EQ(helper.refs, refs);
  }
  EXPECT_EQ(object->ops->AddRef(nullptr), 0u);
  EXPECT_EQ(object->ops->Release(nullptr), 0u);
  EXPECT_EQ(Call(&object->ops->Term), LV_FALSE);
}

TEST_F(HostCallFaults, ResultsOfRefusedCallsAreFalseOrEmpty) {
  lv_bool result = LV_TRUE;
  EXPECT_EQ(object->ops->SetChannel(object, nullptr, &kOne, &result), kInvalid);
  EXPECT_EQ(result, LV_FALSE);
  char* name = reinterpret_cast<char*>(&result);
  EXPECT_EQ(object->ops->PluginName(nullptr, &name), kInvalid);
  EXPECT_EQ(name, nullptr);
  lv_object* other = object;
  EXPECT_EQ(object->ops->QueryInterface(object, nullptr, &other), kInvalid);
  EXPECT_EQ(other, nullptr);
  lv_variant variant{};
  variant.type = LV_I4;
  EXPECT_EQ(object->ops->Invoke(object, nullptr, nullptr, 0, &variant), kInvalid);
  EXPECT_EQ(variant.type, LV_EMPTY);
}

}  // namespace
}  // namespace lumivane::test
