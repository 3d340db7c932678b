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
  return blocks::lowest_bit(mask);
}

}  // namespace

std::size_t filter_scalar(const FilterTable& table, FilterState& state,
                          const unsigned char* in, std::size_t n,
                          unsigned char* out) {
  const ScalarScan scan{&table};
  return blocks::filter_with(table, scan, state, in, n, out);
}

}  // namespace kiv
