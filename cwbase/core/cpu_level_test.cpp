// The vector level: the cap text's rules, the level this process runs at
// (ctest runs the converter tests once per level with CWBASE_SIMD set), and
// that the kernels follow it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>

#include "cwbase/core/internal/cpu_level.h"
#include "cwbase/core/internal/simd.h"
#include "cwbase/text/internal/utf8_kernels.h"

namespace {

using cwbase_internal::CappedSimdLevel;
using cwbase_internal::SimdLevel;

TEST(SimdLevel, CapTextLowersNeverRaises) {
  struct Case {
    SimdLevel supported;
    const char* cap;
    SimdLevel want;
  };
  const Case kCases[] = {
      {SimdLevel::kAvx2, "scalar", SimdLevel::kScalar},
      {SimdLevel::kAvx2, "sse2", SimdLevel::kSse2},
      {SimdLevel::kAvx2, "avx2", SimdLevel::kAvx2},
      {SimdLevel::kAvx2, "avx512", SimdLevel::kAvx2},
      {SimdLevel::kAvx512, "avx512", SimdLevel::kAvx512},
      {SimdLevel::kAvx512, "avx2", SimdLevel::kAvx2},
      {SimdLevel::kAvx512, "sse2", SimdLevel::kSse2},
      {SimdLevel::kAvx512, "Avx512", SimdLevel::kAvx512},
      {SimdLevel::kSse2, "avx2", SimdLevel::kSse2},
      {SimdLevel::kSse2, "avx512", SimdLevel::kSse2},
      {SimdLevel::kScalar, "sse2", SimdLevel::kScalar},
      {SimdLevel::kAvx2, nullptr, SimdLevel::kAvx2},
      {SimdLevel::kAvx2, "", SimdLevel::kAvx2},
      {SimdLevel::kAvx2, "AVX2x", SimdLevel::kAvx2},
      {SimdLevel::kSse2, "Scalar", SimdLevel::kSse2},
  };
  for (const Case& c : kCases)
    EXPECT_EQ(CappedSimdLevel(c.supported, c.cap), c.want)
        << SimdLevelName(c.supported) << " capped by " << (c.cap ? c.cap : "(null)");
}

TEST(SimdLevel, ActiveLevelHonoursEnvironmentCap) {
  const char* cap = std::getenv("CWBASE_SIMD");
  const SimdLevel active = cwbase_internal::ActiveSimdLevel();
  EXPECT_EQ(active, CappedSimdLevel(cwbase_internal::SupportedSimdLevel(), cap));
  if (cap && std::string(cap) == "scalar") {
    EXPECT_EQ(active, SimdLevel::kScalar);
  }
  if (cap && std::string(cap) == "sse2") {
    EXPECT_LE(active, SimdLevel::kSse2);
  }
}

// The flags line of /proc/cpuinfo: the detection agrees with what the
// kernel reports for this processor.
TEST(SimdLevel, DetectionAgreesWithCpuinfo) {
#if defined(CWBASE_SIMD_AVX2)
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line) && line.rfind("flags", 0) != 0) {
  }
  if (line.empty()) GTEST_SKIP() << "no flags line in /proc/cpuinfo";
  std::istringstream words(line);
  std::set<std::string> flags;
  for (std::string w; words >> w;) flags.insert(w);
  const auto has = [&](std::initializer_list<const char*> names) {
    for (const char* name : names)
      if (!flags.count(name)) return false;
    return true;
  };
  const bool avx2 = has({"avx2", "bmi1", "bmi2", "popcnt"});
  const bool avx512 = avx2 && has({"avx512f", "avx512bw", "avx512vl"});
  const SimdLevel supported = cwbase_internal::SupportedSimdLevel();
  EXPECT_EQ(supported >= SimdLevel::kAvx2, avx2);
  EXPECT_EQ(supported == SimdLevel::kAvx512, avx512);
  EXPECT_EQ(cwbase_internal::HasAvx512Vbmi2(), has({"avx512_vbmi2"}));
#elif defined(CWBASE_SIMD_SSE2)
  EXPECT_EQ(cwbase_internal::SupportedSimdLevel(), SimdLevel::kSse2);
#else
  EXPECT_EQ(cwbase_internal::SupportedSimdLevel(), SimdLevel::kScalar);
#endif
}

// At the scalar level the block kernels take nothing; at a vector level they
// take a text of plain ASCII in whole windows.
TEST(SimdLevel, KernelsFollowTheActiveLevel) {
  const std::string text(4 * cwbase_internal::kUtf8Window + 8, 'x');
  size_t count = 0;
  const size_t taken = cwbase_internal::CountUtf8Windows(
      reinterpret_cast<const unsigned char*>(text.data()), text.size(), &count);
  if (cwbase_internal::ActiveSimdLevel() == SimdLevel::kScalar) {
    EXPECT_EQ(taken, 0u);
  } else {
    EXPECT_EQ(taken, 4 * cwbase_internal::kUtf8Window);
  }
  EXPECT_EQ(count, taken);
}

}  // namespace
