// `kestrune demo OUTDIR --frames N --triangles N`: the synthetic recording end to end. Receives
// what the tool writes; hands on what `kestrune info` reads in it, its bytes and usage errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"

namespace {

constexpr const char* kStream = "Video/Stream";
constexpr const char* kUsage =
    "usage: kestrune demo OUTDIR [--frames N --triangles N [--fps N] [--seed N] "
    "[--part-size BYTES]]\n";

std::vector<std::string> demoArgs(const std::string& folder, std::vector<std::string> options) {
  options.insert(options.begin(), {"demo", folder});
  return options;
}

// The number after "NAME: " on the info line that starts so; -1 when there is none.
long long infoCount(const std::string& info, const std::string& name) {
  const size_t found = info.find("\n" + name + ": ");
  return found == std::string::npos ? -1 : std::stoll(info.substr(found + name.size() + 3));
}

}  // namespace

// Counts worked out from the layout: blend mode = index % 8, and every fourth run of eight
// triangles (indices 0-7, 32-39, ...) untextured. 300 triangles: modes 0-3 take 38 a frame and
// 4-7 take 37; 80 untextured. 10000: 1250 of each mode; 313 runs, 2504 untextured. A triangle
// record is 26 bytes and a frame mark 8.
TEST(SyntheticDemo, InfoReadsExactlyWhatWasAskedFor) {
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> lines;
    long long min_chunks;
    long long max_chunks;
  };
  const Case cases[] = {
      // Small frames: several to a chunk; 64 KiB parts.
      {{"--frames", "40", "--triangles", "300", "--fps", "20", "--seed", "7", "--part-size",
        "65536"},
       {"decompressed bytes: 312320", "frame marks: 40", "triangles: 12000", "frames: 40",
        "duration: 1.950000 s (time stamps 0.000000 to 1.950000)",
        "triangles per frame: min 300 median 300 max 300",
        "textured triangles: 8800 of 12000 (73.33%)", "blend mode 0: 1520 triangles",
        "blend mode 3: 1520 triangles", "blend mode 4: 1480 triangles",
        "blend mode 7: 1480 triangles"},
       2,
       20},
      // The largest frames: each spans chunks.
      {{"--frames", "2", "--triangles", "10000"},
       {"decompressed bytes: 520016", "frames: 2", "triangles: 20000",
        "duration: 0.033333 s (time stamps 0.000000 to 0.033333)",
        "triangles per frame: min 10000 median 10000 max 10000",
        "textured triangles: 14992 of 20000 (74.96%)", "blend mode 0: 2500 triangles",
        "blend mode 5: 2500 triangles"},
       3,
       1000},
  };
  for (const Case& test : cases) {
    TempFolder folder;
    const ProcessResult made = runTool(demoArgs(folder.path(), test.options));
    ASSERT_EQ(made.exit_code, 0) << made.err;
    EXPECT_EQ(made.out + made.err, "");
    const ProcessResult info =
        runTool({"info", folder.file(std::string(kStream) + "/synthetic.%i.rec")});
    ASSERT_EQ(info.exit_code, 0) << info.err;
    std::vector<std::string> lines = test.lines;
    lines.insert(
        lines.end(),
        {"texture 1: 4B53594E54455831 8 bpp 64x64 loads",
         "texture 2: 4B53594E54455832 4 bpp 32x32 loads",
         "texture 3: 4B53594E54455833 8 bpp 16x16 loads", "empty texture slots: 4-32",
         "point records: 0", "cut-off records: 0", "triangles after the last frame mark: 0",
         "textured triangles without a loaded texture: 0", "anomalies: 0", "end: stream used up"});
    for (const std::string& line : lines) {
      EXPECT_NE(info.out.find("\n" + line + "\n"), std::string::npos) << line << "\n" << info.out;
    }
    const long long chunks = infoCount(info.out, "chunks");
    EXPECT_GE(chunks, test.min_chunks);
    EXPECT_LE(chunks, test.max_chunks);
    EXPECT_EQ(info.out.find("not read"), std::string::npos) << info.out;
  }
}

// Every part but the last is --part-size long, and the player reads on through all of them.
TEST(SyntheticDemo, PartsAreCutAtThePartSize) {
  TempFolder folder;
  ASSERT_EQ(runTool(demoArgs(folder.path(),
                             {"--frames", "40", "--triangles", "300", "--part-size", "65536"}))
                .exit_code,
            0);
  const std::vector<std::string> names = filesIn(folder.file(kStream));
  ASSERT_GE(names.size(), 3u);
  long long total = 0;
  for (size_t index = 0; index < names.size(); ++index) {
    const std::string name = "synthetic." + std::to_string(index) + ".rec";
    ASSERT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    const auto size = std::filesystem::file_size(folder.file(std::string(kStream) + "/" + name));
    if (index + 1 < names.size()) {
      EXPECT_EQ(size, 65536u) << name;
    } else {
      EXPECT_LT(size, 65536u) << name;
    }
    total += static_cast<long long>(size);
  }
  const ProcessResult info =
      runTool({"info", folder.file(std::string(kStream) + "/synthetic.%i.rec")});
  EXPECT_NE(info.out.find("\nstream bytes read: " + std::to_string(total - 264) + " of " +
                          std::to_string(total - 264) + "\n"),
            std::string::npos)
      << info.out;
}

// The same options give the same bytes; another seed gives other bytes; a shorter recording
// written over a longer one leaves none of the longer one's parts behind.
TEST(SyntheticDemo, TheSeedDecidesTheBytes) {
  TempFolder first, second, other;
  const std::vector<std::string> options = {"--frames", "30", "--triangles", "200",
                                            "--seed",   "9",  "--part-size", "8192"};
  ASSERT_EQ(runTool(demoArgs(first.path(), options)).exit_code, 0);
  ASSERT_EQ(runTool(demoArgs(second.path(), options)).exit_code, 0);
  std::vector<std::string> reseeded = options;
  reseeded[5] = "10";
  ASSERT_EQ(runTool(demoArgs(other.path(), reseeded)).exit_code, 0);
  const std::vector<std::string> names = filesIn(first.file(kStream));
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(filesIn(second.file(kStream)), names);
  for (const std::string& name : names) {
    const std::string path = std::string(kStream) + "/" + name;
    EXPECT_EQ(readWholeFile(first.file(path)), readWholeFile(second.file(path))) << name;
  }
  const std::string part0 = std::string(kStream) + "/synthetic.0.rec";
  EXPECT_NE(readWholeFile(first.file(part0)), readWholeFile(other.file(part0)));

  ASSERT_EQ(runTool(demoArgs(first.path(), {"--frames", "1", "--triangles", "1"})).exit_code, 0);
  EXPECT_EQ(filesIn(first.file(kStream)), std::vector<std::string>{"synthetic.0.rec"});
}

TEST(SyntheticDemo, BadOptionsAreUsageErrors) {
  const struct {
    std::vector<std::string> options;
    const char* message;
  } cases[] = {
      {{"--frames", "0", "--triangles", "5"}, "bad frame count \"0\" (want 1 to 1000000)"},
      {{"--frames", "-3", "--triangles", "5"}, "bad frame count \"-3\" (want 1 to 1000000)"},
      {{"--frames", "12x", "--triangles", "5"}, "bad frame count \"12x\" (want 1 to 1000000)"},
      {{"--frames", "1000001", "--triangles", "5"},
       "bad frame count \"1000001\" (want 1 to 1000000)"},
      {{"--frames", "5", "--triangles", "10001"}, "bad triangle count \"10001\" (want 1 to 10000)"},
      {{"--frames", "5", "--triangles", "5", "--fps", "0"},
       "bad frame rate \"0\" (want 1 to 1000)"},
      {{"--frames", "5", "--triangles", "5", "--seed", "4294967296"},
       "bad seed \"4294967296\" (want 0 to 4294967295)"},
      {{"--frames", "5", "--triangles", "5", "--part-size", "4095"},
       "bad part size \"4095\" (want 4096 to 1073741824)"},
      {{"--frames", "5"}, "a synthetic recording needs both --frames and --triangles"},
      {{"--seed", "3"}, "a synthetic recording needs both --frames and --triangles"},
      {{"--triangles"}, "--triangles needs a value"},
      {{"--count", "3"}, "unknown option --count"},
  };
  TempFolder folder;
  for (const auto& test : cases) {
    const ProcessResult result = runTool(demoArgs(folder.path(), test.options));
    EXPECT_EQ(result.exit_code, 2) << test.message;
    EXPECT_EQ(result.err, std::string("kestrune demo: ") + test.message + "\n" + kUsage);
  }
  EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{});
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "/Video"));
}
