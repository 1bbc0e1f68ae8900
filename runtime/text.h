// Hexadecimal text of 64-bit values, as texture dump names use it.
// Receives a value and a digit count; hands on upper-case text.
#pragma once
#include <cstdint>
#include <string>

// Exactly `digits` upper-case hexadecimal characters, zero-padded on the left and keeping the low
// digits when the value is longer; digits below 1 means as many as needed, at least one.
std::string hexText(uint64_t value, int digits);
