// The NEON scan for 64-bit Arm: the nibble lookup of the x86 scans with
// tbl, 16 bytes at a time. NEON has no movemask; the four compare results
// of a block are weighted by bit and added pairwise into one 64-bit mask.

#include "convert/scan/arch.h"

#if KIV_NEON
#include <arm_neon.h>

#include "convert/scan/blocks.h"
#include "convert/scan/levels.h"

namespace kiv {
namespace {

struct NeonScan {
  static constexpr bool kExpands = false;
  uint8x16_t low;
  uint8x16_t high;
};

// Bit k for every byte k of the 64 (each 0x00 or 0xFF) that is set.
inline std::uint64_t bits64(uint8x16_t m0, uint8x16_t m1, uint8x16_t m2,
                            uint8x16_t m3) {
  static const std::uint8_t kWeights[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                            1, 2, 4, 8, 16, 32, 64, 128};
  const uint8x16_t weights = vld1q_u8(kWeights);
  uint8x16_t sum0 = vpaddq_u8(vandq_u8(m0, weights), vandq_u8(m1, weights));
  uint8x16_t sum1 = vpaddq_u8(vandq_u8(m2, weights), vandq_u8(m3, weights));
  sum0 = vpaddq_u8(sum0, sum1);
  sum0 = vpaddq_u8(sum0, sum0);
  return vgetq_lane_u64(vreinterpretq_u64_u8(sum0), 0);
}

inline uint8x16_t special16(const NeonScan& scan, const unsigned char* p) {
  uint8x16_t block = vld1q_u8(p);
  uint8x16_t low = vqtbl1q_u8(scan.low, vandq_u8(block, vdupq_n_u8(0x0F)));
  uint8x16_t high = vqtbl1q_u8(scan.high, vshrq_n_u8(block, 4));
  return vtstq_u8(low, high);
}

inline std::uint64_t special_mask(const NeonScan& scan,
                                  const unsigned char* p) {
  return bits64(special16(scan, p), special16(scan, p + 16),
                special16(scan, p + 32), special16(scan, p + 48));
}

inline std::uint64_t byte_mask(const NeonScan&, const unsigned char* p,
                               unsigned char value) {
  const uint8x16_t wanted = vdupq_n_u8(value);
  return bits64(vceqq_u8(vld1q_u8(p), wanted), vceqq_u8(vld1q_u8(p + 16), wanted),
                vceqq_u8(vld1q_u8(p + 32), wanted),
                vceqq_u8(vld1q_u8(p + 48), wanted));
}

}  // namespace

std::size_t filter_neon(const FilterTable& table, FilterState& state,
                        const unsigned char* in, std::size_t n,
                        unsigned char* out) {
  NeonScan scan;
  scan.low = vld1q_u8(table.nibble_low);
  scan.high = vld1q_u8(table.nibble_high);
  return blocks::filter_with(table, scan, state, in, n, out);
}

}  // namespace kiv
#endif
