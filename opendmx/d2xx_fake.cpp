// SPDX-License-Identifier: MIT
#include "opendmx/d2xx_fake.h"

#include <algorithm>
#include <array>
#include <thread>
#include <utility>

namespace lumivane {
namespace {

constexpr std::array<std::pair<D2xxCallKind, std::string_view>, 11> kNames{{
    {D2xxCallKind::kOpen, "FT_Open"},
    {D2xxCallKind::kResetDevice, "FT_ResetDevice"},
    {D2xxCallKind::kSetDivisor, "FT_SetDivisor"},
    {D2xxCallKind::kSetDataCharacteristics, "FT_SetDataCharacteristics"},
    {D2xxCallKind::kSetFlowControl, "FT_SetFlowControl"},
    {D2xxCallKind::kClrRts, "FT_ClrRts"},
    {D2xxCallKind::kPurge, "FT_Purge"},
    {D2xxCallKind::kClose, "FT_Close"},
    {D2xxCallKind::kWrite, "FT_Write"},
    {D2xxCallKind::kSetBreakOn, "FT_SetBreakOn"},
    {D2xxCallKind::kSetBreakOff, "FT_SetBreakOff"},
}};

D2xxCall NewCall(D2xxCallKind kind, FT_HANDLE handle, std::vector<uint32_t> arguments = {}) {
  D2xxCall call{kind, {}, {}, handle, std::move(arguments), {}, FT_OK};
  return call;
}

}  // namespace

std::string_view D2xxCallName(D2xxCallKind kind) {
  for (const auto& [k, name] : kNames) {
    if (k == kind) return name;
  }
  return "?";
}

void D2xxFake::FailCall(D2xxCallKind kind, int nth, FT_STATUS status) {
  std::lock_guard lock(mutex_);
  failures_[kind].emplace_back(nth, status);
}

void D2xxFake::Unplug() {
  std::lock_guard lock(mutex_);
  unplugged_ = true;
  deadUpTo_ = lastHandle_;
}

void D2xxFake::Replug() {
  std::lock_guard lock(mutex_);
  unplugged_ = false;
}

void D2xxFake::ShortenWrites(uint32_t bytesWritten) {
  std::lock_guard lock(mutex_);
  shortWrite_ = bytesWritten;
}

void D2xxFake::SetCallCost(std::chrono::nanoseconds cost) {
  std::lock_guard lock(mutex_);
  costForAll_ = cost;
}

void D2xxFake::SetCallCost(D2xxCallKind kind, std::chrono::nanoseconds cost) {
  std::lock_guard lock(mutex_);
  costs_[kind] = cost;
}

void D2xxFake::UseClock(Clock& clock) {
  std::lock_guard lock(mutex_);
  clock_ = &clock;
}

Clock::Time D2xxFake::Now() {
  Clock* clock = nullptr;
  {
    std::lock_guard lock(mutex_);
    clock = clock_;
  }
  if (clock != nullptr) return clock->Now();
  return std::chrono::duration_cast<Clock::Time>(
      std::chrono::steady_clock::now().time_since_epoch());
}

std::vector<D2xxCall> D2xxFake::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<D2xxCallKind> D2xxFake::Kinds() const {
  std::lock_guard lock(mutex_);
  std::vector<D2xxCallKind> kinds;
  kinds.reserve(calls_.size());
  for (const auto& call : calls_) kinds.push_back(call.kind);
  return kinds;
}

size_t D2xxFake::CountOf(D2xxCallKind kind) const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count_if(calls_.begin(), calls_.end(),
                                           [kind](const D2xxCall& c) { return c.kind == kind; }));
}

size_t D2xxFake::CallCount() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

void D2xxFake::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

FT_STATUS D2xxFake::Record(D2xxCall& call) {
  call.enteredAt = Now();
  std::chrono::nanoseconds cost{0};
  Clock* clock = nullptr;
  {
    std::lock_guard lock(mutex_);
    int nth = ++seen_[call.kind];
    for (const auto& [when, status] : failures_[call.kind]) {
      if (when == kEveryCall || when == nth) {
        call.status = status;
        break;
      }
    }
    if (call.kind == D2xxCallKind::kOpen && unplugged_) {
      call.status = FT_DEVICE_NOT_FOUND;
    } else if (call.kind != D2xxCallKind::kOpen && call.kind != D2xxCallKind::kClose &&
               call.handle != 0 && call.handle <= deadUpTo_) {
      call.status = FT_IO_ERROR;
    }
    if (call.kind == D2xxCallKind::kOpen && call.status == FT_OK) call.handle = ++lastHandle_;
    if (auto it = costs_.find(call.kind); it != costs_.end()) {
      cost = it->second;
    } else if (costForAll_) {
      cost = *costForAll_;
    }
    clock = clock_;
  }
  if (cost.count() > 0) {
    if (clock != nullptr) {
      clock->SleepFor(cost);
    } else {
      std::this_thread::sleep_for(cost);
    }
  }
  call.returnedAt = Now();
  std::lock_guard lock(mutex_);
  calls_.push_back(call);
  return call.status;
}

FT_STATUS D2xxFake::FT_Open(int deviceNumber, FT_HANDLE* handle) {
  auto call = NewCall(D2xxCallKind::kOpen, 0, {static_cast<uint32_t>(deviceNumber)});
  FT_STATUS status = Record(call);
  if (status == FT_OK && handle != nullptr) *handle = call.handle;
  return status;
}

FT_STATUS D2xxFake::FT_ResetDevice(FT_HANDLE handle) {
  auto call = NewCall(D2xxCallKind::kResetDevice, handle);
  return Record(call);
}

FT_STATUS D2xxFake::FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) {
  auto call = NewCall(D2xxCallKind::kSetDivisor, handle, {divisor});
  return Record(call);
}

FT_STATUS D2xxFake::FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength,
                                              uint8_t stopBits, uint8_t parity) {
  auto call =
      NewCall(D2xxCallKind::kSetDataCharacteristics, handle, {wordLength, stopBits, parity});
  return Record(call);
}

FT_STATUS D2xxFake::FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon,
                                      uint8_t xoff) {
  auto call = NewCall(D2xxCallKind::kSetFlowControl, handle, {flowControl, xon, xoff});
  return Record(call);
}

FT_STATUS D2xxFake::FT_ClrRts(FT_HANDLE handle) {
  auto call = NewCall(D2xxCallKind::kClrRts, handle);
  return Record(call);
}

FT_STATUS D2xxFake::FT_Purge(FT_HANDLE handle, uint32_t mask) {
  auto call = NewCall(D2xxCallKind::kPurge, handle, {mask});
  return Record(call);
}

FT_STATUS D2xxFake::FT_Close(FT_HANDLE handle) {
  auto call = NewCall(D2xxCallKind::kClose, handle);
  return Record(call);
}

FT_STATUS D2xxFake::FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t bytesToWrite,
                             uint32_t* bytesWritten) {
  auto call = NewCall(D2xxCallKind::kWrite, handle, {bytesToWrite});
  if (buffer != nullptr) call.data.assign(buffer, buffer + bytesToWrite);
  FT_STATUS status = Record(call);
  if (bytesWritten != nullptr) {
    uint32_t written = 0;
    if (status == FT_OK) {
      std::lock_guard lock(mutex_);
      written = shortWrite_ ? std::min(*shortWrite_, bytesToWrite) : bytesToWrite;
    }
    *bytesWritten = written;
  }
  return status;
}

FT_STATUS D2xxFake::FT_SetBreakOn(FT_HANDLE handle) {
  auto call = NewCall(D2xxCallKind::kSetBreakOn, handle);
  return Record(call);
}

FT_STATUS D2xxFake::FT_SetBreakOff(FT_HANDLE handle) {
  auto call = NewCall(D2xxCallKind::kSetBreakOff, handle);
  return Record(call);
}

}  // namespace lumivane
