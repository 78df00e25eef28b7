// SPDX-License-Identifier: MIT
#include <cstdio>
#include <fstream>
#include <iostream>

#include "host/channel_pushes.h"
#include "host/host_session.h"

namespace lumivane::host {
namespace {

// init, one SetChannel per level, Term; prints every call.
int PushLevels(const HostOptions& options, const std::vector<ChannelLevel>& levels,
               bool malformedInput) {
  HostSession session(options);
  DriverClient driver(*session.library);
  bool failed = false;
  bool result = false;
  CallOutcome outcome = driver.Init(session.title, session.file, result);
  PrintCall("init", result, outcome);
  failed |= !outcome.ok();
  for (const ChannelLevel& level : levels) {
    outcome = driver.SetChannel(level.channel, level.value, result);
    PrintCall("SetChannel(" + std::to_string(level.channel) + ", " + std::to_string(level.value) + ")",
              result, outcome);
    failed |= !outcome.ok();
  }
  outcome = driver.Term(result);
  PrintCall("Term", result, outcome);
  failed |= !outcome.ok();
  return failed || malformedInput ? kExitCallFailed : kExitOk;
}

int RunSet(const HostOptions& options, const Arguments& args) {
  if (args.empty()) {
    std::fprintf(stderr, "set needs at least one CH=VAL\n");
    return kExitUsage;
  }
  std::vector<ChannelLevel> levels;
  for (const std::string& arg : args) {
    const auto level = ParseChannelLevel(arg);
    if (!level || arg.find('=') == std::string::npos) {
      std::fprintf(stderr, "not CH=VAL: %s\n", arg.c_str());
      return kExitUsage;
    }
    levels.push_back(*level);
  }
  return PushLevels(options, levels, false);
}

int RunPlay(const HostOptions& options, const Arguments& args) {
  if (args.size() > 1) {
    std::fprintf(stderr, "play takes at most one FILE\n");
    return kExitUsage;
  }
  std::ifstream file;
  std::istream* in = &std::cin;
  if (!args.empty() && args[0] != "-") {
    file.open(args[0]);
    if (!file) {
      std::fprintf(stderr, "cannot read %s\n", args[0].c_str());
      return kExitUsage;
    }
    in = &file;
  }
  std::vector<ChannelLevel> levels;
  bool malformed = false;
  std::string line;
  for (int number = 1; std::getline(*in, line); ++number) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    const auto level = ParseChannelLevel(line);
    if (!level) {
      std::fprintf(stderr, "line %d: not CH VAL, skipped: %s\n", number, line.c_str());
      malformed = true;
      continue;
    }
    levels.push_back(*level);
  }
  const int status = PushLevels(options, levels, malformed);
  if (malformed) std::fprintf(stderr, "some lines were malformed and skipped\n");
  return status;
}

}  // namespace

const Command kSetCommand{"set", "init, set channels CH=VAL ..., Term",
                          "usage: lumivane-host [options] set CH=VAL [CH=VAL ...]\n"
                          "Calls init, then SetChannel once per pair in the order given, then\n"
                          "Term, printing each call's result and any failure's number and\n"
                          "description. Exits 1 if any call failed.\n"
                          "example: lumivane-host set 1=255 2=128\n",
                          RunSet};

const Command kPlayCommand{"play", "like set, with levels read from a file or standard input",
                           "usage: lumivane-host [options] play [FILE|-]\n"
                           "Reads lines 'CH VAL' or 'CH=VAL' from FILE (standard input for -\n"
                           "or none); blank lines and lines starting with # are skipped. Then\n"
                           "init, one SetChannel per line in order, Term. A malformed line is\n"
                           "reported with its number and skipped; the exit status is then 1.\n",
                           RunPlay};

}  // namespace lumivane::host
