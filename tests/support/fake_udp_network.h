// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/failure.h"
#include "network/udp_socket.h"

namespace lumivane::test {

// Sockets that go nowhere: every datagram sent is recorded with where it
// went and the clock's time, datagrams for ReceiveFrom are queued by the
// test, and opens or sends fail while the test says so. ReceiveFrom with an
// empty queue sleeps its timeout on the clock. Safe to use from any thread.
class FakeUdpNetwork final : public UdpNetwork {
 public:
  struct Datagram {
    std::vector<uint8_t> bytes;
    UdpEndpoint endpoint;  // where it went, or where it came from
    Clock::Time at{};
  };

  explicit FakeUdpNetwork(Clock& clock) : clock_(clock) {}

  std::unique_ptr<UdpSocket> OpenUdp(const UdpOptions& options) override {
    std::lock_guard lock(mutex_);
    opens_.push_back(options);
    if (failOpens_ > 0) {
      --failOpens_;
      throw Failure(ErrorNumber::kNetworkSocketFailed, "cannot open a UDP socket: No buffer space");
    }
    ++openSockets_;
    return std::make_unique<Socket>(*this);
  }
  std::vector<NetworkSettings::Ipv4> BroadcastAddresses() override {
    std::lock_guard lock(mutex_);
    return broadcast_;
  }

  void SetBroadcastAddresses(std::vector<NetworkSettings::Ipv4> addresses) {
    std::lock_guard lock(mutex_);
    broadcast_ = std::move(addresses);
  }
  void FailOpens(int count) {
    std::lock_guard lock(mutex_);
    failOpens_ = count;
  }
  void FailSends(int count, std::string reason = "Network is unreachable") {
    std::lock_guard lock(mutex_);
    failSends_ = count;
    sendFailure_ = std::move(reason);
  }
  // While held, SendTo waits (a network that takes its time).
  void HoldSends(bool hold) {
    {
      std::lock_guard lock(mutex_);
      holdSends_ = hold;
    }
    released_.notify_all();
  }
  void Arrive(std::vector<uint8_t> bytes, UdpEndpoint from) {
    std::lock_guard lock(mutex_);
    incoming_.push_back({std::move(bytes), from, {}});
  }

  std::vector<Datagram> Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  size_t SentCount() const {
    std::lock_guard lock(mutex_);
    return sent_.size();
  }
  std::vector<UdpOptions> Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
  }
  // Sends waiting in HoldSends now.
  int HeldSends() const {
    std::lock_guard lock(mutex_);
    return heldSends_;
  }
  int OpenSockets() const {
    std::lock_guard lock(mutex_);
    return openSockets_;
  }

 private:
  class Socket final : public UdpSocket {
   public:
    explicit Socket(FakeUdpNetwork& network) : network_(network) {}
    ~Socket() override {
      std::lock_guard lock(network_.mutex_);
      --network_.openSockets_;
    }
    void SendTo(std::span<const uint8_t> datagram, const UdpEndpoint& to) override {
      const auto at = network_.clock_.Now();
      std::unique_lock lock(network_.mutex_);
      ++network_.heldSends_;
      network_.released_.wait(lock, [&] { return !network_.holdSends_; });
      --network_.heldSends_;
      if (network_.failSends_ > 0) {
        --network_.failSends_;
        throw Failure(ErrorNumber::kNetworkSocketFailed, "cannot send: " + network_.sendFailure_);
      }
      network_.sent_.push_back({{datagram.begin(), datagram.end()}, to, at});
    }
    std::optional<size_t> ReceiveFrom(std::span<uint8_t> buffer, UdpEndpoint& from,
                                      std::chrono::milliseconds timeout) override {
      {
        std::lock_guard lock(network_.mutex_);
        if (!network_.incoming_.empty()) {
          const Datagram next = std::move(network_.incoming_.front());
          network_.incoming_.pop_front();
          const size_t size = std::min(buffer.size(), next.bytes.size());
          std::copy_n(next.bytes.begin(), size, buffer.begin());
          from = next.endpoint;
          return size;
        }
      }
      network_.clock_.SleepFor(timeout);
      return std::nullopt;
    }

   private:
    FakeUdpNetwork& network_;
  };

  Clock& clock_;
  mutable std::mutex mutex_;
  std::vector<UdpOptions> opens_;
  std::vector<NetworkSettings::Ipv4> broadcast_;
  std::deque<Datagram> incoming_;
  std::vector<Datagram> sent_;
  int failOpens_ = 0;
  int failSends_ = 0;
  std::string sendFailure_;
  int openSockets_ = 0;
  bool holdSends_ = false;
  int heldSends_ = 0;
  std::condition_variable released_;
};

}  // namespace lumivane::test
