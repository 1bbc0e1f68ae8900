// Opens the player's window: half the desktop's size in each direction, 16-bit pixels, one page.
// Receives the desktop's display mode; hands on the open screen (closed by the process exit).
#include "player/render_target.h"

#include "player/player_output.h"
#include "runtime/screen.h"

bool openRenderTarget() {
  const ScreenInfo desktop = screenInfo();  // before opening: the desktop's mode
  const int width = desktop.width / 2;
  const int height = desktop.height / 2;
  if (openScreen(width, height, 16, 1, 0, 0) != 0) {
    printMessage("Error: Could not open the screen\n");
    return false;
  }
  return true;
}

// Until frames are drawn into a render buffer there is nothing to show: the window keeps its
// picture.
void presentFrame() {}
