// The SSSE3 scan: a table lookup by low and by high nibble (pshufb), the
// same few instructions however many bytes the options name.

#include "convert/scan/arch.h"

#if KIV_X86_SIMD
#include <tmmintrin.h>

#include "convert/scan/blocks.h"
#include "convert/scan/levels.h"
#include "convert/scan/sse2.h"

namespace kiv {
namespace {

struct Ssse3Scan {
  static constexpr bool kExpands = false;
  __m128i low;
  __m128i high;
};

// All ones in the bytes of the 16 at p that are not special.
KIV_TARGET("ssse3")
inline __m128i plain16(const Ssse3Scan& scan, const unsigned char* p) {
  const __m128i nibble = _mm_set1_epi8(0x0F);
  __m128i block = sse2::load16(p);
  __m128i low = _mm_shuffle_epi8(scan.low, _mm_and_si128(block, nibble));
  __m128i high = _mm_shuffle_epi8(
      scan.high, _mm_and_si128(_mm_srli_epi16(block, 4), nibble));
  return _mm_cmpeq_epi8(_mm_and_si128(low, high), _mm_setzero_si128());
}

KIV_TARGET("ssse3")
inline std::uint64_t special_mask(const Ssse3Scan& scan,
                                  const unsigned char* p) {
  return ~sse2::bits64(plain16(scan, p), plain16(scan, p + 16),
                       plain16(scan, p + 32), plain16(scan, p + 48));
}

inline std::uint64_t byte_mask(const Ssse3Scan&, const unsigned char* p,
                               unsigned char value) {
  return sse2::byte_mask(p, value);
}

}  // namespace

KIV_TARGET("ssse3")
std::size_t filter_ssse3(const FilterTable& table, FilterState& state,
                         const unsigned char* in, std::size_t n,
                         unsigned char* out) {
  Ssse3Scan scan;
  scan.low = sse2::load16(table.nibble_low);
  scan.high = sse2::load16(table.nibble_high);
  return blocks::filter_with(table, scan, state, in, n, out);
}

}  // namespace kiv
#endif
