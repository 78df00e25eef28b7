// SPDX-License-Identifier: MIT
// Peak resident size of lumivane-host demo, and of runs of 1 000 and
// 100 000 frames (this program again, as a child), which must be flat.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/checked_calls.h"
#include "bench/plugin_session.h"
#include "bench/pty_wire.h"
#include "bench/run_child.h"
#include "bench/section.h"

extern char** environ;

namespace lumivane::bench {
namespace {

std::string SelfPath() {
  return std::filesystem::read_symlink("/proc/self/exe").string();
}

// The resident size now, from /proc/self/status (VmRSS), in bytes.
double ResidentNow() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) * 1024;
  }
  return 0;
}

struct ChildRun {
  bool ok = false;
  double peakBytes = 0;
  std::string output;
};

// Runs a program with its output captured and returns its peak resident
// size as the kernel counted it.
ChildRun Spawn(const std::vector<std::string>& args) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ChildRun run;
  if (error != 0) {
    ::close(out[0]);
    return run;
  }
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
    run.output.append(buffer, static_cast<size_t>(n));
  ::close(out[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024;
  return run;
}

// What a child run printed: its resident size after a tenth of its calls
// and at the end.
struct ChildReport {
  ChildRun process;
  double atTenth = 0;
  double atEnd = 0;
  bool parsed = false;
};

ChildReport RunChild(uint64_t calls) {
  ChildReport child;
  child.process = Spawn({SelfPath(), "--run-child", std::to_string(calls)});
  child.parsed = child.process.ok && std::sscanf(child.process.output.c_str(), "%lf %lf",
                                                 &child.atTenth, &child.atEnd) == 2;
  return child;
}

class MemorySection final : public Section {
 public:
  explicit MemorySection(const BenchOptions& options) : options_(options) {}

  void Measure(const MicroRunner&, ResultsTable& table) override {
    const std::filesystem::path dir = std::filesystem::path(SelfPath()).parent_path();
    const std::string host = (dir / "lumivane-host").string();
    const ChildRun demo = Spawn({host, "demo"});
    const ChildRun info = Spawn({host, "info"});
    table.Add({"Peak RSS of lumivane-host demo",
               demo.ok ? FormatBytes(demo.peakBytes) : "demo failed",
               FormatBytes(info.peakBytes) + " lumivane-host info",
               FormatFixed(info.peakBytes > 0 ? demo.peakBytes / info.peakBytes : 0, 2), "report",
               std::nullopt});

    const ChildReport small = RunChild(kShortRun);
    for (const uint64_t calls : {options_.Count(100'000), options_.Count(1'000'000)}) {
      AddFlat("Peak RSS of a " + std::to_string(calls) + "-frame run", RunChild(calls), small,
              table);
    }
  }

 private:
  static constexpr uint64_t kShortRun = 1000;

  static void AddFlat(const std::string& name, const ChildReport& run, const ChildReport& small,
                      ResultsTable& table) {
    const double growth = run.process.peakBytes - small.process.peakBytes;
    const double inRun = run.atEnd - run.atTenth;
    table.Add(
        {name,
         run.parsed ? FormatBytes(run.process.peakBytes) + " (growth after the first tenth " +
                          FormatBytes(inRun) + ")"
                    : "run failed",
         FormatBytes(small.process.peakBytes) + " for " + std::to_string(kShortRun) + " frames",
         FormatFixed(
             small.process.peakBytes > 0 ? run.process.peakBytes / small.process.peakBytes : 0, 3),
         "flat (growth < 64 KiB)",
         run.parsed && small.parsed && growth < 64 * 1024 && inRun < 64 * 1024});
  }

  BenchOptions options_;
};

}  // namespace

int RunChild(uint64_t calls) {
  try {
    PluginSession session;
    Pty pty;
    PtyReader drain(pty.master());
    session.UseWidgetOn(1, pty.path());
    double atTenth = 0;
    for (uint64_t k = 0; k < calls; ++k) {
      if (session.SetChannel(ChannelOf(k), ValueOf(k)) != 0) return 1;
      if (k + 1 == calls / 10) atTenth = ResidentNow();
    }
    std::printf("%.0f %.0f\n", atTenth, ResidentNow());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lumivane-bench: %s\n", e.what());
    return 1;
  }
}

std::unique_ptr<Section> MakeMemorySection(const BenchOptions& options) {
  return std::make_unique<MemorySection>(options);
}

}  // namespace lumivane::bench
