// The XML reader's entry points: the loads, which put the text into the
// document's buffer and read it there, and Parse on a caller's text.
//
// Every read is exactly the reference reader's (internal/reader_reference.h):
// the same steps, the same zeros written into the text, so the same tree and
// the same buffer. ReadExact below holds the order of the readers: the
// core's one pass (internal/fast_reader.h), which matches end tags as it
// meets them; for a text that is not regular for that, restored, the
// core's indexed pass over the index of every "<" and every end tag
// (internal/index.h); and when the index cannot be allocated, the reference
// reader. Parse on a caller's text, which cannot be restored, is always read
// indexed. What is read:
// - wide text, in the buffer itself, where it is cut;
// - 8-bit text made only of ASCII bytes (and a locale that reads each of them
//   as itself, which is what MultiByteToWideChar would produce), as the
//   caller's bytes, sixteen per vector step, widened into the buffer just
//   ahead of the zeros written there;
// - other 8-bit text in a UTF-8 locale, decoded straight into the buffer by
//   the locale decoder behind MultiByteToWideChar, bounded to the bytes
//   given, and then read as wide text.
// Any other 8-bit text goes through MultiByteToWideChar as described in
// xmlnode.h.
#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "cwbase/text/internal/ascii_runs.h"
#include "cwbase/text/internal/codeset.h"
#include "cwbase/text/internal/multibyte.h"
#include "cwbase/xml/internal/fast_reader.h"
#include "cwbase/xml/internal/index.h"
#include "cwbase/xml/internal/reader_reference.h"
#include "cwbase/xml/internal/tree.h"
#include "cwbase/xml/xmlnode.h"

namespace {

using cwbase_internal::kXmlNone;
using cwbase_internal::XmlFastReader;
using cwbase_internal::XmlIndex;

// The locale reads each byte 1-127 as the character of the same code and
// stays in its initial shift state, so any text of such bytes converts unit
// for unit (which is what MultiByteToWideChar would produce).
bool LocaleKeepsAscii() {
  for (int c = 1; c < 0x80; ++c) {
    char byte = static_cast<char>(c);
    wchar_t unit = 0;
    mbstate_t state{};
    if (mbrtowc(&unit, &byte, 1, &state) != 1 || unit != static_cast<wchar_t>(c) ||
        !mbsinit(&state))
      return false;
  }
  return true;
}

// Texts shorter than this go through MultiByteToWideChar: the locale check
// would cost more than it saves.
constexpr unsigned long kAsciiCheckFrom = 1024;

bool Inside(CWBlock& block, const unsigned char* p) {
  auto lo = reinterpret_cast<uintptr_t>(block.GetBuffer());
  auto at = reinterpret_cast<uintptr_t>(p);
  return lo && at >= lo && at < lo + block.GetCapacity();
}

// Builds the index of `size` units of `text`; false when its memory cannot
// be had. 8-bit text here is ASCII up to its first zero byte, which the
// index always takes.
template <typename Char>
bool BuildIndex(XmlIndex& index, const Char* text, size_t size) {
  try {
    if constexpr (sizeof(Char) == 1)
      index.IndexAscii(text, size);
    else
      index.IndexWide(text, size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// The exact reading of a load's text into `node`: `size` units at `text`,
// whose first zero unit is at `end`, cut in `buffer` (the text itself when
// it is wide; for 8-bit text, which is ASCII up to `end`, the buffer it is
// widened into). Returns 0 when an element was read, else -1, as the loads
// do. The readers, in order:
// 1. The one pass, the fastest, which reads in document order and matches
//    each end tag as it meets it. It declines a text that is not regular
//    (fast_reader_onepass.cpp), which it may have half cut by then.
// 2. After a refusal: the node is emptied and `restore` puts the text back
//    as it was (the pass only wrote zeros into it; 8-bit text is read from
//    the caller's bytes, so it passes nothing to restore and the indexed
//    pass widens it again). Then the indexed pass, which reads any text:
//    its index tells where each element's end tag is, as the reference
//    reader's search would find it.
// 3. When the memory for the index cannot be had: the reference reader,
//    which needs none, on the wide text (8-bit text widened first).
// Each reader makes the same cuts as the reference, so whichever reads the
// text, the tree and the buffer are the same.
template <typename Char, typename Restore>
int ReadExact(CWXMLNode* node, const Char* text, size_t size, size_t end, wchar_t* buffer,
              Restore restore) {
  if (XmlFastReader<Char>(text, size, end).ParseOnePass(node, buffer)) return 0;
  node->CleanUp();
  restore();
  XmlIndex index;
  if (!BuildIndex(index, text, size)) {
    if constexpr (sizeof(Char) == 1) cwbase_internal::WidenAsciiRun(text, end, buffer);
    return cwbase_internal::ReferenceXmlParse(node, buffer) ? 0 : -1;
  }
  return XmlFastReader<Char>(text, size, index).Parse(node, buffer) == kXmlNone ? -1 : 0;
}

// Empties the tree and leaves the buffer as LoadWide leaves it for the 4n + 4
// bytes of n converted units and their zero unit: at least 4n + 8 bytes of
// storage, a data length of 4n + 4, zero from there on. The first 4n + 4
// bytes still hold whatever they held: the caller writes them.
wchar_t* PrepareConverted(CWXMLDocument& doc, unsigned long n) {
  // The buffer grows before the tree is emptied, so an allocation failure
  // leaves both as they were, as on the converting path. Emptying the tree
  // reads none of its borrowed strings, which the growth has moved.
  const unsigned long size = 4 * n + 4;
  if (doc.m_Buffer.GetCapacity() < size + 4) doc.m_Buffer.SetSize(size + 4);
  doc.CleanUp();
  return static_cast<wchar_t*>(doc.m_Buffer.SetSize(size));
}

}  // namespace

wchar_t* CWXMLProp::Init(wchar_t* text) {
  if (!text || !*text) return nullptr;
  wchar_t* eq = wcschr(text, L'=');
  if (!eq) return nullptr;
  *eq = 0;
  m_pName = text;
  wchar_t* value = eq + 1;
  if (*value == L'"') {
    m_pValue = ++value;
    wchar_t* quote = wcschr(value, L'"');
    if (!quote) return nullptr;
    *quote = 0;
    return quote[1] == L' ' ? quote + 2 : quote + 1;
  }
  m_pValue = value;
  wchar_t* space = wcschr(value, L' ');
  if (!space) return nullptr;
  *space = 0;
  return space + 1;
}

void CWXMLNode::ExtractPropsFromName(wchar_t* text) {
  if (!text || !*text) return;
  wchar_t* space = wcschr(text, L' ');
  if (!space) return;
  *space = 0;
  wchar_t* pos = space + 1;
  while (pos) {
    CWXMLProp* prop = new (std::nothrow) CWXMLProp();
    if (!prop) return;  // keep the attributes taken so far
    pos = prop->Init(pos);
    if (!prop->IsValid() || !m_Props.Add(prop)) delete prop;
  }
}

// A caller's text cannot be restored, so the one pass (which may decline a
// text half cut) is left out: the chain of ReadExact from the indexed pass on.
wchar_t* CWXMLNode::Parse(wchar_t* text) {
  if (!text || !*text) return nullptr;
  const size_t size = wcslen(text) + 1;
  XmlIndex index;
  if (!BuildIndex(index, text, size)) return cwbase_internal::ReferenceXmlParse(this, text);
  size_t result = XmlFastReader<wchar_t>(text, size, index).Parse(this, text);
  return result == kXmlNone ? nullptr : text + result;
}

int CWXMLDocument::LoadWide(unsigned char* data, unsigned long size) {
  // Loading from our own buffer: copy the bytes aside before resizing it.
  if (data && Inside(m_Buffer, data)) {
    CWBlock aside(data, size);
    return LoadWide(static_cast<unsigned char*>(aside.GetBuffer()), size);
  }
  // The tree's borrowed strings die with the old text: empty it first.
  CleanUp();
  // Whole units plus one zero unit, so even a partial last unit is followed
  // by a terminator. SetBuffer copies the text and clears the rest.
  const unsigned long units = (size + 3) / 4 + 1;
  m_Buffer.SetSize(units * sizeof(wchar_t));
  if (!m_Buffer.SetBuffer(data, size)) {
    m_Buffer.Zero();
    return -1;
  }
  auto* text = static_cast<wchar_t*>(m_Buffer.GetBuffer());
  const auto end = static_cast<size_t>(wmemchr(text, 0, units) - text);
  return ReadExact(this, text, units, end, text, [&] {
    if (data) memcpy(text, data, size);  // SetBuffer took them, so data is not null
  });
}

int CWXMLDocument::LoadFromStream(unsigned char* data, int length) {
  m_bKeptLayout = false;
  cwbase_internal::XmlDestroyNodes(m_Prolog);
  cwbase_internal::XmlDestroyNodes(m_Epilog);
  try {
    return RecordExactLoad(length < 0 ? -1 : LoadWide(data, static_cast<unsigned long>(length)),
                           data, length);
  } catch (const std::bad_alloc&) {
    SetLastError(CWXML_ERROR_OUT_OF_MEMORY, 0, 0, 0);
    throw;
  }
}

int CWXMLDocument::LoadFromStreamAscii(unsigned char* data, int length) {
  m_bKeptLayout = false;
  cwbase_internal::XmlDestroyNodes(m_Prolog);
  cwbase_internal::XmlDestroyNodes(m_Epilog);
  try {
    return RecordExactLoad(LoadAscii(data, length), data, length);
  } catch (const std::bad_alloc&) {
    SetLastError(CWXML_ERROR_OUT_OF_MEMORY, 0, 0, 0);
    throw;
  }
}

// A text that holds no character (no data, no length, nothing after
// conversion) has no root; any other failure is a root the exact reading
// rules could not read.
int CWXMLDocument::RecordExactLoad(int result, const unsigned char* data, int length) {
  int code = CWXML_ERROR_NONE;
  if (result != 0) {
    const auto* text = static_cast<const wchar_t*>(m_Buffer.GetBuffer());
    const bool empty =
        !data || length <= 0 || !text || m_Buffer.GetSize() < sizeof(wchar_t) || text[0] == 0;
    code = empty ? CWXML_ERROR_NO_ROOT : CWXML_ERROR_NOT_READ;
  }
  SetLastError(code, 0, 0, 0);
  return result;
}

int CWXMLDocument::LoadAscii(unsigned char* data, int length) {
  if (length < 0) return -1;
  const unsigned long n = static_cast<unsigned long>(length);
  // Text in a buffer of the caller's (not the document's own, which the
  // load resizes) can be converted straight into the buffer.
  const bool direct = data && n != 0 && !Inside(m_Buffer, data);
  size_t end = 0;
  if (direct && n >= kAsciiCheckFrom && cwbase_internal::XmlAsciiEnd(data, n, &end) &&
      LocaleKeepsAscii()) {
    // The units are written as the parse goes; the zeros after them now.
    auto* text = PrepareConverted(*this, n);
    memset(text + end, 0, (n + 1 - end) * sizeof(wchar_t));
    return ReadExact(this, data, n, end, text, [] {});
  }
  if (direct && cwbase_internal::CurrentCodeset() == cwbase_internal::Codeset::kUtf8) {
    // MultiByteToWideChar's n units at most, written where LoadWide would
    // copy them: the units before a zero byte, or before the first sequence
    // the locale refuses (the conversion fails then, keeping those units);
    // zero after them.
    auto* text = PrepareConverted(*this, n);
    size_t units = 0;
    auto decode = [&] {
      cwbase_internal::MultiByteToWideBounded(cwbase_internal::Codeset::kUtf8, data, n, text, n,
                                              &units);
    };
    decode();
    memset(text + units, 0, (n + 1 - units) * sizeof(wchar_t));
    // Decoded units are never zero: the first zero unit is at `units`.
    return ReadExact(this, text, n + 2, units, text, decode);
  }
  CWBlock wide;
  cwbase_internal::ReferenceXmlConvert(wide, data, length);
  return LoadWide(static_cast<unsigned char*>(wide.GetBuffer()), wide.GetSize());
}
