// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "host/channel_pushes.h"
#include "host/host_session.h"
#include "host/line_reader.h"
#include "host/output_watch.h"

namespace lumivane::host {
namespace {

// init, then one SetChannel per level as it comes, then Term; prints every
// call, and when the widget's output is lost and when it resumes. Levels
// are pushed as they are read, so play can follow a live pipe.
class ChannelRun {
 public:
  explicit ChannelRun(const HostOptions& options)
      : session_(options), driver_(*session_.library), watch_(*session_.library, stdout) {
    bool result = false;
    Note("init", result, driver_.Init(session_.title, session_.file, result));
  }

  void Push(const ChannelLevel& level) {
    bool result = false;
    Note("SetChannel(" + std::to_string(level.channel) + ", " + std::to_string(level.value) + ")",
         result, driver_.SetChannel(level.channel, level.value, result));
  }

  // For the quiet times between calls.
  void WatchOutput() { watch_.Look(); }

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
    watch_.Look();
  }

  HostSession session_;
  DriverClient driver_;
  OutputWatch watch_;
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
  int fd = STDIN_FILENO;
  if (fromFile) {
    std::error_code ec;
    fd = std::filesystem::is_directory(name, ec) ? -1 : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "cannot read %s\n", name.c_str());
      return kExitUsage;
    }
  }
  ChannelRun run(options);
  LineReader reader(fd);
  int malformed = 0;
  bool readFailed = false;
  std::string line;
  for (int number = 1;; ++number) {
    LineReader::Result got;
    // While the input is quiet, the output is still watched.
    while ((got = reader.Next(line, std::chrono::milliseconds(100))) ==
           LineReader::Result::kQuiet) {
      run.WatchOutput();
    }
    if (got != LineReader::Result::kLine) {
      readFailed = got == LineReader::Result::kError;
      break;
    }
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
  if (fromFile) ::close(fd);
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
                           "is reported with its number and skipped; the exit status is then 1.\n"
                           "When the widget's output is lost (unplugged, stalled) and when it\n"
                           "resumes, a line says so with the time: 'output lost at 16:42:03.120\n"
                           "(8023)', 'output resumed at 16:42:05.310, after 2.19 s'.\n",
                           RunPlay};

}  // namespace lumivane::host
