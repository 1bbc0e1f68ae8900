// The window tests' view through the X server and their openbox child process. Receives the X
// display and the open screen's window; hands on geometry, size hints, pixels, expected
// pictures, window manager requests and a managed display.
#include "tests/window_sdl/x_window_probe.h"

#include <X11/Xatom.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "runtime/screen.h"
#include "tests/support/runtime_state.h"
#include "window/scaled_window.h"

const uint16_t kBlockPixels[8] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x1234, 0x8410, 0xACA9};
const uint32_t kBlockShown[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,
                                 0x000000, 0x1045A5, 0x848284, 0xAD964A};

namespace {

int failOnXError(Display*, XErrorEvent* error) {
  ADD_FAILURE() << "X error " << static_cast<int>(error->error_code) << " on request "
                << static_cast<int>(error->request_code);
  return 0;
}

Atom atom(const char* name) { return XInternAtom(testDisplay(), name, False); }

// A property of 32-bit items (CARDINAL, WINDOW, ATOM) as longs, as Xlib hands them over.
std::vector<long> longProperty(Window window, const char* name, Atom type) {
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<long> items;
  int status = XGetWindowProperty(testDisplay(), window, atom(name), 0, 64, False, type, &actual,
                                  &format, &count, &after, &data);
  if (status == Success && data != nullptr && format == 32) {
    const long* values = reinterpret_cast<const long*>(data);
    items.assign(values, values + count);
  }
  if (data != nullptr) XFree(data);
  return items;
}

// openbox has taken the screen over: it owns the WM_S0 selection, and the root names the same
// window as the window manager's check window (openbox uses one window for both). Only windows
// that exist are asked about: a killed window manager may leave the root's property behind.
bool windowManagerRuns() {
  Display* display = testDisplay();
  Window owner = XGetSelectionOwner(display, atom("WM_S0"));
  std::vector<long> check =
      longProperty(DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  return owner != 0 && check.size() == 1 && static_cast<Window>(check[0]) == owner;
}

// The blocks a stretched picture's pixel may show along one side: the source span the pixel
// covers, widened by half a source pixel each way for the sampling's rounding.
std::pair<int, int> blocksAcross(int pixel, int source_size, int target_size, int block) {
  double scale = static_cast<double>(source_size) / target_size;
  double low = std::max(0.0, pixel * scale - 0.5);
  double high = std::min(source_size - 1.0, (pixel + 1) * scale + 0.5);
  if (target_size % source_size == 0) low = high = pixel / (target_size / source_size);
  return {static_cast<int>(low) / block, static_cast<int>(high) / block};
}

}  // namespace

Display* testDisplay() {
  static Display* const display = [] {
    Display* opened = nullptr;
    waitUntil([&opened] { return (opened = XOpenDisplay(nullptr)) != nullptr; }, kPatience);
    XSetErrorHandler(failOnXError);
    return opened;
  }();
  return display;
}

Window screenWindow() { return static_cast<Window>(windowHandle()); }

std::ostream& operator<<(std::ostream& out, const XRect& rect) {
  return out << rect.width << " x " << rect.height << " at (" << rect.x << ", " << rect.y << ")";
}

XRect clientOnRoot() {
  Display* display = testDisplay();
  XWindowAttributes attributes{};
  if (screenWindow() == 0 || XGetWindowAttributes(display, screenWindow(), &attributes) == 0 ||
      attributes.map_state != IsViewable) {
    return XRect{};
  }
  XRect rect{0, 0, attributes.width, attributes.height};
  Window child = 0;
  XTranslateCoordinates(display, screenWindow(), DefaultRootWindow(display), 0, 0, &rect.x, &rect.y,
                        &child);
  return rect;
}

std::ostream& operator<<(std::ostream& out, const FrameExtents& frame) {
  return out << "frame left " << frame.left << ", right " << frame.right << ", top " << frame.top
             << ", bottom " << frame.bottom;
}

FrameExtents frameExtents() {
  std::vector<long> sides = longProperty(screenWindow(), "_NET_FRAME_EXTENTS", XA_CARDINAL);
  if (sides.size() != 4) return FrameExtents{};
  return FrameExtents{sides[0], sides[1], sides[2], sides[3]};
}

XSizeHints sizeHints() {
  XSizeHints hints{};
  long supplied = 0;
  XGetWMNormalHints(testDisplay(), screenWindow(), &hints, &supplied);
  return hints;
}

std::vector<uint32_t> rootPixels(const XRect& area) {
  std::vector<uint32_t> pixels;
  XImage* image = XGetImage(testDisplay(), DefaultRootWindow(testDisplay()), area.x, area.y,
                            area.width, area.height, AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
  }
  XDestroyImage(image);
  return pixels;
}

ExpectedPicture stretchedBlocks(int width, int height, const XRect& picture, uint32_t border) {
  ExpectedPicture wanted{width, height, {}, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int column = x - picture.x;
      int row = y - picture.y;
      if (column < 0 || row < 0 || column >= picture.width || row >= picture.height) {
        wanted.first.push_back(border);
        wanted.second.push_back(border);
        continue;
      }
      auto across = blocksAcross(column, kBlocksWidth, picture.width, 80);
      auto down = blocksAcross(row, kBlocksHeight, picture.height, 120);
      wanted.first.push_back(kBlockShown[down.first * 4 + across.first]);
      wanted.second.push_back(kBlockShown[down.second * 4 + across.second]);
    }
  }
  return wanted;
}

void expectRootShows(const XRect& area, const ExpectedPicture& wanted) {
  ASSERT_EQ(area.width, wanted.width);
  ASSERT_EQ(area.height, wanted.height);
  size_t differing = 0;
  uint32_t seen_there = 0;
  bool shown = waitUntil(
      [&] {
        std::vector<uint32_t> seen = rootPixels(area);
        differing = seen.size() != wanted.first.size() ? wanted.first.size() + 1 : 0;
        for (size_t i = 0; differing == 0 && i < seen.size(); ++i) {
          if (seen[i] != wanted.first[i] && seen[i] != wanted.second[i]) {
            differing = i + 1;
            seen_there = seen[i];
          }
        }
        return differing == 0;
      },
      kPatience);
  if (shown) return;
  ASSERT_LE(differing, wanted.first.size()) << "the pixels of " << area << " cannot be read";
  ADD_FAILURE() << "first difference at (" << (differing - 1) % area.width << ", "
                << (differing - 1) / area.width << ") of " << area << ": seen " << std::hex
                << seen_there << ", wanted " << wanted.first[differing - 1];
}

void drawBlocks() {
  lockScreen();
  auto* pixels = static_cast<uint16_t*>(screenPixels());
  ASSERT_NE(pixels, nullptr);
  for (int y = 0; y < kBlocksHeight; ++y) {
    for (int x = 0; x < kBlocksWidth; ++x) {
      pixels[y * kBlocksWidth + x] = kBlockPixels[y / 120 * 4 + x / 80];
    }
  }
  unlockScreen(0, -1);
}

void askToMaximise(bool maximise) {
  Display* display = testDisplay();
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = screenWindow();
  event.xclient.message_type = atom("_NET_WM_STATE");
  event.xclient.format = 32;
  event.xclient.data.l[0] = maximise ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
  event.xclient.data.l[1] = static_cast<long>(atom("_NET_WM_STATE_MAXIMIZED_VERT"));
  event.xclient.data.l[2] = static_cast<long>(atom("_NET_WM_STATE_MAXIMIZED_HORZ"));
  event.xclient.data.l[3] = 2;  // from a pager or the user
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
}

bool windowListsAtom(const char* property, const char* name) {
  std::vector<long> atoms = longProperty(screenWindow(), property, XA_ATOM);
  return std::find(atoms.begin(), atoms.end(), static_cast<long>(atom(name))) != atoms.end();
}

bool windowMaximised() {
  return windowListsAtom("_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_VERT") &&
         windowListsAtom("_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_HORZ");
}

void pushSdlEvent(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

SDL_Event keyDown(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mod;
  return event;
}

const SDL_Event kAltEnter = keyDown(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);

void resetScaledWindowModule() {
  ScaledWindowState& state = scaledWindowState();
  state.window = 0;
  state.screenProc = 0;
  state.clientWidth = state.clientHeight = 0;
  state.modeWidth = state.modeHeight = 0;
  state.marginX = state.marginY = 0;
  state.keepAspect = 0;
  state.savedStyle = 0;
  state.fullScreen = state.styleGuard = state.openedWithHook = false;
  state.options = 0;
  state.borderColour = 0;
  state.hookResume = 0;
  std::memset(state.activePresenter, 0, sizeof state.activePresenter);
}

namespace {

// The program's path from PATH, found before forking: the child may only make calls that are
// safe between fork and exec.
std::string programPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= folders.size();) {
    size_t end = std::min(folders.find(':', start), folders.size());
    std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

}  // namespace

bool OpenboxSession::start() {
  std::string program = programPath("openbox");
  if (testDisplay() == nullptr || program.empty()) return false;
  pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test, even while stalled
    if (getppid() != parent) _exit(1);
    int quiet = open("/dev/null", O_RDWR);
    dup2(quiet, STDOUT_FILENO);
    dup2(quiet, STDERR_FILENO);
    execl(program.c_str(), "openbox", "--sm-disable", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid_ > 0 && waitUntil(windowManagerRuns, kPatience);
}

void OpenboxSession::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  waitUntil([] { return XGetSelectionOwner(testDisplay(), atom("WM_S0")) == 0; }, kPatience);
}

std::thread OpenboxSession::stall(int milliseconds) const {
  int pid = pid_;
  if (pid <= 0) return std::thread([] {});  // no openbox: nothing to stop
  kill(pid, SIGSTOP);
  return std::thread([pid, milliseconds] {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    kill(pid, SIGCONT);
  });
}
