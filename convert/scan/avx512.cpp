// The AVX-512 expanders (VBMI2): a block's whole output without a step per
// special byte, for every table.
//
// The slot expander lays out a fixed number of slots per input byte (1, 2
// or 4: the table's longest form, the line feed kept after a tag aside),
// the form right-aligned in them. Lookups of the table (vpermi2b over 128
// entries; the bytes from 128 up are plain) give each slot's byte and
// which slots a byte uses, in either mode (one blend by the mask of the
// bytes read in after-tag mode); the few after-tag forms with other bytes
// than the normal ones are put in by masks; vpcompressb keeps the
// used slots of 64 in a register, stored whole (a compress straight to
// memory is slow on Intel).
//
// For two_byte_forms (every preset but -C) the older vpexpandb expander
// stays, as it measured faster there: the output of a block is its bytes
// with a slot opened before each special one, and vpexpandb opens all
// the slots at once; the slots then get the prefix '\\'. (It once gave
// '%' its own prefix, by the byte after each slot, for -C: that made it
// slower than the slot scan, 9.3 against 13.3 GB/s in kiv_filter_bench
// on AMD Zen 5, while -P ran as fast through either.) The blank before a
// line break, instead of being taken back, becomes that break's prefix
// and the break just its letter: same bytes, same length, no slot.

#include "convert/scan/arch.h"

#if KIV_X86_64_SIMD
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
  __m512i prefix;     // the first byte of every form
  __m512i breaks[sizeof kLineBreaks];
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
  // Every form has two bytes; a line break is always special.
  scan.prefix =
      _mm512_set1_epi8(static_cast<char>(table.form[kLineBreaks[0]][0]));
  for (std::size_t i = 0; i < sizeof kLineBreaks; ++i) {
    scan.breaks[i] = _mm512_set1_epi8(static_cast<char>(kLineBreaks[i]));
  }
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
  _mm512_storeu_si512(o, _mm512_mask_blend_epi8(placed, scan.prefix, spread));
  return o + 32 + _mm_popcnt_u32(specials);
}

// Filters the 64 bytes at p (p[-1] must be readable).
KIV_TARGET(KIV_AVX512_FEATURES)
inline unsigned char* expand_block(const ExpandScan& scan,
                                   const unsigned char* p, std::uint64_t,
                                   unsigned char* o) {
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
    std::uint64_t breaks = 0;
    for (const __m512i& line_break : scan.breaks) {
      breaks |= _mm512_cmpeq_epi8_mask(block, line_break);
    }
    std::uint64_t blanks = _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8(' '));
    bytes = _mm512_mask_blend_epi8(blanks & breaks >> 1, bytes, scan.prefix);
    specials &= ~(breaks & blanks << 1);
    // A blank before the block is taken back: the break is written whole.
    o -= (breaks & 1) & (p[-1] == ' ');
  }
  o = expand_half(scan, bytes, static_cast<std::uint32_t>(specials), o);
  __m512i upper = _mm512_maskz_shuffle_i64x2(0xFF, bytes, bytes, 0xEE);
  return expand_half(scan, upper, static_cast<std::uint32_t>(specials >> 32),
                     o);
}

// For both scans of this level.
template <class Scan>
KIV_TARGET(KIV_AVX512_FEATURES)
inline std::uint64_t byte_mask(const Scan&, const unsigned char* p,
                               unsigned char value) {
  return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p),
                                _mm512_set1_epi8(static_cast<char>(value)));
}

// A byte of FilterTable::after_tag_own whose after-tag form puts other
// bytes into slots 2 and 3 than its normal row does (a form of at most
// two bytes there; two take slots 2 and 3 whatever kSlots is).
struct AfterForm {
  unsigned char value;
  unsigned char first;  // slot 2
  unsigned char last;   // slot 3
};

// The slot scan, for every table: each byte gets kSlots slots (the last
// ones, for a form shorter than kSlots), the slots take the form's bytes
// from lookups of the table, and vpcompressb keeps the used ones. Without
// tag ends (kTagEnds false) no byte is read in after-tag mode.
template <int kSlots, bool kTagEnds>
struct SlotScan {
  static constexpr bool kExpands = true;
  __m512i bits[2][2];     // slot_bits of each mode, bytes 0-63 and 64-127
  __m512i form[4][2];     // slot_form, the same way
  AfterForm after[kAfterTagOwn];
  int after_forms;        // how many of after are in use
  const unsigned char* drops_blank;  // FilterTable::drops_blank
};

template <int kSlots, bool kTagEnds>
KIV_TARGET(KIV_AVX512_FEATURES)
SlotScan<kSlots, kTagEnds> make_slot_scan(const FilterTable& table) {
  SlotScan<kSlots, kTagEnds> scan;
  for (int mode = 0; mode < 2; ++mode) {
    scan.bits[mode][0] = _mm512_loadu_si512(table.slot_bits[mode]);
    scan.bits[mode][1] = _mm512_loadu_si512(table.slot_bits[mode] + 64);
  }
  for (int j = 4 - kSlots; j < 4; ++j) {
    scan.form[j][0] = _mm512_loadu_si512(table.slot_form[j]);
    scan.form[j][1] = _mm512_loadu_si512(table.slot_form[j] + 64);
  }
  scan.drops_blank = table.drops_blank;
  scan.after_forms = 0;
  for (int i = 0; i < kAfterTagOwn; ++i) {
    unsigned c = table.after_tag_own[i];
    const unsigned entry = kAfterTag + c;
    unsigned length = table.form_length[entry];
    // Slot 2 matters only for a form of two bytes; below 2 slots a byte
    // has its own value there (form[2] of expand_block).
    unsigned char normal2 = kSlots >= 2 ? table.slot_form[2][c]
                                        : static_cast<unsigned char>(c);
    unsigned char first = length == 2 ? table.form[entry][0] : normal2;
    unsigned char last = length != 0 ? table.form[entry][length - 1]
                                     : table.slot_form[3][c];
    if (first == normal2 && last == table.slot_form[3][c]) continue;
    scan.after[scan.after_forms++] = {static_cast<unsigned char>(c), first,
                                      last};
  }
  return scan;
}

// Keeps the used slots of 64 and stores them (64 bytes); returns the new
// end of the output.
KIV_TARGET(KIV_AVX512_FEATURES)
inline unsigned char* keep_slots(__m512i slots, std::uint64_t used,
                                 unsigned char* o) {
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(used, slots));
  return o + _mm_popcnt_u64(used);
}

// Byte v[index[i] % 64] in place i. (All-ones masked: GCC 12's plain
// intrinsic warns about an undefined operand.)
KIV_TARGET(KIV_AVX512_FEATURES)
inline __m512i permute_bytes(__m512i index, __m512i v) {
  return _mm512_maskz_permutexvar_epi8(~__mmask64{0}, index, v);
}

// Index vectors over two sources: for half h, byte 2i is byte 32h + i of
// the first and byte 2i + 1 that of the second (slot pairs); for quarter
// q of a half, bytes 4i, 4i + 1 are pair 16q + i of the first and bytes
// 4i + 2, 4i + 3 that of the second (slots in fours).
alignas(64) constexpr unsigned char kPairBytes[2][64] = {
#define KIV_PAIR(h, i) 32 * (h) + (i), 64 + 32 * (h) + (i)
#define KIV_PAIRS4(h, i) KIV_PAIR(h, i), KIV_PAIR(h, i + 1), \
    KIV_PAIR(h, i + 2), KIV_PAIR(h, i + 3)
#define KIV_PAIRS16(h, i) KIV_PAIRS4(h, i), KIV_PAIRS4(h, i + 4), \
    KIV_PAIRS4(h, i + 8), KIV_PAIRS4(h, i + 12)
    {KIV_PAIRS16(0, 0), KIV_PAIRS16(0, 16)},
    {KIV_PAIRS16(1, 0), KIV_PAIRS16(1, 16)},
};
alignas(64) constexpr unsigned char kQuadBytes[2][64] = {
#define KIV_QUAD(q, i) 32 * (q) + 2 * (i), 32 * (q) + 2 * (i) + 1, \
    64 + 32 * (q) + 2 * (i), 64 + 32 * (q) + 2 * (i) + 1
#define KIV_QUADS4(q, i) KIV_QUAD(q, i), KIV_QUAD(q, i + 1), \
    KIV_QUAD(q, i + 2), KIV_QUAD(q, i + 3)
    {KIV_QUADS4(0, 0), KIV_QUADS4(0, 4), KIV_QUADS4(0, 8), KIV_QUADS4(0, 12)},
    {KIV_QUADS4(1, 0), KIV_QUADS4(1, 4), KIV_QUADS4(1, 8), KIV_QUADS4(1, 12)},
};
#undef KIV_PAIR
#undef KIV_PAIRS4
#undef KIV_PAIRS16
#undef KIV_QUAD
#undef KIV_QUADS4

// The forms of the block's bytes, slot by slot: form[j] for the slots a
// kSlots table lays out (form[2] too where kSlots is 1, for a form of two
// bytes after a tag), the after-tag forms with other bytes put in.
template <int kSlots, bool kTagEnds>
KIV_TARGET(KIV_AVX512_FEATURES)
inline void look_up_forms(const SlotScan<kSlots, kTagEnds>& scan,
                          __m512i block, __mmask64 high, std::uint64_t after,
                          __m512i form[4]) {
  for (int j = 4 - kSlots; j < 4; ++j) {
    form[j] = _mm512_mask2_permutex2var_epi8(scan.form[j][0], block,
                                             _knot_mask64(high),
                                             scan.form[j][1]);
  }
  if (kSlots == 1) form[2] = block;
  // The bytes read in after-tag mode whose form there has other bytes.
  for (int i = 0; kTagEnds && i < scan.after_forms; ++i) {
    const AfterForm& a = scan.after[i];
    __mmask64 at = _mm512_mask_cmpeq_epi8_mask(
        after, block, _mm512_set1_epi8(static_cast<char>(a.value)));
    form[2] = _mm512_mask_mov_epi8(form[2], at, _mm512_set1_epi8(a.first));
    form[3] = _mm512_mask_mov_epi8(form[3], at, _mm512_set1_epi8(a.last));
  }
}

// Filters the 64 bytes at p (p[-1] readable), after marking those read in
// after-tag mode. The masks stay in mask registers, and the blank taken
// back before the block comes from the table: on AMD Zen 4 each move of a
// mask to a general register costs about two cycles a block, and with
// four such moves fewer -h took about 0.8 of the time (kiv_filter_bench).
template <int kSlots, bool kTagEnds>
KIV_TARGET(KIV_AVX512_FEATURES)
inline unsigned char* expand_block(const SlotScan<kSlots, kTagEnds>& scan,
                                   const unsigned char* p, std::uint64_t after,
                                   unsigned char* o) {
  __m512i block = _mm512_loadu_si512(p);
  // The lookups take 7 bits; the bytes from 128 up are plain: they write
  // one byte (below) and are their own byte in every slot (look_up_forms).
  __mmask64 high = _mm512_movepi8_mask(block);
  __m512i bits =
      _mm512_permutex2var_epi8(scan.bits[0][0], block, scan.bits[0][1]);
  if (kTagEnds) {
    bits = _mm512_mask_blend_epi8(
        after, bits,
        _mm512_permutex2var_epi8(scan.bits[1][0], block, scan.bits[1][1]));
  }
  bits = _mm512_mask_mov_epi8(bits, high, _mm512_set1_epi8(kWritesOne));
  __mmask64 one = _mm512_test_epi8_mask(bits, _mm512_set1_epi8(kWritesOne));
  __mmask64 two = 0;
  if (kSlots >= 2 || kTagEnds) {
    two = _mm512_test_epi8_mask(bits, _mm512_set1_epi8(kWritesTwo));
  }
  __mmask64 four = 0;
  if (kSlots >= 4) {
    four = _mm512_test_epi8_mask(bits, _mm512_set1_epi8(kWritesFour));
  }
  __mmask64 drops = _mm512_test_epi8_mask(bits, _mm512_set1_epi8(kDropsBlank));
  __m512i form[4];
  if (kSlots >= 2) look_up_forms(scan, block, high, after, form);
  // The blank before a byte that drops it goes; one just before the block
  // was written already, and is taken back.
  __mmask64 taken = _mm512_mask_cmpeq_epi8_mask(_kshiftri_mask64(drops, 1),
                                                block, _mm512_set1_epi8(' '));
  one = _kandn_mask64(taken, one);
  unsigned first = p[0] | static_cast<unsigned>(after & 1) * kAfterTag;
  o -= scan.drops_blank[first] & (p[-1] == ' ');
  // A block takes as many slots as its longest form needs, up to the
  // table's kSlots (a form of two bytes after a tag needs two even where
  // kSlots is 1). Under -H about half the corpus's blocks have no "&lt;"
  // or "&gt;" and are laid out in one or two slots.
  if (_kortestz_mask64_u8(four, two)) {
    return keep_slots(kSlots == 1 ? block : form[3], one, o);
  }
  // A one-slot table looks its forms up only here: a byte of it that
  // writes one byte writes itself (block_slots in layout.cpp gives a form
  // of one other byte two slots).
  if (kSlots == 1) look_up_forms(scan, block, high, after, form);
  const __m512i pairs[2] = {_mm512_load_si512(kPairBytes[0]),
                            _mm512_load_si512(kPairBytes[1])};
  // Which slots are used comes from the same lookup, spread over the
  // slots like the forms. A blank taken back is read in normal mode,
  // where it writes itself (no option escapes a blank), so clearing all
  // its flags clears just kWritesOne.
  const __m512i flags =
      _mm512_mask_mov_epi8(bits, taken, _mm512_setzero_si512());
  if (kSlots <= 2 || four == 0) {
    const __m512i used_by = _mm512_set1_epi16(kWritesTwo | kWritesOne << 8);
    for (int h = 0; h < 2; ++h) {
      __mmask64 used =
          _mm512_test_epi8_mask(permute_bytes(pairs[h], flags), used_by);
      o = keep_slots(_mm512_permutex2var_epi8(form[2], pairs[h], form[3]),
                     used, o);
    }
    return o;
  }
  const __m512i quads[2] = {_mm512_load_si512(kQuadBytes[0]),
                            _mm512_load_si512(kQuadBytes[1])};
  const __m512i used_by = _mm512_set1_epi32(
      kWritesFour | kWritesFour << 8 | kWritesTwo << 16 | kWritesOne << 24);
  for (int h = 0; h < 2; ++h) {
    __m512i front = _mm512_permutex2var_epi8(form[0], pairs[h], form[1]);
    __m512i back = _mm512_permutex2var_epi8(form[2], pairs[h], form[3]);
    __m512i paired = permute_bytes(pairs[h], flags);
    for (int q = 0; q < 2; ++q) {
      __mmask64 used =
          _mm512_test_epi8_mask(permute_bytes(quads[q], paired), used_by);
      o = keep_slots(_mm512_permutex2var_epi8(front, quads[q], back), used,
                     o);
    }
  }
  return o;
}

template <bool kTagEnds>
KIV_TARGET(KIV_AVX512_FEATURES)
std::size_t filter_slots(const FilterTable& table, FilterState& state,
                         const unsigned char* in, std::size_t n,
                         unsigned char* out) {
  switch (table.block_slots) {
    case 1:
      return blocks::filter_with(table, make_slot_scan<1, kTagEnds>(table),
                                 state, in, n, out);
    case 2:
      return blocks::filter_with(table, make_slot_scan<2, kTagEnds>(table),
                                 state, in, n, out);
    default:  // 4
      return blocks::filter_with(table, make_slot_scan<4, kTagEnds>(table),
                                 state, in, n, out);
  }
}

}  // namespace

KIV_TARGET(KIV_AVX512_FEATURES)
std::size_t filter_avx512(const FilterTable& table, FilterState& state,
                          const unsigned char* in, std::size_t n,
                          unsigned char* out) {
  if (table.block_slots == 2 && table.two_byte_forms) {
    return blocks::filter_with(table, make_expand_scan(table), state, in, n,
                               out);
  }
  if (table.tag_ends) return filter_slots<true>(table, state, in, n, out);
  return filter_slots<false>(table, state, in, n, out);
}

}  // namespace kiv
#endif
