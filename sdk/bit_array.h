// BitArray: a resizable array of bits (face selections, flags per element).
// Reading or writing outside the size is a contract failure.
#pragma once

#include <cstdint>
#include <vector>

class BitArray {
 public:
  BitArray() = default;
  explicit BitArray(int n) { SetSize(n); }

  int GetSize() const { return size_; }
  // Resizes; with keep, bits below the smaller size survive, new bits are 0.
  void SetSize(int n, bool keep = false);

  bool operator[](int i) const;
  void Set(int i);
  void Set(int i, bool value) { value ? Set(i) : Clear(i); }
  void Clear(int i);
  void SetAll();
  void ClearAll();
  int NumberSet() const;
  bool AnyBitSet() const;
  bool IsEmpty() const { return !AnyBitSet(); }

  // Bitwise operations on arrays of equal size (contract).
  BitArray& operator&=(const BitArray& b);
  BitArray& operator|=(const BitArray& b);
  BitArray& operator^=(const BitArray& b);
  BitArray operator~() const;
  bool operator==(const BitArray& b) const;

 private:
  void TrimTail();

  int size_ = 0;
  std::vector<uint64_t> words_;
};

// Bitwise operations on arrays of equal size (contract), as new arrays.
inline BitArray operator&(BitArray a, const BitArray& b) { return a &= b; }
inline BitArray operator|(BitArray a, const BitArray& b) { return a |= b; }
inline BitArray operator^(BitArray a, const BitArray& b) { return a ^= b; }
