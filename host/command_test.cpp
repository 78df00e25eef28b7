// SPDX-License-Identifier: MIT
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "host/console_widget_display.h"
#include "host/host_session.h"

namespace lumivane::host {
namespace {

using PortReader = decltype(&lumivane_tool_port_from_setting);

// The plug-in's own reading of a port text, so the command reads it as the
// dialog (an argument) or init (the stored value) does. Empty when the text
// does not read; why says what happened.
std::optional<int16_t> ReadPort(const HostSession& session, PortReader read,
                                const std::string& text, std::string& why) {
  int16_t port = 0;
  const lv_status status = read(text.c_str(), &port);
  if (status != 0) {
    why = std::to_string(status) + ": " + session.library->error_description();
    return std::nullopt;
  }
  return port;
}

// Without PORT: the stored "comPort", converted as init converts it.
std::optional<int16_t> StoredPort(const HostSession& session) {
  char* text = nullptr;
  const lv_status status =
      session.library->settings_read(session.title.c_str(), session.file.c_str(), "comPort", &text);
  if (status != 0) {
    std::fprintf(stderr, "reading the stored comPort failed with %d: %s\n", status,
                 session.library->error_description());
    return std::nullopt;
  }
  const std::string stored = TakeText(*session.library, text);
  std::string why;
  const std::optional<int16_t> port =
      ReadPort(session, session.library->port_from_setting, stored, why);
  if (!port) {
    std::fprintf(stderr, "the stored comPort \"%s\" failed with %s\n", stored.c_str(), why.c_str());
  }
  return port;
}

// The test passes when a widget message came back: the result line then
// holds the parser's code, negative for a reply that was none. It stays
// empty when the port did not open and reads "Nothing Recieved" when no
// reply came.
bool WidgetAnswered(const std::string& result) {
  const char* first = result.data();
  const char* last = first + result.size();
  while (first != last && *first == ' ') ++first;  // the code's sign column
  int code = -1;
  const auto [end, error] = std::from_chars(first, last, code);
  return first != last && error == std::errc() && end == last && code >= 0;
}

int RunTest(const HostOptions& options, const Arguments& args) {
  if (args.size() > 1) {
    std::fprintf(stderr, "usage: test [PORT]\n");
    return kExitUsage;
  }
  HostSession session(options);
  std::optional<int16_t> port;
  if (args.empty()) {
    port = StoredPort(session);
    if (!port) return kExitCallFailed;
  } else {
    std::string why;
    port = ReadPort(session, session.library->port_from_box_text, args[0], why);
    if (!port) {
      std::fprintf(stderr, "port \"%s\" is not a number from -32768 to 32767\n", args[0].c_str());
      return kExitUsage;
    }
  }
  ConsoleWidgetDisplay display;
  const lv_status status = session.library->test_pro_port(*port, display.table());
  display.Print(stdout);
  if (status != 0) {
    std::fprintf(stderr, "test failed with %d: %s\n", status, session.library->error_description());
    return kExitCallFailed;
  }
  return WidgetAnswered(display.result()) ? kExitOk : kExitCallFailed;
}

}  // namespace

const Command kTestCommand{
    "test", "test for a DMX USB Pro widget on one serial port",
    "usage: lumivane-host [options] test [PORT]\n"
    "The device dialog's Test on serial port PORT (default: the stored\n"
    "comPort of --title and --file): opens the port, asks for the serial\n"
    "number and gives the widget 100 ms to answer. PORT is read as the\n"
    "dialog reads its port box (blanks allowed, a fraction rounded down:\n"
    "' 4' and 4.9 are port 4); the stored comPort as init reads it (a\n"
    "fraction rounded half to even: 2.5 is port 2). Prints 'info:' with the\n"
    "hexadecimal dump of the reply and 'result:' with the reply's code\n"
    "(' 10' for a widget's serial number, negative for a reply that is not\n"
    "a widget message) or 'Nothing Recieved'. A port that does not open is\n"
    "reported as the dialog reports it:\n"
    "  Failed to open USB DMX Pro on comm port:  PORT\n"
    "Exit status: 0 when a widget answered (a code of 0 or more); 1 when\n"
    "the port did not open, nothing was received, the reply was not a\n"
    "widget message (a negative code) or the stored comPort does not read;\n"
    "2 when PORT is not a port number.\n"
    "example: lumivane-host test 3\n",
    RunTest};

}  // namespace lumivane::host
