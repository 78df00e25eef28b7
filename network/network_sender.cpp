// SPDX-License-Identifier: MIT
#include "network/network_sender.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "core/failure.h"
#include "network/artnet_packets.h"
#include "network/sacn_packets.h"

namespace lumivane {
namespace {

std::string SocketFailureText(std::string_view detail) {
  return Failure(ErrorNumber::kNetworkSocketFailed, detail).what();
}

}  // namespace

NetworkSender::NetworkSender(UdpNetwork& network, Clock& clock, UserReports& reports,
                             SenderTiming timing)
    : network_(network), clock_(clock), reports_(reports), timing_(timing) {}

NetworkSender::~NetworkSender() {
  StopThread();
}

void NetworkSender::OpenNetwork(const NetworkSettings& settings) {
  StopThread();
  ReportFailure();
  using Protocol = NetworkSettings::Protocol;
  if (settings.protocol == Protocol::kOff) return;

  if (settings.protocol == Protocol::kArtNet) {
    if (settings.universe > kHighestPortAddress) {
      reports_.ShowMessage(SocketFailureText("the Art-Net Port-Address " +
                                             std::to_string(settings.universe) +
                                             " is outside 0..32767"));
      return;
    }
    if (!settings.address) {
      reports_.ShowMessage(SocketFailureText("Art-Net needs a destination address"));
      return;
    }
    packet_ = std::make_unique<ArtDmxPacket>(settings.universe);
    destination_ = {*settings.address, kArtNetPort};
  } else {
    if (settings.universe < kLowestSacnUniverse || settings.universe > kHighestSacnUniverse) {
      reports_.ShowMessage(SocketFailureText(
          "the sACN universe " + std::to_string(settings.universe) + " is outside 1..63999"));
      return;
    }
    packet_ =
        std::make_unique<SacnDataPacket>(settings.universe, settings.cid, settings.sourceName);
    destination_ = {settings.address.value_or(SacnMulticastAddress(settings.universe)), kSacnPort};
  }

  {
    std::lock_guard lock(mutex_);
    universeWaiting_ = false;
    stopRequested_ = false;
    failure_.reset();
    failureKept_ = false;
  }
  try {
    thread_ = std::thread(&NetworkSender::Run, this);
  } catch (const std::exception& e) {
    packet_.reset();
    reports_.ShowMessage(SocketFailureText(std::string("no thread to send on: ") + e.what()));
  }
}

void NetworkSender::CloseNetwork() {
  ReportFailure();
  StopThread();
}

void NetworkSender::PushNetworkUniverse(const Universe& data) {
  std::optional<std::string> failure;
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) {
      const auto levels = data.levels();
      std::copy(levels.begin(), levels.end(), waiting_.begin());
      universeWaiting_ = true;
      wake = awaitingUniverse_;
    }
    failure = std::exchange(failure_, std::nullopt);
  }
  if (wake) wake_.notify_one();
  if (failure) reports_.ShowMessage(*failure);
}

void NetworkSender::ReportFailure() {
  std::optional<std::string> failure;
  {
    std::lock_guard lock(mutex_);
    failure = std::exchange(failure_, std::nullopt);
  }
  if (failure) reports_.ShowMessage(*failure);
}

void NetworkSender::StopThread() noexcept {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  socket_.reset();
  packet_.reset();
}

void NetworkSender::Run() {
  bool haveUniverse = false;
  bool lastUnsent = false;  // a universe pushed just before the stop
  Clock::Time earliest{};   // no packet before this
  Clock::Time refreshAt{};  // the same universe again at this time
  const auto stopping = [this] { return stopRequested_; };
  const auto work = [this] { return stopRequested_ || universeWaiting_; };
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      // Only a sender waiting for a universe is woken by a push: while it
      // waits out a frame time, pushes just replace the waiting one.
      if (!haveUniverse) {
        awaitingUniverse_ = true;
        while (!clock_.WaitUntil(wake_, lock, clock_.Now() + timing_.refresh, work)) {
        }
      } else if (!clock_.WaitUntil(wake_, lock, earliest, stopping)) {
        awaitingUniverse_ = true;
        clock_.WaitUntil(wake_, lock, refreshAt, work);
      }
      awaitingUniverse_ = false;
      lastUnsent = universeWaiting_;
      if (universeWaiting_) {
        current_ = waiting_;
        universeWaiting_ = false;
        haveUniverse = true;
      }
      if (stopRequested_) break;
    }
    const Clock::Time start = clock_.Now();
    if (Send(false)) {
      earliest = start + timing_.frameTime;
      refreshAt = start + timing_.refresh;
    } else {
      earliest = refreshAt = start + timing_.retry;
    }
  }
  // A host that sets its last levels and closes at once still has them
  // out, even inside the frame time: the stream ends here anyway.
  if (lastUnsent) Send(false);
  // Receivers let go of a terminated stream at once instead of timing out.
  if (haveUniverse) {
    for (int i = 0; i < packet_->TerminationCount(); ++i) Send(true);
  }
}

bool NetworkSender::Send(bool termination) {
  try {
    if (!socket_) socket_ = network_.OpenUdp({});
    socket_->SendTo(termination ? packet_->BuildTermination(current_) : packet_->Build(current_),
                    destination_);
  } catch (const Failure& failure) {
    socket_.reset();
    Keep(failure.what());
    return false;
  } catch (const std::exception& e) {
    socket_.reset();
    Keep(SocketFailureText(e.what()));
    return false;
  }
  std::lock_guard lock(mutex_);
  failureKept_ = false;
  return true;
}

void NetworkSender::Keep(std::string failure) {
  std::lock_guard lock(mutex_);
  if (failureKept_) return;
  failure_ = std::move(failure);
  failureKept_ = true;
}

}  // namespace lumivane
