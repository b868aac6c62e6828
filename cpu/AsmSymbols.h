// The source assembler's symbol table: upper-case names of labels and
// variables and their values. Every operand of every line looks names up
// in both passes, so this is an open-addressing hash table probed straight
// with views into the source text: no string is made for a lookup, and a
// probe compares the stored hash before it compares any text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class AsmSymbols {
public:
  // The value of a name, or null when it is not defined.
  const int* find(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    const uint32_t h = hash(name);
    for (size_t i = h & mask();; i = (i + 1) & mask()) {
      const Slot& s = slots_[i];
      if (s.entry < 0) return nullptr;
      if (s.hash == h && entries_[s.entry].name == name) return &entries_[s.entry].value;
    }
  }
  bool count(std::string_view name) const { return find(name) != nullptr; }
  int at(std::string_view name) const {
    const int* v = find(name);
    if (!v) throw std::out_of_range("no symbol " + std::string(name));
    return *v;
  }
  // Defines the name with the value unless it is defined already.
  void emplace(std::string_view name, int value) {
    if (!count(name)) insert(name, value);
  }
  int& operator[](std::string_view name) {
    if (const int* v = find(name)) return const_cast<int&>(*v);
    return insert(name, 0);
  }
  size_t size() const { return entries_.size(); }
  void clear() {
    entries_.clear();
    slots_.clear();
  }

private:
  struct Entry {
    std::string name;
    int value;
  };
  struct Slot {
    uint32_t hash;
    int32_t entry;  // index into entries_, -1 = free
  };
  // FNV-1a, names being short, then mixed so that names alike ("R1",
  // "R1LOOP", "R2") spread over the low bits the table is indexed by.
  static uint32_t hash(std::string_view name) {
    uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    return h;
  }
  size_t mask() const { return slots_.size() - 1; }
  int& insert(std::string_view name, int value) {
    // At most half the slots are used, so probe runs stay short.
    if (2 * (entries_.size() + 1) > slots_.size()) grow();
    place({hash(name), static_cast<int32_t>(entries_.size())});
    entries_.push_back({std::string(name), value});
    return entries_.back().value;
  }
  void place(Slot slot) {
    size_t i = slot.hash & mask();
    while (slots_[i].entry >= 0) i = (i + 1) & mask();
    slots_[i] = slot;
  }
  void grow() {
    std::vector<Slot> old(slots_.size() ? 2 * slots_.size() : kFirstSlots, Slot{0, -1});
    old.swap(slots_);
    for (const Slot& s : old)
      if (s.entry >= 0) place(s);
  }
  static constexpr size_t kFirstSlots = 256;  // a power of two, as the mask needs

  std::vector<Entry> entries_;  // in the order defined
  std::vector<Slot> slots_;
};
