// Lights, materials and the light model: receives their ops and the enable switches of the
// lights; hands lit vertex colours on to primitive assembly.
// Not done yet: every op here, the chain of enabled lights, vertex shading and the specular
// tables; the handlers accept their op and change nothing.
#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/stages.h"

void glopMaterial(RenderContext*, const OpWord*) { glFixme("glMaterial: not done yet"); }

void glopColorMaterial(RenderContext*, const OpWord*) { glFixme("glColorMaterial: not done yet"); }

void glopLight(RenderContext*, const OpWord*) { glFixme("glLight: not done yet"); }

void glopLightModel(RenderContext*, const OpWord*) { glFixme("glLightModel: not done yet"); }

void enableLight(RenderContext*, int index, int on) {
  glFixme("enableLight %d %d: not done yet", index, on);
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
