// Encoding detection and decoding for the standard XML reader. UTF-8 is
// decoded by runs of ASCII (text/internal/ascii_runs.h), sixteen bytes per
// vector step where the text allows, and the strict XML rules of
// text/internal/utf8_codec.h for every other character; the other encodings
// a character at a time; names the reader does not know go through iconv.
#include "cwbase/xml/internal/decode.h"

#include <iconv.h>
#include <strings.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "cwbase/text/internal/ascii_runs.h"
#include "cwbase/text/internal/utf8_codec.h"
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

bool Fail(XmlDecodeFault* fault, int code, size_t byte, size_t unit) {
  fault->m_Code = code;
  fault->m_Byte = byte;
  fault->m_Unit = unit;
  return false;
}

bool DecodeUtf8(const XmlSource& s, wchar_t* dest, size_t* units, XmlDecodeFault* fault) {
  const unsigned char* p = s.m_pData + s.m_Start;
  const unsigned char* end = s.m_pData + s.m_Length;
  wchar_t* out = dest;
  while (p < end) {
    // The ASCII that needs no look, widened a block at a time: the block that
    // holds the first byte that needs one is widened whole, and the units
    // past that byte are written over next.
    const size_t run =
        WidenAsciiRun<AsciiStop::kNonAsciiOrControl, true>(p, static_cast<size_t>(end - p), out);
    p += run, out += run;
    if (p == end) break;
    uint32_t c;
    const size_t size = DecodeUtf8Char<Utf8Rules::kXml>(p, static_cast<size_t>(end - p), &c);
    if (size == 0 || !XmlIsChar(c))
      return Fail(fault, CWXML_ERROR_ENCODING, static_cast<size_t>(p - s.m_pData),
                  static_cast<size_t>(out - dest));
    *out++ = static_cast<wchar_t>(c);
    p += size;
  }
  *out = 0;
  *units = static_cast<size_t>(out - dest);
  return true;
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
    if (s.m_Length - at < step)
      return Fail(fault, CWXML_ERROR_ENCODING, at, static_cast<size_t>(out - dest));
    uint32_t c = unit(at);
    size_t size = step;
    if (!wide32 && c >= 0xD800 && c <= 0xDBFF && s.m_Length - at >= 4) {
      const uint32_t low = unit(at + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        size = 4;
      }
    }
    if (!XmlIsChar(c))
      return Fail(fault, CWXML_ERROR_ENCODING, at, static_cast<size_t>(out - dest));
    *out++ = static_cast<wchar_t>(c);
    at += size;
  }
  *out = 0;
  *units = static_cast<size_t>(out - dest);
  return true;
}

// ISO-8859-1, US-ASCII and windows-1252: one byte per character.
bool DecodeByte(const XmlSource& s, wchar_t* dest, size_t* units, XmlDecodeFault* fault) {
  wchar_t* out = dest;
  for (size_t at = s.m_Start; at < s.m_Length; ++at) {
    uint32_t c = s.m_pData[at];
    if (c >= 0x80 && s.m_Encoding == XmlEncoding::kAscii) c = 0;
    if (c >= 0x80 && c < 0xA0 && s.m_Encoding == XmlEncoding::kWindows1252)
      c = kWindows1252[c - 0x80];
    if (!XmlIsChar(c))
      return Fail(fault, CWXML_ERROR_ENCODING, at, static_cast<size_t>(out - dest));
    *out++ = static_cast<wchar_t>(c);
  }
  *out = 0;
  *units = static_cast<size_t>(out - dest);
  return true;
}

// Every other encoding, through iconv into wchar_t.
bool DecodeIconv(const XmlSource& s, wchar_t* dest, size_t* units, XmlDecodeFault* fault) {
  iconv_t cd = iconv_open("WCHAR_T", s.m_Charset);
  if (cd == reinterpret_cast<iconv_t>(-1))
    return Fail(fault, CWXML_ERROR_UNSUPPORTED_ENCODING, 0, 0);
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
                static_cast<size_t>(reinterpret_cast<unsigned char*>(in) - s.m_pData), count);
  for (size_t i = 0; i < count; ++i)
    if (!XmlIsChar(static_cast<uint32_t>(dest[i])))
      return Fail(fault, CWXML_ERROR_ENCODING, XmlByteOffset(s, i), i);
  dest[count] = 0;
  *units = count;
  return true;
}

}  // namespace

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

bool XmlDecode(const XmlSource& source, wchar_t* dest, size_t* units, XmlDecodeFault* fault) {
  switch (source.m_Encoding) {
    case XmlEncoding::kUtf8:
      return DecodeUtf8(source, dest, units, fault);
    case XmlEncoding::kUtf16Le:
    case XmlEncoding::kUtf16Be:
    case XmlEncoding::kUtf32Le:
    case XmlEncoding::kUtf32Be:
      return DecodeWide(source, dest, units, fault);
    case XmlEncoding::kIconv:
      return DecodeIconv(source, dest, units, fault);
    default:
      return DecodeByte(source, dest, units, fault);
  }
}

size_t XmlByteOffset(const XmlSource& s, size_t unit) {
  size_t at = s.m_Start;
  switch (s.m_Encoding) {
    case XmlEncoding::kUtf8:
      for (; unit > 0 && at < s.m_Length; --unit) {
        uint32_t c;
        const size_t size = DecodeUtf8Char<Utf8Rules::kXml>(s.m_pData + at, s.m_Length - at, &c);
        at += size ? size : 1;  // a byte that starts no character counts as one
      }
      break;
    case XmlEncoding::kUtf16Le:
    case XmlEncoding::kUtf16Be:
      for (; unit > 0 && at + 1 < s.m_Length; --unit) {
        const unsigned high = s.m_pData[at + (s.m_Encoding == XmlEncoding::kUtf16Le ? 1 : 0)];
        at += high >= 0xD8 && high <= 0xDB ? 4 : 2;
      }
      break;
    case XmlEncoding::kUtf32Le:
    case XmlEncoding::kUtf32Be:
      at += 4 * unit;
      break;
    case XmlEncoding::kIconv: {
      // One character per call: room for one unit only.
      iconv_t cd = iconv_open("WCHAR_T", s.m_Charset);
      if (cd == reinterpret_cast<iconv_t>(-1)) return s.m_Start;
      char* in = const_cast<char*>(reinterpret_cast<const char*>(s.m_pData + s.m_Start));
      size_t inLeft = s.m_Length - s.m_Start;
      for (; unit > 0 && inLeft > 0; --unit) {
        wchar_t one;
        char* out = reinterpret_cast<char*>(&one);
        size_t outLeft = sizeof one;
        if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) && errno != E2BIG)
          break;
      }
      iconv_close(cd);
      at = static_cast<size_t>(reinterpret_cast<unsigned char*>(in) - s.m_pData);
      break;
    }
    default:
      at += unit;
  }
  return at < s.m_Length ? at : s.m_Length;
}

}  // namespace cwbase_internal
