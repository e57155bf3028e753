// The converters where their block kernels start, stop and hand over to the
// character-at-a-time rules: every class of UTF-8 sequence and of wide unit
// at every offset of a 64-byte window (alone in ASCII, and repeated so that
// its characters meet every window boundary), each converter against its
// reference (internal/utf8_reference.h) or the C library. ctest runs this at
// every vector level the processor has (CWBASE_SIMD).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cwbase/text/encoding.h"
#include "cwbase/text/internal/utf8_reference.h"
#include "testing/scopes.h"

namespace {

using std::string;
using std::wstring;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

constexpr size_t kWindow = 64;

// UTF-8 classes: well-formed of each length (lowest, highest), overlong,
// surrogates, above U+10FFFF, cut short (before ASCII and before a lead),
// stray continuation bytes and the bytes no rule set takes as a lead.
const char* const kUtf8Classes[] = {"\xC2\x80",
                                    "\xDF\xBF",
                                    "\xE0\xA0\x80",
                                    "\xEF\xBF\xBF",
                                    "\xF0\x90\x80\x80",
                                    "\xF4\x8F\xBF\xBF",
                                    "\xC0\x80",
                                    "\xC1\xBF",
                                    "\xE0\x80\x80",
                                    "\xE0\x9F\xBF",
                                    "\xF0\x80\x80\x80",
                                    "\xF0\x8F\xBF\xBF",
                                    "\xED\xA0\x80",
                                    "\xED\xBF\xBF",
                                    "\xF4\x90\x80\x80",
                                    "\xF7\xBF\xBF\xBF",
                                    "\xC3",
                                    "\xE2\x82",
                                    "\xF0\x9F\x98",
                                    "\xE2\x82\xC3\xA9",
                                    "\x80",
                                    "\xBF\xBF",
                                    "\xF8\x88\x80\x80\x80",
                                    "\xFC\x84\x80\x80\x80\x80",
                                    "\xFE",
                                    "\xFF",
                                    "\xD0\x96\xE4\xB8\xAD\xF0\x9F\x98\x80"};

// Wide classes: each UTF-8 length at its edges, surrogates, above 0x10FFFF
// and negative units.
const uint32_t kWideClasses[] = {0x7F,       0x80,       0x7FF,      0x800,    0xD800,   0xDFFF,
                                 0xFFFF,     0x10000,    0x10FFFF,   0x110000, 0x1FFFFF, 0x7FFFFFFF,
                                 0x80000000, 0xFFFFFFFF, 0xFFFFFF80, 0xE0041,  0x1F600};

// The texts of one class: `seq` after `offset` ASCII bytes and before more,
// and `seq` repeated from `offset` on, both longer than three windows.
template <typename Str>
std::vector<Str> Placements(const Str& seq, size_t offset, typename Str::value_type filler) {
  Str alone(offset, filler), dense(offset, filler);
  alone += seq;
  alone.append(3 * kWindow, filler);
  while (dense.size() < 3 * kWindow + offset) dense += seq;
  return {alone, dense, dense + Str(5, filler)};
}

void CheckUtf8(const string& text, const string& where) {
  const int n = static_cast<int>(text.size());
  std::unique_ptr<char[]> src(new char[text.size() + 1]);
  std::memcpy(src.get(), text.c_str(), text.size() + 1);
  for (int cap : {n, n / 2 + 1}) {
    wstring got(text.size() + 2, 0x5A5A), want = got;
    ASSERT_EQ(Utf8toWStr(&got[0], cap, src.get(), n),
              cwbase_internal::ReferenceUtf8toWStr(&want[0], cap, src.get(), n))
        << where;
    ASSERT_EQ(got, want) << where << " capacity " << cap;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(src.get());
  std::unique_ptr<wchar_t, FreeDeleter> made(make_unicode_string(bytes));
  std::unique_ptr<wchar_t, FreeDeleter> ref(cwbase_internal::ReferenceMakeUnicodeString(bytes));
  ASSERT_EQ(wstring(made.get()), wstring(ref.get())) << where;
  for (size_t size : {text.size() + 1, text.size() / 2}) {
    wstring got(text.size() + 2, 0x5A5A), want = got;
    ASSERT_EQ(MultiByteToWideChar(0, 0, src.get(), -1, &got[0], static_cast<int>(size)),
              static_cast<int>(std::mbstowcs(&want[0], src.get(), std::min(size, text.size() + 1))))
        << where;
    ASSERT_EQ(got, want) << where << " size " << size;
  }
}

void CheckWide(const wstring& text, const string& where) {
  const int n = static_cast<int>(text.size());
  std::unique_ptr<wchar_t[]> src(new wchar_t[text.size() + 1]);
  std::memcpy(src.get(), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  for (int cap : {4 * n, 2 * n + 1}) {
    string got(4 * text.size() + 2, 'Z'), want = got;
    ASSERT_EQ(WstrtoUtf8(&got[0], cap, src.get(), n),
              cwbase_internal::ReferenceWstrtoUtf8(&want[0], cap, src.get(), n))
        << where;
    ASSERT_EQ(got, want) << where << " capacity " << cap;
  }
  std::unique_ptr<unsigned char, FreeDeleter> made(make_utf8_string(src.get()));
  std::unique_ptr<unsigned char, FreeDeleter> ref(
      cwbase_internal::ReferenceMakeUtf8String(src.get()));
  ASSERT_STREQ(reinterpret_cast<char*>(made.get()), reinterpret_cast<char*>(ref.get())) << where;
  for (size_t size : {4 * text.size() + 1, text.size() + 1, text.size() / 2}) {
    string got(4 * text.size() + 2, 'Z'), want = got;
    ASSERT_EQ(
        WideCharToMultiByte(0, 0, src.get(), -1, &got[0], static_cast<int>(size), "", nullptr),
        static_cast<int>(std::wcstombs(&want[0], src.get(), std::min(size, text.size() + 1))))
        << where;
    ASSERT_EQ(got, want) << where << " size " << size;
  }
}

TEST(Utf8Blocks, EveryUtf8ClassAtEveryWindowOffset) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  for (const char* seq : kUtf8Classes)
    for (size_t offset = 0; offset < kWindow + 4; ++offset)
      for (const string& text : Placements<string>(seq, offset, 'a')) {
        CheckUtf8(text, "class " + std::to_string(&seq - kUtf8Classes) + " offset " +
                            std::to_string(offset) + " length " + std::to_string(text.size()));
        if (HasFatalFailure()) return;
      }
}

TEST(Utf8Blocks, EveryWideClassAtEveryBlockOffset) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  for (uint32_t unit : kWideClasses)
    for (size_t offset = 0; offset < kWindow + 4; ++offset)
      for (const wstring& text :
           Placements<wstring>(wstring(1, static_cast<wchar_t>(unit)), offset, L'a')) {
        CheckWide(text, "unit " + std::to_string(unit) + " offset " + std::to_string(offset));
        if (HasFatalFailure()) return;
      }
}

// Mixed characters of every length in one text, each run of a class long
// enough to fill whole blocks, cut at every length near a window's end.
TEST(Utf8Blocks, MixedTextsCutAtEveryLength) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  const wstring pieces[] = {L"plain ascii text, ",   L"\u00e9\u00e8\u00ea\u00eb",
                            L"\u0416\u0418\u041a",   L"\u4e2d\u6587\u5b57",
                            L"\U0001F600\U0001F680", L"\uFFFD\uE000"};
  wstring wide;
  for (int k = 0; wide.size() < 5 * kWindow; ++k) wide += pieces[(k * 7) % 6];
  unsigned char* utf8 = make_utf8_string(wide.c_str());  // four-byte characters: low 16 bits
  std::unique_ptr<unsigned char, FreeDeleter> own(utf8);
  std::vector<char> bytes(4 * wide.size() + 1, 0);
  const int n = WstrtoUtf8(bytes.data(), static_cast<int>(bytes.size()), &wide[0],
                           static_cast<int>(wide.size()));
  for (int cut = n - 3 * static_cast<int>(kWindow); cut <= n; ++cut) {
    CheckUtf8(string(bytes.data(), static_cast<size_t>(cut)), "cut " + std::to_string(cut));
    if (HasFatalFailure()) return;
  }
  for (size_t cut = wide.size() - kWindow; cut <= wide.size(); ++cut) {
    CheckWide(wide.substr(0, cut), "cut " + std::to_string(cut));
    if (HasFatalFailure()) return;
  }
}

// MultiByteToWideChar measures the text 4096 bytes at a time: a character
// across such a step, after a run of ASCII, must be read whole.
TEST(Utf8Blocks, CharacterAcrossTheMeasuringStep) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  for (const char* seq : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xED\xA0\x80"})
    for (size_t before = 4096 - 4; before <= 4096 + 1; ++before) {
      string text(before, 'a');
      text += seq;
      text.append(100, 'b');
      CheckUtf8(text, std::string("before ") + std::to_string(before));
      if (HasFatalFailure()) return;
    }
}

// WideCharToMultiByte measures its text a block at a time ahead of the
// conversion: the limit taken from the length must bind as it would with the
// whole length known, wherever it falls against the measuring steps.
TEST(Utf8Blocks, WideLimitAcrossTheMeasuringStep) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  for (uint32_t unit : {0xE9u, 0x20ACu, 0x1F600u, 0xD800u})
    for (size_t before : {4094, 4095, 4096, 4097, 8191, 8192}) {
      wstring text(before, L'a');
      text.append(before / 2, static_cast<wchar_t>(unit));
      text.append(70, L'b');
      const size_t n = text.size();
      for (size_t size : {size_t{0}, size_t{1}, before - 1, before, before + 1, n - 1, n, n + 1,
                          n + 2, 2 * n, 4 * n + 1, size_t{0xFFFFFFFF}}) {
        string got(4 * n + 2, 'Z'), want = got;
        const size_t limit = std::min(size, n + 1);
        ASSERT_EQ(WideCharToMultiByte(0, 0, text.c_str(), -1, &got[0], static_cast<int>(size), "",
                                      nullptr),
                  static_cast<int>(std::wcstombs(&want[0], text.c_str(), limit)))
            << "unit " << unit << " before " << before << " size " << size;
        ASSERT_EQ(got, want) << "unit " << unit << " before " << before << " size " << size;
      }
    }
}

}  // namespace
