// SPDX-License-Identifier: MIT
// The port scan with the real clock and serial layer: 16 ports that do
// not exist, and 16 of which two are silent ptys. Floors: the failed
// open(2) of a missing path, and the 50 ms sleep as it comes out here.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "bench/counting_services.h"
#include "bench/plugin_session.h"
#include "bench/pty_wire.h"
#include "bench/sample_stats.h"
#include "bench/section.h"
#include "core/driver_state.h"
#include "posix/clock_posix.h"
#include "prowidget/port_map_posix.h"
#include "prowidget/pro_widget_probe.h"
#include "prowidget/reply_parser.h"
#include "prowidget/serial_port_posix.h"
#include "prowidget/transmitter.h"
#include "prowidget/widget_link.h"

namespace lumivane::bench {
namespace {

// The scan's parts as the dialog has them, on a ports folder of its own.
class ScanRig {
 public:
  explicit ScanRig(const std::filesystem::path& ports)
      : transmitter_([ports] { return std::make_unique<SerialPortPosix>(PortMap(ports)); }),
        link_(state_, transmitter_, reports_),
        parser_(reports_),
        scan_(transmitter_, link_, parser_, clock_, reports_) {}

  // Wall time of one scan, in nanoseconds.
  double TimeScan() {
    const int64_t start = NowNs();
    scan_.ScanProPorts(display_);
    return static_cast<double>(NowNs() - start);
  }
  uint64_t entries() const { return display_.entries; }

 private:
  DriverState state_;
  CountingReports reports_;
  CountingDisplay display_;
  Transmitter transmitter_;
  WidgetLink link_;
  ReplyParser parser_;
  PosixClock clock_;
  ProWidgetProbe scan_;
};

class PortScanSection final : public Section {
 public:
  explicit PortScanSection(const BenchOptions& options) : options_(options) {}

  void Measure(const MicroRunner&, ResultsTable& table) override {
    const TemporaryFolder home("lumivane-bench-scan-");
    const int rounds = options_.quick ? 2 : 7;
    AddMissing(home.path() / "empty", rounds, table);
    AddSilent(home.path() / "two-silent", rounds, table);
  }

 private:
  void AddMissing(const std::filesystem::path& ports, int rounds, ResultsTable& table) {
    std::filesystem::create_directories(ports);
    ScanRig rig(ports);
    std::vector<double> scans;
    std::vector<double> opens;
    for (int r = 0; r < rounds; ++r) {
      scans.push_back(rig.TimeScan());
      opens.push_back(SixteenFailedOpens(ports));
    }
    const double scan = Median(scans);
    const double floor = Median(opens);
    table.Add({"Port scan, 16 missing ports", FormatNs(scan),
               FormatNs(floor) + " for 16 failed open(2)",
               FormatFixed(floor > 0 ? scan / floor : 0, 1), "about 0 ms (< 1 ms)",
               rig.entries() == 0 && scan < 1e6});
  }

  void AddSilent(const std::filesystem::path& ports, int rounds, ResultsTable& table) {
    std::filesystem::create_directories(ports);
    Pty third;
    Pty eleventh;
    PortMap(ports).Link(3, third.path());
    PortMap(ports).Link(11, eleventh.path());
    ScanRig rig(ports);
    PosixClock clock;
    std::vector<double> scans;
    std::vector<double> sleeps;
    for (int r = 0; r < rounds; ++r) {
      scans.push_back(rig.TimeScan());
      const int64_t start = NowNs();
      clock.SleepFor(std::chrono::milliseconds(ProWidgetProbe::kReplyWaitMs));
      clock.SleepFor(std::chrono::milliseconds(ProWidgetProbe::kReplyWaitMs));
      sleeps.push_back(static_cast<double>(NowNs() - start));
    }
    const double scan = Median(scans);
    const double floor = Median(sleeps);
    const bool listedBoth = rig.entries() == static_cast<uint64_t>(2 * rounds);
    table.Add({"Port scan, 2 silent ptys among 16",
               FormatNs(scan) + " (+" + FormatNs(scan - floor) + ")" +
                   (listedBoth ? "" : ", " + std::to_string(rig.entries()) + " entries"),
               FormatNs(floor) + " for 2 x 50 ms sleep",
               FormatFixed(floor > 0 ? scan / floor : 0, 3), "2 x 50 ms + < 5 ms",
               listedBoth && scan - floor < 5e6});
  }

  // What a port that is not there costs at least: its open failing.
  static double SixteenFailedOpens(const std::filesystem::path& ports) {
    const int64_t start = NowNs();
    for (int port = 1; port <= 16; ++port) {
      const std::string path = (ports / ("com" + std::to_string(port))).string();
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) ::close(fd);
    }
    return static_cast<double>(NowNs() - start);
  }

  BenchOptions options_;
};

}  // namespace

std::unique_ptr<Section> MakePortScanSection(const BenchOptions& options) {
  return std::make_unique<PortScanSection>(options);
}

}  // namespace lumivane::bench
