// Frame pacing against a substitute clock, sleep, keyboard and presenter that log every call: the
// exact order of presents, timer reads, sleeps and key looks, and the time base, worked out by
// hand. Nothing here sleeps for real.
#include "player/pacing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <limits>
#include <string>
#include <vector>

#include "player/record_walk.h"
#include "tools/recording_writer.h"

namespace {

using Calls = std::vector<std::string>;

// What the substitute services answer, one answer per call, and the calls made so far.
struct Script {
  std::deque<double> timer_reads;
  std::deque<int> escape_held;   // keyHeld answers; 0 once they run out
  std::deque<std::string> keys;  // readKey answers; "" once they run out
  Calls calls;
};

Script* script = nullptr;

double fakeTimer() {
  script->calls.push_back("timer");
  if (script->timer_reads.empty()) {
    ADD_FAILURE() << "the timer was read more often than expected";
    return 0;
  }
  const double value = script->timer_reads.front();
  script->timer_reads.pop_front();
  return value;
}

int fakeSleep(int milliseconds, int mode) {
  script->calls.push_back("sleep(" + std::to_string(milliseconds) + "," + std::to_string(mode) +
                          ")");
  return 0;
}

int fakeKeyHeld(int scancode) {
  script->calls.push_back("keyHeld(" + std::to_string(scancode) + ")");
  if (script->escape_held.empty()) return 0;
  const int held = script->escape_held.front();
  script->escape_held.pop_front();
  return held;
}

std::string fakeReadKey() {
  script->calls.push_back("readKey");
  if (script->keys.empty()) return "";
  const std::string key = script->keys.front();
  script->keys.pop_front();
  return key;
}

void fakePresent(void*) { script->calls.push_back("present"); }

const PacingServices kFakeServices = {fakeTimer, fakeSleep, fakeKeyHeld, fakeReadKey, fakePresent};

const std::string kPresent = "present";
const std::string kTimer = "timer";
const std::string kEscape = "keyHeld(1)";
const std::string kReadKey = "readKey";
const std::string kCloseKey = "\xFFk";

std::string sleepCall(int milliseconds) { return "sleep(" + std::to_string(milliseconds) + ",1)"; }

// Pieces of a call sequence, joined in order.
Calls join(std::initializer_list<Calls> pieces) {
  Calls all;
  for (const Calls& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
  return all;
}

const Calls kLook = {kEscape, kReadKey};

// The calls of `calls` up to and including the `n`-th (from 0) that equals `call`.
Calls upToCall(const Calls& calls, const std::string& call, int n) {
  Calls prefix;
  for (const std::string& c : calls) {
    prefix.push_back(c);
    if (c == call && n-- == 0) break;
  }
  return prefix;
}

class Pacing : public ::testing::Test {
 protected:
  void SetUp() override { script = &fake; }
  void TearDown() override { script = nullptr; }

  // Starts playback with the timer reading `now`, and forgets that read.
  void start(double now) {
    fake = Script{};
    fake.timer_reads = {now};
    state = startPacing(kFakeServices);
    fake.calls.clear();
  }

  // Handles a mark stamped `t` while the timer gives `reads`; checks that all were used.
  PlaybackStep mark(float t, std::initializer_list<double> reads) {
    fake.calls.clear();
    fake.timer_reads = reads;
    const PlaybackStep step = paceFrameMark(state, kFakeServices, t);
    EXPECT_TRUE(fake.timer_reads.empty()) << "timer reads left over";
    return step;
  }

  Script fake;
  PacingState state;
};

}  // namespace

TEST_F(Pacing, StartTakesTheTimeBaseFromTheTimer) {
  fake.timer_reads = {12.5};
  state = startPacing(kFakeServices);
  EXPECT_EQ(fake.calls, Calls{kTimer});
  EXPECT_EQ(state.time_base, 12.5);
  EXPECT_FALSE(state.skip);
}

TEST_F(Pacing, MarkDueIn100MillisecondsIsWaitedForWithOneSleepBetweenTwoKeyLooks) {
  start(20.0);
  EXPECT_EQ(mark(0.5f, {20.4}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(100)}, kLook}));
  EXPECT_EQ(state.time_base, 20.0);
  EXPECT_FALSE(state.skip);
}

TEST_F(Pacing, FirstMarkAtZeroIsLateSoTheNextFrameIsDropped) {
  start(5.0);
  EXPECT_EQ(mark(0.0f, {5.001}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_TRUE(state.skip);
  EXPECT_EQ(state.time_base, 5.0);  // late by less than 0.5 s: no resynchronisation

  // The dropped frame's mark clears the flag instead of presenting, and is paced as usual:
  // (1/30 + 5) - 5.02 s.
  EXPECT_EQ(mark(1.0f / 30, {5.02}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kTimer}, kLook, {sleepCall(13)}, kLook}));
  EXPECT_FALSE(state.skip);

  // From then on frames play in time: (2/30 + 5) - 5.05 s.
  EXPECT_EQ(mark(2.0f / 30, {5.05}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(17)}, kLook}));
  // The counts the player reports with KESTRUNE_PRESENT_STATS=1: marks 1 and 3 presented.
  EXPECT_EQ(state.frames_presented, 2);
  EXPECT_EQ(state.frames_dropped, 1);
}

TEST_F(Pacing, LongPauseSleeps230MillisecondsAndMovesTheTimeBaseByTheRest) {
  start(10.0);
  // Due in 99.75 s: one 230 ms sleep, the time base moves 99.5 s earlier, the second pass
  // sleeps 0 ms; three looks at the keyboard.
  EXPECT_EQ(mark(100.0f, {10.25}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls,
            join({{kPresent, kTimer}, kLook, {sleepCall(230)}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_EQ(state.time_base, -89.5);
  EXPECT_FALSE(state.skip);

  // The next mark keeps its spacing to this one: (100.03125 - 89.5) - 10.5 s.
  EXPECT_EQ(mark(100.03125f, {10.5}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(31)}, kLook}));
  EXPECT_EQ(state.time_base, -89.5);
}

TEST_F(Pacing, DelayOfExactlyAQuarterSecondIsALongPause) {
  start(0.0);
  EXPECT_EQ(mark(1.0f, {0.75}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls,
            join({{kPresent, kTimer}, kLook, {sleepCall(230)}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_EQ(state.time_base, 0.0);  // moved by 0.25 - 0.25
}

TEST_F(Pacing, LateByExactlyHalfASecondKeepsTheTimeBase) {
  start(0.0);
  EXPECT_EQ(mark(1.0f, {1.5}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_EQ(state.time_base, 0.0);
  EXPECT_TRUE(state.skip);
}

TEST_F(Pacing, LateByMoreThanHalfASecondResynchronisesFromASecondTimerRead) {
  start(0.0);
  EXPECT_EQ(mark(1.0f, {1.5078125, 1.5625}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer, kTimer}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_EQ(state.time_base, 0.5625);  // the second read minus the stamp
  EXPECT_TRUE(state.skip);
}

TEST_F(Pacing, SameStampTwiceDropsTheFrameAfterTheSecondMark) {
  start(0.0);
  EXPECT_EQ(mark(1.0f, {0.9}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(100)}, kLook}));
  EXPECT_FALSE(state.skip);

  // Drawing the frame between them took 4 ms: the second mark is that late.
  EXPECT_EQ(mark(1.0f, {1.004}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_TRUE(state.skip);
  EXPECT_EQ(state.time_base, 0.0);

  EXPECT_EQ(mark(1.0625f, {1.03125}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kTimer}, kLook, {sleepCall(31)}, kLook}));
  EXPECT_FALSE(state.skip);
}

TEST_F(Pacing, StampJumpingBackResetsTheTimeBaseAndDropsTheNextFrame) {
  start(0.0);
  EXPECT_EQ(mark(10.0f, {9.875}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(125)}, kLook}));

  EXPECT_EQ(mark(2.0f, {10.0, 10.25}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer, kTimer}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_EQ(state.time_base, 8.25);
  EXPECT_TRUE(state.skip);

  // Marks after the jump are timed from the new base: (2.0625 + 8.25) - 10.28125 s.
  EXPECT_EQ(mark(2.0625f, {10.28125}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kTimer}, kLook, {sleepCall(31)}, kLook}));
  EXPECT_FALSE(state.skip);
}

TEST_F(Pacing, NotANumberStampSpoilsTheTimeBaseUntilTheNextMarkResetsIt) {
  start(0.0);
  EXPECT_EQ(mark(std::numeric_limits<float>::quiet_NaN(), {1.0, 1.0}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer, kTimer}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_TRUE(std::isnan(state.time_base));
  EXPECT_TRUE(state.skip);

  // The base is not a number, so this mark is late too: it resets the base from its own stamp
  // and drops the next frame as well.
  EXPECT_EQ(mark(3.0f, {1.125, 1.25}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kTimer, kTimer}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_EQ(state.time_base, -1.75);
  EXPECT_TRUE(state.skip);

  EXPECT_EQ(mark(3.0625f, {1.28125}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kTimer}, kLook, {sleepCall(31)}, kLook}));
  EXPECT_FALSE(state.skip);
}

TEST_F(Pacing, NegativeZeroDelayIsDueNotLate) {
  start(-0.0);
  // (-0 + -0) - 0 is -0, which is at least 0.
  EXPECT_EQ(mark(-0.0f, {0.0}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(0)}, kLook}));
  EXPECT_FALSE(state.skip);
}

TEST_F(Pacing, SleepIsTheNearestMillisecondWithHalvesToEven) {
  // A stamp of 0 and a timer reading 0 at the mark make the delay exactly the start-up reading.
  // Each product with 1000 is, as a double, exactly the half shown, although the delay is not
  // exactly representable: rounding the product more precisely would round most halves up.
  struct Case {
    double delay;
    int milliseconds;
  };
  const Case cases[] = {{0.0005, 0},    {0.0015, 2},    {0.0025, 2},   {0.0035, 4},
                        {0.0125, 12},   {0.1005, 100},  {0.2485, 248}, {0.2495, 250},
                        {0.0004999, 0}, {0.0005001, 1}, {0.0, 0},      {0.1, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delay);
    start(c.delay);
    EXPECT_EQ(mark(0.0f, {0.0}), PlaybackStep::kGoOn);
    EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(c.milliseconds)}, kLook}));
  }
}

TEST(PacingMilliseconds, RoundsTheDoubleProduct) {
  EXPECT_EQ(delayMilliseconds(-0.0), 0);
  EXPECT_EQ(delayMilliseconds(0.0125), 12);                       // 12.5 exactly
  EXPECT_EQ(delayMilliseconds(std::nextafter(0.0125, 1.0)), 13);  // 12.500000000000002
  EXPECT_EQ(delayMilliseconds(std::nextafter(0.0135, 0.0)), 13);  // 13.499999999999998
  EXPECT_EQ(delayMilliseconds(0.0135), 14);                       // 13.5 exactly
  EXPECT_EQ(delayMilliseconds(std::nextafter(0.25, 0.0)), 250);
}

// The long pause has three looks at the keyboard: before the 230 ms sleep, after it, and after
// the second pass's 0 ms sleep.
const Calls kLongPauseCalls =
    join({{kPresent, kTimer}, kLook, {sleepCall(230)}, kLook, {sleepCall(0)}, kLook});

TEST_F(Pacing, EscapeHeldAtAnyLookStopsAtOnce) {
  for (int look = 0; look < 3; ++look) {
    SCOPED_TRACE(look);
    start(10.0);
    fake.escape_held = std::deque<int>(look, 0);
    fake.escape_held.push_back(-1);
    EXPECT_EQ(mark(100.0f, {10.25}), PlaybackStep::kStop);
    EXPECT_EQ(fake.calls, upToCall(kLongPauseCalls, kEscape, look));
    EXPECT_EQ(state.time_base, look == 0 ? 10.0 : -89.5);
  }
}

TEST_F(Pacing, CloseKeyReadAtAnyLookStopsAtOnce) {
  for (int look = 0; look < 3; ++look) {
    SCOPED_TRACE(look);
    start(10.0);
    fake.keys = std::deque<std::string>(look, "");
    fake.keys.push_back(kCloseKey);
    EXPECT_EQ(mark(100.0f, {10.25}), PlaybackStep::kStop);
    EXPECT_EQ(fake.calls, upToCall(kLongPauseCalls, kReadKey, look));
  }
}

TEST_F(Pacing, OtherKeysAreConsumedOnePerLookWithoutEffect) {
  start(10.0);
  // "k" alone and 255 alone are not the close key, nor is 255 with another letter.
  fake.keys = {"k", "\xFF", "\xFFj", "x"};
  EXPECT_EQ(mark(100.0f, {10.25}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, kLongPauseCalls);
  EXPECT_EQ(fake.keys, std::deque<std::string>{"x"});

  fake.keys = {"a", "b", "c"};
  EXPECT_EQ(mark(100.125f, {10.5}), PlaybackStep::kGoOn);
  EXPECT_EQ(fake.calls, join({{kPresent, kTimer}, kLook, {sleepCall(125)}, kLook}));
  EXPECT_EQ(fake.keys, std::deque<std::string>{"c"});
}

TEST_F(Pacing, RecordWalkPacesEachMarkByItsStampAndEndsWhenPacingStops) {
  fake.timer_reads = {0.0};
  PlaybackState playback = startPlayback(kFakeServices);
  fake.calls.clear();
  fake.timer_reads = {0.0, 0.125};
  fake.escape_held = {0, 0, -1};  // held at the second mark's first look
  const Bytes triangle = triangleRecordBytes(plainTriangle(0, 0, 255, 0, 0, 255, 0xF777));
  // The bad kind behind the second mark would print if the walk went on.
  const Bytes chunk =
      joinBytes({triangle, frameMarkBytes(0.125f), triangle, frameMarkBytes(0.3125f), Bytes{7, 0}});

  testing::internal::CaptureStdout();
  const PlaybackStep step = walkRecords(playback, chunk.data(), static_cast<int64_t>(chunk.size()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(step, PlaybackStep::kStop);
  EXPECT_EQ(
      fake.calls,
      join({{kPresent, kTimer}, kLook, {sleepCall(125)}, kLook, {kPresent, kTimer, kEscape}}));
  EXPECT_EQ(playback.pacing.time_base, 0.0);
}
