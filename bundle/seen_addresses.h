// The image addresses reported so far, so that an address that many nodes
// share is reported once, however many distinct addresses a page holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bundle/page_lines.h"

namespace plotweave {

class SeenAddresses {
 public:
  // True the first time `address` is offered.
  bool First(Span address);

 private:
  // An address is kept as two independent 64-bit hashes of it rather than
  // its text, which may run to kilobytes: sixteen bytes an address, and two
  // distinct addresses are taken for one with a chance of 2^-128.
  struct Key {
    uint64_t a = 0;
    uint64_t b = 0;  // never 0 in a used slot
  };
  void Grow();

  std::vector<Key> slots_;  // open addressing, a power of two, at most half full
  size_t count_ = 0;
};

}  // namespace plotweave
