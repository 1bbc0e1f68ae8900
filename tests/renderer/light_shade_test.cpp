// Vertex shading, called directly on vertices whose eye coordinates and normal are set: the
// emission and scene-ambient base, directional and attenuated positional lights, spot cones,
// two-sided lighting, the local viewer, colour material and clamping. Every expected colour is
// worked out by hand from the lighting rules; specular terms are (i / 1024) ^ shininess with
// i = int(cosine x 1024).
#include <gtest/gtest.h>

#include <cmath>

#include "renderer/gl.h"
#include "renderer/light.h"
#include "tests/renderer/render_support.h"

namespace {

class LightShadeTest : public RenderTest {
 protected:
  // Shades a vertex at eye position `eye` with eye-space normal `normal`.
  Vec4 shade(Vec4 eye, Vec3 normal) {
    GLVertex v{};
    v.eye_coord = eye;
    v.normal = normal;
    shadeVertex(c, &v);
    return v.color;
  }

  static void light(int i, int pname, float r, float g, float b, float a) {
    const float v[4] = {r, g, b, a};
    glLightfv(GL_LIGHT0 + i, pname, v);
  }

  static void material(int pname, float r, float g, float b, float a) {
    const float v[4] = {r, g, b, a};
    glMaterialfv(GL_FRONT, pname, v);
  }
};

void expectColor(const Vec4& color, double r, double g, double b, double a) {
  EXPECT_NEAR(color.x, r, 2e-6);
  EXPECT_NEAR(color.y, g, 2e-6);
  EXPECT_NEAR(color.z, b, 2e-6);
  EXPECT_NEAR(color.w, a, 2e-6);
}

constexpr Vec4 kOrigin = {0, 0, 0, 1};
constexpr Vec3 kFacingZ = {0, 0, 1};

TEST_F(LightShadeTest, WithoutLightsTheColourIsEmissionPlusSceneAmbientClamped) {
  material(GL_EMISSION, 2, -1, 0.5f, 1);
  material(GL_AMBIENT, 0.5f, 0.5f, 0.25f, 1);
  material(GL_DIFFUSE, 0, 0, 0, 1.5f);  // alpha comes from the diffuse colour
  expectColor(shade(kOrigin, kFacingZ), 1, 0, 0.5 + 0.25 * 0.2, 1);
}

// Light 0 shines straight down +z and ignores its attenuation factors; light 1 sits 5 units away
// at (0, 3, 4) after a translation and is attenuated by 1 / (2 + 5 x (0.4 + 5 x 0.04)) = 0.2.
TEST_F(LightShadeTest, ADirectionalAndAnAttenuatedPositionalLightAddUp) {
  const float scene[4] = {0.5f, 0.5f, 0.5f, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, scene);
  material(GL_AMBIENT, 0.25f, 0.25f, 0.5f, 1);
  material(GL_DIFFUSE, 0.5f, 0.5f, 0.25f, 0.75f);
  material(GL_SPECULAR, 0.5f, 0.5f, 0.5f, 1);
  glMaterialf(GL_FRONT, GL_SHININESS, 16);

  light(0, GL_AMBIENT, 0.25f, 0.25f, 0.25f, 1);
  glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 2);
  glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 3);
  glTranslatef(0, 1, 0);
  light(1, GL_POSITION, 0, 2, 4, 1);
  light(1, GL_DIFFUSE, 1, 0.5f, 0, 1);
  glLightf(GL_LIGHT0 + 1, GL_CONSTANT_ATTENUATION, 2);
  glLightf(GL_LIGHT0 + 1, GL_LINEAR_ATTENUATION, 0.4f);
  glLightf(GL_LIGHT0 + 1, GL_QUADRATIC_ATTENUATION, 0.04f);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT0 + 1);

  // Normal (0, 0.6, 0.8). Light 0: diffuse cosine 0.8; half vector (0, 0, 2), cosine 1.6 / 2
  // = 0.8, entry 819. Light 1: direction (0, 0.6, 0.8), diffuse cosine 1; half vector
  // (0, 0.6, 1.8), cosine 1.8 / sqrt(3.6) = 0.94868, entry 971.
  const double f0 = std::pow(819.0 / 1024, 16);
  const double f1 = std::pow(971.0 / 1024, 16);
  const double base[3] = {0.125, 0.125, 0.25};
  const double light0[3] = {0.0625 + 0.4, 0.0625 + 0.4, 0.125 + 0.2};
  const double light1[3] = {0.5, 0.25, 0};
  double expected[3];
  for (int k = 0; k < 3; ++k) {
    expected[k] = base[k] + light0[k] + 0.5 * f0 + 0.2 * (light1[k] + 0.5 * f1);
  }
  expectColor(shade(kOrigin, {0, 0.6f, 0.8f}), expected[0], expected[1], expected[2], 0.75);
}

TEST_F(LightShadeTest, ANormalFacingAwayGetsEmissionAndAmbientOnly) {
  material(GL_EMISSION, 0.125f, 0, 0, 1);
  material(GL_SPECULAR, 1, 1, 1, 1);
  light(0, GL_AMBIENT, 0.5f, 0.5f, 0.5f, 1);
  glEnable(GL_LIGHT0);
  // 0.125 + 0.2 x 0.2 + 0.5 x 0.2 in red, 0.04 + 0.1 in the others; no diffuse, no specular.
  expectColor(shade(kOrigin, {0, 0, -1}), 0.265, 0.14, 0.14, 1);
}

TEST_F(LightShadeTest, TwoSidedLightingLightsTheBackAsTheFront) {
  material(GL_SPECULAR, 0.25f, 0.25f, 0.25f, 1);
  light(0, GL_AMBIENT, 0.5f, 0.5f, 0.5f, 1);
  light(0, GL_DIFFUSE, 0.5f, 0.5f, 0.5f, 1);
  glEnable(GL_LIGHT0);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  // Cosine -1 negated: diffuse 0.5 x 0.8; half vector (0, 0, 2) against (0, 0, -1) gives -2,
  // negated and divided by 2: entry 1024, pow(1, 0) = 1, specular 0.25.
  expectColor(shade(kOrigin, {0, 0, -1}), 0.04 + 0.1 + 0.4 + 0.25, 0.79, 0.79, 1);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  expectColor(shade(kOrigin, {0, 0, -1}), 0.14, 0.14, 0.14, 1);
}

// A spot at (0, 0, 5) pointing down -z; the vertex at (5, 0, 0) sees it 45 degrees off axis.
class LightSpotTest : public LightShadeTest {
 protected:
  void SetUp() override {
    LightShadeTest::SetUp();
    light(0, GL_POSITION, 0, 0, 5, 1);
    light(0, GL_AMBIENT, 0.5f, 0.5f, 0.5f, 1);
    glEnable(GL_LIGHT0);
  }

  Vec4 shadeOffAxis() { return shade({5, 0, 0, 1}, kFacingZ); }
};

TEST_F(LightSpotTest, OutsideTheConeTheLightAddsNotEvenItsAmbient) {
  glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 30);
  expectColor(shadeOffAxis(), 0.04, 0.04, 0.04, 1);
}

TEST_F(LightSpotTest, InsideTheConeTheExponentAttenuates) {
  const double diffuse = 0.8 * std::sqrt(0.5);  // cosine 0.7071 x 1 x 0.8
  glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 60);
  expectColor(shadeOffAxis(), 0.04 + 0.1 + diffuse, 0.14 + diffuse, 0.14 + diffuse, 1);
  glLightf(GL_LIGHT0, GL_SPOT_EXPONENT, 2);  // 0.7071 ^ 2 = 0.5
  const double half = 0.04 + 0.5 * (0.1 + diffuse);
  expectColor(shadeOffAxis(), half, half, half, 1);
}

TEST_F(LightSpotTest, ASurfaceFacingAwayKeepsTheAmbientOfASpotThatMissesIt) {
  glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 30);
  // The cone is only tested once the surface faces the light.
  expectColor(shade({5, 0, 0, 1}, {0, 0, -1}), 0.14, 0.14, 0.14, 1);
}

// Only specular light: the vertex at (3, 0, -4) looks back at the eye along (-0.6, 0, 0.8).
TEST_F(LightShadeTest, ALocalViewerAimsTheHalfVectorAtTheEye) {
  material(GL_AMBIENT, 0, 0, 0, 1);
  material(GL_DIFFUSE, 0, 0, 0, 1);
  material(GL_SPECULAR, 1, 0.5f, 0.25f, 1);
  glMaterialf(GL_FRONT, GL_SHININESS, 2);
  glEnable(GL_LIGHT0);
  const Vec4 eye = {3, 0, -4, 1};
  // Infinite viewer: half vector (0, 0, 2), cosine 1, entry 1024.
  expectColor(shade(eye, kFacingZ), 1, 0.5, 0.25, 1);
  // Local viewer: (0, 0, 1) - (0.6, 0, -0.8) = (-0.6, 0, 1.8), cosine 1.8 / sqrt(3.6), entry 971.
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
  const double f = (971.0 / 1024) * (971.0 / 1024);
  expectColor(shade(eye, kFacingZ), f, 0.5 * f, 0.25 * f, 1);
}

TEST_F(LightShadeTest, ColourMaterialFeedsTheCurrentColourIntoTheMaterial) {
  glEnable(GL_COLOR_MATERIAL);  // front and back, ambient and diffuse
  glEnable(GL_LIGHT0);
  glColor4f(0.5f, 0.25f, 1, 0.5f);
  for (const GLMaterial& m : c->materials) {
    EXPECT_EQ(m.ambient.y, 0.25f);
    EXPECT_EQ(m.diffuse.w, 0.5f);
  }
  // Base 0.2 x colour; light 0 diffuse 1 x colour; blue 0.2 + 1 clamps to 1.
  expectColor(shade(kOrigin, kFacingZ), 0.6, 0.3, 1, 0.5);

  glColorMaterial(GL_BACK, GL_EMISSION);
  glColor3f(1, 0, 0);
  EXPECT_EQ(c->materials[1].emission.x, 1.0f);
  EXPECT_EQ(c->materials[0].emission.x, 0.0f);
  EXPECT_EQ(c->materials[0].diffuse.x, 0.5f);
  glDisable(GL_COLOR_MATERIAL);
  glColor3f(0, 1, 0);
  EXPECT_EQ(c->materials[1].emission.x, 1.0f);
}

TEST_F(LightShadeTest, ALightOnTheVertexItselfGivesItsAmbientOnly) {
  light(0, GL_POSITION, 1, 2, 3, 1);
  light(0, GL_AMBIENT, 0.5f, 0.5f, 0.5f, 1);
  glEnable(GL_LIGHT0);
  // Distance 0: the direction stays zero, so the cosine is 0; attenuation 1 / 1.
  expectColor(shade({1, 2, 3, 1}, kFacingZ), 0.14, 0.14, 0.14, 1);
}

}  // namespace
