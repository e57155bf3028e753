// The vector level the library's kernels run at: the widest instruction set
// that both this build and the processor support, found once, at first use,
// and capped by the environment variable CWBASE_SIMD so that tests and
// benchmarks can run every implementation on one machine.
//
// Contract
// - Levels, narrowest first: kScalar (the portable loops), kSse2 (the
//   baseline of every x86-64 build), kAvx2 (AVX2 with BMI1, BMI2 and POPCNT,
//   and the operating system saving the 256-bit registers), kAvx512 (kAvx2
//   with AVX-512 F, BW and VL, and the operating system saving the 512-bit
//   and mask registers). A build with
//   CWBASE_NO_SSE2, or for another architecture, supports kScalar only.
// - SupportedSimdLevel() is what the build and the processor allow.
// - CappedSimdLevel(supported, cap) applies a cap text: "scalar", "sse2",
//   "avx2" or "avx512". A null, empty or unknown text caps nothing. The cap never raises the
//   level above `supported`.
// - ActiveSimdLevel() is CappedSimdLevel(SupportedSimdLevel(),
//   getenv("CWBASE_SIMD")), worked out once per process; later changes of
//   the variable are not seen.
// - SimdLevelName() gives the level's cap text.
// - HasAvx512Vbmi2() tells whether the processor also has AVX-512 VBMI2
//   (byte compression), which some kAvx512 kernels use when it is there.
// Threads: all of them may be called from any thread; the first call of
// ActiveSimdLevel() is the only one that does any work (a function-local
// static).
#pragma once

namespace cwbase_internal {

enum class SimdLevel { kScalar = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3 };

SimdLevel SupportedSimdLevel();
SimdLevel CappedSimdLevel(SimdLevel supported, const char* cap);
SimdLevel ActiveSimdLevel();
const char* SimdLevelName(SimdLevel level);
bool HasAvx512Vbmi2();

}  // namespace cwbase_internal
