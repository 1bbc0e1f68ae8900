// Current vertex attributes and primitive assembly: receives the colour, texture-coordinate,
// normal, edge-flag, begin, vertex and end ops; hands primitives on to clipping and drawing.
// Not done yet: transforming, classifying, storing and assembling vertices, the screen
// transform and drawer choice at glBegin, and closing loops and polygons at glEnd. What runs
// now is the attribute state, the begin/end bracket with its checks and the matrix recompute.
#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/stages.h"

// The colour arrives with its rasterizer integers already packed by the entry point. With
// colour material on, the colour also becomes the material parameter it tracks.
void glopColor(RenderContext* c, const OpWord* p) {
  c->current_color = {p[1].asFloat(), p[2].asFloat(), p[3].asFloat(), p[4].asFloat()};
  for (int k = 0; k < 3; ++k) c->current_color_fixed[k] = p[5 + k].asInt();
  if (c->color_material_on) {
    OpWord material[7] = {OpWord::ofInt(kOpMaterial),
                          OpWord::ofInt(c->color_material_face),
                          OpWord::ofInt(c->color_material_param),
                          p[1],
                          p[2],
                          p[3],
                          p[4]};
    glopMaterial(c, material);
  }
}

void glopTexCoord(RenderContext* c, const OpWord* p) {
  c->current_tex_coord = {p[1].asFloat(), p[2].asFloat(), p[3].asFloat(), p[4].asFloat()};
}

void glopNormal(RenderContext* c, const OpWord* p) {
  c->current_normal = {p[1].asFloat(), p[2].asFloat(), p[3].asFloat(), 0.0f};
}

void glopEdgeFlag(RenderContext* c, const OpWord* p) { c->current_edge_flag = p[1].asInt(); }

// The mode is not checked here: an unknown one is reported at the first vertex.
void glopBegin(RenderContext* c, const OpWord* p) {
  RK_ASSERT(c->in_begin == 0, "vertex");
  c->primitive = p[1].asInt();
  c->in_begin = 1;
  c->pending = 0;
  c->vertex_total = 0;
  if (c->mvp_dirty) recomputeMatrices(c);
  glFixme("glBegin: screen transform and drawer choice not done yet");
}

// Counts the vertex; nothing is transformed, stored or drawn yet.
void glopVertex(RenderContext* c, const OpWord*) {
  RK_ASSERT(c->in_begin != 0, "vertex");
  c->vertex_total += 1;
  glFixme("glVertex: vertex processing not done yet");
}

void glopEnd(RenderContext* c, const OpWord*) {
  RK_ASSERT(c->in_begin == 1, "vertex");
  c->in_begin = 0;
}
