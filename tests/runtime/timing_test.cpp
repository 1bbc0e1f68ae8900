// The seconds timer and the sleeping modes. The rules of each mode (how it steps, when it looks
// for a key, when it gives up) run against a substitute sleep and keyboard that log every call,
// so nothing depends on how busy the machine is; a few real sleeps check the wiring with bounds
// that only a fault can miss.
#include "runtime/timing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"

namespace {

// What the substitute services answer, and the calls made so far ("50" a sleep of 50 ms, "key"
// a look at the key-event flag, "closed" a look at whether the keyboard is closed).
struct SleepScript {
  std::deque<bool> key_events;  // answers of take_key_event; false once they run out
  bool keyboard_closed = false;
  int closed_after_looks = -1;  // the keyboard closes after this many looks; -1: never
  std::vector<std::string> calls;
};

SleepScript* script = nullptr;

const SleepServices kFakeServices = {
    [](int milliseconds) { script->calls.push_back(std::to_string(milliseconds)); },
    [] {
      script->calls.push_back("key");
      if (script->key_events.empty()) return false;
      const bool event = script->key_events.front();
      script->key_events.pop_front();
      return event;
    },
    [] {
      script->calls.push_back("closed");
      if (script->closed_after_looks == 0) script->keyboard_closed = true;
      if (script->closed_after_looks > 0) --script->closed_after_looks;
      return script->keyboard_closed;
    },
};

using Calls = std::vector<std::string>;

struct SleepCase {
  const char* what;
  int milliseconds;
  int mode;
  std::deque<bool> key_events;
  int closed_after_looks;
  int result;
  Calls calls;
};

TEST(Sleeping, EachModeStepsAndLooksForKeysByItsRules) {
  const SleepCase cases[] = {
      {"interruptible, a key at the first look", 230, 0, {true}, -1, 0, {"50", "key"}},
      {"interruptible, no key: 50 ms steps while more than 50 remain",
       230,
       0,
       {},
       -1,
       0,
       {"50", "key", "50", "key", "50", "key", "50", "key", "30"}},
      {"interruptible, exactly 100 ms", 100, 0, {false}, -1, 0, {"50", "key", "50"}},
      {"interruptible below 100 ms sleeps plainly", 90, 0, {true}, -1, 0, {"90"}},
      {"whole sleep ignores keys", 230, 1, {true}, -1, 0, {"230"}},
      {"zero returns at once", 0, 0, {}, -1, 0, {}},
      {"a negative time returns at once", -7, 0, {}, -1, 0, {}},
      {"a negative whole sleep returns at once", -7, 1, {}, -1, 0, {}},
      {"wait for a key ends at the key",
       -1,
       0,
       {false, false, true},
       -1,
       0,
       {"closed", "50", "key", "closed", "50", "key", "closed", "50", "key"}},
      {"wait for a key ends when the keyboard closes",
       -1,
       0,
       {},
       1,
       0,
       {"closed", "50", "key", "closed"}},
      {"mode 2 is illegal", 10, 2, {}, -1, 1, {}},
      {"mode -1 is illegal", 10, -1, {}, -1, 1, {}},
  };
  for (const SleepCase& c : cases) {
    SleepScript run;
    run.key_events = c.key_events;
    run.closed_after_looks = c.closed_after_looks;
    script = &run;
    EXPECT_EQ(sleepForWith(kFakeServices, c.milliseconds, c.mode), c.result) << c.what;
    EXPECT_EQ(run.calls, c.calls) << c.what;
  }
  script = nullptr;
}

class TimingTest : public ::testing::Test {
 protected:
  void SetUp() override { resetRuntimeState(); }
  void TearDown() override {
    if (presser_.joinable()) presser_.join();
    resetRuntimeState();
  }

  // Posts a key from another thread after the delay.
  void pressKeyAfter(int milliseconds) {
    presser_ = std::thread([milliseconds] {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      postKey('z');
    });
  }

  // Seconds that sleepFor took.
  static double timedSleep(int milliseconds, int mode) {
    const double start = timerSeconds();
    sleepFor(milliseconds, mode);
    return timerSeconds() - start;
  }

  std::thread presser_;
};

TEST_F(TimingTest, TimerCountsSecondsForward) {
  const double before = timerSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GE(timerSeconds() - before, 0.029);
}

// The real services: a whole sleep lasts its time; a key from another thread ends a wait for a
// key (a wait that missed it would run into the bound of 30 s).
TEST_F(TimingTest, RealSleepsAndKeysAreWiredUp) {
  EXPECT_GE(timedSleep(60, 1), 0.059);
  pressKeyAfter(20);
  EXPECT_LT(timedSleep(-1, 0), 30.0);
}

TEST_F(TimingTest, WaitingForAKeyReturnsAtOnceWhenTheKeyboardIsClosed) {
  screenState().stdin_closed = true;
  EXPECT_LT(timedSleep(-1, 0), 30.0);
}

}  // namespace
