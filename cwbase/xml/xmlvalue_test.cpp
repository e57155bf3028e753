// Typed getters: missing, well-formed, malformed, out of range and white
// space, for element values and attributes alike.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "cwbase/xml/xmlnode.h"

namespace {

constexpr int kOk = CWXML_VALUE_OK, kMissing = CWXML_VALUE_MISSING, kBad = CWXML_VALUE_MALFORMED;

// Runs `query` on an element whose value is `text` (null: none) and on an
// attribute of that value, and checks both give the same answer and value.
template <typename T, typename Value, typename Prop>
void Check(const wchar_t* text, int want, T wantValue, Value value, Prop prop) {
  CWXMLNode node;
  if (text) {
    node.SetValue(text);
    node.SetPropertyValue(L"v", text);
  }
  const T untouched = T(42);
  T fromValue = untouched, fromProp = untouched;
  EXPECT_EQ(want, (node.*value)(&fromValue)) << (text ? text : L"(null)");
  EXPECT_EQ(want, (node.*prop)(L"v", &fromProp)) << (text ? text : L"(null)");
  const T expected = want == kOk ? wantValue : untouched;
  if constexpr (std::is_floating_point<T>::value) {
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(fromValue) && std::isnan(fromProp));
      return;
    }
  }
  EXPECT_EQ(expected, fromValue) << (text ? text : L"(null)");
  EXPECT_EQ(expected, fromProp) << (text ? text : L"(null)");
}

TEST(XmlTypedValue, Long) {
  const struct {
    const wchar_t* text;
    int result;
    long value;
  } cases[] = {
      {nullptr, kMissing, 0},
      {L"0", kOk, 0},
      {L"-5", kOk, -5},
      {L"+17", kOk, 17},
      {L"007", kOk, 7},
      {L" \t\r\n12\n ", kOk, 12},
      {L"9223372036854775807", kOk, LONG_MAX},
      {L"-9223372036854775808", kOk, LONG_MIN},
      {L"9223372036854775808", kBad, 0},   // overflow
      {L"-9223372036854775809", kBad, 0},  // overflow
      {L"99999999999999999999999", kBad, 0},
      {L"12ab", kBad, 0},
      {L"1 2", kBad, 0},
      {L"", kBad, 0},
      {L"   ", kBad, 0},
      {L"-", kBad, 0},
      {L"+-1", kBad, 0},
      {L"0x10", kBad, 0},
      {L"1.0", kBad, 0},
      {L"\u00a012", kBad, 0},  // no-break space is not XML white space
      {L"\u0661", kBad, 0},    // a digit of another script
  };
  for (const auto& c : cases)
    Check<long>(c.text, c.result, c.value, &CWXMLNode::QueryValueLong,
                &CWXMLNode::QueryPropertyLong);
}

TEST(XmlTypedValue, Double) {
  const double inf = HUGE_VAL;
  const struct {
    const wchar_t* text;
    int result;
    double value;
  } cases[] = {
      {nullptr, kMissing, 0},
      {L"1.5", kOk, 1.5},
      {L" -0.25 ", kOk, -0.25},
      {L"+3", kOk, 3},
      {L".5", kOk, 0.5},
      {L"5.", kOk, 5},
      {L"1e3", kOk, 1000},
      {L"1E-2", kOk, 0.01},
      {L"2.5e+2", kOk, 250},
      {L"INF", kOk, inf},
      {L"+INF", kOk, inf},
      {L"-INF", kOk, -inf},
      {L"NaN", kOk, NAN},
      {L"1e-400", kOk, 0},           // below the range: rounds to 0
      {L"4.9e-324", kOk, 4.9e-324},  // the smallest subnormal
      {L"1e400", kBad, 0},           // beyond the range
      {L"-1e400", kBad, 0},
      {L"1,5", kBad, 0},
      {L"inf", kBad, 0},
      {L"nan", kBad, 0},
      {L"Infinity", kBad, 0},
      {L"0x1p3", kBad, 0},
      {L"1e", kBad, 0},
      {L"e3", kBad, 0},
      {L".", kBad, 0},
      {L"1.5x", kBad, 0},
      {L"", kBad, 0},
  };
  for (const auto& c : cases)
    Check<double>(c.text, c.result, c.value, &CWXMLNode::QueryValueDouble,
                  &CWXMLNode::QueryPropertyDouble);
}

TEST(XmlTypedValue, Bool) {
  const struct {
    const wchar_t* text;
    int result;
    bool value;
  } cases[] = {
      {nullptr, kMissing, false}, {L"true", kOk, true}, {L"false", kOk, false},
      {L" 1\n", kOk, true},       {L"0", kOk, false},   {L"True", kBad, false},
      {L"yes", kBad, false},      {L"2", kBad, false},  {L"", kBad, false},
      {L"truex", kBad, false},    {L"01", kBad, false},
  };
  for (const auto& c : cases) {
    // 42 reads as true; check "untouched" with both starting values.
    CWXMLNode node;
    if (c.text) node.SetValue(c.text);
    for (bool start : {false, true}) {
      bool got = start;
      EXPECT_EQ(c.result, node.QueryValueBool(&got)) << (c.text ? c.text : L"(null)");
      EXPECT_EQ(c.result == kOk ? c.value : start, got) << (c.text ? c.text : L"(null)");
    }
  }
}

TEST(XmlTypedValue, AttributesFollowGetPropertyValue) {
  CWXMLDocument doc;
  const char text[] = "<a n=\"1\" n=\"x\" m=\"2\"/>";
  // The exact reader keeps both n; the last one is the one read.
  ASSERT_EQ(0, doc.LoadFromStreamAscii(reinterpret_cast<const unsigned char*>(text),
                                       static_cast<int>(sizeof(text) - 1)));
  long value = 0;
  EXPECT_EQ(kBad, doc.QueryPropertyLong(L"n", &value));
  EXPECT_EQ(kOk, doc.QueryPropertyLong(L"m", nullptr));  // a null pointer just checks
  EXPECT_EQ(kMissing, doc.QueryPropertyLong(L"z", &value));
  EXPECT_EQ(kMissing, doc.QueryPropertyLong(nullptr, &value));
  EXPECT_EQ(0, value);
  EXPECT_EQ(kMissing, doc.QueryValueLong(&value));  // a self-closing element has no value
}

}  // namespace
