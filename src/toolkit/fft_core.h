#pragma once
// Radix-2 complex transform on separate real and imaginary arrays, the engine behind TFunk::Fft and
// the fast convolution of the FIR filters. Decimation in time after a bit-reversal permutation. The
// small stages run block by block while the block is in cache; the large ones run several stages per
// pass over memory, on a few rows at a time gathered into a small buffer. The butterfly loops are
// built twice, for AVX2 and for any x86-64, and picked when the program starts.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace toolkit::fft {

// True for 1, 2, 4, ...
constexpr bool IsPowerOfTwo(uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

// The longest transform made: TFunk::Fft takes its length as a 32-bit signed number. Callers refuse
// longer ones with a message.
constexpr uint32_t kMaxLength = uint32_t{1} << 30;

// The least power of two at or above n (1 for n = 0), exact for every n up to 2^63; 2^64 does not
// fit, so larger n give 0, which no caller can mistake for a length that fits.
constexpr uint64_t NextPowerOfTwo(uint64_t n) {
  if (n > (uint64_t{1} << 63)) return 0;
  uint64_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

// Twiddle factors are tabled for the stages up to this half length (8 bytes a point in float); the
// stages above compute theirs from two short tables while they run, so a long plan holds no table
// of its own length.
constexpr uint32_t kTabledHalf = uint32_t{1} << 19;

// Twiddle factors of the stages of half length h = 1, 2, 4, ... below `size`: entries h .. 2h - 1 hold
// cos and sin of pi j / h.
template <typename T>
struct TwiddleTable {
  explicit TwiddleTable(uint32_t size);
  std::vector<T> cos, sin;
};

template <typename T>
class Plan {
 public:
  explicit Plan(uint32_t n);
  uint32_t Size() const { return n_; }
  // direction -1: sum x[k] e^(-2 pi i jk / n) without scaling; +1: the inverse divided by n.
  void Run(int direction, T* re, T* im) const;
  // Memory the plan keeps: its own bit-reversal index, and the entries of the twiddle table it shares.
  size_t IndexBytes() const { return sizeof(uint32_t) * (reversed_.size() + reversedMiddle_.size()); }
  size_t TableEntries() const { return table_->cos.size(); }

 private:
  void Reverse(T* re, T* im) const;
  void ReverseTiled(T* x) const;
  uint32_t n_;
  std::vector<uint32_t> reversed_;        // bit-reversed index of each i, short lengths
  std::vector<uint32_t> reversedMiddle_;  // bit-reversed middle parts of the index, long lengths
  std::shared_ptr<const TwiddleTable<T>> table_;  // shared by the plans of a thread
};

// A plan for length n (at most kMaxLength), kept per thread for the most recent lengths. A plan
// holds its bit-reversal index (n / 64 bytes for long lengths) and shares one twiddle table of at
// most 2 x kTabledHalf entries with the other plans of the thread.
template <typename T>
const Plan<T>& PlanFor(uint32_t n);

extern template struct TwiddleTable<float>;
extern template struct TwiddleTable<double>;
extern template class Plan<float>;
extern template class Plan<double>;

}  // namespace toolkit::fft
