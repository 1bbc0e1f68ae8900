// Holds playback to the frame marks' time stamps: presents, measures how long until the mark is
// due through the time base, drops late frames, shortens long pauses and watches the stop keys.
// Receives time stamps and the pacing services; hands on whether playback goes on.
#include "player/pacing.h"

#include <cmath>

#include "player/render_target.h"
#include "player/stop_keys.h"
#include "runtime/keyboard.h"
#include "runtime/timing.h"

namespace {

constexpr double kResyncLateness = -0.5;  // a mark later than this counts as due now
constexpr double kLongPause = 0.25;       // a mark this far ahead or more is a pause, shortened
constexpr int kLongPauseSleep = 230;      // milliseconds slept for a long pause
constexpr int kWholeSleep = 1;            // sleep mode that key presses do not cut short

// The 32-bit x87 build keeps intermediate results in 80 bits; storing a value rounds it to a
// double, so that both builds compute the same delays, time bases and milliseconds.
double asDouble(double value) {
  volatile double stored = value;
  return stored;
}

bool lookForStopKey(const PacingServices& services) {
  return stopKeyLooked(services.key_down, services.read_key);
}

// A dropped frame is not shown: the mark that closes it only clears the skip flag.
void presentUnlessDropped(PacingState& state, const PacingServices& services) {
  if (state.skip) {
    state.skip = false;
    ++state.frames_dropped;
    return;
  }
  ++state.frames_presented;
  services.present(services.present_target);
}

// Seconds until a mark stamped t is due; negative when it is late, NaN when t or the time base is.
double delayUntilDue(const PacingState& state, const PacingServices& services, double t) {
  const double due = asDouble(t + state.time_base);
  const double now = asDouble(services.timer());
  return asDouble(due - now);
}

// Sleeps until the mark is due. A long pause is cut to one 230 ms sleep: the time base moves
// earlier by the rest, so later marks keep their spacing, and the next pass sleeps 0 ms.
PlaybackStep waitUntilDue(PacingState& state, const PacingServices& services, double delay) {
  for (;;) {
    if (lookForStopKey(services)) return PlaybackStep::kStop;
    if (delay < kLongPause) {
      services.sleep(delayMilliseconds(delay), kWholeSleep);
      return lookForStopKey(services) ? PlaybackStep::kStop : PlaybackStep::kGoOn;
    }
    services.sleep(kLongPauseSleep, kWholeSleep);
    state.time_base = asDouble(state.time_base - asDouble(delay - kLongPause));
    delay = 0;
  }
}

void presentTarget(void* target) { presentFrame(*static_cast<RenderTarget*>(target)); }

}  // namespace

PacingServices realPacingServices(RenderTarget& target) {
  return {timerSeconds, sleepFor, keyDownSinceLastLook, readKey, presentTarget, &target};
}

PacingState startPacing(const PacingServices& services) {
  PacingState state;
  state.time_base = asDouble(services.timer());
  return state;
}

PlaybackStep paceFrameMark(PacingState& state, const PacingServices& services, float time_stamp) {
  presentUnlessDropped(state, services);
  const double t = time_stamp;
  double delay = delayUntilDue(state, services, t);
  // Written as "not at least" so that a NaN delay resynchronises and drops the frame too.
  if (!(delay >= kResyncLateness)) {
    state.time_base = asDouble(asDouble(services.timer()) - t);
  }
  if (!(delay >= 0)) {
    state.skip = true;
    delay = 0;
  }
  return waitUntilDue(state, services, delay);
}

int delayMilliseconds(double delay) {
  const double product = asDouble(delay * 1000.0);
  const double whole = std::floor(product);
  const double fraction = product - whole;  // exact: whole is 0 or at least half of product
  const bool odd = std::fmod(whole, 2.0) != 0;
  const bool round_up = fraction > 0.5 || (fraction == 0.5 && odd);
  return static_cast<int>(round_up ? whole + 1 : whole);
}
