// SPDX-License-Identifier: MIT
#include <algorithm>
#include <array>
#include <cstdio>

#include "host/host_session.h"

namespace lumivane::host {
namespace {

constexpr std::array<const char*, 6> kKeys{"comPort",    "DeviceType",  "NetOutput",
                                           "NetAddress", "NetUniverse", "NetSourceCID"};

bool IsKey(const std::string& name) {
  return std::find_if(kKeys.begin(), kKeys.end(), [&](const char* key) { return name == key; }) !=
         kKeys.end();
}

int RunSettings(const HostOptions& options, const Arguments& args) {
  HostSession session(options);
  const PluginLibrary& lib = *session.library;
  if (args.size() == 3 && args[0] == "set") {
    if (!IsKey(args[1])) {
      std::fprintf(stderr,
                   "unknown key %s: the keys are comPort, DeviceType, NetOutput, NetAddress,\n"
                   "NetUniverse and NetSourceCID\n",
                   args[1].c_str());
      return kExitUsage;
    }
    const lv_status status = lib.settings_write(session.title.c_str(), session.file.c_str(),
                                                args[1].c_str(), args[2].c_str());
    return status == 0 ? kExitOk : Failed(lib, status);
  }
  if (!args.empty()) {
    std::fprintf(stderr, "usage: settings | settings set KEY VALUE\n");
    return kExitUsage;
  }
  char* text = nullptr;
  lv_status status = lib.settings_path(session.title.c_str(), &text);
  if (status != 0) return Failed(lib, status);
  std::printf("file: %s\n", TakeText(lib, text).c_str());
  std::printf("section: Plugins\\%s\n", session.file.c_str());
  for (const char* key : kKeys) {
    status = lib.settings_read(session.title.c_str(), session.file.c_str(), key, &text);
    if (status != 0) return Failed(lib, status);
    std::printf("%s: \"%s\"\n", key, TakeText(lib, text).c_str());
  }
  return kExitOk;
}

}  // namespace

const Command kSettingsCommand{
    "settings", "show or write the stored settings",
    "usage: lumivane-host [options] settings\n"
    "       lumivane-host [options] settings set KEY VALUE\n"
    "Without arguments prints the settings file of the --title application,\n"
    "the section (Plugins\\ + --file) and the stored texts of its keys:\n"
    "\"comPort\" and \"DeviceType\" for the interface, \"NetOutput\" (ArtNet,\n"
    "sACN, anything else off), \"NetAddress\" (dotted IPv4, empty: the\n"
    "protocol's default), \"NetUniverse\" and \"NetSourceCID\" for the network\n"
    "output. 'settings set' writes one of those keys, for scripted set-up; the\n"
    "text is stored exactly as given (init makes the sACN CID when none is).\n"
    "example: lumivane-host settings set DeviceType DMXUSBpro\n"
    "         lumivane-host settings set NetOutput sACN\n",
    RunSettings};

}  // namespace lumivane::host
