// BitArray storage: 64-bit words, bits past the size kept zero.
#include "sdk/bit_array.h"

#include <bit>

#include "sdk/check.h"

void BitArray::SetSize(int n, bool keep) {
  TARNIS_CHECK(n >= 0) << "negative size " << n;
  if (!keep) words_.assign(words_.size(), 0);
  words_.resize((static_cast<size_t>(n) + 63) / 64, 0);
  size_ = n;
  TrimTail();
}

bool BitArray::operator[](int i) const {
  TARNIS_CHECK(i >= 0 && i < size_) << "bit " << i << " of " << size_;
  return (words_[i >> 6] >> (i & 63)) & 1u;
}

void BitArray::Set(int i) {
  TARNIS_CHECK(i >= 0 && i < size_) << "bit " << i << " of " << size_;
  words_[i >> 6] |= uint64_t{1} << (i & 63);
}

void BitArray::Clear(int i) {
  TARNIS_CHECK(i >= 0 && i < size_) << "bit " << i << " of " << size_;
  words_[i >> 6] &= ~(uint64_t{1} << (i & 63));
}

void BitArray::SetAll() {
  for (auto& w : words_) w = ~uint64_t{0};
  TrimTail();
}

void BitArray::ClearAll() {
  for (auto& w : words_) w = 0;
}

int BitArray::NumberSet() const {
  int n = 0;
  for (auto w : words_) n += std::popcount(w);
  return n;
}

bool BitArray::AnyBitSet() const {
  for (auto w : words_) {
    if (w) return true;
  }
  return false;
}

BitArray& BitArray::operator&=(const BitArray& b) {
  TARNIS_CHECK(size_ == b.size_) << "sizes " << size_ << " and " << b.size_;
  for (size_t i = 0; i < words_.size(); ++i) words_[i] &= b.words_[i];
  return *this;
}

BitArray& BitArray::operator|=(const BitArray& b) {
  TARNIS_CHECK(size_ == b.size_) << "sizes " << size_ << " and " << b.size_;
  for (size_t i = 0; i < words_.size(); ++i) words_[i] |= b.words_[i];
  return *this;
}

BitArray& BitArray::operator^=(const BitArray& b) {
  TARNIS_CHECK(size_ == b.size_) << "sizes " << size_ << " and " << b.size_;
  for (size_t i = 0; i < words_.size(); ++i) words_[i] ^= b.words_[i];
  return *this;
}

BitArray BitArray::operator~() const {
  BitArray r = *this;
  for (auto& w : r.words_) w = ~w;
  r.TrimTail();
  return r;
}

bool BitArray::operator==(const BitArray& b) const {
  return size_ == b.size_ && words_ == b.words_;
}

// Bits past the size stay zero so that counting and comparing need no masks.
void BitArray::TrimTail() {
  if (size_ & 63) words_.back() &= (uint64_t{1} << (size_ & 63)) - 1;
}
