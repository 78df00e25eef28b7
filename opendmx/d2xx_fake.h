// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "core/clock.h"
#include "opendmx/d2xx.h"

namespace lumivane {

enum class D2xxCallKind {
  kOpen,
  kResetDevice,
  kSetDivisor,
  kSetDataCharacteristics,
  kSetFlowControl,
  kClrRts,
  kPurge,
  kClose,
  kWrite,
  kSetBreakOn,
  kSetBreakOff,
};

// "FT_Open", "FT_Purge", ...
std::string_view D2xxCallName(D2xxCallKind kind);

// One call as the fake saw it.
struct D2xxCall {
  D2xxCallKind kind;
  Clock::Time enteredAt;  // before the injected cost, on the fake's clock
  Clock::Time returnedAt;
  FT_HANDLE handle = 0;             // for FT_Open: the handle handed out, or 0
  std::vector<uint32_t> arguments;  // the numeric arguments after the handle
  std::vector<uint8_t> data;        // FT_Write: the bytes
  FT_STATUS status = FT_OK;
};

// A scripted D2XX: records every call with monotonic timestamps and its
// arguments, succeeds unless told to fail a call, and hands out handles
// 1, 2, 3, ... Thread-safe: the transmitter calls it on its own thread while
// a test reads the record.
class D2xxFake final : public D2xx {
 public:
  static constexpr int kEveryCall = 0;

  // Fails the nth call of a kind (counting from 1, over the fake's life), or
  // every call of it with kEveryCall.
  void FailCall(D2xxCallKind kind, int nth = kEveryCall, FT_STATUS status = FT_IO_ERROR);
  // The device goes away: FT_Open fails with FT_DEVICE_NOT_FOUND, and every
  // call but FT_Close on a handle opened before fails with FT_IO_ERROR, also
  // after it returns. Replug brings it back to FT_Open.
  void Unplug();
  void Replug();
  // FT_Write reports this many bytes written instead of all of them.
  void ShortenWrites(uint32_t bytesWritten);
  // Every call spends this long (a blocking sleep) before it returns, to
  // stand in for the USB round trip.
  void SetCallCost(std::chrono::nanoseconds cost);
  void SetCallCost(D2xxCallKind kind, std::chrono::nanoseconds cost);
  // Time stamps come from, and costs are spent on, this clock instead of
  // the steady clock and a real sleep: with a test's fake clock a call's
  // cost moves that clock's time, so a schedule can be checked exactly.
  void UseClock(Clock& clock);

  std::vector<D2xxCall> Calls() const;
  std::vector<D2xxCallKind> Kinds() const;
  size_t CountOf(D2xxCallKind kind) const;
  size_t CallCount() const;
  void ClearCalls();

  FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override;
  FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
  FT_STATUS FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) override;
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                      uint8_t parity) override;
  FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon,
                              uint8_t xoff) override;
  FT_STATUS FT_ClrRts(FT_HANDLE handle) override;
  FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) override;
  FT_STATUS FT_Close(FT_HANDLE handle) override;
  FT_STATUS FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t bytesToWrite,
                     uint32_t* bytesWritten) override;
  FT_STATUS FT_SetBreakOn(FT_HANDLE handle) override;
  FT_STATUS FT_SetBreakOff(FT_HANDLE handle) override;

 private:
  // Records the call and decides its status.
  FT_STATUS Record(D2xxCall& call);
  Clock::Time Now();

  mutable std::mutex mutex_;
  std::vector<D2xxCall> calls_;
  std::map<D2xxCallKind, int> seen_;
  std::map<D2xxCallKind, std::vector<std::pair<int, FT_STATUS>>> failures_;
  std::map<D2xxCallKind, std::chrono::nanoseconds> costs_;
  std::optional<std::chrono::nanoseconds> costForAll_;
  std::optional<uint32_t> shortWrite_;
  FT_HANDLE lastHandle_ = 0;
  bool unplugged_ = false;
  FT_HANDLE deadUpTo_ = 0;  // handles up to this one lost their device
  Clock* clock_ = nullptr;  // none: the steady clock
};

}  // namespace lumivane
