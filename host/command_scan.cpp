// SPDX-License-Identifier: MIT
#include <cstdio>

#include "host/console_widget_display.h"
#include "host/host_session.h"

namespace lumivane::host {
namespace {

int RunScan(const HostOptions& options, const Arguments& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "scan takes no arguments\n");
    return kExitUsage;
  }
  HostSession session(options);
  ConsoleWidgetDisplay display;
  const lv_status status = session.library->scan_pro_ports(display.table());
  display.Print(stdout);
  if (status != 0) {
    std::fprintf(stderr, "scan failed with %d: %s\n", status, session.library->error_description());
    return kExitCallFailed;
  }
  return kExitOk;
}

}  // namespace

const Command kScanCommand{
    "scan", "look for DMX USB Pro widgets on serial ports 1..16",
    "usage: lumivane-host [options] scan\n"
    "Probes serial ports 1 to 16 as the device dialog does: each port that\n"
    "opens is asked for its serial number and given 50 ms to answer. Prints\n"
    "one line per port found, in port order:\n"
    "  Pro Widget - Com:  N : SERIAL   a widget answered with its serial number\n"
    "  Com: N                          the port opened, no widget answered\n"
    "Ports that do not open are not listed. Then 'info:' with the hexadecimal\n"
    "dump of the last reply received and 'result:' with what was decoded from\n"
    "it. Port N is the device the port map gives (see 'ports').\n",
    RunScan};

}  // namespace lumivane::host
