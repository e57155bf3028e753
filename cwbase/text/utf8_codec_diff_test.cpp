// Differential tests of the character rules of internal/utf8_codec.h and the
// ASCII runs of internal/ascii_runs.h: each decoder rule set against its
// reference (internal/utf8_reference.h, and the C library itself for its own
// form), the encoders against theirs, and the vector runs against plain
// loops, on random sequences and on well-formed ones with a byte mutated.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "cwbase/text/internal/ascii_runs.h"
#include "cwbase/text/internal/codeset.h"
#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/text/internal/utf8_reference.h"
#include "testing/random.h"
#include "testing/scopes.h"

namespace {

using cwbase_internal::AsciiStop;
using cwbase_internal::DecodeUtf8Char;
using cwbase_internal::kUtf8NoUnit;
using cwbase_internal::Utf8Rules;
using Bytes = std::vector<unsigned char>;

constexpr uint64_t kSeed = 20240611;

// A byte sequence of 1 to 8 bytes: a well-formed character of 1 to 6 bytes
// (any value that length holds, overlong forms and surrogates included), then
// often one byte mutated, cut off or added; sometimes plain random bytes.
Bytes RandomSequence(CWTestRandom& r) {
  Bytes s;
  if (r.OneIn(5)) {
    for (uint32_t k = 1 + r.Below(8); k > 0; --k) s.push_back(static_cast<unsigned char>(r.Next()));
    return s;
  }
  const unsigned len = 1 + r.Below(6);
  static const unsigned kPayload[] = {0, 7, 11, 16, 21, 26, 31};
  uint32_t v = r.Next() & ((uint32_t{1} << kPayload[len]) - 1);
  if (r.OneIn(4)) v = 0xD800 + r.Below(0x800);  // surrogates (given length 3 below)
  s.resize(v >= 0xD800 && v <= 0xDFFF ? 3 : len);
  for (size_t k = s.size() - 1; k > 0; --k, v >>= 6)
    s[k] = static_cast<unsigned char>(0x80 | (v & 0x3F));
  s[0] = static_cast<unsigned char>(s.size() == 1 ? v : (0xFF00u >> s.size()) | v);
  switch (r.Below(4)) {
    case 0:
      s[r.Below(static_cast<uint32_t>(s.size()))] = static_cast<unsigned char>(r.Next());
      break;
    case 1:
      if (s.size() > 1) s.pop_back();
      break;
    case 2:
      s.push_back(static_cast<unsigned char>(r.OneIn(2) ? 0x80 + r.Below(0x40) : r.Next()));
      break;
    default:
      break;
  }
  return s;
}

// ---- Strict rule sets: every cut of every sequence against the reference.

TEST(Utf8CodecDiff, StrictRulesMatchReferenceAtEveryCut) {
  struct Case {
    const char* name;
    size_t (*decode)(const unsigned char*, size_t, uint32_t*);
    size_t maxLength;
    uint32_t maxValue;
  };
  const Case kCases[] = {
      {"xml", DecodeUtf8Char<Utf8Rules::kXml>, 4, 0x10FFFF},
      {"c-library", DecodeUtf8Char<Utf8Rules::kCLibrary>, 6, 0x7FFFFFFF},
  };
  for (const Case& c : kCases) {
    CWTestRandom r(kSeed);
    auto check = [&](const Bytes& s) {
      for (size_t avail = 1; avail <= s.size(); ++avail) {
        uint32_t got = 0x5A5A, want = 0x5A5A;
        const size_t n = c.decode(s.data(), avail, &got);
        ASSERT_EQ(n, cwbase_internal::ReferenceStrictUtf8(s.data(), avail, c.maxLength, c.maxValue,
                                                          &want))
            << c.name << " lead " << std::hex << unsigned{s[0]} << " avail " << avail;
        ASSERT_EQ(got, want) << c.name << " lead " << std::hex << unsigned{s[0]};
      }
    };
    for (unsigned a = 0; a < 256; ++a)
      for (unsigned b = 0; b < 256; ++b)
        check({static_cast<unsigned char>(a), static_cast<unsigned char>(b)});
    for (int round = 0; round < 200000 && !HasFatalFailure(); ++round) check(RandomSequence(r));
  }
}

// The C library's own decoder is the final word on its form.
TEST(Utf8CodecDiff, CLibraryRulesMatchMbrtowc) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  ASSERT_EQ(cwbase_internal::CurrentCodeset(), cwbase_internal::Codeset::kUtf8);
  CWTestRandom r(kSeed);
  for (int round = 0; round < 100000; ++round) {
    Bytes s = RandomSequence(r);
    if (s[0] == 0) continue;  // the terminator, not a character
    std::mbstate_t state{};
    wchar_t w = 0;
    const size_t c = std::mbrtowc(&w, reinterpret_cast<const char*>(s.data()), s.size(), &state);
    uint32_t v = 0;
    const size_t n = DecodeUtf8Char<Utf8Rules::kCLibrary>(s.data(), s.size(), &v);
    if (c == static_cast<size_t>(-1) || c == static_cast<size_t>(-2)) {
      ASSERT_EQ(n, 0u) << std::hex << unsigned{s[0]} << " " << v;
    } else {
      ASSERT_EQ(n, c) << std::hex << unsigned{s[0]};
      ASSERT_EQ(v, static_cast<uint32_t>(w));
    }
  }
}

// ---- Lenient rule sets: whole random texts read character by character.

// Random bytes of up to 40: ASCII, continuation bytes, leads of every kind.
Bytes RandomText(CWTestRandom& r, bool zeros) {
  Bytes s;
  for (uint32_t k = r.Below(41); k > 0; --k) {
    if (r.OneIn(3)) {
      const Bytes seq = RandomSequence(r);
      s.insert(s.end(), seq.begin(), seq.end());
    } else {
      s.push_back(static_cast<unsigned char>(r.OneIn(2) ? r.Below(0x80) : 0x80 + r.Below(0x80)));
    }
  }
  if (!zeros)
    for (auto& b : s)
      if (b == 0) b = 'z';
  return s;
}

TEST(Utf8CodecDiff, WStrRulesMatchReferenceReader) {
  CWTestRandom r(kSeed);
  for (int round = 0; round < 50000; ++round) {
    const Bytes s = RandomText(r, true);
    std::wstring got, want;
    for (size_t i = 0; i < s.size();) {
      uint32_t v = 0;
      const size_t n = DecodeUtf8Char<Utf8Rules::kWStr>(s.data() + i, s.size() - i, &v);
      ASSERT_GE(n, 1u);
      ASSERT_LE(n, 4u);
      if (v != kUtf8NoUnit) got += static_cast<wchar_t>(v);
      i += n;
    }
    cwbase_internal::ReferenceUtf8Reader reader;
    wchar_t units[2];
    for (unsigned char b : s) want.append(units, static_cast<size_t>(reader.Feed(b, units)));
    want.append(units, static_cast<size_t>(reader.Finish(units)));
    ASSERT_EQ(got, want) << round;
  }
}

TEST(Utf8CodecDiff, UnicodeStringRulesMatchReference) {
  CWTestRandom r(kSeed);
  for (int round = 0; round < 50000; ++round) {
    Bytes s = RandomText(r, false);
    const size_t n = s.size();
    s.push_back(0);  // the reference reads up to the terminator
    for (size_t i = 0; i < n;) {
      uint32_t got = 0;
      unsigned want = 0;
      const size_t k = DecodeUtf8Char<Utf8Rules::kUnicodeString>(s.data() + i, n - i, &got);
      ASSERT_EQ(k, cwbase_internal::ReferenceUnicodeCharacter(s.data() + i, &want)) << round;
      ASSERT_EQ(got, want) << round;
      i += k;
    }
  }
}

// ---- Encoders.

TEST(Utf8CodecDiff, EncodersMatchReference) {
  const int32_t kEdges[] = {0,        0x7F,     0x80,     0x7FF,     0x800,     0xD7FF,
                            0xD800,   0xDFFF,   0xE000,   0xFFFF,    0x10000,   0x10FFFF,
                            0x110000, 0x1FFFFF, 0x200000, 0x3FFFFFF, 0x4000000, 0x7FFFFFFF,
                            -1,       -0x80,    -0x81,    INT32_MIN};
  CWTestRandom r(kSeed);
  for (int round = 0; round < 200000; ++round) {
    int32_t v = round < static_cast<int>(std::size(kEdges)) ? kEdges[round]
                : r.OneIn(2)                                ? static_cast<int32_t>(r.Next())
                             : static_cast<int32_t>(r.Below(0x120000));
    unsigned char got[8], want[8];
    std::memset(got, 0x5A, sizeof got), std::memset(want, 0x5A, sizeof want);
    const size_t n = cwbase_internal::EncodeUtf8Unit(v, got);
    ASSERT_EQ(n, cwbase_internal::ReferenceEncodeUtf8(v, want)) << std::hex << v;
    ASSERT_EQ(std::memcmp(got, want, sizeof got), 0) << std::hex << v;

    // The C library's form (EncodeMultiByte): the shortest sequence, which
    // the strict reference reads back as the same value.
    const auto u = static_cast<uint32_t>(v) & 0x7FFFFFFF;
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    unsigned char bytes[cwbase_internal::kMaxMultiByte];
    const int len = cwbase_internal::EncodeMultiByte(cwbase_internal::Codeset::kUtf8, u, bytes);
    ASSERT_EQ(static_cast<size_t>(len), cwbase_internal::Utf8Length(u)) << std::hex << u;
    uint32_t back = 0;
    ASSERT_EQ(
        cwbase_internal::ReferenceStrictUtf8(bytes, static_cast<size_t>(len), 6, 0x7FFFFFFF, &back),
        static_cast<size_t>(len))
        << std::hex << u;
    ASSERT_EQ(back, u);
  }
}

// ---- ASCII runs against plain loops: every length and offset around the
// 16-unit blocks, a stop at a random place or none, and guards behind.

TEST(AsciiRunsDiff, WidenMatchesPlainLoop) {
  CWTestRandom r(kSeed);
  const unsigned char kStops[] = {0x00, 0x01, 0x08, 0x0B, 0x1F, 0x80, 0xBF, 0xC3, 0xFF};
  const unsigned char kPasses[] = {'\t', '\n', '\r', ' ', 'a', 0x7F};
  constexpr wchar_t kGuard = 0x5A5A;
  for (int round = 0; round < 20000; ++round) {
    const size_t n = r.Below(80), offset = r.Below(16);
    Bytes src(offset + n);
    for (auto& b : src)
      b = r.OneIn(8) ? r.Pick(kPasses) : static_cast<unsigned char>(0x20 + r.Below(0x5F));
    if (n && !r.OneIn(4)) src[offset + r.Below(static_cast<uint32_t>(n))] = r.Pick(kStops);
    const unsigned char* p = src.data() + offset;
    for (const bool control : {false, true}) {
      size_t want = 0;
      while (want < n && p[want] < 0x80 &&
             !(control && p[want] < 0x20 && p[want] != '\t' && p[want] != '\n'))
        ++want;
      for (const bool spill : {false, true}) {
        std::vector<wchar_t> dst(n + 8, kGuard);
        size_t got;
        if (control)
          got = spill ? cwbase_internal::WidenAsciiRun<AsciiStop::kNonAsciiOrControl, true>(
                            p, n, dst.data())
                      : cwbase_internal::WidenAsciiRun<AsciiStop::kNonAsciiOrControl>(p, n,
                                                                                      dst.data());
        else
          got = spill ? cwbase_internal::WidenAsciiRun<AsciiStop::kNonAscii, true>(p, n, dst.data())
                      : cwbase_internal::WidenAsciiRun(p, n, dst.data());
        ASSERT_EQ(got, want) << round << " control " << control << " spill " << spill;
        for (size_t i = 0; i < want; ++i) ASSERT_EQ(dst[i], static_cast<wchar_t>(p[i])) << round;
        // Without spill nothing past the run; with it nothing past n.
        for (size_t i = spill ? n : want; i < dst.size(); ++i) ASSERT_EQ(dst[i], kGuard) << round;
      }
    }
  }
}

TEST(AsciiRunsDiff, NarrowMatchesPlainLoop) {
  CWTestRandom r(kSeed);
  const uint32_t kStops[] = {0x80, 0xFF, 0x100, 0x7FFFFFFF, 0x80000000, 0xFFFFFF80, 0xFFFFFFFF};
  for (int round = 0; round < 20000; ++round) {
    const size_t n = r.Below(80), offset = r.Below(4);
    std::vector<wchar_t> src(offset + n);
    for (auto& w : src) w = static_cast<wchar_t>(r.Below(0x80));
    if (n && !r.OneIn(4))
      src[offset + r.Below(static_cast<uint32_t>(n))] = static_cast<wchar_t>(r.Pick(kStops));
    const wchar_t* p = src.data() + offset;
    size_t want = 0;
    while (want < n && static_cast<uint32_t>(p[want]) < 0x80) ++want;
    std::string dst(n + 8, 'Z');
    ASSERT_EQ(cwbase_internal::NarrowAsciiRun(p, n, &dst[0]), want) << round;
    for (size_t i = 0; i < want; ++i) ASSERT_EQ(dst[i], static_cast<char>(p[i])) << round;
    ASSERT_EQ(dst.substr(want), std::string(dst.size() - want, 'Z')) << round;
  }
}

}  // namespace
