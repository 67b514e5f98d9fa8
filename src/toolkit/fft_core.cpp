#include "toolkit/fft_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

namespace toolkit::fft {

namespace {

// Stages whose butterflies stay inside this many points run block by block.
constexpr uint32_t kBlock = 1u << 11;
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
[[gnu::always_inline]] inline void Store(T* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

// count butterflies x, y := x + w y, x - w y with w = c + i s (forward: c - i s).
template <typename T, bool Inverse, typename V>
[[gnu::always_inline]] inline void ButterflyVec(T* xr, T* xi, T* yr, T* yi, const T* wc, const T* ws) {
  const V c = Load<V>(wc);
  const V s = Inverse ? Load<V>(ws) : -Load<V>(ws);
  const V br = Load<V>(yr), bi = Load<V>(yi);
  const V tr = br * c - bi * s;
  const V ti = br * s + bi * c;
  const V ar = Load<V>(xr), ai = Load<V>(xi);
  Store(yr, ar - tr);
  Store(yi, ai - ti);
  Store(xr, ar + tr);
  Store(xi, ai + ti);
}

template <typename T, bool Inverse>
[[gnu::always_inline]] inline void Butterflies(T* __restrict xr, T* __restrict xi, T* __restrict yr,
                                               T* __restrict yi, const T* __restrict wc,
                                               const T* __restrict ws, uint32_t count) {
  using W = Wide<T>;
  uint32_t j = 0;
  for (; j + W::kLanes <= count; j += W::kLanes)
    ButterflyVec<T, Inverse, typename W::Vec>(xr + j, xi + j, yr + j, yi + j, wc + j, ws + j);
  for (; j + W::kLanes / 2 <= count; j += W::kLanes / 2)
    ButterflyVec<T, Inverse, typename W::Half>(xr + j, xi + j, yr + j, yi + j, wc + j, ws + j);
  for (; j < count; ++j) {
    const T c = wc[j];
    const T s = Inverse ? ws[j] : -ws[j];
    const T tr = yr[j] * c - yi[j] * s;
    const T ti = yr[j] * s + yi[j] * c;
    yr[j] = xr[j] - tr;
    yi[j] = xi[j] - ti;
    xr[j] += tr;
    xi[j] += ti;
  }
}

// Stages of half length 1 .. len / 2 over len points in cache.
template <typename T, bool Inverse>
[[gnu::always_inline]] inline void SmallStages(T* re, T* im, uint32_t len, const T* cosTable,
                                               const T* sinTable) {
  uint32_t h = 1;
  if (len >= 4) {
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
  } else if (len == 2) {
    const T ar = re[0], ai = im[0], br = re[1], bi = im[1];
    re[0] = ar + br;
    im[0] = ai + bi;
    re[1] = ar - br;
    im[1] = ai - bi;
    return;
  }
  for (; h < len; h *= 2)
    for (uint32_t blk = 0; blk < len; blk += 2 * h)
      Butterflies<T, Inverse>(re + blk, im + blk, re + blk + h, im + blk + h, cosTable + h, sinTable + h, h);
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
      bool inverse, T* re, T* im, uint32_t len, const T* c, const T* s) {                           \
    if (inverse)                                                                                    \
      SmallStages<T, true>(re, im, len, c, s);                                                      \
    else                                                                                            \
      SmallStages<T, false>(re, im, len, c, s);                                                     \
  }                                                                                                 \
  __attribute__((target_clones("avx2", "default"))) void GroupPass##Suffix(bool inverse, T* re, T* im, \
                                                                           const GroupJob& job) {   \
    if (inverse)                                                                                    \
      GroupPass<T, true>(re, im, job);                                                              \
    else                                                                                            \
      GroupPass<T, false>(re, im, job);                                                             \
  }                                                                                                 \
  __attribute__((target_clones("avx2", "default"))) void Scale##Suffix(T* re, T* im, uint32_t n) { \
    const T scale = T(1) / static_cast<T>(n);                                                       \
    for (uint32_t i = 0; i < n; ++i) {                                                              \
      re[i] *= scale;                                                                               \
      im[i] *= scale;                                                                               \
    }                                                                                               \
  }

FFT_KERNELS(float, F)
FFT_KERNELS(double, D)
#undef FFT_KERNELS

void SmallStagesOf(bool inverse, float* re, float* im, uint32_t len, const float* c, const float* s) {
  SmallStagesF(inverse, re, im, len, c, s);
}
void SmallStagesOf(bool inverse, double* re, double* im, uint32_t len, const double* c, const double* s) {
  SmallStagesD(inverse, re, im, len, c, s);
}
void GroupPassOf(bool inverse, float* re, float* im, const GroupJob& job) { GroupPassF(inverse, re, im, job); }
void GroupPassOf(bool inverse, double* re, double* im, const GroupJob& job) { GroupPassD(inverse, re, im, job); }
void ScaleOf(float* re, float* im, uint32_t n) { ScaleF(re, im, n); }
void ScaleOf(double* re, double* im, uint32_t n) { ScaleD(re, im, n); }

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
  } else if (n > 2) {
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
  Reverse(re, im);
  const bool inverse = direction > 0;
  const T* c = table_->cos.data();
  const T* s = table_->sin.data();
  const uint32_t block = std::min(n, kBlock);
  for (uint32_t b = 0; b < n; b += block) SmallStagesOf(inverse, re + b, im + b, block, c, s);
  if (n == block) {
    if (inverse) ScaleOf(re, im, n);
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
