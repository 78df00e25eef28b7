// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/failure.h"
#include "core/user_reports.h"
#include "prowidget/serial_component.h"

namespace lumivane::test {

// A serial component without a device. Ports in `present` open; the others
// fail as missing. Every property set and every write is logged in order
// ("CommPort=3", "PortOpen=True", "Output 6 bytes"), and `written` keeps
// what Output sent. A number set in one of the fail... members makes that
// property fail with it.
class FakeSerialComponent final : public SerialComponent {
 public:
  std::set<int16_t> present{1, 2, 3, 4, 5};
  std::set<int16_t> rejected{0, -1};  // numbers SetCommPort refuses
  std::optional<ErrorNumber> failOpen, failClose, failOutput, failPortOpenRead;
  std::string pendingInput;  // what Input returns next

  std::vector<std::string> log;
  std::vector<std::string> written;

  void SetCommPort(int16_t port) override {
    log.push_back("CommPort=" + std::to_string(port));
    if (open_) throw Failure(ErrorNumber::kPortOpenNotValid);
    if (rejected.count(port) != 0) throw Failure(ErrorNumber::kPortInvalid);
    commPort_ = port;
  }
  int16_t CommPort() const override { return commPort_; }
  void SetPortOpen(bool open) override {
    log.push_back(open ? "PortOpen=True" : "PortOpen=False");
    if (open) {
      if (failOpen) throw Failure(*failOpen);
      if (open_) throw Failure(ErrorNumber::kPortAlreadyOpen);
      if (present.count(commPort_) == 0) throw Failure(ErrorNumber::kPortNotFound);
      open_ = true;
      openedOn = commPort_;
    } else {
      if (failClose) throw Failure(*failClose);
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
    if (!open_) throw Failure(ErrorNumber::kPortNotOpen);
    written.emplace_back(data);
  }
  std::string Input() override {
    if (!open_) throw Failure(ErrorNumber::kPortNotOpen);
    return std::exchange(pendingInput, std::string());
  }
  int16_t InBufferCount() override {
    if (!open_) throw Failure(ErrorNumber::kPortNotOpen);
    return static_cast<int16_t>(pendingInput.size());
  }

  // Opens a port behind the link's back, as the scan or the Test button do.
  void OpenDirectly(int16_t port) {
    commPort_ = port;
    open_ = true;
    openedOn = port;
  }
  void CloseDirectly() { open_ = false; }

  int16_t openedOn = 0;

 private:
  int16_t commPort_ = 1;
  bool open_ = false;
};

// Message boxes, kept as texts.
class RecordingUserReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

}  // namespace lumivane::test
