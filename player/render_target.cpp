// Opens the player's window through the window module and the render surface behind it, and
// presents frames by filtering the render buffer 2:1 into the window's frame buffer. Receives
// the desktop's size and the drawn render buffer; hands on the renderer's context and the picture.
#include "player/render_target.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "player/box_filter.h"
#include "player/player_output.h"
#include "renderer/gl.h"
#include "runtime/screen.h"
#include "window/scaled_window.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// 2·width x 2·height pixels of 2 bytes followed by the width x height window picture, or null
// when that many bytes cannot be addressed or allocated. Sizes whose doubled values would leave
// the int range are refused as well.
Pixel565* allocateRenderBuffer(int32_t width, int32_t height) {
  constexpr int32_t kLargestSide = INT32_MAX / 2;
  if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) return nullptr;
  const uint64_t bytes = 10 * uint64_t(width) * uint64_t(height);
  if (bytes > uint64_t(PTRDIFF_MAX)) return nullptr;
  return static_cast<Pixel565*>(std::malloc(static_cast<size_t>(bytes)));
}

// Projection and model-view together send (x, y, 0) with x, y in 0..1 to normalised device
// coordinates ((x - 0.5), (0.5 - y)) x 1 / tan 26.5°: the unit square just covers the render
// buffer, y grows downwards, and every vertex has the same depth and w.
void setFixedTransforms(int32_t width, int32_t height) {
  const double aspect = double(width) / double(height);
  glViewport(0, 0, 2 * width, 2 * height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  setPerspective(53, aspect, 0.1, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glScalef(static_cast<float>(aspect), -1, 1);
  glTranslatef(-0.5f, -0.5f, -1);
}

// The buffers are cleared once, here: frames are drawn over what the previous one left.
void setFixedSwitches() {
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glShadeModel(GL_SMOOTH);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
}

// The window's frame buffer when it is the one the target was opened for (16-bit pixels, the
// target's size); null otherwise.
Pixel565* windowPixels(const RenderTarget& target) {
  const ScreenInfo screen = screenInfo();
  if (screen.width != target.width || screen.height != target.height) return nullptr;
  if (screen.bytes_per_pixel != 2 || screen.pitch != 2 * target.width) return nullptr;
  return static_cast<Pixel565*>(screenPixels());
}

}  // namespace

bool openRenderTarget(RenderTarget& target) {
  const ScreenInfo desktop = screenInfo();  // before any screen is open: the desktop's mode
  const int32_t width = desktop.width / 2;
  const int32_t height = desktop.height / 2;
  hookCreation(0);
  if (openScaledScreen(width, height, 16, 1, 0, 0) != 0) {
    printMessage("Error: Could not open the screen\n");
    return false;
  }
  setupScaledWindow(width, height, 1, 0);
  if (!openRenderSurface(target, width, height)) return false;
  rkSetRasterThreads(defaultRasterThreads());
  return true;
}

bool openRenderSurface(RenderTarget& target, int32_t width, int32_t height) {
  Pixel565* buffer = allocateRenderBuffer(width, height);
  ZBuffer* zbuffer = nullptr;
  if (buffer != nullptr) {
    zbuffer = zbOpen(2 * width, 2 * height, kZbMode565, 0, nullptr, nullptr, buffer);
  }
  if (zbuffer == nullptr) {
    std::free(buffer);
    printMessage("Error: Could not initialize ZBuffer\n");
    return false;
  }
  glMakeCurrent(nullptr);  // a context another target owns stays that target's
  glInitContext(zbuffer);
  Pixel565* window_picture = buffer + 4 * size_t(width) * size_t(height);
  target = RenderTarget{width, height, buffer, zbuffer, glCurrentContext(), window_picture};
  setFixedRendererState(width, height);
  return true;
}

void closeRenderSurface(RenderTarget& target) {
  if (target.zbuffer == nullptr) return;
  glMakeCurrent(target.context);
  glCloseContext();
  zbClose(target.zbuffer);
  std::free(target.render_buffer);
  target = RenderTarget{};
}

void setFixedRendererState(int32_t width, int32_t height) {
  setFixedTransforms(width, height);
  setFixedSwitches();
}

void setPerspective(double fovy, double aspect, double near_plane, double far_plane) {
  const double ymax = near_plane * std::tan(fovy * kPi / 360.0);
  glFrustum(-ymax * aspect, ymax * aspect, -ymax, ymax, near_plane, far_plane);
}

int defaultRasterThreads() {
  constexpr int kMost = 64;
  const char* text = std::getenv("KESTRUNE_THREADS");
  if (text != nullptr && *text != '\0') {
    char* end = nullptr;
    const long threads = std::strtol(text, &end, 10);
    const bool digits_only = std::strspn(text, "0123456789") == std::strlen(text);
    if (digits_only && *end == '\0' && threads >= 1 && threads <= kMost) return int(threads);
    // Said once: a program may ask more than once.
    static bool reported = false;
    if (!reported) {
      std::fprintf(stderr,
                   "KESTRUNE_THREADS=\"%s\" is not a thread count (want 1 to %d); using one "
                   "thread per processor instead\n",
                   text, kMost);
      reported = true;
    }
  }
  const unsigned processors = std::thread::hardware_concurrency();
  return processors == 0 ? 1 : std::min(int(processors), kMost);
}

namespace {

// What each band of the filter needs: the window picture, the render buffer and the window's
// width.
struct FilterJob {
  Pixel565* window_pixels;
  Pixel565* render_buffer;
  int32_t width;
};

// Window rows begin..end-1; each reads and rewrites only its own two render buffer rows, so
// bands run on the drawing threads at once.
void filterBand(void* arg, int begin, int end) {
  const FilterJob& job = *static_cast<const FilterJob*>(arg);
  boxFilterRows(job.window_pixels, job.render_buffer, job.width, begin, end);
}

}  // namespace

void filterFrame(RenderTarget& target, Pixel565* window_pixels) {
  FilterJob job{window_pixels, target.render_buffer, target.width};
  rkRunRowJob(filterBand, &job, target.height);  // draws the waiting triangles first
}

// The drawing and the filter run before the screen is locked, so that the presenter and the
// keyboard wait only for the copy. The screen's size and layout are set when it opens, so they
// are read without the lock.
void presentFrame(RenderTarget& target) {
  if (target.render_buffer == nullptr) return;
  const bool shown = windowPixels(target) != nullptr;
  if (shown) filterFrame(target, target.window_picture);
  lockScreen();
  Pixel565* window = windowPixels(target);
  if (shown && window != nullptr) {
    std::memcpy(window, target.window_picture,
                size_t(target.width) * size_t(target.height) * sizeof(Pixel565));
  }
  unlockScreen(-1, -1);
}
