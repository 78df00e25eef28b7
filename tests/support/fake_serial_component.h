// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "prowidget/serial_component.h"
#include "prowidget/transmitter.h"
#include "tests/support/bytes.h"

namespace lumivane::test {

// A serial component over scripted ports, without a device. The ports in
// `ports` open; the others fail as missing. A present port answers the
// serial-number request with its own bytes (or nothing).
//
// Every property set and every write is logged in order ("CommPort=3",
// "PortOpen=True", "Output 6 bytes"); `opened`, `closed` and `writes` keep
// which port saw what. A number in one of the fail... members makes that
// property fail with it; a port's own flags make it fail as gone, so a test
// sees that callers step over one broken port.
class FakeSerialComponent final : public SerialComponent {
 public:
  struct Port {
    std::string answer;  // queued when the serial-number request arrives
    std::string pending;
    bool failOutput = false;
    bool failInput = false;
    bool failInBufferCount = false;
  };

  void AddPort(int16_t number, std::string answer = {}) {
    ports[number].answer = std::move(answer);
  }

  void SetCommPort(int16_t port) override {
    log.push_back("CommPort=" + std::to_string(port));
    if (open_) throw Failure(ErrorNumber::kPortOpenNotValid);
    if (port < 1 || port > 255) throw Failure(ErrorNumber::kPortInvalid);
    commPort_ = port;
  }
  int16_t CommPort() const override { return commPort_; }

  void SetPortOpen(bool open) override {
    log.push_back(open ? "PortOpen=True" : "PortOpen=False");
    if (open) {
      if (open_) throw Failure(ErrorNumber::kPortAlreadyOpen);
      if (!ports.contains(commPort_)) throw Failure(ErrorNumber::kPortNotFound);
      OpenDirectly(commPort_);
      opened.push_back(commPort_);
    } else {
      if (failClose) throw Failure(*failClose);
      if (open_) closed.push_back(openedOn);
      open_ = false;
    }
  }
  bool PortOpen() const override {
    if (failPortOpenRead) throw Failure(*failPortOpenRead);
    return open_;
  }

  void Output(std::string_view data) override {
    log.push_back("Output " + std::to_string(data.size()) + " bytes");
    if (failOutput) throw Failure(*failOutput);
    Port& port = OpenPort(&Port::failOutput);
    written.emplace_back(data);
    writes.push_back({openedOn, std::string(data)});
    if (data == kSerialRequest) port.pending += port.answer;
  }
  std::string Input() override { return std::exchange(OpenPort(&Port::failInput).pending, {}); }
  int16_t InBufferCount() override {
    return static_cast<int16_t>(OpenPort(&Port::failInBufferCount).pending.size());
  }

  // Opens a port behind the caller's back, as the scan or the Test button do.
  void OpenDirectly(int16_t port) {
    commPort_ = port;
    open_ = true;
    openedOn = port;
  }
  void CloseDirectly() { open_ = false; }
  // Bytes that arrive unasked on the open port.
  void Arrive(std::string_view bytes) { ports[openedOn].pending += bytes; }

  std::map<int16_t, Port> ports;
  std::optional<ErrorNumber> failClose, failOutput, failPortOpenRead;

  std::vector<std::string> log;
  std::vector<std::string> written;
  std::vector<int16_t> opened;
  std::vector<int16_t> closed;
  std::vector<std::pair<int16_t, std::string>> writes;
  int16_t openedOn = 0;

 private:
  // The open port, or the failure of a closed one or of a broken step.
  Port& OpenPort(bool Port::*broken) {
    if (!open_) throw Failure(ErrorNumber::kPortNotOpen);
    Port& port = ports[openedOn];
    if (port.*broken) throw Failure(ErrorNumber::kPortDeviceGone);
    return port;
  }

  int16_t commPort_ = 1;
  bool open_ = false;
};

// A transmitter whose component is a FakeSerialComponent the test can reach.
struct FakePortTransmitter {
  FakePortTransmitter()
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

}  // namespace lumivane::test
