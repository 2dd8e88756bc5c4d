// Unicode to KS code over the KS X 1001 repertoire only; extended hanja have
// no reverse mapping.
#include "kscode/kscode.h"
#include "kscode/ks_tables.h"

namespace plotweave {

// KsReverseTable falls into four windows by code point range, and a code
// point is only ever looked for in the window of its range; the generator
// does that search for every unit ahead of time, so a plan costs one table
// read per character and a run starts with nothing to build.
bool UnicodeToKs(uint16_t unit, uint8_t* lead, uint8_t* trail) {
  const uint16_t code = KsReverseIndexTable[unit];
  if (code == 0) return false;
  *lead = static_cast<uint8_t>(code >> 8);
  *trail = static_cast<uint8_t>(code & 0xFF);
  return true;
}

}  // namespace plotweave
