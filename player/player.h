// The player's entry: start-up, the chunk loop over the recording, and the end.
// Receives the command line; hands on the process exit code: 0 after playback that ended without
// a failure (the end of the stream, a stop key), 1 after a failure the player reported.
#pragma once

int runPlayer(int argc, const char* const* argv);
