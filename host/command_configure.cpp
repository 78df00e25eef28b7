// SPDX-License-Identifier: MIT
#include <cstdio>

#include "host/host_session.h"

namespace lumivane::host {
namespace {

// How long one pump call may wait for an event when none is pending.
constexpr int32_t kPumpWaitMs = 100;

int RunConfigure(const HostOptions& options, const Arguments& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "configure takes no arguments\n");
    return kExitUsage;
  }
  HostSession session(options);
  DriverClient driver(*session.library);
  bool failed = false;
  bool result = false;
  CallOutcome outcome = driver.Init(session.title, session.file, result);
  PrintCall("init", result, outcome);
  failed |= !outcome.ok();
  outcome = driver.Configure(result);
  PrintCall("Configure", result, outcome);
  std::fflush(stdout);
  if (outcome.ok()) {
    // The dialog's handlers run inside the pump, on this thread.
    lv_bool open = LV_TRUE;
    while (open != LV_FALSE) {
      const lv_status status = session.library->pump_events(kPumpWaitMs, &open);
      if (status != 0) {
        PrintCall("pump_events", false, CallOutcome{status, session.library->error_description()});
        failed = true;
        break;
      }
    }
    std::printf("dialog closed\n");
  } else {
    failed = true;
  }
  outcome = driver.Term(result);
  PrintCall("Term", result, outcome);
  failed |= !outcome.ok();
  return failed ? kExitCallFailed : kExitOk;
}

}  // namespace

const Command kConfigureCommand{
    "configure", "open the device dialog until it is closed",
    "usage: lumivane-host [options] configure\n"
    "Calls init and Configure, then pumps the dialog's events until the user\n"
    "closes it with its close box, then calls Term. Needs a display (DISPLAY);\n"
    "without one Configure fails with 9200 and Term still runs.\n",
    RunConfigure};

}  // namespace lumivane::host
