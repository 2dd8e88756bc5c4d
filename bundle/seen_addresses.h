// The image addresses met so far, each numbered in the order first met and
// counted, however many distinct addresses a page holds: an address that
// many nodes share is reported once and its image taken in once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bundle/page_lines.h"

namespace plotweave {

class SeenAddresses {
 public:
  static constexpr size_t kNotSeen = static_cast<size_t>(-1);

  // True the first time `address` is offered.
  bool First(Span address) { return Offer(address, false); }
  // Counts one more use of `address`; true the first time. With `keepText`
  // a new address's text is kept for Text().
  bool Offer(Span address, bool keepText);
  // The number of `address` (0 for the first met), or kNotSeen.
  size_t Find(Span address) const;
  size_t count() const { return entries_.size(); }
  uint32_t Uses(size_t index) const { return entries_[index].uses; }
  // The text of the address, when it was kept.
  Span Text(size_t index) const;

 private:
  // An address is kept as two independent 64-bit hashes of it rather than
  // its text, which may run to kilobytes: sixteen bytes an address, and two
  // distinct addresses are taken for one with a chance of 2^-128.
  struct Key {
    uint64_t a = 0;
    uint64_t b = 0;  // never 0 in a used slot
  };
  struct Slot {
    Key key;
    size_t index = 0;
  };
  struct Entry {
    uint32_t uses = 0;
    size_t textAt = 0;
    size_t textSize = 0;
  };
  static Key KeyOf(Span address);
  size_t SlotOf(const Key& key) const;
  void Grow();

  std::vector<Slot> slots_;  // open addressing, a power of two, at most half full
  std::vector<Entry> entries_;
  std::vector<char> texts_;  // the kept texts, one after another
};

}  // namespace plotweave
