// Takes and restores drawing snapshots: the render and depth buffers through zstd, the renderer
// switches through the current context. Receives a render target; hands on compressed bytes and
// back the same buffers and switches.
#include "seek/snapshot.h"

#include <zstd.h>

#include <cstring>

#include "renderer/context.h"
#include "renderer/gl.h"

// Fast compression: snapshots are taken while drawing ahead runs at full speed.
constexpr int kSnapshotLevel = 1;

struct SnapshotCodec {
  ZSTD_CCtx* compress = nullptr;
  ZSTD_DCtx* decompress = nullptr;
  // The two compressed buffers before they are copied into their snapshot, which then takes
  // exactly their bytes.
  std::vector<uint8_t> render_scratch;
  std::vector<uint8_t> depth_scratch;
};

namespace {

void freeCodec(SnapshotCodec* codec) {
  ZSTD_freeCCtx(codec->compress);
  ZSTD_freeDCtx(codec->decompress);
  delete codec;
}

int64_t renderBufferBytes(const RenderTarget& target) {
  return 8 * int64_t{target.width} * int64_t{target.height};
}

int64_t depthBufferBytes(const RenderTarget& target) { return renderBufferBytes(target); }

// Compresses one buffer into `scratch`; the compressed length, 0 when zstd fails.
size_t pack(SnapshotCodec& codec, const void* bytes, int64_t size, std::vector<uint8_t>& scratch) {
  const size_t bound = ZSTD_compressBound(static_cast<size_t>(size));
  if (scratch.size() < bound) scratch.resize(bound);
  const size_t written = ZSTD_compressCCtx(codec.compress, scratch.data(), bound, bytes,
                                           static_cast<size_t>(size), kSnapshotLevel);
  return ZSTD_isError(written) ? 0 : written;
}

bool unpack(SnapshotCodec& codec, const uint8_t* packed, int64_t packed_size, void* bytes,
            int64_t size) {
  const size_t written = ZSTD_decompressDCtx(codec.decompress, bytes, static_cast<size_t>(size),
                                             packed, static_cast<size_t>(packed_size));
  return !ZSTD_isError(written) && written == static_cast<size_t>(size);
}

}  // namespace

int64_t snapshotBytes(const Snapshot& snapshot) {
  return static_cast<int64_t>(sizeof(Snapshot) + snapshot.packed.capacity());
}

std::unique_ptr<SnapshotCodec, void (*)(SnapshotCodec*)> makeSnapshotCodec() {
  auto* codec = new SnapshotCodec;
  codec->compress = ZSTD_createCCtx();
  codec->decompress = ZSTD_createDCtx();
  return {codec, freeCodec};
}

RendererSwitches currentSwitches() {
  const RenderContext* c = glCurrentContext();
  RendererSwitches switches;
  switches.blend_on = c->blend_on;
  switches.texturing_on = c->texturing_on;
  switches.bound_texture = c->bound_texture->name;
  switches.colour = c->current_color;
  switches.tex_coord = c->current_tex_coord;
  return switches;
}

bool takeSnapshot(SnapshotCodec& codec, const RenderTarget& target, Snapshot* snapshot) {
  glFinish();
  snapshot->switches = currentSwitches();
  snapshot->render_bytes = renderBufferBytes(target);
  snapshot->depth_bytes = depthBufferBytes(target);
  const size_t render =
      pack(codec, target.render_buffer, snapshot->render_bytes, codec.render_scratch);
  const size_t depth =
      pack(codec, target.zbuffer->depth, snapshot->depth_bytes, codec.depth_scratch);
  if (render == 0 || depth == 0) return false;
  std::vector<uint8_t> packed;
  packed.reserve(render + depth);  // exactly: the budget counts what is allocated
  packed.insert(packed.end(), codec.render_scratch.data(), codec.render_scratch.data() + render);
  packed.insert(packed.end(), codec.depth_scratch.data(), codec.depth_scratch.data() + depth);
  snapshot->packed = std::move(packed);
  snapshot->packed_render = static_cast<int64_t>(render);
  return true;
}

void applySwitches(const RendererSwitches& switches) {
  if (switches.blend_on != 0) {
    glEnable(GL_BLEND);
  } else {
    glDisable(GL_BLEND);
  }
  glBindTexture(GL_TEXTURE_2D, switches.bound_texture);
  if (switches.texturing_on != 0) {
    glEnable(GL_TEXTURE_2D);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
  const Vec4& c = switches.colour;
  glColor4f(c.x, c.y, c.z, c.w);
  const Vec4& t = switches.tex_coord;
  glTexCoord4f(t.x, t.y, t.z, t.w);
}

bool restoreSnapshot(SnapshotCodec& codec, const Snapshot& snapshot, RenderTarget& target) {
  if (snapshot.render_bytes != renderBufferBytes(target)) return false;
  glFinish();  // nothing may still be drawing into the buffers being replaced
  const uint8_t* packed = snapshot.packed.data();
  const int64_t packed_depth =
      static_cast<int64_t>(snapshot.packed.size()) - snapshot.packed_render;
  if (!unpack(codec, packed, snapshot.packed_render, target.render_buffer, snapshot.render_bytes) ||
      !unpack(codec, packed + snapshot.packed_render, packed_depth, target.zbuffer->depth,
              snapshot.depth_bytes)) {
    return false;
  }
  applySwitches(snapshot.switches);
  return true;
}
