// SPDX-License-Identifier: MIT
#include <cstdio>
#include <sstream>

#include "host/host_session.h"

namespace lumivane::host {
namespace {

int RunNodes(const HostOptions& options, const Arguments& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: nodes\n");
    return kExitUsage;
  }
  HostSession session(options);
  const PluginLibrary& lib = *session.library;
  char* text = nullptr;
  const lv_status status = lib.find_nodes(&text);
  if (status != 0) return Failed(lib, status);
  std::istringstream lines(TakeText(lib, text));
  std::string address, name, outputs;
  int count = 0;
  while (std::getline(lines, address, '\t') && std::getline(lines, name, '\t') &&
         std::getline(lines, outputs)) {
    std::printf("%-15s  %s  outputs: %s\n", address.c_str(), name.c_str(),
                outputs.empty() ? "none" : outputs.c_str());
    ++count;
  }
  if (count == 0) std::printf("No node answered\n");
  return kExitOk;
}

}  // namespace

const Command kNodesCommand{
    "nodes", "list the Art-Net nodes that answer a poll",
    "usage: lumivane-host [options] nodes\n"
    "Finds nodes as the dialog's \"Find nodes\" does: one ArtPoll to the\n"
    "broadcast address of each network interface, then 3 s of listening on\n"
    "UDP 6454 for the answers. Prints one line per node: its address, its\n"
    "name and the Port-Addresses it outputs (the NetUniverse to store for\n"
    "Art-Net), or \"No node answered\". Exits 1 when port 6454 cannot be\n"
    "opened or no interface can broadcast.\n",
    RunNodes};

}  // namespace lumivane::host
