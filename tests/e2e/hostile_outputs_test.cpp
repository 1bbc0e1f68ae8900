// The player against hostile surroundings: standard input closed, and frame dumps that cannot be
// written (a folder that is not there, a named pipe under a frame's name, a full disk). It must
// neither hang nor take a file for its keyboard, must say what failed and fail, and must leave no
// partial frame file.
#include <sys/stat.h>

#include <filesystem>

#include "tests/e2e/player_run.h"

namespace {

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class HostileOutputs : public PlayerRun {
 protected:
  // Plays three marks on a 64 x 48 desktop (32 x 24 frames of 1536 bytes), dumping them into
  // `dump_folder`, after the shell commands in `setup`. Gives standard output and error.
  ProcessResult playDumping(const std::string& dump_folder, const std::string& setup = ":") {
    const std::string path = writeRecording(
        "r.rec", joinBytes({headerBytes(), quietChunk(), quietChunk(), quietChunk()}));
    ProcessOptions options;
    options.arguments = {path};
    options.environment = {"KESTRUNE_PRESENTER=headless", "KESTRUNE_DESKTOP=64x48",
                           "KESTRUNE_FRAME_DUMP=" + dump_folder};
    options.working_folder = folder.path();
    return runThroughShell(setup, KESTRUNE_PLAYER_PATH, options);
  }
  // A path in the folder, without making its folders as TempFolder::file does.
  std::string pathIn(const std::string& relative) const { return folder.path() + "/" + relative; }
};

}  // namespace

// With descriptor 0 closed, part 0 would open as descriptor 0 and the keyboard would read the
// recording's bytes as keys: the Escape byte in its spare header field would stop playback.
TEST_F(PlayerRun, AClosedStandardInputIsNoKeyboard) {
  Bytes header = headerBytes();
  header[4] = 27;  // the spare field, which the player never reads
  const std::string path =
      writeRecording("r.rec", joinBytes({header, quietChunk(), pointsChunk()}));
  ProcessOptions options;
  options.arguments = {path};
  const ProcessResult result = runThroughShell("exec 0<&-", KESTRUNE_PLAYER_PATH, options);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.out, std::string(kPoints) + "Done.");
  EXPECT_EQ(result.exit_code, 0);
}

// Three marks stamped 0.25 s: the first is waited for and presented, the second is presented
// late, so the third is dropped, however fast the machine is. Two whole frames are dumped.
TEST_F(HostileOutputs, EachPresentedFrameIsDumpedWhole) {
  const ProcessResult result = playDumping(pathIn("frames"), "mkdir frames");
  EXPECT_EQ(result.out, "Done.");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(filesIn(pathIn("frames")),
            (std::vector<std::string>{"frame_000000.raw", "frame_000001.raw"}));
  EXPECT_EQ(std::filesystem::file_size(pathIn("frames/frame_000001.raw")), 1536u);
}

TEST_F(HostileOutputs, AMissingFolderIsReportedAndFails) {
  const std::string frame = pathIn("none/frame_000000.raw");
  const ProcessResult result = playDumping(pathIn("none"));
  EXPECT_EQ(result.out, "Done.");
  EXPECT_EQ(result.err, "Frame dump: cannot write " + frame + ": No such file or directory\n");
  EXPECT_EQ(result.exit_code, 1);
}

// A named pipe is refused at once: opening it for writing would wait for a reader, holding the
// screen's lock, and then neither Escape nor the end of playback would get through.
TEST_F(HostileOutputs, ANamedPipeInPlaceOfAFrameIsNotWaitedFor) {
  std::filesystem::create_directory(folder.file("frames"));
  const std::string frame = folder.file("frames/frame_000000.raw");
  ASSERT_EQ(mkfifo(frame.c_str(), 0600), 0);
  const ProcessResult result = playDumping(folder.file("frames"));
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.out, "Done.");
  EXPECT_EQ(result.err, "Frame dump: cannot write " + frame + ": not a regular file\n");
  EXPECT_EQ(result.exit_code, 1);
}

// A file-size limit of 1024 bytes stands for a full disk: the first frame's 1536 bytes do not
// fit. The failure is reported, and no partial file is left behind.
TEST_F(HostileOutputs, AFullDiskLeavesNoPartialFrame) {
  const ProcessResult result =
      playDumping(pathIn("frames"), "mkdir frames; trap '' XFSZ; ulimit -f 2");
  EXPECT_EQ(result.out, "Done.");
  EXPECT_EQ(result.err,
            "Frame dump: cannot write " + pathIn("frames/frame_000000.raw") + ": File too large\n");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(filesIn(folder.file("frames")), std::vector<std::string>{});
}
