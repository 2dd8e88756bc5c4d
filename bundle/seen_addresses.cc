#include "bundle/seen_addresses.h"

namespace plotweave {

namespace {

constexpr size_t kFirstSlots = 256;

}  // namespace

SeenAddresses::Key SeenAddresses::KeyOf(Span address) {
  // FNV-1a, and a rotate-multiply hash with other constants: the two share no
  // structure, so addresses that collide in one do not in the other.
  Key key{1469598103934665603ull, 0x243f6a8885a308d3ull};
  for (size_t i = 0; i < address.size; ++i) {
    const uint64_t c = static_cast<unsigned char>(address.data[i]);
    key.a = (key.a ^ c) * 1099511628211ull;
    key.b = (((key.b << 7) | (key.b >> 57)) ^ c) * 0x9e3779b97f4a7c15ull;
  }
  key.b |= 1;
  return key;
}

// The slot that holds `key`, or the free one where it would go.
size_t SeenAddresses::SlotOf(const Key& key) const {
  const size_t mask = slots_.size() - 1;
  size_t i = key.a & mask;
  while (slots_[i].key.b != 0 && (slots_[i].key.a != key.a || slots_[i].key.b != key.b)) i = (i + 1) & mask;
  return i;
}

bool SeenAddresses::Offer(Span address, bool keepText) {
  const Key key = KeyOf(address);
  if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
  Slot& slot = slots_[SlotOf(key)];
  if (slot.key.b != 0) {
    ++entries_[slot.index].uses;
    return false;
  }
  slot.key = key;
  slot.index = entries_.size();
  Entry entry;
  entry.uses = 1;
  if (keepText) {
    entry.textAt = texts_.size();
    entry.textSize = address.size;
    texts_.insert(texts_.end(), address.data, address.data + address.size);
  }
  entries_.push_back(entry);
  return true;
}

size_t SeenAddresses::Find(Span address) const {
  if (slots_.empty()) return kNotSeen;
  const Slot& slot = slots_[SlotOf(KeyOf(address))];
  return slot.key.b != 0 ? slot.index : kNotSeen;
}

Span SeenAddresses::Text(size_t index) const {
  const Entry& entry = entries_[index];
  return Span{texts_.data() + entry.textAt, entry.textSize};
}

void SeenAddresses::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? kFirstSlots : old.size() * 2, Slot{});
  for (const Slot& slot : old) {
    if (slot.key.b != 0) slots_[SlotOf(slot.key)] = slot;
  }
}

}  // namespace plotweave
