// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "core/driver_state.h"
#include "core/failure.h"
#include "core/interface_links.h"
#include "core/user_reports.h"
#include "prowidget/transmitter.h"
#include "prowidget/widget_message.h"

namespace lumivane {

// The DMX USB Pro link over the transmitter's serial component MSComm1.
// proPortOpen follows OpenProPort and CloseProPort only: the port scan and
// the dialog's Test open and close the port directly without touching it,
// so the flag and the port may disagree, and the link goes by the flag.
//
// A push never waits for a full line. When the line takes the whole frame
// at once it is written on the host's call, and a failure is that call's.
// Otherwise a writer thread of the link's own finishes the frame, and the
// pushes meanwhile leave only their newest universe waiting (one frame,
// replaced by each push), which the writer sends next. A failure of the
// writer's is thrown by the next push, once. While the writer has work it
// owns MSComm1; every other operation first waits until it is done.
//
// Called on the host's thread only; the writer is internal.
class WidgetLink final : public ProLink {
 public:
  WidgetLink(DriverState& state, Transmitter& transmitter, UserReports& reports)
      : state_(state), transmitter_(transmitter), reports_(reports) {}
  // Sends what waits (within the component's write timeout), then stops
  // the writer.
  ~WidgetLink() override;
  WidgetLink(const WidgetLink&) = delete;
  WidgetLink& operator=(const WidgetLink&) = delete;

  // Opens comPort unless a port is open already, then sends the initial
  // frame. Every step is guarded; a port that stays closed is reported in a
  // message box. Never throws.
  void OpenProPort() override;
  // While proPortOpen is set: sends what waits, then closes the port. A
  // failure of the writer's still unreported is dropped with the port;
  // a failure to close passes up.
  void CloseProPort() override;
  // Pushes the universe frame while proPortOpen is set; failures pass up.
  void SendProUniverse() override;
  // Writes the serial number request whatever proPortOpen says.
  void RequestProSerial() override;
  void FinishSending() override;

  bool proPortOpen() const { return proPortOpen_; }

 private:
  using FrameBytes = std::array<char, UniverseFrame::kSize>;
  SerialComponent& MSComm1() { return transmitter_.MSComm1(); }
  void Push(std::string_view frame);
  void RunWriter();
  void StopWriter() noexcept;

  DriverState& state_;
  Transmitter& transmitter_;
  UserReports& reports_;
  bool proPortOpen_ = false;
  UniverseFrame frame_;

  // Shared with the writer, under mutex_.
  std::mutex mutex_;
  std::condition_variable work_;  // the writer waits for busy_ or stop_
  std::condition_variable idle_;  // the host waits for !busy_
  bool busy_ = false;             // the writer owns MSComm1 until it clears this
  bool stop_ = false;
  SerialComponent* writerPort_ = nullptr;
  FrameBytes inFlight_{};  // the rest of a frame the line has taken in part
  size_t inFlightSize_ = 0;
  FrameBytes waiting_{};  // the newest universe, not yet started
  bool hasWaiting_ = false;
  std::optional<Failure> failure_;  // the writer's, for the next push
  std::thread writer_;
};

}  // namespace lumivane
