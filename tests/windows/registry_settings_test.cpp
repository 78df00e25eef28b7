// SPDX-License-Identifier: MIT
// The registry settings store under Wine, on a root of its own that the
// test removes; the real root's layout is checked by the script with reg.
#include <gtest/gtest.h>
#include <windows.h>

#include "com/registry_settings_store_win32.h"
#include "core/failure.h"
#include "tests/support/expect_failure.h"

namespace lumivane {
namespace {

constexpr const char* kRoot = "Software\\Lumivane Tests\\Settings";

class RegistrySettings : public ::testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Lumivane Tests"); }
  RegistrySettingsStore store_{kRoot};
};

TEST_F(RegistrySettings, WritesReadBack) {
  const struct {
    const char* app;
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"Host", "Plugins\\Lumivane.dll", "comPort", "3"},
      {"Host", "Plugins\\Lumivane.dll", "DeviceType", "DMXUSBpro"},
      {"Bühne 照明", "Plugins\\Lumivane.dll", "comPort", "Ω 12"},
      {"Host", "Plugins\\Lumivane.dll", "empty", ""},
  };
  for (const auto& c : cases) {
    store_.Write(c.app, c.section, c.key, c.value);
    EXPECT_EQ(store_.Read(c.app, c.section, c.key), c.value) << c.app << " " << c.key;
  }
  store_.Write("Host", "Plugins\\Lumivane.dll", "comPort", "4");
  EXPECT_EQ(store_.Read("Host", "Plugins\\Lumivane.dll", "comPort"), "4");
}

TEST_F(RegistrySettings, BackslashesMakeNestedKeys) {
  store_.Write("Studio\\Left", "Plugins\\x.dll", "comPort", "5");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                          L"Software\\Lumivane Tests\\Settings\\Studio\\Left\\Plugins\\x.dll", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistrySettings, MissingOrForeignValuesReadEmpty) {
  EXPECT_EQ(store_.Read("Nobody", "Plugins\\x.dll", "comPort"), "");
  store_.Write("Host", "Plugins\\x.dll", "DeviceType", "OpenDMXUSB");
  EXPECT_EQ(store_.Read("Host", "Plugins\\x.dll", "comPort"), "");
  // A value some other program stored as a number is no text of ours.
  const DWORD number = 7;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER,
                            L"Software\\Lumivane Tests\\Settings\\Host\\Plugins\\x.dll", L"comPort",
                            REG_DWORD, &number, sizeof number),
            ERROR_SUCCESS);
  EXPECT_EQ(store_.Read("Host", "Plugins\\x.dll", "comPort"), "");
  // One without its terminating NUL still reads whole.
  const wchar_t unterminated[] = {L'1', L'2'};
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER,
                            L"Software\\Lumivane Tests\\Settings\\Host\\Plugins\\x.dll", L"comPort",
                            REG_SZ, unterminated, sizeof unterminated),
            ERROR_SUCCESS);
  EXPECT_EQ(store_.Read("Host", "Plugins\\x.dll", "comPort"), "12");
}

TEST_F(RegistrySettings, AWriteThatCannotBeStoredFails) {
  // A key name longer than the registry allows (255) is refused.
  const std::string tooLong(300, 'k');
  EXPECT_FAILURE(store_.Write(tooLong, "Plugins\\x.dll", "comPort", "1"), 9102);
}

}  // namespace
}  // namespace lumivane
