// Where the player draws and how a frame reaches the window: a window at half the desktop's size
// and a render buffer twice as wide and high under the renderer. Receives the desktop's size;
// hands on the renderer's context and, at every presented frame, the 2:1 filtered picture.
#pragma once
#include <cstdint>

#include "renderer/zbuffer.h"

struct RenderContext;

// The drawing surface, kept from start-up to the end of the process.
struct RenderTarget {
  int32_t width = 0;  // the window's size: half the desktop's, remainders dropped
  int32_t height = 0;
  Pixel565* render_buffer = nullptr;  // 2·width x 2·height pixels, rows back to back
  ZBuffer* zbuffer = nullptr;         // draws into render_buffer; the renderer's context sits on it
  RenderContext* context = nullptr;   // the renderer context that draws into zbuffer
  Pixel565* window_picture = nullptr;  // width x height: the filtered frame, before it is shown
};

// Start-up: arms the creation hook, opens the screen through the window module at half the
// desktop's size and sets it up, then opens the render surface into `target`. False after a
// message ("Error: Could not open the screen" or "Error: Could not initialize ZBuffer"); the
// caller waits for a key and ends the program.
bool openRenderTarget(RenderTarget& target);

// The part without a screen, shared by the player and tools that draw headless: allocates the
// render buffer for a width x height picture, creates the ZBuffer and the renderer context on it
// and sets the renderer state that stays fixed during playback. False after printing
// "Error: Could not initialize ZBuffer", with nothing left allocated and no context made.
bool openRenderSurface(RenderTarget& target, int32_t width, int32_t height);

// Frees the context, the ZBuffer and the render buffer (the player leaves them to the process
// exit; tests and tools that open surfaces one after another call this).
void closeRenderSurface(RenderTarget& target);

// The state steps of start-up on the current context for a width x height window: viewport over
// the render buffer, projection and model-view that map (0..1, 0..1, 0) onto it with y pointing
// down, perspective hint, smooth shading, cleared buffers, blending on, depth test off.
void setFixedRendererState(int32_t width, int32_t height);

// Multiplies the current matrix by a perspective projection (through glFrustum) with a vertical
// field of view of fovy degrees.
void setPerspective(double fovy, double aspect, double near_plane, double far_plane);

// The number of threads the renderer draws with when nobody says otherwise: KESTRUNE_THREADS
// when it holds a whole number from 1 to 64, else the number of processors the system reports
// (at least 1, at most 64). A value that is set but no such number is named on standard error,
// once.
int defaultRasterThreads();

// Filters the target's render buffer 2:1 into width x height window pixels (rows back to back),
// after the renderer has drawn every triangle still waiting for its drawing threads, in bands of
// rows on those threads. The render buffer's even columns keep the horizontal pair averages:
// both come out as boxFilterDown on one thread leaves them. The target's context is current.
void filterFrame(RenderTarget& target, Pixel565* window_pixels);

// Shows the frame drawn so far on the target's window: filters it into the target's window
// picture, then copies that into the window's frame buffer under the screen lock and marks every
// row changed. Called at every frame mark that is not dropped. Writes nothing when no screen of
// the target's size is open.
void presentFrame(RenderTarget& target);
