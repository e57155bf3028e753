// Encoding detection and decoding for the standard XML reader. UTF-8 is
// decoded by the XML windows of the vector level where it has them
// (text/internal/utf8_kernels.h), runs of ASCII sixteen bytes per vector
// step where the text allows (text/internal/ascii_runs.h), and the strict
// XML rules of text/internal/utf8_codec.h for every other character; the
// other encodings a character at a time; names the reader does not know go
// through iconv.
#include "cwbase/xml/internal/decode.h"

#include <iconv.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "cwbase/text/internal/ascii_runs.h"
#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/text/internal/utf8_kernels.h"
#include "cwbase/xml/internal/declaration.h"
#include "cwbase/xml/internal/xmlchars.h"
#include "cwbase/xml/xmlerror.h"

namespace cwbase_internal {
namespace {

// windows-1252 at 0x80-0x9F; 0 where the code page defines nothing.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool Equals(const char* name, const char* const* names) {
  for (; *names; ++names)
    if (strcasecmp(name, *names) == 0) return true;
  return false;
}

// Names of one encoding family (ASCII case ignored).
const char* const kUtf8Names[] = {"UTF-8", "UTF8", nullptr};
const char* const kUtf16Names[] = {"UTF-16", "UTF16", "ISO-10646-UCS-2", "UCS-2", "UCS2", nullptr};
const char* const kUtf32Names[] = {"UTF-32", "UTF32", "ISO-10646-UCS-4", "UCS-4", "UCS4", nullptr};

bool IsMultiUnitName(const char* name) {
  return Equals(name, kUtf16Names) || Equals(name, kUtf32Names) ||
         strncasecmp(name, "UTF-16", 6) == 0 || strncasecmp(name, "UTF-32", 6) == 0 ||
         strncasecmp(name, "UCS-", 4) == 0;
}

// Whether `name` may be declared in text of encoding `e` found by its mark
// or first bytes (`marked`: a byte-order mark was there).
bool Agrees(const char* name, XmlEncoding e, bool marked) {
  switch (e) {
    case XmlEncoding::kUtf16Le:
      return Equals(name, kUtf16Names) || strcasecmp(name, "UTF-16LE") == 0;
    case XmlEncoding::kUtf16Be:
      return Equals(name, kUtf16Names) || strcasecmp(name, "UTF-16BE") == 0;
    case XmlEncoding::kUtf32Le:
      return Equals(name, kUtf32Names) || strcasecmp(name, "UTF-32LE") == 0;
    case XmlEncoding::kUtf32Be:
      return Equals(name, kUtf32Names) || strcasecmp(name, "UTF-32BE") == 0;
    default:
      return marked ? Equals(name, kUtf8Names) : !IsMultiUnitName(name);
  }
}

bool Fail(XmlDecodeFault* fault, int code, size_t byte) {
  fault->m_Code = code;
  fault->m_Byte = byte;
  return false;
}

// UTF-16 and UTF-32 in either byte order, surrogate pairs joined.
bool DecodeWide(const XmlSource& s, wchar_t* dest, size_t* units, XmlDecodeFault* fault) {
  const bool wide32 =
      s.m_Encoding == XmlEncoding::kUtf32Le || s.m_Encoding == XmlEncoding::kUtf32Be;
  const bool big = s.m_Encoding == XmlEncoding::kUtf16Be || s.m_Encoding == XmlEncoding::kUtf32Be;
  const size_t step = wide32 ? 4 : 2;
  const unsigned char* d = s.m_pData;
  auto unit = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < step; ++i) v |= uint32_t{d[at + i]} << (8 * (big ? step - 1 - i : i));
    return v;
  };
  wchar_t* out = dest;
  size_t at = s.m_Start;
  while (at < s.m_Length) {
    if (s.m_Length - at < step) return Fail(fault, CWXML_ERROR_ENCODING, at);
    uint32_t c = unit(at);
    size_t size = step;
    if (!wide32 && c >= 0xD800 && c <= 0xDBFF && s.m_Length - at >= 4) {
      const uint32_t low = unit(at + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        size = 4;
      }
    }
    if (!XmlIsChar(c)) return Fail(fault, CWXML_ERROR_ENCODING, at);
    if (c == '\r') {
      c = '\n';
      if (s.m_Length - at >= 2 * step && unit(at + step) == '\n') size += step;
    }
    *out++ = static_cast<wchar_t>(c);
    at += size;
  }
  *out = 0;
  *units = static_cast<size_t>(out - dest);
  return true;
}

// ISO-8859-1, US-ASCII and windows-1252: one byte per character.
bool DecodeByte(const XmlSource& s, wchar_t* dest, size_t* units, XmlDecodeFault* fault,
                XmlNarrowText* narrow) {
  if (narrow) narrow->m_pBytes = s.m_pData + s.m_Start;
  wchar_t* out = dest;
  for (size_t at = s.m_Start; at < s.m_Length; ++at) {
    uint32_t c = s.m_pData[at];
    if (c >= 0x80 && s.m_Encoding == XmlEncoding::kAscii) c = 0;
    if (c >= 0x80 && c < 0xA0 && s.m_Encoding == XmlEncoding::kWindows1252)
      c = kWindows1252[c - 0x80];
    if (!XmlIsChar(c)) return Fail(fault, CWXML_ERROR_ENCODING, at);
    if (c == '\r') {
      c = '\n';
      if (at + 1 < s.m_Length && s.m_pData[at + 1] == '\n') ++at;
      if (narrow) narrow->m_pBytes = nullptr;  // the bytes no longer match the units
    }
    *out++ = static_cast<wchar_t>(c);
  }
  *out = 0;
  *units = static_cast<size_t>(out - dest);
  return true;
}

// Every other encoding, through iconv into wchar_t; line ends are then
// normalised in place.
bool DecodeIconv(const XmlSource& s, wchar_t* dest, size_t* units, XmlDecodeFault* fault) {
  iconv_t cd = iconv_open("WCHAR_T", s.m_Charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return Fail(fault, CWXML_ERROR_UNSUPPORTED_ENCODING, 0);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(s.m_pData + s.m_Start));
  size_t inLeft = s.m_Length - s.m_Start;
  char* out = reinterpret_cast<char*>(dest);
  size_t outLeft = (XmlDecodeRoom(s) - 1) * sizeof(wchar_t);
  const size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  const bool done = rc != static_cast<size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  const size_t count = static_cast<size_t>(reinterpret_cast<wchar_t*>(out) - dest);
  if (!done)
    return Fail(fault, CWXML_ERROR_ENCODING,
                static_cast<size_t>(reinterpret_cast<unsigned char*>(in) - s.m_pData));
  size_t w = 0;
  for (size_t i = 0; i < count; ++i, ++w) {
    auto c = static_cast<uint32_t>(dest[i]);  // NOLINT(bugprone-signed-char-misuse): a 32-bit unit
    if (!XmlIsChar(c)) return Fail(fault, CWXML_ERROR_ENCODING, XmlByteOffset(s, w));
    if (c == '\r') {
      c = '\n';
      if (i + 1 < count && dest[i + 1] == '\n') ++i;
    }
    dest[w] = static_cast<wchar_t>(c);
  }
  dest[w] = 0;
  *units = w;
  return true;
}

// The characters of the source, one at a time from its start, as the
// decoder reads them; for the positions of faults.
class Characters {
 public:
  explicit Characters(const XmlSource& s) : m_S(s), m_At(s.m_Start) {
    if (s.m_Encoding != XmlEncoding::kIconv) return;
    m_Cd = iconv_open("WCHAR_T", s.m_Charset);
    m_pIn = const_cast<char*>(reinterpret_cast<const char*>(s.m_pData + s.m_Start));
    m_InLeft = s.m_Length - s.m_Start;
  }
  Characters(const Characters&) = delete;
  Characters& operator=(const Characters&) = delete;
  ~Characters() {
    if (m_Cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_Cd);
  }

  bool Usable() const {
    return m_S.m_Encoding != XmlEncoding::kIconv || m_Cd != reinterpret_cast<iconv_t>(-1);
  }
  size_t At() const { return m_At; }
  // The next character in *c; false at the end. A UTF-8 byte that starts no
  // character counts as one.
  bool Next(uint32_t* c);
  // Takes the next character when it is LF and ends at or before `limit`.
  bool SkipLf(size_t limit) {
    const size_t at = m_At;
    char* in = m_pIn;
    const size_t inLeft = m_InLeft;
    uint32_t next;
    if (Next(&next) && next == '\n' && m_At <= limit) return true;
    m_At = at, m_pIn = in, m_InLeft = inLeft;
    return false;
  }
  // The next unit of the decoded text: a character, CR LF taken as one LF.
  bool NextUnit(uint32_t* c) {
    if (!Next(c)) return false;
    if (*c == '\r') {
      SkipLf(m_S.m_Length);
      *c = '\n';
    }
    return true;
  }

 private:
  const XmlSource& m_S;
  size_t m_At;
  iconv_t m_Cd = reinterpret_cast<iconv_t>(-1);
  char* m_pIn = nullptr;
  size_t m_InLeft = 0;
};

bool Characters::Next(uint32_t* c) {
  const unsigned char* d = m_S.m_pData;
  const size_t left = m_S.m_Length - m_At;
  switch (m_S.m_Encoding) {
    case XmlEncoding::kUtf8: {
      if (left == 0) return false;
      const size_t size = DecodeUtf8Char<Utf8Rules::kXml>(d + m_At, left, c);
      if (size == 0) *c = 0xFFFD;
      m_At += size ? size : 1;
      return true;
    }
    case XmlEncoding::kUtf16Le:
    case XmlEncoding::kUtf16Be: {
      if (left < 2) return false;
      const bool le = m_S.m_Encoding == XmlEncoding::kUtf16Le;
      const unsigned high = d[m_At + (le ? 1 : 0)], low = d[m_At + (le ? 0 : 1)];
      *c = high << 8 | low;
      m_At += high >= 0xD8 && high <= 0xDB ? 4 : 2;
      return true;
    }
    case XmlEncoding::kUtf32Le:
    case XmlEncoding::kUtf32Be: {
      if (left < 4) return false;
      const bool le = m_S.m_Encoding == XmlEncoding::kUtf32Le;
      *c = 0;
      for (size_t i = 0; i < 4; ++i) *c |= uint32_t{d[m_At + i]} << (8 * (le ? i : 3 - i));
      m_At += 4;
      return true;
    }
    case XmlEncoding::kIconv: {
      // One character per call: room for one unit only.
      if (m_InLeft == 0 || m_Cd == reinterpret_cast<iconv_t>(-1)) return false;
      wchar_t one = 0;
      char* out = reinterpret_cast<char*>(&one);
      size_t outLeft = sizeof one;
      if (iconv(m_Cd, &m_pIn, &m_InLeft, &out, &outLeft) == static_cast<size_t>(-1) &&
          errno != E2BIG)
        return false;
      *c = static_cast<uint32_t>(one);  // NOLINT(bugprone-signed-char-misuse): a 32-bit unit
      m_At = static_cast<size_t>(reinterpret_cast<unsigned char*>(m_pIn) - d);
      return true;
    }
    default:
      if (left == 0) return false;
      *c = d[m_At++];
      return true;
  }
}

}  // namespace

XmlUtf8Steps::XmlUtf8Steps(const XmlSource& source, wchar_t* dest, XmlNarrowText* narrow)
    : m_pData(source.m_pData),
      m_pIn(source.m_pData + source.m_Start),
      m_pEnd(source.m_pData + source.m_Length),
      m_pDest(dest),
      m_pNarrow(narrow),
      m_Windows(HasXmlUtf8Windows()) {
  *dest = 0;
  if (narrow) narrow->m_pBytes = m_pIn;
}

// How far the character-at-a-time loop goes where the windows stopped: from
// kRetryFirst bytes, twice as far each time they stop again at once.
constexpr size_t kRetryFirst = 256, kRetryLast = 64 * 1024;

bool XmlUtf8Steps::Step(size_t bytes) {
  const unsigned char* p = m_pIn;
  const unsigned char* stop = static_cast<size_t>(m_pEnd - p) > bytes ? p + bytes : m_pEnd;
  wchar_t* const dest = m_pDest;
  wchar_t* out = dest + m_Units;
  const unsigned char* windows = m_Windows ? p : m_pEnd;  // where windows are tried next
  while (p < stop) {
    // Where the vector level has XML windows: whole windows of characters
    // that need no look (a unit per byte unless some have more bytes or a
    // CR was dropped). Where they stop, the loop below takes the next
    // stretch before they are tried again.
    if (p >= windows) {
      size_t units;
      // The destination has a unit for each byte left and one more.
      const size_t used = DecodeXmlUtf8Windows(p, static_cast<size_t>(stop - p), out,
                                               static_cast<size_t>(m_pEnd - p) + 1, &units);
      if (used != units && m_pNarrow) m_pNarrow->m_pBytes = nullptr;
      p += used, out += units;
      if (p == stop) break;
      // Text the windows rarely take (most of them holding a few characters
      // of more bytes or line ends) is tried less and less often.
      m_Retry =
          used >= kRetryFirst ? kRetryFirst : std::clamp(2 * m_Retry, kRetryFirst, kRetryLast);
      windows = static_cast<size_t>(m_pEnd - p) > m_Retry ? p + m_Retry : m_pEnd;
    }
    // The ASCII that needs no look, widened a block at a time: the block that
    // holds the first byte that needs one is widened whole, and the units
    // past that byte are written over next.
    const size_t run =
        WidenAsciiRun<AsciiStop::kNonAsciiOrControl, true>(p, static_cast<size_t>(stop - p), out);
    p += run, out += run;
    if (p == stop) break;
    uint32_t c = '\n';
    size_t size;
    if (*p == '\r') {
      size = p + 1 < m_pEnd && p[1] == '\n' ? 2 : 1;
    } else {
      size = DecodeUtf8Char<Utf8Rules::kXml>(p, static_cast<size_t>(m_pEnd - p), &c);
      if (size == 0 || !XmlIsChar(c))
        return Fail(&m_Fault, CWXML_ERROR_ENCODING, static_cast<size_t>(p - m_pData));
    }
    if (m_pNarrow) m_pNarrow->m_pBytes = nullptr;  // the bytes no longer match the units
    *out++ = static_cast<wchar_t>(c);
    p += size;
  }
  m_pIn = p;
  *out = 0;
  m_Units = static_cast<size_t>(out - dest);
  return true;
}

XmlSource XmlDetectEncoding(const unsigned char* data, size_t length) {
  XmlSource s;
  s.m_pData = data;
  s.m_Length = length;
  auto starts = [&](const char* bytes, size_t n) {
    return length >= n && std::memcmp(data, bytes, n) == 0;
  };
  struct Mark {
    const char* m_pBytes;
    size_t m_Size, m_Skip;
    XmlEncoding m_Encoding;
  };
  static const Mark kMarks[] = {
      {"\xEF\xBB\xBF", 3, 3, XmlEncoding::kUtf8},    {"\0\0\xFE\xFF", 4, 4, XmlEncoding::kUtf32Be},
      {"\xFF\xFE\0\0", 4, 4, XmlEncoding::kUtf32Le}, {"\xFE\xFF", 2, 2, XmlEncoding::kUtf16Be},
      {"\xFF\xFE", 2, 2, XmlEncoding::kUtf16Le},     {"\0\0\0<", 4, 0, XmlEncoding::kUtf32Be},
      {"<\0\0\0", 4, 0, XmlEncoding::kUtf32Le},      {"\0<\0?", 4, 0, XmlEncoding::kUtf16Be},
      {"<\0?\0", 4, 0, XmlEncoding::kUtf16Le}};
  for (const Mark& m : kMarks) {
    if (starts(m.m_pBytes, m.m_Size)) {
      s.m_Start = m.m_Skip;
      s.m_Encoding = m.m_Encoding;
      break;
    }
  }
  const bool marked = s.m_Start > 0;
  const XmlEncoding family = s.m_Encoding;
  unsigned width = 1;
  if (family == XmlEncoding::kUtf16Le || family == XmlEncoding::kUtf16Be) width = 2;
  if (family == XmlEncoding::kUtf32Le || family == XmlEncoding::kUtf32Be) width = 4;
  const bool big = family == XmlEncoding::kUtf16Be || family == XmlEncoding::kUtf32Be;
  const XmlDeclaration d = XmlReadDeclaration(data + s.m_Start, length - s.m_Start, width, big);
  s.m_DeclarationUnits = d.m_Units;
  s.m_Standalone = d.m_Standalone;
  auto fault = [&](int code, size_t unit) {
    s.m_Code = code;
    s.m_FaultByte = s.m_Start + unit * width;
    XmlDeclarationPosition(data + s.m_Start, width, big, unit, &s.m_FaultLine, &s.m_FaultColumn);
    return s;
  };
  if (d.m_Code) return fault(d.m_Code, d.m_FaultUnit);
  if (!d.m_Encoding[0]) return s;
  if (!Agrees(d.m_Encoding, family, marked)) return fault(CWXML_ERROR_ENCODING, d.m_EncodingUnit);
  if (width > 1) return s;
  std::memcpy(s.m_Charset, d.m_Encoding, sizeof s.m_Charset);
  static const char* const kLatin1[] = {"ISO-8859-1", "ISO8859-1", "ISO_8859-1",
                                        "LATIN1",     "L1",        nullptr};
  static const char* const kAscii[] = {"US-ASCII", "ASCII", "ANSI_X3.4-1968", nullptr};
  static const char* const kWindows[] = {"WINDOWS-1252", "CP1252", nullptr};
  if (Equals(s.m_Charset, kUtf8Names))
    s.m_Encoding = XmlEncoding::kUtf8;
  else if (Equals(s.m_Charset, kLatin1))
    s.m_Encoding = XmlEncoding::kLatin1;
  else if (Equals(s.m_Charset, kAscii))
    s.m_Encoding = XmlEncoding::kAscii;
  else if (Equals(s.m_Charset, kWindows))
    s.m_Encoding = XmlEncoding::kWindows1252;
  else
    s.m_Encoding = XmlEncoding::kIconv;
  return s;
}

bool XmlDecode(const XmlSource& source, wchar_t* dest, size_t* units, XmlDecodeFault* fault,
               XmlNarrowText* narrow) {
  switch (source.m_Encoding) {
    case XmlEncoding::kUtf8: {
      XmlUtf8Steps steps(source, dest, narrow);
      const bool done = steps.Step(source.m_Length);
      *units = steps.Units();
      *fault = steps.Fault();
      return done;
    }
    case XmlEncoding::kUtf16Le:
    case XmlEncoding::kUtf16Be:
    case XmlEncoding::kUtf32Le:
    case XmlEncoding::kUtf32Be:
      return DecodeWide(source, dest, units, fault);
    case XmlEncoding::kIconv:
      return DecodeIconv(source, dest, units, fault);
    default:
      return DecodeByte(source, dest, units, fault, narrow);
  }
}

size_t XmlByteOffset(const XmlSource& s, size_t unit) {
  Characters chars(s);
  uint32_t c;
  for (; unit > 0 && chars.NextUnit(&c); --unit) {
  }
  return chars.At() < s.m_Length ? chars.At() : s.m_Length;
}

void XmlPosition(const XmlSource& s, size_t byte, int* line, int* column) {
  Characters chars(s);
  *line = *column = 0;
  if (!chars.Usable()) return;
  long l = 1, col = 1;
  uint32_t c;
  while (chars.At() < byte && chars.Next(&c)) {
    if (c == '\r' || c == '\n') {
      if (c == '\r') chars.SkipLf(byte);  // CR LF is one line end when the LF lies before the fault
      ++l, col = 1;
    } else {
      ++col;
    }
  }
  *line = static_cast<int>(l < INT_MAX ? l : INT_MAX);
  *column = static_cast<int>(col < INT_MAX ? col : INT_MAX);
}

}  // namespace cwbase_internal
