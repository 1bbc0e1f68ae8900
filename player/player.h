// The player's entry: start-up, the chunk loop over the recording, and the end.
// Receives the command line; hands on the process exit code (always 0).
#pragma once

int runPlayer(int argc, const char* const* argv);
