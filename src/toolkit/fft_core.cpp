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

template <typename T>
struct Lanes {
  static constexpr size_t kCount = 16 / sizeof(T);
  typedef T Vec __attribute__((vector_size(16)));
};

template <typename T>
inline typename Lanes<T>::Vec Load(const T* p) {
  typename Lanes<T>::Vec v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
inline void Store(T* p, typename Lanes<T>::Vec v) {
  std::memcpy(p, &v, sizeof v);
}

constexpr uint32_t kTileBits = 4;
// Below this the whole array stays in cache and plain swaps are faster.
constexpr uint32_t kTiledFrom = 1u << 14;
static_assert(kTiledFrom >= (1u << (2 * kTileBits)));
constexpr uint8_t kTileReversed[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

}  // namespace

template <typename T>
Plan<T>::Plan(uint32_t n) : n_(n) {
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
  cos_.assign(std::max<uint32_t>(n, 2), T(0));
  sin_.assign(std::max<uint32_t>(n, 2), T(0));
  if (n < 2) return;
  // The largest stage (half length n / 2) holds every angle pi j / (n / 2); smaller stages take every
  // other entry of the next larger one.
  const uint32_t top = n / 2;
  std::vector<double> c(top), s(top);
  for (uint32_t j = 0; j < top; ++j) {
    if (4 * j == n) {  // exactly pi / 2
      c[j] = 0.0;
      s[j] = 1.0;
      continue;
    }
    const double a = std::numbers::pi * j / top;
    c[j] = std::cos(a);
    s[j] = std::sin(a);
  }
  for (uint32_t h = top; h >= 1; h /= 2) {
    const uint32_t stride = top / h;
    for (uint32_t j = 0; j < h; ++j) {
      cos_[h + j] = static_cast<T>(c[j * stride]);
      sin_[h + j] = static_cast<T>(s[j * stride]);
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
template <bool Inverse>
void Plan<T>::Stages(T* re, T* im, uint32_t from, uint32_t to, uint32_t len) const {
  using Vec = typename Lanes<T>::Vec;
  constexpr size_t kLanes = Lanes<T>::kCount;
  uint32_t h = from;
  if (h == 1 && to >= 4) {
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
  }
  for (; h < to; h *= 2) {
    const uint32_t le = 2 * h;
    if (h == 1) {
      for (uint32_t i = 0; i < len; i += 2) {
        const T ar = re[i], ai = im[i], br = re[i + 1], bi = im[i + 1];
        re[i] = ar + br;
        im[i] = ai + bi;
        re[i + 1] = ar - br;
        im[i + 1] = ai - bi;
      }
      continue;
    }
    const T* wc = &cos_[h];
    const T* ws = &sin_[h];
    for (uint32_t blk = 0; blk < len; blk += le) {
      T* __restrict xr = re + blk;
      T* __restrict xi = im + blk;
      T* __restrict yr = re + blk + h;
      T* __restrict yi = im + blk + h;
      uint32_t j = 0;
      if (h >= kLanes) {
        for (; j < h; j += kLanes) {
          const Vec c = Load(wc + j);
          const Vec s = Inverse ? Load(ws + j) : -Load(ws + j);
          const Vec br = Load(yr + j), bi = Load(yi + j);
          const Vec tr = br * c - bi * s;
          const Vec ti = br * s + bi * c;
          const Vec ar = Load(xr + j), ai = Load(xi + j);
          Store(yr + j, ar - tr);
          Store(yi + j, ai - ti);
          Store(xr + j, ar + tr);
          Store(xi + j, ai + ti);
        }
      }
      for (; j < h; ++j) {
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
  }
}

template <typename T>
void Plan<T>::Run(int direction, T* re, T* im) const {
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
  const bool inverse = direction > 0;
  const uint32_t block = std::min(n, kBlock);
  for (uint32_t b = 0; b < n; b += block) {
    if (inverse) {
      Stages<true>(re + b, im + b, 1, block, block);
    } else {
      Stages<false>(re + b, im + b, 1, block, block);
    }
  }
  if (inverse) {
    Stages<true>(re, im, block, n, n);
    const T scale = T(1) / static_cast<T>(n);  // exact for a power of two
    for (uint32_t i = 0; i < n; ++i) {
      re[i] *= scale;
      im[i] *= scale;
    }
  } else {
    Stages<false>(re, im, block, n, n);
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

template class Plan<float>;
template class Plan<double>;
template const Plan<float>& PlanFor<float>(uint32_t);
template const Plan<double>& PlanFor<double>(uint32_t);

}  // namespace toolkit::fft
