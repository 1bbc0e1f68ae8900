// The render context: the record that holds all of one drawing surface's renderer state, and
// the records it owns (lights, materials, textures, display-list blocks, specular tables).
// Created by glInitContext over a ZBuffer; every op handler receives it.
#pragma once

#include <cstddef>

#include "renderer/matrix_math.h"
#include "renderer/ops.h"
#include "renderer/stage_records.h"
#include "renderer/zbuffer.h"

inline constexpr int MAX_LIGHTS = 16;
inline constexpr int MAX_NAME_STACK_DEPTH = 64;
inline constexpr int MAX_DISPLAY_LISTS = 1024;  // list names 0..1023
inline constexpr int MAX_TEXTURE_LEVELS = 11;
inline constexpr int kTextureBuckets = 256;
inline constexpr int kSpecularTableSize = 1024;  // entries 0..1024 for x = i / 1024

// Display-list storage: 512 words, of which at most 510 hold ops so that the two words of a
// link to the next block (op 42 and its pointer) always fit behind them.
inline constexpr int kOpBlockWords = 512;
inline constexpr int kOpBlockOpWords = 510;

struct OpBlock {
  OpWord words[kOpBlockWords];
  OpBlock* next;  // null in the last block
};

struct DisplayList {
  OpBlock* first_block;
};

struct GLLight {
  Vec4 ambient;
  Vec4 diffuse;
  Vec4 specular;
  Vec4 position;  // eye space (already multiplied by the model-view matrix); w = 0: directional
  Vec3 spot_direction;
  float spot_exponent;
  float spot_cutoff;     // degrees; 180 means no spot
  float attenuation[3];  // constant, linear, quadratic
  float cos_spot_cutoff;
  Vec3 norm_spot_direction;
  Vec3 norm_position;  // set only for directional lights
  int enabled;
  GLLight* next;  // chain of enabled lights, most recently enabled first
  GLLight* prev;
};

struct GLMaterial {
  Vec4 emission;
  Vec4 ambient;
  Vec4 diffuse;
  Vec4 specular;
  float shininess;
  int shininess_index;  // int(shininess / 128 x 1024), the specular table's key
};

struct TextureImage {
  Pixel565* pixels;  // 256 x 256, row 0 first, or null
  int width;
  int height;
};

struct Texture {
  TextureImage images[MAX_TEXTURE_LEVELS];  // only level 0 is ever filled
  int name;
  Texture* next;  // chain of the hash bucket name mod 256
  Texture* prev;
};

struct SpecularTable {
  int shininess_index;
  int stamp;  // the context's use counter when last used
  float values[kSpecularTableSize + 1];
  SpecularTable* next;
};

struct Viewport {
  int x, y, width, height;
  Vec3 scale;  // screen transform, recomputed at glBegin while dirty
  Vec3 offset;
  int dirty;
};

// A vertex array described by the caller: `size` floats per element, `stride` floats skipped
// between elements (not bytes), element i at float i x (size + stride) from `pointer`.
struct ClientArray {
  int size;
  int stride;
  const float* pointer;
};

struct RenderContext;
struct RasterBands;

using TriangleDrawer = void (*)(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc);

// Called by glViewport with the required right and bottom edges; may lower them to what it can
// provide. Returns 0 on success, non-zero on failure.
using ResizeHook = int (*)(RenderContext* c, int* right, int* bottom);

struct RenderContext {
  ZBuffer* zbuffer;

  // Lighting.
  GLLight lights[MAX_LIGHTS];
  GLLight* active_lights;
  Vec4 scene_ambient;
  int local_viewer, lighting_on, two_sided_lighting;
  GLMaterial materials[2];  // front, back
  int color_material_on, color_material_face, color_material_param;

  // Textures.
  Texture* bound_texture;
  int texturing_on;
  int blend_on;
  int transparent_key;  // texel value skipped by textured fills while blend_on; always 0

  // Tables and display-list compilation.
  DisplayList** display_lists;  // MAX_DISPLAY_LISTS entries
  Texture** texture_buckets;    // kTextureBuckets chain heads
  OpBlock* list_block;          // block being filled while compiling
  int list_fill;                // words used in list_block
  int execute_flag, compile_flag, trace_flag;

  // Matrices: stacks indexed by current_matrix (0 model-view, 1 projection, 2 texture).
  int current_matrix;
  Matrix4* matrix_stack[3];      // bases
  Matrix4* matrix_stack_ptr[3];  // tops, the matrices the ops change
  int matrix_stack_depth_max[3];
  Matrix4 normal_matrix;  // transpose of the inverse of the model-view top
  Matrix4 mvp_matrix;     // projection top x model-view top
  int mvp_dirty, mvp_affine_w, texture_matrix_on;

  Viewport viewport;

  // Rasterization state.
  int back_polygon_mode, front_polygon_mode, front_face_cw, shade_model, cull_face, culling_on,
      normalize_on;
  TriangleDrawer draw_front, draw_back;

  // Selection.
  int render_mode;
  unsigned* select_buffer;
  int select_capacity;  // words
  unsigned* select_cursor;
  unsigned* select_hit;  // current hit record or null
  int select_overflow;
  int select_hits;
  unsigned name_stack[MAX_NAME_STACK_DEPTH];
  int name_stack_size;

  float clear_z;
  Vec4 clear_rgba;

  // Current vertex attributes.
  Vec4 current_color;
  int current_color_fixed[3];  // rasterizer integers: red, green, blue
  Vec4 current_normal;
  Vec4 current_tex_coord;
  int current_edge_flag;

  // Primitive assembly.
  int in_begin, primitive, pending, vertex_total, vertex_capacity;
  GLVertex* vertices;
  // Separate triangles whose calls took the immediate path (glVertex3f without op records),
  // counted so that tests and profiles can tell which path drew them. Wraps around.
  unsigned immediate_triangles;

  // Vertex arrays.
  ClientArray vertex_array, color_array, normal_array, tex_coord_array;
  int client_state_bits;  // 1 vertex, 2 colour, 4 normal, 8 texture coordinates

  float poly_offset_factor, poly_offset_units;
  int poly_offset_modes;  // bit 0 fill, bit 1 line, bit 2 point

  // Specular power tables.
  SpecularTable* specular_tables;
  int specular_use_counter;
  int specular_table_count;

  void* user_data;  // the embedding program's; never used by the renderer
  ResizeHook resize_hook;
  int depth_test_on;

  // Filled triangles waiting for their drawing threads; null while triangles are drawn at once
  // on the calling thread (one raster thread, the default).
  RasterBands* raster_bands;
};

// The calling thread's current context, the one glCurrentContext returns. The per-vertex entry
// points read it here, in place, instead of calling glCurrentContext for every vertex.
extern thread_local constinit RenderContext* current_render_context;

// The renderer's memory functions: malloc, one calloc'd block, and free.
void* glAlloc(size_t size);
void* glAllocZero(size_t size);
void glFree(void* p);
