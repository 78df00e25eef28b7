// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/widget_frame_parser.h"
#include "posix/unique_fd.h"

namespace lumivane::sim {

// A DMX USB Pro emulated on a pseudo-terminal, for tests, the demo and
// benchmarks. It owns the pty's master side and keeps it open; devicePath()
// is the slave, the tty a program opens as the widget's serial port (link a
// port number to it with the port map).
//
// A thread of its own reads what the port writes, parses it as widget
// messages (resynchronising on bad input) and records each message with the
// time it was complete. It answers:
//   label 10 (serial number request) with label 10, 4 bytes: the serial,
//            lowest byte first, so serial 0x12345678 goes out 78 56 34 12
//            and reads back as "12345678";
//   label 3  (widget parameters request) with label 3, 5 bytes: firmware
//            low, firmware high, break 9, mark-after-break 1, rate 40.
// Other labels are recorded and not answered.
//
// It can keep a real link's pace: with a link rate it takes the port's
// bytes no faster than that (the pty's buffer fills and the port's writes
// wait, as on a saturated USB link), and it puts DMX packets on its line
// as a widget does: at most one per DMX packet time (22.7 ms for 512
// channels), each the newest complete frame it holds by then.
//
// It can misbehave on request: stay silent, answer late, answer garbage,
// stop reading (so the port's writes stall once the pty buffer is full),
// or vanish (close the master: the port's next write gets EIO, a hang-up).
//
// Every member may be called from any thread. Destroying it stops its
// thread and closes the master.
//
//   sim::WidgetSimulator widget;
//   portMap.Link(3, widget.devicePath());     // port 3 is now this widget
//   ... init, SetChannel ...
//   widget.WaitForMessages(2, 5s);            // the initial frame and one more
//   widget.Levels()[0];                       // channel 1 as the widget got it
//   widget.SetReading(false);                 // the next writes time out
//   widget.Vanish();                          // the next write finds it gone
class WidgetSimulator {
 public:
  struct Message {
    std::chrono::steady_clock::time_point at;
    WidgetFrame frame;
  };
  enum class Replies { kAnswer, kSilent, kGarbage };
  static constexpr size_t kDefaultRecordLimit = 10000;
  static constexpr uint32_t kDefaultSerial = 0x12345678;

  // Throws std::system_error when no pseudo-terminal can be had.
  WidgetSimulator();
  // On a FIFO pair instead of a pty, for an emulator's pipe chardev: it
  // makes BASE.out (the port's bytes, read here) and BASE.in (the replies),
  // and shrinks BASE.out's buffer to `pipeBytes` (rounded up to a page), so
  // little waits between the port and the widget. devicePath() is BASE.
  // A FIFO has no hang-up: PortOpen() and CloseCount() tell nothing there.
  WidgetSimulator(const std::string& fifoBase, int pipeBytes);
  ~WidgetSimulator();
  WidgetSimulator(const WidgetSimulator&) = delete;
  WidgetSimulator& operator=(const WidgetSimulator&) = delete;

  const std::string& devicePath() const { return devicePath_; }

  // How it answers.
  void SetSerial(uint32_t serial);
  void SetFirmware(uint8_t high, uint8_t low);
  void SetReplies(Replies replies);
  void SetReplyDelay(std::chrono::milliseconds delay);
  // What kGarbage sends instead of an answer (default: bytes with no 0x7E).
  void SetGarbage(std::vector<uint8_t> bytes);

  // Bytes per second it takes from the port; 0 (the default): as fast as
  // the machine reads.
  void SetLinkRate(uint32_t bytesPerSecond);

  // False: stop reading the port's output; true: read again.
  void SetReading(bool reading);
  // Closes the master for good: the device is gone. Cannot be undone.
  void Vanish();

  // What it saw. Messages keeps the most recent recordLimit messages;
  // the counts cover everything since the start (or ClearMessages).
  std::vector<Message> Messages() const;
  // Messages numbered `first` and later (the first message since the
  // start or ClearMessages is 0), as far as they are still recorded; `next`
  // receives the number to ask for next time.
  std::vector<Message> Messages(uint64_t first, uint64_t& next) const;
  uint64_t MessageCount() const;
  uint64_t FrameCount() const;  // DMX output messages (label 6)
  // The channel levels of the last DMX output message (zeros before the
  // first); a frame with fewer channels leaves the rest as they were.
  std::array<uint8_t, 512> Levels() const;
  uint64_t ReceivedBytes() const;
  // The last bytes the port wrote (at most kRecentBytes), framed or not:
  // what a device that speaks no widget messages (an Open DMX) was sent.
  static constexpr size_t kRecentBytes = 1024;
  std::vector<uint8_t> RecentBytes() const;
  // DMX packets put on its line since the first frame, and the channel
  // levels of the latest one (zeros before the first).
  uint64_t DmxPacketCount() const;
  std::array<uint8_t, 512> DmxLevels() const;
  uint64_t DroppedBytes() const;  // bytes that were part of no message
  void ClearMessages();
  void SetRecordLimit(size_t limit);

  // True while a program has the port open (the slave side is open).
  bool PortOpen() const;
  uint64_t CloseCount() const;  // times the port was closed after being open

  // Wait until the condition holds or the timeout passes; return whether
  // it holds.
  bool WaitForMessages(uint64_t count, std::chrono::milliseconds timeout) const;
  bool WaitForPortOpen(bool open, std::chrono::milliseconds timeout) const;

 private:
  struct PendingReply {
    std::chrono::steady_clock::time_point due;
    std::vector<uint8_t> bytes;
  };
  void Run();
  void Stop();
  void Handle(const WidgetFrame& frame, std::chrono::steady_clock::time_point at);
  void SendDueReplies();
  void SetPortOpenLocked(bool open);
  // How many bytes the link rate lets it read now; 0 sets `wait` to when
  // more may be read.
  size_t ReadAllowance(size_t most, std::chrono::steady_clock::time_point now,
                       std::chrono::steady_clock::duration& wait);
  void PutDmxPackets(std::chrono::steady_clock::time_point now,
                     std::chrono::steady_clock::duration& wait);
  bool WaitUntil(std::chrono::milliseconds timeout, const std::function<bool()>& holds) const;

  UniqueFd master_;      // the pty's master, or the FIFO the port writes
  UniqueFd replies_fd_;  // the FIFO replies go to; invalid on a pty (master_)
  std::string devicePath_;

  std::mutex vanishing_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stop_ = false;
  bool reading_ = true;
  bool portOpen_ = false;
  uint64_t closeCount_ = 0;
  uint32_t serial_ = kDefaultSerial;
  uint8_t firmwareHigh_ = 1;
  uint8_t firmwareLow_ = 44;
  Replies replies_ = Replies::kAnswer;
  std::chrono::milliseconds replyDelay_{0};
  std::vector<uint8_t> garbage_{0x00, 0x13, 0x55, 0xAA, 0x11, 0xFF};
  std::deque<PendingReply> pending_;
  std::deque<Message> messages_;
  size_t recordLimit_ = kDefaultRecordLimit;
  uint64_t messageCount_ = 0;
  uint64_t frameCount_ = 0;
  uint64_t receivedBytes_ = 0;
  std::deque<uint8_t> recentBytes_;
  uint64_t droppedAtClear_ = 0;
  std::array<uint8_t, 512> levels_{};
  size_t slots_ = 0;  // start code and channels of the newest frame
  uint32_t linkRate_ = 0;
  double credit_ = 0;  // bytes the link rate allows, up to a short burst
  std::chrono::steady_clock::time_point creditAt_{};
  std::chrono::steady_clock::time_point nextPacketAt_{};
  uint64_t dmxPacketCount_ = 0;
  std::array<uint8_t, 512> dmxLevels_{};
  WidgetFrameParser parser_;

  std::thread thread_;
};

}  // namespace lumivane::sim
