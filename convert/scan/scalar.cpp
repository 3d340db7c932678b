// The plain C++ scan: one table lookup per byte. It runs where no vector
// scan does, and every vector scan is checked against the same algorithm
// with it.

#include "convert/scan/blocks.h"
#include "convert/scan/levels.h"

namespace kiv {
namespace {

using blocks::kBlockBytes;

struct ScalarScan {
  static constexpr bool kExpands = false;
  const FilterTable* table;
};

inline std::uint64_t special_mask(const ScalarScan& scan,
                                  const unsigned char* p) {
  std::uint64_t mask = 0;
  for (int k = 0; k < kBlockBytes; ++k) {
    mask |= std::uint64_t{scan.table->special[p[k]]} << k;
  }
  return mask;
}

// Eight bytes at a time in a 64-bit word. A byte equal to value becomes
// 0 after the xor, and only a 0 byte keeps its top bit clear in
// (y & 0x7F..) + 0x7F.. and in y itself; the multiplication then moves the
// top bit of byte k to bit 56 + k (every partial product lands on a bit
// of its own, so nothing carries).
inline std::uint64_t byte_mask(const ScalarScan&, const unsigned char* p,
                               unsigned char value) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t wanted = 0x0101010101010101ull * value;
  std::uint64_t mask = 0;
  for (int k = 0; k < kBlockBytes; k += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + k, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);  // p[k] in the low byte, as below
#endif
    std::uint64_t y = word ^ wanted;
    std::uint64_t zero = ~(((y & kLow7) + kLow7) | y | kLow7);
    mask |= ((zero >> 7) * 0x0102040810204080ull) >> 56 << k;
  }
  return mask;
}

}  // namespace

std::size_t filter_scalar(const FilterTable& table, FilterState& state,
                          const unsigned char* in, std::size_t n,
                          unsigned char* out) {
  const ScalarScan scan{&table};
  return blocks::filter_with(table, scan, state, in, n, out);
}

}  // namespace kiv
