// SPDX-License-Identifier: MIT
// The real plug-in file, loaded with dlopen as a host loads it: bad calls
// through its C boundary, calls out of order, and unloading it while it is
// in use leave nothing running and nothing stored.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "host/driver_client.h"
#include "host/plugin_library.h"
#include "host/widget_simulator.h"
#include "tests/faults/fault_support.h"

namespace lumivane::test {
namespace {

namespace fs = std::filesystem;
using host::DriverClient;
using host::PluginLibrary;
using namespace std::chrono_literals;

constexpr lv_status kInvalid = 5;

// Threads of this process.
int ThreadCount() {
  int count = 0;
  DIR* tasks = ::opendir("/proc/self/task");
  while (const dirent* entry = ::readdir(tasks)) count += entry->d_name[0] != '.';
  ::closedir(tasks);
  return count;
}

bool Loaded() {
  void* handle = ::dlopen(LUMIVANE_PLUGIN_FILE, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) ::dlclose(handle);
  return handle != nullptr;
}

class PluginFileFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", temp.path().c_str(), 1);
    ASSERT_FALSE(Loaded());
    library = std::make_unique<PluginLibrary>(LUMIVANE_PLUGIN_FILE);
  }
  // Nothing the plug-in wrote lies outside the store's folder.
  std::string Written() const { return ListFolder(temp.path()); }

  TempFolder temp;
  std::unique_ptr<PluginLibrary> library;
};

TEST_F(PluginFileFaults, BadCallsThroughTheFileAreRefusedAndStoreNothing) {
  lv_object* object = reinterpret_cast<lv_object*>(1);
  EXPECT_EQ(library->create(nullptr, &object), kInvalid);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(library->create("clsOutputDriver", nullptr), kInvalid);
  EXPECT_EQ(library->create("clsoutputdriver", &object), 429);
  EXPECT_STRNE(library->error_description(), "");
  lv_bool open = LV_TRUE;
  EXPECT_EQ(library->pump_events(-5, &open), 0);
  EXPECT_EQ(open, LV_FALSE);
  library->free_text(nullptr);

  DriverClient client(*library);
  lv_object* o = client.object();
  const char* badTitle = "Show \xff";
  const char* file = "liblumivane.so";
  lv_helper* none = nullptr;
  lv_bool result = LV_TRUE;
  EXPECT_EQ(o->ops->init(o, &badTitle, &file, &none, &result), kInvalid);
  EXPECT_EQ(result, LV_FALSE);
  EXPECT_NE(std::string(library->error_description()).find("UTF-8"), std::string::npos);
  EXPECT_EQ(o->ops->SetChannel(o, nullptr, nullptr, &result), kInvalid);
  EXPECT_EQ(o->ops->Invoke(o, nullptr, nullptr, 0, nullptr), kInvalid);

  char* path = nullptr;
  EXPECT_EQ(library->settings_write("Show", "liblumivane.so", "comPort", "\xff"), kInvalid);
  EXPECT_EQ(library->settings_read(nullptr, "f", "k", &path), kInvalid);
  EXPECT_EQ(path, nullptr);
  EXPECT_EQ(Written(), "");
}

TEST_F(PluginFileFaults, CallsOutOfOrderGiveTheirResults) {
  DriverClient client(*library);
  bool result = true;
  EXPECT_TRUE(client.Term(result).ok());
  EXPECT_FALSE(result);
  EXPECT_TRUE(client.SetChannel(512, 255, result).ok());
  EXPECT_TRUE(result);
  EXPECT_TRUE(client.SetChannel(513, 10, result).ok());
  EXPECT_FALSE(result);
  EXPECT_EQ(client.SetChannel(1, 256, result).status, 6);
  EXPECT_TRUE(client.Disable(result).ok());
  EXPECT_TRUE(result);
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(client.Init("Show", "liblumivane.so", result).ok());
    EXPECT_FALSE(result);
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(client.Term(result).ok());
    EXPECT_FALSE(result);
  }
  std::string name;
  EXPECT_TRUE(client.PluginName(name).ok());
  EXPECT_EQ(name, "Lumivane DMX Pro Driver");
}

TEST_F(PluginFileFaults, UnloadingWithTheWidgetOpenClosesItAndLeavesNothingRunning) {
  sim::WidgetSimulator widget;
  ASSERT_EQ(library->ports_link(3, widget.devicePath().c_str()), 0);
  ASSERT_EQ(library->settings_write("Show", "liblumivane.so", "DeviceType", "DMXUSBpro"), 0);
  ASSERT_EQ(library->settings_write("Show", "liblumivane.so", "comPort", "3"), 0);
  const int threadsBefore = ThreadCount();
  {
    DriverClient client(*library);
    bool result = false;
    ASSERT_TRUE(client.Init("Show", "liblumivane.so", result).ok());
    ASSERT_TRUE(client.SetChannel(1, 255, result).ok());
    ASSERT_TRUE(widget.WaitForMessages(2, 5s));
    ASSERT_TRUE(widget.PortOpen());
  }  // released without Term, as a host that is closing may do
  library.reset();
  EXPECT_FALSE(Loaded());
  EXPECT_TRUE(widget.WaitForPortOpen(false, 5s)) << "the port was closed on unload";
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

}  // namespace
}  // namespace lumivane::test
