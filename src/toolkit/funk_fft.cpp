#include "toolkit/fft_core.h"
#include "toolkit/funk.h"

namespace toolkit {

bool TFunk::Fft(int32_t direction, int32_t n, float* re, float* im) {
  if (n < 1 || !fft::IsPowerOfTwo(static_cast<uint64_t>(n)) || !re || !im) return false;
  fft::PlanFor<float>(static_cast<uint32_t>(n)).Run(direction, re, im);
  return true;
}

uint64_t TFunk::TransformLength(uint64_t n) { return fft::NextPowerOfTwo(n); }

}  // namespace toolkit
