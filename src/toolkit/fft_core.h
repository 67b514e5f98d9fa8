#pragma once
// Radix-2 complex transform on separate real and imaginary arrays, the engine behind TFunk::Fft and
// the fast convolution of the FIR filters. Decimation in time after a bit-reversal permutation; the
// twiddle factors come from a table computed once per length, the small stages run block by block
// while the block is in cache.
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

template <typename T>
class Plan {
 public:
  explicit Plan(uint32_t n);
  uint32_t Size() const { return n_; }
  // direction -1: sum x[k] e^(-2 pi i jk / n) without scaling; +1: the inverse divided by n.
  void Run(int direction, T* re, T* im) const;

 private:
  template <bool Inverse>
  void Stages(T* re, T* im, uint32_t from, uint32_t to, uint32_t len) const;
  void ReverseTiled(T* x) const;
  uint32_t n_;
  std::vector<uint32_t> reversed_;        // bit-reversed index of each i, short lengths
  std::vector<uint32_t> reversedMiddle_;  // bit-reversed middle parts of the index, long lengths
  std::vector<T> cos_, sin_;              // stage of half length h: entries h .. 2h - 1
};

// A plan for length n, kept per thread for the most recent lengths.
template <typename T>
const Plan<T>& PlanFor(uint32_t n);

extern template class Plan<float>;
extern template class Plan<double>;

}  // namespace toolkit::fft
