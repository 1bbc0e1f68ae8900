// The specular power tables: their entries, sharing between shininess values with one index,
// the use stamps, replacement of the least recently used of eight, and stamps that would
// overflow.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "renderer/gl.h"
#include "renderer/light.h"
#include "tests/renderer/render_support.h"

namespace {

using LightSpecularTest = RenderTest;

TEST_F(LightSpecularTest, EntryIIsIOver1024ToTheShininess) {
  const SpecularTable* t = specularTable(c, 16, 2);
  EXPECT_EQ(t->shininess_index, 16);
  EXPECT_EQ(t->values[0], 0.0f);
  EXPECT_EQ(t->values[3], 9.0f / 1048576);
  EXPECT_EQ(t->values[512], 0.25f);
  EXPECT_EQ(t->values[768], 0.5625f);
  EXPECT_EQ(t->values[1024], 1.0f);
  EXPECT_EQ(c->specular_tables, t);
  EXPECT_EQ(c->specular_table_count, 1);

  const SpecularTable* flat = specularTable(c, 0, 0);  // pow(0, 0) is 1 as well
  EXPECT_EQ(flat->values[0], 1.0f);
  EXPECT_EQ(flat->values[700], 1.0f);
  EXPECT_EQ(c->specular_tables, flat);
  EXPECT_EQ(flat->next, t);
}

TEST_F(LightSpecularTest, ShininessesWithOneIndexShareTheTableOfTheFirst) {
  glMaterialf(GL_FRONT, GL_SHININESS, 64.0f);
  const SpecularTable* first = specularTable(c, c->materials[0].shininess_index, 64.0f);
  glMaterialf(GL_FRONT, GL_SHININESS, 64.1f);
  ASSERT_EQ(c->materials[0].shininess_index, 512);
  const SpecularTable* second = specularTable(c, c->materials[0].shininess_index, 64.1f);
  EXPECT_EQ(second, first);
  EXPECT_EQ(c->specular_table_count, 1);
  EXPECT_EQ(second->values[512], 5.421010862427522e-20f);  // 0.5 ^ 64 = 2 ^ -64, not 0.5 ^ 64.1
}

class LightSpecularFullTest : public LightSpecularTest {
 protected:
  // Tables for indices 1..8 with shininess = index, stamped 0..7.
  void fill() {
    for (int i = 1; i <= 8; ++i) tables[i] = specularTable(c, i, static_cast<float>(i));
    ASSERT_EQ(c->specular_table_count, 8);
  }

  const SpecularTable* tables[9] = {};
};

TEST_F(LightSpecularFullTest, ANinthIndexTakesOverTheLeastRecentlyUsedTable) {
  fill();
  specularTable(c, 1, 1);  // 2 is now the least recently used
  const SpecularTable* ninth = specularTable(c, 9, 1);
  EXPECT_EQ(ninth, tables[2]);
  EXPECT_EQ(ninth->shininess_index, 9);
  EXPECT_EQ(ninth->values[512], 0.5f);  // refilled: 0.5 ^ 1, where it held 0.5 ^ 2
  EXPECT_EQ(ninth->stamp, 9);
  EXPECT_EQ(c->specular_table_count, 8);
  EXPECT_EQ(c->specular_tables, tables[8]);  // reused in place, not moved to the head

  EXPECT_EQ(specularTable(c, 1, 1), tables[1]);  // still there
  EXPECT_EQ(specularTable(c, 2, 2), tables[3]);  // 3 was next in age
  EXPECT_EQ(tables[3]->values[512], 0.25f);
}

TEST_F(LightSpecularFullTest, StampsAreRenumberedBeforeTheCounterOverflows) {
  fill();
  // Ages as if the counter had run for long: table 5 oldest, then 2, then the rest in order.
  for (int i = 1; i <= 8; ++i) const_cast<SpecularTable*>(tables[i])->stamp = INT_MAX - 10 + i;
  const_cast<SpecularTable*>(tables[5])->stamp = 3;
  const_cast<SpecularTable*>(tables[2])->stamp = 7;
  c->specular_use_counter = INT_MAX;

  specularTable(c, 8, 8);
  EXPECT_EQ(tables[5]->stamp, 0);
  EXPECT_EQ(tables[2]->stamp, 1);
  EXPECT_EQ(tables[1]->stamp, 2);
  EXPECT_EQ(tables[7]->stamp, 6);
  EXPECT_EQ(tables[8]->stamp, 8);  // renumbered to 7, then stamped with the next count
  EXPECT_EQ(c->specular_use_counter, 9);
  EXPECT_EQ(specularTable(c, 20, 1), tables[5]);
  EXPECT_EQ(specularTable(c, 21, 1), tables[2]);
}

TEST_F(LightSpecularTest, ShadingLooksUpTheFrontMaterialsTable) {
  glMaterialf(GL_FRONT, GL_SHININESS, 32);
  glMaterialf(GL_BACK, GL_SHININESS, 100);
  glEnable(GL_LIGHT0);
  GLVertex v{};
  v.normal = {0, 0, 1};
  shadeVertex(c, &v);
  ASSERT_EQ(c->specular_table_count, 1);
  EXPECT_EQ(c->specular_tables->shininess_index, 256);
  EXPECT_EQ(c->specular_tables->values[512], 1.0f / 4294967296.0f);  // 0.5 ^ 32
}

}  // namespace
