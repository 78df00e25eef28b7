// SPDX-License-Identifier: MIT
// lumivane-host scan and test, run as a user runs them, against simulated
// widgets over pseudo-terminals.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/scan/scan_over_ptys.h"

namespace lumivane {
namespace {

struct HostRun {
  int status = -1;
  std::string out;
  std::string err;
};

class ScanCommandTest : public ::testing::Test {
 protected:
  // Runs lumivane-host with the ports' settings home and no display, so
  // message boxes go to standard error.
  HostRun Host(const std::string& args) {
    const std::string errFile = (ports.home() / "stderr").string();
    const std::string command = "env -u DISPLAY XDG_CONFIG_HOME='" + ports.home().string() + "' '" +
                                LUMIVANE_HOST + "' " + args + " 2>'" + errFile + "'";
    HostRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    run.err = text.str();
    return run;
  }

  test::SimulatedPorts ports;
};

TEST_F(ScanCommandTest, ScanPrintsTheEntriesThenTheInfoAndResultLines) {
  ports.AddTheUsualSet();
  const HostRun run = Host("scan");
  EXPECT_EQ(run.status, 0) << run.err;
  // The last reply parsed is the widget's on port 9.
  EXPECT_EQ(run.out,
            "Com: 2\n"
            "Pro Widget - Com:  4 : 12345678\n"
            "Com: 6\n"
            "Pro Widget - Com:  9 : A0B1C2D3\n"
            "Com: 11\n"
            "info: 7E A 4 0 D3 C2 B1 A0 E7 \n"
            "result: serial number:  A0B1C2D3\n");
  EXPECT_EQ(run.err,
            "lumivane: Bad data received from widget, not start of message: 0 13 55 AA 11 FF \n");
}

// No widget is an answer, not a failure: the scan exits 0 and says what it
// saw instead of two empty captions.
TEST_F(ScanCommandTest, ScanWithoutAWidgetSaysSo) {
  const HostRun none = Host("scan");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "No DMX USB Pro found on ports 1 to 16.\nNo port opened.\n");
  EXPECT_EQ(none.err, "");

  ports.Widget(2).SetReplies(sim::WidgetSimulator::Replies::kSilent);
  ports.Widget(12).SetReplies(sim::WidgetSimulator::Replies::kSilent);
  const HostRun silent = Host("scan");
  EXPECT_EQ(silent.status, 0);
  EXPECT_EQ(silent.out,
            "Com: 2\nCom: 12\nNo DMX USB Pro found on ports 1 to 16.\n"
            "Ports that opened without a widget: 2, 12.\n");

  // A stray reply still shows what came back and what the parser made of it.
  ports.Widget(6).SetReplies(sim::WidgetSimulator::Replies::kGarbage);
  const HostRun garbage = Host("scan");
  EXPECT_EQ(garbage.status, 0);
  EXPECT_EQ(garbage.out,
            "Com: 2\nCom: 6\nCom: 12\nNo DMX USB Pro found on ports 1 to 16.\n"
            "Ports that opened without a widget: 2, 6, 12.\n"
            "info: 0 13 55 AA 11 FF \nresult: \n");
}

// Test exits 0 only where a widget answered; the texts stay the dialog's.
TEST_F(ScanCommandTest, TestShowsTheCode) {
  ports.Widget(3).SetSerial(0x00000005);
  ports.Widget(5).SetReplies(sim::WidgetSimulator::Replies::kSilent);
  ports.Widget(6).SetReplies(sim::WidgetSimulator::Replies::kGarbage);
  struct Case {
    const char* args;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"test 3", 0, "info: 7E A 4 0 5 0 0 0 E7 \nresult:  10\n", ""},
      {"test 5", 1, "info: \nresult: Nothing Recieved\n", ""},
      {"test 7", 1, "info: \nresult: \n",
       "lumivane: Failed to open USB DMX Pro on comm port:  7\n"},
      {"test 6", 1, "info: 0 13 55 AA 11 FF \nresult: -2\n",
       "lumivane: Bad data received from widget, not start of message: 0 13 55 AA 11 FF \n"},
      {"test ' 3'", 0, "info: 7E A 4 0 5 0 0 0 E7 \nresult:  10\n", ""},
      {"test 3.9", 0, "info: 7E A 4 0 5 0 0 0 E7 \nresult:  10\n", ""},
      {"test 3x", 2, "", "port \"3x\" is not a number from -32768 to 32767\n"},
      {"test 32768", 2, "", "port \"32768\" is not a number from -32768 to 32767\n"},
      {"test 3 4", 2, "", "usage: test [PORT]\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const HostRun run = Host(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
}

// The stored text converts as init converts it: blanks allowed, halves to
// the even neighbour.
TEST_F(ScanCommandTest, TestWithoutAPortUsesTheStoredOne) {
  ports.Widget(3);
  ports.Widget(2).SetSerial(0x00000002);
  struct Case {
    const char* stored;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"3", 0, "info: 7E A 4 0 78 56 34 12 E7 \nresult:  10\n", ""},
      {"' 3 '", 0, "info: 7E A 4 0 78 56 34 12 E7 \nresult:  10\n", ""},
      {"2.5", 0, "info: 7E A 4 0 2 0 0 0 E7 \nresult:  10\n", ""},
      {"COM3", 1, "", "the stored comPort \"COM3\" failed with 13: Type mismatch\n"},
      {"32768", 1, "", "the stored comPort \"32768\" failed with 6: Overflow\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_EQ(Host(std::string("settings set comPort ") + c.stored).status, 0);
    const HostRun run = Host("test");
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
}

}  // namespace
}  // namespace lumivane
