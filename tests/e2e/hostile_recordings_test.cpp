// Hostile recordings and dumps played by the real headless player. Receives recordings written
// here; checks that each run ends by itself with exit code 0 and the expected messages, its peak
// memory under a bound that does not grow with what the files claim.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "player/texture_loader.h"
#include "tests/e2e/player_run.h"
#include "tools/bmp_writer.h"

namespace {

// Peak memory bounds. At the 64 x 48 desktop these runs use, the player's render target takes
// 50 kB and its chunk buffers 288 kB; with the program and its libraries it stays under the first
// bound whatever the stream holds (a run measures about 4 MB here). Textures add one index image
// at a time, at most 13 MB (kMaxTextureSide, kMaxTextureTexels), and 128 kB per renderer texture.
// Both are far below what the files claim: 10^9 bytes, 65535 x 65535 texels.
constexpr long kStreamBoundKb = 16 * 1024;
constexpr long kTextureBoundKb = 48 * 1024;
// A player built with AddressSanitizer (these tests in the sanitizer tree run that one) holds
// shadow memory and a quarantine of freed blocks: its resident set says nothing about the
// player's own allocations, and the bounds are checked only in the plain build.
constexpr bool kMemoryMeasured = !kProgramsUnderAddressSanitizer;
// Generous (a run takes seconds), and below the test's own limit so that a hang is reported here.
constexpr int kTimeLimitMs = 90000;

struct MeasuredRun {
  ProcessResult result;
  long peak_memory_kb = -1;  // the player's largest resident set
};

// Runs the program in a child of a forked copy of this process, so that the copy's record of its
// reaped children holds the player's peak memory alone, whatever ran in this process before.
MeasuredRun runMeasured(const std::string& program, const ProcessOptions& options) {
  int channel[2];
  if (pipe(channel) != 0) return {};
  const pid_t copy = fork();
  if (copy == 0) {
    close(channel[0]);
    const ProcessResult result = runProcess(program, options);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const std::string report = std::to_string(result.exit_code) + " " +
                               std::to_string(result.timed_out ? 1 : 0) + " " +
                               std::to_string(usage.ru_maxrss) + "\n" + result.out;
    ssize_t written = 0;
    while (written < static_cast<ssize_t>(report.size())) {
      const ssize_t n = write(channel[1], report.data() + written, report.size() - written);
      if (n <= 0) break;
      written += n;
    }
    _exit(0);
  }
  close(channel[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
  close(channel[0]);
  waitpid(copy, nullptr, 0);
  MeasuredRun run;
  int timed_out = 0;
  if (std::sscanf(report.c_str(), "%d %d %ld", &run.result.exit_code, &timed_out,
                  &run.peak_memory_kb) != 3) {
    return {};
  }
  run.result.timed_out = timed_out != 0;
  run.result.out = report.substr(report.find('\n') + 1);
  return run;
}

// The first `size` bytes of zlib's stream for `total` zero bytes, made piece by piece so that the
// zeros themselves are never held in memory.
Bytes zeroBomb(uint64_t total, size_t size = std::numeric_limits<size_t>::max()) {
  z_stream z{};
  deflateInit(&z, Z_BEST_COMPRESSION);
  static const std::vector<uint8_t> zeros(1 << 20, 0);
  Bytes out;
  uint8_t piece[1 << 16];
  int flush = Z_NO_FLUSH;
  while (out.size() < size) {
    if (z.avail_in == 0 && flush == Z_NO_FLUSH) {
      const uint64_t next = std::min<uint64_t>(total, zeros.size());
      total -= next;
      z.next_in = const_cast<uint8_t*>(zeros.data());
      z.avail_in = static_cast<uInt>(next);
      if (total == 0) flush = Z_FINISH;
    }
    z.next_out = piece;
    z.avail_out = sizeof piece;
    const int result = deflate(&z, flush);
    out.insert(out.end(), piece, piece + (sizeof piece - z.avail_out));
    if (result == Z_STREAM_END) break;
  }
  deflateEnd(&z);
  if (out.size() > size) out.resize(size);
  return out;
}

BmpPicture smallDump() {
  BmpPicture picture;
  picture.width = 2;
  picture.height = 2;
  picture.bits = 1;
  picture.palette = {{255, 130, 3}};
  picture.indices = {0, 0, 0, 0};
  return picture;
}

class HostileRun : public PlayerRun {
 protected:
  // A copy of the player in <folder>/bin, so that its dumps lie in <folder>/Video/TexDump.
  void SetUp() override { ASSERT_TRUE(copyExecutable(KESTRUNE_PLAYER_PATH, player_)); }

  // Plays the recording at `path` headless on a 64 x 48 desktop; checks that the player ended by
  // itself with `exit_code` and kept under the memory bound, and gives what it printed.
  std::string playHostile(const std::string& path, long bound_kb = kStreamBoundKb,
                          int exit_code = 0) {
    ProcessOptions options = headless({path});
    options.environment.push_back("KESTRUNE_DESKTOP=64x48");
    options.working_folder = folder.path();
    options.timeout_ms = kTimeLimitMs;
    const MeasuredRun run = runMeasured(player_, options);
    EXPECT_FALSE(run.result.timed_out) << "the player did not end; it printed: " << run.result.out;
    EXPECT_EQ(run.result.exit_code, exit_code);
    EXPECT_GT(run.peak_memory_kb, 0);
    if (kMemoryMeasured) {
      EXPECT_LT(run.peak_memory_kb, bound_kb);
    }
    return run.result.out;
  }

  std::string dumpPath(uint64_t id) {
    return folder.file("Video/TexDump/" + textureDumpPath("", id));
  }

  const std::string player_ = folder.file("bin/kestrune-player");
};

const Bytes kHeader = headerBytes();

}  // namespace

TEST_F(HostileRun, LengthFieldPointingPastTheFileEndsQuietly) {
  const Bytes single = joinBytes({kHeader, pointsChunk(), lengthField(30000), Bytes(100, 0x78)});
  EXPECT_EQ(playHostile(writeRecording("single.rec", single)), "Points Not implemented!\nDone.");

  // Parts as long as part 0 may be followed by more: the chunk runs on into part 1 and then
  // needs a part 2 that is not there.
  const Bytes part0 = joinBytes({kHeader, pointsChunk(), lengthField(30000)});
  const Bytes part1(part0.size(), 0x78);
  const std::string path_template = writePartFiles("r.%i.rec", {part0, part1});
  EXPECT_EQ(playHostile(path_template, kStreamBoundKb, 1),
            "Points Not implemented!\n" + partPath(path_template, 2) + "\nBroken Stream\nDone.");
}

TEST_F(HostileRun, BillionByteDecompressionBombStaysInTheOutputBuffer) {
  // The first 32768 bytes of a zlib stream of 10^9 zero bytes: inflating stops at the 262144
  // bytes of the output buffer, whose first record is kind 0.
  const Bytes cut_bomb = zeroBomb(1000000000, 32768);
  ASSERT_EQ(cut_bomb.size(), 32768u);
  const Bytes stream = joinBytes({kHeader, rawChunk(cut_bomb), pointsChunk()});
  EXPECT_EQ(playHostile(writeRecording("cut.rec", stream)),
            "Bad ID 0()!\nPoints Not implemented!\nDone.");

  // A whole stream of 30 MB of zeros fits in one chunk; it too stops at the buffer's end.
  const Bytes whole = zeroBomb(30000000);
  ASSERT_LE(whole.size(), 32768u);
  const Bytes packed = joinBytes({kHeader, rawChunk(whole), pointsChunk()});
  EXPECT_EQ(playHostile(writeRecording("whole.rec", packed)),
            "Bad ID 0()!\nPoints Not implemented!\nDone.");

  // The whole billion-byte stream does not fit in a chunk: its length field overflows.
  const Bytes bomb = zeroBomb(1000000000);
  EXPECT_GT(bomb.size(), 32768u);
  const Bytes too_long = joinBytes({kHeader, pointsChunk(), rawChunk(bomb)});
  EXPECT_EQ(playHostile(writeRecording("bomb.rec", too_long), kStreamBoundKb, 1),
            "Points Not implemented!\nOverflow on input buffer\n");
}

TEST_F(HostileRun, TenThousandEmptyPartFiles) {
  // Empty files are shorter than part 0: the first of them is the last part.
  std::vector<Bytes> parts = {joinBytes({kHeader, pointsChunk()})};
  parts.resize(10001);
  EXPECT_EQ(playHostile(writePartFiles("empty.%i.rec", parts)), "Points Not implemented!\nDone.");

  // Parts as long as part 0 that hold nothing but empty chunks (length fields of 0): all 10000
  // are read through, one open at a time, before the short last part.
  const Bytes four_empty = repeatBytes(lengthField(0), 4);
  std::vector<Bytes> hollow = {joinBytes({kHeader, four_empty})};
  for (int k = 1; k <= 10000; ++k) hollow.push_back(repeatBytes(lengthField(0), 70));
  ASSERT_EQ(hollow[1].size(), hollow[0].size());
  hollow.push_back(pointsChunk());
  EXPECT_EQ(playHostile(writePartFiles("hollow.%i.rec", hollow)), "Points Not implemented!\nDone.");
}

TEST_F(HostileRun, DumpOf65535By65535InATinyFileIsGivenNoImage) {
  Bytes dump = bmpBytes(smallDump());
  patchUint32(dump, kBmpWidthField, 65535);
  patchUint32(dump, kBmpHeightField, 65535);
  ASSERT_LT(dump.size(), 100u);
  ASSERT_TRUE(writeFileBytes(dumpPath(7), dump));
  std::array<uint64_t, 32> ids = {};
  ids[0] = 7;
  const Bytes stream = joinBytes({headerBytes(ids), quietChunk(), pointsChunk()});
  EXPECT_EQ(playHostile(writeRecording("r.rec", stream), kTextureBoundKb),
            "Texture #1 (0000000000000007.bmp)\nPoints Not implemented!\nDone.");
}

TEST_F(HostileRun, ThirtyTwoSlotsNamingTheSameHugeDump) {
  // One 5 GB file (sparse: only its headers are written) whose 1024 x 1024 rows lie beyond the
  // first 4 GB. Each slot loads it in turn: one 3 MB index image at a time, where 32 kept would
  // pass the bound.
  Bytes dump = bmpBytes(smallDump());
  patchUint32(dump, kBmpWidthField, 1024);
  patchUint32(dump, kBmpHeightField, 1024);
  patchUint32(dump, kBmpPixelOffsetField, 0xFFFF0000u);
  const std::string path = dumpPath(0xABCDEF0123456789);
  ASSERT_TRUE(writeFileBytes(path, dump));
  std::filesystem::resize_file(path, 5ull << 30);
  std::array<uint64_t, 32> ids;
  ids.fill(0xABCDEF0123456789);
  std::string expected;
  for (int slot = 1; slot <= 32; ++slot) {
    expected += "Texture #" + std::to_string(slot) + " (ABCDEF0123456789.bmp)\n";
  }
  const Bytes stream = joinBytes({headerBytes(ids), quietChunk(), pointsChunk()});
  EXPECT_EQ(playHostile(writeRecording("r.rec", stream), kTextureBoundKb),
            expected + "Points Not implemented!\nDone.");
}

TEST_F(HostileRun, NotANumberAndInfiniteTimeStampsNeitherHangNorStop) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Bytes records;
  for (float stamp : {nan, 0.0f, inf, 0.1f, -inf, 0.2f, 3e38f, -3e38f, nan, 0.3f}) {
    appendBytes(records, triangleRecordBytes(plainTriangle(0, 0, 255, 0, 0, 255, 0xF9A5)));
    appendBytes(records, frameMarkBytes(stamp));
  }
  const Bytes stream = joinBytes({kHeader, compressedChunk(records), pointsChunk()});
  EXPECT_EQ(playHostile(writeRecording("r.rec", stream)), "Points Not implemented!\nDone.");
}

TEST_F(HostileRun, NamedPipesInPlaceOfFilesAreNotWaitedFor) {
  // An archive can hold named pipes under a recording's or a dump's name; opening one for
  // reading would wait for a writer forever. They count as files that cannot be opened.
  const std::string pipe_path = folder.file("pipe.rec");
  ASSERT_EQ(mkfifo(pipe_path.c_str(), 0600), 0);
  EXPECT_EQ(playHostile(pipe_path, kStreamBoundKb, 1), "Failed to open video file\n");

  ASSERT_EQ(mkfifo(dumpPath(1).c_str(), 0600), 0);
  std::array<uint64_t, 32> ids = {};
  ids[0] = 1;
  const Bytes stream = joinBytes({headerBytes(ids), pointsChunk()});
  EXPECT_EQ(playHostile(writeRecording("r.rec", stream)),
            "Texture #1 (0000000000000001.bmp)\n"
            "Failed to open '../Video/TexDump/0000000000000001.bmp'\n"
            "Points Not implemented!\nDone.");
}
