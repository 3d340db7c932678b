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

inline std::uint64_t byte_mask(const ScalarScan&, const unsigned char* p,
                               unsigned char value) {
  std::uint64_t mask = 0;
  for (int k = 0; k < kBlockBytes; ++k) {
    mask |= std::uint64_t{p[k] == value} << k;
  }
  return mask;
}

inline void copy_block(const ScalarScan&, unsigned char* to,
                       const unsigned char* from) {
  std::memcpy(to, from, kBlockBytes);
}

}  // namespace

std::size_t filter_scalar(const FilterTable& table, FilterState& state,
                          const unsigned char* in, std::size_t n,
                          unsigned char* out) {
  const ScalarScan scan{&table};
  return blocks::filter_with(table, scan, state, in, n, out);
}

}  // namespace kiv
