// Triangle fills drawn later, on several threads: receives the fill drawer's triangles (their
// screen points and what the fill reads of the state) and, at a flush, hands on the pixels and
// depth values the fills give when drawn one after another, each thread over its own rows.
#pragma once
#include <cstdint>

struct ScreenPoint;
struct ZBuffer;

enum class FillKind : uint8_t {
  kFlat,
  kSmooth,
  kTextured,       // texels copied as they are
  kTexturedKeyed,  // texels equal to the key skipped
};

// The list of waiting triangles and the threads that draw it.
struct RasterBands;

// A pool of `threads` (2 or more) drawing threads, which sleep until triangles are handed to
// them: a batch of them at a time while the caller goes on, and everything at a flush.
RasterBands* openRasterBands(int threads);

// Stops the threads and frees the list; triangles still waiting are dropped (flush first).
void closeRasterBands(RasterBands* bands);

int rasterBandThreads(const RasterBands* bands);

// Appends one triangle for zb. A textured kind samples `texels` (256 x 256), which must stay
// valid until the next flush; `key` is the keyed kind's skipped texel. Flushes first when the
// list holds triangles of another ZBuffer. Until the next flush the threads may be drawing into
// zb's frame and depth buffers: the caller leaves them alone.
void deferTriangleFill(RasterBands* bands, ZBuffer* zb, FillKind kind, const ScreenPoint& p0,
                       const ScreenPoint& p1, const ScreenPoint& p2, const uint16_t* texels,
                       uint16_t key);

// Draws every waiting triangle, in the order they came, and empties the list. The frame buffer
// is split into bands of rows; each thread (the caller's as well) takes band after band and
// draws into it the rows of every triangle that reaches it. Returns once all is drawn.
void flushRasterBands(RasterBands* bands);
