// SPDX-License-Identifier: MIT
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "host/channel_pushes.h"
#include "host/host_session.h"

namespace lumivane::host {
namespace {

// init, then one SetChannel per level as it comes, then Term; prints every
// call. Levels are pushed as they are read, so play can follow a live pipe.
class ChannelRun {
 public:
  explicit ChannelRun(const HostOptions& options) : session_(options), driver_(*session_.library) {
    bool result = false;
    Note("init", result, driver_.Init(session_.title, session_.file, result));
  }

  void Push(const ChannelLevel& level) {
    bool result = false;
    Note("SetChannel(" + std::to_string(level.channel) + ", " + std::to_string(level.value) + ")",
         result, driver_.SetChannel(level.channel, level.value, result));
  }

  // Calls Term; true when every call succeeded.
  bool Finish() {
    bool result = false;
    Note("Term", result, driver_.Term(result));
    return !failed_;
  }

 private:
  void Note(const std::string& call, bool result, const CallOutcome& outcome) {
    PrintCall(call, result, outcome);
    std::fflush(stdout);
    failed_ |= !outcome.ok();
  }

  HostSession session_;
  DriverClient driver_;
  bool failed_ = false;
};

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
  ChannelRun run(options);
  for (const ChannelLevel& level : levels) run.Push(level);
  return run.Finish() ? kExitOk : kExitCallFailed;
}

int RunPlay(const HostOptions& options, const Arguments& args) {
  if (args.size() > 1) {
    std::fprintf(stderr, "play takes at most one FILE\n");
    return kExitUsage;
  }
  const bool fromFile = !args.empty() && args[0] != "-";
  const std::string name = fromFile ? args[0] : "standard input";
  std::ifstream file;
  std::istream* in = &std::cin;
  if (fromFile) {
    std::error_code ec;
    if (!std::filesystem::is_directory(name, ec)) file.open(name);
    if (!file.is_open()) {
      std::fprintf(stderr, "cannot read %s\n", name.c_str());
      return kExitUsage;
    }
    in = &file;
  }
  ChannelRun run(options);
  int malformed = 0;
  std::string line;
  for (int number = 1; std::getline(*in, line); ++number) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    const auto level = ParseChannelLevel(line);
    if (!level) {
      std::fprintf(stderr, "line %d: not CH VAL, skipped: %s\n", number, line.c_str());
      ++malformed;
      continue;
    }
    run.Push(*level);
  }
  const bool readFailed = in->bad();
  if (readFailed) std::fprintf(stderr, "error reading %s; stopped there\n", name.c_str());
  const bool ok = run.Finish();
  if (malformed > 0) std::fprintf(stderr, "%d malformed line(s) skipped\n", malformed);
  return ok && malformed == 0 && !readFailed ? kExitOk : kExitCallFailed;
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
                           "init, one SetChannel per line as it is read, Term. A malformed line\n"
                           "is reported with its number and skipped; the exit status is then 1.\n",
                           RunPlay};

}  // namespace lumivane::host
