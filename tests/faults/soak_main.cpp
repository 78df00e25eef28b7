// SPDX-License-Identifier: MIT
// lumivane-soak: SetChannel calls through the C boundary into the simulated
// widget over a pty, every frame checked, resident memory sampled. Prints
// the figures; exit status 0 when no frame was lost or corrupted.
//   lumivane-soak [--calls N] [--batch N] [--plugin PATH]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/plugin_library.h"
#include "tests/faults/soak_run.h"

int main(int argc, char** argv) {
  lumivane::test::SoakOptions options;
  options.pluginFile = lumivane::host::PluginLibrary::DefaultPath();
  options.calls = 1000000;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--calls") == 0 && hasValue) {
      options.calls = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--batch") == 0 && hasValue) {
      options.batch = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--plugin") == 0 && hasValue) {
      options.pluginFile = argv[++i];
    } else {
      std::fprintf(stderr, "usage: lumivane-soak [--calls N] [--batch N] [--plugin PATH]\n");
      return 2;
    }
  }
  if (options.calls == 0 || options.batch == 0) {
    std::fprintf(stderr, "--calls and --batch need a number above 0\n");
    return 2;
  }
  const long rssAtStart = lumivane::test::ResidentKb();
  const lumivane::test::SoakResult r = lumivane::test::RunSoak(options);
  if (!r.error.empty()) {
    std::fprintf(stderr, "soak: %s\n", r.error.c_str());
    return 1;
  }
  long rssMax = 0;
  for (long kb : r.rssKb) rssMax = kb > rssMax ? kb : rssMax;
  std::printf(
      "calls %llu\nfailed_calls %llu\nframes_checked %llu\nframes_superseded %llu\n"
      "frames_lost %llu\n"
      "frames_corrupt %llu\ndropped_bytes %llu\nseconds %.2f\ncalls_per_second %.0f\n"
      "rss_kb_start %ld\nrss_kb_after_first_batch %ld\nrss_kb_max %ld\nrss_kb_end %ld\n",
      static_cast<unsigned long long>(r.calls), static_cast<unsigned long long>(r.failedCalls),
      static_cast<unsigned long long>(r.framesChecked),
      static_cast<unsigned long long>(r.framesSuperseded),
      static_cast<unsigned long long>(r.framesLost),
      static_cast<unsigned long long>(r.framesCorrupt),
      static_cast<unsigned long long>(r.droppedBytes), r.seconds,
      r.seconds > 0 ? static_cast<double>(r.calls) / r.seconds : 0.0, rssAtStart, r.rssKb.front(),
      rssMax, r.rssKb.back());
  return r.clean() ? 0 : 1;
}
