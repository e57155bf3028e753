// Differential test of the XML scanning primitives: XmlSearch, XmlTrimBack
// and XmlNarrowRun for every class the readers and the writer search, on
// 8-bit and wide text, against a plain loop over the class definitions. The vector
// path runs over blocks of sixteen units, so the texts are long enough for
// several blocks, with the unit found at every position and the range cut at
// every end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "cwbase/xml/internal/scan.h"
#include "testing/random.h"

namespace {

using namespace cwbase_internal;  // NOLINT(google-build-using-namespace): test of one header

// The classes straight from their definitions, one unit at a time.
uint32_t PlainClasses(uint32_t u) {
  return u < 256 ? XmlClassesOf(u) : kXmlHigh;
}

template <uint32_t kClass, bool kIn, typename Char>
size_t PlainSearch(const std::vector<Char>& text, size_t from, size_t end) {
  for (size_t i = from; i < end; ++i)
    if (((PlainClasses(static_cast<uint32_t>(text[i])) & kClass) != 0) == kIn) return i;
  return end;
}

// Units from every corner: the class members, other controls, DEL and the
// C1 controls, Latin-1 letters, ASCII letters, and in wide text units
// beyond 0xFF that saturate when narrowed and negative ones.
template <typename Char>
Char RandomUnit(CWTestRandom& r) {
  static const uint32_t kAscii[] = {0,   '\t', '\n', '\r', ' ',  '"', '&', '\'', '<',  '=',
                                    '>', ']',  0x01, 0x0B, 0x1F, 'a', 'Z', '_',  0x7F, '-'};
  static const uint32_t kWide[] = {0x80,   0xA0,   0xFF,   0x100,   0x13C,
                                   0x7FFF, 0x8000, 0xFFFF, 0x10FFFF};
  if (r.Chance(60)) return static_cast<Char>('a' + r.Below(26));
  if (r.Chance(70)) return static_cast<Char>(r.Pick(kAscii));
  if (sizeof(Char) == 1) return static_cast<Char>(0x80 + r.Below(0x80));
  if (r.OneIn(4)) return static_cast<Char>(-1 - static_cast<int32_t>(r.Below(1000)));
  return static_cast<Char>(r.Pick(kWide));
}

template <uint32_t kClass, typename Char>
void CompareOne(const std::vector<Char>& text, size_t from, size_t end) {
  const Char* t = text.data();
  ASSERT_EQ((XmlSearch<kClass, true>(t, from, end, text.size())),
            (PlainSearch<kClass, true>(text, from, end)))
      << "class " << kClass << " from " << from << " end " << end;
  ASSERT_EQ((XmlSearch<kClass, false>(t, from, end, text.size())),
            (PlainSearch<kClass, false>(text, from, end)))
      << "class " << kClass << " from " << from << " end " << end;
  size_t back = end;
  while (back > from && (PlainClasses(static_cast<uint32_t>(text[back - 1])) & kClass)) --back;
  ASSERT_EQ((XmlTrimBack<kClass>(t, from, end)), back) << "class " << kClass;
}

// XmlNarrowRun stops where the search does and leaves the units before the
// stop as bytes.
template <uint32_t kClass>
void CompareNarrowRun(const std::vector<wchar_t>& text, size_t from, size_t end) {
  std::vector<char> out(end - from + 1, '#');
  const size_t stop = XmlNarrowRun<kClass>(text.data(), from, end, out.data());
  ASSERT_EQ(stop, (PlainSearch<kClass, true>(text, from, end))) << "class " << kClass;
  for (size_t i = from; i < stop; ++i)
    ASSERT_EQ(static_cast<uint32_t>(static_cast<unsigned char>(out[i - from])),
              static_cast<uint32_t>(text[i]))
        << "unit " << i;
  ASSERT_EQ(out[end - from], '#') << "written past the room";
}

template <typename Char>
void CompareAllClasses(uint64_t start) {
  CWTestRandom r(start);
  for (int round = 0; round < 400; ++round) {
    std::vector<Char> text(1 + r.Below(80));
    // Runs of one unit, so that blocks with no hit and hits at every
    // position of a block both occur.
    for (size_t i = 0; i < text.size();) {
      const Char c = RandomUnit<Char>(r);
      for (size_t n = 1 + r.Below(20); n && i < text.size(); --n) text[i++] = c;
    }
    const size_t from = r.Below(static_cast<uint32_t>(text.size()));
    const size_t end = from + r.Below(static_cast<uint32_t>(text.size() - from) + 1);
    CompareOne<kXmlWhite>(text, from, end);
    CompareOne<kXmlLt>(text, from, end);
    CompareOne<kXmlNameEnd>(text, from, end);
    CompareOne<kXmlTagClose>(text, from, end);
    CompareOne<kXmlTextStop>(text, from, end);
    CompareOne<kXmlValueStop | kXmlQuote>(text, from, end);
    CompareOne<kXmlValueStop | kXmlApos>(text, from, end);
    CompareOne<kXmlTextEscape>(text, from, end);
    CompareOne<kXmlAttributeEscape>(text, from, end);
    CompareOne<kXmlControl>(text, from, end);
    CompareOne<kXmlHigh>(text, from, end);
    CompareOne<kXmlTextControl | kXmlWhite>(text, from, end);
    if constexpr (sizeof(Char) > 1) {
      CompareNarrowRun<kXmlTextEscape>(text, from, end);
      CompareNarrowRun<kXmlAttributeEscape>(text, from, end);
    }
    if (testing::Test::HasFatalFailure()) return;
  }
}

TEST(XmlScan, SearchMatchesTheClassDefinitionsOnBytes) {
  CompareAllClasses<unsigned char>(1);
}

TEST(XmlScan, SearchMatchesTheClassDefinitionsOnWideUnits) {
  CompareAllClasses<wchar_t>(2);
}

// The table and the predicates built on it agree with XML 1.0's lists.
TEST(XmlScan, PredicatesFollowXmlDefinitions) {
  for (uint32_t c = 0; c < 0x80; ++c) {
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    const bool name = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
    EXPECT_EQ(XmlIsSpace(c), space) << c;
    EXPECT_EQ(XmlIsNameStart(c), start) << c;
    EXPECT_EQ(XmlIsNameChar(c), name) << c;
    EXPECT_EQ(XmlIsChar(c), c >= 0x20 || space) << c;
  }
  EXPECT_FALSE(XmlIsSpace(0x85));
  EXPECT_FALSE(XmlIsSpace(0x120));
  EXPECT_TRUE(XmlIsNameStart(0xC0));
  EXPECT_FALSE(XmlIsNameStart(0xB7));
  EXPECT_TRUE(XmlIsNameChar(0xB7));
}

}  // namespace
