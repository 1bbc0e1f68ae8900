// The mouse queue's order and overflow, and mouse events read from standard input after 255 254,
// between keys.
#include "runtime/mouse.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/stdin_keyboard.h"
#include "tests/support/runtime_state.h"

namespace {

std::vector<MouseEvent> readAllMouse() {
  std::vector<MouseEvent> events;
  MouseEvent event;
  while (readMouse(&event)) events.push_back(event);
  return events;
}

std::string readAllKeys() {
  std::string keys;
  for (std::string key = readKey(); !key.empty(); key = readKey()) keys += key;
  return keys;
}

class MouseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntimeState();
    readAllMouse();
  }
  void TearDown() override { resetRuntimeState(); }
};

MouseEvent moveTo(int x) { return MouseEvent{MouseKind::kMove, x, 0, 0, 0}; }

std::vector<MouseEvent> movesFrom(int first, int end) {
  std::vector<MouseEvent> moves;
  for (int x = first; x < end; ++x) moves.push_back(moveTo(x));
  return moves;
}

TEST_F(MouseTest, SeventyEventsLeaveTheNewestSixtyFourOldestFirst) {
  for (int x = 0; x < 70; ++x) postMouse(moveTo(x));
  EXPECT_EQ(readAllMouse(), movesFrom(6, 70));
  // The oldest now sits in slot 6: sixty more run across the ring's end, in order.
  for (int x = 100; x < 160; ++x) postMouse(moveTo(x));
  EXPECT_EQ(readAllMouse(), movesFrom(100, 160));
  MouseEvent none;
  EXPECT_FALSE(readMouse(&none));
}

// Each case: the bytes typed, the mouse events and the key text they give.
struct StdinCase {
  const char* name;
  std::vector<int> bytes;
  std::vector<MouseEvent> events;
  std::string keys;
};

TEST_F(MouseTest, StandardInputMouseEventsBetweenKeys) {
  const StdinCase cases[] = {
      // x 0x012C = 300, y 0x00C8 = 200; then x 0, y 0.
      {"press and release",
       {255, 254, 'p', 0x2C, 0x01, 0xC8, 0x00, 255, 254, 'r', 0, 0, 0, 0},
       {{MouseKind::kPress, 300, 200, 1, 0}, {MouseKind::kRelease, 0, 0, 1, 0}},
       ""},
      // x 0xFFFF = 65535, y 0x0102 = 258.
      {"move between keys",
       {'a', 255, 254, 'm', 0xFF, 0xFF, 0x02, 0x01, 'b'},
       {{MouseKind::kMove, 65535, 258, 0, 0}},
       "ab"},
      {"wheel up and down",
       {255, 254, 'u', 10, 0, 20, 0, 255, 254, 'd', 1, 0, 2, 0},
       {{MouseKind::kWheel, 10, 20, 0, 1}, {MouseKind::kWheel, 1, 2, 0, -1}},
       ""},
      // x 0x1234 = 4660, y 0x5678 = 22136.
      {"double click",
       {255, 254, 'c', 0x34, 0x12, 0x78, 0x56},
       {{MouseKind::kDoubleClick, 4660, 22136, 1, 0}},
       ""},
      // Bytes 27 and 255 inside an event are coordinates: 0xFF1B = 65307, 0x1BFF = 7167.
      {"escape and prefix bytes as coordinates",
       {255, 254, 'm', 27, 255, 255, 27},
       {{MouseKind::kMove, 65307, 7167, 0, 0}},
       ""},
      {"unknown kind dropped whole", {255, 254, 'x', 1, 2, 3, 4, 'z'}, {}, "z"},
      {"extended keys stay", {255, 'k', 255, 255}, {}, "\xFFk\xFF\xFF"},
      {"cut off at the end", {'q', 255, 254, 'p', 1, 2, 3}, {}, "q"},
  };
  for (const StdinCase& c : cases) {
    std::FILE* in = std::tmpfile();
    ASSERT_NE(in, nullptr);
    for (int byte : c.bytes) std::fputc(byte, in);
    std::rewind(in);
    readKeysFrom(in);
    std::fclose(in);
    EXPECT_EQ(readAllMouse(), c.events) << c.name;
    EXPECT_EQ(readAllKeys(), c.keys) << c.name;
    EXPECT_EQ(keyHeld(kEscapeScancode), 0) << c.name;
  }
}

}  // namespace
