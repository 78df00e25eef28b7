// SPDX-License-Identifier: MIT
#include "tests/real_driver/ftdi_trace.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace lumivane::realdriver {

std::vector<FtdiEvent> ReadFtdiTrace(const std::string& path, uint64_t offset, uint64_t& end) {
  std::vector<FtdiEvent> events;
  std::ifstream in(path);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string line;
  end = offset;
  while (std::getline(in, line)) {
    if (in.eof()) break;  // a line QEMU has not finished yet
    end += line.size() + 1;
    const size_t at = line.find('@');
    const size_t colon = line.find(':', at == std::string::npos ? 0 : at);
    const size_t name = line.find("usb_serial_");
    if (name == std::string::npos) continue;
    FtdiEvent e;
    if (at != std::string::npos && colon != std::string::npos && colon < name) {
      e.at = std::strtod(line.c_str() + at + 1, nullptr);
    }
    const size_t space = line.find(' ', name);
    e.name = line.substr(name, space - name);
    e.text = space == std::string::npos ? "" : line.substr(space + 1);
    unsigned request = 0, value = 0;
    const size_t control = line.find("got control ");
    if (control != std::string::npos &&
        std::sscanf(line.c_str() + control, "got control %x, value %x", &request, &value) == 2) {
      e.request = request;
      e.value = value;
    }
    events.push_back(std::move(e));
  }
  return events;
}

std::string MissingOpenSteps(const std::vector<FtdiEvent>& events) {
  struct Step {
    const char* what;
    bool (*matches)(const FtdiEvent&);
  };
  static const Step kSteps[] = {
      {"reset", [](const FtdiEvent& e) { return e.request == kFtdiReset && e.value == 0; }},
      {"250000 baud",
       [](const FtdiEvent& e) {
         return e.name == "usb_serial_set_baud" &&
                e.text.find("baud rate 250000") != std::string::npos;
       }},
      {"8N2", [](const FtdiEvent& e) { return e.request == kFtdiSetData && e.value == 0x1008; }},
      {"no flow control",
       [](const FtdiEvent& e) { return e.request == kFtdiFlowCtrl && e.value == 0; }},
      {"RTS cleared",
       [](const FtdiEvent& e) { return e.request == kFtdiModemCtrl && e.value == 0x0200; }},
      {"a purge", [](const FtdiEvent& e) { return e.request == kFtdiReset && e.value != 0; }},
      {"the other purge",
       [](const FtdiEvent& e) { return e.request == kFtdiReset && e.value != 0; }},
  };
  size_t step = 0;
  for (const FtdiEvent& e : events) {
    if (step < std::size(kSteps) && kSteps[step].matches(e)) ++step;
  }
  return step == std::size(kSteps) ? "" : kSteps[step].what;
}

BreakFigures CountBreaks(const std::vector<FtdiEvent>& events, double since) {
  BreakFigures f;
  double first = 0, last = 0;
  for (const FtdiEvent& e : events) {
    if (e.at < since || e.request != kFtdiSetData || (e.value & kFtdiBreakBit) == 0) continue;
    if (f.breaks++ == 0) first = e.at;
    last = e.at;
  }
  if (f.breaks > 1 && last > first)
    f.perSecond = static_cast<double>(f.breaks - 1) / (last - first);
  return f;
}

}  // namespace lumivane::realdriver
