// SPDX-License-Identifier: MIT
#include <cstdio>

#include "host/host_session.h"

namespace lumivane::host {
namespace {

int RunSettings(const HostOptions& options, const Arguments& args) {
  HostSession session(options);
  const PluginLibrary& lib = *session.library;
  if (args.size() == 3 && args[0] == "set") {
    if (args[1] != "comPort" && args[1] != "DeviceType") {
      std::fprintf(stderr, "unknown key %s: the keys are comPort and DeviceType\n",
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
  for (const char* key : {"comPort", "DeviceType"}) {
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
    "the section (Plugins\\ + --file) and the stored \"comPort\" and\n"
    "\"DeviceType\" texts. 'settings set' writes one of those two keys, for\n"
    "scripted set-up; the text is stored exactly as given.\n"
    "example: lumivane-host settings set DeviceType DMXUSBpro\n",
    RunSettings};

}  // namespace lumivane::host
