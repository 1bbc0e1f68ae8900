// What each stage of the renderer offers the others: the op handlers that the op table points
// to, and the few functions one stage calls in another. Grouped by the source that defines them.
#pragma once

#include "renderer/ops.h"

struct RenderContext;
struct Texture;

// list.cpp: display lists.
void glopCallList(RenderContext* c, const OpWord* p);
void glopEndList(RenderContext* c, const OpWord* p);
void glopNextBuffer(RenderContext* c, const OpWord* p);
// Appends one op record of `words` words to the list being compiled.
void appendToList(RenderContext* c, const OpWord* record, int words);
// Frees every display list and its blocks (the table itself stays).
void freeDisplayLists(RenderContext* c);

// matrix.cpp: matrix stacks.
void glopMatrixMode(RenderContext* c, const OpWord* p);
void glopLoadMatrix(RenderContext* c, const OpWord* p);
void glopLoadIdentity(RenderContext* c, const OpWord* p);
void glopMultMatrix(RenderContext* c, const OpWord* p);
void glopPushMatrix(RenderContext* c, const OpWord* p);
void glopPopMatrix(RenderContext* c, const OpWord* p);
void glopRotate(RenderContext* c, const OpWord* p);
void glopTranslate(RenderContext* c, const OpWord* p);
void glopScale(RenderContext* c, const OpWord* p);
void glopFrustum(RenderContext* c, const OpWord* p);
// The derived matrices for the primitive about to start: normal_matrix (lighting on) or
// mvp_matrix and mvp_affine_w (lighting off), then texture_matrix_on; clears mvp_dirty. The
// Begin op calls it while mvp_dirty is set.
void recomputeMatrices(RenderContext* c);

// misc.cpp: viewport, switches, rasterization state and clearing.
void glopEnableDisable(RenderContext* c, const OpWord* p);
void glopViewport(RenderContext* c, const OpWord* p);
void glopShadeModel(RenderContext* c, const OpWord* p);
void glopCullFace(RenderContext* c, const OpWord* p);
void glopFrontFace(RenderContext* c, const OpWord* p);
void glopPolygonMode(RenderContext* c, const OpWord* p);
void glopHint(RenderContext* c, const OpWord* p);
void glopPolygonOffset(RenderContext* c, const OpWord* p);
void glopClearColor(RenderContext* c, const OpWord* p);
void glopClearDepth(RenderContext* c, const OpWord* p);
void glopClear(RenderContext* c, const OpWord* p);

// vertex.cpp: current attributes and primitive assembly.
void glopColor(RenderContext* c, const OpWord* p);
void glopTexCoord(RenderContext* c, const OpWord* p);
void glopEdgeFlag(RenderContext* c, const OpWord* p);
void glopNormal(RenderContext* c, const OpWord* p);
void glopBegin(RenderContext* c, const OpWord* p);
void glopVertex(RenderContext* c, const OpWord* p);
void glopEnd(RenderContext* c, const OpWord* p);

// texture.cpp: texture objects.
void glopTexImage2D(RenderContext* c, const OpWord* p);
void glopBindTexture(RenderContext* c, const OpWord* p);
void glopTexEnv(RenderContext* c, const OpWord* p);
void glopTexParameter(RenderContext* c, const OpWord* p);
void glopPixelStore(RenderContext* c, const OpWord* p);
// The texture with that name, or null.
Texture* findTexture(RenderContext* c, int name);
// A new texture with empty images, at the head of its bucket's chain.
Texture* createTexture(RenderContext* c, int name);
// Frees every texture and its pixel arrays (the bucket table itself stays).
void freeTextures(RenderContext* c);

// light.cpp: lights, materials and the light model.
void glopMaterial(RenderContext* c, const OpWord* p);
void glopColorMaterial(RenderContext* c, const OpWord* p);
void glopLight(RenderContext* c, const OpWord* p);
void glopLightModel(RenderContext* c, const OpWord* p);
// Switches light `index` (0..15) on or off, keeping the chain of enabled lights.
void enableLight(RenderContext* c, int index, int on);
void freeSpecularTables(RenderContext* c);

// select.cpp: the selection name stack.
void glopInitNames(RenderContext* c, const OpWord* p);
void glopPushName(RenderContext* c, const OpWord* p);
void glopPopName(RenderContext* c, const OpWord* p);
void glopLoadName(RenderContext* c, const OpWord* p);

// arrays.cpp: vertex arrays.
void glopArrayElement(RenderContext* c, const OpWord* p);
void glopEnableClientState(RenderContext* c, const OpWord* p);
void glopDisableClientState(RenderContext* c, const OpWord* p);
void glopVertexPointer(RenderContext* c, const OpWord* p);
void glopColorPointer(RenderContext* c, const OpWord* p);
void glopNormalPointer(RenderContext* c, const OpWord* p);
void glopTexCoordPointer(RenderContext* c, const OpWord* p);
