// The scalable window: takes the screen service's window over from outside, stretches its picture
// to any client size (or fits it, aspect kept), toggles a letterboxed full screen and maps the
// mouse to screen pixels. One interface for both builds, each implemented by a platform module.
#pragma once
#include <atomic>
#include <cstdint>

// Option bits of openScaledScreen's flags. They take effect only when the creation hook was armed
// at openScaledScreen; otherwise the flags go to openScreen unchanged.
constexpr int32_t startFullScreen = 1;     // set-up ends in the module's full screen
constexpr int32_t openGlPresenter = 2;     // passed on; in full screen no top margin
constexpr int32_t noFullScreenToggle = 4;  // Alt+Enter does nothing; passed on
constexpr int32_t shapedWindow = 16;       // prefer the "GDI" presenter for this open
// Windowed too, the picture keeps its aspect between margins in the border colour, fitted anew on
// every client size change, when setupScaledWindow's keepAspect is non-zero. Kept from openScreen
// once recorded (openScreen ignores it). Without it the windowed picture fills the client area.
constexpr int32_t keepAspectWindowed = 32;

// Window message that toggles the module's full screen (WM_USER + 90), from any sender.
constexpr uint32_t toggleFullScreenMessage = 1114;

constexpr int kPresenterNameSize = 32;

// The module's one process-wide record, shared by the caller's thread and the presenter thread
// without a lock: every field both threads touch is a single word, read and written whole.
// Platform handles are kept as integers so that the record is the same in both builds.
struct ScaledWindowState {
  std::atomic<uintptr_t> window{0};      // the subclassed window; 0 before the first set-up
  std::atomic<uintptr_t> screenProc{0};  // the screen service's own window procedure
  std::atomic<int32_t> clientWidth{0};   // client size from the last resize; 0 until then
  std::atomic<int32_t> clientHeight{0};
  std::atomic<int32_t> modeWidth{0};  // the open screen's size in pixels
  std::atomic<int32_t> modeHeight{0};
  // Letterbox margins, left/right and top/bottom; 0 windowed unless keepAspectWindowed is on.
  std::atomic<int32_t> marginX{0};
  std::atomic<int32_t> marginY{0};
  std::atomic<int32_t> keepAspect{0};   // full screen (and keepAspectWindowed's window) keeps it
  std::atomic<uint32_t> savedStyle{0};  // windowed style (with WS_VISIBLE); 0 while windowed
  std::atomic<bool> fullScreen{false};
  std::atomic<bool> styleGuard{false};  // messages bound for screenProc go to the default
  std::atomic<int32_t> options{0};      // option bits when the hook was armed at open, else 0
  std::atomic<bool> openedWithHook{false};
  std::atomic<uint32_t> borderColour{0};          // margin colour, 0x00BBGGRR
  char activePresenter[kPresenterNameSize] = {};  // caller's thread only

  // Window creation and blit redirection (Windows build; the native module keeps only hookResume
  // as its "armed" mark).
  std::atomic<uintptr_t> hookResume{0};   // CreateWindowExA + 5; non-zero exactly while armed
  std::atomic<int32_t> timerRequests{0};  // 1 ms timer periods requested and not yet ended
  uint8_t savedPrologue[8] = {};          // CreateWindowExA's first 8 bytes, saved when arming
  uintptr_t blitSite[2] = {};             // the redirected call operands in the order found
  uintptr_t savedViewport = 0;            // the viewport function before redirection
};

// The process-wide record.
inline ScaledWindowState& scaledWindowState() {
  static ScaledWindowState state;
  return state;
}

// True while the window is not in full screen and fits its picture between margins: the
// keepAspectWindowed option was recorded and set-up asked to keep the aspect.
inline bool aspectKeptWindowed(const ScaledWindowState& state) {
  return (state.options.load() & keepAspectWindowed) != 0 && state.keepAspect.load() != 0 &&
         !state.fullScreen.load();
}

// Opens the screen through openScreen and records the module options (see the option bits).
// Returns openScreen's code; the caller goes on to setupScaledWindow when it is 0.
int openScaledScreen(int32_t width, int32_t height, int32_t depth, int32_t pages, int32_t flags,
                     int32_t refresh);

// Takes the open screen's window over (once per window), sets or clears the sizing border, sizes
// and centres the window, redirects the presenter to the stretching paths and enters full screen
// when startFullScreen asks for it. On the native build the window always stays resizable: an X
// window manager maximises only a window whose size may change. Width and height: above 0 a client
// size, 0 the desktop's, below 0 derived from the other side through the screen's aspect ratio.
// keepAspect non-zero letterboxes full screen (and the window with keepAspectWindowed). Call
// again to re-size.
void setupScaledWindow(int32_t width, int32_t height, int32_t keepAspect, int32_t resizable);

// The margins' colour; each component is taken modulo 256. Repaints visible margins at once.
void setBorderColour(int32_t red, int32_t green, int32_t blue);

// Places the cursor at screen pixel (x, y), sets its visibility and clips it to the client area
// (clip non-zero) or releases it (clip 0); kScaledMouseUnchanged (-32768, window/geometry.h)
// leaves that part alone.
// Returns 0, or 1 when there is no window or the point lies outside the screen.
int setScaledMouse(int32_t x, int32_t y, int32_t visibility, int32_t clip);

// Any thread. Toggles the module's full screen as Alt+Enter does, on the window's own thread a
// moment later (this returns at once). The noFullScreenToggle option stops Alt+Enter only.
// Nothing happens before setupScaledWindow has taken a window over, nor without a window
// (headless).
void toggleScaledFullScreen();

// True while the module's full screen is on for the open, taken-over window.
bool scaledFullScreen();

// 0 arms the one-shot hook on window creation (the next window is created hidden and with a
// sizing border) and requests a 1 ms timer period; any other value disarms. Arming an armed hook
// or disarming a disarmed one changes nothing.
void hookCreation(int32_t disarm);

// Ends the timer request, disarms the creation hook and restores the redirected presenter calls.
// Registered as a process-exit routine by the first arming or call-site redirection; safe to
// call more than once.
void closeScaledWindow();
