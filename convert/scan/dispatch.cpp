// Chooses the scan level for this processor, once, and calls in. This is
// the only place that knows a choice exists; the levels are the list in
// levels.h.

#include "convert/scan/dispatch.h"

#include "convert/scan/arch.h"
#include "convert/scan/levels.h"

namespace kiv {
namespace {

bool always() { return true; }

// The checks of the x86 levels; a build without one of them leaves its
// check unused.
#if KIV_X86_SIMD
bool has_ssse3() { return __builtin_cpu_supports("ssse3"); }
[[maybe_unused]] bool has_avx2() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
}
[[maybe_unused]] bool has_avx512() {
  return has_avx2() && __builtin_cpu_supports("avx512f") &&
         __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vbmi2") &&
         __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}
#endif

// A level of the list: its entry and check, both null if this build does
// not have it (so that neither is named then).
struct Level {
  const char* name;
  ScanEntry* filter;
  bool (*runs)();
};

#define KIV_IF(built, then, otherwise) KIV_IF_EXPANDED(built, then, otherwise)
#define KIV_IF_EXPANDED(built, then, otherwise) KIV_IF_##built(then, otherwise)
#define KIV_IF_0(then, otherwise) otherwise
#define KIV_IF_1(then, otherwise) then
#define KIV_LEVEL(name, built, runs) \
  {#name, KIV_IF(built, filter_##name, nullptr), KIV_IF(built, runs, nullptr)},
constexpr Level kLevels[] = {KIV_SCAN_LEVELS(KIV_LEVEL)};
#undef KIV_LEVEL
static_assert(sizeof kLevels / sizeof kLevels[0] == kScanLevels,
              "a row per level of the enum");

const Level& level_of(ScanLevel level) {
  return kLevels[static_cast<int>(level)];
}

ScanLevel detect() {
  for (int level = kScanLevels - 1; level > 0; --level) {
    if (scan_level_runs(static_cast<ScanLevel>(level))) {
      return static_cast<ScanLevel>(level);
    }
  }
  return ScanLevel::scalar;
}

}  // namespace

const char* scan_level_name(ScanLevel level) { return level_of(level).name; }

ScanLevel best_scan_level() {
  static const ScanLevel best = detect();
  return best;
}

bool scan_level_runs(ScanLevel level) {
  const Level& row = level_of(level);
  return row.filter != nullptr && row.runs();
}

std::size_t filter_chunk_at(ScanLevel level, const FilterTable& table,
                            FilterState& state, const unsigned char* in,
                            std::size_t n, unsigned char* out) {
  return level_of(level).filter(table, state, in, n, out);
}

std::size_t filter_chunk(const FilterTable& table, FilterState& state,
                         const unsigned char* in, std::size_t n,
                         unsigned char* out) {
  static ScanEntry* const best = level_of(best_scan_level()).filter;
  return best(table, state, in, n, out);
}

}  // namespace kiv
