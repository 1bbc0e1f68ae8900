// Texture objects: receives texture names, binds and images; hands the bound texture's texels
// on to the textured fill. Texture objects live in a 256-bucket hash table of the context.
// Not done yet: image upload and conversion, and the checks of the environment, parameter and
// pixel-store ops; those handlers accept their op and change nothing.
#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/stages.h"

namespace {

Texture** bucketOf(RenderContext* c, int name) {
  return &c->texture_buckets[static_cast<unsigned>(name) % kTextureBuckets];
}

void freeTexture(Texture* texture) {
  for (TextureImage& image : texture->images) glFree(image.pixels);
  glFree(texture);
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
    bool was_bound = texture == c->bound_texture;
    bool was_zero = texture->name == 0;
    if (was_bound) bindTexture(c, 0);
    unlinkTexture(c, texture);
    freeTexture(texture);
    if (was_bound && was_zero) bindTexture(c, 0);
  }
}

void glopTexImage2D(RenderContext*, const OpWord*) {
  glFixme("glTexImage2D: image upload not done yet");
}

void glopTexEnv(RenderContext*, const OpWord*) { glFixme("glTexEnv: not done yet"); }

void glopTexParameter(RenderContext*, const OpWord*) { glFixme("glTexParameter: not done yet"); }

void glopPixelStore(RenderContext*, const OpWord*) { glFixme("glPixelStore: not done yet"); }
