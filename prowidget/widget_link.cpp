// SPDX-License-Identifier: MIT
#include "prowidget/widget_link.h"

#include <algorithm>
#include <exception>
#include <string>

#include "core/guarded_step.h"
#include "core/number_text.h"
#include "prowidget/serial_steps.h"

namespace lumivane {
namespace {

// The failures after which the link reopens the port by itself.
bool IsOutage(const Failure& failure) {
  return failure.number() == static_cast<int32_t>(ErrorNumber::kPortDeviceGone) ||
         failure.number() == static_cast<int32_t>(ErrorNumber::kPortWriteTimedOut);
}

// Runs a write of the component's, turning whatever it throws into a Failure.
template <class Write>
std::optional<Failure> Attempt(Write&& write) noexcept {
  try {
    write();
    return std::nullopt;
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::exception& e) {
    return Failure(ErrorNumber::kPortWriteFailed, e.what());
  } catch (...) {
    return Failure(ErrorNumber::kPortWriteFailed);
  }
}

}  // namespace

WidgetLink::~WidgetLink() {
  FinishSending();
  StopWriter();
}

void WidgetLink::OpenProPort() {
  FinishSending();
  if (!OpenUnlessOpen(transmitter_, state_.comPort)) {
    GuardedStep([&] {
      reports_.ShowMessage("Failed to open USB DMX Pro on comm port: " +
                           SignPadded(state_.comPort) + " - Check Settings, Device");
    });
    return;
  }
  const bool primed = !Attempt([&] { MSComm1().Output(InitialFrame()); });
  proPortOpen_ = true;
  if (primed) {
    std::lock_guard lock(mutex_);
    EndOutage();
  }
}

void WidgetLink::CloseProPort() {
  if (!proPortOpen_) return;
  FinishSending();
  StopWriter();
  std::optional<Failure> unreported;
  {
    std::lock_guard lock(mutex_);
    unreported.swap(failure_);
  }
  try {
    MSComm1().SetPortOpen(false);
  } catch (const Failure&) {
    bool stillOpen = true;
    GuardedStep([&] { stillOpen = MSComm1().PortOpen(); });
    if (stillOpen) {
      std::lock_guard lock(mutex_);
      failure_.swap(unreported);  // still the next push's to report
      throw;
    }
    proPortOpen_ = false;
    if (!unreported) throw;
  }
  proPortOpen_ = false;
  // The host is told what never reached the device, after the port is gone.
  if (unreported) throw Failure(*unreported);
}

void WidgetLink::SendProUniverse() {
  const std::string_view frame = frame_.Build(state_.dmxData);
  if (proPortOpen_) Push(frame);
}

void WidgetLink::RequestProSerial() {
  FinishSending();
  MSComm1().Output(SerialNumberRequest());
}

void WidgetLink::Push(std::string_view frame) {
  {
    std::lock_guard lock(mutex_);
    std::copy(frame.begin(), frame.end(), newest_.begin());
    hasNewest_ = true;
    if (failure_) {
      const Failure failure = std::move(*failure_);
      failure_.reset();
      throw failure;
    }
    if (busy_) {
      // Newest wins: an older universe still waiting is never sent.
      std::copy(frame.begin(), frame.end(), waiting_.begin());
      hasWaiting_ = true;
      return;
    }
  }
  // The writer is idle, so the port is ours until we hand it over.
  SerialComponent& port = MSComm1();
  size_t queued = 0;
  GuardedStep([&] { queued = port.OutputQueueBytes(); });
  if (queued >= frame.size()) {
    HandOver(port, {}, true);
    return;
  }
  size_t sent = 0;
  try {
    sent = port.OutputWithoutWaiting(frame);
  } catch (const Failure& failure) {
    if (IsOutage(failure)) {
      {
        std::lock_guard lock(mutex_);
        BeginOutage(failure);
        writerPort_ = &port;
      }
      StartWriter();
      work_.notify_one();
    }
    throw;
  }
  if (sent < frame.size()) HandOver(port, frame.substr(sent), false);
}

// Gives the writer the rest of a frame the line took in part, or, with
// newFrame, the whole newest universe (already in newest_) to send once the
// driver's queue is short.
void WidgetLink::HandOver(SerialComponent& port, std::string_view rest, bool newFrame) {
  StartWriter();
  {
    std::lock_guard lock(mutex_);
    std::copy(rest.begin(), rest.end(), inFlight_.begin());
    inFlightSize_ = rest.size();
    if (newFrame) {
      waiting_ = newest_;
      hasWaiting_ = true;
    }
    writerPort_ = &port;
    busy_ = true;
  }
  work_.notify_one();
}

void WidgetLink::StartWriter() {
  if (!writer_.joinable()) writer_ = std::thread([this] { RunWriter(); });
}

void WidgetLink::RunWriter() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return busy_ || stop_; });
    if (!busy_) return;  // stopped while idle
    if (recovering_) {
      Recover(lock);
      continue;
    }
    SerialComponent& port = *writerPort_;
    if (inFlightSize_ == 0) {
      if (!hasWaiting_) {
        SetIdle();
        continue;
      }
      WaitForShortQueue(lock, port);
      inFlight_ = waiting_;
      inFlightSize_ = inFlight_.size();
      hasWaiting_ = false;
    }
    const std::string_view data(inFlight_.data(), inFlightSize_);
    lock.unlock();
    std::optional<Failure> failed = Attempt([&] { port.Output(data); });
    lock.lock();
    inFlightSize_ = 0;
    if (failed) {
      if (IsOutage(*failed)) {
        BeginOutage(*failed);
      } else {
        hasWaiting_ = false;  // what waits would fail the same way
      }
      failure_ = std::move(failed);  // the host hears of it once
      if (recovering_) continue;
    }
    if (!hasWaiting_ && resendNewest_ && !failed) {
      waiting_ = newest_;
      hasWaiting_ = true;
    }
    resendNewest_ = false;
    if (!hasWaiting_) SetIdle();
  }
}

// Waits while the driver holds a frame or more. A driver that cannot tell
// reads 0 and never waits.
void WidgetLink::WaitForShortQueue(std::unique_lock<std::mutex>& lock, SerialComponent& port) {
  const SteadyClock::time_point giveUpAt = SteadyClock::now() + timing_.queueWaitLimit;
  for (;;) {
    lock.unlock();
    size_t queued = 0;
    GuardedStep([&] { queued = port.OutputQueueBytes(); });
    lock.lock();
    if (queued < UniverseFrame::kSize || stop_ || SteadyClock::now() >= giveUpAt) return;
    work_.wait_for(lock, timing_.queuePoll, [&] { return stop_; });
  }
}

// Closes the lost port and reopens it every reopenInterval until it takes
// the initial frame, then leaves the newest universe waiting; or until the
// host asks for the port back.
void WidgetLink::Recover(std::unique_lock<std::mutex>& lock) {
  SerialComponent& port = *writerPort_;
  const int16_t number = port.CommPort();
  for (;;) {
    lock.unlock();
    GuardedStep([&] {
      if (port.PortOpen()) port.SetPortOpen(false);
    });
    lock.lock();
    if (work_.wait_for(lock, timing_.reopenInterval, [&] { return endRecovery_ || stop_; })) break;
    lock.unlock();
    // The port number is resolved afresh by the open; whatever device
    // answers there now is the user's choice.
    GuardedStep([&] {
      if (port.CommPort() != number) port.SetCommPort(number);
    });
    const bool reopened =
        !Attempt([&] { port.SetPortOpen(true); }) && !Attempt([&] { port.Output(InitialFrame()); });
    lock.lock();
    if (reopened) {
      recovering_ = false;
      endRecovery_ = false;
      if (hasNewest_) {
        waiting_ = newest_;
        hasWaiting_ = true;
        // A widget that stalled may still hold the start of a cut frame,
        // which swallows what follows until it resynchronises: the newest
        // goes twice, so that one arrives whole.
        resendNewest_ = status_.failure == static_cast<int32_t>(ErrorNumber::kPortWriteTimedOut);
      }
      EndOutage();
      return;
    }
  }
  // The host takes the port back as it is: closed.
  recovering_ = false;
  endRecovery_ = false;
  hasWaiting_ = false;
  SetIdle();
}

// Under mutex_.
void WidgetLink::BeginOutage(const Failure& failure) {
  recovering_ = true;
  busy_ = true;
  inFlightSize_ = 0;
  hasWaiting_ = false;
  status_.lost = true;
  status_.failure = failure.number();
  ++status_.outages;
  changedAt_ = SteadyClock::now();
}

// Under mutex_.
void WidgetLink::EndOutage() {
  if (!status_.lost) return;
  const SteadyClock::time_point now = SteadyClock::now();
  status_.lost = false;
  status_.lastOutage = now - changedAt_;
  changedAt_ = now;
}

OutputStatus WidgetLink::OutputState() {
  std::lock_guard lock(mutex_);
  OutputStatus status = status_;
  if (status.outages > 0) status.sinceChange = SteadyClock::now() - changedAt_;
  return status;
}

// Under mutex_.
void WidgetLink::SetIdle() {
  busy_ = false;
  idle_.notify_all();
}

void WidgetLink::FinishSending() {
  // The writer's every write ends within the component's write timeout, and
  // so does an attempt to reopen.
  std::unique_lock lock(mutex_);
  if (recovering_) {
    endRecovery_ = true;
    work_.notify_all();
  }
  idle_.wait(lock, [&] { return !busy_; });
}

void WidgetLink::StopWriter() noexcept {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  writer_.join();
  stop_ = false;
}

}  // namespace lumivane
