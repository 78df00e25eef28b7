// SPDX-License-Identifier: MIT
// The real-driver cases as they run inside the guest, through the guest
// kernel's own USB stack, with the plug-in file and lumivane-host of the
// host's build (its root is the guest's, read-only).
//
//   lumivane-realdriver-guest --plugin FILE --host-program FILE [--bench] [--rounds N]
#include <cstdio>
#include <stdexcept>
#include <string>

#include "tests/real_driver/guest_cases.h"

int main(int argc, char** argv) {
  std::string plugin, hostProgram;
  bool bench = false;
  int rounds = 20;
  int pacedRate = 250000;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--bench")
      bench = true;
    else if (i + 1 < argc && a == "--plugin")
      plugin = argv[++i];
    else if (i + 1 < argc && a == "--host-program")
      hostProgram = argv[++i];
    else if (i + 1 < argc && a == "--rounds")
      rounds = std::stoi(argv[++i]);
    else if (i + 1 < argc && a == "--paced-rate")
      pacedRate = std::stoi(argv[++i]);
  }
  try {
    lumivane::realdriver::GuestSession session(plugin, hostProgram);
    if (bench) {
      lumivane::realdriver::RunProBench(session, pacedRate);
      return 0;
    }
    lumivane::realdriver::RunProCases(session, rounds);
    lumivane::realdriver::RunOpenDmxCases(session);
    return session.failures() == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::printf("FAIL guest: %s\n", e.what());
    return 1;
  }
}
