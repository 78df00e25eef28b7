// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace lumivane {

// The D2XX calls the Open DMX link uses, with D2XX's own shapes: every call
// returns a status, FT_OK on success; any other value is a failure.
using FT_STATUS = uint32_t;
using FT_HANDLE = uint32_t;  // 0 is never a valid handle

inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_STATUS FT_INVALID_HANDLE = 1;
inline constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
inline constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
inline constexpr FT_STATUS FT_IO_ERROR = 4;
inline constexpr FT_STATUS FT_INSUFFICIENT_RESOURCES = 5;
inline constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
inline constexpr FT_STATUS FT_INVALID_BAUD_RATE = 7;

inline constexpr uint8_t FT_BITS_8 = 8;
inline constexpr uint8_t FT_BITS_7 = 7;
inline constexpr uint8_t FT_STOP_BITS_1 = 0;
inline constexpr uint8_t FT_STOP_BITS_2 = 2;
inline constexpr uint8_t FT_PARITY_NONE = 0;
inline constexpr uint16_t FT_FLOW_NONE = 0x0000;
inline constexpr uint32_t FT_PURGE_RX = 1;
inline constexpr uint32_t FT_PURGE_TX = 2;

// Calls on one handle must not overlap each other or its FT_Close; calls on
// different handles may come from different threads.
class D2xx {
 public:
  virtual ~D2xx() = default;

  // Opens the deviceNumber-th device; writes the handle only on success.
  virtual FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) = 0;
  virtual FT_STATUS FT_ResetDevice(FT_HANDLE handle) = 0;
  // Line rate 3 MHz / divisor.
  virtual FT_STATUS FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) = 0;
  virtual FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength,
                                              uint8_t stopBits, uint8_t parity) = 0;
  virtual FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon,
                                      uint8_t xoff) = 0;
  virtual FT_STATUS FT_ClrRts(FT_HANDLE handle) = 0;
  // mask: FT_PURGE_RX, FT_PURGE_TX or both.
  virtual FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) = 0;
  // The handle is gone afterwards, also when the close reports a failure.
  virtual FT_STATUS FT_Close(FT_HANDLE handle) = 0;
  virtual FT_STATUS FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t bytesToWrite,
                             uint32_t* bytesWritten) = 0;
  virtual FT_STATUS FT_SetBreakOn(FT_HANDLE handle) = 0;
  virtual FT_STATUS FT_SetBreakOff(FT_HANDLE handle) = 0;
};

}  // namespace lumivane
