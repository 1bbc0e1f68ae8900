// The triangle fills: turn three ScreenPoints into depth-tested 5-6-5 pixels of a ZBuffer, with
// one flat colour, with Gouraud-shaded colour, or with perspective-divided texels. Receives the
// points in any order; hands on written pixels and depth values, nothing else.
#pragma once
#include <cstdint>

// Callers see the full records through renderer/screen_point.h (or the vertex record that embeds
// it) and renderer/zbuffer.h; the fills' interface needs only their names.
struct ScreenPoint;
struct ZBuffer;

// Rows begin..end - 1 of the frame buffer.
struct RowBand {
  int begin;
  int end;
};

// Every fill: a triangle of zero area draws nothing. A pixel is written, and its stored depth
// becomes z >> 14, when that value is at least the stored one; whether depth testing is
// enabled in the context plays no part. All three points must lie inside the ZBuffer.

// Every pixel gets rgbToPixel of the colour of the bottom-most point (of several on that row, the
// one given last).
void zbFillFlat(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1, const ScreenPoint* p2);

// Red, green and blue interpolated across the triangle.
void zbFillSmooth(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1, const ScreenPoint* p2);

// Texels of zb->texture (256 x 256), copied unchanged, sampled at s and t divided by depth once
// every eight pixels and stepped linearly in between. When blend_on is non-zero a texel equal to
// transparent_key is skipped: neither the pixel nor its depth is written. Writes the sz and tz
// scratch fields of the three points. Draws nothing while zb->texture is null.
void zbFillTexturedKeyed(ZBuffer* zb, ScreenPoint* p0, ScreenPoint* p1, ScreenPoint* p2,
                         int blend_on, int transparent_key);

// zbFillTexturedKeyed with the blend_on and transparent_key of the current render context.
void zbFillTextured(ZBuffer* zb, ScreenPoint* p0, ScreenPoint* p1, ScreenPoint* p2);

// The same fills limited to the rows of a band, for drawing one triangle band by band on several
// threads: the pixels of each row are those the whole-triangle fill gives that row. The points
// are only read; the textured one needs sz and tz already set (s x z and t x z, as floats), and
// samples `texels` (256 x 256, not null), skipping texels equal to `key` when `keyed`.
void zbFillFlatRows(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                    const ScreenPoint* p2, RowBand band);
void zbFillSmoothRows(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                      const ScreenPoint* p2, RowBand band);
void zbFillTexturedRows(ZBuffer* zb, const uint16_t* texels, const ScreenPoint* p0,
                        const ScreenPoint* p1, const ScreenPoint* p2, bool keyed, uint16_t key,
                        RowBand band);

// Sets sz = s x z and tz = t x z of a point in single precision, as the textured fill wants them.
void setTextureDepthProducts(ScreenPoint* p);
