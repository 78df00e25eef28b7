// SPDX-License-Identifier: MIT
#include <cstdio>
#include <optional>

#include "host/host_session.h"
#include "host/whole_number.h"

namespace lumivane::host {
namespace {

int List(const PluginLibrary& lib) {
  char* text = nullptr;
  if (const lv_status status = lib.ports_list(&text); status != 0) return Failed(lib, status);
  const std::string lines = TakeText(lib, text);
  if (lines.empty()) std::printf("no linked port and no /dev/ttyUSB device\n");
  size_t start = 0;
  while (start < lines.size()) {
    const size_t end = lines.find('\n', start);
    const std::string line = lines.substr(start, end - start);
    start = end == std::string::npos ? lines.size() : end + 1;
    const size_t tab1 = line.find('\t');
    const size_t tab2 = line.rfind('\t');
    std::printf("port %-3s %s%s\n", line.substr(0, tab1).c_str(),
                line.substr(tab1 + 1, tab2 - tab1 - 1).c_str(),
                line.substr(tab2 + 1) == "link" ? "  (link)" : "");
  }
  std::printf("other ports n: /dev/ttyUSB<n-1>\n");
  return kExitOk;
}

int RunPorts(const HostOptions& options, const Arguments& args) {
  const bool link = args.size() == 3 && args[0] == "link";
  const bool unlink = args.size() == 2 && args[0] == "unlink";
  if (!args.empty() && !link && !unlink) {
    std::fprintf(stderr, "usage: ports | ports link N PATH | ports unlink N\n");
    return kExitUsage;
  }
  std::optional<int32_t> port;
  if (link || unlink) {
    port = WholeNumber<int32_t>(args[1]);
    if (!port) {
      std::fprintf(stderr, "%s is not a port number\n", args[1].c_str());
      return kExitUsage;
    }
  }
  HostSession session(options);
  const PluginLibrary& lib = *session.library;
  if (link) {
    const lv_status status = lib.ports_link(*port, args[2].c_str());
    if (status != 0) return Failed(lib, status);
    char* text = nullptr;
    if (lib.ports_device(*port, &text) == 0) {
      std::printf("port %d -> %s\n", *port, TakeText(lib, text).c_str());
    }
    return kExitOk;
  }
  if (unlink) {
    lv_bool had = LV_FALSE;
    const lv_status status = lib.ports_unlink(*port, &had);
    if (status != 0) return Failed(lib, status);
    std::printf(had != LV_FALSE ? "port %d unlinked\n" : "port %d had no link\n", *port);
    return kExitOk;
  }
  return List(lib);
}

}  // namespace

const Command kPortsCommand{
    "ports", "list or edit the serial port map",
    "usage: lumivane-host [options] ports\n"
    "       lumivane-host [options] ports link N PATH\n"
    "       lumivane-host [options] ports unlink N\n"
    "Serial port N (1..255) is the link com<N> in $XDG_CONFIG_HOME/lumivane/ports\n"
    "(default ~/.config/lumivane/ports) when there is one, else /dev/ttyUSB<N-1>.\n"
    "Without arguments lists the linked ports and the /dev/ttyUSB devices there are.\n"
    "'link' points port N at a device (a tty, e.g. a widget on /dev/ttyACM0 or a\n"
    "simulator's pty); 'unlink' removes the link again.\n"
    "example: lumivane-host ports link 3 /dev/serial/by-id/usb-...-if00-port0\n",
    RunPorts};

}  // namespace lumivane::host
