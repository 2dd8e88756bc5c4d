// The reverse table between Unicode and KS code as pairs, and the unified
// ideograph each compatibility ideograph folds onto: the data the reverse
// index of ks_tables.h is generated from (by tools/gen_ks_tables.py, into
// ks_reverse_pairs_generated.cc). The lookups read only the index, so these
// are linked only into what checks the index against them.
#pragma once

#include <cstdint>

namespace plotweave {

inline constexpr int kKsReverseCount = 7955;
inline constexpr int kCompatFoldCount = 268;  // U+F900..U+FA0B

struct KsReversePair {
  uint32_t codePoint;
  uint8_t lead;
  uint8_t trail;
};

// Strictly ascending by code point.
extern const KsReversePair KsReverseTable[kKsReverseCount];
// Unified ideograph for each of U+F900..U+FA0B.
extern const uint16_t CompatFoldTable[kCompatFoldCount];

}  // namespace plotweave
