#include "viewer/frame_convert.h"

#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace viewer {

namespace {

float Convert(int32_t v, double coef) {
  return static_cast<float>(static_cast<double>(static_cast<float>(v)) * coef);
}

void ConvertScalar(const int32_t* frames, size_t from, size_t count, uint16_t width, const ChannelRoute& r) {
  for (size_t n = from; n < count; ++n) r.out[n] = Convert(frames[n * width + r.fileChannel], r.coef);
}

#if defined(__SSE2__)
// Four frames of one channel, converted and stored at out.
inline void Store4(__m128i v, double coef, float* out, bool stream) {
  __m128 f = _mm_cvtepi32_ps(v);
  if (coef != 1.0) {
    const __m128d c = _mm_set1_pd(coef);
    const __m128d lo = _mm_mul_pd(_mm_cvtps_pd(f), c);
    const __m128d hi = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), c);
    f = _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi));
  }
  if (stream) {
    _mm_stream_ps(out, f);
  } else {
    _mm_storeu_ps(out, f);
  }
}
#endif

}  // namespace

void ConvertFrames(const int32_t* frames, size_t count, uint16_t width, const ChannelRoute* routes,
                   size_t routeCount) {
#if defined(__SSE2__)
  // Routes by block of four file channels; channels of a last, incomplete block go the scalar way.
  const unsigned blocks = width / 4;
  std::vector<std::vector<const ChannelRoute*>> byBlock(blocks);
  for (size_t i = 0; i < routeCount; ++i) {
    const ChannelRoute& r = routes[i];
    if (r.fileChannel / 4 < blocks) {
      byBlock[r.fileChannel / 4].push_back(&r);
    } else {
      ConvertScalar(frames, 0, count, width, r);
    }
  }
  // Sixteen frames at a time, so that each channel's stores fill whole cache lines back to back.
  const size_t whole = count / 16 * 16;
  for (unsigned b = 0; b < blocks; ++b) {
    const auto& list = byBlock[b];
    if (list.empty()) continue;
    bool aligned = true;
    for (const ChannelRoute* r : list) aligned = aligned && (reinterpret_cast<uintptr_t>(r->out) & 15) == 0;
    const int32_t* base = frames + 4 * b;
    for (size_t f = 0; f < whole; f += 16) {
      __m128i col[4][4];  // [channel in block][group of four frames]
      for (int g = 0; g < 4; ++g) {
        const int32_t* p = base + (f + 4 * g) * width;
        const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + width));
        const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * width));
        const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3 * width));
        const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
        const __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
        col[0][g] = _mm_unpacklo_epi64(t0, t1);
        col[1][g] = _mm_unpackhi_epi64(t0, t1);
        col[2][g] = _mm_unpacklo_epi64(t2, t3);
        col[3][g] = _mm_unpackhi_epi64(t2, t3);
      }
      for (const ChannelRoute* r : list) {
        const __m128i* c = col[r->fileChannel % 4];
        for (int g = 0; g < 4; ++g) Store4(c[g], r->coef, r->out + f + 4 * g, aligned);
      }
    }
    for (const ChannelRoute* r : list) ConvertScalar(frames, whole, count, width, *r);
  }
#else
  for (size_t i = 0; i < routeCount; ++i) ConvertScalar(frames, 0, count, width, routes[i]);
#endif
}

void FinishConvertedStores() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

}  // namespace viewer
