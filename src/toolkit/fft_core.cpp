#include "toolkit/fft_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <type_traits>
#include <utility>

namespace toolkit::fft {

namespace {

// Stages whose butterflies stay inside this many points run block by block.
constexpr uint32_t kBlock = 1u << 11;
// Up to this length input, output and a scratch copy stay in cache together: the first pass writes
// into the scratch copy in bit-reversed order, so no reversal pass runs. Longer ones run in place.
constexpr uint32_t kInCache = 1u << 13;
// Up to this length the stages above the blocks run over the whole array, which stays in the
// second-level cache; longer ones in passes over gathered rows.
constexpr uint32_t kInSecondLevel = 1u << 18;
// From this length the first three stages run as one vector pass before the reversal.
constexpr uint32_t kFirstEightFrom = 128;  // 16 r per step of the reordered pass
// The large stages run at most this many at a time, on kColumns columns of 2^kGroup rows.
constexpr uint32_t kGroup = 6;
constexpr uint32_t kColumns = 32;
// Twiddles above kTabledHalf: pi j / h split into j = a * kFine + b, the product of two double tables.
constexpr uint32_t kFine = 1024;
static_assert(kFine % kColumns == 0 && kBlock % kColumns == 0);

constexpr uint32_t kTileBits = 4;
// Below this the whole array stays in cache and plain swaps are faster.
constexpr uint32_t kTiledFrom = 1u << 14;
static_assert(kTiledFrom >= (1u << (2 * kTileBits)));
constexpr uint8_t kTileReversed[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

// 32-byte vectors: one AVX register, two SSE registers where the CPU has no AVX2. They never cross a
// call (every helper is inlined), so the calling convention's warning about them does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
template <typename T>
struct Wide {
  static constexpr uint32_t kLanes = 32 / sizeof(T);
  typedef T Vec __attribute__((vector_size(32)));
  typedef T Half __attribute__((vector_size(16)));
};

template <typename V, typename T>
[[gnu::always_inline]] inline V Load(const T* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename V, typename T>
[[gnu::always_inline]] inline void Store(T* p, const V& v) {
  std::memcpy(p, &v, sizeof v);
}

// count butterflies x, y := x + w y, x - w y with w = c + i s (forward: c - i s).
// The scaled variant multiplies the results by `scale`, a power of two: exactly what a separate
// pass would give.
template <typename T, bool Inverse, bool Scaled, typename V>
[[gnu::always_inline]] inline void ButterflyVec(T* xr, T* xi, T* yr, T* yi, const T* wc, const T* ws, T scale) {
  const V c = Load<V>(wc);
  const V s = Inverse ? Load<V>(ws) : -Load<V>(ws);
  const V br = Load<V>(yr), bi = Load<V>(yi);
  const V tr = br * c - bi * s;
  const V ti = br * s + bi * c;
  const V ar = Load<V>(xr), ai = Load<V>(xi);
  if constexpr (Scaled) {
    Store(yr, (ar - tr) * scale);
    Store(yi, (ai - ti) * scale);
    Store(xr, (ar + tr) * scale);
    Store(xi, (ai + ti) * scale);
  } else {
    Store(yr, ar - tr);
    Store(yi, ai - ti);
    Store(xr, ar + tr);
    Store(xi, ai + ti);
  }
}

template <typename T, bool Inverse, bool Scaled = false>
[[gnu::always_inline]] inline void Butterflies(T* __restrict xr, T* __restrict xi, T* __restrict yr,
                                               T* __restrict yi, const T* __restrict wc,
                                               const T* __restrict ws, uint32_t count, T scale = T(1)) {
  using W = Wide<T>;
  uint32_t j = 0;
  for (; j + W::kLanes <= count; j += W::kLanes)
    ButterflyVec<T, Inverse, Scaled, typename W::Vec>(xr + j, xi + j, yr + j, yi + j, wc + j, ws + j, scale);
  for (; j + W::kLanes / 2 <= count; j += W::kLanes / 2)
    ButterflyVec<T, Inverse, Scaled, typename W::Half>(xr + j, xi + j, yr + j, yi + j, wc + j, ws + j, scale);
  for (; j < count; ++j) ButterflyVec<T, Inverse, Scaled, T>(xr + j, xi + j, yr + j, yi + j, wc + j, ws + j, scale);
}

// The first three stages, run before the bit reversal on the samples in natural order: what the
// reversal would bring together at positions 8q .. 8q + 7 lies at r, r + n/8, ... r + 7n/8, so
// consecutive r fill whole vectors. The same butterflies in the same order as after the reversal,
// only on other addresses, so the results are those of the plain order to the bit.
template <typename T, bool Inverse, typename V>
[[gnu::always_inline]] inline void EightButterflies(V (&ar)[8], V (&ai)[8], const T* c, const T* s) {
  #pragma GCC unroll 8
  for (uint32_t k = 0; k < 4; ++k) {  // half length 1: partners n/2 apart
    const V xr = ar[k], xi = ai[k];
    ar[k] = xr + ar[k + 4];
    ai[k] = xi + ai[k + 4];
    ar[k + 4] = xr - ar[k + 4];
    ai[k + 4] = xi - ai[k + 4];
  }
  #pragma GCC unroll 8
  for (uint32_t k : {0u, 1u, 4u, 5u}) {  // half length 2: n/4 apart, twiddle 1 or -+i
    V tr = ar[k + 2], ti = ai[k + 2];
    if (k >= 4) {
      const V r3 = tr, i3 = ti;
      tr = Inverse ? -i3 : i3;
      ti = Inverse ? r3 : -r3;
    }
    const V xr = ar[k], xi = ai[k];
    ar[k] = xr + tr;
    ai[k] = xi + ti;
    ar[k + 2] = xr - tr;
    ai[k + 2] = xi - ti;
  }
  constexpr uint32_t kTwiddle[4] = {0, 2, 1, 3};  // k = 0, 2, 4, 6: the reversed high bits
  #pragma GCC unroll 8
  for (uint32_t p = 0; p < 4; ++p) {  // half length 4: n/8 apart
    const uint32_t k = 2 * p;
    const T wc = c[4 + kTwiddle[p]];
    const T ws = Inverse ? s[4 + kTwiddle[p]] : -s[4 + kTwiddle[p]];
    const V br = ar[k + 1], bi = ai[k + 1];
    const V tr = br * wc - bi * ws;
    const V ti = br * ws + bi * wc;
    const V xr = ar[k], xi = ai[k];
    ar[k + 1] = xr - tr;
    ai[k + 1] = xi - ti;
    ar[k] = xr + tr;
    ai[k] = xi + ti;
  }
}

template <typename T, bool Inverse, typename V>
[[gnu::always_inline]] inline void FirstEight(T* re, T* im, uint32_t r, uint32_t step, const T* c, const T* s) {
  V ar[8], ai[8];
  #pragma GCC unroll 8
  for (uint32_t k = 0; k < 8; ++k) {
    ar[k] = Load<V>(re + r + k * step);
    ai[k] = Load<V>(im + r + k * step);
  }
  EightButterflies<T, Inverse, V>(ar, ai, c, s);
  #pragma GCC unroll 8
  for (uint32_t k = 0; k < 8; ++k) {
    Store(re + r + k * step, ar[k]);
    Store(im + r + k * step, ai[k]);
  }
}

using Floats = Wide<float>::Vec;
typedef int32_t Indices __attribute__((vector_size(32)));

// Rows v[0] .. v[7] become columns.
[[gnu::always_inline]] inline void Transpose(Floats (&v)[8]) {
  Floats t[8], u[8];
  #pragma GCC unroll 8
  for (uint32_t i = 0; i < 8; i += 2) {
    t[i] = __builtin_shuffle(v[i], v[i + 1], Indices{0, 8, 1, 9, 4, 12, 5, 13});
    t[i + 1] = __builtin_shuffle(v[i], v[i + 1], Indices{2, 10, 3, 11, 6, 14, 7, 15});
  }
  #pragma GCC unroll 8
  for (uint32_t i : {0u, 4u}) {
    u[i] = __builtin_shuffle(t[i], t[i + 2], Indices{0, 1, 8, 9, 4, 5, 12, 13});
    u[i + 1] = __builtin_shuffle(t[i], t[i + 2], Indices{2, 3, 10, 11, 6, 7, 14, 15});
    u[i + 2] = __builtin_shuffle(t[i + 1], t[i + 3], Indices{0, 1, 8, 9, 4, 5, 12, 13});
    u[i + 3] = __builtin_shuffle(t[i + 1], t[i + 3], Indices{2, 3, 10, 11, 6, 7, 14, 15});
  }
  #pragma GCC unroll 8
  for (uint32_t i = 0; i < 4; ++i) {
    v[i] = __builtin_shuffle(u[i], u[i + 4], Indices{0, 1, 2, 3, 8, 9, 10, 11});
    v[i + 4] = __builtin_shuffle(u[i], u[i + 4], Indices{4, 5, 6, 7, 12, 13, 14, 15});
  }
}

// FirstEight for 8 consecutive r at once, written out of place where the bit reversal puts them:
// the eight results of r go to 8 rev(r) + rev3(k), one contiguous run, so a transposed tile of the
// eight vectors is eight stores and the reversal needs no pass of its own.
template <bool Inverse>
[[gnu::always_inline]] inline void FirstEightReversedPass(const float* re, const float* im, float* outRe,
                                                          float* outIm, uint32_t n, const float* c,
                                                          const float* s, const uint32_t* reversed) {
  const uint32_t step = n / 8;
  constexpr uint32_t kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  // Sixteen r at a time: every line of the eight rows is read whole at once. The rows lie a power
  // of two apart and share their cache set, so a line read in halves would be gone for the second.
  for (uint32_t r = 0; r < step; r += 16) {
    Floats ar[2][8], ai[2][8];
#pragma GCC unroll 8
    for (uint32_t k = 0; k < 8; ++k) {
#pragma GCC unroll 2
      for (uint32_t h = 0; h < 2; ++h) {
        ar[h][k] = Load<Floats>(re + r + 8 * h + k * step);
        ai[h][k] = Load<Floats>(im + r + 8 * h + k * step);
      }
    }
#pragma GCC unroll 2
    for (uint32_t h = 0; h < 2; ++h) {
      EightButterflies<float, Inverse, Floats>(ar[h], ai[h], c, s);
      Floats tr[8], ti[8];
#pragma GCC unroll 8
      for (uint32_t p = 0; p < 8; ++p) {
        tr[p] = ar[h][kRev3[p]];
        ti[p] = ai[h][kRev3[p]];
      }
      Transpose(tr);
      Transpose(ti);
#pragma GCC unroll 8
      for (uint32_t lane = 0; lane < 8; ++lane) {
        const uint32_t to = reversed[r + 8 * h + lane];
        Store(outRe + to, tr[lane]);
        Store(outIm + to, ti[lane]);
      }
    }
  }
}

template <typename T, bool Inverse>
[[gnu::always_inline]] inline void FirstEightPass(T* re, T* im, uint32_t n, const T* c, const T* s) {
  using W = Wide<T>;
  const uint32_t step = n / 8;
  uint32_t r = 0;
  for (; r + W::kLanes <= step; r += W::kLanes) FirstEight<T, Inverse, typename W::Vec>(re, im, r, step, c, s);
  for (; r < step; ++r) FirstEight<T, Inverse, T>(re, im, r, step, c, s);
}

// x, y := x + w y, x - w y, w = c + i s, on registers.
template <typename V>
[[gnu::always_inline]] inline void Butterfly(V& xr, V& xi, V& yr, V& yi, const V& c, const V& s) {
  const V tr = yr * c - yi * s;
  const V ti = yr * s + yi * c;
  yr = xr - tr;
  yi = xi - ti;
  xr = xr + tr;
  xi = xi + ti;
}

template <typename T, bool Inverse, bool Scaled, typename V>
[[gnu::always_inline]] inline void TwoStagesVec(T* re, T* im, uint32_t j, uint32_t h, const T* ct, const T* st,
                                                T scale) {
  V ar[4], ai[4];
#pragma GCC unroll 4
  for (uint32_t q = 0; q < 4; ++q) {
    ar[q] = Load<V>(re + j + q * h);
    ai[q] = Load<V>(im + j + q * h);
  }
  {
    const V c = Load<V>(ct + h + j);
    const V s = Inverse ? Load<V>(st + h + j) : -Load<V>(st + h + j);
    Butterfly<V>(ar[0], ai[0], ar[1], ai[1], c, s);
    Butterfly<V>(ar[2], ai[2], ar[3], ai[3], c, s);
  }
  {
    const V c0 = Load<V>(ct + 2 * h + j), c1 = Load<V>(ct + 3 * h + j);
    const V s0 = Inverse ? Load<V>(st + 2 * h + j) : -Load<V>(st + 2 * h + j);
    const V s1 = Inverse ? Load<V>(st + 3 * h + j) : -Load<V>(st + 3 * h + j);
    Butterfly<V>(ar[0], ai[0], ar[2], ai[2], c0, s0);
    Butterfly<V>(ar[1], ai[1], ar[3], ai[3], c1, s1);
  }
#pragma GCC unroll 4
  for (uint32_t q = 0; q < 4; ++q) {
    if constexpr (Scaled) {
      Store(re + j + q * h, ar[q] * scale);
      Store(im + j + q * h, ai[q] * scale);
    } else {
      Store(re + j + q * h, ar[q]);
      Store(im + j + q * h, ai[q]);
    }
  }
}

// Stages h and 2h over one block of 4h points.
template <typename T, bool Inverse, bool Scaled>
[[gnu::always_inline]] inline void TwoStages(T* __restrict re, T* __restrict im, uint32_t h, const T* ct,
                                             const T* st, T scale) {
  using W = Wide<T>;
  uint32_t j = 0;
  for (; j + W::kLanes <= h; j += W::kLanes)
    TwoStagesVec<T, Inverse, Scaled, typename W::Vec>(re, im, j, h, ct, st, scale);
  for (; j + W::kLanes / 2 <= h; j += W::kLanes / 2)
    TwoStagesVec<T, Inverse, Scaled, typename W::Half>(re, im, j, h, ct, st, scale);
  for (; j < h; ++j) TwoStagesVec<T, Inverse, Scaled, T>(re, im, j, h, ct, st, scale);
}

// Stages of half length from .. len / 2 over len points in cache (from 1, or 8 after FirstEightPass);
// a scale other than 0 multiplies the results of the last stage by it.
template <typename T, bool Inverse>
[[gnu::always_inline]] inline void SmallStages(T* re, T* im, uint32_t len, uint32_t from, const T* cosTable,
                                               const T* sinTable, T scale) {
  uint32_t h = from;
  if (from == 1 && len >= 4) {
    // The first two stages together; the second one's twiddles are 1 and +-i.
    for (uint32_t i = 0; i < len; i += 4) {
      const T r0 = re[i] + re[i + 1], i0 = im[i] + im[i + 1];
      const T r1 = re[i] - re[i + 1], i1 = im[i] - im[i + 1];
      const T r2 = re[i + 2] + re[i + 3], i2 = im[i + 2] + im[i + 3];
      const T r3 = re[i + 2] - re[i + 3], i3 = im[i + 2] - im[i + 3];
      // t = (r3 + i i3) * (0 + i s), s = +1 for the inverse, -1 for the forward transform
      const T tr = Inverse ? -i3 : i3;
      const T ti = Inverse ? r3 : -r3;
      re[i] = r0 + r2;
      im[i] = i0 + i2;
      re[i + 2] = r0 - r2;
      im[i + 2] = i0 - i2;
      re[i + 1] = r1 + tr;
      im[i + 1] = i1 + ti;
      re[i + 3] = r1 - tr;
      im[i + 3] = i1 - ti;
    }
    h = 4;
  } else if (from == 1 && len == 2) {
    const T ar = re[0], ai = im[0], br = re[1], bi = im[1];
    re[0] = ar + br;
    im[0] = ai + bi;
    re[1] = ar - br;
    im[1] = ai - bi;
    if (scale != T(0)) {
      for (uint32_t i = 0; i < 2; ++i) {
        re[i] *= scale;
        im[i] *= scale;
      }
    }
    return;
  }
  // Two stages per pass while two remain: the butterflies of h and 2h on the four quarters of each
  // block of 4h, the same operations as two passes with half the loads and stores.
  for (; 4 * h <= len; h *= 4) {
    const bool last = 4 * h == len && scale != T(0);
    for (uint32_t blk = 0; blk < len; blk += 4 * h) {
      if (last)
        TwoStages<T, Inverse, true>(re + blk, im + blk, h, cosTable, sinTable, scale);
      else
        TwoStages<T, Inverse, false>(re + blk, im + blk, h, cosTable, sinTable, scale);
    }
  }
  for (; h < len; h *= 2) {
    const bool last = 2 * h == len && scale != T(0);
    for (uint32_t blk = 0; blk < len; blk += 2 * h) {
      if (last)
        Butterflies<T, Inverse, true>(re + blk, im + blk, re + blk + h, im + blk + h, cosTable + h, sinTable + h,
                                      h, scale);
      else
        Butterflies<T, Inverse>(re + blk, im + blk, re + blk + h, im + blk + h, cosTable + h, sinTable + h, h);
    }
  }
  if (len == 4 && scale != T(0)) {  // only the joined first two stages ran
    for (uint32_t i = 0; i < 4; ++i) {
      re[i] *= scale;
      im[i] *= scale;
    }
  }
}

// Twiddles of one stage above the table: pi j / h = pi a kFine / h + pi b / h.
struct LargeStage {
  std::vector<double> coarseCos, coarseSin;  // a = 0 .. h / kFine - 1
  std::vector<double> fineCos, fineSin;      // b = 0 .. kFine - 1
};

struct GroupJob {
  uint32_t n, h0, stages;
  const void* cosTable;
  const void* sinTable;
  const LargeStage* large;  // indexed by log2(h / kTabledHalf) - 1 for h above the table
  bool scale;               // multiply by 1 / n on the way out
};

// Stages h0, 2 h0, ... (job.stages of them) in one pass over memory: the 2^stages rows of kColumns
// columns that meet in these butterflies are gathered, transformed and put back.
template <typename T, bool Inverse>
[[gnu::always_inline]] inline void GroupPass(T* re, T* im, const GroupJob& job) {
  constexpr uint32_t C = kColumns;
  const uint32_t rows = 1u << job.stages, h0 = job.h0, span = h0 * rows;
  const T* cosTable = static_cast<const T*>(job.cosTable);
  const T* sinTable = static_cast<const T*>(job.sinTable);
  alignas(64) T br[(1u << kGroup) * C], bi[(1u << kGroup) * C];
  alignas(64) T tc[C], ts[C];
  const T scale = T(1) / static_cast<T>(job.n);  // exact: n is a power of two
  for (uint32_t B = 0; B < job.n; B += span) {
    for (uint32_t j0 = 0; j0 < h0; j0 += C) {
      for (uint32_t r = 0; r < rows; ++r) {
        std::memcpy(br + r * C, re + B + r * h0 + j0, sizeof(T) * C);
        std::memcpy(bi + r * C, im + B + r * h0 + j0, sizeof(T) * C);
      }
      for (uint32_t s = 0; s < job.stages; ++s) {
        const uint32_t hl = 1u << s;
        const uint32_t h = h0 * hl;
        for (uint32_t m = 0; m < hl; ++m) {
          const uint32_t base = m * h0 + j0;
          const T* wc;
          const T* ws;
          if (h <= kTabledHalf) {
            wc = cosTable + h + base;
            ws = sinTable + h + base;
          } else {
            uint32_t level = 0;
            while ((kTabledHalf << (level + 1)) < h) ++level;
            const LargeStage& L = job.large[level];
            const double cr = L.coarseCos[base / kFine], ci = L.coarseSin[base / kFine];
            const uint32_t b0 = base % kFine;
            for (uint32_t t = 0; t < C; ++t) {
              const double fr = L.fineCos[b0 + t], fi = L.fineSin[b0 + t];
              tc[t] = static_cast<T>(cr * fr - ci * fi);
              ts[t] = static_cast<T>(cr * fi + ci * fr);
            }
            wc = tc;
            ws = ts;
          }
          for (uint32_t g = m; g < rows; g += 2 * hl)
            Butterflies<T, Inverse>(br + g * C, bi + g * C, br + (g + hl) * C, bi + (g + hl) * C, wc, ws, C);
        }
      }
      if (job.scale) {
        using V = typename Wide<T>::Vec;
        for (uint32_t i = 0; i < rows * C; i += Wide<T>::kLanes) {
          Store(br + i, Load<V>(br + i) * scale);
          Store(bi + i, Load<V>(bi + i) * scale);
        }
      }
      for (uint32_t r = 0; r < rows; ++r) {
        std::memcpy(re + B + r * h0 + j0, br + r * C, sizeof(T) * C);
        std::memcpy(im + B + r * h0 + j0, bi + r * C, sizeof(T) * C);
      }
    }
  }
}

// The butterfly loops, built for AVX2 and for the baseline; the loader picks one when the program
// starts. Both do the same operations in the same order, so their results agree to the bit.
#define FFT_KERNELS(T, Suffix)                                                                      \
  __attribute__((target_clones("avx2", "default"))) void SmallStages##Suffix(                      \
      bool inverse, T* re, T* im, uint32_t len, uint32_t from, const T* c, const T* s, T scale) {    \
    if (inverse)                                                                                    \
      SmallStages<T, true>(re, im, len, from, c, s, scale);                                         \
    else                                                                                            \
      SmallStages<T, false>(re, im, len, from, c, s, scale);                                        \
  }                                                                                                 \
  __attribute__((target_clones("avx2", "default"))) void FirstEight##Suffix(                       \
      bool inverse, T* re, T* im, uint32_t n, const T* c, const T* s) {                             \
    if (inverse)                                                                                    \
      FirstEightPass<T, true>(re, im, n, c, s);                                                     \
    else                                                                                            \
      FirstEightPass<T, false>(re, im, n, c, s);                                                    \
  }                                                                                                 \
  __attribute__((target_clones("avx2", "default"))) void GroupPass##Suffix(bool inverse, T* re, T* im, \
                                                                           const GroupJob& job) {   \
    if (inverse)                                                                                    \
      GroupPass<T, true>(re, im, job);                                                              \
    else                                                                                            \
      GroupPass<T, false>(re, im, job);                                                             \
  }

FFT_KERNELS(float, F)
FFT_KERNELS(double, D)
#undef FFT_KERNELS

__attribute__((target_clones("avx2", "default"))) void FirstEightReversed(bool inverse, const float* re,
                                                                          const float* im, float* outRe,
                                                                          float* outIm, uint32_t n, const float* c,
                                                                          const float* s, const uint32_t* reversed) {
  if (inverse)
    FirstEightReversedPass<true>(re, im, outRe, outIm, n, c, s, reversed);
  else
    FirstEightReversedPass<false>(re, im, outRe, outIm, n, c, s, reversed);
}

void SmallStagesOf(bool inverse, float* re, float* im, uint32_t len, uint32_t from, const float* c,
                   const float* s, float scale) {
  SmallStagesF(inverse, re, im, len, from, c, s, scale);
}
void SmallStagesOf(bool inverse, double* re, double* im, uint32_t len, uint32_t from, const double* c,
                   const double* s, double scale) {
  SmallStagesD(inverse, re, im, len, from, c, s, scale);
}
void FirstEightOf(bool inverse, float* re, float* im, uint32_t n, const float* c, const float* s) {
  FirstEightF(inverse, re, im, n, c, s);
}
void FirstEightOf(bool inverse, double* re, double* im, uint32_t n, const double* c, const double* s) {
  FirstEightD(inverse, re, im, n, c, s);
}
void GroupPassOf(bool inverse, float* re, float* im, const GroupJob& job) { GroupPassF(inverse, re, im, job); }
void GroupPassOf(bool inverse, double* re, double* im, const GroupJob& job) { GroupPassD(inverse, re, im, job); }

// cos and sin of pi k / h for k = 0 .. count - 1 (k < h), in double: the angle split as
// k = a * 64 + b and the product of two short tables, as exact as a direct cos/sin.
void Angles(uint32_t h, uint32_t count, std::vector<double>& c, std::vector<double>& s) {
  c.resize(count);
  s.resize(count);
  constexpr uint32_t kSplit = 64;
  const uint32_t fine = std::min(kSplit, count);
  std::vector<double> fc(fine), fs(fine);
  for (uint32_t b = 0; b < fine; ++b) {
    const double a = std::numbers::pi * b / h;
    fc[b] = std::cos(a);
    fs[b] = std::sin(a);
  }
  for (uint32_t a0 = 0; a0 < count; a0 += kSplit) {
    const double a = std::numbers::pi * a0 / h;
    const double cc = std::cos(a), cs = std::sin(a);
    const uint32_t end = std::min(count - a0, kSplit);
    for (uint32_t b = 0; b < end; ++b) {
      c[a0 + b] = cc * fc[b] - cs * fs[b];
      s[a0 + b] = cc * fs[b] + cs * fc[b];
    }
  }
  if (count > h / 2 && (h % 2) == 0) {  // exactly pi / 2
    c[h / 2] = 0.0;
    s[h / 2] = 1.0;
  }
}

}  // namespace

template <typename T>
TwiddleTable<T>::TwiddleTable(uint32_t size) : cos(std::max<uint32_t>(size, 2), T(0)), sin(cos.size(), T(0)) {
  if (size < 2) return;
  // The largest stage (half length size / 2) holds every angle pi j / (size / 2); smaller stages take
  // every other entry of the next larger one.
  const uint32_t top = size / 2;
  std::vector<double> c, s;
  Angles(top, top, c, s);
  for (uint32_t h = top; h >= 1; h /= 2) {
    const uint32_t stride = top / h;
    for (uint32_t j = 0; j < h; ++j) {
      cos[h + j] = static_cast<T>(c[j * stride]);
      sin[h + j] = static_cast<T>(s[j * stride]);
    }
  }
}

namespace {

// The table of a thread: one, grown to the longest length asked for (up to 2 kTabledHalf).
template <typename T>
std::shared_ptr<const TwiddleTable<T>> SharedTable(uint32_t n) {
  thread_local std::shared_ptr<const TwiddleTable<T>> table;
  const uint32_t size = std::min(std::max<uint32_t>(n, 2), 2 * kTabledHalf);
  if (!table || table->cos.size() < size) table = std::make_shared<const TwiddleTable<T>>(size);
  return table;
}

}  // namespace

template <typename T>
Plan<T>::Plan(uint32_t n) : n_(n), table_(SharedTable<T>(n)) {
  if (n >= kTiledFrom) {
    uint32_t bits = 0;
    while ((1u << bits) < n) ++bits;
    const uint32_t midBits = bits - 2 * kTileBits;
    reversedMiddle_.resize(size_t{1} << midBits);
    for (uint32_t i = 0; i < reversedMiddle_.size(); ++i) {
      uint32_t r = 0;
      for (uint32_t b = 0; b < midBits; ++b) r |= ((i >> b) & 1u) << (midBits - 1 - b);
      reversedMiddle_[i] = r;
    }
  }
  if (n > 2 && n <= kInCache) {
    reversed_.resize(n);
    uint32_t bits = 0;
    while ((1u << bits) < n) ++bits;
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t r = 0;
      for (uint32_t b = 0; b < bits; ++b) r |= ((i >> b) & 1u) << (bits - 1 - b);
      reversed_[i] = r;
    }
  }
}

// Bit reversal by tiles: with i = (a, b, c), a and c of kTileBits bits each, the reversed index is
// (rev c, rev b, rev a), so the tile of the middle part b and that of rev b trade places transposed,
// and every row of a tile is one run of contiguous samples.
template <typename T>
void Plan<T>::ReverseTiled(T* x) const {
  constexpr uint32_t q = kTileBits, side = 1u << q;
  const uint32_t midCount = static_cast<uint32_t>(reversedMiddle_.size());
  const uint32_t rowStride = n_ >> q;  // step of a
  T t1[side * side], t2[side * side];
  for (uint32_t b = 0; b < midCount; ++b) {
    const uint32_t rb = reversedMiddle_[b];
    if (rb < b) continue;
    T* p1 = x + (b << q);
    T* p2 = x + (rb << q);
    for (uint32_t a = 0; a < side; ++a) {
      std::memcpy(t1 + a * side, p1 + a * rowStride, sizeof(T) * side);
      std::memcpy(t2 + a * side, p2 + a * rowStride, sizeof(T) * side);
    }
    for (uint32_t a = 0; a < side; ++a) {
      const uint32_t ra = kTileReversed[a];
      T* row1 = p1 + a * rowStride;
      T* row2 = p2 + a * rowStride;
      for (uint32_t c = 0; c < side; ++c) {
        const uint32_t from = kTileReversed[c] * side + ra;
        row1[c] = t2[from];
        row2[c] = t1[from];
      }
    }
  }
}

template <typename T>
void Plan<T>::Reverse(T* re, T* im) const {
  const uint32_t n = n_;
  if (n >= kTiledFrom) {
    for (T* x : {re, im}) ReverseTiled(x);
  } else if (n > 2) {
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t r = reversed_[i];
      if (i < r) {
        std::swap(re[i], re[r]);
        std::swap(im[i], im[r]);
      }
    }
  }
}

template <typename T>
void Plan<T>::Run(int direction, T* re, T* im) const {
  const uint32_t n = n_;
  if (n < 2) return;
  const bool inverse = direction > 0;
  const T* c = table_->cos.data();
  const T* s = table_->sin.data();
  if (n <= kInCache) {
    // All of it stays in cache: the first three stages before the reversal (single precision: on the
    // way into the scratch copy, reversed), the rest in place, the inverse's 1/n in the last stage.
    const T scale = inverse ? T(1) / static_cast<T>(n) : T(0);
    if constexpr (std::is_same_v<T, float>) {
      if (n >= kFirstEightFrom) {
        thread_local std::vector<float> scratch;
        if (scratch.size() < 2 * size_t{n}) scratch.resize(2 * size_t{kInCache});
        float* sr = scratch.data();
        float* si = sr + n;
        FirstEightReversed(inverse, re, im, sr, si, n, c, s, reversed_.data());
        // The stages inside a block while it is in the first-level cache, then the rest.
        const uint32_t block = std::min(n, kBlock);
        for (uint32_t b = 0; b < n; b += block)
          SmallStagesOf(inverse, sr + b, si + b, block, 8, c, s, block == n ? scale : 0.0f);
        if (block < n) SmallStagesOf(inverse, sr, si, n, block, c, s, scale);
        std::memcpy(re, sr, sizeof(float) * n);
        std::memcpy(im, si, sizeof(float) * n);
        return;
      }
    }
    uint32_t from = 1;
    if (n >= kFirstEightFrom) {
      FirstEightOf(inverse, re, im, n, c, s);
      from = 8;
    }
    Reverse(re, im);
    SmallStagesOf(inverse, re, im, n, from, c, s, scale);
    return;
  }
  FirstEightOf(inverse, re, im, n, c, s);
  Reverse(re, im);
  const uint32_t block = kBlock;
  for (uint32_t b = 0; b < n; b += block) SmallStagesOf(inverse, re + b, im + b, block, 8, c, s, T(0));
  if (n <= kInSecondLevel) {
    // Still in the second-level cache: the rest two stages per pass, in place.
    SmallStagesOf(inverse, re, im, n, block, c, s, inverse ? T(1) / static_cast<T>(n) : T(0));
    return;
  }
  // Stages above the table get their twiddles from two short tables each.
  std::vector<LargeStage> large;
  for (uint32_t h = 2 * kTabledHalf; h < n && h != 0; h *= 2) {
    LargeStage& L = large.emplace_back();
    const uint32_t coarse = h / kFine;
    L.coarseCos.resize(coarse);
    L.coarseSin.resize(coarse);
    for (uint32_t a = 0; a < coarse; ++a) {
      const double angle = std::numbers::pi * (static_cast<double>(a) * kFine) / h;
      L.coarseCos[a] = 4 * a * kFine == 2 * h ? 0.0 : std::cos(angle);
      L.coarseSin[a] = std::sin(angle);
    }
    L.fineCos.resize(kFine);
    L.fineSin.resize(kFine);
    for (uint32_t b = 0; b < kFine; ++b) {
      const double angle = std::numbers::pi * b / h;
      L.fineCos[b] = std::cos(angle);
      L.fineSin[b] = std::sin(angle);
    }
  }
  // The remaining stages in passes of at most kGroup stages, as even as they come.
  uint32_t stages = 0;
  for (uint32_t h = block; h < n; h *= 2) ++stages;
  const uint32_t passes = (stages + kGroup - 1) / kGroup;
  uint32_t h0 = block;
  for (uint32_t p = 0; p < passes; ++p) {
    const uint32_t g = (stages + (passes - p) - 1) / (passes - p);
    stages -= g;
    const GroupJob job{n, h0, g, c, s, large.data(), inverse && p + 1 == passes};
    GroupPassOf(inverse, re, im, job);
    h0 <<= g;
  }
}

template <typename T>
const Plan<T>& PlanFor(uint32_t n) {
  constexpr size_t kKept = 4;
  thread_local std::vector<std::unique_ptr<Plan<T>>> plans;
  for (size_t i = 0; i < plans.size(); ++i) {
    if (plans[i]->Size() == n) {
      std::rotate(plans.begin(), plans.begin() + static_cast<std::ptrdiff_t>(i),
                  plans.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return *plans.front();
    }
  }
  if (plans.size() == kKept) plans.pop_back();
  plans.insert(plans.begin(), std::make_unique<Plan<T>>(n));
  return *plans.front();
}

template struct TwiddleTable<float>;
template struct TwiddleTable<double>;
template class Plan<float>;
template class Plan<double>;
template const Plan<float>& PlanFor<float>(uint32_t);
template const Plan<double>& PlanFor<double>(uint32_t);

}  // namespace toolkit::fft
