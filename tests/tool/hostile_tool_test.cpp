// The tool against hostile surroundings: standard output that cannot be written (a full device,
// a closed stream, a full disk behind a redirection), named pipes and full disks where it writes
// files, recordings damaged from their first chunk, a "%i" in a folder name, file names that are
// not UTF-8, and memory that runs out. Each must end with a message naming what failed and exit
// code 1 (2 for bad usage), never hang, and leave no partial file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"
#include "tools/bmp_writer.h"
#include "tools/recording_writer.h"

namespace {

// One frame: a screen-covering pair of triangles and a mark.
Bytes oneFrameChunk() {
  return compressedChunk(joinBytes({screenCoveringTriangles(0xF9A5), frameMarkBytes(0.5f)}));
}

ProcessResult runToolAfter(const std::string& setup, const std::vector<std::string>& args,
                           const std::string& working_folder) {
  ProcessOptions options;
  options.arguments = args;
  options.working_folder = working_folder;
  options.timeout_ms = 60000;
  return runThroughShell(setup, KESTRUNE_TOOL_PATH, options);
}

class HostileTool : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const Bytes& bytes) {
    const std::string path = folder.file(name);
    EXPECT_TRUE(writeFileBytes(path, bytes)) << path;
    return path;
  }
  std::string recording() { return write("r.rec", joinBytes({headerBytes(), oneFrameChunk()})); }

  TempFolder folder;
};

}  // namespace

// Output to a full device or to a closed standard output fails every command that prints.
TEST_F(HostileTool, StandardOutputThatCannotBeWrittenFailsTheCommand) {
  const std::string rec = recording();
  struct Case {
    std::vector<std::string> args;
    std::string command;  // as the message names it
  };
  const Case cases[] = {
      {{"info", rec}, "info"}, {{"dump", rec}, "dump"}, {{"bench", rec}, "bench"},
      {{"--help"}, ""},        {{"--version"}, ""},     {{"render", "--help"}, "render"},
  };
  for (const Case& c : cases) {
    const std::string name = c.command.empty() ? "kestrune" : "kestrune " + c.command;
    const ProcessResult full = runToolAfter("exec >/dev/full", c.args, folder.path());
    EXPECT_EQ(full.exit_code, 1) << c.args[0];
    EXPECT_EQ(full.err, name + ": cannot write standard output: No space left on device\n")
        << c.args[0];
    const ProcessResult closed = runToolAfter("exec >&-", c.args, folder.path());
    EXPECT_EQ(closed.exit_code, 1) << c.args[0];
    EXPECT_EQ(closed.err, name + ": cannot write standard output: Bad file descriptor\n")
        << c.args[0];
  }
}

// A file-size limit of 2 blocks stands for a full disk behind a redirection: dump stops and fails.
TEST_F(HostileTool, DumpIntoAFullDiskFails) {
  const Bytes frames = joinBytes({oneFrameChunk(), oneFrameChunk(), oneFrameChunk()});
  const std::string rec = write("many.rec", joinBytes({headerBytes(), frames, frames, frames}));
  const ProcessResult result =
      runToolAfter("trap '' XFSZ; ulimit -f 2; exec >dump.txt", {"dump", rec}, folder.path());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "kestrune dump: cannot write standard output: File too large\n");
}

// Frame files and part files are written only as regular files, whole: a named pipe under the
// name is refused at once, and a full disk leaves nothing behind.
TEST_F(HostileTool, FilesAreWrittenWholeOrNotAtAll) {
  const std::string rec = recording();
  std::filesystem::create_directories(folder.path() + "/pipe");
  const std::string pipe_frame = folder.path() + "/pipe/frame_000000.png";
  ASSERT_EQ(mkfifo(pipe_frame.c_str(), 0600), 0);
  const ProcessResult piped = runTool({"render", rec, "--out", folder.path() + "/pipe"});
  EXPECT_EQ(piped.exit_code, 1);
  EXPECT_NE(
      piped.err.find("kestrune render: cannot write " + pipe_frame + ": not a regular file\n"),
      std::string::npos)
      << piped.err;

  const ProcessResult full =
      runToolAfter("trap '' XFSZ; ulimit -f 2", {"render", rec, "--out", "full", "--format", "raw"},
                   folder.path());
  EXPECT_EQ(full.exit_code, 1);
  EXPECT_NE(full.err.find("kestrune render: cannot write full/frame_000000.raw: File too large\n"),
            std::string::npos)
      << full.err;
  EXPECT_EQ(filesIn(folder.path() + "/full"), std::vector<std::string>{});

  const std::string stream = folder.path() + "/demo/Video/Stream";
  std::filesystem::create_directories(stream);
  const std::string pipe_part = stream + "/Recording_12_01_2013_13_41_13.0.rec";
  ASSERT_EQ(mkfifo(pipe_part.c_str(), 0600), 0);
  const ProcessResult demo = runTool({"demo", folder.path() + "/demo"});
  EXPECT_EQ(demo.exit_code, 1);
  EXPECT_EQ(demo.err, "kestrune demo: cannot write " + pipe_part + ": not a regular file\n");
}

// Recordings damaged from their first chunk give no frame: render and bench fail and say why.
TEST_F(HostileTool, RecordingsWithoutAFrameFailRenderAndBench) {
  const Bytes header = headerBytes();
  Bytes damaged = oneFrameChunk();
  damaged[6] ^= 0xFF;  // inside the zlib data, behind the length field and zlib's header
  Bytes truncated = joinBytes({header, oneFrameChunk()});
  truncated.resize(truncated.size() - 5);
  const std::string damaged_chunk = "the recording ends in a damaged chunk\n";
  const std::string no_frame = "the recording holds no frame\n";
  struct Case {
    std::string what;
    std::string path;
    std::string last_line;
  };
  const Case cases[] = {
      {"negative length", write("n.rec", joinBytes({header, lengthField(-5)})), damaged_chunk},
      {"damaged data", write("d.rec", joinBytes({header, damaged})), no_frame},
      {"truncated", write("t.rec", truncated), no_frame},
      {"bare magic", write("k.rec", Bytes{'K', 'R', 'E', 'C'}), no_frame},
      {"missing part",
       [&] {
         const std::vector<Bytes> parts = splitAt(joinBytes({header, oneFrameChunk()}), {270});
         EXPECT_TRUE(writeParts({parts[0]}, folder.file("p.%i.rec")));
         return folder.file("p.%i.rec");
       }(),
       damaged_chunk},
  };
  for (const Case& c : cases) {
    for (const std::string command : {"render", "bench"}) {
      std::vector<std::string> args = {command, c.path};
      if (command == "render") args = {command, c.path, "--out", folder.file("out")};
      const ProcessResult result = runTool(args);
      EXPECT_EQ(result.exit_code, 1) << command << " " << c.what;
      const std::string last = "kestrune " + command + ": " + c.last_line;
      EXPECT_TRUE(result.err.size() >= last.size() &&
                  result.err.compare(result.err.size() - last.size(), last.size(), last) == 0)
          << command << " " << c.what << ": " << result.err;
    }
  }
}

// Textures lie beside part 0's real folder: a "%i" in a folder name belongs to the folder.
TEST_F(HostileTool, ATextureFolderBesideAFolderNamedWithPercentI) {
  std::array<uint64_t, 32> ids = {};
  ids[0] = 0xAB;
  BmpPicture picture;
  picture.width = 2;
  picture.height = 2;
  picture.palette = {{255, 130, 3}};
  picture.indices = {0, 0, 0, 0};
  ASSERT_TRUE(writeBmpFile(folder.file("Video/TexDump/00000000000000AB.bmp"), picture));
  write("Video/S0/r.rec", joinBytes({headerBytes(ids), oneFrameChunk()}));
  const std::string path = folder.path() + "/Video/S%i/r.rec";
  for (const std::string command : {"render", "bench"}) {
    std::vector<std::string> args = {command, path};
    if (command == "render") args = {command, path, "--out", folder.file("out")};
    const ProcessResult result = runTool(args);
    EXPECT_EQ(result.exit_code, 0) << command << ": " << result.err;
    EXPECT_EQ(result.err, "Texture #1 (00000000000000AB.bmp)\n") << command;
  }
}

// Bytes of a file name that are not UTF-8 become U+FFFD in bench's JSON.
TEST_F(HostileTool, BenchJsonStaysValidForAnyFileName) {
  const std::string path = folder.path() + "/r\xFF\xC3.rec";
  ASSERT_TRUE(writeFileBytes(path, joinBytes({headerBytes(), oneFrameChunk()})));
  const ProcessResult result = runTool({"bench", path, "--json"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::string expected = "{\"recording\": \"" + folder.path() + "/r\\ufffd\\ufffd.rec\", ";
  EXPECT_EQ(result.out.substr(0, expected.size()), expected);
}

TEST_F(HostileTool, AnEmptyOutputFolderIsBadUsage) {
  const ProcessResult demo = runTool({"demo", ""}, folder.path());
  EXPECT_EQ(demo.exit_code, 2);
  EXPECT_EQ(demo.err, "kestrune demo: the output folder is empty\nusage: kestrune demo OUTDIR [--frames N --triangles N [--fps N] [--seed N] [--part-size BYTES]]\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "/Video"));
}

// Memory that runs out while the buffers are made is reported as that, with exit code 1: a
// 32768 x 32768 desktop wants 2 GiB of render buffer and 2 GiB of depth, more than 3 GB allow.
TEST_F(HostileTool, BuffersThatDoNotFitInMemoryAreReported) {
  if (kProgramsUnderAddressSanitizer) GTEST_SKIP() << "a sanitized program ignores memory limits";
  const std::string rec = recording();
  const ProcessResult tool =
      runToolAfter("ulimit -v 3000000", {"render", rec, "--out", "out", "--desktop", "32768x32768"},
                   folder.path());
  EXPECT_EQ(tool.exit_code, 1);
  EXPECT_EQ(tool.err,
            "Error: Could not initialize ZBuffer\n"
            "kestrune render: no memory for a 32768x32768 render buffer\n");

  ProcessOptions options;
  options.arguments = {rec};
  options.environment = {"KESTRUNE_PRESENTER=headless", "KESTRUNE_DESKTOP=32768x32768"};
  const ProcessResult player = runThroughShell("ulimit -v 3000000", KESTRUNE_PLAYER_PATH, options);
  EXPECT_EQ(player.exit_code, 1);
  EXPECT_EQ(player.out, "Error: Could not initialize ZBuffer\n");
}
