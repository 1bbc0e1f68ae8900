// Reading a desktop size from text, as KESTRUNE_DESKTOP (sides from 1) and the tool's --desktop
// (sides from 2) give it: which texts are taken and with what sides, up to the shared limit of
// 32768. Receives texts; hands on nothing.
#include "runtime/desktop_size.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DesktopSize, SidesFromTheSmallestTo32768AreTakenAndNothingElse) {
  struct Taken {
    const char* text;
    int32_t smallest, width, height;
  };
  // Leading zeros are digits like any other.
  const Taken taken[] = {
      {"1920x1080", 2, 1920, 1080},     {"640X480", 2, 640, 480}, {"2x2", 2, 2, 2},
      {"32768x32768", 2, 32768, 32768}, {"0064x0048", 2, 64, 48}, {"1x1", 1, 1, 1},
      {"1x32768", 1, 1, 32768}};
  for (const Taken& c : taken) {
    int32_t width = -1, height = -1;
    EXPECT_TRUE(readDesktopSize(c.text, c.smallest, &width, &height)) << c.text;
    EXPECT_EQ(width, c.width) << c.text;
    EXPECT_EQ(height, c.height) << c.text;
  }
  struct Refused {
    std::string text;
    int32_t smallest;
  };
  // 4294967298 is 2^32 + 2, which must not wrap into range; a NUL ends nothing.
  const Refused refused[] = {{"32769x2", 1},
                             {"2x32769", 1},
                             {"1x480", 2},
                             {"640x1", 2},
                             {"0x5", 1},
                             {"5x0", 1},
                             {"4294967298x4", 1},
                             {"99999999999999999999999x4", 1},
                             {"", 1},
                             {"640", 1},
                             {"x480", 1},
                             {"640x", 1},
                             {"640x480x2", 1},
                             {"640xx480", 1},
                             {"+640x480", 1},
                             {"640x-480", 1},
                             {" 640x480", 1},
                             {"640x480 ", 1},
                             {"640 x 480", 1},
                             {std::string("640x48") + '\0' + "0", 1}};
  for (const Refused& c : refused) {
    int32_t width = -1, height = -1;
    EXPECT_FALSE(readDesktopSize(c.text, c.smallest, &width, &height)) << '"' << c.text << '"';
    EXPECT_EQ(width, -1) << '"' << c.text << '"';
    EXPECT_EQ(height, -1) << '"' << c.text << '"';
  }
}

}  // namespace
