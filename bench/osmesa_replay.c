/* osmesa_replay: plays a recording through Mesa's off-screen renderer (OSMesa) with OpenGL
 * state equivalent to the player's, as fast as it can, for comparing our renderer with Mesa's
 * on the same work. Receives a recording path (with "%i" for its part files) and options; hands
 * on one line of figures: frames, triangles, seconds, "fps N", triangles per second, the median
 * frame time and the milliseconds per frame of each step (decoding and GL calls, glFinish,
 * readback, the 2:1 filter, decompression), and a CRC of the last window picture.
 *
 * Equivalence with the player: the same viewport, projection and modelview; one glBegin/glEnd
 * per triangle with the player's glTexCoord2f, glColor4f and glVertex3f values and its texture
 * and blend state cache; no depth buffer. Textures are fitted to 256 x 256 and reduced to 5-6-5
 * as our renderer stores them, then uploaded as RGBA with alpha 0 where the 5-6-5 texel is black,
 * nearest texel, repeat, GL_REPLACE. Our renderer leaves black texels out while GL_BLEND is on
 * (blend modes 1 and 2, and from start-up): here that is the alpha test "alpha > 0". A texture
 * matrix makes coordinate c pick texel floor(255 c + 0.5) as our rasterizer does (plain GL
 * would wrap c = 1 round to texel 0). At each frame mark: glFinish, glReadPixels of the 5-6-5
 * render buffer, and the player's 2:1 box filter into a window picture. The recording is read
 * into memory before the clock starts. Differences: the filter works on the read-back copy, so
 * the GL buffer keeps unfiltered pixels (the player leaves pair averages in its render buffer);
 * our renderer's always-on depth writes have no counterpart here. */
#include <GL/gl.h>
#include <GL/osmesa.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <zlib.h>

enum { HEADER_SIZE = 264, CHUNK_MAX = 32768, OUTPUT_MAX = 262144, TEXTURE_SIDE = 256 };

typedef struct {
  const char *recording;
  const char *texture_folder; /* NULL: the recording's folder followed by ../TexDump */
  int desktop_width, desktop_height;
  int bpp;         /* 16: a 5-6-5 buffer, 32: RGBA */
  long max_frames; /* 0: all */
  int readback;
  const char *raw_path; /* the window picture of frame raw_frame, 5-6-5, rows top first */
  long raw_frame;
} Options;

typedef struct {
  uint8_t *bytes;
  size_t size;
} Buffer;

typedef struct {
  double submit, finish, readback, filter, unzip;
} StepTimes;

static double now(void) {
  struct timeval t;
  gettimeofday(&t, NULL);
  return t.tv_sec + t.tv_usec * 1e-6;
}

static uint32_t le32(const uint8_t *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static void fail(const char *what, const char *detail) {
  fprintf(stderr, "osmesa_replay: %s%s\n", what, detail ? detail : "");
  exit(1);
}

static int readFile(const char *path, Buffer *file) {
  FILE *f = fopen(path, "rb");
  if (!f) return 0;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  file->bytes = malloc(size > 0 ? (size_t)size : 1);
  file->size = size > 0 ? fread(file->bytes, 1, (size_t)size, f) : 0;
  fclose(f);
  return 1;
}

/* The part's name: the first "%i" replaced by the index. */
static void partName(const char *template, int index, char *name, size_t room) {
  const char *mark = strstr(template, "%i");
  if (!mark) {
    snprintf(name, room, "%s", template);
    return;
  }
  snprintf(name, room, "%.*s%d%s", (int)(mark - template), template, index, mark + 2);
}

/* All part files back to back, as the player reads them: a part as long as part 0 may be
 * followed by another, a shorter one is the last. */
static Buffer readRecording(const char *template) {
  Buffer stream = {NULL, 0};
  char name[4096];
  size_t first_length = 0;
  for (int index = 0;; ++index) {
    Buffer part;
    partName(template, index, name, sizeof name);
    if (!readFile(name, &part)) {
      if (index == 0) fail("cannot open ", name);
      break;
    }
    if (index == 0) first_length = part.size;
    stream.bytes = realloc(stream.bytes, stream.size + part.size + 1);
    memcpy(stream.bytes + stream.size, part.bytes, part.size);
    stream.size += part.size;
    free(part.bytes);
    if (!strstr(template, "%i") || part.size < first_length) break;
  }
  if (stream.size < 4 || memcmp(stream.bytes, "KREC", 4) != 0) fail("not a recording: ", name);
  return stream;
}

/* A palettized BMP as 256 x 256 texels of 5-6-5, the way our renderer stores a texture: each
 * channel with its two low bits cleared, fitted to 256 x 256 by nearest source texel in 16.16
 * steps, then reduced to 5-6-5. Gives 0 when the file is not such a BMP. */
static int loadTexture(const char *path, uint16_t *texels) {
  Buffer file;
  if (!readFile(path, &file)) return 0;
  const uint8_t *b = file.bytes;
  int ok = file.size >= 54 && b[0] == 'B' && b[1] == 'M';
  uint32_t pixels = ok ? le32(b + 10) : 0, info = ok ? le32(b + 14) : 0;
  int32_t width = ok ? (int32_t)le32(b + 18) : 0, height = ok ? (int32_t)le32(b + 22) : 0;
  int bits = ok ? b[28] : 0;
  ok = ok && width > 0 && height > 0 && width < 32768 && height < 32768 &&
       (bits == 1 || bits == 2 || bits == 4 || bits == 8) && le32(b + 30) == 0;
  size_t row_bytes = ok ? (((size_t)width * bits + 31) / 32) * 4 : 0;
  ok = ok && 14 + (size_t)info + ((size_t)4 << bits) <= file.size &&
       pixels + row_bytes * (size_t)height <= file.size;
  if (!ok) {
    free(file.bytes);
    return 0;
  }
  uint8_t palette[256][3];
  for (int k = 0; k < (1 << bits); ++k) {
    const uint8_t *entry = b + 14 + info + 4 * k;
    palette[k][0] = entry[2] & 0xFC, palette[k][1] = entry[1] & 0xFC,
    palette[k][2] = entry[0] & 0xFC;
  }
  uint32_t xstep = (uint32_t)((float)width * 65536.0f / 256.0f);
  uint32_t ystep = (uint32_t)((float)height * 65536.0f / 256.0f);
  uint32_t y = 0;
  for (int j = 0; j < TEXTURE_SIDE; ++j, y += ystep) {
    const uint8_t *row = b + pixels + row_bytes * (size_t)(height - 1 - (int)(y >> 16));
    uint32_t x = 0;
    for (int i = 0; i < TEXTURE_SIDE; ++i, x += xstep) {
      uint32_t column = x >> 16, bit = column * bits;
      int index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
      const uint8_t *c = palette[index];
      texels[j * TEXTURE_SIDE + i] =
          (uint16_t)(((c[0] << 8) & 0xF800) | ((c[1] << 3) & 0x07E0) | (c[2] >> 3));
    }
  }
  free(file.bytes);
  return 1;
}

/* Uploads 5-6-5 texels as RGBA: each channel widened by repeating its top bits, alpha 0 for the
 * key colour black so that the alpha test can leave it out. */
static void uploadTexture(const uint16_t *texels) {
  static uint8_t rgba[TEXTURE_SIDE * TEXTURE_SIDE * 4];
  for (int k = 0; k < TEXTURE_SIDE * TEXTURE_SIDE; ++k) {
    int r = texels[k] >> 11, g = (texels[k] >> 5) & 63, bl = texels[k] & 31;
    rgba[4 * k] = (uint8_t)(r << 3 | r >> 2);
    rgba[4 * k + 1] = (uint8_t)(g << 2 | g >> 4);
    rgba[4 * k + 2] = (uint8_t)(bl << 3 | bl >> 2);
    rgba[4 * k + 3] = texels[k] == 0 ? 0 : 255;
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, TEXTURE_SIDE, TEXTURE_SIDE, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba);
}

static void textureFolder(const Options *options, char *folder, size_t room) {
  if (options->texture_folder) {
    snprintf(folder, room, "%s", options->texture_folder);
    return;
  }
  const char *slash = strrchr(options->recording, '/');
  int length = slash ? (int)(slash - options->recording + 1) : 0;
  snprintf(folder, room, "%.*s../TexDump", length, options->recording);
}

/* Texture names of slots 1 to 32 from the header's ids; a slot without a readable dump keeps
 * a name with no image, as the player's does. */
static void loadTextures(const Options *options, const uint8_t *header, GLuint table[33]) {
  static uint16_t texels[TEXTURE_SIDE * TEXTURE_SIDE];
  char folder[4096], path[4200];
  textureFolder(options, folder, sizeof folder);
  for (int slot = 1; slot <= 32; ++slot) {
    uint64_t id = le32(header + 8 * slot) | ((uint64_t)le32(header + 8 * slot + 4) << 32);
    table[slot] = 0;
    if (id == 0) continue;
    glGenTextures(1, &table[slot]);
    glBindTexture(GL_TEXTURE_2D, table[slot]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    snprintf(path, sizeof path, "%s/%016llX.bmp", folder, (unsigned long long)id);
    if (loadTexture(path, texels)) {
      uploadTexture(texels);
    } else {
      fprintf(stderr, "osmesa_replay: texture %d: cannot load %s\n", slot, path);
    }
  }
}

/* The player's fixed state: viewport, projection of 53 degrees, the modelview that maps the
 * 0..1 square onto the screen with y down, smooth shading, a black clear, no depth test; GL_BLEND
 * on at start-up becomes the alpha test on. */
static void setFixedState(int window_width, int window_height) {
  double width_to_height = (double)window_width / window_height;
  double ymax = 0.1 * tan(53.0 * 3.14159265358979323846 / 360.0);
  glViewport(0, 0, 2 * window_width, 2 * window_height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-ymax * width_to_height, ymax * width_to_height, -ymax, ymax, 0.1, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glScalef((float)width_to_height, -1, 1);
  glTranslatef(-0.5f, -0.5f, -1);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glTranslatef(0.5f / 256, 0.5f / 256, 0);
  glScalef(255.0f / 256, 255.0f / 256, 1);
  glMatrixMode(GL_MODELVIEW);
  glShadeModel(GL_SMOOTH);
  glDisable(GL_DITHER);
  glDisable(GL_DEPTH_TEST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glAlphaFunc(GL_GREATER, 0);
  glEnable(GL_ALPHA_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

/* The player's packed colour rule: flag nibble 0 gives the colour with alpha 0.5; otherwise red
 * 5 or less gives opaque white, red 6 to 15 the opaque colour. */
static void packedColour(unsigned c) {
  unsigned r = (c >> 8) & 15, g = (c >> 4) & 15, b = c & 15;
  if ((c & 0xF000) == 0) {
    glColor4f((float)(r / 15.0), (float)(g / 15.0), (float)(b / 15.0), 0.5f);
  } else if (r <= 5) {
    glColor4f(1, 1, 1, 1);
  } else {
    glColor4f((float)(r / 15.0), (float)(g / 15.0), (float)(b / 15.0), 1);
  }
}

typedef struct {
  int slot, mode; /* the state cache, -1 at start */
  GLuint table[33];
} DrawState;

static void drawTriangle(DrawState *state, const uint8_t *record) {
  int slot = record[1] & 31, mode = record[1] >> 5;
  if (slot != state->slot) {
    state->slot = slot;
    if (slot == 0) {
      glDisable(GL_TEXTURE_2D);
    } else {
      glEnable(GL_TEXTURE_2D);
      glBindTexture(GL_TEXTURE_2D, state->table[slot]);
    }
  }
  if (mode != state->mode) {
    if (mode == 0) glDisable(GL_ALPHA_TEST);
    if (mode == 1 || mode == 2) glEnable(GL_ALPHA_TEST);
    state->mode = mode;
  }
  const float step = 1.0f / 255.0f;
  glBegin(GL_TRIANGLES);
  for (int k = 0; k < 3; ++k) {
    const uint8_t *v = record + 2 + 8 * k;
    glTexCoord2f((float)(v[0] * 0.00392156862745098), (float)(v[1] * 0.00392156862745098));
    packedColour((unsigned)(v[6] | (v[7] << 8)));
    glVertex3f(v[2] * step, v[3] * step, 0);
  }
  glEnd();
}

/* The player's 2:1 filter on 5-6-5 values: pairs across in place, then pairs down into dst. */
static uint16_t average(uint16_t p, uint16_t q) {
  return (uint16_t)(((p >> 1) & 0x7BEF) + ((q >> 1) & 0x7BEF));
}

static void boxFilter(uint16_t *dst, uint16_t *src, int w, int h) {
  for (size_t k = 0; k < (size_t)4 * w * h; k += 2) src[k] = average(src[k], src[k + 1]);
  for (int r = 0; r < h; ++r) {
    const uint16_t *upper = src + (size_t)2 * r * 2 * w, *lower = upper + 2 * w;
    for (int c = 0; c < w; ++c) dst[(size_t)r * w + c] = average(upper[2 * c], lower[2 * c]);
  }
}

/* The window picture with rows top first (GL reads bottom row first). */
static void writeRaw(const char *path, const uint16_t *window, int w, int h) {
  FILE *f = fopen(path, "wb");
  if (!f) fail("cannot write ", path);
  for (int r = h - 1; r >= 0; --r) {
    for (int c = 0; c < w; ++c) {
      uint8_t pair[2] = {(uint8_t)(window[(size_t)r * w + c] & 255),
                         (uint8_t)(window[(size_t)r * w + c] >> 8)};
      fwrite(pair, 1, 2, f);
    }
  }
  fclose(f);
}

static int compareDoubles(const void *a, const void *b) {
  double x = *(const double *)a, y = *(const double *)b;
  return (x > y) - (x < y);
}

typedef struct {
  long frames;
  long long triangles;
  double *frame_seconds;
  size_t frame_room;
  StepTimes steps;
  uint16_t *render, *window;
  uint32_t crc;
} Run;

/* A frame mark: finish the drawing, read the render buffer back and filter it. */
static void endFrame(const Options *options, Run *run, double *mark, int w, int h) {
  double t0 = now();
  glFinish();
  double t1 = now();
  run->steps.finish += t1 - t0;
  if (options->readback) {
    glReadPixels(0, 0, 2 * w, 2 * h, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, run->render);
    double t2 = now();
    boxFilter(run->window, run->render, w, h);
    double t3 = now();
    run->steps.readback += t2 - t1;
    run->steps.filter += t3 - t2;
    if (options->raw_path && run->frames == options->raw_frame) {
      writeRaw(options->raw_path, run->window, w, h);
    }
  }
  if ((size_t)run->frames == run->frame_room) {
    run->frame_room = run->frame_room ? 2 * run->frame_room : 1024;
    run->frame_seconds = realloc(run->frame_seconds, run->frame_room * sizeof(double));
  }
  double end = now();
  run->frame_seconds[run->frames++] = end - *mark;
  *mark = end;
}

/* Walks the chunk stream after the header: decompress, draw, present at every mark. Stops at
 * the end of the stream, at a damaged length field or after max_frames frames. */
static void replay(const Options *options, const Buffer *stream, DrawState *state, Run *run, int w,
                   int h) {
  static uint8_t output[OUTPUT_MAX];
  size_t at = HEADER_SIZE;
  double mark = now();
  while (at + 4 <= stream->size) {
    int32_t length = (int32_t)le32(stream->bytes + at);
    if (length < 0 || length > CHUNK_MAX || at + 4 + (size_t)length > stream->size) break;
    double t0 = now();
    uLongf produced = OUTPUT_MAX;
    uncompress(output, &produced, stream->bytes + at + 4, (uLong)length);
    double walk_start = now();
    run->steps.unzip += walk_start - t0;
    at += 4 + (size_t)length;
    for (size_t offset = 0; offset < produced;) {
      uint8_t kind = output[offset];
      if (kind == 1 && offset + 8 <= produced) {
        run->steps.submit += now() - walk_start;
        endFrame(options, run, &mark, w, h);
        if (options->max_frames && run->frames >= options->max_frames) return;
        walk_start = now();
        offset += 8;
      } else if (kind == 2 && offset + 26 <= produced) {
        drawTriangle(state, output + offset);
        run->triangles += 1;
        offset += 26;
      } else {
        break; /* points, bad kinds and cut-off records end the chunk's walk */
      }
    }
    run->steps.submit += now() - walk_start;
  }
}

static void usage(void) {
  fprintf(stderr,
          "usage: osmesa_replay REC [--texdir DIR] [--desktop WxH] [--bpp 16|32] [--frames N]\n"
          "                     [--no-readback] [--raw FILE [--raw-frame K]]\n");
  exit(2);
}

static Options readOptions(int argc, char **argv) {
  Options options = {NULL, NULL, 1920, 1080, 16, 0, 1, NULL, 0};
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i], *value = i + 1 < argc ? argv[i + 1] : NULL;
    if (strcmp(arg, "--no-readback") == 0) {
      options.readback = 0;
    } else if (strncmp(arg, "--", 2) != 0) {
      if (options.recording) usage();
      options.recording = arg;
    } else if (!value) {
      usage();
    } else if (strcmp(arg, "--texdir") == 0) {
      options.texture_folder = value, ++i;
    } else if (strcmp(arg, "--desktop") == 0) {
      if (sscanf(value, "%dx%d", &options.desktop_width, &options.desktop_height) != 2) usage();
      ++i;
    } else if (strcmp(arg, "--bpp") == 0) {
      options.bpp = atoi(value), ++i;
    } else if (strcmp(arg, "--frames") == 0) {
      options.max_frames = atol(value), ++i;
    } else if (strcmp(arg, "--raw") == 0) {
      options.raw_path = value, ++i;
    } else if (strcmp(arg, "--raw-frame") == 0) {
      options.raw_frame = atol(value), ++i;
    } else {
      usage();
    }
  }
  if (!options.recording || (options.bpp != 16 && options.bpp != 32) || options.desktop_width < 2 ||
      options.desktop_height < 2) {
    usage();
  }
  return options;
}

static void report(const Run *run, double seconds) {
  double frames = run->frames > 0 ? (double)run->frames : 1;
  qsort(run->frame_seconds, (size_t)run->frames, sizeof(double), compareDoubles);
  double median = run->frames > 0 ? run->frame_seconds[(run->frames - 1) / 2] : 0;
  printf(
      "frames %ld triangles %lld seconds %.3f fps %.2f triangles/s %.0f median_frame_ms %.3f "
      "ms_per_frame submit %.3f finish %.3f readback %.3f filter %.3f unzip %.3f crc %08x\n",
      run->frames, run->triangles, seconds, run->frames / seconds, run->triangles / seconds,
      median * 1e3, run->steps.submit * 1e3 / frames, run->steps.finish * 1e3 / frames,
      run->steps.readback * 1e3 / frames, run->steps.filter * 1e3 / frames,
      run->steps.unzip * 1e3 / frames, run->crc);
}

int main(int argc, char **argv) {
  Options options = readOptions(argc, argv);
  Buffer stream = readRecording(options.recording);
  if (stream.size < HEADER_SIZE) fail("the header is cut short", NULL);
  int w = options.desktop_width / 2, h = options.desktop_height / 2;
  size_t pixels = (size_t)4 * w * h;
  void *buffer = calloc(pixels, options.bpp / 8);
  OSMesaContext context =
      OSMesaCreateContextExt(options.bpp == 16 ? OSMESA_RGB_565 : OSMESA_RGBA, 0, 0, 0, NULL);
  if (!context || !buffer) fail("cannot create the OSMesa context", NULL);
  if (!OSMesaMakeCurrent(context, buffer,
                         options.bpp == 16 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_BYTE, 2 * w,
                         2 * h)) {
    fail("cannot make the OSMesa context current", NULL);
  }
  DrawState state = {-1, -1, {0}};
  setFixedState(w, h);
  loadTextures(&options, stream.bytes, state.table);
  glFinish();
  Run run = {0};
  run.render = malloc(pixels * sizeof(uint16_t));
  run.window = calloc((size_t)w * h, sizeof(uint16_t));
  double start = now();
  replay(&options, &stream, &state, &run, w, h);
  double seconds = now() - start;
  run.crc = (uint32_t)crc32(0, (const Bytef *)run.window, (uInt)((size_t)w * h * 2));
  report(&run, seconds > 0 ? seconds : 1e-9);
  OSMesaDestroyContext(context);
  return 0;
}
