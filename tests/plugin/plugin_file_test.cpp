// SPDX-License-Identifier: MIT
// The built plug-in file, loaded with dlopen and used through the public C
// headers only, as a host does.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "lumivane/lumivane.h"
#include "lumivane/lumivane_tools.h"
#include "tests/support/fake_helper.h"
#include "tests/support/temp_folder.h"

namespace lumivane::test {
namespace {

namespace fs = std::filesystem;

template <typename Function>
Function* Symbol(void* library, const char* name) {
  void* address = ::dlsym(library, name);
  EXPECT_NE(address, nullptr) << name;
  return reinterpret_cast<Function*>(address);
}

// The library is loaded once per test, after XDG_CONFIG_HOME points at a
// fresh folder, and unloaded at its end.
class PluginFile : public ::testing::Test {
 protected:
  void SetUp() override {
    library = ::dlopen(LUMIVANE_PLUGIN_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    version = Symbol<decltype(lumivane_abi_version)>(library, "lumivane_abi_version");
    create = Symbol<decltype(lumivane_create)>(library, "lumivane_create");
    describe = Symbol<decltype(lumivane_error_description)>(library, "lumivane_error_description");
    types = Symbol<decltype(lumivane_type_description)>(library, "lumivane_type_description");
    freeText = Symbol<decltype(lumivane_free_text)>(library, "lumivane_free_text");
    pump = Symbol<decltype(lumivane_pump_events)>(library, "lumivane_pump_events");
    path = Symbol<decltype(lumivane_tool_settings_path)>(library, "lumivane_tool_settings_path");
    read = Symbol<decltype(lumivane_tool_settings_read)>(library, "lumivane_tool_settings_read");
    write = Symbol<decltype(lumivane_tool_settings_write)>(library, "lumivane_tool_settings_write");
  }
  void TearDown() override {
    if (library != nullptr) {
      EXPECT_EQ(::dlclose(library), 0);
    }
  }

  std::string Take(char* text) {
    std::string copy = text != nullptr ? text : "";
    freeText(text);
    return copy;
  }
  std::string Read(const char* key) {
    char* value = nullptr;
    EXPECT_EQ(read("Host", "lib.so", key, &value), 0) << describe();
    return Take(value);
  }
  fs::path SettingsFile() {
    char* text = nullptr;
    EXPECT_EQ(path("Host", &text), 0);
    return Take(text);
  }
  lv_status Init(lv_object* object) {
    const char* title = "Host";
    const char* file = "lib.so";
    lv_helper* helper = nullptr;
    lv_bool result = 7;
    const lv_status status = object->ops->init(object, &title, &file, &helper, &result);
    EXPECT_EQ(result, LV_FALSE);
    return status;
  }

  TempConfigHome home;
  void* library = nullptr;
  decltype(&lumivane_abi_version) version = nullptr;
  decltype(&lumivane_create) create = nullptr;
  decltype(&lumivane_error_description) describe = nullptr;
  decltype(&lumivane_type_description) types = nullptr;
  decltype(&lumivane_free_text) freeText = nullptr;
  decltype(&lumivane_pump_events) pump = nullptr;
  decltype(&lumivane_tool_settings_path) path = nullptr;
  decltype(&lumivane_tool_settings_read) read = nullptr;
  decltype(&lumivane_tool_settings_write) write = nullptr;
};

TEST_F(PluginFile, CreatesOnlyItsClass) {
  EXPECT_EQ(version(), LUMIVANE_ABI_VERSION);
  lv_object* object = reinterpret_cast<lv_object*>(this);
  EXPECT_EQ(create("clsOutputDriverX", &object), 429);
  EXPECT_EQ(object, nullptr);
  EXPECT_NE(std::string(describe()).find("clsOutputDriverX"), std::string::npos) << describe();
  EXPECT_EQ(create(nullptr, &object), 5);
  EXPECT_EQ(create("cls\xffOutputDriver", &object), 5);
  EXPECT_EQ(std::string(describe()).find('\xff'), std::string::npos) << describe();
  EXPECT_EQ(create("clsOutputDriver", nullptr), 5);

  ASSERT_EQ(create("clsOutputDriver", &object), 0);
  char* name = nullptr;
  EXPECT_EQ(object->ops->PluginName(object, &name), 0);
  EXPECT_EQ(Take(name), "Lumivane DMX Pro Driver");
  EXPECT_NE(std::string(types()).find("class\tclsOutputDriver"), std::string::npos);
  EXPECT_EQ(object->ops->Release(object), 0u);
}

TEST_F(PluginFile, StoredComPortDecidesInit) {
  lv_object* object = nullptr;
  ASSERT_EQ(create("clsOutputDriver", &object), 0);
  EXPECT_EQ(Init(object), 0) << "no settings at all";

  ASSERT_EQ(write("Host", "lib.so", "comPort", "COM3"), 0);
  EXPECT_EQ(Init(object), 13);
  EXPECT_STREQ(describe(), "Type mismatch");
  ASSERT_EQ(write("Host", "lib.so", "comPort", "32768"), 0);
  EXPECT_EQ(Init(object), 6);
  ASSERT_EQ(write("Host", "lib.so", "comPort", " 7 "), 0);
  EXPECT_EQ(Init(object), 0);
  EXPECT_EQ(Read("comPort"), " 7 ");

  const int32_t channel = 5;
  const int32_t value = 200;
  lv_bool result = LV_FALSE;
  EXPECT_EQ(object->ops->SetChannel(object, &channel, &value, &result), 0);
  EXPECT_EQ(result, LV_TRUE);
  EXPECT_EQ(object->ops->Term(object, &result), 0);
  EXPECT_EQ(object->ops->Release(object), 0u);
}

TEST_F(PluginFile, SettingsLiveUnderXdgConfigHome) {
  ASSERT_EQ(write("Host", "lib.so", "DeviceType", "OpenDMXUSB"), 0);
  EXPECT_EQ(SettingsFile(), home.path() / "lumivane" / "settings" / "Host.conf");
  EXPECT_TRUE(fs::exists(SettingsFile()));
  EXPECT_EQ(Read("DeviceType"), "OpenDMXUSB");
  EXPECT_EQ(Read("comPort"), "");
}

TEST_F(PluginFile, BadTextsFailWith5AndStoreNothing) {
  EXPECT_EQ(write("Host", "lib.so", "comPort", "7\xff"), 5);
  EXPECT_EQ(write("Ho\xc3", "lib.so", "comPort", "7"), 5);
  EXPECT_EQ(write("Host", nullptr, "comPort", "7"), 5);
  EXPECT_EQ(write("Host", "lib.so", nullptr, "7"), 5);
  EXPECT_EQ(write("Host", "lib.so", "comPort", nullptr), 5);
  char* value = nullptr;
  EXPECT_EQ(read("Host", "lib.so", "comPort", nullptr), 5);
  EXPECT_EQ(read(nullptr, "lib.so", "comPort", &value), 5);
  EXPECT_EQ(value, nullptr);
  EXPECT_FALSE(fs::exists(home.path() / "lumivane"));
}

TEST_F(PluginFile, CorruptFileIsReportedAndKept) {
  ASSERT_EQ(write("Host", "lib.so", "comPort", "3"), 0);
  const std::string corrupt = "not a key file\n";
  std::ofstream(SettingsFile()) << corrupt;

  char* value = nullptr;
  EXPECT_EQ(read("Host", "lib.so", "comPort", &value), 9101);
  EXPECT_EQ(write("Host", "lib.so", "comPort", "4"), 9101);
  EXPECT_NE(std::string(describe()).find("damaged"), std::string::npos) << describe();
  std::ifstream in(SettingsFile());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), corrupt);
}

TEST_F(PluginFile, UnloadingReallyUnloads) {
  // A plug-in file that stayed loaded would keep its state into the next load.
  // Left alive on purpose: if the file stays loaded it releases it at exit.
  static FakeHelper& helper = *new FakeHelper;
  lv_object* object = nullptr;
  ASSERT_EQ(create("clsOutputDriver", &object), 0);
  const char* title = "Host";
  const char* file = "lib.so";
  lv_helper* h = helper.get();
  lv_bool result = LV_FALSE;
  ASSERT_EQ(object->ops->init(object, &title, &file, &h, &result), 0);
  EXPECT_EQ(object->ops->Release(object), 0u);
  EXPECT_EQ(helper.held(), 1u);

  ASSERT_EQ(::dlclose(library), 0);
  library = nullptr;
  EXPECT_EQ(helper.held(), 0u) << "the plug-in's state went with the file";
}

TEST_F(PluginFile, PumpWithoutADialog) {
  lv_bool open = LV_TRUE;
  EXPECT_EQ(pump(0, &open), 0);
  EXPECT_EQ(open, LV_FALSE);
  EXPECT_EQ(pump(-5, nullptr), 0);
}

}  // namespace
}  // namespace lumivane::test
