// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "core/clock.h"
#include "core/driver_state.h"
#include "opendmx/d2xx.h"

namespace lumivane {

// DMX512 line timing. The break and the mark after break count from the
// return of the call that set them, so they are at least this long.
struct DmxTiming {
  std::chrono::nanoseconds period = std::chrono::microseconds(25000);       // 40 packets/s
  std::chrono::nanoseconds breakTime = std::chrono::microseconds(110);      // at least 92
  std::chrono::nanoseconds markAfterBreak = std::chrono::microseconds(16);  // at least 12
  // No break may start while the previous packet can still be on the line.
  // A write returns once the device has taken the bytes, not once they left,
  // and its bytes cannot reach the line before it starts: 513 slots of 11
  // bits at 250000 baud take 22.572 ms from the write's start. The 250 us
  // beyond that cover the write's first USB packet reaching the chip (64
  // bytes at 12 Mbit/s, about 50 us on the bus) behind the host's own
  // scheduling. A whole USB frame of margin (1 ms) made the break's two
  // control transfers, about 1 ms each on a real bus, lengthen every period;
  // with this one they fit in it.
  std::chrono::nanoseconds writeToNextBreak = std::chrono::microseconds(22572 + 250);
  // While the device is away, how often it is opened again: a replugged
  // interface is back within about this long.
  std::chrono::nanoseconds retryInterval = std::chrono::milliseconds(250);
};

// What made a transmitter lose its device.
enum class TransmitFailure {
  kNone,
  kBreak,  // FT_SetBreakOn or FT_SetBreakOff failed
  kWrite,  // FT_Write failed or took fewer than all bytes
};

// Puts the latest staged frame on an open D2XX handle, packet after packet,
// on its own thread: break, mark after break, then start code 0 and the 512
// channel bytes in one write. Packets start on an absolute schedule, one
// period apart; a late packet moves the schedule rather than bursting, and
// no break comes while the previous packet may still be on the line.
//
// A failing call means the device went away: D2XX reports a removal as an
// I/O error like any other, so every failure is treated as one. The thread
// closes the handle and opens device 0 again with the whole set-up, at once
// and then every retry interval, until it succeeds or Stop; packets then
// resume with the latest staged frame. The failure is kept for TakeFailure
// once per outage (an outage ends with the first whole packet after it) and
// never reported from the transmitter's thread.
//
// Start, Stop and TakeFailure belong to the owning (host) thread; Stage and
// the queries may be called from any thread.
class DmxTransmitter {
 public:
  static constexpr uint32_t kPacketSize = 1 + kChannelCount;

  DmxTransmitter(D2xx& d2xx, Clock& clock, DmxTiming timing = {});
  ~DmxTransmitter();
  DmxTransmitter(const DmxTransmitter&) = delete;
  DmxTransmitter& operator=(const DmxTransmitter&) = delete;

  // Starts a thread on the handle, stopping a running one first; the
  // transmitter holds the handle until Stop. Sends nothing until a frame is
  // staged after this call.
  void Start(FT_HANDLE handle);
  // Stops and joins the thread, never held longer than one period and a
  // call in progress; no D2XX call happens after it returns. Hands back the
  // handle it holds (the one it was started on, or the one it opened after
  // a loss) for the owner to close: 0 when the device is away, or when no
  // thread ran.
  FT_HANDLE Stop() noexcept;
  // The next packet carries this frame whole.
  void Stage(std::span<const uint8_t, kChannelCount> levels);
  // The failure that began the latest outage, once; kNone afterwards.
  TransmitFailure TakeFailure();
  // True from Start until Stop.
  bool transmitting() const { return transmitting_.load(); }
  // True from a failing call until a whole packet went out again.
  bool deviceAway() const;

 private:
  void Run();
  bool WaitForFirstFrame();
  bool StopRequested();
  TransmitFailure SendPackets();
  TransmitFailure SendPacket(FT_HANDLE handle, Clock::Time& writeStart);
  void LoseDevice(TransmitFailure failure);
  bool Reopen();

  D2xx& d2xx_;
  Clock& clock_;
  const DmxTiming timing_;

  mutable std::mutex mutex_;  // guards the fields below it
  std::condition_variable wake_;
  std::array<uint8_t, kChannelCount> staged_{};
  bool frameStaged_ = false;
  bool stopRequested_ = false;
  TransmitFailure failure_ = TransmitFailure::kNone;
  FT_HANDLE handle_ = 0;  // written by the thread while it runs
  bool away_ = false;

  std::atomic<bool> transmitting_{false};
  std::array<uint8_t, kPacketSize> packet_{};  // the thread's own
  std::thread thread_;
};

}  // namespace lumivane
