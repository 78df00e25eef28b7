// SPDX-License-Identifier: MIT
#include <cstdio>
#include <string>

#include "host/console_widget_display.h"
#include "host/host_session.h"

namespace lumivane::host {
namespace {

// The port of a port-only entry, "Com: 7"; the whole text should the form
// ever differ.
std::string PortOf(const std::string& entry) {
  const std::string prefix = "Com: ";
  return entry.rfind(prefix, 0) == 0 ? entry.substr(prefix.size()) : entry;
}

// Without a widget the two captions are empty or describe a stray reply:
// say plainly what the scan saw instead.
void PrintNothingFound(const ConsoleWidgetDisplay& display, std::FILE* out) {
  std::string opened;
  for (const ConsoleWidgetDisplay::Entry& entry : display.entries()) {
    std::fprintf(out, "%s\n", entry.text.c_str());
    opened += (opened.empty() ? "" : ", ") + PortOf(entry.text);
  }
  std::fprintf(out, "No DMX USB Pro found on ports 1 to 16.\n");
  if (opened.empty()) {
    std::fprintf(out, "No port opened.\n");
  } else {
    std::fprintf(out, "Ports that opened without a widget: %s.\n", opened.c_str());
  }
  if (!display.info().empty()) {
    std::fprintf(out, "info: %s\nresult: %s\n", display.info().c_str(), display.result().c_str());
  }
}

bool FoundAWidget(const ConsoleWidgetDisplay& display) {
  // Widget entries carry their port as item data, port-only entries 0.
  for (const ConsoleWidgetDisplay::Entry& entry : display.entries()) {
    if (entry.itemData != 0) return true;
  }
  return false;
}

int RunScan(const HostOptions& options, const Arguments& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "scan takes no arguments\n");
    return kExitUsage;
  }
  HostSession session(options);
  ConsoleWidgetDisplay display;
  const lv_status status = session.library->scan_pro_ports(display.table());
  if (status != 0) {
    display.Print(stdout);
    std::fprintf(stderr, "scan failed with %d: %s\n", status, session.library->error_description());
    return kExitCallFailed;
  }
  if (FoundAWidget(display)) {
    display.Print(stdout);
  } else {
    PrintNothingFound(display, stdout);
  }
  // Finding no widget is an answer, not a failure of the scan.
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
    "it. When no widget answered it says so instead:\n"
    "  No DMX USB Pro found on ports 1 to 16.\n"
    "  Ports that opened without a widget: N, ...   (or: No port opened.)\n"
    "with 'info:' and 'result:' only when a port answered something else.\n"
    "Port N is the device the port map gives (see 'ports').\n"
    "Exit status: 0 when the scan ran, whether it found a widget or not;\n"
    "1 when the scan itself failed. (test, on one port, exits 1 when it\n"
    "finds no widget: there the widget is what is tested.)\n",
    RunScan};

}  // namespace lumivane::host
