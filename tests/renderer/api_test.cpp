// The entry points' packing: each call compiled into a list, its record read back word by word
// (expected values worked out by hand from the packing rules), and the enumeration checks the
// entry points make before issuing anything.
#include <gtest/gtest.h>

#include "renderer/gl.h"
#include "renderer/ops.h"
#include "tests/renderer/render_support.h"

namespace {

// Expects `w` to hold op `code` followed by `ints`, and the end-of-list op right after.
void expectInts(const OpWord* w, int code, std::vector<int> ints) {
  EXPECT_EQ(w[0].asInt(), code);
  for (size_t k = 0; k < ints.size(); ++k) EXPECT_EQ(w[1 + k].asInt(), ints[k]) << "word " << 1 + k;
  EXPECT_EQ(w[1 + ints.size()].asInt(), kOpEndList);
}

// Expects floats starting at word `first`, compared bit for bit.
void expectFloats(const OpWord* w, size_t first, std::vector<float> floats) {
  for (size_t k = 0; k < floats.size(); ++k) {
    EXPECT_EQ(static_cast<uint32_t>(w[first + k].bits), floatBits(floats[k]))
        << "word " << first + k;
  }
}

TEST_F(RenderTest, ColourPacksRasterizerIntegers) {
  const OpWord* w = compile(1, [] { glColor3f(1, 1, 1); });
  EXPECT_EQ(w[0].asInt(), kOpColor);
  expectFloats(w, 1, {1.0f, 1.0f, 1.0f, 1.0f});
  EXPECT_EQ(w[5].asInt(), 64512);  // 1 x 63488 + 1024
  EXPECT_EQ(w[6].asInt(), 65024);  // 1 x 64512 + 512
  EXPECT_EQ(w[7].asInt(), 64512);
  EXPECT_EQ(w[8].asInt(), kOpEndList);

  w = compile(2, [] { glColor4f(0, 0, 0, 0); });
  expectFloats(w, 1, {0.0f, 0.0f, 0.0f, 0.0f});
  EXPECT_EQ(w[5].asInt(), 1024);
  EXPECT_EQ(w[6].asInt(), 512);
  EXPECT_EQ(w[7].asInt(), 1024);
}

TEST_F(RenderTest, ColourIntegersAreUnclampedAndTruncatedTowardZero) {
  // 0.5 x 63488 + 1024 = 32768; 0.25 x 64512 + 512 = 16640; 2 x 63488 + 1024 = 128000.
  const OpWord* w = compile(1, [] { glColor4f(0.5f, 0.25f, 2.0f, 0.5f); });
  EXPECT_EQ(w[5].asInt(), 32768);
  EXPECT_EQ(w[6].asInt(), 16640);
  EXPECT_EQ(w[7].asInt(), 128000);
  // -0.02 x 63488 + 1024 = -245.76, truncated to -245 (not floored to -246);
  // -1 x 64512 + 512 = -64000.
  w = compile(2, [] { glColor3f(-0.02f, -1.0f, 0.0f); });
  EXPECT_EQ(w[5].asInt(), -245);
  EXPECT_EQ(w[6].asInt(), -64000);
  EXPECT_EQ(w[7].asInt(), 1024);
}

TEST_F(RenderTest, FrontFacePacksOneForClockwise) {
  expectInts(compile(1, [] { glFrontFace(GL_CW); }), kOpFrontFace, {1});
  expectInts(compile(2, [] { glFrontFace(GL_CCW); }), kOpFrontFace, {0});
}

TEST_F(RenderTest, VerticesAndTextureCoordinatesFillInZeroAndOne) {
  const OpWord* w = compile(1, [] { glVertex2f(3, 4); });
  EXPECT_EQ(w[0].asInt(), kOpVertex);
  expectFloats(w, 1, {3, 4, 0, 1});
  EXPECT_EQ(w[5].asInt(), kOpEndList);

  const float v[3] = {5, 6, 7};
  expectFloats(compile(2, [&] { glVertex3fv(v); }), 1, {5, 6, 7, 1});
  expectFloats(compile(3, [] { glVertex4f(1, 2, 3, 4); }), 1, {1, 2, 3, 4});

  w = compile(4, [] { glTexCoord2f(0.5f, 0.25f); });
  EXPECT_EQ(w[0].asInt(), kOpTexCoord);
  expectFloats(w, 1, {0.5f, 0.25f, 0, 1});
  const float st[2] = {0.75f, 1.5f};
  expectFloats(compile(5, [&] { glTexCoord2fv(st); }), 1, {0.75f, 1.5f, 0, 1});

  w = compile(6, [] { glNormal3f(0, -1, 0.5f); });
  EXPECT_EQ(w[0].asInt(), kOpNormal);
  expectFloats(w, 1, {0, -1, 0.5f});
  EXPECT_EQ(w[4].asInt(), kOpEndList);
}

TEST_F(RenderTest, StateEntryPointsPackTheirArgumentsInOrder) {
  expectInts(compile(1, [] { glEnable(GL_BLEND); }), kOpEnableDisable, {0x0BE2, 1});
  expectInts(compile(2, [] { glDisable(GL_TEXTURE_2D); }), kOpEnableDisable, {0x0DE1, 0});
  expectInts(compile(3, [] { glShadeModel(GL_FLAT); }), kOpShadeModel, {0x1D00});
  expectInts(compile(4, [] { glCullFace(GL_FRONT); }), kOpCullFace, {0x404});
  expectInts(compile(5, [] { glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); }), kOpPolygonMode,
             {0x408, 0x1B01});
  expectInts(compile(6, [] { glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST); }), kOpHint,
             {0x0C50, 0x1102});
  expectInts(compile(7, [] { glViewport(-3, 4, 640, 480); }), kOpViewport, {-3, 4, 640, 480});
  expectInts(compile(8, [] { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }), kOpClear,
             {0x4100});
  expectInts(compile(9, [] { glBegin(GL_TRIANGLES); }), kOpBegin, {4});
  expectInts(compile(10, [] { glEdgeFlag(0); }), kOpEdgeFlag, {0});
  expectInts(compile(11, [] { glCallList(9); }), kOpCallList, {9});
  expectInts(compile(12, [] { glEnd(); }), kOpEnd, {});
}

TEST_F(RenderTest, DoubleArgumentsAreCarriedAsFloats) {
  const OpWord* w = compile(1, [] { glFrustum(-0.1, 0.1, -0.2, 0.3, 1.0, 1000.0); });
  EXPECT_EQ(w[0].asInt(), kOpFrustum);
  expectFloats(w, 1, {-0.1f, 0.1f, -0.2f, 0.3f, 1.0f, 1000.0f});
  EXPECT_EQ(w[7].asInt(), kOpEndList);

  w = compile(2, [] { glClearDepth(0.1); });
  EXPECT_EQ(static_cast<uint32_t>(w[1].bits), 0x3DCCCCCDu);  // 0.1 rounded to single precision
  EXPECT_EQ(w[2].asInt(), kOpEndList);

  expectFloats(compile(3, [] { glClearColor(1, 0.5f, 0, 0.25f); }), 1, {1, 0.5f, 0, 0.25f});
  expectFloats(compile(4, [] { glPolygonOffset(1.5f, -2); }), 1, {1.5f, -2});
}

TEST_F(RenderTest, MatrixEntryPointsCopyTheCallersOrder) {
  float m[16];
  for (int k = 0; k < 16; ++k) m[k] = static_cast<float>(k);
  const OpWord* w = compile(1, [&] { glLoadMatrixf(m); });
  EXPECT_EQ(w[0].asInt(), kOpLoadMatrix);
  expectFloats(w, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  EXPECT_EQ(w[17].asInt(), kOpEndList);
  EXPECT_EQ(compile(2, [&] { glMultMatrixf(m); })[0].asInt(), kOpMultMatrix);

  w = compile(3, [] { glRotatef(90, 1, 2, 3); });
  EXPECT_EQ(w[0].asInt(), kOpRotate);
  expectFloats(w, 1, {90, 1, 2, 3});
  w = compile(4, [] {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glPopMatrix();
    glLoadIdentity();
    glScalef(2, 3, 4);
  });
  const int expected[] = {kOpMatrixMode, 0x1701,          kOpPushMatrix,
                          kOpPopMatrix,  kOpLoadIdentity, kOpScale};
  for (size_t k = 0; k < std::size(expected); ++k) EXPECT_EQ(w[k].asInt(), expected[k]) << k;
  expectFloats(w, 6, {2, 3, 4});
  EXPECT_EQ(w[9].asInt(), kOpEndList);
}

TEST_F(RenderTest, MaterialPacksFourValuesButShininessOnlyOne) {
  const float colour[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  const OpWord* w = compile(1, [&] { glMaterialfv(GL_FRONT, GL_DIFFUSE, colour); });
  EXPECT_EQ(w[0].asInt(), kOpMaterial);
  EXPECT_EQ(w[1].asInt(), 0x404);
  EXPECT_EQ(w[2].asInt(), 0x1201);
  expectFloats(w, 3, {0.1f, 0.2f, 0.3f, 0.4f});
  EXPECT_EQ(w[7].asInt(), kOpEndList);

  // A single float is all a shininess caller has to give: nothing past it is read.
  const float shininess = 64.0f;
  w = compile(2, [&] { glMaterialfv(GL_BACK, GL_SHININESS, &shininess); });
  expectFloats(w, 3, {64, 0, 0, 0});
  w = compile(3, [] { glMaterialf(GL_FRONT_AND_BACK, GL_EMISSION, 0.5f); });
  EXPECT_EQ(w[1].asInt(), 0x408);
  expectFloats(w, 3, {0.5f, 0, 0, 0});
}

TEST_F(RenderTest, LightAndLightModelPackFourValueSlots) {
  const float position[4] = {1, 2, 3, 0};
  const OpWord* w = compile(1, [&] { glLightfv(GL_LIGHT0 + 2, GL_POSITION, position); });
  EXPECT_EQ(w[0].asInt(), kOpLight);
  EXPECT_EQ(w[1].asInt(), 0x4002);
  EXPECT_EQ(w[2].asInt(), 0x1203);
  expectFloats(w, 3, {1, 2, 3, 0});
  EXPECT_EQ(w[7].asInt(), kOpEndList);

  const float exponent = 8;
  expectFloats(compile(3, [&] { glLightfv(GL_LIGHT0, GL_SPOT_EXPONENT, &exponent); }), 3,
               {8, 0, 0, 0});

  w = compile(5, [] { glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1); });
  EXPECT_EQ(w[0].asInt(), kOpLightModel);
  EXPECT_EQ(w[1].asInt(), 0x0B52);
  expectFloats(w, 2, {1, 0, 0, 0});
  EXPECT_EQ(w[6].asInt(), kOpEndList);
}

TEST_F(RenderTest, TextureEntryPointsPackIntsAndZeroFloatSlots) {
  const OpWord* w = compile(1, [] { glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL); });
  EXPECT_EQ(w[0].asInt(), kOpTexEnv);
  EXPECT_EQ(w[1].asInt(), 0x2300);
  EXPECT_EQ(w[2].asInt(), 0x2200);
  EXPECT_EQ(w[3].asInt(), 0x2101);
  expectFloats(w, 4, {0, 0, 0, 0});
  EXPECT_EQ(w[8].asInt(), kOpEndList);
  EXPECT_EQ(
      compile(2, [] { glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT); })[0].asInt(),
      kOpTexParameter);
  expectInts(compile(3, [] { glPixelStorei(GL_UNPACK_ALIGNMENT, 1); }), kOpPixelStore, {0x0CF5, 1});
  expectInts(compile(4, [] { glBindTexture(GL_TEXTURE_2D, 7); }), kOpBindTexture, {0x0DE1, 7});
}

TEST_F(RenderTest, PointerWordsKeepTheWholeAddress) {
  static const unsigned char pixels[12] = {};
  const OpWord* w = compile(
      1, [] { glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels); });
  EXPECT_EQ(w[0].asInt(), kOpTexImage2D);
  const int ints[8] = {0x0DE1, 0, 3, 2, 2, 0, 0x1907, 0x1401};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(w[1 + k].asInt(), ints[k]);
  EXPECT_EQ(w[9].asPointer(), pixels);
  EXPECT_EQ(w[10].asInt(), kOpEndList);

  static const float array[6] = {};
  w = compile(2, [] {
    glVertexPointer(3, GL_FLOAT, 1, array);
    glNormalPointer(GL_FLOAT, 2, array + 1);
  });
  EXPECT_EQ(w[0].asInt(), kOpVertexPointer);
  EXPECT_EQ(w[1].asInt(), 3);
  EXPECT_EQ(w[2].asInt(), 0x1406);
  EXPECT_EQ(w[3].asInt(), 1);
  EXPECT_EQ(w[4].asPointer(), array);
  EXPECT_EQ(w[5].asInt(), kOpNormalPointer);
  EXPECT_EQ(w[6].asInt(), 0x1406);
  EXPECT_EQ(w[7].asInt(), 2);
  EXPECT_EQ(w[8].asPointer(), array + 1);
  EXPECT_EQ(w[9].asInt(), kOpEndList);
}

TEST_F(RenderDeathTest, EntryPointsRejectWrongEnumerationsBeforeIssuing) {
  EXPECT_EXIT(glShadeModel(GL_FILL), assertionExit(),
              AssertionReport("mode == GL_FLAT || mode == GL_SMOOTH", "api"));
  EXPECT_EXIT(
      glCullFace(GL_CW), assertionExit(),
      AssertionReport("mode == GL_BACK || mode == GL_FRONT || mode == GL_FRONT_AND_BACK", "api"));
  EXPECT_EXIT(glFrontFace(GL_FRONT), assertionExit(),
              AssertionReport("mode == GL_CCW || mode == GL_CW", "api"));
  EXPECT_EXIT(
      glPolygonMode(GL_CCW, GL_LINE), assertionExit(),
      AssertionReport("face == GL_BACK || face == GL_FRONT || face == GL_FRONT_AND_BACK", "api"));
  EXPECT_EXIT(glPolygonMode(GL_FRONT, GL_FRONT), assertionExit(),
              AssertionReport("mode == GL_POINT || mode == GL_LINE || mode==GL_FILL", "api"));
  const float v[4] = {};
  EXPECT_EXIT(
      glMaterialfv(GL_CW, GL_AMBIENT, v), assertionExit(),
      AssertionReport("mode == GL_FRONT || mode == GL_BACK || mode==GL_FRONT_AND_BACK", "api"));
  EXPECT_EXIT(glVertexPointer(3, GL_UNSIGNED_BYTE, 0, v), assertionExit(),
              AssertionReport("type == GL_FLOAT", "arrays"));
  EXPECT_EXIT(glNormalPointer(GL_RGB, 0, v), assertionExit(),
              AssertionReport("type == GL_FLOAT", "arrays"));
}

}  // namespace
