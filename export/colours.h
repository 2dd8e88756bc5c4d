// Colours as the page takes them (CSS names, #rgb, #rrggbb, rgb()), made
// into the numbers the formats that need numbers want.
#pragma once

#include <cstdint>

namespace plotweave {

struct Rgb {
  uint8_t r;
  uint8_t g;
  uint8_t b;
};

// The colour a plan's colour field names; false when it names none that a
// browser knows (the formats then leave the colour to their reader).
bool ParseColour(const char* text, Rgb* rgb);

}  // namespace plotweave
