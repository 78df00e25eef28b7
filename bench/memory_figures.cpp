// SPDX-License-Identifier: MIT
// Peak resident size of lumivane-host demo, and of runs of 1 000 and
// 100 000 frames (this program again, as a child), which must be flat.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
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

// A size field of /proc/<process>/status ("VmRSS", "VmHWM"), in bytes; 0
// once the process is gone.
double StatusBytes(const std::string& process, const std::string& field) {
  std::ifstream status("/proc/" + process + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1)) * 1024;
  }
  return 0;
}

double ResidentNow() {
  return StatusBytes("self", "VmRSS");
}

struct ChildRun {
  bool ok = false;
  double peakBytes = 0;
  std::string output;
};

// Runs a program with its output captured and returns its peak resident
// size. Not the kernel's ru_maxrss: a child starts out in this process's
// memory, whose size the kernel counts into the child's peak. The child runs
// traced instead and is stopped just before it exits, when its own
// high-water mark (VmHWM) is read.
ChildRun Spawn(const std::vector<std::string>& args) {
  // Everything the child needs is made before the fork: after it, the child
  // only makes system calls.
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // Each child keeps its settings and ports in a folder of its own.
  const TemporaryFolder home("lumivane-bench-child-");
  std::vector<std::string> variables{"XDG_CONFIG_HOME=" + home.path().string()};
  for (char** v = environ; *v != nullptr; ++v) {
    if (std::string_view(*v).rfind("XDG_CONFIG_HOME=", 0) != 0) variables.emplace_back(*v);
  }
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");

  ChildRun run;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(out[0]);
    ::close(out[1]);
    return run;
  }
  if (pid == 0) {
    ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    ::dup2(out[1], STDOUT_FILENO);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  char buffer[4096];
  pollfd output{out[0], POLLIN, 0};
  bool reading = true;
  bool started = false;
  int status = 0;
  for (;;) {
    if (reading && ::poll(&output, 1, 1) > 0) {
      const ssize_t n = ::read(out[0], buffer, sizeof buffer);
      if (n > 0) run.output.append(buffer, static_cast<size_t>(n));
      reading = n > 0;
    } else if (!reading) {
      ::usleep(1000);
    }
    // Sampled too once it runs the program (before, its memory is a copy of
    // ours), in case the exit stop never comes.
    if (started) run.peakBytes = std::max(run.peakBytes, StatusBytes(std::to_string(pid), "VmHWM"));
    if (::waitpid(pid, &status, WNOHANG) != pid) continue;
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    if (!WIFSTOPPED(status)) continue;
    long signal = 0;
    if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      run.peakBytes = std::max(run.peakBytes, StatusBytes(std::to_string(pid), "VmHWM"));
    } else if (WSTOPSIG(status) == SIGTRAP && !started) {
      // The stop at its exec: from here on, stop once more before the exit.
      started = true;
      ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL);
    } else {
      signal = WSTOPSIG(status);  // not ours: delivered as it came
    }
    ::ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(signal));
  }
  while (reading) {
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n > 0) run.output.append(buffer, static_cast<size_t>(n));
    reading = n > 0;
  }
  ::close(out[0]);
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
  double peak = 0;
  child.parsed = child.process.ok && std::sscanf(child.process.output.c_str(), "%lf %lf %lf",
                                                 &child.atTenth, &child.atEnd, &peak) == 3;
  if (child.parsed) child.process.peakBytes = peak;  // its own reading, exact
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
    const uint64_t frames = options_.Count(100'000);
    AddFlat("Peak RSS of a " + std::to_string(frames) + "-frame run", RunChild(frames), small,
            table);
    AddSoak(table);
  }

 private:
  static constexpr uint64_t kShortRun = 1000;
  // Below what a leak of a byte per frame over the soak would add, above
  // the page-sized noise of the allocator.
  static constexpr double kFlat = 256 * 1024;

  // The reliability soak, lumivane-soak: a million calls, every frame
  // checked at the simulator, resident memory sampled throughout.
  void AddSoak(ResultsTable& table) const {
    const uint64_t calls = options_.Count(1'000'000);
    const std::string soak =
        (std::filesystem::path(SelfPath()).parent_path() / "lumivane-soak").string();
    const ChildRun run = Spawn({soak, "--calls", std::to_string(calls)});
    std::map<std::string, double> figures;
    std::istringstream lines(run.output);
    std::string key;
    double value = 0;
    while (lines >> key >> value) figures[key] = value;
    auto at = [&](const char* name) { return figures.count(name) ? figures.at(name) : -1; };
    const bool parsed = figures.count("frames_lost") && figures.count("rss_kb_max");
    const std::string name = "Soak, lumivane-soak --calls " + std::to_string(calls);
    table.Add({name + ": lost / corrupted",
               parsed ? FormatFixed(at("frames_lost"), 0) + " / " +
                            FormatFixed(at("frames_corrupt"), 0) + ", " +
                            FormatFixed(at("failed_calls"), 0) + " failed calls, " +
                            FormatFixed(at("calls_per_second"), 0) + " checked calls/s"
                      : "soak failed",
               "0 / 0", "-", "0 / 0", parsed && run.ok});
    const double growth = (at("rss_kb_max") - at("rss_kb_after_first_batch")) * 1024;
    table.Add({name + ": resident memory",
               parsed ? FormatBytes(at("rss_kb_max") * 1024) + " highest, " + FormatBytes(growth) +
                            " above its size after the first batch"
                      : "soak failed",
               FormatBytes(at("rss_kb_after_first_batch") * 1024) + " after the first batch", "-",
               "flat (growth < 256 KiB)", parsed && growth < kFlat});
  }

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
         "flat (growth < 256 KiB)", run.parsed && small.parsed && growth < kFlat && inRun < kFlat});
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
    std::printf("%.0f %.0f %.0f\n", atTenth, ResidentNow(), StatusBytes("self", "VmHWM"));
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
