// Turns triangle records into renderer calls: texture and blend switches when a triangle needs
// other ones, then one GL_TRIANGLES primitive. Receives decoded triangles and the texture table;
// hands on calls to the renderer, or to a stand-in that records them.
#pragma once
#include <cstdint>

#include "player/stream_records.h"
#include "player/texture_loader.h"

// The renderer entry points drawing uses, with Rasterkit's signatures, so that a test can stand
// in for the renderer and see every call with its exact arguments.
struct DrawingCalls {
  void (*enable)(int cap);
  void (*disable)(int cap);
  void (*bind_texture)(int target, int texture);
  void (*begin)(int mode);
  void (*tex_coord_2f)(float s, float t);
  void (*color_4f)(float r, float g, float b, float a);
  void (*vertex_3f)(float x, float y, float z);
  void (*end)();
};

// glEnable, glDisable, glBindTexture, glBegin, glTexCoord2f, glColor4f, glVertex3f and glEnd.
const DrawingCalls& rendererDrawingCalls();

// The texture slot and blend mode last set for drawing; -1 until a drawn triangle sets them, so
// the first triangle always sets its texture state (and its blend state, for modes 0 to 2).
struct DrawingCache {
  int last_texture_slot = -1;
  int last_blend_mode = -1;
};

// What drawing needs for the whole playback: the cache, the calls and the renderer texture
// names by slot. Without calls there is nothing to draw with.
struct TriangleDrawing {
  DrawingCache cache;
  const DrawingCalls* calls = nullptr;
  const TextureTable* textures = nullptr;
};

// Drawing through the renderer's current context with the texture names in `textures`.
TriangleDrawing rendererTriangleDrawing(const TextureTable& textures);

// One glColor4f for a packed colour: flag nibble 0 gives the colour with alpha 0.5; a set flag
// nibble gives white (red 5 or less) or the colour, with alpha 1.
void setPackedColour(const DrawingCalls& calls, uint16_t colour);

// Draws one triangle at z = 0, switching texture and blend state first when they change.
void drawTriangle(TriangleDrawing& drawing, const TriangleRecord& triangle);
