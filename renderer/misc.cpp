// Viewport, switches and rasterization state: receives the state ops and stores their values in
// the context, where the next glBegin and the rasterizers read them; hands glClear on to the
// ZBuffer.
#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/stages.h"
#include "renderer/triangle_draw.h"

namespace {

// The polygon-offset mode bit a capability controls, or 0 for any other capability.
int polygonOffsetBit(int cap) {
  switch (cap) {
    case GL_POLYGON_OFFSET_FILL:
      return 1;
    case GL_POLYGON_OFFSET_LINE:
      return 2;
    case GL_POLYGON_OFFSET_POINT:
      return 4;
    default:
      return 0;
  }
}

// The context flag a capability sets, or null for capabilities that are no plain flag.
int* capabilityFlag(RenderContext* c, int cap) {
  switch (cap) {
    case GL_CULL_FACE:
      return &c->culling_on;
    case GL_COLOR_MATERIAL:
      return &c->color_material_on;
    case GL_DEPTH_TEST:
      return &c->depth_test_on;
    case GL_NORMALIZE:
      return &c->normalize_on;
    case GL_BLEND:
      return &c->blend_on;
    case GL_TEXTURE_2D:
      return &c->texturing_on;
    default:
      return nullptr;
  }
}

// The recompute at glBegin derives only what the lighting state needs (the normal matrix when
// lighting is on, the combined matrix when it is off), so switching lighting asks for a
// recompute; the other derived matrix would otherwise be stale.
void setLighting(RenderContext* c, int on) {
  if (c->lighting_on != on) c->mvp_dirty = 1;
  c->lighting_on = on;
}

// A clear-colour channel on the 0..65535 scale, computed in single precision and truncated.
int clearChannel(float value) { return truncToInt(toFloat(value * 65535.0f)); }

}  // namespace

// Any capability not named here is ignored without a message.
void glopEnableDisable(RenderContext* c, const OpWord* p) {
  int cap = p[1].asInt();
  int on = p[2].asInt();
  if (int* flag = capabilityFlag(c, cap)) {
    *flag = on;
  } else if (cap == GL_LIGHTING) {
    setLighting(c, on);
  } else if (int bit = polygonOffsetBit(cap)) {
    c->poly_offset_modes = on ? (c->poly_offset_modes | bit) : (c->poly_offset_modes & ~bit);
  } else if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + MAX_LIGHTS) {
    enableLight(c, cap - GL_LIGHT0, on);
  }
}

void glopViewport(RenderContext* c, const OpWord* p) {
  int x = p[1].asInt(), y = p[2].asInt(), width = p[3].asInt(), height = p[4].asInt();
  Viewport* v = &c->viewport;
  if (x == v->x && y == v->y && width == v->width && height == v->height) return;
  int right = x + width;
  int bottom = y + height;
  if (c->resize_hook != nullptr) {
    flushTriangleFills(c);  // into the buffers they were meant for
    if (c->resize_hook(c, &right, &bottom) != 0) {
      glFatalError("glViewport: error while resizing display");
    }
    width = right - x;
    height = bottom - y;
  }
  if (width < 1 || height < 1) glFatalError("glViewport: size too small");
  glTrace("glViewport: %d %d %d %d\n", x, y, width, height);
  v->x = x;
  v->y = y;
  v->width = width;
  v->height = height;
  v->dirty = 1;  // the screen transform follows at the next glBegin
}

void glopShadeModel(RenderContext* c, const OpWord* p) { c->shade_model = p[1].asInt(); }

void glopCullFace(RenderContext* c, const OpWord* p) { c->cull_face = p[1].asInt(); }

void glopFrontFace(RenderContext* c, const OpWord* p) { c->front_face_cw = p[1].asInt(); }

void glopPolygonMode(RenderContext* c, const OpWord* p) {
  int face = p[1].asInt();
  int mode = p[2].asInt();
  switch (face) {
    case GL_BACK:
      c->back_polygon_mode = mode;
      break;
    case GL_FRONT:
      c->front_polygon_mode = mode;
      break;
    case GL_FRONT_AND_BACK:
      c->front_polygon_mode = mode;
      c->back_polygon_mode = mode;
      break;
    default:
      RK_ASSERT(0, "misc");
  }
}

// Every target and mode is accepted; none changes anything (textured fills always divide by
// depth, whatever the perspective hint says).
void glopHint(RenderContext*, const OpWord*) {}

// Stored only: no drawing reads the offsets.
void glopPolygonOffset(RenderContext* c, const OpWord* p) {
  c->poly_offset_factor = p[1].asFloat();
  c->poly_offset_units = p[2].asFloat();
}

void glopClearColor(RenderContext* c, const OpWord* p) {
  c->clear_rgba = {p[1].asFloat(), p[2].asFloat(), p[3].asFloat(), p[4].asFloat()};
}

// Kept for reading back; glClear always clears depth to 0 (the farthest value).
void glopClearDepth(RenderContext* c, const OpWord* p) { c->clear_z = p[1].asFloat(); }

// The whole buffer is cleared, whatever the viewport; alpha is not used.
void glopClear(RenderContext* c, const OpWord* p) {
  int mask = p[1].asInt();
  flushTriangleFills(c);  // waiting triangles were drawn before the clear
  zbClear(c->zbuffer, mask & GL_DEPTH_BUFFER_BIT, 0, mask & GL_COLOR_BUFFER_BIT,
          clearChannel(c->clear_rgba.x), clearChannel(c->clear_rgba.y),
          clearChannel(c->clear_rgba.z));
}
