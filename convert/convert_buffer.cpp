#include "convert/convert_buffer.h"

#include <cstdint>

#include "convert/filter.h"
#include "convert/wrappers.h"

namespace kiv {

namespace {
// The filter may use kChunkSlack bytes beyond what it writes; the end of
// the text adds at most 3 and the run its one line feed.
constexpr std::size_t kFixedRoom =
    kOpenersRoom + kChunkSlack + 3 + kClosersRoom + 1;
}  // namespace

std::size_t converted_size_limit(std::size_t n) {
  if (n > (SIZE_MAX - kFixedRoom) / kMaxExpansion) return 0;
  return n * kMaxExpansion + kFixedRoom;
}

std::size_t convert_buffer(const unsigned char* in, std::size_t n,
                           const Options& options, unsigned char* out) {
  const FilterTable table = make_filter_table(options);
  FilterState state;
  unsigned char* o = out;
  o += put_openers(options, o);
  if (n > 0) o += filter_chunk(table, state, in, n, o);
  o += filter_finish(table, state, o);
  o += put_closers(options, o);
  *o++ = '\n';
  return static_cast<std::size_t>(o - out);
}

}  // namespace kiv
