// Op dispatch: receives op records from the entry points, hands each to its handler, to the
// display list being compiled and to the trace on standard error, as the context's flags say.
#include "renderer/ops.h"

#include <cstdio>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/matrix_math.h"
#include "renderer/stages.h"

const OpInfo opTable[kOpCount] = {
    {"glColor \"%f %f %f %f %d %d %d\"", 8, glopColor},
    {"glTexCoord \"%f %f %f %f\"", 5, glopTexCoord},
    {"glEdgeFlag \"%d\"", 2, glopEdgeFlag},
    {"glNormal \"%f %f %f\"", 4, glopNormal},
    {"glBegin \"%C\"", 2, glopBegin},
    {"glVertex \"%f %f %f %f\"", 5, glopVertex},
    {"glEnd \"\"", 1, glopEnd},
    {"glEnableDisable \"%C %d\"", 3, glopEnableDisable},
    {"glMatrixMode \"%C\"", 2, glopMatrixMode},
    {"glLoadMatrix \"\"", 17, glopLoadMatrix},
    {"glLoadIdentity \"\"", 1, glopLoadIdentity},
    {"glMultMatrix \"\"", 17, glopMultMatrix},
    {"glPushMatrix \"\"", 1, glopPushMatrix},
    {"glPopMatrix \"\"", 1, glopPopMatrix},
    {"glRotate \"%f %f %f %f\"", 5, glopRotate},
    {"glTranslate \"%f %f %f\"", 4, glopTranslate},
    {"glScale \"%f %f %f\"", 4, glopScale},
    {"glViewport \"%d %d %d %d\"", 5, glopViewport},
    {"glFrustum \"%f %f %f %f %f %f\"", 7, glopFrustum},
    {"glMaterial \"%C %C %f %f %f %f\"", 7, glopMaterial},
    {"glColorMaterial \"%C %C\"", 3, glopColorMaterial},
    {"glLight \"%C %C %f %f %f %f\"", 7, glopLight},
    {"glLightModel \"%C %f %f %f %f\"", 6, glopLightModel},
    {"glClear \"%d\"", 2, glopClear},
    {"glClearColor \"%f %f %f %f\"", 5, glopClearColor},
    {"glClearDepth \"%f\"", 2, glopClearDepth},
    {"glInitNames \"\"", 1, glopInitNames},
    {"glPushName \"%d\"", 2, glopPushName},
    {"glPopName \"\"", 1, glopPopName},
    {"glLoadName \"%d\"", 2, glopLoadName},
    {"glTexImage2D \"%d %d %d %d %d %d %d %d %d\"", 10, glopTexImage2D},
    {"glBindTexture \"%C %d\"", 3, glopBindTexture},
    {"glTexEnv \"%C %C %C %f %f %f %f\"", 8, glopTexEnv},
    {"glTexParameter \"%C %C %C %f %f %f %f\"", 8, glopTexParameter},
    {"glPixelStore \"%C %C\"", 3, glopPixelStore},
    {"glShadeModel \"%C\"", 2, glopShadeModel},
    {"glCullFace \"%C\"", 2, glopCullFace},
    {"glFrontFace \"%C\"", 2, glopFrontFace},
    {"glPolygonMode \"%C %C\"", 3, glopPolygonMode},
    {"glCallList \"%d\"", 2, glopCallList},
    {"glHint \"%C %C\"", 3, glopHint},
    {"glEndList \"\"", 1, glopEndList},
    {"glNextBuffer \"%p\"", 2, glopNextBuffer},
    {"glArrayElement \"%d\"", 2, glopArrayElement},
    {"glEnableClientState \"%C\"", 2, glopEnableClientState},
    {"glDisableClientState \"%C\"", 2, glopDisableClientState},
    {"glVertexPointer \"%d %C %d %p\"", 5, glopVertexPointer},
    {"glColorPointer \"%d %C %d %p\"", 5, glopColorPointer},
    {"glNormalPointer \"%C %d %p\"", 4, glopNormalPointer},
    {"glTexCoordPointer \"%d %C %d %p\"", 5, glopTexCoordPointer},
    {"glPolygonOffset \"%f %f\"", 3, glopPolygonOffset},
};

namespace {

// A trace line under construction; long enough for any op (at most 16 parameters).
struct TraceLine {
  char text[512];
  int used;
};

void appendChar(TraceLine* line, char ch) {
  if (line->used < static_cast<int>(sizeof line->text) - 1) line->text[line->used++] = ch;
}

// One parameter in the form its conversion letter asks for: %g for f, the whole cell as a
// signed integer for p (the address itself, in either build), %d for any other letter.
void appendParameter(TraceLine* line, char conversion, OpWord word) {
  int room = static_cast<int>(sizeof line->text) - line->used;
  int written;
  if (conversion == 'f') {
    written = std::snprintf(line->text + line->used, room, "%g", double{word.asFloat()});
  } else if (conversion == 'p') {
    written = std::snprintf(line->text + line->used, room, "%lld",
                            static_cast<long long>(static_cast<std::intptr_t>(word.bits)));
  } else {
    written = std::snprintf(line->text + line->used, room, "%d", word.asInt());
  }
  if (written < 0) written = 0;
  line->used += (written < room) ? written : room - 1;
}

}  // namespace

void traceOp(const OpWord* record) {
  TraceLine line{{}, 0};
  const OpWord* parameter = record + 1;
  for (const char* s = opTable[record[0].asInt()].print_text; *s != '\0'; ++s) {
    if (*s == '%' && s[1] != '\0') {
      ++s;
      appendParameter(&line, *s, *parameter++);
    } else {
      appendChar(&line, *s);
    }
  }
  line.text[line.used++] = '\n';
  std::fwrite(line.text, 1, static_cast<size_t>(line.used), stderr);
}

void addOp(const OpWord* record) {
  RenderContext* c = glCurrentContext();
  const OpInfo& info = opTable[record[0].asInt()];
  if (c->execute_flag) info.handler(c, record);
  if (c->compile_flag) appendToList(c, record, info.word_count);
  if (c->trace_flag) traceOp(record);
}

// The product and the sum each rounded to single precision. With float arithmetic in SSE
// registers and no fused multiply-add for the compiler to contract them into, every step is
// already a float; only otherwise (x87, or a build for FMA) do they go through toFloat's store.
#if defined(__SSE2_MATH__) && !defined(__FMA__)
static inline int rasterChannel(float value, float scale, float offset) {
  return truncToInt(value * scale + offset);
}
#else
static int rasterChannel(float value, float scale, float offset) {
  return truncToInt(toFloat(toFloat(value * scale) + offset));
}
#endif

void packColorOp(OpWord record[8], float r, float g, float b, float a) {
  record[0] = OpWord::ofInt(kOpColor);
  record[1] = OpWord::ofFloat(r);
  record[2] = OpWord::ofFloat(g);
  record[3] = OpWord::ofFloat(b);
  record[4] = OpWord::ofFloat(a);
  int channels[3];
  packColorChannels(channels, r, g, b);
  for (int k = 0; k < 3; ++k) record[5 + k] = OpWord::ofInt(channels[k]);
}

void packColorChannels(int channels[3], float r, float g, float b) {
  channels[0] = rasterChannel(r, 63488.0f, 1024.0f);
  channels[1] = rasterChannel(g, 64512.0f, 512.0f);
  channels[2] = rasterChannel(b, 63488.0f, 1024.0f);
}
