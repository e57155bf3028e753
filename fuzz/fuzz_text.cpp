// Fuzzing of the text helpers with inputs, sizes and modes taken from the
// fuzz data: the date parsers and printers, versions, numbers, MaskText,
// GetCmdLineParam, the trims, memmem, _stprintfbytes, ZeroIt and MakeFullPath.
// Each result is compared with a short transcription of the documented rule,
// and every destination has guard units behind the room it was given, which
// must come back untouched.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "cwbase/platform/filehandle.h"
#include "cwbase/text/dates.h"
#include "cwbase/text/numbers.h"
#include "cwbase/text/strhelp.h"
#include "fuzz_util.h"

namespace {

constexpr wchar_t kGuardW = static_cast<wchar_t>(0x5A5A5A5A);
constexpr char kGuard = 0x5A;

// A wide text: mostly from the alphabet, sometimes a long run of one unit so
// that the fixed limits (63, 127, 1023 units) are crossed.
std::wstring Text(FuzzedDataProvider& in, const wchar_t* alphabet, size_t maxUnits = 80) {
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
    size_t n = in.ConsumeIntegralInRange<size_t>(0, 1100);
    wchar_t c = alphabet[in.ConsumeIntegralInRange<size_t>(0, std::wcslen(alphabet) - 1)];
    return std::wstring(n, c) + ConsumeWide(in, 8, alphabet);
  }
  return ConsumeWide(in, maxUnits, alphabet);
}

// ---- dates ----

std::vector<long> Tokens(const std::wstring& text, size_t keep, const wchar_t* seps) {
  std::wstring s = text.substr(0, keep);
  std::vector<long> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && std::wcschr(seps, s[i])) ++i;
    if (i >= s.size()) break;
    size_t j = i;
    while (j < s.size() && !std::wcschr(seps, s[j])) ++j;
    std::wstring tok = s.substr(i, j - i);
    out.push_back(std::wcstol(tok.c_str(), nullptr, 10));
    i = j;
  }
  return out;
}

void CheckDates(FuzzedDataProvider& in) {
  std::wstring text = Text(in, L"0123456789.,:/ -+\t");
  typedef void (*Parser)(const wchar_t*, SYSTEMTIME*);
  struct {
    Parser parse;
    const wchar_t* seps;
    int fields;
  } parsers[] = {{DateFromStringDDMMYYYY_HHMMSSMS, L"., :/", 7},
                 {DateFromStringDDMMYYYY_HHMM, L"., :/", 5},
                 {DateFromStringDDMMYYYY, L"./", 3}};
  for (auto& p : parsers) {
    SYSTEMTIME t;
    std::memset(&t, 0xAB, sizeof t);
    p.parse(nullptr, &t);  // null text: the record stays as it was
    FUZZ_CHECK(t.wYear == 0xABAB && t.wMilliseconds == 0xABAB);
    p.parse(text.c_str(), nullptr);
    p.parse(text.c_str(), &t);
    std::vector<long> tok = Tokens(text, 63, p.seps);
    unsigned short want[7] = {};
    for (int i = 0; i < p.fields && i < static_cast<int>(tok.size()); ++i)
      want[i] = static_cast<unsigned short>(tok[static_cast<size_t>(i)]);
    FUZZ_CHECK(t.wDay == want[0] && t.wMonth == want[1] && t.wYear == want[2]);
    FUZZ_CHECK(t.wHour == want[3] && t.wMinute == want[4]);
    FUZZ_CHECK(t.wSecond == want[5] && t.wMilliseconds == want[6]);
    FUZZ_CHECK(t.wDayOfWeek == 0);
  }

  // Printing: at most 42 units and a terminator, read back field for field.
  SYSTEMTIME t;
  t.wYear = in.ConsumeIntegral<unsigned short>();
  t.wMonth = in.ConsumeIntegral<unsigned short>();
  t.wDayOfWeek = in.ConsumeIntegral<unsigned short>();
  t.wDay = in.ConsumeIntegral<unsigned short>();
  t.wHour = in.ConsumeIntegral<unsigned short>();
  t.wMinute = in.ConsumeIntegral<unsigned short>();
  t.wSecond = in.ConsumeIntegral<unsigned short>();
  t.wMilliseconds = in.ConsumeIntegral<unsigned short>();
  typedef void (*Printer)(SYSTEMTIME*, wchar_t*);
  Printer printers[] = {DateToStringDDMMYYYY_HHMMSSMS, DateToStringDDMMYYYY_HHMM,
                        DateToStringDDMMYYYY};
  for (int k = 0; k < 3; ++k) {
    wchar_t buf[48];
    for (wchar_t& c : buf) c = kGuardW;
    printers[k](&t, buf);
    printers[k](nullptr, buf);
    printers[k](&t, nullptr);
    size_t len = std::wcslen(buf);
    FUZZ_CHECK(len <= 42);
    for (size_t i = len + 1; i < 48; ++i) FUZZ_CHECK(buf[i] == kGuardW);
    wchar_t ref[64];
    if (k == 0)
      std::swprintf(ref, 64, L"%02d.%02d.%04d, %02d:%02d:%02d:%03d", t.wDay, t.wMonth, t.wYear,
                    t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    if (k == 1)
      std::swprintf(ref, 64, L"%02d.%02d.%04d, %02d:%02d", t.wDay, t.wMonth, t.wYear, t.wHour,
                    t.wMinute);
    if (k == 2) std::swprintf(ref, 64, L"%02d.%02d.%04d", t.wDay, t.wMonth, t.wYear);
    FUZZ_CHECK(std::wcscmp(buf, ref) == 0);
    SYSTEMTIME back;
    parsers[k].parse(buf, &back);
    FUZZ_CHECK(back.wDay == t.wDay && back.wMonth == t.wMonth && back.wYear == t.wYear);
    FUZZ_CHECK(back.wHour == (k < 2 ? t.wHour : 0) && back.wMinute == (k < 2 ? t.wMinute : 0));
    FUZZ_CHECK(back.wSecond == (k == 0 ? t.wSecond : 0));
    FUZZ_CHECK(back.wMilliseconds == (k == 0 ? t.wMilliseconds : 0));
  }
}

// ---- numbers and versions ----

void CheckNumbers(FuzzedDataProvider& in) {
  std::wstring text = Text(in, L"0123456789.-+eE xabc\t", 60);
  // Versions: the first 127 units, '.'-separated, each token cut to 16 bits.
  std::vector<long> tok = Tokens(text, 127, L".");
  unsigned long long want = 0;
  for (size_t i = 0; i < tok.size() && i < 4; ++i)
    want |= (static_cast<unsigned long long>(tok[i]) & 0xFFFF) << (48 - 16 * i);
  FUZZ_CHECK(static_cast<unsigned long long>(GetVersionFromString(text.c_str())) == want);
  FUZZ_CHECK(GetVersionFromString(nullptr) == 0);

  long long v = in.ConsumeIntegral<long long>();
  wchar_t vbuf[32];
  for (wchar_t& c : vbuf) c = kGuardW;
  VersionToString(vbuf, v);
  VersionToString(nullptr, v);
  size_t vlen = std::wcslen(vbuf);
  FUZZ_CHECK(vlen <= 23);
  for (size_t i = vlen + 1; i < 32; ++i) FUZZ_CHECK(vbuf[i] == kGuardW);
  FUZZ_CHECK(GetVersionFromString(vbuf) == v);

  // StrToFloat is wcstod.
  double d = StrToFloat(text.c_str());
  double ref = std::wcstod(text.c_str(), nullptr);
  FUZZ_CHECK((std::isnan(d) && std::isnan(ref)) || d == ref);
  FUZZ_CHECK(StrToFloat(nullptr) == 0.0);

  // FloatToStr: the whole "%.<n>f" text or, when it does not fit with its
  // terminator, the empty string; nothing past destSize. Decimals and sizes
  // reach past the formatting helper's 1023 units.
  double value;
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      value = in.ConsumeFloatingPoint<double>();
      break;
    case 1:
      value = static_cast<double>(in.ConsumeIntegral<int>()) / 64.0;
      break;
    default:
      value = d;
  }
  int decimals = in.ConsumeIntegralInRange<int>(-5, 1200);
  int destSize = in.ConsumeIntegralInRange<int>(-2, 1600);
  std::vector<wchar_t> dest(static_cast<size_t>(destSize > 0 ? destSize : 0) + 4, kGuardW);
  FUZZ_CHECK(FloatToStr(value, decimals, dest.data(), destSize) == 0);
  FUZZ_CHECK(FloatToStr(value, decimals, nullptr, destSize) == 0);
  if (destSize <= 0) {
    FUZZ_CHECK(dest[0] == kGuardW);
  } else {
    static wchar_t full[8192];
    int n = std::swprintf(full, 8192, L"%.*f", decimals < 0 ? 0 : decimals, value);
    bool fits = n >= 0 && n < destSize;
    if (fits) {
      FUZZ_CHECK(std::wcscmp(dest.data(), full) == 0);
    } else {
      FUZZ_CHECK(dest[0] == 0);
    }
    for (size_t i = static_cast<size_t>(destSize); i < dest.size(); ++i)
      FUZZ_CHECK(dest[i] == kGuardW);
  }

  // Fixed-point trigonometry: degrees / 180 * 3.14159265, scaled by
  // 1 << (bits mod 32) (-2^31 for 31), truncated, saturated, NaN gives 0.
  double deg = in.ConsumeBool() ? in.ConsumeFloatingPoint<double>()
                                : in.ConsumeFloatingPointInRange<double>(-400.0, 400.0);
  int bits = in.ConsumeIntegral<int>();
  auto scale = [&](double fv) -> int {
    int shift = bits & 31;
    double s = shift == 31 ? -2147483648.0 : static_cast<double>(1 << shift);
    double p = std::trunc(fv * s);
    if (std::isnan(p)) return 0;
    if (p >= 2147483647.0) return INT_MAX;
    if (p <= -2147483648.0) return INT_MIN;
    return static_cast<int>(p);
  };
  double rad = deg / 180 * 3.14159265;
  FUZZ_CHECK(CalculateCosinusPrecized(deg, bits) == scale(std::cos(rad)));
  FUZZ_CHECK(CalculateSinusPrecized(deg, bits) == scale(std::sin(rad)));
  bool window = std::fabs(deg) < 46.0;  // truncated toward zero: -45..45
  FUZZ_CHECK(CalculateTangensPrecized(deg, bits) == (window ? scale(std::tan(rad)) : 0));
}

// ---- MaskText ----

std::wstring ExpectedMask(const std::wstring& text, const std::wstring& mask, unsigned long mode) {
  std::wstring out;
  if (mode == 0 || mode == 3) {
    size_t t = 0;
    for (size_t m = 0; m < mask.size() && t < text.size(); ++m) {
      out.push_back(mask[m] == L'#' ? text[t++] : mask[m]);
      if (mask[m] != L'#' && text[t] == mask[m]) ++t;
    }
    return out;
  }
  if (mode != 1) return out;
  size_t mdp = mask.find(L'.');
  if (mdp == std::wstring::npos) mdp = mask.size();
  size_t tdp = text.find(L'.');
  if (tdp == std::wstring::npos) tdp = text.size();
  std::vector<wchar_t> d(mask.begin(), mask.end());
  d.push_back(0);
  if (mdp < mask.size()) {
    bool ended = false;
    for (size_t k = mdp; k < mask.size(); ++k) {
      size_t j = tdp + (k - mdp);
      if (j >= text.size()) ended = true;
      d[k] = ended ? 0 : text[j];
    }
  }
  long t = static_cast<long>(tdp) - 1;
  for (long m = static_cast<long>(mdp) - 1; m >= 0; --m) {
    if (t < 0) {
      d.erase(d.begin() + m);
    } else if (d[static_cast<size_t>(m)] == L'#') {
      d[static_cast<size_t>(m)] = text[static_cast<size_t>(t--)];
    } else if (text[static_cast<size_t>(t)] == d[static_cast<size_t>(m)]) {
      --t;
    }
  }
  return std::wstring(d.data());
}

void CheckMask(FuzzedDataProvider& in) {
  std::wstring text = ConsumeWide(in, 40, L"0123456789.-,()# ");
  std::wstring mask = ConsumeWide(in, 40, L"#.,-() ##");
  bool nullMask = in.ConsumeIntegralInRange<int>(0, 15) == 0;
  unsigned long mode = in.ConsumeIntegralInRange<unsigned long>(0, 4);
  if (in.ConsumeIntegralInRange<int>(0, 31) == 0) mode = in.ConsumeIntegral<unsigned long>();
  unsigned long capacity = in.ConsumeIntegralInRange<unsigned long>(0, mask.size() + 4);
  if (in.ConsumeBool()) capacity = mask.size() + 1;
  std::vector<wchar_t> dest(capacity + 8, kGuardW);
  MaskText(dest.data(), capacity, text.c_str(), nullMask ? nullptr : mask.c_str(), mode);
  MaskText(dest.data() + capacity + 4, 4, nullptr, mask.c_str(), mode);  // null text: nothing
  for (size_t i = capacity; i < dest.size(); ++i) FUZZ_CHECK(dest[i] == kGuardW);
  if (capacity == 0) return;
  std::wstring want;
  if (nullMask || mask.empty()) {
    // wcsncpy: the text cut at the capacity, zero-padded.
    want = text.substr(0, capacity);
  } else {
    want = ExpectedMask(text, mask, mode);
    FUZZ_CHECK(want.size() <= mask.size());
    if (want.size() > capacity - 1) want.resize(capacity - 1);
  }
  for (size_t i = 0; i < capacity; ++i) FUZZ_CHECK(dest[i] == (i < want.size() ? want[i] : 0));
}

// ---- GetCmdLineParam, trims, bytes ----

void CheckCmdLine(FuzzedDataProvider& in) {
  std::wstring cmd = Text(in, L"ab-/:=\" x", 60);
  std::wstring name = ConsumeWide(in, 4, L"ab-/:=\"");
  long capacity = in.ConsumeIntegralInRange<long>(-3, 80);
  if (in.ConsumeIntegralInRange<int>(0, 15) == 0) capacity = LONG_MIN;
  size_t room = capacity > 0 ? static_cast<size_t>(capacity) : 0;
  std::vector<wchar_t> dest(room + 4, kGuardW);
  GetCmdLineParam(cmd.c_str(), name.c_str(), dest.data(), capacity);
  GetCmdLineParam(nullptr, name.c_str(), dest.data(), capacity);
  GetCmdLineParam(cmd.c_str(), nullptr, dest.data(), capacity);
  std::wstring value;
  size_t at = cmd.find(name);
  if (capacity > 0 && at != std::wstring::npos) {
    size_t v = at + name.size();
    wchar_t close = L' ';
    if (v < cmd.size() && cmd[v] == L'"') close = L'"', ++v;
    size_t end = cmd.find(close, v);
    value = cmd.substr(v, end == std::wstring::npos ? std::wstring::npos : end - v);
    if (value.size() > room) value.resize(room);
  }
  for (size_t i = 0; i < dest.size(); ++i)
    FUZZ_CHECK(dest[i] == (i < value.size() ? value[i] : kGuardW));
}

template <typename Char, typename IsTrim>
void CheckTrimmed(const std::basic_string<Char>& before, const std::vector<Char>& buf,
                  IsTrim isTrim, Char guard) {
  size_t b = 0, e = before.size();
  while (b < e && isTrim(before[b])) ++b;
  while (e > b && isTrim(before[e - 1])) --e;
  for (size_t i = 0; i <= before.size(); ++i)
    FUZZ_CHECK(buf[i] == (i < e - b ? before[b + i] : Char(0)));
  for (size_t i = before.size() + 1; i < buf.size(); ++i) FUZZ_CHECK(buf[i] == guard);
}

void CheckTrims(FuzzedDataProvider& in) {
  std::wstring s = ConsumeWide(in, 40, L" \t-ab");
  wchar_t trim = L" \t-a\0"[in.ConsumeIntegralInRange<int>(0, 4)];
  std::wstring set = ConsumeWide(in, 4, L" \t-");
  std::vector<wchar_t> buf(s.begin(), s.end());
  buf.push_back(0);
  buf.insert(buf.end(), 4, kGuardW);
  _tcstrim(buf.data(), trim);
  CheckTrimmed<wchar_t>(
      s, buf, [&](wchar_t c) { return c == trim; }, kGuardW);

  buf.assign(s.begin(), s.end());
  buf.push_back(0);
  buf.insert(buf.end(), 4, kGuardW);
  _tcstrimmulti(buf.data(), set.c_str());
  _tcstrimmulti(buf.data(), nullptr);
  CheckTrimmed<wchar_t>(
      s, buf, [&](wchar_t c) { return set.find(c) != std::wstring::npos; }, kGuardW);

  std::string n;
  for (wchar_t c : s) n.push_back(static_cast<char>(c) ? static_cast<char>(c) : 'z');
  std::vector<char> nbuf(n.begin(), n.end());
  nbuf.push_back(0);
  nbuf.insert(nbuf.end(), 4, kGuard);
  strtrim(nbuf.data(), static_cast<char>(trim));
  CheckTrimmed<char>(
      n, nbuf, [&](char c) { return c == static_cast<char>(trim); }, kGuard);
  strtrim(nullptr, ' ');
  _tcstrim(nullptr, L' ');
}

void CheckBytes(FuzzedDataProvider& in) {
  std::vector<unsigned char> hay =
      in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<size_t>(0, 64));
  std::vector<unsigned char> pat =
      in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<size_t>(0, 4));
  int hayLen = static_cast<int>(hay.size()), patLen = static_cast<int>(pat.size());
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) hayLen = -in.ConsumeIntegralInRange<int>(1, 100);
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) patLen = -in.ConsumeIntegralInRange<int>(1, 100);
  hay.push_back(0);  // data() never null
  pat.push_back(0);
  unsigned char* found = memmem(hay.data(), pat.data(), hayLen, patLen);
  unsigned char* want = nullptr;
  if (hayLen >= 0 && patLen >= 0)
    for (int p = 0; p + patLen <= hayLen; ++p)
      if (std::memcmp(hay.data() + p, pat.data(), static_cast<size_t>(patLen)) == 0) {
        want = hay.data() + p;
        break;
      }
  FUZZ_CHECK(found == want);

  int count = in.ConsumeIntegralInRange<int>(-3, static_cast<int>(hay.size()));
  std::vector<wchar_t> hex(2 * hay.size() + 4, kGuardW);
  _stprintfbytes(hex.data(), hay.data(), count);
  for (size_t i = 0; i < hex.size(); ++i) {
    if (count > 0 && i < 2 * static_cast<size_t>(count)) {
      unsigned nib = i % 2 ? hay[i / 2] & 15 : hay[i / 2] >> 4;
      FUZZ_CHECK(hex[i] == L"0123456789ABCDEF"[nib]);
    } else {
      FUZZ_CHECK(hex[i] == kGuardW);
    }
  }

  std::vector<char> z(hay.size() + 4, kGuard);
  int zn = in.ConsumeIntegralInRange<int>(-3, static_cast<int>(hay.size()));
  ZeroIt(z.data(), zn);
  ZeroIt(nullptr, zn);
  for (size_t i = 0; i < z.size(); ++i)
    FUZZ_CHECK(z[i] == (static_cast<long>(i) < zn ? 0 : kGuard));
}

// ---- MakeFullPath ----

void CheckFullPath(FuzzedDataProvider& in) {
  auto part = [&](const wchar_t* alphabet) -> std::wstring { return Text(in, alphabet, 30); };
  std::wstring folder = part(L"ab\\/."), name = part(L"ab\\."), ext = part(L"xy.");
  bool nullFolder = in.ConsumeIntegralInRange<int>(0, 7) == 0;
  bool nullName = in.ConsumeIntegralInRange<int>(0, 15) == 0;
  bool nullExt = in.ConsumeIntegralInRange<int>(0, 7) == 0;
  int size = in.ConsumeIntegralInRange<int>(-2, 1200);
  size_t room = size > 0 ? static_cast<size_t>(size) : 0;
  std::vector<wchar_t> out(room + 4, kGuardW);
  int r = MakeFullPath(out.data(), size, nullFolder ? nullptr : folder.c_str(),
                       nullName ? nullptr : name.c_str(), nullExt ? nullptr : ext.c_str());
  FUZZ_CHECK(MakeFullPath(nullptr, size, folder.c_str(), name.c_str(), ext.c_str()) == 0);

  std::wstring want;
  bool ok = size >= 1 && !nullName && !name.empty();
  if (ok) {
    if (nullFolder || folder.empty())
      want = name;
    else if (folder.back() == L'\\')
      want = folder + name;
    else
      want = folder + L"\\" + name;
    if (want.size() > 1023) ok = false;
    if (!nullExt && !ext.empty()) want += L"." + ext;
    if (want.size() + 1 > room) ok = false;
  }
  FUZZ_CHECK(r == (ok ? 1 : 0));
  for (size_t i = 0; i < out.size(); ++i) {
    if (ok && i < want.size())
      FUZZ_CHECK(out[i] == want[i]);
    else if (ok && i == want.size())
      FUZZ_CHECK(out[i] == 0);
    else
      FUZZ_CHECK(out[i] == kGuardW);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange<int>(0, 6)) {
    case 0:
      CheckDates(in);
      break;
    case 1:
      CheckNumbers(in);
      break;
    case 2:
      CheckMask(in);
      break;
    case 3:
      CheckCmdLine(in);
      break;
    case 4:
      CheckTrims(in);
      break;
    case 5:
      CheckBytes(in);
      break;
    default:
      CheckFullPath(in);
      break;
  }
  return 0;
}
