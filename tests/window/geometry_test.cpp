// The scalable window's arithmetic against values worked out by hand from its rules: the outer
// size table, the full-screen margins, the mouse and cursor mappings and the stretch rectangle.
#include "window/geometry.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A 640 x 480 screen on a 1280 x 1024 desktop, in a frame 8 wide and 30 high.
PlacementInputs request(int32_t width, int32_t height) {
  PlacementInputs in;
  in.width = width;
  in.height = height;
  in.mode_width = 640;
  in.mode_height = 480;
  in.desktop_width = 1280;
  in.desktop_height = 1024;
  in.frame_width = 8;
  in.frame_height = 30;
  return in;
}

void expectPlacement(const WindowPlacement& got, int32_t x, int32_t y, int32_t width,
                     int32_t height, uint32_t flags) {
  EXPECT_EQ(got.x, x);
  EXPECT_EQ(got.y, y);
  EXPECT_EQ(got.width, width);
  EXPECT_EQ(got.height, height);
  EXPECT_EQ(got.flags, flags);
}

int32_t packParam(int32_t x, int32_t y) {
  return static_cast<int32_t>((static_cast<uint32_t>(y) << 16) |
                              (static_cast<uint32_t>(x) & 0xFFFF));
}

TEST(OuterPlacement, PlayersCallGivesHalfTheDesktopCentredWithoutTopmost) {
  // 960 x 540 client on 1920 x 1080, frame 16 x 39: outer 976 x 579 at ((1920 - 976) / 2,
  // (1080 - 579) / 2) = (472, 250), the odd 501 truncated.
  PlacementInputs in;
  in.width = 960;
  in.height = 540;
  in.mode_width = 960;
  in.mode_height = 540;
  in.desktop_width = 1920;
  in.desktop_height = 1080;
  in.frame_width = 16;
  in.frame_height = 39;
  WindowPlacement got = outerPlacement(in);
  expectPlacement(got, 472, 250, 976, 579, kPlaceKeepZOrder);
  EXPECT_EQ(got.width - in.frame_width, 960);
  EXPECT_EQ(got.height - in.frame_height, 540);
}

TEST(OuterPlacement, EveryRowOfTheTable) {
  // Client sizes above 0 add the frame.
  expectPlacement(outerPlacement(request(400, 300)), 436, 347, 408, 330, kPlaceKeepZOrder);
  // 0 means the desktop's side.
  expectPlacement(outerPlacement(request(400, 0)), 436, 0, 408, 1024, kPlaceTopmost);
  // 401 x 480 / 640 = 300.75, truncated to 300.
  expectPlacement(outerPlacement(request(401, -1)), 435, 347, 409, 330, kPlaceTopmost);
  expectPlacement(outerPlacement(request(0, 300)), 0, 347, 1280, 330, kPlaceTopmost);
  expectPlacement(outerPlacement(request(0, 0)), 0, 0, 1280, 1024, kPlaceTopmost);
  // (1280 - 8) x 480 / 640 = 954, plus the frame 30.
  expectPlacement(outerPlacement(request(0, -5)), 0, 20, 1280, 984, kPlaceTopmost);
  // 301 x 640 / 480 = 401.33 -> 401, plus 8; y = (1024 - 331) / 2 = 346.
  expectPlacement(outerPlacement(request(-1, 301)), 435, 346, 409, 331, kPlaceTopmost);
  // (1024 - 30) x 640 / 480 = 1325.33 -> 1325, plus 8 = 1333, wider than the desktop:
  // x = (1280 - 1333) / 2 = -26, truncated toward zero.
  expectPlacement(outerPlacement(request(-1, 0)), -26, 0, 1333, 1024, kPlaceTopmost);
  // Both below 0: taken as client sizes.
  expectPlacement(outerPlacement(request(-200, -100)), 736, 547, -192, -70, kPlaceTopmost);
}

TEST(OuterPlacement, ProductsWrapAsSigned32Bit) {
  // 5000000 x 480 = 2400000000 wraps to -1894967296; / 640 = -2960886 (truncated);
  // plus 30 = -2960856.
  WindowPlacement got = outerPlacement(request(5000000, -1));
  expectPlacement(got, -2499364, 1480940, 5000008, -2960856, kPlaceTopmost);
}

TEST(OuterPlacement, AspectFromAModeOfZeroGivesOnlyTheFrame) {
  PlacementInputs in = request(-1, 300);
  in.mode_height = 0;
  expectPlacement(outerPlacement(in), 636, 347, 8, 330, kPlaceTopmost);
}

TEST(LetterboxMargins, FitTheModeIntoTheDisplay) {
  // 960 x 540 on 1920 x 1080: fitWidth 1920, no margins.
  EXPECT_EQ(letterboxMargins(960, 540, 1920, 1080, true).x, 0);
  EXPECT_EQ(letterboxMargins(960, 540, 1920, 1080, true).y, 0);
  // 1024 x 768 on 1920 x 1080: fitWidth 1440, marginX (1920 - 1440) / 2 = 240.
  EXPECT_EQ(letterboxMargins(1024, 768, 1920, 1080, true).x, 240);
  EXPECT_EQ(letterboxMargins(1024, 768, 1920, 1080, true).y, 0);
  // 800 x 600 on 1280 x 1024: fitWidth 1365 > 1280, fitHeight 960, marginY 32.
  EXPECT_EQ(letterboxMargins(800, 600, 1280, 1024, true).x, 0);
  EXPECT_EQ(letterboxMargins(800, 600, 1280, 1024, true).y, 32);
  // 640 x 480 on 1366 x 768: fitWidth 1024, marginX 342 / 2 = 171.
  EXPECT_EQ(letterboxMargins(640, 480, 1366, 768, true).x, 171);
}

TEST(LetterboxMargins, NoneWithoutKeepAspectOrWithoutAMode) {
  Margins free = letterboxMargins(1024, 768, 1920, 1080, false);
  EXPECT_EQ(free.x, 0);
  EXPECT_EQ(free.y, 0);
  Margins unknown = letterboxMargins(1024, 0, 1920, 1080, true);
  EXPECT_EQ(unknown.x, 0);
  EXPECT_EQ(unknown.y, 0);
}

TEST(LetterboxedClient, MarginsComeOffTheSides) {
  Rect32 sides = letterboxedClient(1920, 1080, Margins{240, 0}, false);
  EXPECT_EQ(sides.x, 240);
  EXPECT_EQ(sides.y, 0);
  EXPECT_EQ(sides.width, 1440);
  EXPECT_EQ(sides.height, 1080);
  Rect32 bands = letterboxedClient(1280, 1024, Margins{0, 32}, false);
  EXPECT_EQ(bands.y, 32);
  EXPECT_EQ(bands.height, 960);
  // Without the top margin the bottom one stays: 1024 - 32.
  Rect32 open_top = letterboxedClient(1280, 1024, Margins{0, 32}, true);
  EXPECT_EQ(open_top.y, 0);
  EXPECT_EQ(open_top.height, 992);
}

TEST(MouseMapping, LastClientPixelLandsInsideTheScreen) {
  // 1000 x 700 client, 640 x 480 screen: 999 x 640 / 1000 = 639.36 -> 639,
  // 699 x 480 / 700 = 479.3 -> 479.
  int32_t mapped = mapMouseParam(packParam(999, 699), 1000, 700, 640, 480);
  EXPECT_EQ(mapped, 479 * 65536 + 639);
  Point32 point = clientToScreenPixels(Point32{999, 699}, 1000, 700, 640, 480);
  EXPECT_EQ(point.x, 639);
  EXPECT_EQ(point.y, 479);
}

TEST(MouseMapping, NegativePositionsKeepTheirSign) {
  // x = -10 in the low half (0xFFF6): -6400 / 1000 = -6 (0xFFFA); y = 5 -> 2400 / 700 = 3.
  EXPECT_EQ(mapMouseParam((5 << 16) | 0xFFF6, 1000, 700, 640, 480), 3 * 65536 + 0xFFFA);
  // y = -3 in the high half: -1440 / 700 = -2; x = 100 -> 64. (-2 << 16) | 64 = -131008.
  EXPECT_EQ(mapMouseParam(-3 * 65536 + 100, 1000, 700, 640, 480), -131008);
}

TEST(MouseMapping, EmptyClientAreaLeavesThePositionAlone) {
  EXPECT_EQ(mapMouseParam(packParam(12, 34), 0, 0, 640, 480), packParam(12, 34));
  // Only the empty side is left; 12 x 640 / 1000 = 7.
  EXPECT_EQ(mapMouseParam(packParam(12, 34), 1000, 0, 640, 480), packParam(7, 34));
}

TEST(CursorPlacement, ScreenPixelsGoToTheClientArea) {
  CursorPlacement centre = cursorPlacement(320, 240, 1000, 700, 640, 480);
  EXPECT_EQ(centre.move, CursorMove::kPlace);
  EXPECT_EQ(centre.client.x, 500);
  EXPECT_EQ(centre.client.y, 350);
  // 639 x 1000 / 640 = 998.4 -> 998; 479 x 700 / 480 = 698.5 -> 698.
  CursorPlacement corner = cursorPlacement(639, 479, 1000, 700, 640, 480);
  EXPECT_EQ(corner.move, CursorMove::kPlace);
  EXPECT_EQ(corner.client.x, 998);
  EXPECT_EQ(corner.client.y, 698);
}

TEST(CursorPlacement, PointsOutsideTheScreenAreRefused) {
  EXPECT_EQ(cursorPlacement(640, 0, 1000, 700, 640, 480).move, CursorMove::kRefuse);
  EXPECT_EQ(cursorPlacement(0, 480, 1000, 700, 640, 480).move, CursorMove::kRefuse);
  // Negative values taken unsigned are huge.
  EXPECT_EQ(cursorPlacement(-1, 0, 1000, 700, 640, 480).move, CursorMove::kRefuse);
  EXPECT_EQ(cursorPlacement(0, 0, 1000, 700, 0, 0).move, CursorMove::kRefuse);
}

TEST(CursorPlacement, UnchangedCoordinateSkipsPlacementAndItsCheck) {
  EXPECT_EQ(cursorPlacement(kScaledMouseUnchanged, 100000, 1000, 700, 640, 480).move,
            CursorMove::kNone);
  EXPECT_EQ(cursorPlacement(100000, kScaledMouseUnchanged, 1000, 700, 640, 480).move,
            CursorMove::kNone);
}

TEST(StretchRect, ScalesTheSourceBandToTheClientArea) {
  // 1000 x 700 client, 640 x 480 screen: rows 100..149 land at 100 x 700 / 480 = 145, height
  // 50 x 700 / 480 = 72.9 -> 72; the full width becomes 1000.
  Rect32 band = stretchRect(Rect32{0, 100, 640, 50}, 1000, 700, 640, 480);
  EXPECT_EQ(band.x, 0);
  EXPECT_EQ(band.y, 145);
  EXPECT_EQ(band.width, 1000);
  EXPECT_EQ(band.height, 72);
}

TEST(StretchRect, NothingBeforeTheFirstSizeOrWithoutAMode) {
  Rect32 unsized = stretchRect(Rect32{0, 0, 640, 480}, 0, 0, 640, 480);
  EXPECT_EQ(unsized.width, 0);
  EXPECT_EQ(unsized.height, 0);
  Rect32 no_mode = stretchRect(Rect32{10, 10, 640, 480}, 1000, 700, 0, 0);
  EXPECT_EQ(no_mode.x, 0);
  EXPECT_EQ(no_mode.width, 0);
  EXPECT_EQ(no_mode.height, 0);
}

TEST(BorderColour, ComponentsModulo256InBgrOrder) {
  EXPECT_EQ(borderColourOf(0x12, 0x34, 0x56), 0x00563412u);
  EXPECT_EQ(borderColourOf(257, -1, 511), 0x00FFFF01u);
}

}  // namespace
