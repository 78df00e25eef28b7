// SPDX-License-Identifier: MIT
#include "opendmx/dmx_transmitter.h"

#include <algorithm>
#include <utility>

namespace lumivane {

DmxTransmitter::DmxTransmitter(D2xx& d2xx, Clock& clock, DmxTiming timing)
    : d2xx_(d2xx), clock_(clock), timing_(timing) {}

DmxTransmitter::~DmxTransmitter() {
  Stop();
}

void DmxTransmitter::Start(FT_HANDLE handle) {
  Stop();
  {
    std::lock_guard lock(mutex_);
    frameStaged_ = false;
    stopRequested_ = false;
    failure_ = TransmitFailure::kNone;
  }
  transmitting_ = true;
  try {
    thread_ = std::thread(&DmxTransmitter::Run, this, handle);
  } catch (...) {
    transmitting_ = false;
    throw;
  }
}

void DmxTransmitter::Stop() noexcept {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  transmitting_ = false;
}

void DmxTransmitter::Stage(std::span<const uint8_t, kChannelCount> levels) {
  {
    std::lock_guard lock(mutex_);
    std::copy(levels.begin(), levels.end(), staged_.begin());
    frameStaged_ = true;
  }
  wake_.notify_all();
}

TransmitFailure DmxTransmitter::TakeFailure() {
  std::lock_guard lock(mutex_);
  return std::exchange(failure_, TransmitFailure::kNone);
}

bool DmxTransmitter::WaitForFirstFrame() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return frameStaged_ || stopRequested_; });
  return !stopRequested_;
}

void DmxTransmitter::Run(FT_HANDLE handle) {
  clock_.PrepareTimingThread();
  if (!WaitForFirstFrame()) return;
  auto next = clock_.Now();
  for (;;) {
    Clock::Time writeStart{};
    TransmitFailure failure = SendPacket(handle, writeStart);
    if (failure != TransmitFailure::kNone) {
      std::lock_guard lock(mutex_);
      failure_ = failure;
      transmitting_ = false;
      return;
    }
    // Each period counts from the previous packet's start, not its end.
    next += timing_.period;
    next = std::max({next, writeStart + timing_.writeToNextBreak, clock_.Now()});
    clock_.SleepUntil(next);
    std::lock_guard lock(mutex_);
    if (stopRequested_) return;
  }
}

TransmitFailure DmxTransmitter::SendPacket(FT_HANDLE handle, Clock::Time& writeStart) {
  if (d2xx_.FT_SetBreakOn(handle) != FT_OK) return TransmitFailure::kBreak;
  clock_.SleepUntil(clock_.Now() + timing_.breakTime);
  if (d2xx_.FT_SetBreakOff(handle) != FT_OK) return TransmitFailure::kBreak;
  clock_.SleepUntil(clock_.Now() + timing_.markAfterBreak);
  {
    std::lock_guard lock(mutex_);
    packet_[0] = 0;  // start code: dimmer levels
    std::copy(staged_.begin(), staged_.end(), packet_.begin() + 1);
  }
  uint32_t written = 0;
  writeStart = clock_.Now();
  FT_STATUS status = d2xx_.FT_Write(handle, packet_.data(), kPacketSize, &written);
  if (status != FT_OK || written != kPacketSize) return TransmitFailure::kWrite;
  return TransmitFailure::kNone;
}

}  // namespace lumivane
