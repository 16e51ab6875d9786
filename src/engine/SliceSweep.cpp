#include "engine/SliceSweep.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/EngineOptions.h"

namespace zorvik {

namespace {

// Values [j0, end) one at a time: the portable sweep, and the tail of the vector one. Returns whether every value
// was readable; `lanes` receives a bit (from j0) for each that reached its limit.
template <bool kDouble>
inline bool SweepLanes(const uint8_t* raw, size_t j0, size_t end, const TSliceSweep& s, uint32_t& lanes) {
  bool ok = true;
  lanes = 0;
  for (size_t j = j0; j < end; ++j) {
    float f;
    if constexpr (kDouble) {
      double v;
      std::memcpy(&v, raw + 8 * j, 8);
      ok &= std::fabs(v) <= static_cast<double>(FLT_MAX);
      f = static_cast<float>(v);
    } else {
      std::memcpy(&f, raw + 4 * j, 4);
      ok &= std::fabs(f) <= FLT_MAX;
    }
    if (s.Row) s.Row[j] = f;
    s.Sums[j] += f;
    s.NonZero[j] += f > kZeroFloat;
    if (s.Limits) {
      const bool above = s.Ceilings && f >= s.Ceilings[j];
      if (s.Ceilings) s.Above[j] += above;
      const bool reached = f >= s.Limits[j] && !above;
      if (s.Marks)
        s.Marks[j] |= reached ? s.MarkBit : 0u;
      else
        lanes |= static_cast<uint32_t>(reached) << (j - j0);
    }
  }
  return ok;
}

template <bool kDouble>
int SweepPortable(const uint8_t* raw, size_t n, const TSliceSweep& s) {
  bool ok = true;
  int listed = 0;
  for (size_t j0 = 0; j0 < n; j0 += kSweepTile) {
    uint32_t lanes;
    ok &= SweepLanes<kDouble>(raw, j0, std::min(n, j0 + kSweepTile), s, lanes);
    s.Tiles[listed] = static_cast<uint32_t>(j0);
    s.Lanes[listed] = lanes;
    listed += lanes != 0;
  }
  return ok ? listed : -1;
}

#if defined(__x86_64__)
// The values after the last whole tile.
template <bool kDouble>
inline bool SweepTail(const uint8_t* raw, size_t full, size_t n, const TSliceSweep& s, int& listed) {
  uint32_t lanes;
  const bool ok = SweepLanes<kDouble>(raw, full, n, s, lanes);
  s.Tiles[listed] = static_cast<uint32_t>(full);
  s.Lanes[listed] = lanes;
  listed += lanes != 0;
  return ok;
}

// Eight receptors of a tile: their single-precision values f (halves lo and hi, widened for the sums).
__attribute__((target("avx2"))) inline void SweepEight(const TSliceSweep& s, size_t q, __m256 f, __m128 lo,
                                                          __m128 hi, __m256 zero, uint32_t& lanes) {
  if (s.Row) _mm256_storeu_ps(s.Row + q, f);
  _mm256_storeu_pd(s.Sums + q, _mm256_add_pd(_mm256_loadu_pd(s.Sums + q), _mm256_cvtps_pd(lo)));
  _mm256_storeu_pd(s.Sums + q + 4, _mm256_add_pd(_mm256_loadu_pd(s.Sums + q + 4), _mm256_cvtps_pd(hi)));
  auto* nonZero = reinterpret_cast<__m256i*>(s.NonZero + q);
  // A true comparison is all ones, -1 as an integer.
  _mm256_storeu_si256(nonZero, _mm256_sub_epi32(_mm256_loadu_si256(nonZero),
                                                _mm256_castps_si256(_mm256_cmp_ps(f, zero, _CMP_GT_OQ))));
  if (!s.Limits) return;
  __m256 reached = _mm256_cmp_ps(f, _mm256_loadu_ps(s.Limits + q), _CMP_GE_OQ);
  if (s.Ceilings) {
    const __m256 above = _mm256_cmp_ps(f, _mm256_loadu_ps(s.Ceilings + q), _CMP_GE_OQ);
    auto* count = reinterpret_cast<__m256i*>(s.Above + q);
    _mm256_storeu_si256(count, _mm256_sub_epi32(_mm256_loadu_si256(count), _mm256_castps_si256(above)));
    reached = _mm256_andnot_ps(above, reached);
  }
  if (s.Marks) {
    auto* marks = reinterpret_cast<__m256i*>(s.Marks + q);
    const __m256i bit = _mm256_and_si256(_mm256_castps_si256(reached), _mm256_set1_epi32(static_cast<int>(s.MarkBit)));
    _mm256_storeu_si256(marks, _mm256_or_si256(_mm256_loadu_si256(marks), bit));
    return;
  }
  lanes = static_cast<uint32_t>(_mm256_movemask_ps(reached));
}

// Values of 8-byte doubles (kDouble) or 4-byte floats, eight receptors at a time.
template <bool kDouble>
__attribute__((target("avx2"))) int SweepAvx2(const uint8_t* raw, size_t n, const TSliceSweep& sweep) {
  // A copy of its own: the stores through the sweep's arrays cannot change it, so its pointers stay in registers.
  const TSliceSweep s = sweep;
  const __m256 zero = _mm256_set1_ps(kZeroFloat);
  // All lanes stay all ones while every value is a finite number within single precision.
  __m256 ok = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
  const size_t full = n - n % kSweepTile;
  int listed = 0;
  for (size_t j0 = 0; j0 < full; j0 += kSweepTile) {
    uint32_t lanes[2] = {0, 0};
    for (size_t q = j0; q < j0 + kSweepTile; q += 8) {
      __m128 lo, hi;
      __m256 f;
      if constexpr (kDouble) {
        const auto* values = reinterpret_cast<const double*>(raw);
        const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffff));
        const __m256d largest = _mm256_set1_pd(FLT_MAX);
        const __m256d d0 = _mm256_loadu_pd(values + q);
        const __m256d d1 = _mm256_loadu_pd(values + q + 4);
        ok = _mm256_and_ps(ok, _mm256_castpd_ps(_mm256_cmp_pd(_mm256_and_pd(d0, magnitude), largest, _CMP_LE_OQ)));
        ok = _mm256_and_ps(ok, _mm256_castpd_ps(_mm256_cmp_pd(_mm256_and_pd(d1, magnitude), largest, _CMP_LE_OQ)));
        lo = _mm256_cvtpd_ps(d0);
        hi = _mm256_cvtpd_ps(d1);
        f = _mm256_set_m128(hi, lo);
      } else {
        const auto* values = reinterpret_cast<const float*>(raw);
        const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
        f = _mm256_loadu_ps(values + q);
        ok = _mm256_and_ps(ok, _mm256_cmp_ps(_mm256_and_ps(f, magnitude), _mm256_set1_ps(FLT_MAX), _CMP_LE_OQ));
        lo = _mm256_castps256_ps128(f);
        hi = _mm256_extractf128_ps(f, 1);
      }
      SweepEight(s, q, f, lo, hi, zero, lanes[(q - j0) / 8]);
    }
    s.Tiles[listed] = static_cast<uint32_t>(j0);
    s.Lanes[listed] = lanes[0] | lanes[1] << 8;
    listed += s.Lanes[listed] != 0;
  }
  const bool tailOk = SweepTail<kDouble>(raw, full, n, s, listed);
  return _mm256_movemask_ps(ok) == 0xFF && tailOk ? listed : -1;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

namespace detail {
int SweepSlicePortable(const uint8_t* raw, size_t n, bool doublePrecision, const TSliceSweep& sweep) {
  return doublePrecision ? SweepPortable<true>(raw, n, sweep) : SweepPortable<false>(raw, n, sweep);
}
}  // namespace detail

int SweepSlice(const uint8_t* raw, size_t n, bool doublePrecision, const TSliceSweep& sweep) {
#if defined(__x86_64__)
  if (kHasAvx2) return doublePrecision ? SweepAvx2<true>(raw, n, sweep) : SweepAvx2<false>(raw, n, sweep);
#endif
  return detail::SweepSlicePortable(raw, n, doublePrecision, sweep);
}

}  // namespace zorvik
