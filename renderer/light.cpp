// Lights, materials and the light model: receives their ops and the enable switches of the
// lights; hands lit vertex colours on to primitive assembly, with specular powers looked up in
// a few cached tables instead of computed per vertex.
#include "renderer/light.h"

#include <climits>
#include <cmath>

#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/stages.h"

namespace {

constexpr int kMaxSpecularTables = 8;
constexpr double kPi = 3.14159265358979323846;

Vec4 opVec4(const OpWord* p, int first) {
  return {p[first].asFloat(), p[first + 1].asFloat(), p[first + 2].asFloat(),
          p[first + 3].asFloat()};
}

// The table key: shininess 0..128 spread over 0..1024, so nearby values share a table.
int shininessIndex(float shininess) { return truncToInt(toFloat(shininess / 128 * 1024)); }

void setMaterial(GLMaterial* m, int param, const OpWord* p) {
  const Vec4 v = opVec4(p, 3);
  switch (param) {
    case GL_EMISSION:
      m->emission = v;
      break;
    case GL_AMBIENT:
      m->ambient = v;
      break;
    case GL_DIFFUSE:
      m->diffuse = v;
      break;
    case GL_SPECULAR:
      m->specular = v;
      break;
    case GL_AMBIENT_AND_DIFFUSE:
      m->ambient = v;
      m->diffuse = v;
      break;
    case GL_SHININESS:
      m->shininess = v.x;
      m->shininess_index = shininessIndex(v.x);
      break;
    default:
      RK_ASSERT(0, "light");
  }
}

void setSpotCutoff(GLLight* light, float a) {
  // clang-format off
  RK_ASSERT(a == 180 || (a>=0 && a<=90), "light");
  // clang-format on
  light->spot_cutoff = a;
  if (a != 180) light->cos_spot_cutoff = toFloat(std::cos(a * kPi / 180));
}

// Normalising a zero vector leaves it as it is (v3Normalize's contract).
Vec3 normalized(Vec3 v) {
  v3Normalize(&v);
  return v;
}

// The position is kept in eye space: the model-view matrix of the moment it was given.
void setPosition(RenderContext* c, GLLight* light, Vec4 q) {
  light->position = m4Transform(*c->matrix_stack_ptr[0], q);
  const Vec4& pos = light->position;
  if (pos.w == 0) light->norm_position = normalized({pos.x, pos.y, pos.z});
}

void setLightParameter(RenderContext* c, GLLight* light, int param, Vec4 q) {
  switch (param) {
    case GL_AMBIENT:
      light->ambient = q;
      break;
    case GL_DIFFUSE:
      light->diffuse = q;
      break;
    case GL_SPECULAR:
      light->specular = q;
      break;
    case GL_POSITION:
      setPosition(c, light, q);
      break;
    case GL_SPOT_DIRECTION:  // taken as given, not through the model-view matrix
      light->spot_direction = {q.x, q.y, q.z};
      light->norm_spot_direction = normalized({q.x, q.y, q.z});
      break;
    case GL_SPOT_EXPONENT:
      light->spot_exponent = q.x;
      break;
    case GL_SPOT_CUTOFF:
      setSpotCutoff(light, q.x);
      break;
    case GL_CONSTANT_ATTENUATION:
    case GL_LINEAR_ATTENUATION:
    case GL_QUADRATIC_ATTENUATION:
      light->attenuation[param - GL_CONSTANT_ATTENUATION] = q.x;
      break;
    default:
      RK_ASSERT(0, "light");
  }
}

float dot3(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float length3(Vec3 v) { return toFloat(std::sqrt(dot3(v, v))); }

// Per-channel product of the RGB parts of two colours.
Vec3 modulate(const Vec4& a, const Vec4& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

void addScaled(Vec3* sum, float k, Vec3 v) {
  sum->x += k * v.x;
  sum->y += k * v.y;
  sum->z += k * v.z;
}

// NaN (an attenuation that divides by zero) ends up as 0 like any other value below range.
float clampUnit(float v) { return v > 1 ? 1.0f : (v > 0 ? v : 0.0f); }

// With two-sided lighting a surface lit from behind counts as lit from the front.
float facing(const RenderContext* c, float cosine) {
  return c->two_sided_lighting && cosine < 0 ? -cosine : cosine;
}

// Unit direction from the vertex to the light and the light's distance attenuation. A
// directional light has one fixed direction and does not fade.
Vec3 lightDirection(const GLLight& light, const Vec4& e, float* att) {
  if (light.position.w == 0) {
    *att = 1;
    return light.norm_position;
  }
  Vec3 d = {light.position.x - e.x, light.position.y - e.y, light.position.z - e.z};
  const float dist = length3(d);
  if (dist > 1e-10f) d = {d.x / dist, d.y / dist, d.z / dist};
  const float* k = light.attenuation;
  *att = toFloat(1 / (k[0] + dist * (k[1] + dist * k[2])));
  return d;
}

// The half vector: towards the eye at the origin (local viewer) or straight along +z.
Vec3 halfVector(const RenderContext* c, Vec3 d, const Vec4& e) {
  if (!c->local_viewer) return {d.x, d.y, d.z + 1};
  const Vec3 eye = normalized({e.x, e.y, e.z});
  return {d.x - eye.x, d.y - eye.y, d.z - eye.z};
}

void addSpecular(RenderContext* c, const GLLight& light, const GLMaterial& m, const GLVertex& v,
                 Vec3 d, Vec3* sum) {
  const Vec3 s = halfVector(c, d, v.eye_coord);
  float cosine = toFloat(facing(c, dot3(v.normal, s)));
  if (!(cosine > 0)) return;
  const float len = length3(s);
  if (len > 0.001f) cosine = toFloat(cosine / len);
  const SpecularTable* table = specularTable(c, m.shininess_index, m.shininess);
  int i = truncToInt(toFloat(cosine * kSpecularTableSize));
  if (i > kSpecularTableSize) i = kSpecularTableSize;
  addScaled(sum, table->values[i], modulate(light.specular, m.specular));
}

// Adds one light's attenuated share to `rgb`. A spot light whose cone leaves the vertex out
// adds nothing at all, not even its ambient term; a surface facing away gets the ambient term
// only.
void addLight(RenderContext* c, const GLLight& light, const GLMaterial& m, const GLVertex& v,
              Vec3* rgb) {
  Vec3 sum = modulate(light.ambient, m.ambient);
  float att;
  const Vec3 d = lightDirection(light, v.eye_coord, &att);
  const float cosine = facing(c, dot3(d, v.normal));
  if (cosine > 0) {
    addScaled(&sum, cosine, modulate(light.diffuse, m.diffuse));
    if (light.spot_cutoff != 180) {
      const float spot = facing(c, -dot3(d, light.norm_spot_direction));
      if (spot < light.cos_spot_cutoff) return;
      if (light.spot_exponent > 0) att = toFloat(att * std::pow(spot, light.spot_exponent));
    }
    addSpecular(c, light, m, v, d, &sum);
  }
  addScaled(rgb, att, sum);
}

// Stamps can only grow; before the counter would overflow they are renumbered 0, 1, ... in
// their order, which keeps the least recently used table the one with the smallest stamp.
void renumberStamps(RenderContext* c) {
  int ranks[kMaxSpecularTables] = {};
  int n = 0;
  for (SpecularTable* t = c->specular_tables; t != nullptr; t = t->next, ++n) {
    for (SpecularTable* u = c->specular_tables; u != nullptr; u = u->next) {
      if (u->stamp < t->stamp) ++ranks[n];
    }
  }
  n = 0;
  for (SpecularTable* t = c->specular_tables; t != nullptr; t = t->next) t->stamp = ranks[n++];
  c->specular_use_counter = n;
}

void stampTable(RenderContext* c, SpecularTable* table) {
  if (c->specular_use_counter == INT_MAX) renumberStamps(c);
  table->stamp = c->specular_use_counter++;
}

SpecularTable* newSpecularTable(RenderContext* c) {
  auto* table = static_cast<SpecularTable*>(glAlloc(sizeof(SpecularTable)));
  if (table == nullptr) glFatalError("could not allocate specular buffer");
  c->specular_table_count += 1;
  table->next = c->specular_tables;
  c->specular_tables = table;
  return table;
}

// x steps by 1/1024 in single precision, so entry i is pow(i / 1024, shininess).
void fillSpecularTable(SpecularTable* table, float shininess) {
  const float step = 1.0f / kSpecularTableSize;
  float x = 0;
  for (float& value : table->values) {
    value = toFloat(std::pow(static_cast<double>(x), static_cast<double>(shininess)));
    x = toFloat(x + step);
  }
}

}  // namespace

void glopMaterial(RenderContext* c, const OpWord* p) {
  const int face = p[1].asInt();
  const int param = p[2].asInt();
  if (face == GL_FRONT_AND_BACK) {
    setMaterial(&c->materials[0], param, p);
    setMaterial(&c->materials[1], param, p);
  } else {
    setMaterial(&c->materials[face == GL_FRONT ? 0 : 1], param, p);
  }
}

// Only remembered here: the colour op applies the current colour to what it names.
void glopColorMaterial(RenderContext* c, const OpWord* p) {
  c->color_material_face = p[1].asInt();
  c->color_material_param = p[2].asInt();
}

void glopLight(RenderContext* c, const OpWord* p) {
  const int light = p[1].asInt();
  // clang-format off
  RK_ASSERT(light >= GL_LIGHT0 && light < GL_LIGHT0+MAX_LIGHTS, "light");
  // clang-format on
  setLightParameter(c, &c->lights[light - GL_LIGHT0], p[2].asInt(), opVec4(p, 3));
}

void glopLightModel(RenderContext* c, const OpWord* p) {
  const int param = p[1].asInt();
  switch (param) {
    case GL_LIGHT_MODEL_LOCAL_VIEWER:
      c->local_viewer = truncToInt(p[2].asFloat());
      break;
    case GL_LIGHT_MODEL_TWO_SIDE:
      c->two_sided_lighting = truncToInt(p[2].asFloat());
      break;
    case GL_LIGHT_MODEL_AMBIENT:
      c->scene_ambient = opVec4(p, 2);
      break;
    default:
      glWarning("glopLightModel: illegal pname: 0x%x\n", static_cast<unsigned>(param));
  }
}

// The chain is walked from its head, so the light enabled last is shaded first.
void enableLight(RenderContext* c, int index, int on) {
  GLLight* light = &c->lights[index];
  if (on && !light->enabled) {
    light->enabled = 1;
    light->next = c->active_lights;
    light->prev = nullptr;
    if (light->next != nullptr) light->next->prev = light;
    c->active_lights = light;
  } else if (!on && light->enabled) {
    light->enabled = 0;
    if (light->prev != nullptr) {
      light->prev->next = light->next;
    } else {
      c->active_lights = light->next;
    }
    if (light->next != nullptr) light->next->prev = light->prev;
  }
}

// Only the front material shades; the back material is stored but never used here.
void shadeVertex(RenderContext* c, GLVertex* v) {
  const GLMaterial& m = c->materials[0];
  Vec3 rgb = {m.emission.x, m.emission.y, m.emission.z};
  addScaled(&rgb, 1, modulate(m.ambient, c->scene_ambient));
  for (const GLLight* light = c->active_lights; light != nullptr; light = light->next) {
    addLight(c, *light, m, *v, &rgb);
  }
  v->color = {clampUnit(rgb.x), clampUnit(rgb.y), clampUnit(rgb.z), clampUnit(m.diffuse.w)};
}

const SpecularTable* specularTable(RenderContext* c, int shininess_index, float shininess) {
  SpecularTable* oldest = nullptr;
  for (SpecularTable* t = c->specular_tables; t != nullptr; t = t->next) {
    if (t->shininess_index == shininess_index) {
      stampTable(c, t);
      return t;
    }
    if (oldest == nullptr || t->stamp < oldest->stamp) oldest = t;
  }
  SpecularTable* table = oldest;
  if (c->specular_table_count < kMaxSpecularTables) table = newSpecularTable(c);
  table->shininess_index = shininess_index;
  stampTable(c, table);
  fillSpecularTable(table, shininess);
  return table;
}

// Tables are only ever made by the specular lookup; this frees whatever chain there is.
void freeSpecularTables(RenderContext* c) {
  SpecularTable* table = c->specular_tables;
  while (table != nullptr) {
    SpecularTable* next = table->next;
    glFree(table);
    table = next;
  }
  c->specular_tables = nullptr;
  c->specular_table_count = 0;
}
