// Chooses the scan level for this processor, once, and calls in. This is
// the only place that knows a choice exists; adding a level is adding its
// file and a line here.

#include "convert/scan/arch.h"
#include "convert/scan/dispatch.h"
#include "convert/scan/levels.h"

#if KIV_X86_SIMD && defined(_MSC_VER)
#include <immintrin.h>  // _xgetbv
#include <intrin.h>     // __cpuid
#endif

namespace kiv {
namespace {

#if KIV_X86_SIMD && defined(_MSC_VER)
KIV_TARGET("xsave")
bool os_saves_ymm() { return (_xgetbv(0) & 6) == 6; }

KIV_TARGET("xsave")
bool os_saves_zmm() { return (_xgetbv(0) & 0xE6) == 0xE6; }

ScanLevel detect() {
  int info[4];
  __cpuid(info, 0);
  int last_leaf = info[0];
  __cpuid(info, 1);
  bool ssse3 = (info[2] & (1 << 9)) != 0;
  bool avx = (info[2] & (1 << 27)) != 0 && (info[2] & (1 << 28)) != 0 &&
             os_saves_ymm();
  bool avx2_bmi = false;
  bool avx512 = false;
  if (avx && last_leaf >= 7) {
    __cpuidex(info, 7, 0);
    avx2_bmi = (info[1] & (1 << 5)) != 0 && (info[1] & (1 << 3)) != 0;
    // F, BW, VL and BMI2; VBMI and VBMI2; the system saves the ZMM state.
    const int ebx = (1 << 16) | (1 << 30) | (1 << 31) | (1 << 8);
    const int ecx = (1 << 1) | (1 << 6);
    avx512 = avx2_bmi && (info[1] & ebx) == ebx && (info[2] & ecx) == ecx &&
             os_saves_zmm();
  }
#if KIV_AVX2
  if (avx512) return ScanLevel::avx512;
  if (avx2_bmi) return ScanLevel::avx2;
#endif
  return ssse3 ? ScanLevel::ssse3 : ScanLevel::sse2;
}
#elif KIV_X86_SIMD
ScanLevel detect() {
#if KIV_AVX2
  bool avx2_bmi =
      __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
  if (avx2_bmi && __builtin_cpu_supports("avx512f") &&
      __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("avx512vbmi2") &&
      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt")) {
    return ScanLevel::avx512;
  }
  if (avx2_bmi) return ScanLevel::avx2;
#endif
  if (__builtin_cpu_supports("ssse3")) return ScanLevel::ssse3;
  return ScanLevel::sse2;
}
#elif KIV_NEON
ScanLevel detect() { return ScanLevel::neon; }
#else
ScanLevel detect() { return ScanLevel::scalar; }
#endif

}  // namespace

ScanLevel best_scan_level() {
  static const ScanLevel best = detect();
  return best;
}

bool scan_level_runs(ScanLevel level) {
  ScanLevel best = best_scan_level();
  if (level == ScanLevel::scalar || level == best) return true;
  // The x86 levels below the best one run too.
  return best <= ScanLevel::avx512 && level < best;
}

std::size_t filter_chunk_at(ScanLevel level, const FilterTable& table,
                            FilterState& state, const unsigned char* in,
                            std::size_t n, unsigned char* out) {
  switch (level) {
#if KIV_AVX2
    case ScanLevel::avx512:
      // The expander serves the tables whose blocks it can build whole;
      // any other table takes the AVX2 steps.
      if (table.block_slots != 0) return filter_avx512(table, state, in, n, out);
      return filter_avx2(table, state, in, n, out);
    case ScanLevel::avx2:
      return filter_avx2(table, state, in, n, out);
#endif
#if KIV_X86_SIMD
    case ScanLevel::ssse3:
      return filter_ssse3(table, state, in, n, out);
    case ScanLevel::sse2:
      return filter_sse2(table, state, in, n, out);
#endif
#if KIV_NEON
    case ScanLevel::neon:
      return filter_neon(table, state, in, n, out);
#endif
    default:
      return filter_scalar(table, state, in, n, out);
  }
}

std::size_t filter_chunk(const FilterTable& table, FilterState& state,
                         const unsigned char* in, std::size_t n,
                         unsigned char* out) {
  return filter_chunk_at(best_scan_level(), table, state, in, n, out);
}

}  // namespace kiv
