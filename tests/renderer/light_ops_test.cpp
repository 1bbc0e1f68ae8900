// The material, colour-material, light and light-model ops, the chain of enabled lights, and the
// assertions that end the process on bad faces, parameters, light numbers and cut-off angles.
#include <gtest/gtest.h>

#include <vector>

#include "renderer/gl.h"
#include "tests/renderer/render_support.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

using LightOpsTest = RenderTest;
using LightDeathTest = RenderTest;

void expectVec4(const Vec4& v, float x, float y, float z, float w) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_FLOAT_EQ(v.z, z);
  EXPECT_FLOAT_EQ(v.w, w);
}

void expectVec3(const Vec3& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_FLOAT_EQ(v.z, z);
}

TEST_F(LightOpsTest, MaterialFacesChooseFrontBackOrBoth) {
  const float red[4] = {1, 0, 0, 0.5f};
  const float blue[4] = {0, 0, 1, 0.25f};
  const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
  glMaterialfv(GL_FRONT, GL_EMISSION, red);
  glMaterialfv(GL_BACK, GL_SPECULAR, blue);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
  const GLMaterial& front = c->materials[0];
  const GLMaterial& back = c->materials[1];
  expectVec4(front.emission, 1, 0, 0, 0.5f);
  expectVec4(back.emission, 0, 0, 0, 1);  // untouched default
  expectVec4(front.specular, 0, 0, 0, 1);
  expectVec4(back.specular, 0, 0, 1, 0.25f);
  for (const GLMaterial* m : {&front, &back}) {
    expectVec4(m->ambient, 0.5f, 0.5f, 0.5f, 1);
    expectVec4(m->diffuse, 0.5f, 0.5f, 0.5f, 1);
  }
}

TEST_F(LightOpsTest, ShininessKeysItsTableByEighthsOfAUnitTruncated) {
  glMaterialf(GL_FRONT, GL_SHININESS, 64.1f);  // 512.8
  EXPECT_FLOAT_EQ(c->materials[0].shininess, 64.1f);
  EXPECT_EQ(c->materials[0].shininess_index, 512);
  EXPECT_EQ(c->materials[1].shininess_index, 0);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 128);
  EXPECT_EQ(c->materials[0].shininess_index, 1024);
  EXPECT_EQ(c->materials[1].shininess_index, 1024);
  glMaterialf(GL_BACK, GL_SHININESS, 0.1f);  // 0.8
  EXPECT_EQ(c->materials[1].shininess_index, 0);
}

TEST_F(LightOpsTest, ColorMaterialOnlyRemembersItsArguments) {
  const GLMaterial before = c->materials[0];
  glColorMaterial(GL_BACK, GL_EMISSION);
  EXPECT_EQ(c->color_material_face, GL_BACK);
  EXPECT_EQ(c->color_material_param, GL_EMISSION);
  EXPECT_EQ(c->color_material_on, 0);
  expectVec4(c->materials[0].emission, before.emission.x, before.emission.y, before.emission.z,
             before.emission.w);
}

TEST_F(LightOpsTest, PositionGoesThroughTheModelViewAndDirectionsAreNormalised) {
  glScalef(2, 2, 2);
  glTranslatef(1, 0, 0);
  const float directional[4] = {0, 3, 4, 0};
  glLightfv(GL_LIGHT0 + 1, GL_POSITION, directional);
  expectVec4(c->lights[1].position, 0, 6, 8, 0);  // w = 0: the translation does not apply
  expectVec3(c->lights[1].norm_position, 0, 0.6f, 0.8f);

  const float positional[4] = {1, 2, 3, 1};
  glLightfv(GL_LIGHT0 + 1, GL_POSITION, positional);
  expectVec4(c->lights[1].position, 4, 4, 6, 1);
  expectVec3(c->lights[1].norm_position, 0, 0.6f, 0.8f);  // kept from the directional one

  const float spot[3] = {0, -3, 4};
  glLightfv(GL_LIGHT0 + 1, GL_SPOT_DIRECTION, spot);  // not scaled by the model-view
  expectVec3(c->lights[1].spot_direction, 0, -3, 4);
  expectVec3(c->lights[1].norm_spot_direction, 0, -0.6f, 0.8f);
}

TEST_F(LightOpsTest, SpotExponentCutOffAndAttenuation) {
  glLightf(GL_LIGHT0 + 3, GL_SPOT_EXPONENT, 2.5f);
  glLightf(GL_LIGHT0 + 3, GL_CONSTANT_ATTENUATION, 0.5f);
  glLightf(GL_LIGHT0 + 3, GL_LINEAR_ATTENUATION, 0.25f);
  glLightf(GL_LIGHT0 + 3, GL_QUADRATIC_ATTENUATION, 0.125f);
  const GLLight& light = c->lights[3];
  EXPECT_EQ(light.spot_exponent, 2.5f);
  EXPECT_EQ(light.attenuation[0], 0.5f);
  EXPECT_EQ(light.attenuation[1], 0.25f);
  EXPECT_EQ(light.attenuation[2], 0.125f);

  glLightf(GL_LIGHT0 + 3, GL_SPOT_CUTOFF, 60);
  EXPECT_EQ(light.spot_cutoff, 60.0f);
  EXPECT_FLOAT_EQ(light.cos_spot_cutoff, 0.5f);
  glLightf(GL_LIGHT0 + 3, GL_SPOT_CUTOFF, 90);
  EXPECT_NEAR(light.cos_spot_cutoff, 0.0f, 1e-7);
  glLightf(GL_LIGHT0 + 3, GL_SPOT_CUTOFF, 0);
  EXPECT_EQ(light.cos_spot_cutoff, 1.0f);
  glLightf(GL_LIGHT0 + 3, GL_SPOT_CUTOFF, 180);  // no spot: the cosine is left as it was
  EXPECT_EQ(light.spot_cutoff, 180.0f);
  EXPECT_EQ(light.cos_spot_cutoff, 1.0f);
}

TEST_F(LightOpsTest, LightModelSettings) {
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 3);
  const float ambient[4] = {0.5f, 0.25f, 0.125f, 0.75f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  EXPECT_EQ(c->local_viewer, 1);
  EXPECT_EQ(c->two_sided_lighting, 3);
  expectVec4(c->scene_ambient, 0.5f, 0.25f, 0.125f, 0.75f);
  const float fraction = 0.9f;  // int(0.9) switches it off again
  glLightModelfv(GL_LIGHT_MODEL_TWO_SIDE, &fraction);
  EXPECT_EQ(c->two_sided_lighting, 0);
}

TEST_F(LightOpsTest, AnUnknownLightModelParameterChangesNothingAndPrintsNothing) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(c);
  const std::vector<unsigned char> before(bytes, bytes + sizeof(RenderContext));
  CaptureStdout();
  CaptureStderr();
  glLightModeli(GL_LIGHTING, 1);
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + sizeof(RenderContext)), before);
}

// The chain as the light numbers met walking from the head, checking the back links on the way.
std::vector<int> chain(const RenderContext* c) {
  std::vector<int> order;
  const GLLight* previous = nullptr;
  for (const GLLight* l = c->active_lights; l != nullptr; l = l->next) {
    EXPECT_EQ(l->prev, previous);
    EXPECT_EQ(l->enabled, 1);
    order.push_back(static_cast<int>(l - c->lights));
    previous = l;
  }
  return order;
}

TEST_F(LightOpsTest, TheLightEnabledLastHeadsTheChain) {
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT0 + 1);
  glEnable(GL_LIGHT0 + 2);
  EXPECT_EQ(chain(c), (std::vector<int>{2, 1, 0}));
  glDisable(GL_LIGHT0 + 1);
  EXPECT_EQ(chain(c), (std::vector<int>{2, 0}));
  EXPECT_EQ(c->lights[1].enabled, 0);
  glDisable(GL_LIGHT0 + 2);
  EXPECT_EQ(chain(c), (std::vector<int>{0}));
  glDisable(GL_LIGHT0);
  EXPECT_EQ(c->active_lights, nullptr);
}

TEST_F(LightOpsTest, SwitchingALightToItsStateAgainKeepsTheChain) {
  glEnable(GL_LIGHT0 + 4);
  glEnable(GL_LIGHT0 + 9);
  glEnable(GL_LIGHT0 + 4);  // already on: does not move to the head
  glDisable(GL_LIGHT0 + 7);
  EXPECT_EQ(chain(c), (std::vector<int>{9, 4}));
  glDisable(GL_LIGHT0 + 4);  // the tail
  glEnable(GL_LIGHT0 + 4);
  EXPECT_EQ(chain(c), (std::vector<int>{4, 9}));
}

TEST_F(LightDeathTest, CutOffsOutsideZeroToNinetyOtherThan180Assert) {
  const char* text = "a == 180 || (a>=0 && a<=90)";
  EXPECT_EXIT(glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 95), assertionExit(),
              AssertionReport(text, "light"));
  EXPECT_EXIT(glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, -1), assertionExit(),
              AssertionReport(text, "light"));
  EXPECT_EXIT(glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 179.5f), assertionExit(),
              AssertionReport(text, "light"));
}

TEST_F(LightDeathTest, LightNumbersBeyondTheSixteenAssert) {
  const char* text = "light >= GL_LIGHT0 && light < GL_LIGHT0+MAX_LIGHTS";
  const float v[4] = {1, 1, 1, 1};
  EXPECT_EXIT(glLightfv(GL_LIGHT0 + 16, GL_DIFFUSE, v), assertionExit(),
              AssertionReport(text, "light"));
  EXPECT_EXIT(glLightfv(GL_LIGHT0 - 1, GL_DIFFUSE, v), assertionExit(),
              AssertionReport(text, "light"));
}

TEST_F(LightDeathTest, UnknownLightAndMaterialParametersAssert) {
  const float v[4] = {1, 1, 1, 1};
  EXPECT_EXIT(glLightfv(GL_LIGHT0, GL_EMISSION, v), assertionExit(), AssertionReport("0", "light"));
  EXPECT_EXIT(glMaterialfv(GL_FRONT, GL_POSITION, v), assertionExit(),
              AssertionReport("0", "light"));
  EXPECT_EXIT(glMaterialfv(GL_FRONT_AND_BACK, GL_SPOT_CUTOFF, v), assertionExit(),
              AssertionReport("0", "light"));
}

TEST_F(LightDeathTest, ColourMaterialWithAParameterNoMaterialHasAssertsAtTheColour) {
  glColorMaterial(GL_FRONT, GL_POSITION);  // accepted here
  glEnable(GL_COLOR_MATERIAL);
  EXPECT_EXIT(glColor3f(1, 1, 1), assertionExit(), AssertionReport("0", "light"));
}

}  // namespace
