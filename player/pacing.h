// Frame pacing: at every frame mark, shows the frame drawn so far and holds playback until the
// mark's time stamp is due. Receives a mark's time stamp and the clock, sleep, keyboard and present
// services; hands on whether playback goes on and the skip flag that drops a late frame.
#pragma once
#include <cstdint>
#include <string>

enum class PlaybackStep { kGoOn, kStop };

// The services pacing works through, with the signatures of the runtime's own. The player uses
// the real ones; tests use a substitute clock and keyboard so the rules run without sleeping.
struct PacingServices {
  double (*timer)();                         // seconds since an arbitrary origin
  int (*sleep)(int milliseconds, int mode);  // mode 1: the whole time, keys ignored
  int (*key_down)(int scancode);             // non-zero when held or pressed since the last look
  std::string (*read_key)();                 // oldest queued key, "" when none
  void (*present)(void* target);             // shows the frame drawn so far on `target`
  void* present_target = nullptr;            // handed to present
};

struct RenderTarget;

// timerSeconds, sleepFor, keyDownSinceLastLook, readKey and presentFrame on `target`.
PacingServices realPacingServices(RenderTarget& target);

// Maps the recording's clock onto the wall clock for the whole playback.
struct PacingState {
  // Wall clock minus recording clock: a mark stamped t is due when the timer reads t + time_base.
  double time_base = 0;
  // Set when a mark was already due: the triangles up to the next mark are not drawn, and that
  // mark clears the flag instead of presenting.
  bool skip = false;
  // Frame marks met so far: those whose frame was presented and those whose frame was dropped.
  int64_t frames_presented = 0;
  int64_t frames_dropped = 0;
};

// The state at the end of start-up: the time base is the timer's value now, the skip flag clear.
PacingState startPacing(const PacingServices& services);

// Handles one frame mark stamped `time_stamp` seconds: presents (unless the frame was dropped),
// then sleeps until the mark is due. A mark already due sets the skip flag; one more than 0.5 s
// late also moves the time base so that it counts as due now; one 0.25 s or more ahead is waited
// for only 230 ms, the time base moving by the rest. The keyboard is looked at before and after
// every sleep; kStop when Escape is held or was pressed since the last look, or the close key
// is read.
PlaybackStep paceFrameMark(PacingState& state, const PacingServices& services, float time_stamp);

// The whole number of milliseconds nearest to `delay` seconds times 1000, halves to the even
// neighbour; the product is taken as the double it rounds to. For delays from 0 to 0.25 s.
int delayMilliseconds(double delay);
