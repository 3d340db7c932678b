// The AVX-512 expander (VBMI2), for tables whose special bytes all become
// two bytes (FilterTable::two_byte_forms, every preset): no step per
// special byte is needed. The output of a block is its bytes with a slot
// opened before each special one, and vpexpandb opens all the slots at
// once; the slots then get the prefix. The blank before a line break,
// instead of being taken back, becomes that break's backslash and the
// break just its n: same bytes, same length, no slot.

#include "convert/scan/arch.h"

#if KIV_AVX2
#include <immintrin.h>

#include "convert/scan/blocks.h"
#include "convert/scan/levels.h"

namespace kiv {
namespace {

#define KIV_AVX512_FEATURES \
  "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt"

struct ExpandScan {
  static constexpr bool kExpands = true;
  __m512i low;        // the nibble tables, in every lane
  __m512i high;
  __m512i letters;    // per byte below 16: its letter minus itself
  bool percent;       // '%' is doubled, so its prefix is '%'
  bool keep_blanks;
};

// Sixteen bytes repeated in all four lanes of a vector. (Built through
// memory: GCC 12's broadcast intrinsics warn about an undefined operand.)
KIV_TARGET(KIV_AVX512_FEATURES)
inline __m512i in_every_lane(const unsigned char* sixteen) {
  alignas(64) unsigned char wide[64];
  for (int lane = 0; lane < 4; ++lane) {
    std::memcpy(wide + 16 * lane, sixteen, 16);
  }
  return _mm512_load_si512(wide);
}

KIV_TARGET(KIV_AVX512_FEATURES)
ExpandScan make_expand_scan(const FilterTable& table) {
  ExpandScan scan;
  scan.low = in_every_lane(table.nibble_low);
  scan.high = in_every_lane(table.nibble_high);
  unsigned char letters[16] = {};
  for (int c = 0; c < 16; ++c) {
    if (table.special[c]) {
      letters[c] = static_cast<unsigned char>(table.form[c][1] - c);
    }
  }
  scan.letters = in_every_lane(letters);
  scan.percent = table.special[static_cast<unsigned char>('%')] != 0;
  scan.keep_blanks = table.keep_blanks;
  return scan;
}

// Writes the output of 32 bytes (in the low half of bytes, their special
// ones marked in specials) and returns the new end of the output. Up to
// 64 bytes are stored.
KIV_TARGET(KIV_AVX512_FEATURES)
inline unsigned char* expand_half(const ExpandScan& scan, __m512i bytes,
                                  std::uint32_t specials, unsigned char* o) {
  // Two bits per input byte, a slot for its prefix and one for itself;
  // dropping the unused prefix slots leaves a 1 where a byte goes.
  const std::uint64_t byte_slots = 0xAAAAAAAAAAAAAAAAull;
  std::uint64_t used = _pdep_u64(specials, 0x5555555555555555ull) | byte_slots;
  std::uint64_t placed = _pext_u64(byte_slots, used);
  __m512i spread = _mm512_maskz_expand_epi8(placed, bytes);
  __m512i prefix = _mm512_set1_epi8('\\');
  if (scan.percent) {
    // A prefix slot takes '%' when the byte after it is '%'.
    const __m512i next = _mm512_set_epi8(
        0, 63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47,
        46, 45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29,
        28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11,
        10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    __mmask64 before_percent = _mm512_cmpeq_epi8_mask(
        _mm512_maskz_permutexvar_epi8(~__mmask64{0}, next, spread),
        _mm512_set1_epi8('%'));
    prefix = _mm512_mask_blend_epi8(before_percent, prefix,
                                    _mm512_set1_epi8('%'));
  }
  _mm512_storeu_si512(o, _mm512_mask_blend_epi8(placed, prefix, spread));
  return o + 32 + _mm_popcnt_u32(specials);
}

// Filters the 64 bytes at p (p[-1] and p[64] must be readable).
KIV_TARGET(KIV_AVX512_FEATURES)
inline unsigned char* expand_block(const ExpandScan& scan,
                                   const unsigned char* p, unsigned char* o) {
  const __m512i nibble = _mm512_set1_epi8(0x0F);
  __m512i block = _mm512_loadu_si512(p);
  __m512i low = _mm512_shuffle_epi8(scan.low, _mm512_and_si512(block, nibble));
  __m512i high = _mm512_shuffle_epi8(
      scan.high, _mm512_and_si512(_mm512_srli_epi16(block, 4), nibble));
  std::uint64_t specials = _mm512_test_epi8_mask(low, high);
  // Letters for the bytes below 16 (n for a line break, t for a tab).
  __m512i bytes = _mm512_add_epi8(
      block, _mm512_shuffle_epi8(scan.letters,
                                 _mm512_adds_epu8(block, _mm512_set1_epi8(0x70))));
  if (!scan.keep_blanks) {
    std::uint64_t breaks =
        _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8('\n')) |
        _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8('\r'));
    std::uint64_t blanks = _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8(' '));
    std::uint64_t next_breaks =
        breaks >> 1 | std::uint64_t{p[64] == '\n' || p[64] == '\r'} << 63;
    std::uint64_t prev_blanks = blanks << 1 | std::uint64_t{p[-1] == ' '};
    bytes = _mm512_mask_blend_epi8(blanks & next_breaks, bytes,
                                   _mm512_set1_epi8('\\'));
    specials &= ~(breaks & prev_blanks);
  }
  o = expand_half(scan, bytes, static_cast<std::uint32_t>(specials), o);
  __m512i upper = _mm512_maskz_shuffle_i64x2(0xFF, bytes, bytes, 0xEE);
  return expand_half(scan, upper, static_cast<std::uint32_t>(specials >> 32),
                     o);
}

}  // namespace

KIV_TARGET(KIV_AVX512_FEATURES)
std::size_t filter_avx512(const FilterTable& table, FilterState& state,
                          const unsigned char* in, std::size_t n,
                          unsigned char* out) {
  const ExpandScan scan = make_expand_scan(table);
  return blocks::filter_with(table, scan, state, in, n, out);
}

}  // namespace kiv
#endif
