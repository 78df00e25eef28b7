// SPDX-License-Identifier: MIT
// lumivane-host: a reference host that loads the plug-in file and drives it.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "host/command.h"
#include "host/plugin_library.h"

using namespace lumivane::host;

namespace {

void PrintOverview() {
  std::printf(
      "usage: lumivane-host [--plugin PATH] [--title TEXT] [--file NAME] [COMMAND [ARGS]]\n"
      "       lumivane-host COMMAND --help\n\n"
      "options:\n"
      "  --plugin PATH  the plug-in file (default: the one beside this program, else the\n"
      "                 installed one)\n"
      "  --title TEXT   CallingAppTitle given to init (default \"Lumivane Host\")\n"
      "  --file NAME    MyFilename given to init (default: the plug-in file's name)\n\n"
      "commands:\n");
  for (const Command& command : Commands()) {
    std::printf("  %-10s %s\n", command.name, command.summary);
  }
  std::printf(
      "\nexit status: 0 ok, 1 a call or the command failed, 2 usage, 3 the plug-in cannot be "
      "loaded\n");
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  HostOptions options;
  int i = 1;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
    const std::string option = argv[i];
    if (option == "--help") {
      PrintOverview();
      return kExitOk;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "%s needs a value\n", option.c_str());
      return kExitUsage;
    }
    if (option == "--plugin") {
      options.pluginPath = argv[++i];
    } else if (option == "--title") {
      options.title = argv[++i];
    } else if (option == "--file") {
      options.file = argv[++i];
    } else {
      std::fprintf(stderr, "unknown option %s (see --help)\n", option.c_str());
      return kExitUsage;
    }
  }
  const std::string name = i < argc ? argv[i++] : "demo";
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    std::fprintf(stderr, "unknown command %s (see --help)\n", name.c_str());
    return kExitUsage;
  }
  Arguments args(argv + i, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--help") {
      std::printf("%s", command->help);
      return kExitOk;
    }
  }
  try {
    return command->run(options, args);
  } catch (const PluginLoadError& error) {
    std::fprintf(stderr, "lumivane-host: %s\n", error.what());
    return kExitNoPlugin;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "lumivane-host: %s\n", error.what());
    return kExitCallFailed;
  }
}
