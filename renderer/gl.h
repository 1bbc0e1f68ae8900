// Rasterkit's public interface: the OpenGL 1.1 subset the renderer offers and its enumerations.
// Receives the embedding program's calls; hands each one on as an op to the current context
// (or, for the context and display-list calls, acts on the context directly).
#pragma once

struct ZBuffer;
struct RenderContext;

// Primitive modes (glBegin).
inline constexpr int GL_POINTS = 0;
inline constexpr int GL_LINES = 1;
inline constexpr int GL_LINE_LOOP = 2;
inline constexpr int GL_LINE_STRIP = 3;
inline constexpr int GL_TRIANGLES = 4;
inline constexpr int GL_TRIANGLE_STRIP = 5;
inline constexpr int GL_TRIANGLE_FAN = 6;
inline constexpr int GL_QUADS = 7;
inline constexpr int GL_QUAD_STRIP = 8;
inline constexpr int GL_POLYGON = 9;

// Faces, orientation, polygon modes and shading.
inline constexpr int GL_FRONT = 0x0404;
inline constexpr int GL_BACK = 0x0405;
inline constexpr int GL_FRONT_AND_BACK = 0x0408;
inline constexpr int GL_CW = 0x0900;
inline constexpr int GL_CCW = 0x0901;
inline constexpr int GL_POINT = 0x1B00;
inline constexpr int GL_LINE = 0x1B01;
inline constexpr int GL_FILL = 0x1B02;
inline constexpr int GL_FLAT = 0x1D00;
inline constexpr int GL_SMOOTH = 0x1D01;

// Capabilities (glEnable / glDisable).
inline constexpr int GL_CULL_FACE = 0x0B44;
inline constexpr int GL_LIGHTING = 0x0B50;
inline constexpr int GL_COLOR_MATERIAL = 0x0B57;
inline constexpr int GL_FOG = 0x0B60;
inline constexpr int GL_DEPTH_TEST = 0x0B71;
inline constexpr int GL_NORMALIZE = 0x0BA1;
inline constexpr int GL_BLEND = 0x0BE2;
inline constexpr int GL_TEXTURE_2D = 0x0DE1;
inline constexpr int GL_POLYGON_OFFSET_POINT = 0x2A01;
inline constexpr int GL_POLYGON_OFFSET_LINE = 0x2A02;
inline constexpr int GL_POLYGON_OFFSET_FILL = 0x8037;
inline constexpr int GL_LIGHT0 = 0x4000;  // GL_LIGHT0 + i for lights 0..15

// Matrix modes.
inline constexpr int GL_MODELVIEW = 0x1700;
inline constexpr int GL_PROJECTION = 0x1701;
inline constexpr int GL_TEXTURE = 0x1702;

// Display lists.
inline constexpr int GL_COMPILE = 0x1300;
inline constexpr int GL_COMPILE_AND_EXECUTE = 0x1301;

// glClear mask bits.
inline constexpr int GL_DEPTH_BUFFER_BIT = 0x0100;
inline constexpr int GL_COLOR_BUFFER_BIT = 0x4000;

// Hints.
inline constexpr int GL_PERSPECTIVE_CORRECTION_HINT = 0x0C50;
inline constexpr int GL_DONT_CARE = 0x1100;
inline constexpr int GL_FASTEST = 0x1101;
inline constexpr int GL_NICEST = 0x1102;

// Render modes.
inline constexpr int GL_RENDER = 0x1C00;
inline constexpr int GL_SELECT = 0x1C02;

// Lights, materials and the light model.
inline constexpr int GL_AMBIENT = 0x1200;
inline constexpr int GL_DIFFUSE = 0x1201;
inline constexpr int GL_SPECULAR = 0x1202;
inline constexpr int GL_POSITION = 0x1203;
inline constexpr int GL_SPOT_DIRECTION = 0x1204;
inline constexpr int GL_SPOT_EXPONENT = 0x1205;
inline constexpr int GL_SPOT_CUTOFF = 0x1206;
inline constexpr int GL_CONSTANT_ATTENUATION = 0x1207;
inline constexpr int GL_LINEAR_ATTENUATION = 0x1208;
inline constexpr int GL_QUADRATIC_ATTENUATION = 0x1209;
inline constexpr int GL_EMISSION = 0x1600;
inline constexpr int GL_SHININESS = 0x1601;
inline constexpr int GL_AMBIENT_AND_DIFFUSE = 0x1602;
inline constexpr int GL_LIGHT_MODEL_LOCAL_VIEWER = 0x0B51;
inline constexpr int GL_LIGHT_MODEL_TWO_SIDE = 0x0B52;
inline constexpr int GL_LIGHT_MODEL_AMBIENT = 0x0B53;

// Textures and pixel data.
inline constexpr int GL_UNSIGNED_BYTE = 0x1401;
inline constexpr int GL_FLOAT = 0x1406;
inline constexpr int GL_RGB = 0x1907;
inline constexpr int GL_RGBA = 0x1908;
inline constexpr int GL_UNPACK_ALIGNMENT = 0x0CF5;
inline constexpr int GL_TEXTURE_ENV_MODE = 0x2200;
inline constexpr int GL_TEXTURE_ENV = 0x2300;
inline constexpr int GL_MODULATE = 0x2100;
inline constexpr int GL_DECAL = 0x2101;
inline constexpr int GL_NEAREST = 0x2600;
inline constexpr int GL_LINEAR = 0x2601;
inline constexpr int GL_TEXTURE_MAG_FILTER = 0x2800;
inline constexpr int GL_TEXTURE_MIN_FILTER = 0x2801;
inline constexpr int GL_TEXTURE_WRAP_S = 0x2802;
inline constexpr int GL_TEXTURE_WRAP_T = 0x2803;
inline constexpr int GL_CLAMP = 0x2900;
inline constexpr int GL_REPEAT = 0x2901;

// Vertex arrays.
inline constexpr int GL_VERTEX_ARRAY = 0x8074;
inline constexpr int GL_NORMAL_ARRAY = 0x8075;
inline constexpr int GL_COLOR_ARRAY = 0x8076;
inline constexpr int GL_TEXTURE_COORD_ARRAY = 0x8078;

// Contexts. Each thread has its own current context, which every other call acts on; nothing
// may be called on a thread without one. glInitContext creates a context over a ZBuffer made by
// zbOpen (which stays the caller's) and makes it current, closing the thread's current context
// first. glCloseContext frees everything the current context owns and leaves none current.
// glMakeCurrent makes a context the calling thread's current one (null: none) and gives the one
// it replaces, which stays open: a caller that owns several contexts switches between them with
// it, and detaches one (glMakeCurrent(nullptr)) before glInitContext makes another. A context is
// current on at most one thread at a time; contexts on different threads share nothing, so two
// threads may draw at once, each with its own context and its own ZBuffer.
void glInitContext(ZBuffer* zb);
void glCloseContext();
RenderContext* glCurrentContext();
RenderContext* glMakeCurrent(RenderContext* c);
// Both complete every drawing call issued so far: afterwards the ZBuffer's frame and depth
// buffers hold all their results. Callers that read or write the buffers' memory themselves call
// one of them first. They act at once and are never compiled.
void glFinish();
void glFlush();

// Rasterkit's own: the number of threads that draw filled triangles, 1 to 64 (values outside are
// brought into that range). With 1, the default, every triangle is drawn at once on the calling
// thread. With more, filled triangles wait in a list and are drawn by that many threads, each
// over bands of rows, in triangle order: the pixels and depth values are those one thread
// gives. The list is drawn by glFinish and glFlush, before anything else reads or writes the
// buffers (clears, points and lines, texture uploads and deletions, resizing, closing the
// context) and when it is full. The count belongs to the current context; each context's
// calls come from the one thread it is current on.
void rkSetRasterThreads(int threads);
int rkRasterThreads();
// Rasterkit's own: runs job(arg, begin, end) over rows 0..rows-1 on the current context's
// drawing threads, after drawing every filled triangle that waits. The rows are cut into bands,
// one call each, which may run at once on different threads (the calling thread among them), so
// a call touches nothing that another band's call writes. With one thread the calling thread
// makes a single call over all rows. Returns once every band is done.
void rkRunRowJob(void (*job)(void* arg, int begin, int end), void* arg, int rows);

// Non-zero: every issued op is also printed to standard error, one line per op.
void glTraceOps(int on);

// Display lists (names 0..1023). These act at once and are never compiled themselves.
void glNewList(unsigned list, int mode);
void glEndList();
int glIsList(unsigned list);  // 1 when a list of that name exists, else 0
// First name of `range` consecutive free names, each made an empty list; 0 when there is no
// such run (ambiguous with a run starting at name 0).
unsigned glGenLists(int range);
void glCallList(unsigned list);

// Primitives and the current vertex attributes.
void glBegin(int mode);
void glEnd();
void glVertex2f(float x, float y);
void glVertex3f(float x, float y, float z);
void glVertex4f(float x, float y, float z, float w);
void glVertex3fv(const float* v);
void glNormal3f(float x, float y, float z);
void glNormal3fv(const float* v);
void glColor4f(float r, float g, float b, float a);
void glColor4fv(const float* v);
void glColor3f(float r, float g, float b);
void glColor3fv(const float* v);
void glTexCoord2f(float s, float t);
void glTexCoord4f(float s, float t, float r, float q);
void glTexCoord2fv(const float* v);
void glEdgeFlag(int flag);

// Rendering state.
void glShadeModel(int mode);
void glCullFace(int mode);
void glFrontFace(int mode);
void glPolygonMode(int face, int mode);
void glEnable(int cap);
void glDisable(int cap);
void glHint(int target, int mode);
void glPolygonOffset(float factor, float units);
void glViewport(int x, int y, int width, int height);
void glClearColor(float r, float g, float b, float a);
void glClearDepth(double depth);
void glClear(int mask);

// Matrices. glLoadMatrixf and glMultMatrixf take 16 floats in column order.
void glMatrixMode(int mode);
void glLoadIdentity();
void glLoadMatrixf(const float* m);
void glMultMatrixf(const float* m);
void glPushMatrix();
void glPopMatrix();
void glRotatef(float angle, float x, float y, float z);
void glTranslatef(float x, float y, float z);
void glScalef(float x, float y, float z);
void glFrustum(double left, double right, double bottom, double top, double near_plane,
               double far_plane);

// Lighting and materials.
void glMaterialfv(int mode, int pname, const float* v);
void glMaterialf(int mode, int pname, float v);
void glColorMaterial(int face, int pname);
void glLightfv(int light, int pname, const float* v);
void glLightf(int light, int pname, float v);
void glLightModelfv(int pname, const float* v);
void glLightModeli(int pname, int param);

// Texture names: glGenTextures writes n names after the largest in use (reserving nothing);
// glDeleteTextures frees the named textures, skipping unknown names, and leaves texture 0
// bound when the bound one goes. Both act at once and are never compiled.
void glGenTextures(int n, unsigned* names);
void glDeleteTextures(int n, const unsigned* names);

// Textures. glTexImage2D keeps the pixel pointer in its op, so the pixels must stay valid
// while a display list holding the call can still run.
void glTexImage2D(int target, int level, int components, int width, int height, int border,
                  int format, int type, const void* pixels);
void glBindTexture(int target, int texture);
void glTexEnvi(int target, int pname, int param);
void glTexParameteri(int target, int pname, int param);
void glPixelStorei(int pname, int param);

// Selection: glRenderMode and glSelectBuffer act at once and are never compiled into lists.
// glRenderMode returns 0 when leaving GL_RENDER; when leaving GL_SELECT, the number of hit
// records written, negated when the buffer overflowed. Records never go past `size` words.
int glRenderMode(int mode);
void glSelectBuffer(int size, unsigned* buffer);

// Selection names.
void glInitNames();
void glPushName(unsigned name);
void glPopName();
void glLoadName(unsigned name);

// Vertex arrays (the arrays stay the caller's).
void glArrayElement(int index);
void glEnableClientState(int array);
void glDisableClientState(int array);
void glVertexPointer(int size, int type, int stride, const void* pointer);
void glColorPointer(int size, int type, int stride, const void* pointer);
void glNormalPointer(int type, int stride, const void* pointer);
void glTexCoordPointer(int size, int type, int stride, const void* pointer);
