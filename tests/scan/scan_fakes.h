// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "core/interface_links.h"
#include "core/user_reports.h"
#include "core/widget_display.h"
#include "prowidget/serial_component.h"
#include "prowidget/transmitter.h"

namespace lumivane::testing {

inline std::string Bytes(std::initializer_list<uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

inline const std::string kSerialRequest = Bytes({0x7E, 0x0A, 0x01, 0x00, 0x00, 0xE7});

// What the device dialog would show, recorded.
struct ListEntry {
  std::string text;
  int32_t itemData = 0;
  bool operator==(const ListEntry&) const = default;
};

class RecordingDisplay final : public WidgetDisplay {
 public:
  void AddListEntry(std::string_view text) override { entries.push_back({std::string(text), 0}); }
  void SetLastEntryItemData(int32_t data) override { entries.back().itemData = data; }
  void SetInfoCaption(std::string_view text) override { info = text; }
  void SetResultCaption(std::string_view text) override { result = text; }

  std::vector<ListEntry> entries;
  std::string info = "Info";
  std::string result = "Test Result";
};

class RecordingReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

// A serial component over scripted ports: each present port answers the
// serial-number request with its own bytes (or nothing). Failures can be
// switched on per property to see that callers step over them.
class FakeSerialComponent final : public SerialComponent {
 public:
  struct Port {
    std::string answer;  // queued when the serial-number request arrives
    std::string pending;
    bool failOutput = false;
    bool failInput = false;
    bool failInBufferCount = false;
  };

  void AddPort(int16_t number, std::string answer = {}) { ports[number].answer = answer; }

  void SetCommPort(int16_t port) override {
    if (open_) throw Failure(ErrorNumber::kPortOpenNotValid);
    if (port < 1 || port > 255) throw Failure(ErrorNumber::kPortInvalid);
    commPort_ = port;
  }
  int16_t CommPort() const override { return commPort_; }

  void SetPortOpen(bool open) override {
    if (open) {
      if (open_) throw Failure(ErrorNumber::kPortAlreadyOpen);
      if (!ports.contains(commPort_)) throw Failure(ErrorNumber::kPortNotFound);
      open_ = true;
      openPort_ = commPort_;
      opened.push_back(commPort_);
    } else {
      if (open_) closed.push_back(openPort_);
      open_ = false;
    }
  }
  bool PortOpen() const override { return open_; }

  void Output(std::string_view data) override {
    Require(!ports[openPort_].failOutput);
    writes.push_back({openPort_, std::string(data)});
    if (data == kSerialRequest) ports[openPort_].pending += ports[openPort_].answer;
  }
  std::string Input() override {
    Require(!ports[openPort_].failInput);
    return std::exchange(ports[openPort_].pending, {});
  }
  int16_t InBufferCount() override {
    Require(!ports[openPort_].failInBufferCount);
    return static_cast<int16_t>(ports[openPort_].pending.size());
  }

  // Bytes that arrive unasked on the open port.
  void Arrive(std::string_view bytes) { ports[openPort_].pending += bytes; }

  std::map<int16_t, Port> ports;
  std::vector<int16_t> opened;
  std::vector<int16_t> closed;
  std::vector<std::pair<int16_t, std::string>> writes;

 private:
  void Require(bool ok) const {
    if (!open_) throw Failure(ErrorNumber::kPortNotOpen);
    if (!ok) throw Failure(ErrorNumber::kPortDeviceGone);
  }

  int16_t commPort_ = 1;
  int16_t openPort_ = 0;
  bool open_ = false;
};

// The widget link's request, written through the transmitter's component.
class FakeProLink final : public ProLink {
 public:
  explicit FakeProLink(Transmitter& transmitter) : transmitter_(transmitter) {}
  void OpenProPort() override {}
  void CloseProPort() override {}
  void SendProUniverse() override {}
  void RequestProSerial() override {
    ++requests;
    transmitter_.MSComm1().Output(kSerialRequest);
  }
  int requests = 0;

 private:
  Transmitter& transmitter_;
};

// A transmitter whose component is a FakeSerialComponent the test can reach.
struct FakeTransmitter {
  FakeTransmitter()
      : transmitter([this] {
          auto component = std::make_unique<FakeSerialComponent>();
          serial = component.get();
          return component;
        }) {
    transmitter.Load();
  }
  FakeSerialComponent* serial = nullptr;
  Transmitter transmitter;
};

}  // namespace lumivane::testing
