// Selection: receives the name-stack ops and, in GL_SELECT mode, the hits of the drawers; hands
// hit records on to the caller's select buffer.
// Not done yet: the name stack, hit recording and glRenderMode / glSelectBuffer; the name-stack
// handlers accept their op and change nothing.
#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/stages.h"

void glopInitNames(RenderContext*, const OpWord*) { glFixme("glInitNames: not done yet"); }

void glopPushName(RenderContext*, const OpWord*) { glFixme("glPushName: not done yet"); }

void glopPopName(RenderContext*, const OpWord*) { glFixme("glPopName: not done yet"); }

void glopLoadName(RenderContext*, const OpWord*) { glFixme("glLoadName: not done yet"); }
