// SPDX-License-Identifier: MIT
// lumivane-bench: measures every performance figure of the plug-in against
// a floor taken in the same run and prints one table (also as Markdown).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>

#include "bench/machine_description.h"
#include "bench/run_child.h"
#include "bench/section.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: lumivane-bench [--quick] [--fade-only | --network-only] [--markdown FILE]\n"
               "Measures the plug-in's figures and prints one table.\n"
               "--fade-only measures the full-universe fade alone, --network-only the\n"
               "network sender alone.\n");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lumivane::bench;
  BenchOptions options;
  std::string markdownPath;
  if (argc == 3 && std::strcmp(argv[1], "--run-child") == 0) {
    return RunChild(std::strtoull(argv[2], nullptr, 10));
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      options.quick = true;
      options.repetitions = 3;
      options.minSeconds = 0.05;
    } else if (std::strcmp(argv[i], "--fade-only") == 0) {
      options.fadeOnly = true;
    } else if (std::strcmp(argv[i], "--network-only") == 0) {
      options.networkOnly = true;
    } else if (std::strcmp(argv[i], "--markdown") == 0 && i + 1 < argc) {
      markdownPath = argv[++i];
    } else {
      Usage();
      return 2;
    }
  }
  try {
    const std::string machine = MachineDescription();
    auto sections = MakeSections(options);
    MicroRunner runner;
    for (auto& section : sections) section->Register(runner);
    std::fprintf(stderr, "lumivane-bench: short timings...\n");
    runner.RunAll(options.repetitions, options.minSeconds);
    ResultsTable table;
    for (auto& section : sections) section->Measure(runner, table);

    std::printf("%s%s\n", options.quick ? "QUICK RUN, not for the record: " : "", machine.c_str());
    std::printf("%s", table.Text().c_str());
    if (!markdownPath.empty()) {
      std::ofstream out(markdownPath);
      out << table.Markdown("Measured " + machine + (options.quick ? " (quick run)" : "") + ".")
          << "\n";
      if (!out) {
        std::fprintf(stderr, "lumivane-bench: cannot write %s\n", markdownPath.c_str());
        return 1;
      }
    }
    return table.Misses() == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lumivane-bench: %s\n", e.what());
    return 1;
  }
}
