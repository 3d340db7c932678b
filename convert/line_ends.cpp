#include "convert/line_ends.h"

#include <cstring>

namespace kiv {

std::size_t collapse_crlf(unsigned char* data, std::size_t n, bool at_end) {
  if (n == 0) return 0;
  std::size_t limit = !at_end && data[n - 1] == '\r' ? n - 1 : n;
  unsigned char* cr = static_cast<unsigned char*>(std::memchr(data, '\r', limit));
  if (cr == nullptr) return limit;
  unsigned char* out = cr;
  const unsigned char* p = cr;
  const unsigned char* const end = data + limit;
  while (p < end) {
    if (*p == '\r' && p + 1 < data + n && p[1] == '\n') {
      ++p;
      continue;
    }
    *out++ = *p++;
  }
  return static_cast<std::size_t>(out - data);
}

}  // namespace kiv
