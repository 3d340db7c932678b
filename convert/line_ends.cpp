#include "convert/line_ends.h"

#include <cstring>

#include "convert/scan/arch.h"
#if KIV_X86_SIMD
#include "convert/scan/blocks.h"
#include "convert/scan/sse2.h"
#endif

namespace kiv {
#if KIV_X86_SIMD
namespace {

// Copies the 64 bytes at from to to if none of them is `byte`; the loads
// come before the stores, so to may lie below from, as when a block moves
// down in place.
bool moved_whole(const unsigned char* from, unsigned char* to, __m128i byte) {
  __m128i a = sse2::load16(from);
  __m128i b = sse2::load16(from + 16);
  __m128i c = sse2::load16(from + 32);
  __m128i d = sse2::load16(from + 48);
  __m128i hits = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(a, byte), _mm_cmpeq_epi8(b, byte)),
      _mm_or_si128(_mm_cmpeq_epi8(c, byte), _mm_cmpeq_epi8(d, byte)));
  if (_mm_movemask_epi8(hits) != 0) return false;
  __m128i* o = reinterpret_cast<__m128i*>(to);
  _mm_storeu_si128(o, a);
  _mm_storeu_si128(o + 1, b);
  _mm_storeu_si128(o + 2, c);
  _mm_storeu_si128(o + 3, d);
  return true;
}

}  // namespace
#endif

namespace {

// The first byte equal to `byte` in [p, end), or end. Like memchr, which
// the C runtime of Windows does one byte at a time.
const unsigned char* find_byte(const unsigned char* p,
                               const unsigned char* end, unsigned char byte) {
#if KIV_X86_SIMD
  for (; end - p >= blocks::kBlockBytes; p += blocks::kBlockBytes) {
    std::uint64_t mask = sse2::byte_mask(p, byte);
    if (mask != 0) return p + blocks::lowest_bit(mask);
  }
#endif
  const void* found = std::memchr(p, byte, static_cast<std::size_t>(end - p));
  return found != nullptr ? static_cast<const unsigned char*>(found) : end;
}

}  // namespace

Collapsed collapse_crlf(unsigned char* data, std::size_t n, bool at_end) {
  bool held = !at_end && n > 0 && data[n - 1] == '\r';
  std::size_t limit = held ? n - 1 : n;
  const unsigned char* const end = data + limit;
  auto before_lf = [data, n](const unsigned char* cr) {
    return cr + 1 < data + n && cr[1] == '\n';
  };
  // Up to the first CR that goes, nothing moves.
  const unsigned char* first = find_byte(data, end, '\r');
  while (first < end && !before_lf(first)) {
    first = find_byte(first + 1, end, '\r');
  }
  if (first == end) return {limit, held};
  unsigned char* out = data + (first - data);
  unsigned char* p = out + 1;
  // From here on the bytes move down: 64 at once where none is a CR,
  // otherwise 16 at a time up to the first CR among them (no call per
  // piece: the C runtime of Windows copies short pieces slowly). As out
  // lies below p, a piece stored whole also covers bytes still to be read
  // behind its CR; those are loaded before the store and put back after
  // it (what the piece has to leave ends below them).
#if KIV_X86_SIMD
  const __m128i cr = _mm_set1_epi8('\r');
  while (end - p >= 32) {
    if (end - p >= blocks::kBlockBytes && moved_whole(p, out, cr)) {
      out += blocks::kBlockBytes;
      p += blocks::kBlockBytes;
      continue;
    }
    __m128i piece = sse2::load16(p);
    unsigned crs = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(piece, cr)));
    if (crs == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), piece);
      out += 16;
      p += 16;
      continue;
    }
    int at = blocks::lowest_bit(crs);
    bool goes = before_lf(p + at);
    __m128i rest = sse2::load16(p + at + 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), piece);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + at + 1), rest);
    out += goes ? at : at + 1;
    p += at + 1;
  }
#endif
  for (; p < end; ++p) {
    if (*p != '\r' || !before_lf(p)) *out++ = *p;
  }
  return {static_cast<std::size_t>(out - data), held};
}

}  // namespace kiv
