#include "convert/line_ends.h"

#include <cstdint>
#include <cstring>

#include "convert/scan/arch.h"
#if KIV_X86_SIMD
#include "convert/scan/blocks.h"
#include "convert/scan/sse2.h"
#endif

namespace kiv {

namespace {

// Whether the byte at p, below end, is a CR that goes: an LF follows it.
// (A CR held back at the block's end is never such an LF.)
bool goes(const unsigned char* p, const unsigned char* end) {
  return *p == '\r' && p + 1 < end && p[1] == '\n';
}

// The first CR in [p, end) that goes, or end.
const unsigned char* first_going(const unsigned char* p,
                                 const unsigned char* end) {
#if KIV_X86_SIMD
  for (; end - p > blocks::kBlockBytes; p += blocks::kBlockBytes) {
    std::uint64_t drops =
        sse2::byte_mask(p, '\r') & sse2::byte_mask(p + 1, '\n');
    if (drops != 0) return p + blocks::lowest_bit(drops);
  }
#endif
  while (p < end && !goes(p, end)) ++p;
  return p;
}

}  // namespace

Collapsed collapse_crlf(const unsigned char* data, std::size_t n, bool at_end,
                        unsigned char* out) {
  bool held = !at_end && n > 0 && data[n - 1] == '\r';
  const unsigned char* const end = data + (held ? n - 1 : n);
  // Up to the first CR that goes, nothing changes; without one the bytes
  // are used where they are.
  const unsigned char* p = first_going(data, end);
  if (p == end) return {data, static_cast<std::size_t>(end - data), held};
  std::memcpy(out, data, static_cast<std::size_t>(p - data));
  unsigned char* o = out + (p - data);
  ++p;
#if KIV_X86_SIMD
  // 64 bytes at a time, as the filter copies its blocks: the block is
  // copied whole, and for each CR that goes (lowest first) the rest of the
  // block is copied again, one byte further down. No branch per line, no
  // call per piece (the C runtime of Windows copies short pieces slowly).
  // Reads reach up to 127 bytes past p, hence the two blocks; the writes
  // stay below out + (p - data) + 128, within n.
  while (end - p > 2 * blocks::kBlockBytes) {
    std::uint64_t drops =
        sse2::byte_mask(p, '\r') & sse2::byte_mask(p + 1, '\n');
    std::memcpy(o, p, blocks::kBlockBytes);
    while (drops != 0) {
      int at = blocks::lowest_bit(drops);
      --o;
      std::memcpy(o + at + 1, p + at + 1, blocks::kBlockBytes);
      drops &= drops - 1;
    }
    o += blocks::kBlockBytes;
    p += blocks::kBlockBytes;
  }
#endif
  for (; p < end; ++p) {
    if (!goes(p, end)) *o++ = *p;
  }
  return {out, static_cast<std::size_t>(o - out), held};
}

}  // namespace kiv
