// The render context: every default glInitContext sets, closing and reopening, contexts per
// thread and switching between them, glTraceOps.
#include "renderer/context.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/renderer/render_support.h"

namespace {

void expectVec4(const Vec4& v, float x, float y, float z, float w) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
  EXPECT_EQ(v.w, w);
}

void expectIdentity(const Matrix4& m) {
  for (int k = 0; k < 16; ++k) EXPECT_EQ(m.m[k], (k % 5 == 0) ? 1.0f : 0.0f) << "element " << k;
}

TEST_F(RenderTest, ContextIsCurrentAndCoversTheWholeZBuffer) {
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->zbuffer, zb);
  EXPECT_EQ(c->viewport.x, 0);
  EXPECT_EQ(c->viewport.y, 0);
  EXPECT_EQ(c->viewport.width, 32);
  EXPECT_EQ(c->viewport.height, 24);
  EXPECT_EQ(c->viewport.dirty, 1);
  EXPECT_EQ(c->vertex_capacity, 16);
  EXPECT_NE(c->vertices, nullptr);
  EXPECT_EQ(c->execute_flag, 1);
  EXPECT_EQ(c->compile_flag, 0);
  EXPECT_EQ(c->trace_flag, 0);
  EXPECT_EQ(c->in_begin, 0);
  EXPECT_EQ(c->user_data, nullptr);
  EXPECT_EQ(c->resize_hook, nullptr);
}

TEST_F(RenderTest, LightingStartsOffWithTheDefaultLightsAndMaterials) {
  const GLLight& light = c->lights[15];
  expectVec4(light.position, 0, 0, 1, 0);
  EXPECT_EQ(light.spot_cutoff, 180.0f);
  EXPECT_EQ(light.attenuation[0], 1.0f);
  EXPECT_EQ(light.enabled, 0);
  EXPECT_EQ(c->active_lights, nullptr);
  expectVec4(c->scene_ambient, 0.2f, 0.2f, 0.2f, 1.0f);
  expectVec4(c->materials[1].diffuse, 0.8f, 0.8f, 0.8f, 1);
  EXPECT_EQ(c->color_material_face, 0x408);
  EXPECT_EQ(c->color_material_param, 0x1602);
  EXPECT_EQ(c->lighting_on, 0);
}

TEST_F(RenderTest, TextureZeroExistsAndIsBound) {
  ASSERT_NE(c->bound_texture, nullptr);
  EXPECT_EQ(c->bound_texture->name, 0);
  EXPECT_EQ(c->texture_buckets[0], c->bound_texture);
  EXPECT_EQ(c->bound_texture->images[0].pixels, nullptr);
  EXPECT_EQ(c->texturing_on, 0);
}

TEST_F(RenderTest, CurrentAttributesAndRasterStateDefaults) {
  expectVec4(c->current_color, 1, 1, 1, 1);
  EXPECT_EQ(c->current_color_fixed[0], 65535);
  EXPECT_EQ(c->current_color_fixed[1], 65535);
  EXPECT_EQ(c->current_color_fixed[2], 65535);
  expectVec4(c->current_normal, 1, 0, 0, 0);
  expectVec4(c->current_tex_coord, 0, 0, 0, 1);
  EXPECT_EQ(c->current_edge_flag, 1);
  EXPECT_EQ(c->front_polygon_mode, 0x1B02);
  EXPECT_EQ(c->back_polygon_mode, 0x1B02);
  EXPECT_EQ(c->front_face_cw, 0);
  EXPECT_EQ(c->shade_model, 0x1D01);
  EXPECT_EQ(c->cull_face, 0x405);
  EXPECT_EQ(c->culling_on, 0);
  EXPECT_EQ(c->clear_z, 0.0f);
  expectVec4(c->clear_rgba, 0, 0, 0, 0);
  EXPECT_EQ(c->render_mode, 0x1C00);
  EXPECT_EQ(c->select_buffer, nullptr);
  EXPECT_EQ(c->name_stack_size, 0);
  EXPECT_EQ(c->blend_on, 0);
  EXPECT_EQ(c->transparent_key, 0);
  EXPECT_EQ(c->normalize_on, 0);
  EXPECT_EQ(c->depth_test_on, 0);
  EXPECT_EQ(c->poly_offset_modes, 0);
  EXPECT_EQ(c->client_state_bits, 0);
}

TEST_F(RenderTest, StacksStartEmptyWithIdentityTopsAndModelViewSelected) {
  const int capacity[3] = {32, 8, 8};
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(c->matrix_stack_depth_max[n], capacity[n]);
    EXPECT_EQ(c->matrix_stack_ptr[n], c->matrix_stack[n]);
    expectIdentity(*c->matrix_stack_ptr[n]);
    // The rest of each stack is still the zeros of the allocation.
    EXPECT_EQ(c->matrix_stack[n][capacity[n] - 1].m[0], 0.0f);
  }
  EXPECT_EQ(c->current_matrix, 0);
  EXPECT_EQ(c->mvp_dirty, 1);
}

TEST(RenderContextLifetime, CloseClearsTheCurrentContextAndANewOneCanFollow) {
  ZBuffer* zb = zbOpen(8, 4, kZbMode565, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(zb, nullptr);
  glInitContext(zb);
  glNewList(3, GL_COMPILE);
  glTranslatef(1, 2, 3);
  glEndList();
  glCloseContext();
  EXPECT_EQ(glCurrentContext(), nullptr);

  glInitContext(zb);
  EXPECT_EQ(glIsList(3), 0);  // the lists went with the old context
  EXPECT_EQ(glCurrentContext()->viewport.width, 8);
  glCloseContext();
  zbClose(zb);
}

// Each thread has its own current context; glMakeCurrent switches and gives the one it replaced,
// which stays open with its own state. glInitContext on a live context closes it (under the
// sanitizers' leak check a leaked context fails the run).
TEST(RenderContextLifetime, ContextsAreSwitchedAndReplacedWithoutLeaking) {
  ZBuffer* zb = zbOpen(8, 4, kZbMode565, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(zb, nullptr);
  glInitContext(zb);
  glColor4f(1, 0, 0, 1);
  RenderContext* red = glMakeCurrent(nullptr);
  glInitContext(zb);
  RenderContext* other = glCurrentContext();
  EXPECT_NE(other, red);
  expectVec4(other->current_color, 1, 1, 1, 1);  // the default: nothing shared
  RenderContext* seen_on_thread = red;
  std::thread([&] { seen_on_thread = glCurrentContext(); }).join();
  EXPECT_EQ(seen_on_thread, nullptr);
  EXPECT_EQ(glMakeCurrent(red), other);
  expectVec4(glCurrentContext()->current_color, 1, 0, 0, 1);
  glCloseContext();
  glMakeCurrent(other);
  glInitContext(zb);  // replaces `other`, which is closed, not leaked
  EXPECT_EQ(glCurrentContext()->viewport.width, 8);
  glCloseContext();
  EXPECT_EQ(glCurrentContext(), nullptr);
  zbClose(zb);
}

}  // namespace
