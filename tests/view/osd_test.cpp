// The on-screen display against values worked out by hand: the 5-6-5 blend, the bar's hit test,
// the band and bar colours, text drawn where it is placed, and drawing that stays inside the
// canvas (guard words around it and each row's padding beyond its width stay untouched).
#include "tools/view/osd.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

constexpr Pixel565 kGuard = 0xA5A5;
constexpr Pixel565 kGray = 0x8410;  // 5-6-5 channels 16, 32, 16
constexpr int kGuardWords = 4096;

// A canvas inside a buffer with guard words before and after it and padding past each row.
struct GuardedCanvas {
  std::vector<Pixel565> buffer;
  OsdCanvas canvas;
  GuardedCanvas(int width, int height, int pitch, Pixel565 fill) {
    buffer.assign(2 * kGuardWords + static_cast<size_t>(pitch) * height, kGuard);
    canvas = OsdCanvas{buffer.data() + kGuardWords, width, height, pitch};
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) at(x, y) = fill;
    }
  }
  Pixel565& at(int x, int y) { return canvas.pixels[static_cast<size_t>(y) * canvas.pitch + x]; }
  // Every word outside the canvas's width x height still holds the guard value.
  bool outsideUntouched() const {
    for (size_t i = 0; i < buffer.size(); ++i) {
      const int64_t offset = static_cast<int64_t>(i) - kGuardWords;
      const bool inside = offset >= 0 && offset < int64_t{canvas.pitch} * canvas.height &&
                          offset % canvas.pitch < canvas.width;
      if (!inside && buffer[i] != kGuard) return false;
    }
    return true;
  }
};

// Brighter than kGray in every channel.
bool bright(Pixel565 p) { return (p >> 11) > 16 && ((p >> 5) & 0x3F) > 32 && (p & 0x1F) > 16; }

TEST(OsdBlend, MixesEachChannelByTheDocumentedRounding) {
  struct Case {
    Pixel565 under, over;
    int alpha;
    Pixel565 expected;
  };
  const Case cases[] = {
      {0xFFFF, 0x0000, 0, 0xFFFF},
      {0xFFFF, 0x0000, 256, 0x0000},
      {0x1234, 0xABCD, 300, 0xABCD},
      {0x1234, 0xABCD, -5, 0x1234},
      // 31*128+128 >> 8 = 16, 63*128+128 >> 8 = 32.
      {0xFFFF, 0x0000, 128, 0x8410},
      // The shade's alpha: 31*96+128 >> 8 = 12, 63*96+128 >> 8 = 24.
      {0xFFFF, 0x0000, 160, 0x630C},
      // Red 31*192+128 >> 8 = 23, blue 31*64+128 >> 8 = 8.
      {0xF800, 0x001F, 64, 0xB808},
      // Green 1*156 + 62*100 + 128 = 6484, >> 8 = 25.
      {0x0020, 0x07C0, 100, 0x0320},
      // 63*255+128 >> 8 = 63 both ways: one step of alpha never moves a full channel.
      {0x07E0, 0x0000, 1, 0x07E0},
      {0x0000, 0x07E0, 255, 0x07E0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(osdBlend(c.under, c.over, c.alpha), c.expected)
        << std::hex << c.under << " " << c.over << " " << std::dec << c.alpha;
  }
}

TEST(OsdLayout, FontHeightAndBarFollowTheCanvasHeight) {
  const int heights[][2] = {{48, 9}, {270, 9}, {300, 10}, {540, 18}, {1080, 36}, {2160, 48}};
  for (const auto& h : heights) EXPECT_EQ(osdFontHeight(h[0]), h[1]) << h[0];
  // 960 x 540: font 18, margin 9, pad 6, knob 6, band 6+18+3+13+6 = 46 rows from row 494; text
  // at 500, the knob's top row 521, track 18/4 = 4 rows from 521+6-2.
  const OsdRect bar = osdBarRect(960, 540);
  EXPECT_EQ(bar.x, 9);
  EXPECT_EQ(bar.y, 525);
  EXPECT_EQ(bar.width, 942);
  EXPECT_EQ(bar.height, 4);
}

TEST(OsdBarFraction, MapsTheTrackOntoZeroToOneWithSlackAndMisses) {
  // Bar 9..950 x 525..528 on 960 x 540, slack 6 + 6/2 = 9 on every side.
  struct Case {
    int x, y;
    double expected;
  };
  const Case cases[] = {
      {9, 526, 0.0},  {950, 526, 1.0}, {480, 526, 471.0 / 941.0},
      {0, 516, 0.0},  {959, 537, 1.0}, {-1, 526, -1},
      {960, 526, -1}, {480, 515, -1},  {480, 538, -1},
      {480, 100, -1},
  };
  for (const Case& c : cases) {
    const double got = osdBarFraction(960, 540, c.x, c.y);
    if (c.expected < 0) {
      EXPECT_LT(got, 0) << c.x << "," << c.y;
    } else {
      EXPECT_DOUBLE_EQ(got, c.expected) << c.x << "," << c.y;
    }
  }
}

TEST(OsdDraw, BandShadesTheBottomRowsAndTheBarShowsItsParts) {
  // 320 x 240: font 9, margin 4, pad 3, knob 3, band 3+9+1+7+3 = 23 rows from row 217; track 3
  // rows from 230+3-1 = 232, columns 4..315; the knob at column 4.5 + 0.5*311 = 160.
  const OsdFontPtr font = makeOsdFont(osdFontHeight(240));
  ASSERT_TRUE(font);
  GuardedCanvas g(320, 240, 320, kGray);
  OsdContent content;
  content.position = 0.5;
  content.drawn_ahead = 0.75;
  content.loop_a = 0.25;
  drawOsd(g.canvas, *font, content);
  for (int y = 0; y < 240; ++y) {
    // Gray under black at 160/256: 16*96+128 >> 8 = 6, 32*96+128 >> 8 = 12.
    const Pixel565 expected = y < 217 ? kGray : 0x3186;
    ASSERT_EQ(g.at(0, y), expected) << y;
    ASSERT_EQ(g.at(319, y), expected) << y;
  }
  EXPECT_EQ(g.at(14, 233), 0xFFFF);   // played
  EXPECT_EQ(g.at(206, 234), 0x8C51);  // drawn ahead: 136,136,136 as 17,34,17
  EXPECT_EQ(g.at(310, 233), 0x4208);  // the rest: 64,64,64 as 8,16,8
  // Loop A's tick, 2 columns about 4.5 + 0.25*311 = 82.25 and 5 rows about the track: 255,192,0
  // as 31,48,0.
  EXPECT_EQ(g.at(82, 233), 0xFE00);
  EXPECT_EQ(g.at(81, 231), 0xFE00);

  GuardedCanvas plain(320, 240, 320, kGray);
  content.show_bar = false;
  drawOsd(plain.canvas, *font, content);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) ASSERT_EQ(plain.at(x, y), kGray) << x << "," << y;
  }
}

TEST(OsdText, LightsPixelsOnlyInsideItsBoxAndOutlinesThem) {
  const OsdFontPtr font = makeOsdFont(18);
  ASSERT_TRUE(font);
  GuardedCanvas g(200, 60, 200, kGray);
  const int width = osdTextWidth(*font, "IIII");
  ASSERT_GT(width, 8);
  drawOsdText(g.canvas, *font, 20, 10, "IIII", 1);
  int inside = 0, outside = 0, darker = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 200; ++x) {
      const bool in_box = x >= 20 && x < 20 + width && y >= 10 && y < 28;
      if (bright(g.at(x, y))) ++(in_box ? inside : outside);
      if ((g.at(x, y) >> 11) < 16) ++darker;  // the outline
    }
  }
  EXPECT_GT(inside, 4 * 8);  // four stems, each at least 8 rows tall
  EXPECT_EQ(outside, 0);
  EXPECT_GT(darker, 0);

  // Bytes outside printable ASCII draw as '?', one per UTF-8 character.
  GuardedCanvas odd(200, 60, 200, kGray), question(200, 60, 200, kGray);
  drawOsdText(odd.canvas, *font, 5, 5,
              "a\x01"
              "b\xC3\xA9",
              1);
  drawOsdText(question.canvas, *font, 5, 5, "a?b?", 1);
  EXPECT_EQ(odd.buffer, question.buffer);
}

TEST(OsdDraw, StaysInsideCanvasesOfEverySizeAndPitch) {
  OsdContent content;
  content.position = 1.0;
  content.drawn_ahead = std::numeric_limits<double>::quiet_NaN();
  content.loop_a = 0;
  content.loop_b = 7;
  content.time_text = std::string(400, 'W') + "01:23.4 / 10:00.0  frame 2500 / 18000";
  content.state_text = std::string(300, 'M') + " paused";
  content.lines.assign(200, std::string(500, 'j'));
  content.stats.assign(100, "g|_" + std::string(600, 'W'));
  const int sizes[][3] = {
      {64, 48, 64}, {64, 48, 67}, {97, 61, 130}, {960, 540, 961}, {3840, 2160, 3845}};
  for (const auto& s : sizes) {
    const OsdFontPtr font = makeOsdFont(osdFontHeight(s[1]));
    ASSERT_TRUE(font);
    GuardedCanvas g(s[0], s[1], s[2], kGray);
    drawOsd(g.canvas, *font, content);
    EXPECT_TRUE(g.outsideUntouched()) << s[0] << "x" << s[1] << " pitch " << s[2];
    EXPECT_NE(g.at(0, s[1] - 1), kGray);  // the band reached the bottom-left corner
  }
}

}  // namespace
