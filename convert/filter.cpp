#include "convert/filter.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

// x86 processors get vector scans; which one runs is decided at run time,
// so one build serves every x86-64 processor. Elsewhere the scalar scan
// runs.
#if defined(__x86_64__) || defined(_M_X64) || \
    (defined(__i386__) && defined(__SSE2__)) || \
    (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define KIV_X86_SIMD 1
#include <immintrin.h>
// The AVX2 scan needs 64-bit tzcnt. MinGW's GCC is left out: it may spill
// 32-byte vectors to a stack that Windows aligns to 16 bytes only.
#if (defined(__x86_64__) || defined(_M_X64)) && !defined(__MINGW32__)
#define KIV_AVX2 1
#endif
#endif
#if defined(_MSC_VER)
#include <intrin.h>
#endif

#if defined(__GNUC__) || defined(__clang__)
#define KIV_TARGET(name) __attribute__((target(name)))
#define KIV_ALWAYS_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define KIV_TARGET(name)
#define KIV_ALWAYS_INLINE __forceinline
#else
#define KIV_TARGET(name)
#define KIV_ALWAYS_INLINE inline
#endif

namespace kiv {
namespace {

struct EscapeRow {
  bool Options::*flag;
  unsigned char byte;
  const char* form;
};

constexpr EscapeRow kEscapeTable[] = {
    {&Options::escape_tab, '\t', "\\t"},
    {&Options::escape_quote, '"', "\\\""},
    {&Options::escape_backslash, '\\', "\\\\"},
    {&Options::escape_slash, '/', "\\/"},
    {&Options::escape_bar, '|', "\\|"},
    {&Options::escape_dot, '.', "\\."},
    {&Options::escape_semicolon, ';', "\\;"},
    {&Options::escape_star, '*', "\\*"},
    {&Options::escape_hash, '#', "\\#"},
    {&Options::escape_ampersand, '&', "\\&"},
    {&Options::escape_parens, '(', "\\("},
    {&Options::escape_parens, ')', "\\)"},
    {&Options::escape_brackets, '[', "\\["},
    {&Options::escape_brackets, ']', "\\]"},
    {&Options::escape_braces, '{', "\\{"},
    {&Options::escape_braces, '}', "\\}"},
    {&Options::double_percent, '%', "%%"},
    {&Options::html_entities, '<', "&lt;"},
    {&Options::html_entities, '>', "&gt;"},
};

// The filter looks at blocks of 64 bytes: a vector scan marks the bytes
// that are not plain with one bit each, and the rest is copied unread.
constexpr std::ptrdiff_t kBlockBytes = 64;

constexpr unsigned char kTagEnd = '>';

inline unsigned char* put(unsigned char* out, const FilterTable& table,
                          unsigned char c) {
  std::memcpy(out, table.form[c], 4);
  return out + table.form_length[c];
}

// Position of the lowest set bit of a mask that is not zero.
inline int lowest_bit(std::uint64_t mask) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long index;
#if defined(_M_X64) || defined(_M_ARM64)
  _BitScanForward64(&index, mask);
#else
  if (!_BitScanForward(&index, static_cast<unsigned long>(mask))) {
    _BitScanForward(&index, static_cast<unsigned long>(mask >> 32));
    index += 32;
  }
#endif
  return static_cast<int>(index);
#else
  return __builtin_ctzll(mask);
#endif
}

// The scans. Each returns a bit for every byte of a block that is not
// plain; marking a plain byte too is harmless (it takes the slow way and
// is written unchanged), missing one is not. A scan also says how the
// block's special bytes are visited (see filter_blocks).
struct ScalarScan {
  static constexpr bool kExpands = false;
  static constexpr bool kBranchFree = false;
  const FilterTable* table;
};

inline std::uint64_t special_mask(const ScalarScan& scan,
                                  const unsigned char* p) {
  std::uint64_t mask = 0;
  for (int k = 0; k < kBlockBytes; ++k) {
    std::uint64_t special = scan.table->kind[p[k]] != ByteKind::plain;
    mask |= special << k;
  }
  return mask;
}

inline void copy_block(const ScalarScan&, unsigned char* to,
                       const unsigned char* from) {
  std::memcpy(to, from, kBlockBytes);
}

inline int first_special(const ScalarScan&, std::uint64_t mask) {
  return lowest_bit(mask);
}

#if KIV_X86_SIMD
// One compare per special byte value.
struct Sse2Scan {
  static constexpr bool kExpands = false;
  static constexpr bool kBranchFree = false;
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

inline std::uint64_t special_bits16(const Sse2Scan& scan,
                                    const unsigned char* p) {
  __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i hits = _mm_setzero_si128();
  for (int i = 0; i < scan.count; ++i) {
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, scan.specials[i]));
  }
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}

inline std::uint64_t special_mask(const Sse2Scan& scan,
                                  const unsigned char* p) {
  return special_bits16(scan, p) | special_bits16(scan, p + 16) << 16 |
         special_bits16(scan, p + 32) << 32 |
         special_bits16(scan, p + 48) << 48;
}

inline void copy_block(const Sse2Scan&, unsigned char* to,
                       const unsigned char* from) {
  std::memcpy(to, from, kBlockBytes);
}

inline int first_special(const Sse2Scan&, std::uint64_t mask) {
  return lowest_bit(mask);
}

// A table lookup by low and by high nibble (pshufb), the same few
// instructions however many bytes the options name.
struct Ssse3Scan {
  static constexpr bool kExpands = false;
  static constexpr bool kBranchFree = false;
  __m128i low;
  __m128i high;
};

KIV_TARGET("ssse3")
inline std::uint64_t special_bits16(const Ssse3Scan& scan,
                                    const unsigned char* p) {
  const __m128i nibble = _mm_set1_epi8(0x0F);
  __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i low = _mm_shuffle_epi8(scan.low, _mm_and_si128(block, nibble));
  __m128i high = _mm_shuffle_epi8(
      scan.high, _mm_and_si128(_mm_srli_epi16(block, 4), nibble));
  __m128i plain =
      _mm_cmpeq_epi8(_mm_and_si128(low, high), _mm_setzero_si128());
  return ~static_cast<unsigned>(_mm_movemask_epi8(plain)) & 0xFFFFu;
}

KIV_TARGET("ssse3")
inline std::uint64_t special_mask(const Ssse3Scan& scan,
                                  const unsigned char* p) {
  return special_bits16(scan, p) | special_bits16(scan, p + 16) << 16 |
         special_bits16(scan, p + 32) << 32 |
         special_bits16(scan, p + 48) << 48;
}

KIV_TARGET("ssse3")
inline void copy_block(const Ssse3Scan&, unsigned char* to,
                       const unsigned char* from) {
  std::memcpy(to, from, kBlockBytes);
}

inline int first_special(const Ssse3Scan&, std::uint64_t mask) {
  return lowest_bit(mask);
}

#if KIV_AVX2
// The same lookup, 32 bytes at a time; tzcnt (BMI1) gives 64 for an empty
// mask, which lets the specials be visited without a branch.
struct Avx2Scan {
  static constexpr bool kExpands = false;
  static constexpr bool kBranchFree = true;
  __m256i low;
  __m256i high;
};

KIV_TARGET("avx2")
inline std::uint64_t special_bits32(const Avx2Scan& scan,
                                    const unsigned char* p) {
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  __m256i low = _mm256_shuffle_epi8(scan.low, _mm256_and_si256(block, nibble));
  __m256i high = _mm256_shuffle_epi8(
      scan.high, _mm256_and_si256(_mm256_srli_epi16(block, 4), nibble));
  __m256i plain =
      _mm256_cmpeq_epi8(_mm256_and_si256(low, high), _mm256_setzero_si256());
  return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(plain));
}

KIV_TARGET("avx2")
inline std::uint64_t special_mask(const Avx2Scan& scan,
                                  const unsigned char* p) {
  return special_bits32(scan, p) | special_bits32(scan, p + 32) << 32;
}

// Two 32-byte moves; left to memcpy, compilers split them in four.
KIV_TARGET("avx2")
inline void copy_block(const Avx2Scan&, unsigned char* to,
                       const unsigned char* from) {
  __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
  __m256i second =
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 32));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), first);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 32), second);
}

KIV_TARGET("bmi")
inline int first_special(const Avx2Scan&, std::uint64_t mask) {
  return static_cast<int>(_tzcnt_u64(mask));
}

#define KIV_AVX512_FEATURES \
  "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt"

// For tables whose special bytes all become two bytes (see
// FilterTable::two_byte_forms) no step per special is needed: the output
// of a block is its bytes with a slot opened before each special one, and
// vpexpandb opens all the slots at once; the slots then get the prefix.
// The blank before a line break, instead of being taken back, becomes
// that break's backslash and the break just its n: same bytes, same
// length, no slot.
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
    if (table.kind[c] != ByteKind::plain) {
      letters[c] = static_cast<unsigned char>(table.form[c][1] - c);
    }
  }
  scan.letters = in_every_lane(letters);
  scan.percent = table.kind[static_cast<unsigned char>('%')] != ByteKind::plain;
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

// Filters normal-mode bytes from p (p[-1] must be readable) while more
// than a block is left; the last byte of the chunk is always left.
KIV_TARGET(KIV_AVX512_FEATURES)
inline const unsigned char* filter_expanding(const ExpandScan& scan,
                                             const unsigned char* p,
                                             const unsigned char* end,
                                             unsigned char*& out) {
  if (end - p <= kBlockBytes) return p;
  unsigned char* o = out;
  // A blank written the slow way before a line break that the blocks
  // make just n: it becomes the backslash.
  if (!scan.keep_blanks && p[-1] == ' ' && (p[0] == '\n' || p[0] == '\r')) {
    o[-1] = '\\';
  }
  while (end - p > kBlockBytes) {
    o = expand_block(scan, p, o);
    p += kBlockBytes;
  }
  out = o;
  return p;
}
#endif
#endif

// Handles the lowest special byte of the block at p, or, once the mask is
// empty, the entry past 255 that writes only beyond the block and moves
// nothing. o is where the block's first byte goes as long as the bytes
// from this one on are plain: the byte's form is written at its place, o
// moves by the form's extra length, and the rest of the block is copied
// again behind the form. Returns the byte's position if it is a tag end
// (nothing done), else -1; kTagEnds tells whether the table has any.
template <bool kTagEnds, class Scan>
KIV_ALWAYS_INLINE int filter_special(const FilterTable& table,
                                     const Scan& scan, const unsigned char* p,
                                     std::uint64_t& mask, unsigned char*& o) {
  int at = first_special(scan, mask);
  unsigned entry = p[at] | static_cast<unsigned>(mask == 0) << 8;
  if (kTagEnds && table.kind[entry] == ByteKind::tag_end) return at;
  // A blank directly before a line break is the last byte written.
  o -= table.drops_blank[entry] & (p[at - 1] == ' ');
  std::memcpy(o + at, table.form[entry], 4);
  o += table.form_length[entry] - 1;
  copy_block(scan, o + at + 1, p + at + 1);
  mask &= mask - 1;
  return -1;
}

// Filters normal-mode bytes from p (p[-1] must be readable: a line break
// looks at the byte before it) while more than two blocks are left,
// because the copy behind a special byte reads up to one block past it.
// Stops at a tag end, which it leaves for the caller.
//
// Each block is copied whole first, then its special bytes are handled;
// plain bytes cost no branch. Where the scan allows, the specials are
// taken three at a time whether the block has that many or not: how many
// specials a block holds is as good as random, and a loop that stops
// after each would mispredict about once a block, which costs more than
// the idle steps.
template <bool kTagEnds, class Scan>
KIV_ALWAYS_INLINE const unsigned char* filter_blocks(
    const FilterTable& table, const Scan& scan, const unsigned char* p,
    const unsigned char* end, unsigned char*& out) {
  unsigned char* o = out;
  while (end - p > 2 * kBlockBytes) {
    std::uint64_t mask = special_mask(scan, p);
    copy_block(scan, o, p);
    if constexpr (Scan::kBranchFree) {
      do {
        for (int step = 0; step < 3; ++step) {
          int tag = filter_special<kTagEnds>(table, scan, p, mask, o);
          if (tag >= 0) {
            out = o + tag;
            return p + tag;
          }
        }
      } while (mask != 0);
    } else {
      while (mask != 0) {
        int tag = filter_special<kTagEnds>(table, scan, p, mask, o);
        if (tag >= 0) {
          out = o + tag;
          return p + tag;
        }
      }
    }
    o += kBlockBytes;
    p += kBlockBytes;
  }
  out = o;
  return p;
}

// Blanks are copied like plain bytes. When a line break follows a blank in
// normal mode, that blank is the last byte written, so it is taken back;
// a blank at the end of a chunk is held back instead, because the line
// break that decides its fate lies in the next chunk.
template <class Scan>
KIV_ALWAYS_INLINE std::size_t filter_with(const FilterTable& table,
                                          const Scan& scan,
                                          FilterState& state,
                                          const unsigned char* in,
                                          std::size_t n, unsigned char* out) {
  const unsigned char* p = in;
  const unsigned char* const end = in + n;
  unsigned char* o = out;
  if (p == end) return 0;
  if (state.pending_blank) {
    state.pending_blank = false;
    if (*p != '\n' && *p != '\r') *o++ = ' ';
  }
  while (p < end) {
    if (state.after_tag) {
      unsigned char c = *p++;
      if (c == ' ') {
        if (table.keep_blanks) {
          *o++ = ' ';
          state.after_tag = false;
        }
      } else if (c == '\n') {
        if (table.escape_newline) {
          *o++ = '\\';
          *o++ = 'n';
        } else {
          *o++ = '\n';
        }
        state.after_tag = false;
      } else if (c == '\r') {
        // Not in the escape table: the form table holds its line break.
        *o++ = '\r';
        state.after_tag = false;
      } else {
        o = put(o, table, c);
        state.after_tag = c == '>';
      }
      continue;
    }
    if (p > in) {
      if constexpr (Scan::kExpands) {
        p = filter_expanding(scan, p, end, o);
      } else if (table.kind[kTagEnd] == ByteKind::tag_end) {
        p = filter_blocks<true>(table, scan, p, end, o);
      } else {
        p = filter_blocks<false>(table, scan, p, end, o);
      }
      if (p == end) break;
    }
    // One byte the slow way: the chunk's first byte (the blank before it
    // was settled above), a tag end, or one of the chunk's last bytes.
    unsigned char c = *p;
    if (table.kind[c] == ByteKind::tag_end) {
      state.after_tag = true;
    } else if (p > in && p[-1] == ' ') {
      o -= table.drops_blank[c];
    }
    o = put(o, table, c);
    ++p;
  }
  if (!table.keep_blanks && !state.after_tag && end[-1] == ' ') {
    --o;
    state.pending_blank = true;
  }
  return static_cast<std::size_t>(o - out);
}

std::size_t filter_scalar(const FilterTable& table, FilterState& state,
                          const unsigned char* in, std::size_t n,
                          unsigned char* out) {
  const ScalarScan scan{&table};
  return filter_with(table, scan, state, in, n, out);
}

#if KIV_X86_SIMD
std::size_t filter_sse2(const FilterTable& table, FilterState& state,
                        const unsigned char* in, std::size_t n,
                        unsigned char* out) {
  const Sse2Scan scan = make_sse2_scan(table);
  return filter_with(table, scan, state, in, n, out);
}

KIV_TARGET("ssse3")
std::size_t filter_ssse3(const FilterTable& table, FilterState& state,
                         const unsigned char* in, std::size_t n,
                         unsigned char* out) {
  Ssse3Scan scan;
  scan.low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.nibble_low));
  scan.high =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.nibble_high));
  return filter_with(table, scan, state, in, n, out);
}

#if KIV_AVX2
KIV_TARGET("avx2,bmi")
std::size_t filter_avx2(const FilterTable& table, FilterState& state,
                        const unsigned char* in, std::size_t n,
                        unsigned char* out) {
  Avx2Scan scan;
  scan.low = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.nibble_low)));
  scan.high = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.nibble_high)));
  return filter_with(table, scan, state, in, n, out);
}

KIV_TARGET(KIV_AVX512_FEATURES)
std::size_t filter_avx512(const FilterTable& table, FilterState& state,
                          const unsigned char* in, std::size_t n,
                          unsigned char* out) {
  if (!table.two_byte_forms) return filter_avx2(table, state, in, n, out);
  const ExpandScan scan = make_expand_scan(table);
  return filter_with(table, scan, state, in, n, out);
}
#endif

#if defined(_MSC_VER)
KIV_TARGET("xsave")
bool os_saves_ymm() { return (_xgetbv(0) & 6) == 6; }

KIV_TARGET("xsave")
bool os_saves_zmm() { return (_xgetbv(0) & 0xE6) == 0xE6; }
#endif
#endif

// Whether every special byte is written as a prefix ('\\', or '%' for
// '%') and the byte itself or, below 16, a letter, with no tag ends: the
// case of every preset, which the AVX-512 blocks handle.
bool has_two_byte_forms(const FilterTable& table) {
  for (int i = 0; i < table.special_count; ++i) {
    unsigned char c = table.specials[i];
    const unsigned char* form = table.form[c];
    bool prefix = form[0] == '\\' || (c == '%' && form[0] == '%');
    bool second = form[1] == c || c < 16;
    if (table.kind[c] == ByteKind::tag_end || c >= 0x80 ||
        table.form_length[c] != 2 || !prefix || !second) {
      return false;
    }
  }
  return true;
}

}  // namespace

ScanLevel best_scan_level() {
#if KIV_X86_SIMD && defined(_MSC_VER)
  int info[4];
  __cpuid(info, 0);
  int last_leaf = info[0];
  __cpuid(info, 1);
  bool ssse3 = (info[2] & (1 << 9)) != 0;
  bool avx = (info[2] & (1 << 27)) != 0 && (info[2] & (1 << 28)) != 0 &&
             os_saves_ymm();
  bool avx2_bmi = false;
  bool avx512 = false;
  if (avx && last_leaf >= 7) {
    __cpuidex(info, 7, 0);
    avx2_bmi = (info[1] & (1 << 5)) != 0 && (info[1] & (1 << 3)) != 0;
    // F, BW, VL and BMI2; VBMI and VBMI2; the system saves the ZMM state.
    const int ebx = (1 << 16) | (1 << 30) | (1 << 31) | (1 << 8);
    const int ecx = (1 << 1) | (1 << 6);
    avx512 = avx2_bmi && (info[1] & ebx) == ebx && (info[2] & ecx) == ecx &&
             os_saves_zmm();
  }
#if KIV_AVX2
  if (avx512) return ScanLevel::avx512;
  if (avx2_bmi) return ScanLevel::avx2;
#endif
  return ssse3 ? ScanLevel::ssse3 : ScanLevel::sse2;
#elif KIV_X86_SIMD
#if KIV_AVX2
  bool avx2_bmi =
      __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
  if (avx2_bmi && __builtin_cpu_supports("avx512f") &&
      __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("avx512vbmi2") &&
      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt")) {
    return ScanLevel::avx512;
  }
  if (avx2_bmi) return ScanLevel::avx2;
#endif
  if (__builtin_cpu_supports("ssse3")) return ScanLevel::ssse3;
  return ScanLevel::sse2;
#else
  return ScanLevel::scalar;
#endif
}

FilterTable make_filter_table(const Options& options) {
  FilterTable table{};
  for (int c = 0; c < kTableEntries; ++c) {
    table.kind[c] = ByteKind::plain;
    table.form[c][0] = static_cast<unsigned char>(c);
    table.form_length[c] = 1;
  }
  for (const EscapeRow& row : kEscapeTable) {
    if (!(options.*row.flag)) continue;
    std::size_t length = std::strlen(row.form);
    std::memcpy(table.form[row.byte], row.form, length);
    table.form_length[row.byte] = static_cast<unsigned char>(length);
    table.kind[row.byte] = ByteKind::escaped;
  }
  const unsigned char line_breaks[] = {'\n', '\r'};
  for (unsigned char c : line_breaks) {
    table.kind[c] = ByteKind::line_break;
    table.form[c][0] = '\\';
    table.form[c][1] = 'n';
    table.form_length[c] = options.escape_newline ? 2 : 0;
    table.drops_blank[c] = options.keep_line_end_blank ? 0 : 1;
  }
  if (!options.breaks_after_tag) table.kind[kTagEnd] = ByteKind::tag_end;
  table.escape_newline = options.escape_newline;
  table.keep_blanks = options.keep_line_end_blank;
  // Every high nibble that holds a special gets a bit; nibbles 8 apart
  // share one, which can mark plain bytes too but never miss a special.
  for (int c = 0; c < 256; ++c) {
    if (table.kind[c] == ByteKind::plain) continue;
    table.specials[table.special_count++] = static_cast<unsigned char>(c);
    unsigned char bit = static_cast<unsigned char>(1u << ((c >> 4) & 7));
    table.nibble_high[c >> 4] = bit;
    table.nibble_low[c & 15] |= bit;
  }
  table.two_byte_forms = has_two_byte_forms(table);
  table.scan = best_scan_level();
  return table;
}

std::size_t filter_chunk(const FilterTable& table, FilterState& state,
                         const unsigned char* in, std::size_t n,
                         unsigned char* out) {
  switch (table.scan) {
#if KIV_X86_SIMD
#if KIV_AVX2
    case ScanLevel::avx512:
      return filter_avx512(table, state, in, n, out);
    case ScanLevel::avx2:
      return filter_avx2(table, state, in, n, out);
#endif
    case ScanLevel::ssse3:
      return filter_ssse3(table, state, in, n, out);
    case ScanLevel::sse2:
      return filter_sse2(table, state, in, n, out);
#endif
    default:
      return filter_scalar(table, state, in, n, out);
  }
}

std::size_t filter_finish(const FilterTable& table, FilterState& state,
                          unsigned char* out) {
  unsigned char* o = out;
  if (state.pending_blank) {
    *o++ = ' ';
    state.pending_blank = false;
  } else if (state.after_tag) {
    return 0;
  }
  if (table.escape_newline) {
    *o++ = '\\';
    *o++ = 'n';
  }
  return static_cast<std::size_t>(o - out);
}

namespace {

// Slices are filtered so that even a slice of nothing but "&lt;" fits the
// room left in the output buffer; output is written in pieces of at least
// kFlush bytes, or as soon as the input pauses.
constexpr std::size_t kFlush = 128 * 1024;
constexpr std::size_t kOutSize =
    kFlush + kFilterSlice * kMaxExpansion + kChunkSlack;

// The stream loop's buffers are static: a run may have little stack (a
// thread, a low ulimit), and the conversion path allocates nothing.
// input_block[0] holds a CR whose partner may start the next block.
unsigned char input_block[1 + kReadBlock];
unsigned char output_block[kOutSize];

// True when the input can deliver more bytes without waiting. On Windows
// a short read always counts as a pause.
bool more_ready(int fd) {
#if defined(_WIN32)
  (void)fd;
  return false;
#else
  pollfd waiting = {fd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&waiting, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
#endif
}

// One read call on the descriptor: a pipe delivers what it holds without
// waiting for the whole count. Returns -1 when reading failed.
long read_once(int fd, unsigned char* to, std::size_t n) {
  long got;
  do {
#if defined(_WIN32)
    got = _read(fd, to, static_cast<unsigned int>(n));
#else
    got = static_cast<long>(read(fd, to, n));
#endif
  } while (got < 0 && errno == EINTR);
  return got;
}

// Fills input_block + 1 with up to kReadBlock bytes: as many as the input
// has at the moment, and the whole block when it has that many ready.
ReadResult read_block(std::FILE* input) {
  ReadResult result;
  int fd = fileno(input);
  while (result.size < kReadBlock) {
    long got = read_once(fd, input_block + 1 + result.size,
                         kReadBlock - result.size);
    if (got < 0) {
      result.failed = true;
      break;
    }
    if (got == 0) {
      result.ended = true;
      break;
    }
    result.size += static_cast<std::size_t>(got);
    if (result.size < kReadBlock && !more_ready(fd)) break;
  }
  return result;
}

bool write_all(std::FILE* output, std::size_t n) {
  return std::fwrite(output_block, 1, n, output) == n;
}

}  // namespace

ReadResult read_first_block(std::FILE* input) { return read_block(input); }

ConvertStatus convert_text(std::FILE* input, std::FILE* output,
                           const Options& options, LineEnds line_ends) {
  return convert_text(input, output, options, line_ends,
                      read_first_block(input));
}

ConvertStatus convert_text(std::FILE* input, std::FILE* output,
                           const Options& options, LineEnds line_ends,
                           ReadResult block) {
  const FilterTable table = make_filter_table(options);
  FilterState state;
  std::size_t used = 0;
  std::size_t held = 0;
  for (;;) {
    unsigned char* data = input_block + 1 - held;
    std::size_t size = block.size + held;
    bool at_end = block.ended || block.failed;
    held = 0;
    if (line_ends == LineEnds::crlf_to_lf) {
      std::size_t kept = collapse_crlf(data, size, at_end);
      held = !at_end && size > 0 && data[size - 1] == '\r' ? 1 : 0;
      size = kept;
    }
    for (std::size_t at = 0; at < size; at += kFilterSlice) {
      std::size_t n = size - at < kFilterSlice ? size - at : kFilterSlice;
      used += filter_chunk(table, state, data + at, n, output_block + used);
      if (used >= kFlush) {
        if (!write_all(output, used)) return ConvertStatus::write_failed;
        used = 0;
      }
    }
    if (block.failed) return ConvertStatus::read_failed;
    if (block.ended) break;
    // The input has nothing more for the moment: what is converted goes
    // out now, as a pipe's reader may be waiting for it.
    if (block.size < kReadBlock && used > 0) {
      if (!write_all(output, used)) return ConvertStatus::write_failed;
      used = 0;
    }
    if (held != 0) input_block[0] = '\r';
    block = read_block(input);
  }
  used += filter_finish(table, state, output_block + used);
  if (!write_all(output, used)) return ConvertStatus::write_failed;
  return ConvertStatus::ok;
}

}  // namespace kiv
