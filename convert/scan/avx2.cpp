// The AVX2 scan: the nibble lookup of the SSSE3 scan, 32 bytes at a time,
// and the block copied in two moves. BMI1 comes with it (tzcnt for the
// lowest special).

#include "convert/scan/arch.h"

#if KIV_X86_64_SIMD
#include <immintrin.h>

#include "convert/scan/blocks.h"
#include "convert/scan/levels.h"

namespace kiv {
namespace {

struct Avx2Scan {
  static constexpr bool kExpands = false;
  __m256i low;
  __m256i high;
};

KIV_TARGET("avx2")
inline __m256i load32(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// A bit per byte of the vector whose top bit is set.
KIV_TARGET("avx2")
inline std::uint64_t bits32(__m256i marks) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(marks));
}

KIV_TARGET("avx2")
inline std::uint64_t special_bits32(const Avx2Scan& scan,
                                    const unsigned char* p) {
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  __m256i block = load32(p);
  __m256i low = _mm256_shuffle_epi8(scan.low, _mm256_and_si256(block, nibble));
  __m256i high = _mm256_shuffle_epi8(
      scan.high, _mm256_and_si256(_mm256_srli_epi16(block, 4), nibble));
  __m256i plain =
      _mm256_cmpeq_epi8(_mm256_and_si256(low, high), _mm256_setzero_si256());
  return ~bits32(plain) & 0xFFFFFFFFu;
}

KIV_TARGET("avx2")
inline std::uint64_t special_mask(const Avx2Scan& scan,
                                  const unsigned char* p) {
  return special_bits32(scan, p) | special_bits32(scan, p + 32) << 32;
}

KIV_TARGET("avx2")
inline std::uint64_t byte_mask(const Avx2Scan&, const unsigned char* p,
                               unsigned char value) {
  const __m256i wanted = _mm256_set1_epi8(static_cast<char>(value));
  return bits32(_mm256_cmpeq_epi8(load32(p), wanted)) |
         bits32(_mm256_cmpeq_epi8(load32(p + 32), wanted)) << 32;
}

// Two 32-byte moves; left to memcpy, compilers split them in four.
KIV_TARGET("avx2")
inline void copy_block(const Avx2Scan&, unsigned char* to,
                       const unsigned char* from) {
  __m256i first = load32(from);
  __m256i second = load32(from + 32);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), first);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 32), second);
}

}  // namespace

KIV_TARGET("avx2,bmi")
std::size_t filter_avx2(const FilterTable& table, FilterState& state,
                        const unsigned char* in, std::size_t n,
                        unsigned char* out) {
  Avx2Scan scan;
  scan.low = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.nibble_low)));
  scan.high = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.nibble_high)));
  return blocks::filter_with(table, scan, state, in, n, out);
}

}  // namespace kiv
#endif
