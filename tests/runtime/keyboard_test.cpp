// The key queue, key texts, held flags and the standard-input keyboard fed from a file.
#include "runtime/keyboard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "runtime/stdin_keyboard.h"
#include "tests/support/runtime_state.h"

namespace {

const std::string kCloseText = std::string("\xFF") + "k";

class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override { resetRuntimeState(); }
  void TearDown() override { resetRuntimeState(); }
};

// Runs the standard-input reader over the given bytes, as if they had been typed.
void typeBytes(const std::string& bytes) {
  std::FILE* in = std::tmpfile();
  ASSERT_NE(in, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), in);
  std::rewind(in);
  readKeysFrom(in);
  std::fclose(in);
}

TEST_F(KeyboardTest, EmptyQueueGivesEmptyText) { EXPECT_EQ(readKey(), ""); }

TEST_F(KeyboardTest, SeventeenKeysLeaveTheNewestFifteen) {
  for (int code = 'A'; code <= 'Q'; ++code) postKey(code);  // 17 keys
  std::string read;
  for (std::string key = readKey(); !key.empty(); key = readKey()) read += key;
  EXPECT_EQ(read, "CDEFGHIJKLMNOPQ");
}

TEST_F(KeyboardTest, KeysComeOutOldestFirstAcrossTheRingsEnd) {
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 10; ++i) postKey('a' + i);
    std::string read;
    for (std::string key = readKey(); !key.empty(); key = readKey()) read += key;
    EXPECT_EQ(read, "abcdefghij") << "round " << round;
  }
}

TEST_F(KeyboardTest, CodesBecomeOneOrTwoCharacters) {
  postKey('a');
  postKey(kCloseKeyCode);
  postKey(0x48FF);  // extended code 'H'
  postKey(255);     // below 256: the character 255 alone
  postKey(0);
  EXPECT_EQ(readKey(), "a");
  EXPECT_EQ(readKey(), kCloseText);
  EXPECT_EQ(readKey(), std::string("\xFF") + "H");
  EXPECT_EQ(readKey(), std::string("\xFF"));
  EXPECT_EQ(readKey(), std::string(1, '\0'));
  EXPECT_EQ(readKey(), "");
}

TEST_F(KeyboardTest, PostingSetsTheKeyEventFlagAndTakingClearsIt) {
  EXPECT_FALSE(takeKeyEvent());
  postKey('x');
  EXPECT_TRUE(takeKeyEvent());
  EXPECT_FALSE(takeKeyEvent());
  EXPECT_EQ(readKey(), "x");  // the flag is apart from the queue
}

TEST_F(KeyboardTest, HeldFlagsByScancode) {
  EXPECT_EQ(keyHeld(kEscapeScancode), 0);
  setKeyHeld(kEscapeScancode, true);
  setKeyHeld(127, true);
  setKeyHeld(128, true);  // out of range: ignored
  EXPECT_EQ(keyHeld(kEscapeScancode), -1);
  EXPECT_EQ(keyHeld(127), -1);
  EXPECT_EQ(keyHeld(128), 0);
  EXPECT_EQ(keyHeld(-1), 0);
  EXPECT_EQ(keyHeld(2), 0);
  setKeyHeld(kEscapeScancode, false);
  EXPECT_EQ(keyHeld(kEscapeScancode), 0);
}

// A press and release between two looks is seen by the next look, once; a key held across looks
// is seen by each of them; a release alone is no press.
TEST_F(KeyboardTest, AKeyTappedBetweenTwoLooksIsSeenOnce) {
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), 0);
  setKeyHeld(kEscapeScancode, true);
  setKeyHeld(kEscapeScancode, false);
  EXPECT_EQ(keyHeld(kEscapeScancode), 0);
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), -1);
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), 0);

  setKeyHeld(0x10, true);
  EXPECT_EQ(keyDownSinceLastLook(0x10), -1);
  setKeyHeld(0x10, true);  // still held (auto-repeat): no new press
  EXPECT_EQ(keyDownSinceLastLook(0x10), -1);
  setKeyHeld(0x10, false);
  EXPECT_EQ(keyDownSinceLastLook(0x10), 0);
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), 0);
  EXPECT_EQ(keyDownSinceLastLook(128), 0);
}

TEST_F(KeyboardTest, StandardInputBytesBecomeKeys) {
  typeBytes(std::string("a\xFFk\x1B") + "b\xFF");  // the last 255 has no code after it
  EXPECT_EQ(readKey(), "a");
  EXPECT_EQ(readKey(), kCloseText);
  EXPECT_EQ(readKey(), "\x1B");
  EXPECT_EQ(readKey(), "b");
  EXPECT_EQ(readKey(), "");
  EXPECT_TRUE(takeKeyEvent());
}

TEST_F(KeyboardTest, EscapeByteHoldsEscapeForAWhile) {
  typeBytes("\x1B");
  EXPECT_EQ(keyHeld(kEscapeScancode), -1);
  EXPECT_TRUE(waitUntil([] { return keyHeld(kEscapeScancode) == 0; }, 5.0));
}

TEST_F(KeyboardTest, ARepeatedEscapeExtendsTheHold) {
  typeBytes("\x1B");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  typeBytes("\x1B");
  std::this_thread::sleep_for(std::chrono::milliseconds(180));
  // 380 ms after the first press: its hold is over, the second one's is not.
  EXPECT_EQ(keyHeld(kEscapeScancode), -1);
  EXPECT_TRUE(waitUntil([] { return keyHeld(kEscapeScancode) == 0; }, 5.0));
}

TEST_F(KeyboardTest, EndOfInputClosesTheKeyboardUnlessAWindowGivesKeys) {
  EXPECT_FALSE(keyboardClosed());
  typeBytes("");
  EXPECT_TRUE(keyboardClosed());
  setPreferredPresenter("headless");
  ASSERT_EQ(openScreen(8, 8, 16, 1, 0, 0), 0);
  EXPECT_TRUE(keyboardClosed());  // the headless presenter has no window keys

  static const Presenter kWindowWithKeys = {"Keys", nullptr, nullptr, nullptr, nullptr, true};
  const Presenter* serving = screenState().presenter;
  screenState().presenter = &kWindowWithKeys;
  EXPECT_FALSE(keyboardClosed());
  screenState().presenter = serving;
}

}  // namespace
