// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <chrono>
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

// How the link waits while it recovers: between two attempts to reopen a
// lost port, and between two looks at a driver queue that is still long.
struct WidgetLinkTiming {
  std::chrono::milliseconds reopenInterval{250};
  std::chrono::milliseconds queuePoll{2};
  // A queue that has not gone short by then is left to the write's own
  // timeout to judge.
  std::chrono::milliseconds queueWaitLimit{1000};
};

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
// Where the driver tells how much it still holds (OutputQueueBytes), a new
// frame goes to it only once less than a frame waits there, so the newest
// universe waits here and not behind stale ones in the driver.
//
// A device that went away (8023) or stopped taking data past the write
// timeout (8022) is an outage: the call that meets it fails, once, and the
// writer then closes the port and reopens the same port number every
// reopenInterval, while pushes only store their universe and succeed. Once
// it opens and takes the initial frame, the newest universe follows at once
// (twice after a stall, for a widget left inside a cut frame).
// Any other operation (open, close, the probes through FinishSending) and
// the destructor end the retrying first.
//
// Called on the host's thread only; the writer is internal.
class WidgetLink final : public ProLink {
 public:
  WidgetLink(DriverState& state, Transmitter& transmitter, UserReports& reports,
             WidgetLinkTiming timing = {})
      : state_(state), transmitter_(transmitter), reports_(reports), timing_(timing) {}
  // Sends what waits (within the component's write timeout), then stops
  // the writer.
  ~WidgetLink() override;
  WidgetLink(const WidgetLink&) = delete;
  WidgetLink& operator=(const WidgetLink&) = delete;

  // Opens comPort unless a port is open already, then sends the initial
  // frame. Every step is guarded; a port that stays closed is reported in a
  // message box. Never throws.
  void OpenProPort() override;
  // While proPortOpen is set: sends what waits, then closes the port and
  // clears the flag. Fails after closing with a failure of the writer's not
  // yet reported, or with the close's own (8022 when a stalled device kept
  // bytes). A close that leaves the port open keeps the flag and passes up.
  void CloseProPort() override;
  // Pushes the universe frame while proPortOpen is set; failures pass up.
  void SendProUniverse() override;
  // Writes the serial number request whatever proPortOpen says.
  void RequestProSerial() override;
  // Ends the retrying of an outage, then waits until what waits has gone.
  void FinishSending() override;
  OutputStatus OutputState() override;

  bool proPortOpen() const { return proPortOpen_; }

 private:
  using FrameBytes = std::array<char, UniverseFrame::kSize>;
  using SteadyClock = std::chrono::steady_clock;
  SerialComponent& MSComm1() { return transmitter_.MSComm1(); }
  void Push(std::string_view frame);
  void HandOver(SerialComponent& port, std::string_view rest, bool newFrame);
  void StartWriter();
  void RunWriter();
  void WaitForShortQueue(std::unique_lock<std::mutex>& lock, SerialComponent& port);
  void Recover(std::unique_lock<std::mutex>& lock);
  void BeginOutage(const Failure& failure);
  void EndOutage();
  void SetIdle();
  void StopWriter() noexcept;

  DriverState& state_;
  Transmitter& transmitter_;
  UserReports& reports_;
  const WidgetLinkTiming timing_;
  bool proPortOpen_ = false;
  UniverseFrame frame_;

  // Shared with the writer, under mutex_.
  std::mutex mutex_;
  std::condition_variable work_;  // the writer waits for busy_, stop_ or endRecovery_
  std::condition_variable idle_;  // the host waits for !busy_
  bool busy_ = false;             // the writer owns MSComm1 until it clears this
  bool stop_ = false;
  bool recovering_ = false;   // the writer is reopening a lost port
  bool endRecovery_ = false;  // the host wants the port back
  SerialComponent* writerPort_ = nullptr;
  FrameBytes inFlight_{};  // the rest of a frame the line has taken in part
  size_t inFlightSize_ = 0;
  FrameBytes waiting_{};  // the newest universe, not yet started
  bool hasWaiting_ = false;
  FrameBytes newest_{};  // the last universe pushed, what a reopened port gets
  bool hasNewest_ = false;
  bool resendNewest_ = false;       // once more after the first frame of a reopened port
  std::optional<Failure> failure_;  // the writer's, for the next push
  OutputStatus status_;
  SteadyClock::time_point changedAt_{};
  std::thread writer_;
};

}  // namespace lumivane
