// The render context's life: receives the caller's ZBuffer, hands on the calling thread's current
// context with every default in place, and frees what the context owns when it is closed.
#include "renderer/context.h"

#include "renderer/gl.h"
#include "renderer/stages.h"
#include "renderer/triangle_draw.h"

// Each thread draws with its own current context, so that two threads can draw at once, each
// into its own context.
thread_local constinit RenderContext* current_render_context = nullptr;

namespace {

constexpr int kInitialVertices = 16;
constexpr int kStackCapacity[3] = {32, 8, 8};  // model-view, projection, texture

void initLight(GLLight* light) {
  light->ambient = {0, 0, 0, 1};
  light->diffuse = {1, 1, 1, 1};
  light->specular = {1, 1, 1, 1};
  light->position = {0, 0, 1, 0};
  light->norm_position = {0, 0, 1};
  light->spot_direction = {0, 0, -1};
  light->norm_spot_direction = {0, 0, -1};
  light->spot_exponent = 0;
  light->spot_cutoff = 180;
  light->attenuation[0] = 1;
  light->attenuation[1] = 0;
  light->attenuation[2] = 0;
  light->enabled = 0;
}

void initMaterial(GLMaterial* material) {
  material->emission = {0, 0, 0, 1};
  material->ambient = {0.2f, 0.2f, 0.2f, 1};
  material->diffuse = {0.8f, 0.8f, 0.8f, 1};
  material->specular = {0, 0, 0, 1};
  material->shininess = 0;
}

void initLighting(RenderContext* c) {
  for (GLLight& light : c->lights) initLight(&light);
  c->active_lights = nullptr;
  c->scene_ambient = {0.2f, 0.2f, 0.2f, 1.0f};
  c->local_viewer = 0;
  c->lighting_on = 0;
  c->two_sided_lighting = 0;
  for (GLMaterial& material : c->materials) initMaterial(&material);
  c->color_material_on = 0;
  c->color_material_face = GL_FRONT_AND_BACK;
  c->color_material_param = GL_AMBIENT_AND_DIFFUSE;
}

void initCurrentAttributes(RenderContext* c) {
  c->current_color = {1, 1, 1, 1};
  c->current_color_fixed[0] = 65535;
  c->current_color_fixed[1] = 65535;
  c->current_color_fixed[2] = 65535;
  c->current_normal = {1, 0, 0, 0};
  c->current_tex_coord = {0, 0, 0, 1};
  c->current_edge_flag = 1;
}

void initRasterState(RenderContext* c) {
  c->front_polygon_mode = GL_FILL;
  c->back_polygon_mode = GL_FILL;
  c->front_face_cw = 0;
  c->shade_model = GL_SMOOTH;
  c->cull_face = GL_BACK;
  c->culling_on = 0;
  c->clear_z = 0;
  c->clear_rgba = {0, 0, 0, 0};
  c->render_mode = GL_RENDER;
  c->select_buffer = nullptr;
  c->name_stack_size = 0;
}

// Allocates the three stacks and loads the identity into each top, through the entry points
// so that the loads run as ops, ending with the model-view stack selected.
void initMatrices(RenderContext* c) {
  c->current_matrix = 0;
  for (int n = 0; n < 3; ++n) {
    c->matrix_stack_depth_max[n] = kStackCapacity[n];
    c->matrix_stack[n] = static_cast<Matrix4*>(
        glAllocZero(sizeof(Matrix4) * static_cast<size_t>(kStackCapacity[n])));
    c->matrix_stack_ptr[n] = c->matrix_stack[n];
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

}  // namespace

RenderContext* glCurrentContext() { return current_render_context; }

RenderContext* glMakeCurrent(RenderContext* c) {
  RenderContext* previous = current_render_context;
  current_render_context = c;
  return previous;
}

void glInitContext(ZBuffer* zb) {
  if (current_render_context != nullptr) glCloseContext();  // replaced, not leaked
  RenderContext* c = static_cast<RenderContext*>(glAllocZero(sizeof(RenderContext)));
  current_render_context = c;
  c->zbuffer = zb;
  c->vertex_capacity = kInitialVertices;
  c->vertices = static_cast<GLVertex*>(glAlloc(sizeof(GLVertex) * kInitialVertices));
  c->viewport.x = 0;
  c->viewport.y = 0;
  c->viewport.width = zb->width;
  c->viewport.height = zb->height;
  c->viewport.dirty = 1;
  c->display_lists =
      static_cast<DisplayList**>(glAllocZero(sizeof(DisplayList*) * MAX_DISPLAY_LISTS));
  c->texture_buckets = static_cast<Texture**>(glAllocZero(sizeof(Texture*) * kTextureBuckets));
  createTexture(c, 0);
  c->trace_flag = 0;
  c->execute_flag = 1;
  c->compile_flag = 0;
  c->in_begin = 0;
  initLighting(c);
  c->texturing_on = 0;
  c->bound_texture = findTexture(c, 0);
  initCurrentAttributes(c);
  initRasterState(c);
  initMatrices(c);
  c->mvp_dirty = 1;
  c->client_state_bits = 0;
  c->poly_offset_modes = 0;
  c->resize_hook = nullptr;
  c->specular_tables = nullptr;
  c->specular_use_counter = 0;
  c->specular_table_count = 0;
  c->depth_test_on = 0;
}

// Frees everything the context owns, so that opening and closing contexts leaks nothing; the
// ZBuffer and any caller memory the ops point to stay the caller's.
void glCloseContext() {
  RenderContext* c = current_render_context;
  closeTriangleThreads(c);
  freeDisplayLists(c);
  freeTextures(c);
  freeSpecularTables(c);
  for (Matrix4* stack : c->matrix_stack) glFree(stack);
  glFree(c->vertices);
  glFree(c->display_lists);
  glFree(c->texture_buckets);
  glFree(c);
  current_render_context = nullptr;
}

void glTraceOps(int on) { current_render_context->trace_flag = on; }
