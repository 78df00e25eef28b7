// SPDX-License-Identifier: MIT
// The C operations table and call by name, over a Plugin of fakes.
#include <glib.h>
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "tests/support/case_names.h"
#include "tests/support/driver_caller.h"
#include "tests/support/fake_helper.h"
#include "tests/support/test_plugin.h"

namespace lumivane::test {
namespace {

using lumivane::test::PrintTo;

using detail::I4;
using detail::Object;
using detail::Text;

lv_variant Of(int32_t type) {
  lv_variant v{};
  v.type = type;
  return v;
}

lv_variant Bool(lv_bool b) {
  lv_variant v = Of(LV_BOOL);
  v.value.b = b;
  return v;
}

lv_variant I2(int16_t i) {
  lv_variant v = Of(LV_I2);
  v.value.i2 = i;
  return v;
}

class Abi : public ::testing::Test {
 protected:
  void SetUp() override { t.state.deviceType = kDeviceProWidget; }
  void TearDown() override { object->ops->Release(object); }

  lv_status Invoke(const char* method, std::vector<lv_variant> args, lv_variant* result) {
    return object->ops->Invoke(object, method, args.data(), static_cast<int32_t>(args.size()),
                               result);
  }

  FakeHelper helper;
  TestPlugin t;
  lv_object* object = NewDriverObject(t.plugin);
};

TEST_F(Abi, MethodNamesInAnyCase) {
  for (const char* name : {"SetChannel", "setchannel", "SETCHANNEL", "sEtChAnNeL"}) {
    lv_variant result{};
    EXPECT_EQ(Invoke(name, {I4(5), I4(200)}, &result), 0) << name;
    EXPECT_EQ(result.type, LV_BOOL);
    EXPECT_EQ(result.value.b, LV_TRUE) << name;
  }
  EXPECT_EQ(t.pro.pushes(), 4);
  lv_variant result{};
  EXPECT_EQ(Invoke("INIT", {Text("T"), Text("F"), Object(nullptr)}, &result), 0);
  EXPECT_EQ(Invoke("term", {}, nullptr), 0) << "the result may be NULL";
}

struct BadCall {
  const char* name;
  const char* method;
  std::vector<lv_variant> args;
  int32_t status;
};

// None of these may store or push anything.
const BadCall kBadCalls[] = {
    {"UnknownMethod", "SetChannels", {I4(5), I4(200)}, 438},
    {"BlankInName", "Set Channel", {I4(5), I4(200)}, 438},
    {"EmptyName", "", {}, 438},
    {"InvalidUtf8Name", "Plugin\xff", {}, 5},
    {"TooFewArguments", "SetChannel", {I4(5)}, 450},
    {"TooManyArguments", "SetChannel", {I4(5), I4(200), I4(1)}, 450},
    {"ArgumentsToEnable", "Enable", {I4(1)}, 450},
    {"TextNotANumber", "SetChannel", {Text("abc"), I4(200)}, 13},
    {"NullText", "SetChannel", {I4(5), Text(nullptr)}, 5},
    {"InvalidUtf8", "SetChannel", {I4(5), Text("2\xff")}, 5},
    {"NumberTooLargeForLong", "SetChannel", {Text("1e10"), I4(1)}, 6},
    {"ObjectForANumber", "SetChannel", {Object(nullptr), I4(1)}, 13},
    {"UnknownType", "SetChannel", {Of(77), I4(1)}, 13},
    {"ValueRoundsOutOfRange", "SetChannel", {I4(5), Text("255.5")}, 6},
};

class AbiBadCall : public Abi, public ::testing::WithParamInterface<BadCall> {};

TEST_P(AbiBadCall, FailsAndChangesNothing) {
  const BadCall& c = GetParam();
  lv_variant result{};
  const lv_status status = Invoke(c.method, c.args, &result);
  EXPECT_EQ(status, c.status);
  EXPECT_STRNE(LastErrorDescription(), "");
  EXPECT_NE(result.value.b, LV_TRUE);
  EXPECT_EQ(t.state.dmxData[5], 0);
  EXPECT_EQ(t.pro.pushes(), 0);
  EXPECT_FALSE(t.state.outputEnabled);
}

INSTANTIATE_TEST_SUITE_P(ByName, AbiBadCall, ::testing::ValuesIn(kBadCalls),
                         [](const ::testing::TestParamInfo<BadCall>& param) {
                           return std::string(param.param.name);
                         });

struct Conversion {
  const char* name;
  lv_variant channel;
  lv_variant value;
  bool result;
  int32_t storedAt;  // channel that holds 200 afterwards, 0 for none
};

// Arguments convert as automation converts them: texts read as numbers,
// rounded half to even; booleans are -1 and 0; Empty is 0.
const Conversion kConversions[] = {
    {"Texts", Text(" 5 "), Text("200"), true, 5},
    {"TextHalfToEven", Text("6.5"), Text("200"), true, 6},
    {"TextHalfUp", Text("7.5"), Text("200"), true, 8},
    {"Short", I2(9), I2(200), true, 9},
    {"TrueIsMinusOne", Bool(LV_TRUE), I4(200), false, 0},
    {"EmptyIsZero", Of(LV_EMPTY), I4(200), false, 0},
};

class AbiConversion : public Abi, public ::testing::WithParamInterface<Conversion> {};

TEST_P(AbiConversion, SetChannelByName) {
  const Conversion& c = GetParam();
  lv_variant result{};
  ASSERT_EQ(Invoke("SetChannel", {c.channel, c.value}, &result), 0) << LastErrorDescription();
  EXPECT_EQ(result.value.b, c.result ? LV_TRUE : LV_FALSE);
  for (int n = 1; n <= kChannelCount; ++n) {
    ASSERT_EQ(t.state.dmxData[n], n == c.storedAt ? 200 : 0) << n;
  }
  EXPECT_EQ(t.pro.pushes(), 1);
}

INSTANTIATE_TEST_SUITE_P(ByName, AbiConversion, ::testing::ValuesIn(kConversions),
                         [](const ::testing::TestParamInfo<Conversion>& param) {
                           return std::string(param.param.name);
                         });

TEST_F(Abi, InitWithBadTextsStoresNothingAndTakesNoReference) {
  const char* good = "Host";
  const char* bad = "Ho\xc3st";
  const char* null = nullptr;
  lv_helper* h = helper.get();
  struct TextCase {
    const char* const* title;
    const char* const* file;
  };
  for (const TextCase& c : {TextCase{&bad, &good}, TextCase{&good, &bad}, TextCase{&null, &good},
                            TextCase{&good, &null}, TextCase{nullptr, &good}}) {
    lv_bool result = 7;
    EXPECT_EQ(object->ops->init(object, c.title, c.file, &h, &result), 5);
    EXPECT_EQ(result, LV_FALSE);
  }
  for (const auto& args : {std::vector{Text(bad), Text(good), Object(h)},
                           std::vector{Text(good), Text(nullptr), Object(h)},
                           std::vector{Text(good), Text(good), I4(1)}}) {
    EXPECT_NE(Invoke("init", args, nullptr), 0);
  }
  EXPECT_EQ(helper.held(), 0u);
  EXPECT_EQ(t.state.appTitle, "");
  EXPECT_TRUE(t.log.empty());
}

TEST_F(Abi, NullPointersFailWith5AndDoNothing) {
  const int32_t channel = 5;
  const int32_t value = 200;
  lv_bool result = 7;
  EXPECT_EQ(object->ops->SetChannel(object, nullptr, &value, &result), 5);
  EXPECT_EQ(result, LV_FALSE);
  EXPECT_EQ(object->ops->SetChannel(object, &channel, nullptr, &result), 5);
  EXPECT_EQ(object->ops->SetChannel(object, &channel, &value, nullptr), 5);
  EXPECT_EQ(object->ops->Enable(object, nullptr), 5);
  EXPECT_EQ(object->ops->Enable(nullptr, &result), 5);
  EXPECT_EQ(object->ops->PluginName(object, nullptr), 5);
  EXPECT_EQ(object->ops->Invoke(object, nullptr, nullptr, 0, nullptr), 5);
  EXPECT_EQ(object->ops->Invoke(object, "Enable", nullptr, 1, nullptr), 5);
  EXPECT_EQ(t.pro.pushes(), 0);
  EXPECT_FALSE(t.state.outputEnabled);
}

TEST_F(Abi, ErrorDescriptionFollowsTheLastCall) {
  const int32_t channel = 1;
  const int32_t value = 256;
  lv_bool result = 0;
  EXPECT_EQ(object->ops->SetChannel(object, &channel, &value, &result), 6);
  EXPECT_STREQ(LastErrorDescription(), "Overflow");
  EXPECT_EQ(object->ops->Enable(object, &result), 0);
  EXPECT_STREQ(LastErrorDescription(), "");
}

TEST(LastErrorDescription, LongTextIsCutBetweenCharacters) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "\xc3\xa9";
  SetLastErrorDescription(text);
  const std::string kept = LastErrorDescription();
  EXPECT_GT(kept.size(), 500u);
  EXPECT_TRUE(text.starts_with(kept));
  EXPECT_TRUE(g_utf8_validate(kept.data(), static_cast<gssize>(kept.size()), nullptr));
  SetLastErrorDescription("");
}

// What the host reads back is UTF-8 whatever went into it.
TEST(LastErrorDescription, InvalidBytesAreReplaced) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"cls\xffOutputDriver", "cls\uFFFDOutputDriver"},
      {"cut \xc3", "cut \uFFFD"},
      {"overlong \xc0\xaf/", "overlong \uFFFD\uFFFD/"},
      {std::string_view("nul\0byte", 8), "nul\uFFFDbyte"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
  };
  for (const auto& c : cases) {
    SetLastErrorDescription(c.in);
    EXPECT_EQ(std::string_view(LastErrorDescription()), c.out) << c.in;
  }
  SetLastErrorDescription(std::string(3000, '\xff'));
  const std::string_view kept = LastErrorDescription();
  EXPECT_GT(kept.size(), 1000u);
  EXPECT_TRUE(g_utf8_validate(kept.data(), static_cast<gssize>(kept.size()), nullptr));
  SetLastErrorDescription("");
}

TEST_F(Abi, ReferenceCountingAndInterfaces) {
  EXPECT_EQ(object->ops->AddRef(object), 2u);
  for (const char* name : {"_clsOutputDriver", "IDispatch", "iunknown", "_CLSOUTPUTDRIVER"}) {
    lv_object* same = nullptr;
    EXPECT_EQ(object->ops->QueryInterface(object, name, &same), 0) << name;
    EXPECT_EQ(same, object);
    EXPECT_EQ(object->ops->Release(object), 2u);
  }
  lv_object* none = object;
  EXPECT_EQ(object->ops->QueryInterface(object, "IClassFactory", &none), 430);
  EXPECT_STREQ(LastErrorDescription(),
               "Class does not support Automation or does not support expected interface: "
               "IClassFactory");
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(object->ops->QueryInterface(object, "IUnknown\xff", &none), 5);
  EXPECT_EQ(object->ops->Release(object), 1u);
}

TEST(TypeDescription, ListsTheInterfaceInSlotOrder) {
  std::istringstream lines(TypeDescription());
  std::vector<std::string> methods;
  std::string line;
  std::string abi;
  while (std::getline(lines, line)) {
    if (line.starts_with("abi\t")) abi = line.substr(4);
    if (line.starts_with("method\t")) methods.push_back(line);
  }
  EXPECT_EQ(abi, std::to_string(LUMIVANE_ABI_VERSION));
  const char* expected[] = {
      "method\t4\tDisable\t\tbool",
      "method\t5\tEnable\t\tbool",
      "method\t6\tPluginName\t\ttext",
      "method\t7\tSetChannel\tChannel:i4:byref,Value:i4:byref\tbool",
      "method\t8\tConfigure\t\tbool",
      "method\t9\tinit\tCallingAppTitle:text:byref,MyFilename:text:byref,"
      "StagixPluginHelper:object:byref\tbool",
      "method\t10\tTerm\t\tbool",
  };
  ASSERT_EQ(methods.size(), std::size(expected));
  for (size_t i = 0; i < methods.size(); ++i) EXPECT_EQ(methods[i], expected[i]);
}

}  // namespace
}  // namespace lumivane::test
