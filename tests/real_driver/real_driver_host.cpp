// SPDX-License-Identifier: MIT
// The host's side of the real-driver cases: boots the guest under QEMU with
// the emulated FTDI device wired to the widget simulator, answers the
// guest's requests (plug and unplug through QMP, what the simulator holds),
// checks what the chip was told (QEMU's trace) and prints every case's
// result. The cases themselves run in the guest (real_driver_guest.cpp).
//
//   lumivane-realdriver-host --guest DIR --work DIR --run 'COMMAND' [--timeout S]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/widget_simulator.h"
#include "tests/real_driver/ftdi_trace.h"
#include "tests/real_driver/line_channel.h"
#include "tests/real_driver/qmp_client.h"
#include "tests/real_driver/state_latency.h"

extern char** environ;

namespace lumivane::realdriver {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sim::WidgetSimulator;

struct Options {
  std::string guestDir, workDir, run;
  int timeoutSeconds = 210;
};

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// QEMU as a child process of ours, killed if it outlives the run.
class GuestMachine {
 public:
  GuestMachine(const std::vector<std::string>& args, const std::string& logPath) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const int error = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error(std::string("cannot start QEMU: ") + strerror(error));
  }
  ~GuestMachine() {
    if (pid_ > 0 && Running()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Running() {
    if (exited_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true;
    return !exited_;
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

std::vector<std::string> QemuArguments(const Options& o, const std::string& widgetFifos) {
  const std::string& w = o.workDir;
  return {"qemu-system-x86_64",
          "-accel",
          "tcg",
          "-cpu",
          "max",
          "-m",
          "512",
          "-smp",
          "1",
          "-nodefaults",
          "-nic",
          "none",
          "-no-reboot",
          "-display",
          "none",
          "-kernel",
          o.guestDir + "/vmlinux",
          "-initrd",
          o.guestDir + "/initramfs.cpio.gz",
          "-append",
          "console=ttyS0 tsc=reliable panic=-1 quiet",
          "-chardev",
          "file,id=console,path=" + w + "/console.log",
          "-serial",
          "chardev:console",
          "-chardev",
          "socket,id=control,path=" + w + "/control.sock,server=on,wait=off",
          "-serial",
          "chardev:control",
          "-fsdev",
          "local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap",
          "-device",
          "virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot",
          "-fsdev",
          "local,id=results,path=" + w + "/results,security_model=none",
          "-device",
          "virtio-9p-pci,fsdev=results,mount_tag=results",
          "-device",
          "qemu-xhci,id=xhci",
          "-chardev",
          "pipe,id=widgetline,path=" + widgetFifos,
          "-device",
          "usb-serial,chardev=widgetline,id=widget",
          "-qmp",
          "unix:" + w + "/qmp.sock,server=on,wait=off",
          "-msg",
          "timestamp=on",
          "-trace",
          "usb_serial_*,file=" + w + "/ftdi-trace.log"};
}

// "ch=val" pairs, channels from 1.
std::map<int, int> ParseLevels(std::istringstream& in) {
  std::map<int, int> levels;
  std::string pair;
  while (in >> pair) {
    const size_t eq = pair.find('=');
    if (eq != std::string::npos)
      levels[std::stoi(pair.substr(0, eq))] = std::stoi(pair.substr(eq + 1));
  }
  return levels;
}

class Servant {
 public:
  Servant(WidgetSimulator& widget, QmpClient& qmp, std::string tracePath)
      : widget_(widget), qmp_(qmp), tracePath_(std::move(tracePath)) {}

  // Keeps the frame log current; called between requests.
  void Watch() {
    for (const auto& m : widget_.Messages(nextMessage_, nextMessage_)) {
      if (m.frame.label == 6 && m.frame.payload.size() == 513) {
        latency_.AddFrame(m.at, m.frame.payload[1], m.frame.payload[512]);
      }
    }
  }

  std::string Answer(const std::string& request) {
    std::istringstream in(request);
    std::string verb;
    in >> verb;
    const auto start = Clock::now();
    if (verb == "hello") return "ok";
    if (verb == "clear") {
      widget_.ClearMessages();
      nextMessage_ = 0;
      latency_ = StateLatency();
      return "ok";
    }
    if (verb == "first") {
      widget_.WaitForMessages(1, 3s);
      const auto messages = widget_.Messages();
      if (messages.empty()) return "no";
      const sim::WidgetFrame& f = messages.front().frame;
      return Format("ok %.0f %.0f %.0f", f.label, static_cast<double>(f.payload.size()),
                    f.payload.empty() ? -1 : f.payload[0]);
    }
    if (verb == "levels") {
      int timeoutMs = 0;
      in >> timeoutMs;
      const auto want = ParseLevels(in);
      const auto holds = [&] {
        const auto levels = widget_.Levels();
        return std::all_of(want.begin(), want.end(),
                           [&](const auto& w) { return levels[w.first - 1] == w.second; });
      };
      while (!holds() && Clock::now() - start < std::chrono::milliseconds(timeoutMs)) {
        std::this_thread::sleep_for(1ms);
      }
      if (holds()) return Format("ok %.2f", Ms(Clock::now() - start));
      std::string actual = "no";
      const auto levels = widget_.Levels();
      for (const auto& w : want)
        actual += " " + std::to_string(w.first) + "=" + std::to_string(levels[w.first - 1]);
      return actual;
    }
    if (verb == "unplug") {
      qmp_.Execute(R"({"execute": "device_del", "arguments": {"id": "widget"}})");
      const bool deleted = qmp_.WaitForEvent("DEVICE_DELETED", "\"widget\"", 10s);
      return Format(deleted ? "ok %.1f" : "no %.1f", Ms(Clock::now() - start));
    }
    if (verb == "plug") {
      qmp_.Execute(
          R"({"execute": "device_add", "arguments": {"driver": "usb-serial", "chardev": "widgetline", "id": "widget"}})");
      return Format("ok %.1f", Ms(Clock::now() - start));
    }
    if (verb == "bytes") {
      return Format("ok %.0f %.0f", static_cast<double>(widget_.ReceivedBytes()),
                    static_cast<double>(widget_.FrameCount()));
    }
    if (verb == "rate") {
      uint32_t rate = 0;
      in >> rate;
      widget_.SetLinkRate(rate);
      return "ok";
    }
    if (verb == "tracemark") {
      ReadFtdiTrace(tracePath_, traceOffset_, traceOffset_);
      return "ok";
    }
    if (verb == "opendmx") return OpenDmx(in);
    if (verb == "step") {
      int step = 0;
      in >> step;
      latency_.AddStep(start, step);
      return "";  // not answered: the guest does not wait
    }
    if (verb == "latency") {
      Watch();
      return "ok " + latency_.Summary();
    }
    return "no unknown request";
  }

 private:
  static double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  }

  // The set-up sequence since the mark, the packet rate over the last
  // `window` seconds, and whether the last packet holds the levels asked.
  std::string OpenDmx(std::istringstream& in) {
    double window = 2;
    in >> window;
    const auto want = ParseLevels(in);
    uint64_t end = 0;
    const auto events = ReadFtdiTrace(tracePath_, traceOffset_, end);
    const std::string missing = MissingOpenSteps(events);
    const BreakFigures breaks = CountBreaks(events, WallSeconds() - window);
    // A packet is one 513-byte write: the last whole one ends the stream
    // once the count is a multiple of 513.
    std::vector<uint8_t> tail;
    for (int i = 0; i < 100; ++i) {
      tail = widget_.RecentBytes();
      if (widget_.ReceivedBytes() % 513 == 0 && tail.size() >= 513) break;
      std::this_thread::sleep_for(1ms);
    }
    bool levelsHeld = tail.size() >= 513;
    if (levelsHeld) {
      const uint8_t* packet = tail.data() + tail.size() - 513;
      levelsHeld = packet[0] == 0;
      for (const auto& w : want) levelsHeld = levelsHeld && packet[w.first] == w.second;
    }
    return "ok open=" + (missing.empty() ? std::string("whole") : "missing:" + missing) +
           Format(" breaks=%.0f rate=%.2f", static_cast<double>(breaks.breaks), breaks.perSecond) +
           " levels=" + (levelsHeld ? "held" : "not-held") +
           Format(" bytes=%.0f", static_cast<double>(widget_.ReceivedBytes()));
  }

  WidgetSimulator& widget_;
  QmpClient& qmp_;
  std::string tracePath_;
  uint64_t traceOffset_ = 0;
  uint64_t nextMessage_ = 0;
  StateLatency latency_;
};

// The line settings the Pro link gave the chip: 256000 baud as the FT232's
// divisor makes it, 8N1, no flow control.
int CheckLineSettings(const std::string& tracePath) {
  uint64_t end = 0;
  bool baud = false, data = false, flow = false;
  for (const FtdiEvent& e : ReadFtdiTrace(tracePath, 0, end)) {
    baud = baud || e.text.find("baud rate 255319") != std::string::npos;
    data = data || e.text.find("parity N, data bits 8, stop bits 1") != std::string::npos;
    flow = flow || (e.request == kFtdiFlowCtrl && e.value == 0);
  }
  const bool ok = baud && data && flow;
  std::printf(
      "%s line_settings: 256000 baud reached the chip as 255319 %s, 8N1 %s, no flow control %s\n",
      ok ? "PASS" : "FAIL", baud ? "yes" : "no", data ? "yes" : "no", flow ? "yes" : "no");
  return ok ? 0 : 1;
}

int Run(const Options& o) {
  ::mkdir((o.workDir + "/results").c_str(), 0755);
  for (const char* f : {"/results/guest.log", "/results/guest-status", "/ftdi-trace.log"}) {
    ::unlink((o.workDir + f).c_str());
  }
  {
    std::ofstream command(o.workDir + "/results/command");
    command << "export XDG_CONFIG_HOME=/tmp/config HOME=/tmp\n" << o.run << "\n";
  }
  // A FIFO pair of one page between QEMU and the widget: a pty would hold
  // 16 KB or more, a queue of its own behind the driver's.
  WidgetSimulator widget(o.workDir + "/widget", 4096);
  GuestMachine machine(QemuArguments(o, widget.devicePath()), o.workDir + "/qemu.log");
  QmpClient qmp(o.workDir + "/qmp.sock");
  LineChannel control(ConnectUnix(o.workDir + "/control.sock", 10s));
  if (!control.ok()) throw std::runtime_error("cannot reach the guest's control port");
  Servant servant(widget, qmp, o.workDir + "/ftdi-trace.log");

  const auto deadline = Clock::now() + std::chrono::seconds(o.timeoutSeconds);
  bool timedOut = false;
  while (machine.Running()) {
    if (Clock::now() > deadline) {
      timedOut = true;
      break;
    }
    servant.Watch();
    const auto request = control.Receive(5ms);
    if (!request) continue;
    const std::string answer = servant.Answer(*request);
    if (!answer.empty()) control.Send(answer);
  }
  if (timedOut) std::printf("FAIL guest: still running after %d s, stopped\n", o.timeoutSeconds);

  std::ifstream log(o.workDir + "/results/guest.log");
  std::string line;
  int passed = 0, failed = timedOut ? 1 : 0;
  while (std::getline(log, line)) {
    std::printf("%s\n", line.c_str());
    if (line.rfind("PASS ", 0) == 0) ++passed;
    if (line.rfind("FAIL ", 0) == 0) ++failed;
  }
  std::ifstream status(o.workDir + "/results/guest-status");
  int guestStatus = -1;
  if (!(status >> guestStatus) || (guestStatus != 0 && failed == 0)) {
    std::printf("FAIL guest: its program ended with status %d (see %s/qemu.log, console.log)\n",
                guestStatus, o.workDir.c_str());
    ++failed;
  }
  if (o.run.find("--bench") == std::string::npos) {
    (CheckLineSettings(o.workDir + "/ftdi-trace.log") == 0 ? passed : failed)++;
  }
  std::printf("realdriver: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace lumivane::realdriver

int main(int argc, char** argv) {
  lumivane::realdriver::Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i], v = argv[i + 1];
    if (a == "--guest")
      o.guestDir = v;
    else if (a == "--work")
      o.workDir = v;
    else if (a == "--run")
      o.run = v;
    else if (a == "--timeout")
      o.timeoutSeconds = std::stoi(v);
  }
  if (o.guestDir.empty() || o.workDir.empty() || o.run.empty()) {
    std::fprintf(stderr, "usage: %s --guest DIR --work DIR --run COMMAND [--timeout S]\n", argv[0]);
    return 2;
  }
  try {
    return lumivane::realdriver::Run(o);
  } catch (const std::exception& e) {
    std::printf("FAIL real driver: %s\n", e.what());
    return 1;
  }
}
