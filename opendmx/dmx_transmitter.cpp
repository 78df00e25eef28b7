// SPDX-License-Identifier: MIT
#include "opendmx/dmx_transmitter.h"

#include <algorithm>
#include <utility>

#include "opendmx/open_dmx_setup.h"

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
    handle_ = handle;
    away_ = false;
  }
  transmitting_ = true;
  try {
    thread_ = std::thread(&DmxTransmitter::Run, this);
  } catch (...) {
    transmitting_ = false;
    std::lock_guard lock(mutex_);
    handle_ = 0;
    throw;
  }
}

FT_HANDLE DmxTransmitter::Stop() noexcept {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  if (!thread_.joinable()) return 0;
  thread_.join();
  transmitting_ = false;
  std::lock_guard lock(mutex_);
  away_ = false;
  return std::exchange(handle_, 0);
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

bool DmxTransmitter::deviceAway() const {
  std::lock_guard lock(mutex_);
  return away_;
}

bool DmxTransmitter::WaitForFirstFrame() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return frameStaged_ || stopRequested_; });
  return !stopRequested_;
}

bool DmxTransmitter::StopRequested() {
  std::lock_guard lock(mutex_);
  return stopRequested_;
}

void DmxTransmitter::Run() {
  clock_.PrepareTimingThread();
  if (!WaitForFirstFrame()) return;
  for (;;) {
    const TransmitFailure failure = SendPackets();
    if (failure == TransmitFailure::kNone) return;
    LoseDevice(failure);
    if (!Reopen()) return;
  }
}

// Packets until a call fails (its failure) or Stop (kNone).
TransmitFailure DmxTransmitter::SendPackets() {
  FT_HANDLE handle = 0;
  {
    std::lock_guard lock(mutex_);
    handle = handle_;
  }
  auto next = clock_.Now();
  while (!StopRequested()) {
    Clock::Time writeStart{};
    const TransmitFailure failure = SendPacket(handle, writeStart);
    if (failure != TransmitFailure::kNone) return failure;
    {
      std::lock_guard lock(mutex_);
      away_ = false;
    }
    // Each period counts from the previous packet's start, not its end.
    next += timing_.period;
    next = std::max({next, writeStart + timing_.writeToNextBreak, clock_.Now()});
    clock_.SleepUntil(next);
  }
  return TransmitFailure::kNone;
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

// The handle of a device that went away is of no further use; its close
// may fail as well, and nobody is to be told about that.
void DmxTransmitter::LoseDevice(TransmitFailure failure) {
  FT_HANDLE handle = 0;
  {
    std::lock_guard lock(mutex_);
    handle = std::exchange(handle_, 0);
    if (!away_) failure_ = failure;
    away_ = true;
  }
  d2xx_.FT_Close(handle);
}

// Tries at once, then every retry interval, sleeping in slices of one
// period so that a Stop is never held longer than a packet would hold it.
// False when stopped.
bool DmxTransmitter::Reopen() {
  while (!StopRequested()) {
    const FT_HANDLE handle = OpenForDmx(d2xx_);
    if (handle != 0) {
      std::lock_guard lock(mutex_);
      handle_ = handle;
      return true;
    }
    const auto retryAt = clock_.Now() + timing_.retryInterval;
    for (auto now = clock_.Now(); now < retryAt && !StopRequested(); now = clock_.Now()) {
      clock_.SleepUntil(std::min(retryAt, now + timing_.period));
    }
  }
  return false;
}

}  // namespace lumivane
