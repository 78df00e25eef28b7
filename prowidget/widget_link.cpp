// SPDX-License-Identifier: MIT
#include "prowidget/widget_link.h"

#include <algorithm>
#include <exception>
#include <string>

#include "core/guarded_step.h"
#include "core/number_text.h"
#include "prowidget/serial_steps.h"

namespace lumivane {

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
  GuardedStep([&] { MSComm1().Output(InitialFrame()); });
  proPortOpen_ = true;
}

void WidgetLink::CloseProPort() {
  if (!proPortOpen_) return;
  FinishSending();
  StopWriter();
  {
    // Closing has never failed for a write; the port it belongs to goes.
    std::lock_guard lock(mutex_);
    failure_.reset();
  }
  MSComm1().SetPortOpen(false);
  proPortOpen_ = false;
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
  const size_t sent = port.OutputWithoutWaiting(frame);
  if (sent == frame.size()) return;
  if (!writer_.joinable()) writer_ = std::thread([this] { RunWriter(); });
  {
    std::lock_guard lock(mutex_);
    inFlightSize_ = frame.size() - sent;
    std::copy(frame.begin() + static_cast<std::ptrdiff_t>(sent), frame.end(), inFlight_.begin());
    writerPort_ = &port;
    busy_ = true;
  }
  work_.notify_one();
}

void WidgetLink::RunWriter() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return busy_ || stop_; });
    if (!busy_) return;  // stopped while idle
    if (inFlightSize_ == 0) {
      inFlight_ = waiting_;
      inFlightSize_ = inFlight_.size();
      hasWaiting_ = false;
    }
    const std::string_view data(inFlight_.data(), inFlightSize_);
    SerialComponent* port = writerPort_;
    lock.unlock();
    std::optional<Failure> failed;
    try {
      port->Output(data);
    } catch (const Failure& failure) {
      failed = failure;
    } catch (const std::exception& e) {
      failed = Failure(ErrorNumber::kPortWriteFailed, e.what());
    } catch (...) {
      failed = Failure(ErrorNumber::kPortWriteFailed);
    }
    lock.lock();
    inFlightSize_ = 0;
    if (failed) {
      // What waits would fail the same way; the host hears of it once.
      failure_ = std::move(failed);
      hasWaiting_ = false;
    }
    if (!hasWaiting_) {
      busy_ = false;
      idle_.notify_all();
    }
  }
}

void WidgetLink::FinishSending() {
  // The writer's every write ends within the component's write timeout.
  std::unique_lock lock(mutex_);
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
