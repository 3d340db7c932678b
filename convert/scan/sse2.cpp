// The SSE2 scan: one compare per special byte value, 16 bytes at a time.
// Every x86-64 processor has it.

#include "convert/scan/arch.h"

#if KIV_X86_SIMD
#include "convert/scan/blocks.h"
#include "convert/scan/levels.h"
#include "convert/scan/sse2.h"

namespace kiv {
namespace {

struct Sse2Scan {
  static constexpr bool kExpands = false;
  __m128i specials[sizeof(FilterTable::specials)];
  int count;
};

Sse2Scan make_sse2_scan(const FilterTable& table) {
  Sse2Scan scan;
  scan.count = table.special_count;
  for (int i = 0; i < table.special_count; ++i) {
    scan.specials[i] = _mm_set1_epi8(static_cast<char>(table.specials[i]));
  }
  return scan;
}

// All ones in the bytes of the 16 at p that are special.
inline __m128i special16(const Sse2Scan& scan, const unsigned char* p) {
  __m128i block = sse2::load16(p);
  __m128i hits = _mm_setzero_si128();
  for (int i = 0; i < scan.count; ++i) {
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, scan.specials[i]));
  }
  return hits;
}

inline std::uint64_t special_mask(const Sse2Scan& scan,
                                  const unsigned char* p) {
  return sse2::bits64(special16(scan, p), special16(scan, p + 16),
                      special16(scan, p + 32), special16(scan, p + 48));
}

inline std::uint64_t byte_mask(const Sse2Scan&, const unsigned char* p,
                               unsigned char value) {
  return sse2::byte_mask(p, value);
}

}  // namespace

std::size_t filter_sse2(const FilterTable& table, FilterState& state,
                        const unsigned char* in, std::size_t n,
                        unsigned char* out) {
  const Sse2Scan scan = make_sse2_scan(table);
  return blocks::filter_with(table, scan, state, in, n, out);
}

}  // namespace kiv
#endif
