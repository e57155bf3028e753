// Detection of the vector level (see cpu_level.h).
#include "cwbase/core/internal/cpu_level.h"

#include <cstdlib>
#include <cstring>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

SimdLevel SupportedSimdLevel() {
#if defined(CWBASE_SIMD_AVX2)
  // The compiler's CPU model checks CPUID and, for AVX and wider, that the
  // operating system saves the upper halves of the registers (XGETBV).
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt")) {
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl"))
      return SimdLevel::kAvx512;
    return SimdLevel::kAvx2;
  }
#endif
#if defined(CWBASE_SIMD_SSE2)
  return SimdLevel::kSse2;
#else
  return SimdLevel::kScalar;
#endif
}

SimdLevel CappedSimdLevel(SimdLevel supported, const char* cap) {
  if (!cap) return supported;
  SimdLevel limit;
  if (std::strcmp(cap, "scalar") == 0)
    limit = SimdLevel::kScalar;
  else if (std::strcmp(cap, "sse2") == 0)
    limit = SimdLevel::kSse2;
  else if (std::strcmp(cap, "avx2") == 0)
    limit = SimdLevel::kAvx2;
  else if (std::strcmp(cap, "avx512") == 0)
    limit = SimdLevel::kAvx512;
  else
    return supported;  // empty or unknown
  return limit < supported ? limit : supported;
}

SimdLevel ActiveSimdLevel() {
  static const SimdLevel level = CappedSimdLevel(SupportedSimdLevel(), std::getenv("CWBASE_SIMD"));
  return level;
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kScalar:
      return "scalar";
    case SimdLevel::kSse2:
      return "sse2";
    case SimdLevel::kAvx2:
      return "avx2";
    case SimdLevel::kAvx512:
      return "avx512";
  }
  return "scalar";
}

bool HasAvx512Vbmi2() {
#if defined(CWBASE_SIMD_AVX2)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512vbmi2");
#else
  return false;
#endif
}

}  // namespace cwbase_internal
