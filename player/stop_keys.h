// The keys that stop playback: Escape held, or the window's close button in the key queue.
// Receives nothing; hands on whether playback should stop.
#pragma once

// True when Escape is held or the next queued key is the close key (255, "k"). Looks at one key
// of the queue; any other key is dropped.
bool stopKeyPressed();
