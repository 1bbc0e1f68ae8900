// Hexadecimal text of 64-bit values: receives a value and a digit count, hands on upper-case
// digits, padded with zeros on the left or cut down to the low digits.
#include "runtime/text.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The number of digits the value needs, at least one.
int neededDigits(uint64_t value) {
  int digits = 1;
  while (digits < 16 && (value >> (4 * digits)) != 0) ++digits;
  return digits;
}

}  // namespace

std::string hexText(uint64_t value, int digits) {
  if (digits < 1) digits = neededDigits(value);
  std::string text(static_cast<size_t>(digits), '0');
  for (int i = 0; i < digits && i < 16; ++i) {  // digit i counts from the right
    text[static_cast<size_t>(digits - 1 - i)] = kHexDigits[(value >> (4 * i)) & 0xF];
  }
  return text;
}
