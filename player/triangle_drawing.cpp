// Triangle records to renderer calls: the texture and blend cache, the packed colour and the
// vertex values in the number formats the picture depends on. Receives decoded triangles and the
// texture table; hands on renderer calls.
#include "player/triangle_drawing.h"

#include "renderer/gl.h"

namespace {

// Texture coordinates are formed in double precision with this constant (1/255 to the digits
// given) and only then narrowed to float.
constexpr double kTexCoordScale = 0.00392156862745098;
// Screen positions are scaled in single precision by 1/255 rounded to a float. Both choices
// decide which render-buffer pixels a triangle covers, so neither may be "simplified".
constexpr float kPositionScale = 1.0f / 255.0f;

void switchTexture(TriangleDrawing& drawing, int slot) {
  if (slot == drawing.cache.last_texture_slot) return;
  const DrawingCalls& calls = *drawing.calls;
  drawing.cache.last_texture_slot = slot;
  if (slot == 0) {
    calls.disable(GL_TEXTURE_2D);
    return;
  }
  calls.enable(GL_TEXTURE_2D);
  calls.bind_texture(GL_TEXTURE_2D, static_cast<int>(drawing.textures->names[slot]));
}

// Modes 1 and 2 both switch blending on; 3 to 7 leave it as the previous mode set it.
void switchBlend(TriangleDrawing& drawing, int mode) {
  if (mode == drawing.cache.last_blend_mode) return;
  drawing.cache.last_blend_mode = mode;
  if (mode == 0) {
    drawing.calls->disable(GL_BLEND);
  } else if (mode <= 2) {
    drawing.calls->enable(GL_BLEND);
  }
}

float texCoord(uint8_t value) { return static_cast<float>(value * kTexCoordScale); }

float position(uint8_t value) { return static_cast<float>(value) * kPositionScale; }

float channel(int value) { return static_cast<float>(value / 15.0); }

void drawVertex(const DrawingCalls& calls, const TriangleVertex& vertex) {
  calls.tex_coord_2f(texCoord(vertex.u), texCoord(vertex.v));
  setPackedColour(calls, vertex.colour);
  calls.vertex_3f(position(vertex.x), position(vertex.y), 0.0f);
}

}  // namespace

const DrawingCalls& rendererDrawingCalls() {
  static const DrawingCalls calls = {glEnable,     glDisable, glBindTexture, glBegin,
                                     glTexCoord2f, glColor4f, glVertex3f,    glEnd};
  return calls;
}

TriangleDrawing rendererTriangleDrawing(const TextureTable& textures) {
  TriangleDrawing drawing;
  drawing.calls = &rendererDrawingCalls();
  drawing.textures = &textures;
  return drawing;
}

void setPackedColour(const DrawingCalls& calls, uint16_t colour) {
  const int red = (colour >> 8) & 15;
  const int green = (colour >> 4) & 15;
  const int blue = colour & 15;
  if ((colour & 0xF000) == 0) {
    calls.color_4f(channel(red), channel(green), channel(blue), 0.5f);
  } else if (red <= 5) {
    calls.color_4f(1.0f, 1.0f, 1.0f, 1.0f);
  } else {
    calls.color_4f(channel(red), channel(green), channel(blue), 1.0f);
  }
}

void drawTriangle(TriangleDrawing& drawing, const TriangleRecord& triangle) {
  switchTexture(drawing, triangle.texture_slot);
  switchBlend(drawing, triangle.blend_mode);
  const DrawingCalls& calls = *drawing.calls;
  calls.begin(GL_TRIANGLES);
  for (const TriangleVertex& vertex : triangle.vertices) drawVertex(calls, vertex);
  calls.end();
}
