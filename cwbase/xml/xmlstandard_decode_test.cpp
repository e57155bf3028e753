// The standard reader's UTF-8 decoding where its vector windows start, stop
// and hand over to the character-at-a-time rules: every class of sequence
// XML treats apart (each length, forms XML forbids, controls, CR LF and a
// lone CR) at every offset of a 64-byte window, alone and repeated, decoded
// whole and in steps, against XML's rules applied one character at a time.
// ctest runs this at every vector level the processor has (CWBASE_SIMD).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/xml/internal/decode.h"
#include "cwbase/xml/internal/xmlchars.h"

namespace {

using std::string;
using std::wstring;

constexpr size_t kWindow = 64;

const char* const kClasses[] = {"\xC2\x80",
                                "\xC2\x85",
                                "\xDF\xBF",
                                "\xE0\xA0\x80",
                                "\xEF\xBF\xBD",
                                "\xEF\xBF\xBE",
                                "\xEF\xBF\xBF",
                                "\xED\x9F\xBF",
                                "\xEE\x80\x80",
                                "\xF0\x90\x80\x80",
                                "\xF4\x8F\xBF\xBF",
                                "\xC0\x80",
                                "\xC1\xBF",
                                "\xE0\x9F\xBF",
                                "\xF0\x8F\xBF\xBF",
                                "\xED\xA0\x80",
                                "\xED\xBF\xBF",
                                "\xF4\x90\x80\x80",
                                "\xF5\x80\x80\x80",
                                "\xF7\xBF\xBF\xBF",
                                "\xC3",
                                "\xE2\x82",
                                "\xF0\x9F\x98",
                                "\x80",
                                "\xF8\x88\x80\x80",
                                "\xFF",
                                "\t",
                                "\n",
                                "\r\n",
                                "\r",
                                "\r\r\n",
                                "\x01",
                                "\x1F",
                                "\x7F",
                                "\x0B",
                                "\xD0\x96\r\n\xE4\xB8\xAD"};

struct Decoded {
  bool ok = true;
  wstring units;
  size_t faultByte = 0;
  bool narrow = false;
};

// XML's rules, a character at a time: CR LF and a lone CR each become LF.
Decoded Reference(const string& text) {
  Decoded d;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  d.narrow = true;
  for (size_t i = 0; i < n;) {
    uint32_t c = '\n';
    size_t size;
    if (p[i] == '\r') {
      size = i + 1 < n && p[i + 1] == '\n' ? 2 : 1;
    } else {
      size = cwbase_internal::DecodeUtf8Char<cwbase_internal::Utf8Rules::kXml>(p + i, n - i, &c);
      if (size == 0 || !cwbase_internal::XmlIsChar(c)) {
        d.ok = false;
        d.faultByte = i;
        return d;
      }
    }
    if (size > 1 || p[i] == '\r') d.narrow = false;
    d.units += static_cast<wchar_t>(c);
    i += size;
  }
  return d;
}

// The reader's decoding, in steps of `step` bytes (0: at once).
Decoded Decode(const string& text, size_t step) {
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  const cwbase_internal::XmlSource source = cwbase_internal::XmlDetectEncoding(data, text.size());
  std::vector<wchar_t> dest(cwbase_internal::XmlDecodeRoom(source), 0x5A5A);
  cwbase_internal::XmlNarrowText narrow;
  Decoded d;
  if (step == 0) {
    size_t units = 0;
    cwbase_internal::XmlDecodeFault fault;
    d.ok = cwbase_internal::XmlDecode(source, dest.data(), &units, &fault, &narrow);
    d.faultByte = fault.m_Byte;
    if (d.ok) d.units.assign(dest.data(), units);
  } else {
    cwbase_internal::XmlUtf8Steps steps(source, dest.data(), &narrow);
    while (d.ok && !steps.Done()) d.ok = steps.Step(step);
    d.faultByte = steps.Fault().m_Byte;
    if (d.ok) d.units.assign(dest.data(), steps.Units());
  }
  d.narrow = narrow.m_pBytes != nullptr;
  return d;
}

void Check(const string& text, const string& where) {
  const Decoded want = Reference(text);
  for (size_t step : {size_t{0}, size_t{7}, kWindow, size_t{100}}) {
    const Decoded got = Decode(text, step);
    ASSERT_EQ(got.ok, want.ok) << where << " step " << step;
    if (!want.ok) {
      ASSERT_EQ(got.faultByte, want.faultByte) << where << " step " << step;
      continue;
    }
    ASSERT_EQ(got.units, want.units) << where << " step " << step;
    ASSERT_EQ(got.narrow, want.narrow) << where << " step " << step;
  }
}

TEST(XmlDecodeBlocks, EveryClassAtEveryWindowOffset) {
  for (const char* seq : kClasses)
    for (size_t offset = 0; offset < kWindow + 4; ++offset) {
      string alone(offset, 'a'), dense(offset, 'a');
      alone += seq;
      alone.append(3 * kWindow, 'a');
      while (dense.size() < 3 * kWindow + offset) dense += seq;
      for (const string& text : {alone, dense, dense + "aaaaa"}) {
        Check(text, "class " + std::to_string(&seq - kClasses) + " offset " +
                        std::to_string(offset) + " length " + std::to_string(text.size()));
        if (HasFatalFailure()) return;
      }
    }
}

// Mixtures of the allowed classes (and, one time in eight, one that is not),
// so that CR LF pairs and long characters meet window ends in every way.
TEST(XmlDecodeBlocks, RandomMixtures) {
  const char* const allowed[] = {"a",  "<b>",  "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
                                 "\n", "\r\n", "\t",       "\xC2\x85",     " "};
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    string text;
    const size_t length = random() % 700;
    while (text.size() < length) text += allowed[random() % (sizeof allowed / sizeof *allowed)];
    if (round % 8 == 7)
      text.insert(random() % (text.size() + 1),
                  kClasses[random() % (sizeof kClasses / sizeof *kClasses)]);
    Check(text, "round " + std::to_string(round));
    if (HasFatalFailure()) return;
  }
}

}  // namespace
