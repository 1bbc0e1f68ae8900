// The kestrune-player executable: plays the recording named on the command line, or the default
// one beside the executable's folder.
#include "player/player.h"

int main(int argc, char** argv) { return runPlayer(argc, argv); }
