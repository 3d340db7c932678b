#ifndef KIV_CONVERT_SCAN_ARCH_H_
#define KIV_CONVERT_SCAN_ARCH_H_

// Which processor family the build is for, and the few compiler words the
// scan files need. Nothing here includes an intrinsic header: each scan
// file includes its own, and only when its family is the target.

// Each of KIV_X86_SIMD, KIV_X86_64_SIMD and KIV_NEON is 1 or 0 (levels.h
// picks the scan files by them). The compilers are GCC and Clang (MinGW-w64
// on Windows).
//
// x86 processors get vector scans; which one runs is decided at run time,
// so one build serves every x86-64 processor.
#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#define KIV_X86_SIMD 1
#else
#define KIV_X86_SIMD 0
#endif
// The AVX2 and AVX-512 scans are built for 64-bit x86 only: the AVX-512
// expanders need _pdep_u64, _pext_u64 and _mm_popcnt_u64, which 32-bit
// code lacks, and both work on 64-bit masks, which 32-bit code would
// keep in two registers each. MinGW's GCC may spill 32-byte vectors with
// aligned moves to a stack that Windows aligns to 16 bytes only: it gets
// them only where CMake has the assembler make those moves unaligned
// (KIV_UNALIGNED_VECTOR_MOVES).
#if defined(__x86_64__) && \
    (!defined(__MINGW32__) || defined(KIV_UNALIGNED_VECTOR_MOVES))
#define KIV_X86_64_SIMD 1
#else
#define KIV_X86_64_SIMD 0
#endif

// Every 64-bit Arm processor has NEON (Advanced SIMD); the scan assumes
// little-endian lanes.
#if defined(__aarch64__) && !defined(__ARM_BIG_ENDIAN)
#define KIV_NEON 1
#else
#define KIV_NEON 0
#endif

#define KIV_TARGET(name) __attribute__((target(name)))
#define KIV_ALWAYS_INLINE inline __attribute__((always_inline))

#endif  // KIV_CONVERT_SCAN_ARCH_H_
