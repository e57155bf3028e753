// Fuzzing of the UTF-8 converters and the locale pair (in C.UTF-8). The four
// UTF-8 converters are compared with small reference transcriptions of their
// documented algorithms; the counted ones also with cut capacities and guard
// units behind them, the locale pair with guards behind its limit.
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "cwbase/text/encoding.h"
#include "fuzz_util.h"

namespace {

constexpr wchar_t kGuardW = static_cast<wchar_t>(0x5A5A5A5A);
constexpr char kGuard = 0x5A;

// Utf8toWStr as its table reads.
std::vector<wchar_t> RefUtf8toW(const std::string& src) {
  std::vector<wchar_t> out;
  int expected = 0;
  unsigned value = 0;
  for (unsigned char b : src) {
    if (b < 0x80) {
      if (expected) out.push_back(L'?');
      expected = 0;
      out.push_back(b);
    } else if (b < 0xC0) {
      if (!expected) {
        out.push_back(L'?');
      } else {
        value = (value << 6) + (b & 0x3F);
        if (--expected == 0) out.push_back(static_cast<wchar_t>(value));
      }
    } else if (b < 0xE0) {
      value = b & 0x1F, expected = 1;
    } else if (b < 0xF0) {
      value = b & 0x0F, expected = 2;
    } else if (b < 0xF8) {
      value = b & 0x07, expected = 3;
    } else {
      expected = 0;
      out.push_back(L'?');
    }
  }
  if (expected) out.push_back(L'?');
  return out;
}

// WstrtoUtf8, one character at a time.
std::string RefWtoUtf8Char(wchar_t unit) {
  int32_t v = static_cast<int32_t>(unit);
  std::string s;
  auto put = [&](unsigned x) { s.push_back(static_cast<char>(x & 0xFF)); };
  if (v < 0x80) {
    put(static_cast<unsigned>(v));
  } else if (v < 0x800) {
    put(0xC0 + (v >> 6)), put(0x80 + (v & 0x3F));
  } else if (v < 0x10000) {
    put(0xE0 + (v >> 12)), put(0x80 + ((v >> 6) & 0x3F)), put(0x80 + (v & 0x3F));
  } else if (v <= 0x10FFFF) {
    put(0xF0 + (v >> 18)), put(0x80 + ((v >> 12) & 0x3F)), put(0x80 + ((v >> 6) & 0x3F));
    put(0x80 + (v & 0x3F));
  } else {
    put('?');
  }
  return s;
}

// make_utf8_string: low 16 bits, ends at the first unit whose low bits are 0.
std::string RefMakeUtf8(const std::wstring& src) {
  std::string out;
  for (wchar_t w : src) {
    unsigned v = static_cast<unsigned>(w) & 0xFFFF;
    if (!v) break;
    out += v < 0x80 ? RefWtoUtf8Char(static_cast<wchar_t>(v))
                    : RefWtoUtf8Char(static_cast<wchar_t>(v));
  }
  return out;
}

// make_unicode_string with the header's rule for a last character cut short
// by the terminator: it counts as one character, missing bytes as zero bits.
std::vector<wchar_t> RefMakeUnicode(const std::string& src) {  // src has no zero byte
  std::vector<wchar_t> out;
  size_t i = 0;
  auto at = [&](size_t k) -> unsigned {
    return k < src.size() ? static_cast<unsigned char>(src[k]) : 0;
  };
  while (i < src.size()) {
    unsigned b = at(i);
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      i += 1;
    } else if (b >= 0xE0) {
      unsigned b1 = at(i + 1), b2 = b1 ? at(i + 2) : 0;
      out.push_back(static_cast<wchar_t>(((b & 0x1F) << 12) + ((b1 & 0x3F) << 6) + (b2 & 0x3F)));
      i += !b1 ? 1 : (!b2 ? 2 : 3);
    } else {
      unsigned b1 = at(i + 1);
      out.push_back(static_cast<wchar_t>(((b & 0x3F) << 6) + (b1 & 0x3F)));
      i += b1 ? 2 : 1;
    }
  }
  return out;
}

void CheckCountedToWide(const std::string& src, int capacity) {
  std::vector<wchar_t> ref = RefUtf8toW(src);
  FUZZ_CHECK(ref.size() <= src.size());  // never more units than bytes
  size_t room = capacity > 0 ? static_cast<size_t>(capacity) : 0;
  std::vector<wchar_t> dest(room + 4, kGuardW);
  std::vector<char> copy(src.begin(), src.end());
  int n = Utf8toWStr(dest.data(), capacity, copy.empty() ? nullptr : copy.data(),
                     static_cast<int>(copy.size()));
  size_t expected = capacity <= 0 || src.empty() ? 0 : std::min(ref.size(), room);
  FUZZ_CHECK(n == static_cast<int>(expected));
  for (size_t i = 0; i < expected; ++i) FUZZ_CHECK(dest[i] == ref[i]);
  for (size_t i = expected; i < dest.size(); ++i) FUZZ_CHECK(dest[i] == kGuardW);
  FUZZ_CHECK(src.empty() || std::memcmp(copy.data(), src.data(), src.size()) == 0);
}

void CheckCountedToUtf8(const std::wstring& src, int capacity) {
  std::string full;
  std::vector<size_t> ends;  // byte count after each character
  for (wchar_t w : src) {
    full += RefWtoUtf8Char(w);
    ends.push_back(full.size());
  }
  FUZZ_CHECK(full.size() <= 4 * src.size());
  size_t room = capacity > 0 ? static_cast<size_t>(capacity) : 0;
  // Whole characters only, stopping at the first that does not fit.
  size_t expected = 0;
  if (capacity > 0)
    for (size_t e : ends) {
      if (e > room) break;
      expected = e;
    }
  std::vector<char> dest(room + 8, kGuard);
  std::vector<wchar_t> copy(src.begin(), src.end());
  int n = WstrtoUtf8(dest.data(), capacity, copy.empty() ? nullptr : copy.data(),
                     static_cast<int>(copy.size()));
  FUZZ_CHECK(n == static_cast<int>(expected));
  FUZZ_CHECK(std::memcmp(dest.data(), full.data(), expected) == 0);
  for (size_t i = expected; i < dest.size(); ++i) FUZZ_CHECK(dest[i] == kGuard);
}

// What wcstombs / mbstowcs with a limit give, one character at a time:
// whole characters while they fit, the terminator when it fits too, -1 for a
// character that does not convert while there is still room.
struct Converted {
  long result;
  std::vector<long> units;  // bytes or wide units, terminator included when written
};

Converted RefToMultiByte(const std::wstring& src, size_t limit) {
  Converted c{0, {}};
  std::mbstate_t st{};
  for (size_t i = 0; i <= src.size(); ++i) {
    if (c.units.size() >= limit) break;
    char tmp[MB_LEN_MAX];
    size_t len = std::wcrtomb(tmp, i < src.size() ? src[i] : L'\0', &st);
    if (len == static_cast<size_t>(-1)) return Converted{-1, {}};
    if (c.units.size() + len > limit) break;
    for (size_t k = 0; k < len; ++k) c.units.push_back(static_cast<unsigned char>(tmp[k]));
    if (i == src.size()) {
      c.result = static_cast<long>(c.units.size()) - 1;
      return c;
    }
  }
  c.result = static_cast<long>(c.units.size());
  return c;
}

Converted RefToWide(const std::string& src, size_t limit) {
  Converted c{0, {}};
  std::mbstate_t st{};
  const char* p = src.c_str();
  const char* end = p + src.size() + 1;
  while (c.units.size() < limit) {
    wchar_t w;
    size_t len = std::mbrtowc(&w, p, static_cast<size_t>(end - p), &st);
    if (len == static_cast<size_t>(-1) || len == static_cast<size_t>(-2)) return Converted{-1, {}};
    c.units.push_back(w);
    if (w == 0) {
      c.result = static_cast<long>(c.units.size()) - 1;
      return c;
    }
    p += len;
  }
  c.result = static_cast<long>(c.units.size());
  return c;
}

void CheckLocalePair(const std::string& mb, const std::wstring& wide, int size) {
  // MultiByteToWideChar: limit = min(size as unsigned, bytes + 1) units.
  size_t n = mb.size() + 1;
  size_t limit = static_cast<unsigned>(size) < n ? static_cast<unsigned>(size) : n;
  std::vector<wchar_t> wdest(n + 4, kGuardW);
  int r = MultiByteToWideChar(0, 0, mb.c_str(), -1, wdest.data(), size);
  Converted ref = RefToWide(mb, limit);
  FUZZ_CHECK(r == ref.result);
  for (size_t i = 0; i < ref.units.size(); ++i) FUZZ_CHECK(wdest[i] == ref.units[i]);
  for (size_t i = limit; i < wdest.size(); ++i) FUZZ_CHECK(wdest[i] == kGuardW);
  // A null destination answers the length the whole text needs.
  Converted whole = RefToWide(mb, n);
  FUZZ_CHECK(MultiByteToWideChar(0, 0, mb.c_str(), 0, nullptr, size) == whole.result);
  // Room for bytes + 1 units always receives the whole text.
  if (whole.result >= 0 && size >= static_cast<int>(n)) FUZZ_CHECK(r == whole.result);

  // WideCharToMultiByte: limit = min(size as unsigned, units + 1) bytes.
  size_t wn = wide.size() + 1;
  size_t wlimit = static_cast<unsigned>(size) < wn ? static_cast<unsigned>(size) : wn;
  std::vector<char> dest(wn + 8, kGuard);
  r = WideCharToMultiByte(0, 0, wide.c_str(), -1, dest.data(), size, nullptr, nullptr);
  ref = RefToMultiByte(wide, wlimit);
  FUZZ_CHECK(r == ref.result);
  for (size_t i = 0; i < ref.units.size(); ++i)
    FUZZ_CHECK(static_cast<unsigned char>(dest[i]) == ref.units[i]);
  for (size_t i = wlimit; i < dest.size(); ++i) FUZZ_CHECK(dest[i] == kGuard);
  whole = RefToMultiByte(wide, static_cast<size_t>(-1));
  FUZZ_CHECK(WideCharToMultiByte(0, 0, wide.c_str(), 0, nullptr, size, nullptr, nullptr) ==
             whole.result);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::setlocale(LC_ALL, "C.UTF-8")) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  int mode = in.ConsumeIntegralInRange<int>(0, 3);
  int capacity;
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      capacity = in.ConsumeIntegralInRange<int>(INT32_MIN, 0);
      break;
    case 1:
      capacity = in.ConsumeIntegralInRange<int>(0, 12);
      break;
    default:
      capacity = in.ConsumeIntegralInRange<int>(0, 1200);
  }

  if (mode == 0) {  // bytes in: counted converter, make_unicode_string, locale pair
    std::string bytes = in.ConsumeRemainingBytesAsString();
    CheckCountedToWide(bytes, capacity);
    CheckCountedToWide(bytes, static_cast<int>(bytes.size()));  // the documented room
    std::string zt = bytes.substr(0, bytes.find('\0'));
    wchar_t* w = make_unicode_string(reinterpret_cast<const unsigned char*>(zt.c_str()));
    FUZZ_CHECK(w != nullptr);
    std::vector<wchar_t> ref = RefMakeUnicode(zt);
    for (size_t i = 0; i < ref.size(); ++i) FUZZ_CHECK(w[i] == ref[i]);
    FUZZ_CHECK(w[ref.size()] == 0);
    std::free(w);
    CheckLocalePair(zt, std::wstring(), capacity);
  } else {  // wide in: counted converter, make_utf8_string, locale pair
    std::wstring wide = ConsumeWide(in, 300, L"a\x7F\x80\x7FF\x800\xD800\xFFFF\x10000\x10FFFF");
    if (mode == 3 && !wide.empty()) wide[wide.size() / 2] = static_cast<wchar_t>(0x10000);
    CheckCountedToUtf8(wide, capacity);
    CheckCountedToUtf8(wide, static_cast<int>(4 * wide.size()));
    unsigned char* u = make_utf8_string(wide.c_str());
    FUZZ_CHECK(u != nullptr);
    std::string ref = RefMakeUtf8(wide);
    FUZZ_CHECK(std::strlen(reinterpret_cast<char*>(u)) == ref.size());
    FUZZ_CHECK(std::memcmp(u, ref.data(), ref.size()) == 0);
    // Back again: the low 16 bits of every unit up to the first zero one.
    wchar_t* back = make_unicode_string(u);
    FUZZ_CHECK(back != nullptr);
    size_t i = 0;
    for (; i < wide.size() && (static_cast<unsigned>(wide[i]) & 0xFFFF); ++i)
      FUZZ_CHECK(static_cast<unsigned>(back[i]) == (static_cast<unsigned>(wide[i]) & 0xFFFF));
    FUZZ_CHECK(back[i] == 0);
    std::free(back);
    std::free(u);
    CheckLocalePair(std::string(), wide, capacity);
  }
  return 0;
}
