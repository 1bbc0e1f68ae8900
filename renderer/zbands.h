// Triangle fills drawn later, on several threads: receives the fill drawer's triangles (their
// screen points and what the fill reads of the state) and, at a flush, hands on the pixels and
// depth values the fills give when drawn one after another, each thread over its own rows. The
// same threads also run jobs over rows that the caller hands them, band by band.
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

// A pool of `threads` (2 or more) drawing threads, the caller's among them: the others sleep
// until triangles are handed to them, a batch at a time while the caller goes on, and the caller
// draws with them at a flush.
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

// A job over rows: handles rows begin..end-1 of its own, touching nothing another band writes.
using RowJob = void (*)(void* arg, int begin, int end);

// Draws every waiting triangle, then runs `job` over rows 0..rows-1 cut into bands, which the
// threads (the caller's as well) take one after another as they draw bands of triangles.
// Returns once every band is done; what the bands wrote is then visible to the caller.
void runRowJob(RasterBands* bands, RowJob job, void* arg, int rows);

// Draws every waiting triangle, in the order they came, and empties the list. The frame buffer
// is split into bands of rows; each thread (the caller's as well) takes band after band and
// draws into it the rows of every triangle that reaches it. Returns once all is drawn.
void flushRasterBands(RasterBands* bands);
