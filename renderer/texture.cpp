// Texture objects: receives texture names, binds, images and settings; hands the bound
// texture's 256 x 256 texels on to the textured fill. Texture objects live in a 256-bucket hash
// table of the context; settings other than the few supported ones end the process.
#include <cstdint>

#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/image_convert.h"
#include "renderer/stages.h"
#include "renderer/triangle_draw.h"

namespace {

Texture** bucketOf(RenderContext* c, int name) {
  return &c->texture_buckets[static_cast<unsigned>(name) % kTextureBuckets];
}

void freeTexture(Texture* texture) {
  for (TextureImage& image : texture->images) glFree(image.pixels);
  glFree(texture);
}

// Texels about to be freed must not stay the ZBuffer's texture: a fill reached by another path
// than the fill drawer (which always sets the texture first) would read freed memory.
void forgetTexels(RenderContext* c, const Texture* texture) {
  if (c->zbuffer != nullptr && c->zbuffer->texture == texture->images[0].pixels) {
    zbSetTexture(c->zbuffer, nullptr);
  }
}

void unlinkTexture(RenderContext* c, Texture* texture) {
  if (texture->prev != nullptr) {
    texture->prev->next = texture->next;
  } else {
    *bucketOf(c, texture->name) = texture->next;
  }
  if (texture->next != nullptr) texture->next->prev = texture->prev;
}

void bindTexture(RenderContext* c, int name) {
  Texture* found = findTexture(c, name);
  c->bound_texture = found != nullptr ? found : createTexture(c, name);
}

// The largest texture name in use (0 when only texture 0 exists).
int largestTextureName(RenderContext* c) {
  int largest = 0;
  for (int bucket = 0; bucket < kTextureBuckets; ++bucket) {
    for (Texture* t = c->texture_buckets[bucket]; t != nullptr; t = t->next) {
      if (t->name > largest) largest = t->name;
    }
  }
  return largest;
}

}  // namespace

Texture* findTexture(RenderContext* c, int name) {
  for (Texture* t = *bucketOf(c, name); t != nullptr; t = t->next) {
    if (t->name == name) return t;
  }
  return nullptr;
}

Texture* createTexture(RenderContext* c, int name) {
  Texture* texture = static_cast<Texture*>(glAllocZero(sizeof(Texture)));
  Texture** head = bucketOf(c, name);
  texture->name = name;
  texture->next = *head;
  if (*head != nullptr) (*head)->prev = texture;
  *head = texture;
  return texture;
}

void freeTextures(RenderContext* c) {
  for (int bucket = 0; bucket < kTextureBuckets; ++bucket) {
    Texture* texture = c->texture_buckets[bucket];
    while (texture != nullptr) {
      Texture* next = texture->next;
      freeTexture(texture);
      texture = next;
    }
    c->texture_buckets[bucket] = nullptr;
  }
  c->bound_texture = nullptr;
}

void glopBindTexture(RenderContext* c, const OpWord* p) {
  int target = p[1].asInt();
  int texture = p[2].asInt();
  RK_ASSERT(target == GL_TEXTURE_2D && texture >= 0, "texture");
  bindTexture(c, texture);
}

// Names after the largest one in use. Nothing is created or reserved: two calls with no bind in
// between hand out the same names.
void glGenTextures(int n, unsigned* names) {
  int first = largestTextureName(glCurrentContext()) + 1;
  for (int k = 0; k < n; ++k) names[k] = static_cast<unsigned>(first + k);
}

// Unknown names are skipped. Deleting the bound texture binds texture 0 at once, on the context
// itself rather than through an op that a list being compiled would only record; deleting
// texture 0 while it is bound makes a fresh texture 0, so a valid texture is always bound.
void glDeleteTextures(int n, const unsigned* names) {
  RenderContext* c = glCurrentContext();
  for (int k = 0; k < n; ++k) {
    Texture* texture = findTexture(c, static_cast<int>(names[k]));
    if (texture == nullptr) continue;
    flushTriangleFills(c);  // waiting triangles may sample its texels
    bool was_bound = texture == c->bound_texture;
    bool was_zero = texture->name == 0;
    if (was_bound) bindTexture(c, 0);
    forgetTexels(c, texture);
    unlinkTexture(c, texture);
    freeTexture(texture);
    if (was_bound && was_zero) bindTexture(c, 0);
  }
}

// Only 2D level-0 RGB images of bytes, without border, are handled. Sizes that describe no
// readable image (zero, negative, larger than the address space) and a null pixel pointer end
// the process the same way: there is nothing the upload could sample. A failed allocation
// leaves the texture without an image and reports nothing.
void glopTexImage2D(RenderContext* c, const OpWord* p) {
  const int target = p[1].asInt(), level = p[2].asInt(), components = p[3].asInt();
  const int width = p[4].asInt(), height = p[5].asInt(), border = p[6].asInt();
  const int format = p[7].asInt(), type = p[8].asInt();
  const uint8_t* rgb = static_cast<const uint8_t*>(p[9].asPointer());
  if (target != GL_TEXTURE_2D || level != 0 || components != 3 || border != 0 || format != GL_RGB ||
      type != GL_UNSIGNED_BYTE || rgb == nullptr || !isReadableRgbImage(width, height)) {
    glFatalError("glTexImage2D: combinaison of parameters not handled");
  }
  Texture* texture = c->bound_texture;
  TextureImage* image = &texture->images[0];
  flushTriangleFills(c);  // waiting triangles may sample the texels about to be freed
  forgetTexels(c, texture);
  glFree(image->pixels);
  image->width = kTextureSide;
  image->height = kTextureSide;
  image->pixels = static_cast<Pixel565*>(glAlloc(sizeof(Pixel565) * kTextureSide * kTextureSide));
  if (image->pixels != nullptr) convertRgbImage(rgb, width, height, image->pixels);
}

// Decal is the only environment: texels are copied unchanged whatever it says.
void glopTexEnv(RenderContext*, const OpWord* p) {
  const int target = p[1].asInt(), parameter = p[2].asInt(), value = p[3].asInt();
  if (target != GL_TEXTURE_ENV || parameter != GL_TEXTURE_ENV_MODE || value != GL_DECAL) {
    glFatalError("glTexParameter: unsupported option");
  }
}

// Textures always repeat; any other wrap mode is refused. Filters are accepted and ignored:
// the fill samples the nearest texel.
void glopTexParameter(RenderContext*, const OpWord* p) {
  const int target = p[1].asInt(), parameter = p[2].asInt(), value = p[3].asInt();
  const bool wrap = parameter == GL_TEXTURE_WRAP_S || parameter == GL_TEXTURE_WRAP_T;
  if (target != GL_TEXTURE_2D || (wrap && value != GL_REPEAT)) {
    glFatalError("glTexParameter: unsupported option");
  }
}

// Uploads read rows packed without padding, which is an unpack alignment of 1.
void glopPixelStore(RenderContext*, const OpWord* p) {
  const int parameter = p[1].asInt(), value = p[2].asInt();
  if (parameter != GL_UNPACK_ALIGNMENT || value != 1) {
    glFatalError("glPixelStore: unsupported option");
  }
}
