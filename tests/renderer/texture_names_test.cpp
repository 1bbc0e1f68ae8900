// Texture names and objects: generating names, binding (which creates), deleting (which keeps
// a valid texture bound and frees the image), and the hash chains that hold them.
#include <gtest/gtest.h>

#include <cstdint>

#include "renderer/gl.h"
#include "renderer/stages.h"
#include "tests/renderer/render_support.h"

namespace {

TEST_F(RenderTest, GeneratedNamesFollowTheLargestNameInUse) {
  unsigned a = 0, b = 0;
  glGenTextures(1, &a);
  glGenTextures(1, &b);
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 1u);  // nothing was reserved
  glBindTexture(GL_TEXTURE_2D, static_cast<int>(a));
  glGenTextures(1, &b);
  EXPECT_EQ(b, 2u);

  glBindTexture(GL_TEXTURE_2D, 10);
  unsigned names[3] = {};
  glGenTextures(3, names);
  EXPECT_EQ(names[0], 11u);
  EXPECT_EQ(names[1], 12u);
  EXPECT_EQ(names[2], 13u);
}

TEST_F(RenderTest, BindingCreatesOnceAndNamesShareBucketsByModulo) {
  glBindTexture(GL_TEXTURE_2D, 1);
  Texture* one = c->bound_texture;
  glBindTexture(GL_TEXTURE_2D, 257);
  Texture* other = c->bound_texture;
  EXPECT_NE(one, other);
  EXPECT_EQ(c->texture_buckets[1], other);  // the newest heads the chain of bucket 1
  EXPECT_EQ(other->next, one);
  EXPECT_EQ(one->prev, other);
  glBindTexture(GL_TEXTURE_2D, 1);
  EXPECT_EQ(c->bound_texture, one);
}

TEST_F(RenderTest, DeletingUnlinksFromTheMiddleOfAChainAndSkipsUnknownNames) {
  for (int name : {1, 257, 513}) glBindTexture(GL_TEXTURE_2D, name);
  const unsigned doomed[3] = {257, 99, 257};
  glDeleteTextures(3, doomed);
  EXPECT_EQ(findTexture(c, 257), nullptr);
  ASSERT_NE(findTexture(c, 1), nullptr);
  ASSERT_NE(findTexture(c, 513), nullptr);
  EXPECT_EQ(findTexture(c, 513)->next, findTexture(c, 1));
  EXPECT_EQ(findTexture(c, 1)->prev, findTexture(c, 513));
}

TEST_F(RenderTest, DeletingTheBoundTextureBindsTextureZero) {
  Texture* zero = c->bound_texture;
  glBindTexture(GL_TEXTURE_2D, 5);
  const unsigned five = 5;
  glNewList(1, GL_COMPILE);  // even while ops are only being recorded
  glDeleteTextures(1, &five);
  glEndList();
  EXPECT_EQ(c->bound_texture, zero);
  EXPECT_EQ(findTexture(c, 5), nullptr);
}

TEST_F(RenderTest, DeletingBoundTextureZeroLeavesAFreshTextureZeroBound) {
  const unsigned zero = 0;
  glDeleteTextures(1, &zero);
  ASSERT_NE(c->bound_texture, nullptr);
  EXPECT_EQ(c->bound_texture->name, 0);
  EXPECT_EQ(findTexture(c, 0), c->bound_texture);
}

TEST_F(RenderTest, DeletingTheLargestNameLetsItBeGeneratedAgain) {
  glBindTexture(GL_TEXTURE_2D, 5);
  const unsigned five = 5;
  glDeleteTextures(1, &five);
  unsigned name = 0;
  glGenTextures(1, &name);
  EXPECT_EQ(name, 1u);
}

// The deleted texture's texels were the ZBuffer's texture: it must not keep pointing at them.
TEST_F(RenderTest, DeletingATextureWithAnImageFreesItAndUnsetsItsTexels) {
  const uint8_t rgb[3] = {255, 255, 255};
  glBindTexture(GL_TEXTURE_2D, 2);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  zbSetTexture(zb, c->bound_texture->images[0].pixels);
  const unsigned two = 2;
  glDeleteTextures(1, &two);
  EXPECT_EQ(zb->texture, nullptr);
  EXPECT_EQ(c->bound_texture, findTexture(c, 0));
}

TEST_F(RenderTest, DeletingBoundTextureZeroWithAnImageLeavesAnEmptyTextureZero) {
  const uint8_t rgb[3] = {255, 0, 0};
  glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  const unsigned zero = 0;
  glDeleteTextures(1, &zero);
  ASSERT_NE(c->bound_texture, nullptr);
  EXPECT_EQ(c->bound_texture->name, 0);
  EXPECT_EQ(c->bound_texture->images[0].pixels, nullptr);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);  // still usable
  ASSERT_NE(c->bound_texture->images[0].pixels, nullptr);
  EXPECT_EQ(c->bound_texture->images[0].pixels[0], 0xF800);
}

TEST_F(RenderDeathTest, BindingNeedsTheTwoDimensionalTargetAndAName) {
  EXPECT_EXIT(glBindTexture(GL_TEXTURE_2D, -1), assertionExit(),
              AssertionReport("target == GL_TEXTURE_2D && texture >= 0", "texture"));
  EXPECT_EXIT(glBindTexture(GL_TEXTURE, 1), assertionExit(),
              AssertionReport("target == GL_TEXTURE_2D && texture >= 0", "texture"));
}

}  // namespace
