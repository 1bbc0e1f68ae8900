// Process-level services: the executable's own folder and the working directory.
// Hands on paths as text; platform files implement them.
#pragma once
#include <string>

// The folder that holds the running executable (no trailing separator), "" when unknown.
std::string executableFolder();

// Makes the folder the working directory; 0 on success.
int changeDirectory(const std::string& folder);
