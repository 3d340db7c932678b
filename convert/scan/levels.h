#ifndef KIV_CONVERT_SCAN_LEVELS_H_
#define KIV_CONVERT_SCAN_LEVELS_H_

// The list of scan levels, from which the enum, the count, the names and
// the choice in dispatch.cpp are derived. A line per level, slowest first
// (the order of preference):
//   X(name, built, runs)
// name: the level, its file convert/scan/NAME.cpp and its entry
//       filter_NAME there, which has filter_chunk's contract
// built: 1 if this build compiles the level's file to something (arch.h)
// runs: the check, in dispatch.cpp, whether this processor has what the
//       level needs
// Adding a level is adding its file, a line here and the file to the
// library's sources in CMakeLists.txt.

#include <cstddef>

#include "convert/filter.h"
#include "convert/scan/arch.h"

#define KIV_SCAN_LEVELS(X)          \
  X(scalar, 1, always)              \
  X(sse2, KIV_X86_SIMD, always)     \
  X(ssse3, KIV_X86_SIMD, has_ssse3) \
  X(avx2, KIV_X86_64_SIMD, has_avx2)     \
  X(avx512, KIV_X86_64_SIMD, has_avx512) \
  X(neon, KIV_NEON, always)

namespace kiv {

using ScanEntry = std::size_t(const FilterTable& table, FilterState& state,
                              const unsigned char* in, std::size_t n,
                              unsigned char* out);

#define KIV_DECLARE_SCAN_ENTRY(name, built, runs) ScanEntry filter_##name;
KIV_SCAN_LEVELS(KIV_DECLARE_SCAN_ENTRY)
#undef KIV_DECLARE_SCAN_ENTRY

}  // namespace kiv

#endif  // KIV_CONVERT_SCAN_LEVELS_H_
