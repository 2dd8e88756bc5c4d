#include "bundle/seen_addresses.h"

namespace plotweave {

namespace {

constexpr size_t kFirstSlots = 256;

}  // namespace

bool SeenAddresses::First(Span address) {
  // FNV-1a, and a rotate-multiply hash with other constants: the two share no
  // structure, so addresses that collide in one do not in the other.
  Key key{1469598103934665603ull, 0x243f6a8885a308d3ull};
  for (size_t i = 0; i < address.size; ++i) {
    const uint64_t c = static_cast<unsigned char>(address.data[i]);
    key.a = (key.a ^ c) * 1099511628211ull;
    key.b = (((key.b << 7) | (key.b >> 57)) ^ c) * 0x9e3779b97f4a7c15ull;
  }
  key.b |= 1;
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  const size_t mask = slots_.size() - 1;
  for (size_t i = key.a & mask;; i = (i + 1) & mask) {
    Key& slot = slots_[i];
    if (slot.b == 0) {
      slot = key;
      ++count_;
      return true;
    }
    if (slot.a == key.a && slot.b == key.b) return false;
  }
}

void SeenAddresses::Grow() {
  std::vector<Key> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? kFirstSlots : old.size() * 2, Key{});
  const size_t mask = slots_.size() - 1;
  for (const Key& key : old) {
    if (key.b == 0) continue;
    size_t i = key.a & mask;
    while (slots_[i].b != 0) i = (i + 1) & mask;
    slots_[i] = key;
  }
}

}  // namespace plotweave
