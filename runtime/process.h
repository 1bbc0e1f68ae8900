// Process-level services: the standard streams, the executable's own folder and the working
// directory.
// Hands on paths as text; platform files implement them.
#pragma once
#include <string>

// The folder that holds the running executable (no trailing separator), "" when unknown.
std::string executableFolder();

// Makes the folder the working directory; 0 on success.
int changeDirectory(const std::string& folder);

// Opens the null device onto standard input, output and error where they are closed, so that no
// file the program opens later becomes one of them (a recording read as keys, say). Input from
// it ends at once; writes to it fail as on a closed stream. Called first thing by the programs.
void openStandardStreams();
