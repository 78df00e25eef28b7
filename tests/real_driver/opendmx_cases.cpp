// SPDX-License-Identifier: MIT
// The Open DMX USB through libftdi1, libusb and usbfs: the chip's set-up,
// packets and their rate, and a cable pull mid-show.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/real_driver/guest_cases.h"

namespace lumivane::realdriver {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using host::DriverClient;

// The plug-in's messages go to standard error without a display: keep them
// in a file while a case runs.
class CapturedErrors {
 public:
  CapturedErrors() : saved_(::dup(2)) {
    std::fflush(stderr);
    const int fd = ::open(kPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
  }
  ~CapturedErrors() { Restore(); }
  std::string Restore() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      ::dup2(saved_, 2);
      ::close(saved_);
      saved_ = -1;
    }
    std::ifstream in(kPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  static constexpr const char* kPath = "/tmp/opendmx-messages.txt";
  int saved_;
};

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Field(const std::string& answer, const std::string& key) {
  const size_t at = answer.find(" " + key + "=");
  if (at == std::string::npos) return "";
  const size_t from = at + key.size() + 2;
  return answer.substr(from, answer.find(' ', from) - from);
}

double ReceivedBytes(GuestSession& g) {
  double bytes = 0, frames = 0;
  std::sscanf(g.Ask("bytes").c_str(), "ok %lf %lf", &bytes, &frames);
  return bytes;
}

}  // namespace

void RunOpenDmxCases(GuestSession& g) {
  g.Reload();
  g.Choose("OpenDMXUSB");
  g.Ask("clear");
  g.Ask("tracemark");
  CapturedErrors errors;
  std::string messages;
  {
    DriverClient client(g.library());
    bool result = false;
    const host::CallOutcome init = client.Init(GuestSession::kTitle, GuestSession::kFile, result);
    CallRecord calls;
    calls.SetChannel(client, 1, 11);
    calls.SetChannel(client, 2, 22);
    calls.SetChannel(client, 3, 33);
    calls.SetChannel(client, 512, 44);
    const std::string detached = UsbTtys();
    std::this_thread::sleep_for(3s);
    const std::string figures = g.Ask("opendmx 2 1=11 2=22 3=33 512=44");
    g.Check(init.ok() && Field(figures, "open") == "whole", "opendmx_open_sequence",
            "init " + host::OutcomeText(init) + "; " + figures + "; ttys while open: [" + detached +
                "]");
    g.Check(Field(figures, "levels") == "held" && std::stod(Field(figures, "breaks")) > 40,
            "opendmx_packets", "513-byte packets with the levels set, a break before each");
    const double rate = std::stod(Field(figures, "rate"));
    // Generous: the figure itself belongs to the bench.
    g.Check(rate > 30 && rate < 41, "opendmx_rate", Format("%.2f packets/s", rate));

    // A cable pull mid-show: 1 s away, then back.
    int level = 1;
    const std::string unplug = g.Ask("unplug");
    const auto goneAt = Clock::now();
    while (MsSince(goneAt) < 1000) {
      calls.SetChannel(client, 1, level = level % 250 + 1);
      std::this_thread::sleep_for(25ms);
    }
    g.Ask("plug");
    const auto plugAt = Clock::now();
    const double before = ReceivedBytes(g);
    std::string resumed = "no";
    while (MsSince(plugAt) < 10000) {
      calls.SetChannel(client, 1, level = level % 250 + 1);
      std::this_thread::sleep_for(25ms);
      if (ReceivedBytes(g) > before + 513 * 2) {
        resumed = Format("%.0f ms after the replug", MsSince(plugAt));
        break;
      }
    }
    std::this_thread::sleep_for(300ms);
    const std::string after = g.Ask(Format("opendmx 0.25 1=%.0f", level));
    messages = errors.Restore();
    g.Check(resumed != "no" && Field(after, "levels") == "held", "opendmx_mid_show_resumes",
            "output resumed " + resumed + " with the newest level " + Field(after, "levels") +
                "; unplug " + unplug + " ms; " + calls.Text() +
                Format("; \"Write DMX Failed!\" x%.0f, \"Write Start Code Failed!\" x%.0f",
                       static_cast<double>(Occurrences(messages, "Write DMX Failed!")),
                       static_cast<double>(Occurrences(messages, "Write Start Code Failed!"))));
    bool result2 = false;
    client.Term(result2);
  }
  // Unloading closes the device: libftdi hands it back to ftdi_sio.
  g.Unload();
  const double ttyMs = WaitForTty("ttyUSB0", 5s);
  g.Check(ttyMs >= 0, "opendmx_close_returns_tty",
          Format("ttyUSB0 back %.0f ms after the unload", ttyMs) + " [" + UsbTtys() + "]");
}

}  // namespace lumivane::realdriver
