// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/clock.h"
#include "core/driver_state.h"
#include "core/network_output.h"
#include "core/user_reports.h"
#include "network/udp_socket.h"
#include "network/universe_packet.h"

namespace lumivane {

struct SenderTiming {
  // One packet per DMX512 frame time at most: never more than 44 a second.
  std::chrono::nanoseconds frameTime = std::chrono::milliseconds(23);
  // An unchanged universe goes out again this often, so no node lets go.
  std::chrono::nanoseconds refresh = std::chrono::milliseconds(900);
  // After a socket failure, the next attempt.
  std::chrono::nanoseconds retry = std::chrono::seconds(1);
};

// The network output: one universe as Art-Net ArtDmx or sACN data packets,
// sent on a thread of its own.
//
// OpenNetwork, CloseNetwork and PushNetworkUniverse belong to the host's
// thread and never wait for the network: a push copies the universe into
// the one waiting slot (newest wins) and wakes the sender. The sender sends
// the waiting universe at most once a frame time, and the last one sent
// again every `refresh` while nothing changes; nothing goes out after an
// open until the first push. A socket that cannot be opened or sent on is
// kept, shown once through the reports at the host's next call into the
// link (error 9300 with the system's reason), and tried again every
// `retry`; it is shown again only after a packet went out in between.
class NetworkSender final : public NetworkLink {
 public:
  NetworkSender(UdpNetwork& network, Clock& clock, UserReports& reports, SenderTiming timing = {});
  // Closes as CloseNetwork does, without any message.
  ~NetworkSender() override;
  NetworkSender(const NetworkSender&) = delete;
  NetworkSender& operator=(const NetworkSender&) = delete;

  // Opening while open closes first. Settings that cannot be sent (a
  // universe out of range, Art-Net with no address) are reported and leave
  // the output closed.
  void OpenNetwork(const NetworkSettings& settings) override;
  // sACN's three stream-terminated packets go out (when anything was sent)
  // before the thread ends; returns once it has.
  void CloseNetwork() override;
  void PushNetworkUniverse(const Universe& data) override;

  bool networkOpen() const { return thread_.joinable(); }
  // Where packets go while open.
  const UdpEndpoint& destination() const { return destination_; }

 private:
  void Run();
  bool Send(bool termination);
  void Keep(std::string failure);
  void ReportFailure();
  void StopThread() noexcept;

  UdpNetwork& network_;
  Clock& clock_;
  UserReports& reports_;
  const SenderTiming timing_;

  UdpEndpoint destination_;
  std::unique_ptr<UniversePacket> packet_;        // the sender thread's while it runs
  std::unique_ptr<UdpSocket> socket_;             // the sender thread's while it runs
  std::array<uint8_t, kChannelCount> current_{};  // the sender thread's: last taken

  std::mutex mutex_;  // guards the fields below it
  std::condition_variable wake_;
  std::array<uint8_t, kChannelCount> waiting_{};
  bool universeWaiting_ = false;
  bool awaitingUniverse_ = false;  // the sender waits for a push, not for the clock
  bool stopRequested_ = false;
  std::optional<std::string> failure_;  // to show on the host's thread
  bool failureKept_ = false;            // since the last packet that went out

  std::thread thread_;
};

}  // namespace lumivane
