#include "convert/line_ends.h"

#include <cstring>

#include "convert/scan/arch.h"
#if KIV_X86_SIMD
#include "convert/scan/blocks.h"
#include "convert/scan/sse2.h"
#endif

namespace kiv {

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

Collapsed collapse_crlf(unsigned char* data, std::size_t n, bool at_end) {
  bool held = !at_end && n > 0 && data[n - 1] == '\r';
  std::size_t limit = held ? n - 1 : n;
  const unsigned char* const end = data + limit;
  const unsigned char* p = find_byte(data, end, '\r');
  unsigned char* out = data + (p - data);
  // From CR to CR: the bytes between move in one piece.
  while (p < end) {
    const unsigned char* next = find_byte(p, end, '\r');
    std::size_t plain = static_cast<std::size_t>(next - p);
    std::memmove(out, p, plain);
    out += plain;
    p = next;
    if (p == end) break;
    if (p + 1 < data + n && p[1] == '\n') {
      ++p;  // the LF starts the next piece
    } else {
      *out++ = *p++;
    }
  }
  return {static_cast<std::size_t>(out - data), held};
}

std::size_t expand_lf(const unsigned char* data, std::size_t n,
                      unsigned char* out) {
  const unsigned char* p = data;
  const unsigned char* const end = data + n;
  unsigned char* o = out;
  for (;;) {
    const unsigned char* lf = find_byte(p, end, '\n');
    std::memcpy(o, p, static_cast<std::size_t>(lf - p));
    o += lf - p;
    if (lf == end) break;
    o[0] = '\r';
    o[1] = '\n';
    o += 2;
    p = lf + 1;
  }
  return static_cast<std::size_t>(o - out);
}

}  // namespace kiv
