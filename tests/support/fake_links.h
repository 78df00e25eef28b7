// SPDX-License-Identifier: MIT
// Fakes of the two interface links: they count and order their calls, keep
// the last universe handed over, and fail where a test scripts it.
#pragma once

#include <array>
#include <cstdint>

#include "core/interface_links.h"
#include "prowidget/serial_component.h"
#include "tests/support/bytes.h"
#include "tests/support/call_log.h"

namespace lumivane::test {

class FakeProLink final : public ProLink, public ScriptedFake {
 public:
  explicit FakeProLink(const DriverState* state = nullptr, CallLog* log = nullptr)
      : ScriptedFake(log), state_(state) {}
  // Writes the serial request to `wire`, as the real link does.
  explicit FakeProLink(SerialComponent& wire) : requestWire_(&wire), state_(nullptr) {}

  void OpenProPort() override { Record("OpenProPort"); }
  void CloseProPort() override { Record("CloseProPort"); }
  void SendProUniverse() override {
    Record("SendProUniverse");
    if (state_ != nullptr) {
      const auto levels = state_->dmxData.levels();
      std::copy(levels.begin(), levels.end(), lastSent.begin());
    }
  }
  void RequestProSerial() override {
    Record("RequestProSerial");
    if (requestWire_ != nullptr) requestWire_->Output(kSerialRequest);
  }

  int pushes() const { return Count("SendProUniverse"); }
  int requests() const { return Count("RequestProSerial"); }
  // What dmxData held at the last push (the real link reads it itself).
  std::array<uint8_t, kChannelCount> lastSent{};

 private:
  SerialComponent* requestWire_ = nullptr;
  const DriverState* state_;
};

class FakeOpenDmxLink final : public OpenDmxLink, public ScriptedFake {
 public:
  explicit FakeOpenDmxLink(CallLog* log = nullptr) : ScriptedFake(log) {}

  void StartOpenDmx() override { Record("StartOpenDmx"); }
  void StopOpenDmx() override { Record("StopOpenDmx"); }
  void StageOpenDmxFrame(const Universe& data) override {
    Record("StageOpenDmxFrame");
    const auto levels = data.levels();
    std::copy(levels.begin(), levels.end(), lastStaged.begin());
  }

  int pushes() const { return Count("StageOpenDmxFrame"); }
  std::array<uint8_t, kChannelCount> lastStaged{};
};

}  // namespace lumivane::test
