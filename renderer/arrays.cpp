// Vertex arrays: receives the client-state, pointer and array-element ops; hands each element
// on as colour, normal, texture-coordinate and vertex ops.
// Not done yet: every handler here accepts its op and changes nothing.
#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/stages.h"

void glopArrayElement(RenderContext*, const OpWord*) { glFixme("glArrayElement: not done yet"); }

void glopEnableClientState(RenderContext*, const OpWord*) {
  glFixme("glEnableClientState: not done yet");
}

void glopDisableClientState(RenderContext*, const OpWord*) {
  glFixme("glDisableClientState: not done yet");
}

void glopVertexPointer(RenderContext*, const OpWord*) { glFixme("glVertexPointer: not done yet"); }

void glopColorPointer(RenderContext*, const OpWord*) { glFixme("glColorPointer: not done yet"); }

void glopNormalPointer(RenderContext*, const OpWord*) { glFixme("glNormalPointer: not done yet"); }

void glopTexCoordPointer(RenderContext*, const OpWord*) {
  glFixme("glTexCoordPointer: not done yet");
}
