// SPDX-License-Identifier: MIT
// The widget link when its device goes away or stalls, and when the driver
// holds frames: on a scripted line that the test plugs, pulls and stalls
// while the link's writer uses it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "prowidget/widget_link.h"
#include "tests/support/expect_failure.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using namespace std::chrono_literals;

const std::string kInitial("\x7E\x06\x01\x00\x00\xE7", 6);
constexpr size_t kFrame = UniverseFrame::kSize;

// A serial component whose device can be unplugged, replugged and stalled,
// and whose driver queue reads what the test sets. Every member may be
// called from the link's writer and the test at once.
class ScriptedLine final : public SerialComponent {
 public:
  void SetCommPort(int16_t port) override {
    std::lock_guard lock(mutex_);
    if (open_) throw Failure(ErrorNumber::kPortOpenNotValid);
    commPort_ = port;
  }
  int16_t CommPort() const override {
    std::lock_guard lock(mutex_);
    return commPort_;
  }
  void SetPortOpen(bool open) override {
    std::lock_guard lock(mutex_);
    if (!open) {
      open_ = false;
      if (closeFails_) throw Failure(*closeFails_);
      return;
    }
    if (open_) throw Failure(ErrorNumber::kPortAlreadyOpen);
    ++opens_;
    changed_.notify_all();
    if (fault_ == Fault::kGone) throw Failure(ErrorNumber::kPortNotFound);
    open_ = true;
    partial_.clear();
  }
  bool PortOpen() const override {
    std::lock_guard lock(mutex_);
    return open_;
  }
  void Output(std::string_view data) override { Take(data, data.size(), true); }
  size_t OutputWithoutWaiting(std::string_view data) override {
    size_t most = 0;
    {
      std::lock_guard lock(mutex_);
      most = takesAtOnce_;
    }
    return Take(data, most, false);
  }
  size_t OutputQueueBytes() override {
    std::lock_guard lock(mutex_);
    return queue_;
  }
  std::string Input() override { return {}; }
  int16_t InBufferCount() override { return 0; }

  // The test's side. A fault shows once `grace` more bytes went.
  enum class Fault { kNone, kGone, kStalled };
  void SetFault(Fault fault, size_t grace = 0) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    grace_ = grace;
    changed_.notify_all();
  }
  void SetQueue(size_t bytes) { Set(queue_, bytes); }
  // What OutputWithoutWaiting takes at most; Output always finishes.
  void SetTakesAtOnce(size_t bytes) { Set(takesAtOnce_, bytes); }
  void SetCloseFails(ErrorNumber number) { Set(closeFails_, std::optional(number)); }
  int Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
  }
  // Whole messages as written, pieces joined.
  std::vector<std::string> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  bool WaitFor(const std::function<bool()>& holds, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      lock.unlock();
      const bool held = holds();
      lock.lock();
      return held;
    });
  }

 private:
  template <class T>
  void Set(T& field, T value) {
    std::lock_guard lock(mutex_);
    field = value;
    changed_.notify_all();
  }
  // Output (whole) fails when it cannot take everything; the write that
  // does not wait takes what it can, and fails only where a gone device
  // takes nothing.
  size_t Take(std::string_view data, size_t most, bool whole) {
    std::lock_guard lock(mutex_);
    if (!open_) throw Failure(ErrorNumber::kPortNotOpen);
    const bool faulted = fault_ != Fault::kNone;
    const size_t taken = std::min({most, data.size(), faulted ? grace_ : SIZE_MAX});
    if (faulted) grace_ -= taken;
    partial_.append(data.substr(0, taken));
    if (partial_.size() == kFrame || partial_.size() == kInitial.size()) {
      messages_.push_back(std::move(partial_));
      partial_.clear();
    }
    changed_.notify_all();
    if (fault_ == Fault::kGone && taken < data.size() && (whole || taken == 0)) {
      open_ = false;  // as a port does when its device is gone
      throw Failure(ErrorNumber::kPortDeviceGone);
    }
    if (fault_ == Fault::kStalled && whole && taken < data.size()) {
      throw Failure(ErrorNumber::kPortWriteTimedOut);
    }
    return taken;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int16_t commPort_ = 1;
  bool open_ = false;
  Fault fault_ = Fault::kNone;
  size_t grace_ = 0;
  size_t queue_ = 0;
  size_t takesAtOnce_ = SIZE_MAX;
  std::optional<ErrorNumber> closeFails_;
  int opens_ = 0;
  std::string partial_;
  std::vector<std::string> messages_;
};

// Channel 1 of each universe frame written, 0 for the initial frame.
std::vector<int> Levels(const std::vector<std::string>& messages) {
  std::vector<int> levels;
  for (const std::string& m : messages) {
    levels.push_back(m.size() == kFrame ? static_cast<uint8_t>(m[5]) : 0);
  }
  return levels;
}

class WidgetLinkRecovery : public ::testing::Test {
 protected:
  explicit WidgetLinkRecovery(WidgetLinkTiming timing = {1ms, 1ms, 1000ms})
      : link_(std::make_unique<WidgetLink>(state_, transmitter_, reports_, timing)) {
    state_.comPort = 7;
    link_->OpenProPort();
  }

  void Set(int level) {
    state_.dmxData[1] = static_cast<uint8_t>(level);
    link_->SendProUniverse();
  }
  bool WaitForLevels(const std::vector<int>& tail) {
    return line().WaitFor([&] {
      const std::vector<int> levels = Levels(line().Messages());
      return levels.size() >= tail.size() &&
             std::equal(tail.begin(), tail.end(), levels.end() - std::ssize(tail));
    });
  }
  ScriptedLine& line() { return *line_; }

  DriverState state_;
  test::RecordingReports reports_;
  ScriptedLine* line_ = nullptr;
  Transmitter transmitter_{[this] {
    auto line = std::make_unique<ScriptedLine>();
    line_ = line.get();
    return line;
  }};
  std::unique_ptr<WidgetLink> link_;
};

struct OutageCase {
  const char* name;
  ScriptedLine::Fault fault;
  size_t takenAtOnce;  // of the frame that meets the fault: the rest is the writer's
  ErrorNumber failure;
};

class Outage : public WidgetLinkRecovery, public ::testing::WithParamInterface<OutageCase> {};

TEST_P(Outage, FailsOnceThenStoresAndTheNewestGoesOutOnceReopened) {
  const OutageCase& c = GetParam();
  Set(1);
  ASSERT_TRUE(WaitForLevels({0, 1}));
  line().SetTakesAtOnce(c.takenAtOnce);
  line().SetFault(c.fault, c.takenAtOnce);
  int level = 2;
  if (c.fault == ScriptedLine::Fault::kStalled || c.takenAtOnce > 0) {
    EXPECT_NO_THROW(Set(level++)) << "the writer meets it, not this call";
    ASSERT_TRUE(line().WaitFor([&] { return link_->OutputState().lost; }));
  }
  EXPECT_FAILURE(Set(level++), c.failure) << "the call that meets the loss";
  for (const int last = level + 3; level < last; ++level) {
    EXPECT_NO_THROW(Set(level)) << "stored meanwhile";
  }
  const int newest = level - 1;
  const OutputStatus lost = link_->OutputState();
  EXPECT_TRUE(lost.lost);
  EXPECT_EQ(lost.failure, static_cast<int32_t>(c.failure));
  EXPECT_EQ(lost.outages, 1u);

  const int opens = line().Opens();
  ASSERT_TRUE(line().WaitFor([&] { return line().Opens() >= opens + 3; }))
      << "the link keeps trying while the device stays away";
  const size_t before = line().Messages().size();
  line().SetTakesAtOnce(SIZE_MAX);
  line().SetFault(ScriptedLine::Fault::kNone);
  // No push needed: the initial frame, then the newest; twice after a stall,
  // for a widget still inside the frame that was cut.
  const std::vector<int> reopened = c.fault == ScriptedLine::Fault::kStalled
                                        ? std::vector<int>{0, newest, newest}
                                        : std::vector<int>{0, newest};
  ASSERT_TRUE(WaitForLevels(reopened));
  link_->FinishSending();
  EXPECT_EQ(line().Messages().size(), before + reopened.size());
  const OutputStatus resumed = link_->OutputState();
  EXPECT_FALSE(resumed.lost);
  EXPECT_EQ(resumed.outages, 1u);
  EXPECT_GE(resumed.lastOutage, 0ns);

  Set(100);
  ASSERT_TRUE(WaitForLevels({100}));
  EXPECT_NO_THROW(link_->CloseProPort()) << "the outage was reported already";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Outage,
    ::testing::Values(
        OutageCase{"Unplugged", ScriptedLine::Fault::kGone, 0, ErrorNumber::kPortDeviceGone},
        OutageCase{"UnpluggedMidFrame", ScriptedLine::Fault::kGone, 100,
                   ErrorNumber::kPortDeviceGone},
        OutageCase{"Stalled", ScriptedLine::Fault::kStalled, 0, ErrorNumber::kPortWriteTimedOut},
        OutageCase{"StalledMidFrame", ScriptedLine::Fault::kStalled, 100,
                   ErrorNumber::kPortWriteTimedOut}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(WidgetLinkRecovery, ANewOutageAfterRecoveryIsReportedAgain) {
  for (int outage = 1; outage <= 2; ++outage) {
    line().SetFault(ScriptedLine::Fault::kGone);
    EXPECT_FAILURE(Set(outage), ErrorNumber::kPortDeviceGone) << outage;
    line().SetFault(ScriptedLine::Fault::kNone);
    ASSERT_TRUE(WaitForLevels({0, outage})) << outage;
    link_->FinishSending();  // so that the host's own write meets the next one
    EXPECT_EQ(link_->OutputState().outages, static_cast<uint32_t>(outage));
  }
}

// A link that would wait long between attempts: whoever takes the port
// back must not wait for the next one.
class RetryingSlowly : public WidgetLinkRecovery {
 protected:
  RetryingSlowly() : WidgetLinkRecovery({60s, 1ms, 1000ms}) {}
};

TEST_F(RetryingSlowly, EveryoneWhoTakesThePortBackEndsTheRetryingAtOnce) {
  struct Ender {
    const char* name;
    std::function<void(std::unique_ptr<WidgetLink>&)> call;
  };
  const std::vector<Ender> enders = {
      {"CloseProPort (Term, the dialog's load step)", [](auto& link) { link->CloseProPort(); }},
      {"OpenProPort (another init)", [](auto& link) { link->OpenProPort(); }},
      {"FinishSending (the scan, Test)", [](auto& link) { link->FinishSending(); }},
      {"the destructor (unload)", [](auto& link) { link.reset(); }},
  };
  for (const Ender& ender : enders) {
    SCOPED_TRACE(ender.name);
    if (!link_)
      link_ = std::make_unique<WidgetLink>(state_, transmitter_, reports_,
                                           WidgetLinkTiming{60s, 1ms, 1000ms});
    line().SetFault(ScriptedLine::Fault::kNone);
    link_->OpenProPort();
    line().SetFault(ScriptedLine::Fault::kGone);
    EXPECT_FAILURE(Set(1), ErrorNumber::kPortDeviceGone);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(ender.call(link_));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    const int opens = line().Opens();
    line().SetFault(ScriptedLine::Fault::kNone);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(line().Opens(), opens) << "nobody retries any more";
  }
  EXPECT_EQ(reports_.messages.size(), 1u) << "the second init could not open the port";
}

TEST_F(WidgetLinkRecovery, CloseReportsAFailureTheHostNeverHeardOfAfterClosing) {
  line().SetFault(ScriptedLine::Fault::kStalled);
  Set(1);  // the writer meets the stall; nobody has been told
  ASSERT_TRUE(line().WaitFor([&] { return link_->OutputState().lost; }));
  EXPECT_FAILURE(link_->CloseProPort(), ErrorNumber::kPortWriteTimedOut);
  EXPECT_FALSE(link_->proPortOpen());
  EXPECT_FALSE(line().PortOpen());
  EXPECT_NO_THROW(link_->CloseProPort()) << "told once; a second close does nothing";
}

TEST_F(WidgetLinkRecovery, ACloseThatFailsButClosesClearsTheFlagAndReports) {
  line().SetCloseFails(ErrorNumber::kPortWriteTimedOut);  // bytes left behind
  EXPECT_FAILURE(link_->CloseProPort(), ErrorNumber::kPortWriteTimedOut);
  EXPECT_FALSE(line().PortOpen());
  EXPECT_FALSE(link_->proPortOpen()) << "the port is closed, and the flag says so";
}

TEST_F(WidgetLinkRecovery, AFrameGoesToTheDriverOnlyWhenLessThanAFrameWaitsThere) {
  Set(1);
  ASSERT_TRUE(WaitForLevels({0, 1}));
  line().SetQueue(2 * kFrame);  // the driver holds two frames
  for (int level = 2; level <= 9; ++level) Set(level);
  line().SetQueue(kFrame);  // still a whole frame
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(Levels(line().Messages()), (std::vector<int>{0, 1})) << "nothing handed over yet";
  line().SetQueue(kFrame - 1);
  ASSERT_TRUE(WaitForLevels({0, 1, 9})) << "only the newest, once the queue is short";
  link_->FinishSending();
  EXPECT_EQ(Levels(line().Messages()), (std::vector<int>{0, 1, 9}));

  line().SetQueue(0);  // where the queue reads 0, every push is a frame
  for (int level = 10; level <= 12; ++level) Set(level);
  EXPECT_EQ(Levels(line().Messages()), (std::vector<int>{0, 1, 9, 10, 11, 12}));
}

TEST_F(WidgetLinkRecovery, AQueueThatNeverShortensIsLeftToTheWriteTimeout) {
  line().SetQueue(4 * kFrame);
  Set(1);
  link_->FinishSending();  // within the wait limit (1 s here)
  EXPECT_EQ(Levels(line().Messages()), (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace lumivane
