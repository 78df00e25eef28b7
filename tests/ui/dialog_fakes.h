// SPDX-License-Identifier: MIT
// Fakes for the device dialog's services: each records what it was asked.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "core/interface_links.h"
#include "core/port_probes.h"
#include "core/settings_store.h"
#include "core/user_reports.h"
#include "ui/device_view.h"

namespace lumivane::uitest {

// The calls the links and the probes saw, in order, in one log.
using CallLog = std::vector<std::string>;

class RecordingSettings final : public SettingsStore {
 public:
  explicit RecordingSettings(CallLog& log) : log_(log) {}
  std::string Read(std::string_view app, std::string_view section, std::string_view key) override {
    const auto it = values.find({std::string(app), std::string(section), std::string(key)});
    return it == values.end() ? "" : it->second;
  }
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override {
    if (failKey && *failKey == key) throw Failure(ErrorNumber::kSettingsWriteFailed, "disk full");
    log_.push_back("write " + std::string(key) + "=" + std::string(value));
    values[{std::string(app), std::string(section), std::string(key)}] = value;
  }
  std::string Stored(std::string_view key) const {
    for (const auto& [address, value] : values) {
      if (std::get<2>(address) == key) return value;
    }
    return "";
  }

  std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
  std::optional<std::string> failKey;

 private:
  CallLog& log_;
};

class RecordingProLink final : public ProLink {
 public:
  explicit RecordingProLink(CallLog& log) : log_(log) {}
  void OpenProPort() override {
    log_.push_back("OpenProPort");
    if (failOpen) throw Failure(ErrorNumber::kPortBusy);
  }
  void CloseProPort() override {
    log_.push_back("CloseProPort");
    if (failClose) throw Failure(ErrorNumber::kPortDeviceGone);
  }
  void SendProUniverse() override { log_.push_back("SendProUniverse"); }
  void RequestProSerial() override { log_.push_back("RequestProSerial"); }
  bool failOpen = false;
  bool failClose = false;

 private:
  CallLog& log_;
};

class RecordingOpenDmxLink final : public OpenDmxLink {
 public:
  explicit RecordingOpenDmxLink(CallLog& log) : log_(log) {}
  void StartOpenDmx() override { log_.push_back("StartOpenDmx"); }
  void StopOpenDmx() override { log_.push_back("StopOpenDmx"); }
  void StageOpenDmxFrame(const Universe&) override {}

 private:
  CallLog& log_;
};

class RecordingReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

// A scan that finds the same entries every time, and a test that shows a
// fixed result.
class ScriptedProbes final : public ProPortProbes {
 public:
  explicit ScriptedProbes(CallLog& log) : log_(log) {}
  void ScanProPorts(WidgetDisplay& display) override {
    log_.push_back("ScanProPorts");
    for (const auto& [text, data] : found) {
      display.AddListEntry(text);
      if (data != 0) display.SetLastEntryItemData(data);
    }
  }
  void TestProPort(int16_t comPort, WidgetDisplay& display) override {
    log_.push_back("TestProPort " + std::to_string(comPort));
    display.SetResultCaption(testResult);
  }
  std::vector<std::pair<std::string, int32_t>> found;
  std::string testResult = " 10";

 private:
  CallLog& log_;
};

// The dialog's controls as plain data, starting from their designed state.
class MemoryDeviceView final : public DeviceView {
 public:
  struct Entry {
    std::string text;
    int32_t itemData = 0;
    bool operator==(const Entry&) const = default;
  };

  void AddListEntry(std::string_view text) override { devList.push_back({std::string(text)}); }
  void SetLastEntryItemData(int32_t data) override { devList.back().itemData = data; }
  void SetInfoCaption(std::string_view text) override { lblinfo = text; }
  void SetResultCaption(std::string_view text) override { lblResult = text; }
  void SetPortText(std::string_view text) override { txtCommPort = text; }
  std::string PortText() const override { return txtCommPort; }
  void SelectProWidget() override { proSelected = true; }
  bool ProWidgetSelected() const override { return proSelected; }
  bool OpenDmxSelected() const override { return !proSelected; }

  std::vector<Entry> devList;
  std::string lblinfo = "Info";
  std::string lblResult = "Test Result";
  std::string txtCommPort = "1";
  bool proSelected = true;
};

}  // namespace lumivane::uitest
