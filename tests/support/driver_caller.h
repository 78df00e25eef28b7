// SPDX-License-Identifier: MIT
// One clsOutputDriver over a Plugin, called three ways: through the C++ API,
// through the C operations table (as a host sees it) and by name through
// Invoke. Tests run the same table of cases through each, so the three
// must agree.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/output_driver.h"
#include "plugin/abi_object.h"
#include "plugin/call_by_name.h"

namespace lumivane::test {

enum class CallerKind { kCppApi, kOpsTable, kByName };

inline const char* KindName(CallerKind kind) {
  switch (kind) {
    case CallerKind::kCppApi:
      return "CppApi";
    case CallerKind::kOpsTable:
      return "OpsTable";
    case CallerKind::kByName:
      return "ByName";
  }
  return "?";
}

// Names parameterised tests by the caller.
inline std::string CallerName(const ::testing::TestParamInfo<CallerKind>& param) {
  return KindName(param.param);
}

inline constexpr CallerKind kAllCallers[] = {CallerKind::kCppApi, CallerKind::kOpsTable,
                                             CallerKind::kByName};

struct Outcome {
  int32_t status = 0;
  bool result = false;
  std::string description;
};

class DriverCaller {
 public:
  virtual ~DriverCaller() = default;
  virtual Outcome Disable() = 0;
  virtual Outcome Enable() = 0;
  virtual Outcome Configure() = 0;
  virtual Outcome Term() = 0;
  virtual Outcome SetChannel(int32_t channel, int32_t value) = 0;
  virtual Outcome Init(const std::string& title, const std::string& file, lv_helper* helper) = 0;
  virtual Outcome PluginName(std::string& name) = 0;
};

namespace detail {

class CppApiCaller final : public DriverCaller {
 public:
  explicit CppApiCaller(Plugin& plugin) : driver_(plugin) {}
  Outcome Disable() override {
    return Run([&] { return driver_.Disable(); });
  }
  Outcome Enable() override {
    return Run([&] { return driver_.Enable(); });
  }
  Outcome Configure() override {
    return Run([&] { return driver_.Configure(); });
  }
  Outcome Term() override {
    return Run([&] { return driver_.Term(); });
  }
  Outcome SetChannel(int32_t channel, int32_t value) override {
    return Run([&] { return driver_.SetChannel(channel, value); });
  }
  Outcome Init(const std::string& title, const std::string& file, lv_helper* helper) override {
    return Run([&] { return driver_.init(title, file, HelperReference(helper)); });
  }
  Outcome PluginName(std::string& name) override {
    name = driver_.PluginName();
    return {};
  }

 private:
  template <typename Call>
  static Outcome Run(Call&& call) {
    try {
      return Outcome{0, call(), ""};
    } catch (const FailureWithResult& failure) {
      return Outcome{failure.number(), failure.result(), std::string(failure.description())};
    } catch (const Failure& failure) {
      return Outcome{failure.number(), false, std::string(failure.description())};
    }
  }
  clsOutputDriver driver_;
};

// A boolean result must be written whatever the status, and be -1 or 0.
inline bool ReadBool(lv_bool value) {
  EXPECT_TRUE(value == LV_TRUE || value == LV_FALSE) << "result not written: " << value;
  return value == LV_TRUE;
}

inline Outcome WithDescription(lv_status status, bool result) {
  return Outcome{status, result, status != 0 ? LastErrorDescription() : ""};
}

class OpsTableCaller final : public DriverCaller {
 public:
  explicit OpsTableCaller(Plugin& plugin) : object_(NewDriverObject(plugin)) {}
  ~OpsTableCaller() override { object_->ops->Release(object_); }
  OpsTableCaller(const OpsTableCaller&) = delete;
  OpsTableCaller& operator=(const OpsTableCaller&) = delete;

  Outcome Disable() override { return Bool(object_->ops->Disable); }
  Outcome Enable() override { return Bool(object_->ops->Enable); }
  Outcome Configure() override { return Bool(object_->ops->Configure); }
  Outcome Term() override { return Bool(object_->ops->Term); }
  Outcome SetChannel(int32_t channel, int32_t value) override {
    lv_bool result = kUnwritten;
    const lv_status status = object_->ops->SetChannel(object_, &channel, &value, &result);
    return WithDescription(status, ReadBool(result));
  }
  Outcome Init(const std::string& title, const std::string& file, lv_helper* helper) override {
    const char* t = title.c_str();
    const char* f = file.c_str();
    lv_bool result = kUnwritten;
    const lv_status status = object_->ops->init(object_, &t, &f, &helper, &result);
    return WithDescription(status, ReadBool(result));
  }
  Outcome PluginName(std::string& name) override {
    char* text = nullptr;
    const lv_status status = object_->ops->PluginName(object_, &text);
    name = text != nullptr ? text : "";
    std::free(text);
    return WithDescription(status, false);
  }

 private:
  static constexpr lv_bool kUnwritten = 7;
  Outcome Bool(lv_status (*op)(lv_object*, lv_bool*)) {
    lv_bool result = kUnwritten;
    const lv_status status = op(object_, &result);
    return WithDescription(status, ReadBool(result));
  }
  lv_object* object_;
};

inline lv_variant I4(int32_t value) {
  lv_variant v{};
  v.type = LV_I4;
  v.value.i4 = value;
  return v;
}

inline lv_variant Text(const char* text) {
  lv_variant v{};
  v.type = LV_TEXT;
  v.value.text = const_cast<char*>(text);
  return v;
}

inline lv_variant Object(lv_helper* helper) {
  lv_variant v{};
  v.type = LV_OBJECT;
  v.value.object = helper;
  return v;
}

class ByNameCaller final : public DriverCaller {
 public:
  explicit ByNameCaller(Plugin& plugin) : object_(NewDriverObject(plugin)) {}
  ~ByNameCaller() override { object_->ops->Release(object_); }
  ByNameCaller(const ByNameCaller&) = delete;
  ByNameCaller& operator=(const ByNameCaller&) = delete;

  Outcome Disable() override { return Call("Disable", {}); }
  Outcome Enable() override { return Call("Enable", {}); }
  Outcome Configure() override { return Call("Configure", {}); }
  Outcome Term() override { return Call("Term", {}); }
  Outcome SetChannel(int32_t channel, int32_t value) override {
    return Call("SetChannel", {I4(channel), I4(value)});
  }
  Outcome Init(const std::string& title, const std::string& file, lv_helper* helper) override {
    return Call("init", {Text(title.c_str()), Text(file.c_str()), Object(helper)});
  }
  Outcome PluginName(std::string& name) override {
    lv_variant result{};
    const lv_status status = object_->ops->Invoke(object_, "PluginName", nullptr, 0, &result);
    EXPECT_EQ(result.type, LV_TEXT);
    name = result.type == LV_TEXT && result.value.text != nullptr ? result.value.text : "";
    if (result.type == LV_TEXT) std::free(result.value.text);
    return WithDescription(status, false);
  }

 private:
  Outcome Call(const char* method, std::vector<lv_variant> args) {
    lv_variant result{};
    const lv_status status = object_->ops->Invoke(object_, method, args.data(),
                                                  static_cast<int32_t>(args.size()), &result);
    EXPECT_EQ(result.type, LV_BOOL) << method << ": result not written";
    return WithDescription(status, ReadBool(result.value.b));
  }
  lv_object* object_;
};

}  // namespace detail

inline std::unique_ptr<DriverCaller> MakeDriverCaller(CallerKind kind, Plugin& plugin) {
  switch (kind) {
    case CallerKind::kCppApi:
      return std::make_unique<detail::CppApiCaller>(plugin);
    case CallerKind::kOpsTable:
      return std::make_unique<detail::OpsTableCaller>(plugin);
    case CallerKind::kByName:
      return std::make_unique<detail::ByNameCaller>(plugin);
  }
  return nullptr;
}

}  // namespace lumivane::test
