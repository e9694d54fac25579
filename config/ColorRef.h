#pragma once
// Colours stored as COLORREF decimal text (0x00BBGGRR: red in the low byte).

#include <cstdint>
#include <optional>
#include <string_view>

#include "config/ConfigKeys.h"

namespace kal {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
};

// Base-10 conversion with the standard string-to-long rules (leading blanks
// and a sign allowed, text after the digits ignored). Nothing when the text
// does not start with a number or is out of range.
std::optional<long> ParseColorRef(std::string_view text);

// Components of a COLORREF: red bits 0-7, green 8-15, blue 16-23.
Rgb SplitColorRef(long colorRef);

// The COLORREF of a colour, as it is stored: blue 0xFF gives 16711680.
long ToColorRef(const Rgb& rgb);

// Opaque ARGB for a swatch: the components formatted as "0xFF%02x%02x%02x"
// and read back as a base-16 number ("255" gives 0xFFFF0000).
std::uint64_t ColorRefToArgb(long colorRef);

// The colour stored under `key`; a value that is not a decimal number falls
// back to the key's default. Any thread.
Rgb ReadColor(const cfg::TextKey& key);

}  // namespace kal
