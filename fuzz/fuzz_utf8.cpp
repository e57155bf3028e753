// Fuzzing of the UTF-8 converters and the locale pair (in C.UTF-8). The four
// UTF-8 converters are compared with the library's reference versions
// (internal/utf8_reference.h); the counted ones also with cut capacities,
// whose output must be the start of the whole result, and guard units behind
// them. The locale pair is compared with the C library's one-character
// conversions (wcrtomb/mbrtowc), with guards behind its limit. Each rule set
// of the one-character codec (internal/utf8_codec.h) is compared with its
// reference at every position of the bytes, the encoder with its reference
// on every unit.
#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "cwbase/text/encoding.h"
#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/text/internal/utf8_reference.h"
#include "fuzz_util.h"

namespace {

constexpr wchar_t kGuardW = static_cast<wchar_t>(0x5A5A5A5A);
constexpr char kGuard = 0x5A;

// A malloc'ed result, released with free().
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T[], FreeDeleter>;

void CheckCountedToWide(const std::string& src, int capacity) {
  std::vector<char> copy(src.begin(), src.end());
  char* source = copy.empty() ? nullptr : copy.data();
  const int length = static_cast<int>(copy.size());
  // The whole result: never more units than bytes.
  std::vector<wchar_t> whole(src.size() + 1, kGuardW);
  const int total = cwbase_internal::ReferenceUtf8toWStr(whole.data(), length, source, length);
  FUZZ_CHECK(total >= 0 && total <= length);
  size_t room = capacity > 0 ? static_cast<size_t>(capacity) : 0;
  std::vector<wchar_t> dest(room + 4, kGuardW), want(dest);
  int n = Utf8toWStr(dest.data(), capacity, source, length);
  FUZZ_CHECK(n == cwbase_internal::ReferenceUtf8toWStr(want.data(), capacity, source, length));
  FUZZ_CHECK(dest == want);
  // A smaller capacity keeps the start of the whole result.
  size_t expected = capacity <= 0 ? 0 : std::min(static_cast<size_t>(total), room);
  FUZZ_CHECK(n == static_cast<int>(expected));
  for (size_t i = 0; i < expected; ++i) FUZZ_CHECK(dest[i] == whole[i]);
  for (size_t i = expected; i < dest.size(); ++i) FUZZ_CHECK(dest[i] == kGuardW);
  FUZZ_CHECK(src.empty() || std::memcmp(copy.data(), src.data(), src.size()) == 0);
}

void CheckCountedToUtf8(const std::wstring& src, int capacity) {
  std::string full;
  std::vector<size_t> ends;  // byte count after each character
  for (wchar_t w : src) {
    unsigned char bytes[cwbase_internal::kMaxUtf8Unit], mine[cwbase_internal::kMaxUtf8Unit];
    const size_t len = cwbase_internal::ReferenceEncodeUtf8(w, bytes);
    FUZZ_CHECK(cwbase_internal::EncodeUtf8Unit(w, mine) == len);
    FUZZ_CHECK(std::memcmp(mine, bytes, len) == 0);
    full.append(reinterpret_cast<char*>(bytes), len);
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
  std::vector<char> dest(room + 8, kGuard), want(dest);
  std::vector<wchar_t> copy(src.begin(), src.end());
  wchar_t* source = copy.empty() ? nullptr : copy.data();
  const int length = static_cast<int>(copy.size());
  int n = WstrtoUtf8(dest.data(), capacity, source, length);
  FUZZ_CHECK(n == cwbase_internal::ReferenceWstrtoUtf8(want.data(), capacity, source, length));
  FUZZ_CHECK(dest == want);
  FUZZ_CHECK(n == static_cast<int>(expected));
  FUZZ_CHECK(std::memcmp(dest.data(), full.data(), expected) == 0);
  for (size_t i = expected; i < dest.size(); ++i) FUZZ_CHECK(dest[i] == kGuard);
}

// Every rule set of DecodeUtf8Char read from every position of the bytes.
void CheckCharacterRules(const std::string& src) {
  using cwbase_internal::DecodeUtf8Char;
  using cwbase_internal::Utf8Rules;
  const auto* s = reinterpret_cast<const unsigned char*>(src.data());
  const size_t n = src.size();
  for (size_t i = 0; i < n; ++i) {
    uint32_t got = 0, want = 0;
    size_t k = DecodeUtf8Char<Utf8Rules::kXml>(s + i, n - i, &got);
    FUZZ_CHECK(k == cwbase_internal::ReferenceStrictUtf8(s + i, n - i, 4, 0x10FFFF, &want));
    FUZZ_CHECK(got == want);
    got = want = 0;
    k = DecodeUtf8Char<Utf8Rules::kCLibrary>(s + i, n - i, &got);
    FUZZ_CHECK(k == cwbase_internal::ReferenceStrictUtf8(s + i, n - i, 6, 0x7FFFFFFF, &want));
    FUZZ_CHECK(got == want);
  }
  // The lenient reading, character by character, against the reader.
  std::wstring read, fed;
  for (size_t i = 0; i < n;) {
    uint32_t v;
    i += DecodeUtf8Char<Utf8Rules::kWStr>(s + i, n - i, &v);
    if (v != cwbase_internal::kUtf8NoUnit) read += static_cast<wchar_t>(v);
  }
  cwbase_internal::ReferenceUtf8Reader reader;
  wchar_t units[2];
  for (size_t i = 0; i < n; ++i) fed.append(units, static_cast<size_t>(reader.Feed(s[i], units)));
  fed.append(units, static_cast<size_t>(reader.Finish(units)));
  FUZZ_CHECK(read == fed);
  // make_unicode_string's reading, up to the first zero byte.
  const size_t z = std::strlen(src.c_str());
  for (size_t i = 0; i < z;) {
    uint32_t got;
    unsigned want;
    const size_t k = DecodeUtf8Char<Utf8Rules::kUnicodeString>(s + i, z - i, &got);
    FUZZ_CHECK(k == cwbase_internal::ReferenceUnicodeCharacter(s + i, &want));
    FUZZ_CHECK(got == want);
    i += k;
  }
}

// What wcstombs / mbstowcs with a limit give, one character at a time:
// whole characters while they fit, the terminator when it fits too, -1 for a
// character that does not convert while there is still room.
struct Converted {
  long result;
  std::vector<long> units;  // bytes or wide units, terminator included when written
};

Converted CLibraryToMultiByte(const std::wstring& src, size_t limit) {
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

Converted CLibraryToWide(const std::string& src, size_t limit) {
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
  Converted ref = CLibraryToWide(mb, limit);
  FUZZ_CHECK(r == ref.result);
  for (size_t i = 0; i < ref.units.size(); ++i) FUZZ_CHECK(wdest[i] == ref.units[i]);
  for (size_t i = limit; i < wdest.size(); ++i) FUZZ_CHECK(wdest[i] == kGuardW);
  // A null destination answers the length the whole text needs.
  Converted whole = CLibraryToWide(mb, n);
  FUZZ_CHECK(MultiByteToWideChar(0, 0, mb.c_str(), 0, nullptr, size) == whole.result);
  // Room for bytes + 1 units always receives the whole text.
  if (whole.result >= 0 && size >= static_cast<int>(n)) FUZZ_CHECK(r == whole.result);

  // WideCharToMultiByte: limit = min(size as unsigned, units + 1) bytes.
  size_t wn = wide.size() + 1;
  size_t wlimit = static_cast<unsigned>(size) < wn ? static_cast<unsigned>(size) : wn;
  std::vector<char> dest(wn + 8, kGuard);
  r = WideCharToMultiByte(0, 0, wide.c_str(), -1, dest.data(), size, nullptr, nullptr);
  ref = CLibraryToMultiByte(wide, wlimit);
  FUZZ_CHECK(r == ref.result);
  for (size_t i = 0; i < ref.units.size(); ++i)
    FUZZ_CHECK(static_cast<unsigned char>(dest[i]) == ref.units[i]);
  for (size_t i = wlimit; i < dest.size(); ++i) FUZZ_CHECK(dest[i] == kGuard);
  whole = CLibraryToMultiByte(wide, static_cast<size_t>(-1));
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
    CheckCharacterRules(bytes);
    CheckCountedToWide(bytes, capacity);
    CheckCountedToWide(bytes, static_cast<int>(bytes.size()));  // the documented room
    std::string zt = bytes.substr(0, bytes.find('\0'));
    const auto* text = reinterpret_cast<const unsigned char*>(zt.c_str());
    Malloced<wchar_t> w(make_unicode_string(text));
    Malloced<wchar_t> want(cwbase_internal::ReferenceMakeUnicodeString(text));
    FUZZ_CHECK(w && want);
    FUZZ_CHECK(std::wcscmp(w.get(), want.get()) == 0);
    CheckLocalePair(zt, std::wstring(), capacity);
  } else {  // wide in: counted converter, make_utf8_string, locale pair
    std::wstring wide = ConsumeWide(in, 300, L"a\x7F\x80\x7FF\x800\xD800\xFFFF\x10000\x10FFFF");
    if (mode == 3 && !wide.empty()) wide[wide.size() / 2] = static_cast<wchar_t>(0x10000);
    CheckCountedToUtf8(wide, capacity);
    CheckCountedToUtf8(wide, static_cast<int>(4 * wide.size()));
    Malloced<unsigned char> u(make_utf8_string(wide.c_str()));
    Malloced<unsigned char> want(cwbase_internal::ReferenceMakeUtf8String(wide.c_str()));
    FUZZ_CHECK(u && want);
    FUZZ_CHECK(std::strcmp(reinterpret_cast<char*>(u.get()), reinterpret_cast<char*>(want.get())) ==
               0);
    // Back again: the low 16 bits of every unit up to the first zero one.
    Malloced<wchar_t> back(make_unicode_string(u.get()));
    FUZZ_CHECK(back != nullptr);
    size_t i = 0;
    for (; i < wide.size() && (static_cast<unsigned>(wide[i]) & 0xFFFF); ++i)
      FUZZ_CHECK(static_cast<unsigned>(back[i]) == (static_cast<unsigned>(wide[i]) & 0xFFFF));
    FUZZ_CHECK(back[i] == 0);
    CheckLocalePair(std::string(), wide, capacity);
  }
  return 0;
}
