// The seconds timer and the sleeping modes, interrupted (or not) by keys from another thread.
// Bounds are generous: they tell a sleep that ran its course from one that was cut short.
#include "runtime/timing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/keyboard.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"

namespace {

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
  static double timedSleep(int milliseconds, int mode, int* result = nullptr) {
    double start = timerSeconds();
    int code = sleepFor(milliseconds, mode);
    if (result != nullptr) *result = code;
    return timerSeconds() - start;
  }

  std::thread presser_;
};

TEST_F(TimingTest, TimerCountsSecondsForward) {
  double before = timerSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  double elapsed = timerSeconds() - before;
  EXPECT_GE(elapsed, 0.029);
  EXPECT_LT(elapsed, 5.0);
}

TEST_F(TimingTest, InterruptibleSleepEndsEarlyOnAKey) {
  pressKeyAfter(20);
  int code = -1;
  double elapsed = timedSleep(230, 0, &code);
  EXPECT_EQ(code, 0);
  EXPECT_GE(elapsed, 0.045);  // the first check comes after one 50 ms step
  EXPECT_LT(elapsed, 0.180);
  EXPECT_FALSE(takeKeyEvent());  // the check cleared the flag
}

TEST_F(TimingTest, InterruptibleSleepRunsItsCourseWithoutKeys) {
  double elapsed = timedSleep(230, 0);
  EXPECT_GE(elapsed, 0.225);
  EXPECT_LT(elapsed, 5.0);
}

TEST_F(TimingTest, WholeSleepIgnoresKeys) {
  pressKeyAfter(20);
  int code = -1;
  double elapsed = timedSleep(230, 1, &code);
  EXPECT_EQ(code, 0);
  EXPECT_GE(elapsed, 0.225);
  EXPECT_TRUE(takeKeyEvent());  // seen by nobody
}

TEST_F(TimingTest, ShortSleepsAreNotInterrupted) {
  pressKeyAfter(5);
  double elapsed = timedSleep(90, 0);
  EXPECT_GE(elapsed, 0.085);
  EXPECT_TRUE(takeKeyEvent());
}

TEST_F(TimingTest, ZeroAndOtherNegativeTimesReturnAtOnce) {
  int code = -1;
  EXPECT_LT(timedSleep(0, 0, &code), 0.045);
  EXPECT_EQ(code, 0);
  EXPECT_LT(timedSleep(-7, 0, &code), 0.045);
  EXPECT_EQ(code, 0);
  EXPECT_LT(timedSleep(-7, 1, &code), 0.045);
  EXPECT_EQ(code, 0);
}

TEST_F(TimingTest, OtherModesAreIllegal) {
  EXPECT_EQ(sleepFor(10, 2), 1);
  EXPECT_EQ(sleepFor(10, -1), 1);
  EXPECT_EQ(sleepFor(-1, 3), 1);
}

TEST_F(TimingTest, WaitingForAKeyEndsAtTheKey) {
  pressKeyAfter(120);
  double elapsed = timedSleep(-1, 0);
  EXPECT_GE(elapsed, 0.115);
  EXPECT_LT(elapsed, 2.0);
}

TEST_F(TimingTest, WaitingForAKeyReturnsAtOnceWhenTheKeyboardIsClosed) {
  screenState().stdin_closed = true;
  pressKeyAfter(800);  // ends a wait that should not have happened
  EXPECT_LT(timedSleep(-1, 0), 0.5);
}

}  // namespace
