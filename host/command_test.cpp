// SPDX-License-Identifier: MIT
#include <cstdio>
#include <optional>
#include <string>

#include "host/console_widget_display.h"
#include "host/host_session.h"
#include "host/whole_number.h"

namespace lumivane::host {
namespace {

// Without PORT: the stored "comPort", as the dialog's port box shows it.
std::optional<std::string> StoredPortText(const HostSession& session) {
  char* text = nullptr;
  const lv_status status =
      session.library->settings_read(session.title.c_str(), session.file.c_str(), "comPort", &text);
  if (status != 0) {
    std::fprintf(stderr, "reading the stored comPort failed with %d: %s\n", status,
                 session.library->error_description());
    return std::nullopt;
  }
  const std::string stored = TakeText(*session.library, text);
  return stored.empty() ? "0" : stored;
}

int RunTest(const HostOptions& options, const Arguments& args) {
  if (args.size() > 1) {
    std::fprintf(stderr, "usage: test [PORT]\n");
    return kExitUsage;
  }
  HostSession session(options);
  std::optional<std::string> portText = args.empty() ? StoredPortText(session) : args[0];
  if (!portText) return kExitCallFailed;
  const std::optional<int16_t> port = WholeNumber<int16_t>(*portText);
  if (!port) {
    std::fprintf(stderr, "port \"%s\" is not a whole number from -32768 to 32767\n",
                 portText->c_str());
    return args.empty() ? kExitCallFailed : kExitUsage;
  }
  ConsoleWidgetDisplay display;
  const lv_status status = session.library->test_pro_port(*port, display.table());
  display.Print(stdout);
  if (status != 0) {
    std::fprintf(stderr, "test failed with %d: %s\n", status, session.library->error_description());
    return kExitCallFailed;
  }
  return kExitOk;
}

}  // namespace

const Command kTestCommand{"test", "test for a DMX USB Pro widget on one serial port",
                           "usage: lumivane-host [options] test [PORT]\n"
                           "The device dialog's Test on serial port PORT (default: the stored\n"
                           "comPort of --title and --file): opens the port, asks for the serial\n"
                           "number and gives the widget 100 ms to answer. Prints 'info:' with the\n"
                           "hexadecimal dump of the reply and 'result:' with the reply's code\n"
                           "(' 10' for a widget's serial number, negative for a reply that is not\n"
                           "a widget message) or 'Nothing Recieved'. A port that does not open is\n"
                           "reported as the dialog reports it:\n"
                           "  Failed to open USB DMX Pro on comm port:  PORT\n"
                           "example: lumivane-host test 3\n",
                           RunTest};

}  // namespace lumivane::host
