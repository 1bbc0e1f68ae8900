// `kestrune view` in its SDL window under openbox on Xvfb (1280 x 1024), acted on from outside as
// a user and a window manager would. Receives the viewer's window through real X requests and its
// log on standard output; checks title, frame, resizing, maximising, full screen and the close
// button, and can grab the README's screenshot.
// clang-format off
// gtest before Xlib, which defines None and Bool as macros that gtest uses as names.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
// clang-format on
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/runtime_state.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

namespace {

constexpr double kPatience = 10.0;  // seconds; only a failing test waits this long
// The demo has 300 frames; --desktop 1280x960 gives a 640 x 480 window and picture.
const std::string kName = "Recording_12_01_2013_13_41_13";
const std::string kTitle = kName + " - frame 0 / 299 - paused - kestrune view";
const std::vector<std::string> kPausedOnFrame0 = {"--desktop", "1280x960", "--paused"};

struct XRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const XRect&) const = default;
};
std::ostream& operator<<(std::ostream& out, const XRect& r) {
  return out << r.width << " x " << r.height << " at (" << r.x << ", " << r.y << ")";
}
const XRect kWholeScreen{0, 0, 1280, 1024};

// ---- The X server as a window manager and a user see it ----

bool trapping_errors = false;  // windowExists expects an error; any other fails the test
int trapped_errors = 0;

int onXError(Display*, XErrorEvent* error) {
  if (!trapping_errors) ADD_FAILURE() << "X error " << int(error->error_code);
  trapped_errors += 1;
  return 0;
}

Display* xDisplay() {  // open for the whole process: the server resets when its last client goes
  static Display* const display = [] {
    Display* opened = nullptr;
    waitUntil([&] { return (opened = XOpenDisplay(nullptr)) != nullptr; }, kPatience);
    XSetErrorHandler(onXError);
    return opened;
  }();
  return display;
}

Atom atom(const char* name) { return XInternAtom(xDisplay(), name, False); }
Window root() { return DefaultRootWindow(xDisplay()); }

// A property's items as Xlib hands them over: bytes of text, or longs for 32-bit items.
template <typename Item>
std::vector<Item> property(Window window, const char* name, Atom type) {
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<Item> items;
  if (XGetWindowProperty(xDisplay(), window, atom(name), 0, 4096, False, type, &actual, &format,
                         &count, &after, &data) == Success &&
      data != nullptr && format == (sizeof(Item) == 1 ? 8 : 32)) {
    items.assign(reinterpret_cast<const Item*>(data), reinterpret_cast<const Item*>(data) + count);
  }
  if (data != nullptr) XFree(data);
  return items;
}

std::string windowTitle(Window window) {
  std::vector<char> text = property<char>(window, "_NET_WM_NAME", atom("UTF8_STRING"));
  return std::string(text.begin(), text.end());
}

// The frame's sides (_NET_FRAME_EXTENTS): left, right, top, bottom; empty while unframed.
std::vector<long> frameExtents(Window window) {
  return property<long>(window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
}

XRect insideFrame(const XRect& outer, const std::vector<long>& frame) {
  return XRect{outer.x + int(frame[0]), outer.y + int(frame[2]),
               outer.width - int(frame[0] + frame[1]), outer.height - int(frame[2] + frame[3])};
}

// The client area on the root; a zero rectangle while the window is not viewable.
XRect clientOnRoot(Window window) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(xDisplay(), window, &attributes) == 0 ||
      attributes.map_state != IsViewable) {
    return XRect{};
  }
  XRect rect{0, 0, attributes.width, attributes.height};
  Window child = 0;
  XTranslateCoordinates(xDisplay(), window, root(), 0, 0, &rect.x, &rect.y, &child);
  return rect;
}

bool windowExists(Window window) {
  XSync(xDisplay(), False);
  trapping_errors = true;
  trapped_errors = 0;
  XWindowAttributes attributes{};
  XGetWindowAttributes(xDisplay(), window, &attributes);
  XSync(xDisplay(), False);
  trapping_errors = false;
  return trapped_errors == 0;
}

bool windowMaximised(Window window) {
  std::vector<long> states = property<long>(window, "_NET_WM_STATE", XA_ATOM);
  return std::count(states.begin(), states.end(), long(atom("_NET_WM_STATE_MAXIMIZED_VERT"))) +
             std::count(states.begin(), states.end(), long(atom("_NET_WM_STATE_MAXIMIZED_HORZ"))) ==
         2;
}

// 0xRRGGBB, rows top first, of what the screen shows; empty when unreadable.
std::vector<uint32_t> rootPixels(const XRect& area) {
  std::vector<uint32_t> pixels;
  XImage* image = XGetImage(xDisplay(), root(), area.x, area.y, unsigned(area.width),
                            unsigned(area.height), AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
  }
  XDestroyImage(image);
  return pixels;
}

// A client message about `window`; to the root it is a request to the window manager.
void sendMessage(Window to, Window window, const char* type, std::vector<long> data) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = atom(type);
  event.xclient.format = 32;
  std::copy(data.begin(), data.end(), event.xclient.data.l);
  long mask = to == root() ? SubstructureRedirectMask | SubstructureNotifyMask : NoEventMask;
  XSendEvent(xDisplay(), to, False, mask, &event);
  XFlush(xDisplay());
}

// _NET_WM_STATE_ADD (1) or _REMOVE (0) of both maximised states, from the user (2).
void askToMaximise(Window window, bool maximise) {
  sendMessage(root(), window, "_NET_WM_STATE",
              {maximise ? 1 : 0, long(atom("_NET_WM_STATE_MAXIMIZED_VERT")),
               long(atom("_NET_WM_STATE_MAXIMIZED_HORZ")), 2});
}

// ---- Pictures ----

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// The source pixels a target pixel of a nearest-sampled stretch may show along one side: the
// span it covers, widened by half a source pixel each way for rounding; exact at whole scales.
std::pair<int, int> sourceSpan(int pixel, int source_size, int target_size) {
  if (target_size % source_size == 0)
    return {pixel * source_size / target_size, pixel * source_size / target_size};
  double scale = double(source_size) / target_size;
  return {std::max(0, int(pixel * scale - 0.5)),
          std::min(source_size - 1, int((pixel + 1) * scale + 0.5))};
}

// Whether `colour` at (x, y) of an area is `source` stretched into `picture` (in the area's
// coordinates), or black outside it.
bool explained(uint32_t colour, int x, int y, const Picture& source, const XRect& picture) {
  int column = x - picture.x, row = y - picture.y;
  if (column < 0 || row < 0 || column >= picture.width || row >= picture.height) return !colour;
  auto [left, right] = sourceSpan(column, source.width, picture.width);
  auto [top, bottom] = sourceSpan(row, source.height, picture.height);
  for (int sy = top; sy <= bottom; ++sy) {
    for (int sx = left; sx <= right; ++sx) {
      if (source.pixels[size_t(sy) * size_t(source.width) + size_t(sx)] == colour) return true;
    }
  }
  return false;
}

// Waits until `area` of the screen shows `source` stretched into one of `pictures` (more than one
// where rounding may place it either way) with black around it; on failure says where not.
void expectScreenShows(const XRect& area, const Picture& source,
                       const std::vector<XRect>& pictures) {
  std::vector<uint32_t> seen;
  size_t wrong = 0;
  auto shown = [&](const XRect& picture) {
    for (wrong = 0; wrong < seen.size(); ++wrong) {
      int x = int(wrong % size_t(area.width)), y = int(wrong / size_t(area.width));
      if (!explained(seen[wrong], x, y, source, picture)) return false;
    }
    return !seen.empty();
  };
  auto any_shown = [&] {
    seen = rootPixels(area);
    return std::any_of(pictures.begin(), pictures.end(), shown);
  };
  if (waitUntil(any_shown, kPatience)) return;
  for (const XRect& picture : pictures) {
    shown(picture);
    ADD_FAILURE() << "the picture stretched to " << picture << " with black around it is "
                  << "not shown in " << area << ": pixel (" << wrong % size_t(area.width) << ", "
                  << wrong / size_t(area.width) << ") is 0x" << std::hex
                  << (wrong < seen.size() ? seen[wrong] : 0);
  }
}

// The client area once it shows a picture that is not all black and stays the same.
Picture settledPicture(const XRect& client) {
  Picture picture{client.width, client.height, {}};
  waitUntil(
      [&] {
        std::vector<uint32_t> seen = rootPixels(client);
        bool settled = seen == picture.pixels;
        picture.pixels = seen;
        return settled && std::any_of(seen.begin(), seen.end(), [](uint32_t c) { return c; });
      },
      kPatience);
  return picture;
}

// ---- The viewer under openbox ----

class ViewWindowTest : public ::testing::Test {
 protected:
  // openbox runs once it owns WM_S0 and the root names that window as its check window.
  static void SetUpTestSuite() {
    ProcessOptions options{{"--sm-disable"}, {}, "", 3600 * 1000};
    if (xDisplay() == nullptr || !startProcess("/usr/bin/openbox", options, &openbox)) return;
    openbox_running = waitUntil(
        [] {
          Window owner = XGetSelectionOwner(xDisplay(), atom("WM_S0"));
          std::vector<long> check = property<long>(root(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
          return owner != 0 && check.size() == 1 && Window(check[0]) == owner;
        },
        kPatience);
  }
  static void TearDownTestSuite() {
    if (openbox.pid > 0) kill(openbox.pid, SIGTERM);
    finishProcess(openbox);
  }
  void SetUp() override {
    ASSERT_NE(xDisplay(), nullptr) << "no X server: run under xvfb-run";
    ASSERT_TRUE(openbox_running) << "openbox did not start";
  }
  void TearDown() override {
    if (viewer_.pid > 0) {  // still running: "q" on standard input quits it at once
      writeInput(viewer_, "q");
      EXPECT_TRUE(waitForExit(viewer_, 5000)) << "\"q\" did not end the viewer";
      ProcessResult result = finishProcess(viewer_);
      EXPECT_EQ(result.exit_code, 0) << result.err;
    }
    if (window_ != 0) waitUntil([&] { return !windowExists(window_); }, kPatience);
  }

  // Starts the viewer on the demo recording and waits until openbox lists its window (found by
  // its title), frames and shows it.
  void openViewer(const std::vector<std::string>& options) {
    ProcessOptions run{{"view", KESTRUNE_DEMO_RECORDING, "--log", "/dev/stdout"},
                       {"KESTRUNE_PRESENTER=sdl", "SDL_VIDEODRIVER=x11"},
                       "",
                       60000};
    run.arguments.insert(run.arguments.end(), options.begin(), options.end());
    ASSERT_TRUE(startProcess(KESTRUNE_TOOL_PATH, run, &viewer_));
    ASSERT_TRUE(readOutputUntil(viewer_, "present 0 frame", 30000))
        << "log: " << viewer_.result.out << "\nerrors: " << viewer_.result.err;
    auto listed = [&] {
      for (long window : property<long>(root(), "_NET_CLIENT_LIST", XA_WINDOW)) {
        std::string title = windowTitle(Window(window));
        if (title.starts_with(kName + " - ") && title.ends_with(" - kestrune view")) {
          window_ = Window(window);
        }
      }
      return window_ != 0;
    };
    ASSERT_TRUE(waitUntil(listed, kPatience)) << "no client window has the viewer's title";
    ASSERT_TRUE(waitUntil(
        [&] {
          frame_ = frameExtents(window_);
          return frame_.size() == 4 && frame_[2] > 0 && (client_ = clientOnRoot(window_)).width;
        },
        kPatience))
        << "the window was not framed and shown: client " << client_;
  }

  void expectClientAt(const XRect& wanted) {
    XRect seen;
    EXPECT_TRUE(waitUntil([&] { return (seen = clientOnRoot(window_)) == wanted; }, kPatience))
        << "the client area is " << seen << ", wanted " << wanted;
  }

  // The close button quits the viewer at once: "quit" logged, exit code 0, window gone.
  void expectClosedAtOnce() {
    EXPECT_TRUE(readOutputUntil(viewer_, "quit\n", 5000)) << "log: " << viewer_.result.out;
    ASSERT_TRUE(waitForExit(viewer_, 5000)) << "the viewer still runs";
    ProcessResult result = finishProcess(viewer_);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(waitUntil([&] { return !windowExists(window_); }, 5.0)) << "the window remains";
  }

  static RunningProcess openbox;
  static bool openbox_running;
  RunningProcess viewer_;
  Window window_ = 0;
  std::vector<long> frame_;
  XRect client_;
};

RunningProcess ViewWindowTest::openbox;
bool ViewWindowTest::openbox_running = false;

// The outer window (client and frame) is centred on the screen.
TEST_F(ViewWindowTest, OpensTitledFramedAndCentredAtHalfTheDesktop) {
  openViewer(kPausedOnFrame0);
  std::string title;
  EXPECT_TRUE(waitUntil([&] { return (title = windowTitle(window_)) == kTitle; }, kPatience))
      << "the title is \"" << title << "\"";
  XRect outer{0, 0, 640 + int(frame_[0] + frame_[1]), 480 + int(frame_[2] + frame_[3])};
  outer.x = (1280 - outer.width) / 2;
  outer.y = (1024 - outer.height) / 2;
  expectClientAt(insideFrame(outer, frame_));
}

// Resized as by dragging the border, with the frame's corner at (0, 0): 960 x 720 shows the
// 640 x 480 picture at 1.5 times, filling the client area.
TEST_F(ViewWindowTest, ResizeStretchesThePictureIntoTheNewClientArea) {
  openViewer(kPausedOnFrame0);
  Picture shown = settledPicture(client_);
  XMoveResizeWindow(xDisplay(), window_, 0, 0, 960, 720);
  XFlush(xDisplay());
  XRect resized{int(frame_[0]), int(frame_[2]), 960, 720};
  expectClientAt(resized);
  expectScreenShows(resized, shown, {XRect{0, 0, 960, 720}});
}

// Maximised, the client area is the work area less openbox's frame, and the picture keeps its
// 4:3 shape: as wide as the client area when that is wider than 4:3 (else as high), centred
// between black bars whose split may round either way.
TEST_F(ViewWindowTest, MaximiseFillsTheWorkAreaAndUndoingItRestoresTheWindow) {
  openViewer(kPausedOnFrame0);
  XRect windowed = client_;
  Picture shown = settledPicture(client_);
  askToMaximise(window_, true);
  ASSERT_TRUE(waitUntil([&] { return windowMaximised(window_); }, kPatience));
  std::vector<long> area = property<long>(root(), "_NET_WORKAREA", XA_CARDINAL);
  ASSERT_GE(area.size(), 4u);
  XRect maximised;
  EXPECT_TRUE(waitUntil(
      [&] {
        maximised = insideFrame(XRect{int(area[0]), int(area[1]), int(area[2]), int(area[3])},
                                frameExtents(window_));
        return clientOnRoot(window_) == maximised;
      },
      kPatience))
      << "the client area is " << clientOnRoot(window_) << ", wanted " << maximised;
  int width = std::min(maximised.width, maximised.height * 4 / 3);
  int height = std::min(maximised.height, maximised.width * 3 / 4);
  int left = (maximised.width - width) / 2, top = (maximised.height - height) / 2;
  int right = maximised.width - width - left, bottom = maximised.height - height - top;
  // The window module takes equal bars off both sides, so an odd leftover goes to the picture.
  expectScreenShows(maximised, shown,
                    {XRect{left, top, width, height}, XRect{right, bottom, width, height},
                     XRect{left, top, maximised.width - 2 * left, maximised.height - 2 * top}});

  askToMaximise(window_, false);
  expectClientAt(windowed);
  EXPECT_EQ(frameExtents(window_), frame_);
}

// The 640 x 480 picture letterboxed on 1280 x 1024: twice its size between two black bands of 32
// rows. Back from full screen the window is exactly where it was, frame and all.
TEST_F(ViewWindowTest, FullScreenKeyCoversTheScreenAndComesBackExactly) {
  openViewer(kPausedOnFrame0);
  XRect windowed = client_;
  Picture shown = settledPicture(client_);
  for (int trip = 1; trip <= 2; ++trip) {
    SCOPED_TRACE(trip);
    ASSERT_TRUE(writeInput(viewer_, "f"));
    expectClientAt(kWholeScreen);
    expectScreenShows(kWholeScreen, shown, {XRect{0, 32, 1280, 960}});
    ASSERT_TRUE(writeInput(viewer_, "f"));
    expectClientAt(windowed);
    EXPECT_TRUE(waitUntil([&] { return frameExtents(window_) == frame_; }, kPatience));
  }
  expectScreenShows(windowed, shown, {XRect{0, 0, 640, 480}});
}

// The close button as openbox passes it on when clicked: WM_DELETE_WINDOW to the client.
TEST_F(ViewWindowTest, DeleteWindowMessageQuitsAtOnce) {
  openViewer(kPausedOnFrame0);
  sendMessage(window_, window_, "WM_PROTOCOLS", {long(atom("WM_DELETE_WINDOW")), CurrentTime});
  expectClosedAtOnce();
}

// A pager asks openbox to close the window (_NET_CLOSE_WINDOW), and openbox sends
// WM_DELETE_WINDOW.
TEST_F(ViewWindowTest, CloseRequestToTheWindowManagerQuitsAtOnce) {
  openViewer(kPausedOnFrame0);
  sendMessage(root(), window_, "_NET_CLOSE_WINDOW", {CurrentTime, 2});
  expectClosedAtOnce();
}

// The README's screenshot: frame 150 paused, statistics on, speed raised once. Made from the
// source folder with (one line)
//   KESTRUNE_SCREENSHOT=docs/viewer.png xvfb-run -a -s "-screen 0 1280x1024x24"
//   build-hd/bin/view_window_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshot'
TEST_F(ViewWindowTest, DISABLED_Screenshot) {
  const char* path = std::getenv("KESTRUNE_SCREENSHOT");
  if (path == nullptr) GTEST_SKIP() << "KESTRUNE_SCREENSHOT names the PNG to write";
  openViewer({"--desktop", "1920x1080", "--start", "150", "--paused"});
  ASSERT_EQ(client_, (XRect{client_.x, client_.y, 960, 540}));
  ASSERT_TRUE(writeInput(viewer_, "i]"));
  ASSERT_TRUE(readOutputUntil(viewer_, "speed 1.1", 5000)) << viewer_.result.out;
  ASSERT_TRUE(waitUntil([&] { return windowTitle(window_).find("1.10x") != std::string::npos; },
                        kPatience));
  Picture picture = settledPicture(client_);
  std::vector<uint8_t> rgb;
  for (uint32_t colour : picture.pixels) {
    for (int shift : {16, 8, 0}) rgb.push_back(uint8_t(colour >> shift));
  }
  ASSERT_NE(stbi_write_png(path, picture.width, picture.height, 3, rgb.data(), picture.width * 3),
            0);
}

}  // namespace
