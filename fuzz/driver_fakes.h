// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <string>
#include <tuple>

#include "include/lumivane/lumivane.h"
#include "plugin/device_routing.h"
#include "plugin/output_driver.h"

namespace lumivane::fakes {

// Settings in memory.
class MemorySettings final : public SettingsStore {
 public:
  std::string Read(std::string_view app, std::string_view section, std::string_view key) override {
    const auto it = values.find({std::string(app), std::string(section), std::string(key)});
    return it == values.end() ? std::string() : it->second;
  }
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override {
    values[{std::string(app), std::string(section), std::string(key)}] = value;
  }
  std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
};

// Every call a link or window receives, counted.
struct LinkCalls {
  int opens = 0, closes = 0, sends = 0, loads = 0, shows = 0;
  bool operator==(const LinkCalls&) const = default;
};

class CountingProLink final : public ProLink {
 public:
  explicit CountingProLink(LinkCalls& calls) : calls_(calls) {}
  void OpenProPort() override { ++calls_.opens; }
  void CloseProPort() override { ++calls_.closes; }
  void SendProUniverse() override { ++calls_.sends; }
  void RequestProSerial() override {}

 private:
  LinkCalls& calls_;
};

class CountingOpenDmxLink final : public OpenDmxLink {
 public:
  explicit CountingOpenDmxLink(LinkCalls& calls) : calls_(calls) {}
  void StartOpenDmx() override { ++calls_.opens; }
  void StopOpenDmx() override { ++calls_.closes; }
  void StageOpenDmxFrame(const Universe&) override { ++calls_.sends; }

 private:
  LinkCalls& calls_;
};

class CountingWindows final : public TransmitterWindow, public DeviceDialog {
 public:
  explicit CountingWindows(LinkCalls& calls) : calls_(calls) {}
  void Load() override { ++calls_.loads; }
  void Show() override { ++calls_.shows; }
  bool IsLoaded() const override { return false; }
  void PumpEvents(int) override {}

 private:
  LinkCalls& calls_;
};

// A host helper object that counts its references.
struct CountedHelper {
  lv_helper base{&kOps};
  int refs = 0;

  static uint32_t AddRef(lv_helper* self) {
    return static_cast<uint32_t>(++reinterpret_cast<CountedHelper*>(self)->refs);
  }
  static uint32_t Release(lv_helper* self) {
    return static_cast<uint32_t>(--reinterpret_cast<CountedHelper*>(self)->refs);
  }
  static constexpr lv_helper_ops kOps{AddRef, Release};
};

// One plug-in with fakes behind it, as the composition root wires the real one.
struct FakePlugin {
  DriverState state;
  MemorySettings settings;
  LinkCalls calls;
  CountingProLink pro{calls};
  CountingOpenDmxLink openDmx{calls};
  CountingWindows windows{calls};
  DeviceRouting routing{state, pro, openDmx};
  Plugin plugin{state, settings, windows, pro, routing, windows};
};

}  // namespace lumivane::fakes
