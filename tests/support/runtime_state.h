// Helpers for tests of the runtime services: put the process-wide screen and keyboard back to a
// known state, steer the environment, and wait for what another thread does.
#pragma once
#include <functional>

// Closes any screen, forgets the preferred presenter, empties the key queue, releases every key,
// clears the key-event flag and marks standard input as still open. The first call points
// standard input at the null device and lets the standard-input keyboard run out on it.
void resetRuntimeState();

// Sets an environment variable, or removes it when value is null.
void setEnvironment(const char* name, const char* value);

// Polls condition every millisecond until it holds; false when it did not within the time.
bool waitUntil(const std::function<bool()>& condition, double seconds);
