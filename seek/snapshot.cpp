// Takes and restores drawing snapshots: the render and depth buffers through the build's
// compressor (snapshot_codec.h), the renderer switches through the current context. Receives a
// render target; hands on compressed bytes and back the same buffers and switches.
#include "seek/snapshot.h"

#include <cstring>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "seek/snapshot_codec.h"

namespace {

int64_t renderBufferBytes(const RenderTarget& target) {
  return 8 * int64_t{target.width} * int64_t{target.height};
}

int64_t depthBufferBytes(const RenderTarget& target) { return renderBufferBytes(target); }

}  // namespace

int64_t snapshotBytes(const Snapshot& snapshot) {
  return static_cast<int64_t>(sizeof(Snapshot) + snapshot.packed.capacity());
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
  const PackedBytes render = packSnapshotBuffer(codec, SnapshotBuffer::kRender,
                                                target.render_buffer, snapshot->render_bytes);
  const PackedBytes depth = packSnapshotBuffer(codec, SnapshotBuffer::kDepth, target.zbuffer->depth,
                                               snapshot->depth_bytes);
  if (render.size == 0 || depth.size == 0) return false;
  std::vector<uint8_t> packed;
  packed.reserve(render.size + depth.size);  // exactly: the budget counts what is allocated
  packed.insert(packed.end(), render.data, render.data + render.size);
  packed.insert(packed.end(), depth.data, depth.data + depth.size);
  snapshot->packed = std::move(packed);
  snapshot->packed_render = static_cast<int64_t>(render.size);
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
  if (!unpackSnapshotBuffer(codec, packed, snapshot.packed_render, target.render_buffer,
                            snapshot.render_bytes) ||
      !unpackSnapshotBuffer(codec, packed + snapshot.packed_render, packed_depth,
                            target.zbuffer->depth, snapshot.depth_bytes)) {
    return false;
  }
  applySwitches(snapshot.switches);
  return true;
}
