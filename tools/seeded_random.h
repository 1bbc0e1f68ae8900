// Splitmix64, a fixed generator: the same seed gives the same numbers, and so the same
// generated recordings, everywhere. Receives a seed; hands on numbers.
#pragma once
#include <cstdint>

struct Random {
  uint64_t state = 0;
};

inline uint64_t nextRandom(Random& random) {
  random.state += 0x9E3779B97F4A7C15;
  uint64_t z = random.state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
  return z ^ (z >> 31);
}

// A number from 0 to count - 1.
inline int randomBelow(Random& random, int count) {
  return static_cast<int>(nextRandom(random) % static_cast<uint64_t>(count));
}

// A number in [0, 1).
inline double randomUnit(Random& random) { return double(nextRandom(random) >> 11) * 0x1.0p-53; }
