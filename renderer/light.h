// Lit vertex colours and the specular power tables behind them: receives a vertex with its
// eye-space position and normal, hands its colour back to primitive assembly.
#pragma once

struct GLVertex;
struct RenderContext;
struct SpecularTable;

// The colour of a lit vertex from its eye_coord and normal, the front material and the chain of
// enabled lights; every channel on 0..1. Primitive assembly calls it while lighting is on.
void shadeVertex(RenderContext* c, GLVertex* v);

// The table of pow(x, shininess) for x = 0, 1/1024, ... 1 kept for `shininess_index`. A table
// already kept for that index is returned as it is, even when it was built for another
// shininess with the same index; otherwise a new one is built, in place of the least recently
// used one once eight are kept. Never null: a failed allocation ends the process.
const SpecularTable* specularTable(RenderContext* c, int shininess_index, float shininess);
