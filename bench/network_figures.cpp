// SPDX-License-Identifier: MIT
// The network sender on real UDP sockets: from a push to its packet at a
// receiver on loopback, idle and while a host saturates it; the packet rate
// under saturation; the sender thread's CPU. It runs in a child process in
// a network namespace of its own with only loopback, so no packet leaves
// it and nothing else on the machine shares its ports; where no namespace
// can be made (not root) it runs on the machine's loopback.
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/sample_stats.h"
#include "bench/section.h"
#include "network/network_sender.h"
#include "network/udp_socket_posix.h"
#include "posix/clock_posix.h"

namespace lumivane::bench {
namespace {

// The real clock, noting the CPU clock of the thread that waits on it: the
// sender's thread, the only one that calls WaitUntil.
class CpuNotingClock final : public Clock {
 public:
  Time Now() override { return inner_.Now(); }
  void SleepUntil(Time deadline) override { inner_.SleepUntil(deadline); }
  void SleepFor(Time span) override { inner_.SleepFor(span); }
  bool WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, Time deadline,
                 const std::function<bool()>& woken) override {
    if (!noted_.exchange(true)) pthread_getcpuclockid(pthread_self(), &cpuClock_);
    return inner_.WaitUntil(wake, lock, deadline, woken);
  }
  int64_t SenderCpuNs() const {
    if (!noted_) return 0;
    timespec t{};
    clock_gettime(cpuClock_, &t);
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
  }

 private:
  PosixClock inner_;
  std::atomic<bool> noted_{false};
  clockid_t cpuClock_{};
};

class SilentReports final : public UserReports {
 public:
  void ShowMessage(std::string_view) override { ++shown; }
  std::atomic<int> shown{0};
};

// What the child measured, passed back whole through a pipe.
struct Results {
  bool ownNamespace = false;
  int failures = 0;
  double idleP50 = 0, idleP99 = 0, idleMax = 0;
  int idleSamples = 0;
  double busyP50 = 0, busyP99 = 0, busyMax = 0;
  double packetsPerSecond = 0, maxInAnySecond = 0;
  double lastStateNs = 0;
  double idleCpu = 0, busyCpu = 0;
  double pushesPerSecond = 0;
};

// Push n carries n in channels 1 to 4.
Universe Numbered(uint32_t n) {
  Universe u;
  for (int i = 0; i < 4; ++i) u[i + 1] = static_cast<uint8_t>(n >> (24 - 8 * i));
  return u;
}

struct Arrival {
  uint32_t push;
  int64_t at;
};

// Receives on 127.0.0.1:5568 until stopped, noting each packet's push.
class Receiver {
 public:
  Receiver() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(5568);
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    if (ok_) thread_ = std::thread([this] { Run(); });
  }
  ~Receiver() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return ok_; }
  std::vector<Arrival> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(arrivals_, {});
  }

 private:
  void Run() {
    std::array<uint8_t, 1500> buffer{};
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const ssize_t size = ::recv(fd_, buffer.data(), buffer.size(), 0);
      const int64_t at = NowNs();
      if (size < 130 || (buffer[112] & 0x40) != 0) continue;  // data packets only
      uint32_t n = 0;
      for (int i = 0; i < 4; ++i) n = n << 8 | buffer[126 + i];
      std::lock_guard lock(mutex_);
      arrivals_.push_back({n, at});
    }
  }

  int fd_;
  bool ok_ = false;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Arrival> arrivals_;
  std::thread thread_;
};

bool EnterOwnNamespace() {
  if (::unshare(CLONE_NEWNET) != 0) return false;
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  const bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                  (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
  ::close(fd);
  return up;
}

Results Measure(const BenchOptions& options) {
  using namespace std::chrono_literals;
  Results r;
  r.ownNamespace = EnterOwnNamespace();
  Receiver receiver;
  if (!receiver.ok()) {
    r.failures = -1;
    return r;
  }
  PosixUdpNetwork network;
  CpuNotingClock clock;
  SilentReports reports;
  NetworkSender sender(network, clock, reports);
  NetworkSettings settings;
  settings.protocol = NetworkSettings::Protocol::kSacn;
  settings.universe = 1;
  settings.address = NetworkSettings::Ipv4{127, 0, 0, 1};
  settings.sourceName = "bench";
  sender.OpenNetwork(settings);

  // Idle: one push every 40 ms, so the sender waits for each.
  uint32_t n = 0;
  std::vector<int64_t> pushedAt;
  const int idlePushes = options.quick ? 30 : 150;
  pushedAt.push_back(0);
  for (int i = 0; i < idlePushes; ++i) {
    pushedAt.push_back(NowNs());
    sender.PushNetworkUniverse(Numbered(++n));
    std::this_thread::sleep_for(40ms);
  }
  std::vector<double> idle;
  for (const auto& a : receiver.Take()) {
    if (a.push >= 1 && a.push <= n && a.at > pushedAt[a.push]) {
      idle.push_back(static_cast<double>(a.at - pushedAt[a.push]));
    }
  }
  const auto idleSpread = SpreadOf(idle);
  r.idleP50 = idleSpread.p50, r.idleP99 = idleSpread.p99, r.idleMax = idleSpread.max;
  r.idleSamples = static_cast<int>(idle.size());

  // Idle CPU: nothing pushed, only the refreshes.
  const int64_t idleWall0 = NowNs(), idleCpu0 = clock.SenderCpuNs();
  std::this_thread::sleep_for(options.quick ? 1s : 5s);
  r.idleCpu = static_cast<double>(clock.SenderCpuNs() - idleCpu0) /
              static_cast<double>(NowNs() - idleWall0);
  receiver.Take();

  // Saturated: a push every 50 us (20,000 a second).
  const auto busyTime = options.quick ? 1s : 3s;
  const int64_t busyStart = NowNs(), busyCpu0 = clock.SenderCpuNs();
  const uint32_t firstBusy = n + 1;
  pushedAt.clear();
  pushedAt.resize(firstBusy);
  int64_t next = busyStart;
  while (NowNs() - busyStart < std::chrono::nanoseconds(busyTime).count()) {
    next += 50'000;
    while (NowNs() < next) {
    }
    pushedAt.push_back(NowNs());
    sender.PushNetworkUniverse(Numbered(++n));
  }
  const int64_t lastPush = pushedAt.back();
  r.pushesPerSecond =
      static_cast<double>(n - firstBusy + 1) * 1e9 / static_cast<double>(lastPush - busyStart);
  std::this_thread::sleep_for(100ms);
  const int64_t busyEnd = NowNs();
  r.busyCpu = static_cast<double>(clock.SenderCpuNs() - busyCpu0) /
              static_cast<double>(busyEnd - busyStart);
  std::vector<double> busy;
  std::vector<int64_t> arrivals;
  for (const auto& a : receiver.Take()) {
    if (a.push < firstBusy || a.push > n) continue;
    arrivals.push_back(a.at);
    if (a.at <= lastPush + 50'000'000) busy.push_back(static_cast<double>(a.at - pushedAt[a.push]));
    if (a.push == n) r.lastStateNs = static_cast<double>(a.at - lastPush);
  }
  const auto busySpread = SpreadOf(busy);
  r.busyP50 = busySpread.p50, r.busyP99 = busySpread.p99, r.busyMax = busySpread.max;
  size_t inWindow = 0;
  for (size_t i = 0, j = 0; i < arrivals.size(); ++i) {
    while (arrivals[i] - arrivals[j] >= 1'000'000'000) ++j;
    inWindow = std::max(inWindow, i - j + 1);
  }
  r.maxInAnySecond = static_cast<double>(inWindow);
  r.packetsPerSecond =
      static_cast<double>(arrivals.size()) * 1e9 / static_cast<double>(lastPush - busyStart);
  sender.CloseNetwork();
  r.failures = reports.shown;
  return r;
}

Results MeasureInChild(const BenchOptions& options) {
  int fds[2];
  Results r;
  r.failures = -1;
  if (::pipe(fds) != 0) return r;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    const Results measured = Measure(options);
    [[maybe_unused]] const ssize_t written = ::write(fds[1], &measured, sizeof measured);
    ::_exit(0);
  }
  ::close(fds[1]);
  if (child > 0 && ::read(fds[0], &r, sizeof r) != sizeof r) r.failures = -1;
  ::close(fds[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  return r;
}

class NetworkSection final : public Section {
 public:
  explicit NetworkSection(const BenchOptions& options) : options_(options) {}

  void Measure(const MicroRunner&, ResultsTable& table) override {
    const Results r = MeasureInChild(options_);
    const std::string where = r.ownNamespace ? "own namespace's loopback" : "loopback";
    if (r.failures != 0) {
      table.Add({"Network sender (sACN on " + where + ")",
                 r.failures < 0 ? "could not run" : std::to_string(r.failures) + " failures shown",
                 "-", "-", "runs", false});
      return;
    }
    table.Add({"Network push to packet at a receiver, idle, p50/p99/max (" +
                   std::to_string(r.idleSamples) + " pushes 40 ms apart, " + where + ")",
               FormatNs(r.idleP50) + " / " + FormatNs(r.idleP99) + " / " + FormatNs(r.idleMax), "-",
               "-", "p99 < 2 ms", r.idleP99 < 2e6});
    table.Add({"Network push to packet, saturated (" + FormatFixed(r.pushesPerSecond, 0) +
                   " pushes/s), p50/p99/max",
               FormatNs(r.busyP50) + " / " + FormatNs(r.busyP99) + " / " + FormatNs(r.busyMax),
               "23 ms frame time", "-", "report", std::nullopt});
    table.Add(
        {"Network packets/s under saturation; most in any 1 s; last state after the last push",
         FormatFixed(r.packetsPerSecond, 1) + "/s; " + FormatFixed(r.maxInAnySecond, 0) + "; " +
             FormatNs(r.lastStateNs),
         "-", "-", "never > 44 in any second; last state <= 23 ms",
         r.maxInAnySecond <= 44 && r.lastStateNs > 0 && r.lastStateNs <= 23e6 + 2e6});
    table.Add({"Network sender thread CPU (thread clock), idle / saturated",
               FormatFixed(r.idleCpu * 100, 3) + " % / " + FormatFixed(r.busyCpu * 100, 3) +
                   " % of a core",
               "-", "-", "idle < 0.5 % of a core", r.idleCpu < 0.005});
  }

 private:
  BenchOptions options_;
};

}  // namespace

std::unique_ptr<Section> MakeNetworkSection(const BenchOptions& options) {
  return std::make_unique<NetworkSection>(options);
}

}  // namespace lumivane::bench
