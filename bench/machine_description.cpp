// SPDX-License-Identifier: MIT
#include "bench/machine_description.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <ctime>
#include <fstream>

namespace lumivane::bench {
namespace {

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) {
      const auto colon = line.find(':');
      if (colon != std::string::npos && colon + 2 <= line.size()) return line.substr(colon + 2);
    }
  }
  return "unknown cpu";
}

}  // namespace

std::string MachineDescription() {
  char date[64] = "?";
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  if (gmtime_r(&now, &utc) != nullptr) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", &utc);
  utsname os{};
  uname(&os);
  std::string load = "?";
  std::ifstream("/proc/loadavg") >> load;
  return std::string(date) + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cpus (" +
         CpuModel() + "), " + os.sysname + " " + os.release + ", load average " + load +
         " at the start";
}

}  // namespace lumivane::bench
