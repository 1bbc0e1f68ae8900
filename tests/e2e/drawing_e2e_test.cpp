// The drawing path end to end, headless: records walked through the real renderer into the
// render buffer, frame marks presenting the 2:1 filtered picture into the window, textures from
// dumps on disk; and the player's start-up failure when the screen does not open.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "player/record_walk.h"
#include "player/render_target.h"
#include "player/texture_loader.h"
#include "player/triangle_drawing.h"
#include "runtime/presenter_headless.h"
#include "runtime/screen.h"
#include "tests/e2e/player_run.h"
#include "tests/support/runtime_state.h"
#include "tools/bmp_writer.h"

namespace {

constexpr Pixel565 rgb(int red, int green, int blue) {
  return static_cast<Pixel565>((red << 11) | (green << 5) | blue);
}

// The clock pacing reads: marks stamped 0 are due exactly now unless a test moves it.
double now = 0;

Bytes fullScreen(int slot, int mode, uint16_t colour) {
  return screenCoveringTriangles(colour, static_cast<uint8_t>(slot), static_cast<uint8_t>(mode));
}

// A dump of 4 x 4 texels of one palette colour.
BmpPicture plainTexture(BmpColour colour) {
  BmpPicture picture;
  picture.width = 4;
  picture.height = 4;
  picture.palette = {colour};
  picture.indices.assign(16, 0);
  return picture;
}

constexpr int kBlackSlot = 1;
constexpr int kOrangeSlot = 2;

constexpr size_t kWindowPixels = 16 * 9;

// A window of 16 x 9 pixels over a 32 x 18 render buffer (the shape of a 1920 x 1080 desktop),
// opened as the player opens it, with two textures loaded from dumps: black (the key colour) and
// orange (255, 130, 3).
class DrawingPath : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntimeState();
    setPreferredPresenter("headless");
    setEnvironment("KESTRUNE_DESKTOP", "32x18");
    now = 0;
    ASSERT_TRUE(openRenderTarget(target_));
    const std::string dumps = folder_.path() + "/";
    ASSERT_TRUE(writeBmpFile(textureDumpPath(dumps, 1), plainTexture({0, 0, 0})));
    ASSERT_TRUE(writeBmpFile(textureDumpPath(dumps, 2), plainTexture({255, 130, 3})));
    RecordingHeader header;
    header.texture_ids[kBlackSlot - 1] = 1;
    header.texture_ids[kOrangeSlot - 1] = 2;
    testing::internal::CaptureStdout();
    loadTexturesWith(header, rendererTextureCalls(), table_, dumps);
    ASSERT_EQ(testing::internal::GetCapturedStdout(),
              "Texture #1 (0000000000000001.bmp)\nTexture #2 (0000000000000002.bmp)\n");
    PacingServices services = realPacingServices(target_);
    services.timer = [] { return now; };
    services.sleep = [](int, int) { return 0; };
    services.key_down = [](int) { return 0; };
    services.read_key = [] { return std::string(); };
    playback_ = startPlayback(services, {{}, &rendererDrawingCalls(), &table_});
  }
  void TearDown() override {
    closeRenderSurface(target_);
    resetRuntimeState();
    setEnvironment("KESTRUNE_DESKTOP", nullptr);
  }

  void walk(const Bytes& records) {
    EXPECT_EQ(walkRecords(playback_, records.data(), int64_t(records.size())), PlaybackStep::kGoOn);
  }

  std::vector<Pixel565> window() {
    const auto* pixels = static_cast<const Pixel565*>(screenPixels());
    return std::vector<Pixel565>(pixels, pixels + kWindowPixels);
  }

  static std::vector<Pixel565> filled(Pixel565 pixel) {
    return std::vector<Pixel565>(kWindowPixels, pixel);
  }

  TempFolder folder_;
  TextureTable table_;
  RenderTarget target_;
  PlaybackState playback_;
};

}  // namespace

// Colour 0xF6A3 is (0.4, 10/15, 3/15): the renderer's integers 26419, 43520 and 13721 keep
// their top 5, 6 and 5 bits (12, 42, 6), all even, so the filter keeps them. Orange texels are
// (252, 128, 0), 5-6-5 (31, 32, 0); the filter takes red 31 to 30.
TEST_F(DrawingPath, FramesReachTheWindow) {
  walk(joinBytes({fullScreen(0, 0, 0xF6A3), frameMarkBytes(0)}));
  EXPECT_EQ(window(), filled(rgb(12, 42, 6)));
  walk(joinBytes({fullScreen(kOrangeSlot, 0, 0), frameMarkBytes(0)}));
  EXPECT_EQ(window(), filled(rgb(30, 32, 0)));
  HeadlessFrame shown;
  EXPECT_TRUE(waitUntil(
      [&] {
        return headlessPresented(&shown) &&
               std::memcmp(shown.pixels.data(), filled(rgb(30, 32, 0)).data(), 2 * kWindowPixels) ==
                   0;
      },
      5.0));
}

// Blending leaves black texels out: with modes 1 and 2 the background shows through. Modes 3
// to 7 keep what the mode before them set, here the background's mode. Untextured triangles
// draw the same whatever the mode.
TEST_F(DrawingPath, BlendModesAndTheKeyColour) {
  const Pixel565 background = rgb(12, 42, 6);
  walk(joinBytes({fullScreen(0, 0, 0xF6A3), fullScreen(kBlackSlot, 1, 0), frameMarkBytes(0)}));
  EXPECT_EQ(window(), filled(background));
  walk(joinBytes({fullScreen(0, 0, 0xF6A3), fullScreen(kBlackSlot, 2, 0), frameMarkBytes(0)}));
  EXPECT_EQ(window(), filled(background));
  walk(joinBytes({fullScreen(0, 0, 0xF6A3), fullScreen(kBlackSlot, 0, 0), frameMarkBytes(0)}));
  EXPECT_EQ(window(), filled(0));
  walk(joinBytes({fullScreen(0, 1, 0xF6A3), fullScreen(kBlackSlot, 5, 0), frameMarkBytes(0)}));
  EXPECT_EQ(window(), filled(background));
  walk(joinBytes({fullScreen(0, 0, 0xF6A3), fullScreen(kBlackSlot, 3, 0), frameMarkBytes(0)}));
  EXPECT_EQ(window(), filled(0));
}

// A mark that is already late drops the next frame: its triangles are not drawn and the mark
// after them presents nothing, so the window keeps the frame before.
TEST_F(DrawingPath, DroppedFramesAreNotDrawn) {
  walk(joinBytes({fullScreen(0, 0, 0xF6A3), frameMarkBytes(0)}));
  now = 1;  // the next mark, stamped 0, is a second late
  walk(joinBytes({fullScreen(0, 0, 0xF6A3), frameMarkBytes(0)}));
  EXPECT_TRUE(playback_.pacing.skip);
  walk(joinBytes({fullScreen(kOrangeSlot, 0, 0), frameMarkBytes(1)}));
  EXPECT_FALSE(playback_.pacing.skip);
  EXPECT_EQ(window(), filled(rgb(12, 42, 6)));
  EXPECT_EQ(target_.render_buffer[1], rgb(12, 42, 6));  // nothing drawn either
  walk(joinBytes({fullScreen(kOrangeSlot, 0, 0), frameMarkBytes(1)}));
  EXPECT_EQ(window(), filled(rgb(30, 32, 0)));
}

class PlayerStart : public PlayerRun {};

// A 1 x 1 desktop asks for a window of 0 x 0, which no presenter opens: the message, no wait
// (standard input is closed), exit code 0, nothing played.
TEST_F(PlayerStart, ScreenThatDoesNotOpen) {
  const std::string path =
      writeRecording("rec.rec", joinBytes({headerBytes(), quietChunk(), pointsChunk()}));
  ProcessOptions small;
  small.environment = {"KESTRUNE_DESKTOP=1x1"};
  EXPECT_EQ(play({path}, "", small), "Error: Could not open the screen\n");
}

// On a desktop of odd size the player opens, draws and presents every frame and ends normally.
TEST_F(PlayerStart, PlaysOnAnOddDesktop) {
  const std::string path =
      writeRecording("rec.rec", joinBytes({headerBytes(), quietChunk(), pointsChunk()}));
  ProcessOptions odd;
  odd.environment = {"KESTRUNE_DESKTOP=1366x767"};
  EXPECT_EQ(play({path}, "", odd), std::string(kPoints) + "Done.");
}
