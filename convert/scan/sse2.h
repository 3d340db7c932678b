#ifndef KIV_CONVERT_SCAN_SSE2_H_
#define KIV_CONVERT_SCAN_SSE2_H_

// 16-byte pieces that the SSE2 and SSSE3 scans share (SSE2 is part of
// SSSE3). Only for x86 builds.

#include <emmintrin.h>

#include <cstdint>

namespace kiv {
namespace sse2 {

inline __m128i load16(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// A bit per byte of the vector whose top bit is set.
inline std::uint64_t bits16(__m128i marks) {
  return static_cast<unsigned>(_mm_movemask_epi8(marks));
}

// A bit per byte of four vectors, the 64 bytes of a block in order, whose
// top bit is set.
inline std::uint64_t bits64(__m128i m0, __m128i m1, __m128i m2, __m128i m3) {
  return bits16(m0) | bits16(m1) << 16 | bits16(m2) << 32 | bits16(m3) << 48;
}

// A bit for every byte of the 64 at p that equals value.
inline std::uint64_t byte_mask(const unsigned char* p, unsigned char value) {
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  return bits64(_mm_cmpeq_epi8(load16(p), wanted),
                _mm_cmpeq_epi8(load16(p + 16), wanted),
                _mm_cmpeq_epi8(load16(p + 32), wanted),
                _mm_cmpeq_epi8(load16(p + 48), wanted));
}

}  // namespace sse2
}  // namespace kiv

#endif  // KIV_CONVERT_SCAN_SSE2_H_
