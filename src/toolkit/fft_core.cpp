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

}  // namespace

template <typename T>
Plan<T>::Plan(uint32_t n) : n_(n) {
  if (n > 2) {
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

template <typename T>
template <bool Inverse>
void Plan<T>::Stages(T* re, T* im, uint32_t from, uint32_t to, uint32_t len) const {
  using Vec = typename Lanes<T>::Vec;
  constexpr size_t kLanes = Lanes<T>::kCount;
  for (uint32_t h = from; h < to; h *= 2) {
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
  if (n > 2) {
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
