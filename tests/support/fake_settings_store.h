// SPDX-License-Identifier: MIT
// A settings store in memory. Reads are logged as "Read <key>", writes once
// stored as "Write <key>=<value>", so a test sees which key was touched in
// which order. FailOn("Write <key>", ...) makes writes of that key fail
// before anything is stored or logged.
#pragma once

#include <map>
#include <string>
#include <tuple>

#include "core/settings_store.h"
#include "tests/support/call_log.h"

namespace lumivane::test {

class FakeSettingsStore final : public SettingsStore, public ScriptedFake {
 public:
  using Address = std::tuple<std::string, std::string, std::string>;  // app, section, key

  explicit FakeSettingsStore(CallLog* log = nullptr) : ScriptedFake(log) {}

  std::string Read(std::string_view app, std::string_view section, std::string_view key) override {
    Record("Read " + std::string(key));
    auto it = values.find(Address(app, section, key));
    return it == values.end() ? std::string() : it->second;
  }
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override {
    ThrowIfScripted("Write " + std::string(key));
    values[Address(app, section, key)] = value;
    Log("Write " + std::string(key) + "=" + std::string(value));
  }

  // Stores a value for the plug-in file `file` under `app`.
  void Put(std::string_view app, std::string_view file, std::string_view key,
           std::string_view value) {
    values[Address(app, PluginSection(file), key)] = value;
  }

  // The value stored under `key`, whatever the app and section.
  std::string Stored(std::string_view key) const {
    for (const auto& [address, value] : values) {
      if (std::get<2>(address) == key) return value;
    }
    return "";
  }

  std::map<Address, std::string> values;
};

}  // namespace lumivane::test
