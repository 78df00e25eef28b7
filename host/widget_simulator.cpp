// SPDX-License-Identifier: MIT
#include "host/widget_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace lumivane::sim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kIdlePoll = std::chrono::milliseconds(5);
// What the link rate may take in one go after a pause: enough that a busy
// machine, late to wake this thread, does not slow the link below its rate.
constexpr auto kLinkBurst = std::chrono::milliseconds(8);

// A DMX packet on the line at 250 kbit/s: break, mark after break, then 44 us
// for each slot (the start code and the channels).
Clock::duration DmxPacketTime(size_t slots) {
  return std::chrono::microseconds(96 + 11 + 44 * static_cast<int64_t>(slots));
}

[[noreturn]] void ThrowSystem(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

std::vector<uint8_t> Encode(uint8_t label, std::vector<uint8_t> payload) {
  WidgetFrame frame{label, std::move(payload)};
  return frame.bytes();
}

}  // namespace

WidgetSimulator::WidgetSimulator() {
  master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!master_.ok()) ThrowSystem("posix_openpt");
  if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) ThrowSystem("unlockpt");
  char name[128];
  if (::ptsname_r(master_.get(), name, sizeof name) != 0) ThrowSystem("ptsname");
  devicePath_ = name;
  // Raw from the start: a line discipline that echoes would send the
  // port's own bytes back to it before the port sets raw mode itself.
  termios line{};
  if (::tcgetattr(master_.get(), &line) != 0) ThrowSystem("tcgetattr");
  ::cfmakeraw(&line);
  if (::tcsetattr(master_.get(), TCSANOW, &line) != 0) ThrowSystem("tcsetattr");
  // Open and close the slave once, so "no one has it open" shows as a
  // hang-up on the master from now on.
  if (!UniqueFd(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)).ok()) {
    ThrowSystem("open pty slave");
  }
  thread_ = std::thread([this] { Run(); });
}

WidgetSimulator::WidgetSimulator(const std::string& fifoBase, int pipeBytes) {
  for (const char* end : {".in", ".out"}) {
    const std::string path = fifoBase + end;
    ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0600) != 0) ThrowSystem("mkfifo");
  }
  // Read-write opens: neither waits for the other side, and the emulator
  // may come and go without a hang-up here.
  master_.reset(::open((fifoBase + ".out").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
  replies_fd_.reset(::open((fifoBase + ".in").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
  if (!master_.ok() || !replies_fd_.ok()) ThrowSystem("open FIFO");
  if (::fcntl(master_.get(), F_SETPIPE_SZ, pipeBytes) < 0) ThrowSystem("F_SETPIPE_SZ");
  devicePath_ = fifoBase;
  thread_ = std::thread([this] { Run(); });
}

WidgetSimulator::~WidgetSimulator() {
  Vanish();
}

void WidgetSimulator::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void WidgetSimulator::Vanish() {
  std::lock_guard once(vanishing_);  // two threads may vanish it at once
  Stop();
  std::lock_guard lock(mutex_);
  master_.reset();
  replies_fd_.reset();
  SetPortOpenLocked(false);
  changed_.notify_all();
}

void WidgetSimulator::SetPortOpenLocked(bool open) {
  if (portOpen_ && !open) ++closeCount_;
  portOpen_ = open;
}

size_t WidgetSimulator::ReadAllowance(size_t most, Clock::time_point now, Clock::duration& wait) {
  if (linkRate_ == 0) return most;
  const double burst =
      std::max(64.0, linkRate_ * std::chrono::duration<double>(kLinkBurst).count());
  credit_ =
      std::min(burst, credit_ + linkRate_ * std::chrono::duration<double>(now - creditAt_).count());
  creditAt_ = now;
  // Small reads at a high rate cost more than they model: wait for a few.
  const double least = std::min(burst, 32.0);
  if (credit_ < least) {
    wait = std::min(wait, std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>((least - credit_) / linkRate_)));
    return 0;
  }
  return std::min(most, static_cast<size_t>(credit_));
}

void WidgetSimulator::PutDmxPackets(Clock::time_point now, Clock::duration& wait) {
  if (frameCount_ == 0) return;
  if (now >= nextPacketAt_) {
    ++dmxPacketCount_;
    dmxLevels_ = levels_;
    nextPacketAt_ = std::max(nextPacketAt_ + DmxPacketTime(slots_), now);
  }
  wait = std::min(wait, nextPacketAt_ - now);
}

void WidgetSimulator::Run() {
  std::array<uint8_t, 4096> buffer;
  std::unique_lock lock(mutex_);
  while (!stop_) {
    SendDueReplies();
    const auto now = Clock::now();
    Clock::duration wait = kIdlePoll;
    if (!pending_.empty()) {
      wait = std::clamp<Clock::duration>(pending_.front().due - now, Clock::duration::zero(),
                                         kIdlePoll);
    }
    PutDmxPackets(now, wait);
    const size_t allowance = reading_ ? ReadAllowance(buffer.size(), now, wait) : 0;
    pollfd p{master_.get(), static_cast<short>(allowance > 0 ? POLLIN : 0), 0};
    lock.unlock();
    const timespec timeout{0, std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count()};
    const int ready = ::ppoll(&p, 1, &timeout, nullptr);
    ssize_t n = 0;
    if (ready > 0 && (p.revents & POLLIN) != 0) n = ::read(master_.get(), buffer.data(), allowance);
    const int readError = n < 0 ? errno : 0;
    lock.lock();

    if (n > 0) {
      SetPortOpenLocked(true);
      receivedBytes_ += static_cast<uint64_t>(n);
      if (linkRate_ > 0) credit_ -= static_cast<double>(n);
      recentBytes_.insert(recentBytes_.end(), buffer.begin(), buffer.begin() + n);
      if (recentBytes_.size() > kRecentBytes) {
        recentBytes_.erase(recentBytes_.begin(),
                           recentBytes_.end() - static_cast<std::ptrdiff_t>(kRecentBytes));
      }
      const auto at = Clock::now();
      for (const WidgetFrame& frame :
           parser_.Feed(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)))) {
        Handle(frame, at);
      }
      changed_.notify_all();
      continue;
    }
    // Out of link credit it does not look at the input, so a hang-up may
    // still have bytes behind it: judge it once it reads again.
    if (reading_ && allowance == 0) {
      if (ready > 0) changed_.wait_for(lock, wait);  // a hang-up wakes poll at once
      continue;
    }
    const bool hungUp = readError == EIO || (ready > 0 && (p.revents & POLLHUP) != 0);
    if (hungUp != !portOpen_) {
      SetPortOpenLocked(!hungUp);
      changed_.notify_all();
    }
    // poll reports a hang-up at once, every time: wait instead of spinning.
    if (hungUp || ready < 0) changed_.wait_for(lock, kIdlePoll);
  }
}

void WidgetSimulator::Handle(const WidgetFrame& frame, Clock::time_point at) {
  ++messageCount_;
  if (frame.label == 6) {
    ++frameCount_;
    if (frameCount_ == 1) nextPacketAt_ = at;
    slots_ = std::max<size_t>(frame.payload.size(), 1);
    if (frame.payload.size() > 1) {  // after the start code
      std::copy_n(frame.payload.begin() + 1, std::min(frame.payload.size() - 1, levels_.size()),
                  levels_.begin());
    }
  }
  messages_.push_back({at, frame});
  while (messages_.size() > recordLimit_) messages_.pop_front();

  std::vector<uint8_t> reply;
  if (frame.label == 10) {
    reply = Encode(10, {static_cast<uint8_t>(serial_), static_cast<uint8_t>(serial_ >> 8),
                        static_cast<uint8_t>(serial_ >> 16), static_cast<uint8_t>(serial_ >> 24)});
  } else if (frame.label == 3) {
    reply = Encode(3, {firmwareLow_, firmwareHigh_, 9, 1, 40});
  } else {
    return;
  }
  if (replies_ == Replies::kSilent) return;
  if (replies_ == Replies::kGarbage) reply = garbage_;
  pending_.push_back({at + replyDelay_, std::move(reply)});
}

void WidgetSimulator::SendDueReplies() {
  const auto now = Clock::now();
  while (!pending_.empty() && pending_.front().due <= now) {
    const std::vector<uint8_t>& bytes = pending_.front().bytes;
    // A port that does not read its input loses the reply, as on a wire.
    const int out = replies_fd_.ok() ? replies_fd_.get() : master_.get();
    if (!bytes.empty() && ::write(out, bytes.data(), bytes.size()) < 0 && errno == EINTR) {
      continue;
    }
    pending_.pop_front();
  }
}

bool WidgetSimulator::WaitUntil(std::chrono::milliseconds timeout,
                                const std::function<bool()>& holds) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, holds);
}

void WidgetSimulator::SetSerial(uint32_t serial) {
  std::lock_guard lock(mutex_);
  serial_ = serial;
}

void WidgetSimulator::SetFirmware(uint8_t high, uint8_t low) {
  std::lock_guard lock(mutex_);
  firmwareHigh_ = high;
  firmwareLow_ = low;
}

void WidgetSimulator::SetReplies(Replies replies) {
  std::lock_guard lock(mutex_);
  replies_ = replies;
}

void WidgetSimulator::SetReplyDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  replyDelay_ = delay;
}

void WidgetSimulator::SetGarbage(std::vector<uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  garbage_ = std::move(bytes);
}

void WidgetSimulator::SetLinkRate(uint32_t bytesPerSecond) {
  std::lock_guard lock(mutex_);
  linkRate_ = bytesPerSecond;
  credit_ = 0;
  creditAt_ = Clock::now();
}

void WidgetSimulator::SetReading(bool reading) {
  std::lock_guard lock(mutex_);
  reading_ = reading;
}

std::vector<WidgetSimulator::Message> WidgetSimulator::Messages() const {
  std::lock_guard lock(mutex_);
  return {messages_.begin(), messages_.end()};
}

std::vector<WidgetSimulator::Message> WidgetSimulator::Messages(uint64_t first,
                                                                uint64_t& next) const {
  std::lock_guard lock(mutex_);
  next = messageCount_;
  const uint64_t oldest = messageCount_ - messages_.size();
  const uint64_t skip = first > oldest ? std::min<uint64_t>(first - oldest, messages_.size()) : 0;
  return {messages_.begin() + static_cast<std::ptrdiff_t>(skip), messages_.end()};
}

uint64_t WidgetSimulator::MessageCount() const {
  std::lock_guard lock(mutex_);
  return messageCount_;
}

uint64_t WidgetSimulator::FrameCount() const {
  std::lock_guard lock(mutex_);
  return frameCount_;
}

std::array<uint8_t, 512> WidgetSimulator::Levels() const {
  std::lock_guard lock(mutex_);
  return levels_;
}

uint64_t WidgetSimulator::ReceivedBytes() const {
  std::lock_guard lock(mutex_);
  return receivedBytes_;
}

std::vector<uint8_t> WidgetSimulator::RecentBytes() const {
  std::lock_guard lock(mutex_);
  return {recentBytes_.begin(), recentBytes_.end()};
}

uint64_t WidgetSimulator::DmxPacketCount() const {
  std::lock_guard lock(mutex_);
  return dmxPacketCount_;
}

std::array<uint8_t, 512> WidgetSimulator::DmxLevels() const {
  std::lock_guard lock(mutex_);
  return dmxLevels_;
}

uint64_t WidgetSimulator::DroppedBytes() const {
  std::lock_guard lock(mutex_);
  return parser_.droppedBytes() - droppedAtClear_;
}

void WidgetSimulator::ClearMessages() {
  std::lock_guard lock(mutex_);
  messages_.clear();
  messageCount_ = frameCount_ = receivedBytes_ = 0;
  droppedAtClear_ = parser_.droppedBytes();
}

void WidgetSimulator::SetRecordLimit(size_t limit) {
  std::lock_guard lock(mutex_);
  recordLimit_ = limit;
  while (messages_.size() > recordLimit_) messages_.pop_front();
}

bool WidgetSimulator::PortOpen() const {
  std::lock_guard lock(mutex_);
  return portOpen_;
}

uint64_t WidgetSimulator::CloseCount() const {
  std::lock_guard lock(mutex_);
  return closeCount_;
}

bool WidgetSimulator::WaitForMessages(uint64_t count, std::chrono::milliseconds timeout) const {
  return WaitUntil(timeout, [&] { return messageCount_ >= count; });
}

bool WidgetSimulator::WaitForPortOpen(bool open, std::chrono::milliseconds timeout) const {
  return WaitUntil(timeout, [&] { return portOpen_ == open; });
}

}  // namespace lumivane::sim
