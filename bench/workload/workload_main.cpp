// kestrune_workload: writes a benchmark workload, a recording and its texture dumps, for timing
// the player's drawing path beside another renderer. Receives an output folder and options;
// hands on OUT/Video/Stream/Recording.%i.rec, OUT/Video/TexDump/ and one line of figures.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/workload/workload.h"
#include "tools/tool_args.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrune_workload OUT [--mode scatter|scene] [--frames N] [--tris N]\n"
    "       [--size small|medium|large | --min-area PX --max-area PX] [--textured F]\n"
    "       [--blend F] [--run-length N] [--textures N] [--tex-size 256|WxH[,WxH..]]\n"
    "       [--fps N] [--start-time S] [--part-size BYTES] [--chunk-bytes N] [--level N]\n"
    "       [--desktop WxH] [--seed N] [--speed M/S] [--draw-distance M] [--subdiv N]\n";

constexpr const char* kHelp =
    "\n"
    "Scatter mode (the default) fills each frame with --tris fresh random triangles whose areas\n"
    "are log-uniform in render-buffer pixels (the desktop's size): small 50..500, medium\n"
    "500..5000, large 2..10 % of the screen. Runs of triangles (mean --run-length, default 8)\n"
    "share a texture slot (slots 1 to --textures with probability --textured, else none) and\n"
    "a blend mode (1 with probability --blend, else 0). Scene mode is the view from a car on a\n"
    "winding road at --speed m/s (default 40), ground drawn to --draw-distance metres (400),\n"
    "the road in --subdiv columns (8). Chunks hold about --chunk-bytes decompressed bytes\n"
    "(32000) at zlib --level (6); every part file but the last is --part-size bytes long (at\n"
    "least 33040; default: one part), and no part boundary falls between two chunks or in a\n"
    "length field. The same options give the same bytes.\n";

bool parseNumber(const std::string& text, double min, double max, double* value) {
  char* end = nullptr;
  errno = 0;
  const double number = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !(number >= min && number <= max)) {
    return false;
  }
  *value = number;
  return true;
}

bool parseSizes(const std::string& text, std::vector<TextureSize>* sizes) {
  std::vector<TextureSize> parsed;
  size_t from = 0;
  while (from <= text.size()) {
    const size_t comma = std::min(text.find(',', from), text.size());
    const std::string item = text.substr(from, comma - from);
    const size_t cross = item.find('x');
    int64_t width = 0, height = 0;
    const bool square = cross == std::string::npos && parseCount(item, 1, 4096, &width);
    if (square) height = width;
    if (!square &&
        (cross == std::string::npos || !parseCount(item.substr(0, cross), 1, 4096, &width) ||
         !parseCount(item.substr(cross + 1), 1, 4096, &height))) {
      return false;
    }
    parsed.push_back({static_cast<int>(width), static_cast<int>(height)});
    from = comma + 1;
  }
  *sizes = parsed;
  return true;
}

bool applySize(const std::string& size, WorkloadOptions* options) {
  const double screen = double(options->desktop_width / 2 * 2) * (options->desktop_height / 2 * 2);
  if (size == "small") {
    options->min_area = 50, options->max_area = 500;
  } else if (size == "medium") {
    options->min_area = 500, options->max_area = 5000;
  } else if (size == "large") {
    options->min_area = 0.02 * screen, options->max_area = 0.10 * screen;
  } else {
    return false;
  }
  return true;
}

struct NumberOption {
  const char* name;
  double min, max;
  double* value;
};

struct CountOption {
  const char* name;
  int64_t min, max;
  int64_t* value;
};

// The usage problem, empty when there is none.
std::string readOptions(const ParsedArgs& args, WorkloadOptions* options) {
  if (const std::string* desktop = args.option("desktop")) {
    DesktopSize size;
    if (!parseDesktopSize(*desktop, &size)) return badDesktopSize(*desktop);
    options->desktop_width = size.width, options->desktop_height = size.height;
  }
  if (const std::string* mode = args.option("mode")) {
    if (*mode != "scatter" && *mode != "scene") return "bad mode \"" + *mode + "\"";
    options->scene = *mode == "scene";
  }
  if (const std::string* size = args.option("size"); size && !applySize(*size, options)) {
    return "bad size \"" + *size + "\" (want small, medium or large)";
  }
  int64_t textures = options->textures, level = options->level, subdiv = options->subdiv;
  int64_t seed = static_cast<int64_t>(options->seed);
  const CountOption counts[] = {{"frames", 1, 1000000, &options->frames},
                                {"tris", 1, 10000, &options->triangles},
                                {"textures", 1, 31, &textures},
                                {"part-size", kWorkloadPartSizeMin, 1LL << 40, &options->part_size},
                                {"chunk-bytes", 26, kChunkDecompressedMax, &options->chunk_bytes},
                                {"level", 0, 9, &level},
                                {"seed", 0, 4294967295LL, &seed},
                                {"subdiv", 1, 64, &subdiv}};
  for (const CountOption& count : counts) {
    const std::string* text = args.option(count.name);
    if (text && !parseCount(*text, count.min, count.max, count.value)) {
      return std::string("bad --") + count.name + " \"" + *text + "\"";
    }
  }
  options->textures = static_cast<int>(textures), options->level = static_cast<int>(level);
  options->subdiv = static_cast<int>(subdiv), options->seed = static_cast<uint64_t>(seed);
  const NumberOption numbers[] = {{"min-area", 0.01, 1e9, &options->min_area},
                                  {"max-area", 0.01, 1e9, &options->max_area},
                                  {"textured", 0, 1, &options->textured},
                                  {"blend", 0, 1, &options->blend},
                                  {"run-length", 1, 1e6, &options->run_length},
                                  {"fps", 0.001, 1e6, &options->fps},
                                  {"start-time", -1e9, 1e9, &options->start_time},
                                  {"speed", 0, 1000, &options->speed},
                                  {"draw-distance", 10, 5000, &options->draw_distance}};
  for (const NumberOption& number : numbers) {
    const std::string* text = args.option(number.name);
    if (text && !parseNumber(*text, number.min, number.max, number.value)) {
      return std::string("bad --") + number.name + " \"" + *text + "\"";
    }
  }
  if (options->min_area > options->max_area) return "--min-area is above --max-area";
  const std::string* sizes = args.option("tex-size");
  if (sizes && !parseSizes(*sizes, &options->texture_sizes)) {
    return "bad --tex-size \"" + *sizes + "\" (want 256 or WxH[,WxH..])";
  }
  if (args.positional.size() != 1 || args.positional[0].empty()) return "give one output folder";
  return "";
}

void printFigures(const WorkloadFigures& figures, const WorkloadOptions& options) {
  const double triangles = static_cast<double>(std::max<int64_t>(figures.triangles, 1));
  const double screen = double(options.desktop_width / 2 * 2) * (options.desktop_height / 2 * 2);
  std::printf(
      "frames %lld, triangles %lld (%.1f per frame), textured %.3f, blend %.3f, mean area %.1f "
      "px, %.3f screens per frame, %d parts, %lld chunks, %lld stream bytes\n",
      static_cast<long long>(figures.frames), static_cast<long long>(figures.triangles),
      double(figures.triangles) / std::max<int64_t>(figures.frames, 1),
      figures.textured / triangles, figures.blended / triangles, figures.area / triangles,
      figures.area / screen / std::max<int64_t>(figures.frames, 1), figures.parts,
      static_cast<long long>(figures.chunks), static_cast<long long>(figures.stream_bytes));
}

}  // namespace

int main(int argc, char** argv) {
  const ParsedArgs args =
      parseArgs(argc - 1, argv + 1,
                {"mode",       "frames",        "tris",        "size",     "min-area", "max-area",
                 "textured",   "blend",         "run-length",  "textures", "tex-size", "fps",
                 "start-time", "part-size",     "chunk-bytes", "level",    "desktop",  "seed",
                 "speed",      "draw-distance", "subdiv"},
                {});
  if (args.help) {
    std::printf("%s%s", kUsage, kHelp);
    return 0;
  }
  WorkloadOptions options;
  const std::string problem = args.error.empty() ? readOptions(args, &options) : args.error;
  if (!problem.empty()) {
    std::fprintf(stderr, "kestrune_workload: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }
  WorkloadFigures figures;
  std::string error;
  if (!writeWorkload(args.positional[0], options, &figures, &error)) {
    std::fprintf(stderr, "kestrune_workload: %s\n", error.c_str());
    return 1;
  }
  printFigures(figures, options);
  return 0;
}
