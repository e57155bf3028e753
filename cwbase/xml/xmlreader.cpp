// The XML reader: an in-place scanner that cuts the document's own copy of the
// text into names and values and builds the tree from borrowed pointers.
//
// It reads exactly as the reference reader (internal/reader_reference.h) does
// (the same steps, the same zeros written into the text, so the same tree and
// the same buffer), but finds three things without scanning:
// - the next "<" (from the index of every "<");
// - an element's end tag (from the index's per-name pairing of start and end
//   tags, see internal/index.h), falling back to the literal search for
//   names the pairing cannot answer for;
// - the end of a text value (the end tag's position).
// That needs, for every scan, the position where the reference reader's scan
// would stop: the first zero unit after it. The reader only ever writes zeros
// behind the position it reads from, except for the "<" of an end tag, which
// it writes before reading the element's content. So the text an element
// reads from is the original text up to its parent's end tag (the whole text
// for the element a parse starts on): that position is passed down as the
// element's limit, every scan stops there, and every read sees the original
// text. Hence the reader may read the original instead of the buffer:
// - wide text is read in the buffer itself, where it is cut;
// - 8-bit text made only of ASCII bytes (and a locale that reads each of them
//   as itself, which is what MultiByteToWideChar would produce) is read as
//   the caller's bytes, sixteen per vector step, and widened into the buffer
//   just ahead of the zeros written there; the zeros of end tags beyond the
//   widened part wait in a stack until the widening passes them.
// - other 8-bit text in a UTF-8 locale is decoded straight into the buffer by
//   the locale decoder behind MultiByteToWideChar, bounded to the bytes
//   given, and then read as wide text.
// Any other 8-bit text goes through MultiByteToWideChar as described in
// xmlnode.h. When the index cannot be allocated, the load or parse is read by
// the reference reader instead.
#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "cwbase/text/internal/codeset.h"
#include "cwbase/text/internal/multibyte.h"
#include "cwbase/xml/internal/index.h"
#include "cwbase/xml/internal/node_storage.h"
#include "cwbase/xml/internal/pool.h"
#include "cwbase/xml/internal/reader_reference.h"
#include "cwbase/xml/internal/scan.h"
#include "cwbase/xml/xmlnode.h"

namespace {

using cwbase_internal::XmlIndex;
using cwbase_internal::XmlPool;

constexpr size_t kNone = static_cast<size_t>(-1);

// Reads one element at a time as the reference reader does.
// Positions are unit offsets; `m_Text` is what is read (the buffer itself,
// or the 8-bit original of a buffer still being widened), `m_Buffer` what is
// cut and pointed into.
template <typename Char>
class FastReader {
 public:
  // `size`: units of `text` that may be read. Allocates ahead the storage
  // for as many nodes and attributes as the text can hold (within reason):
  // one run of chunks, laid out in the order the parse fills them.
  FastReader(const Char* text, size_t size, const XmlIndex& index)
      : m_Text(text), m_Size(size), m_Index(index), m_Widened(sizeof(Char) == 1 ? 0 : kNone) {
    const size_t objects =
        index.m_Lt.size() * (sizeof(CWXMLNode) + cwbase_internal::kXmlLentBytes + 8) +
        index.m_Equals * (sizeof(CWXMLProp) + 8);
    m_Pool.Reserve(std::min(objects, 16 * size));
  }

  // Parses into `node` from the start of the text, cutting `buffer`: the
  // text itself when it is wide; for 8-bit text, the buffer it is widened
  // into as the parse goes. Returns the position after the element, or
  // kNone. The whole text is widened by then.
  size_t Parse(CWXMLNode* node, wchar_t* buffer) {
    m_Buffer = buffer;
    size_t result = Element(node, 0, m_Index.m_End, 1, false);
    Widen(m_Index.m_End);
    return result;
  }

 private:
  size_t Element(CWXMLNode* node, size_t text, size_t limit, int level, bool fresh);
  size_t Attributes(CWXMLNode* node, size_t tag, size_t tagEnd);
  size_t EndTag(int32_t entry, size_t content, size_t limit, size_t name, size_t len) const;
  size_t LiteralEndTag(size_t content, size_t limit, size_t name, size_t len) const;
  template <uint8_t kClass>
  size_t FindInTag(size_t from, size_t tagEnd, bool masked) const;
  int32_t NextLt(size_t at, size_t limit);

  // Widens the 8-bit text up to `to`, then writes the end-tag zeros that
  // were waiting for it.
  void Widen(size_t to) {
    if (to <= m_Widened || m_Widened == kNone) return;
    cwbase_internal::XmlWidenAscii(reinterpret_cast<const unsigned char*>(m_Text) + m_Widened,
                                   to - m_Widened, m_Buffer + m_Widened);
    m_Widened = to;
    while (m_WaitingCount && m_Waiting[m_WaitingCount - 1] < to)
      m_Buffer[m_Waiting[--m_WaitingCount]] = 0;
  }

  // The zero over an end tag's "<", which may lie beyond the widened part.
  // The zeros waiting are those of the elements being read, the nearest
  // last: an end tag is found after every end tag it comes before has been
  // passed. Should the room run out all the same, the text is widened up to
  // the end tag at once, which is only slower.
  void ZeroAhead(size_t at) {
    if (at >= m_Widened && m_WaitingCount < kWaitingRoom &&
        (!m_WaitingCount || at < m_Waiting[m_WaitingCount - 1])) {
      m_Waiting[m_WaitingCount++] = at;
      return;
    }
    Widen(at + 1);
    m_Buffer[at] = 0;
  }

  static constexpr size_t kWaitingRoom = CWXML_MAX_DEPTH + 8;

  const Char* m_Text;
  size_t m_Size;
  wchar_t* m_Buffer = nullptr;
  const XmlIndex& m_Index;
  size_t m_Widened;                // widened units; kNone for wide text
  size_t m_Waiting[kWaitingRoom];  // end-tag zeros beyond m_Widened, nearest last
  size_t m_WaitingCount = 0;
  size_t m_Cursor = 0;
  cwbase_internal::XmlTagScan m_Scan;  // the tag being read
  XmlPool m_Pool;                      // the objects of this parse
};

// wcschr(at, '<') for a text that ends at `limit`: the entry of the first
// "<" at or after `at` and before `limit`, or -1. Reads go forward through
// the text, so a cursor serves them; a step back searches.
template <typename Char>
int32_t FastReader<Char>::NextLt(size_t at, size_t limit) {
  const std::vector<uint32_t>& lt = m_Index.m_Lt;
  if (m_Cursor > 0 && lt[m_Cursor - 1] >= at)
    m_Cursor = static_cast<size_t>(std::lower_bound(lt.begin(), lt.end(), at) - lt.begin());
  while (m_Cursor < lt.size() && lt[m_Cursor] < at) ++m_Cursor;
  if (m_Cursor == lt.size() || lt[m_Cursor] >= limit) return -1;
  if (m_Cursor + 4 < lt.size()) __builtin_prefetch(m_Text + lt[m_Cursor + 4]);
  return static_cast<int32_t>(m_Cursor);
}

// The "<" of the end tag of the element whose start tag is entry `entry` and
// whose name is the `len` units at `name`, or kNone.
template <typename Char>
size_t FastReader<Char>::EndTag(int32_t entry, size_t content, size_t limit, size_t name,
                                size_t len) const {
  // A name the index has no token for holds "<" or ">", or begins with "/".
  if (m_Index.OpenTokenLength(static_cast<size_t>(entry)) != static_cast<int32_t>(len))
    return LiteralEndTag(content, limit, name, len);
  int32_t r = m_Index.EndTag(static_cast<size_t>(entry), content, limit);
  return r < 0 ? kNone : m_Index.m_Lt[static_cast<size_t>(r)];
}

// The reference reader's end-tag search over [content, limit), the zero at
// `limit` included. The units just before `content` are the start tag's
// ">" and the unit before it; that search sees a zero for the ">", and
// neither a zero nor ">" is "<" or "/", so reading the original is the same.
template <typename Char>
size_t FastReader<Char>::LiteralEndTag(size_t content, size_t limit, size_t name,
                                       size_t len) const {
  const Char* t = m_Text;
  int depth = 0;
  for (size_t q = content; q < limit; ++q) {
    if (len) {
      if (t[q] != t[name] || limit - q < len) continue;
      size_t i = 1;
      while (i < len && t[q + i] == t[name + i]) ++i;
      if (i < len) continue;
    }
    Char next = q + len < limit ? t[q + len] : 0;
    if (t[q - 2] == '<' && t[q - 1] == '/') {
      if (next == '>') {
        if (depth == 0) return q - 2;
        --depth;
      }
    } else if (t[q - 1] == '<' && (next == ' ' || next == '>')) {
      ++depth;
    }
  }
  return kNone;
}

// The first unit of class kClass in [from, tagEnd): from the tag scan's masks
// when they cover the tag, else by a search.
template <typename Char>
template <uint8_t kClass>
size_t FastReader<Char>::FindInTag(size_t from, size_t tagEnd, bool masked) const {
  if (masked) return m_Scan.template Find<kClass>(from, tagEnd);
  return cwbase_internal::XmlSearch<kClass>(m_Text, from, tagEnd, m_Size);
}

// CWXMLNode::ExtractPropsFromName with CWXMLProp::Init over the tag text
// [tag, tagEnd): the same cuts, the same attributes. An attribute that would
// get no name or no value (the list is empty or holds no "=") ends the list
// without being allocated. Returns where the name ends.
template <typename Char>
size_t FastReader<Char>::Attributes(CWXMLNode* node, size_t tag, size_t tagEnd) {
  const Char* t = m_Text;
  // The masks of the tag scan answer for all but very long tags.
  const bool masked = m_Scan.Covers(tagEnd);
  const size_t space = FindInTag<cwbase_internal::kXmlSpace>(tag, tagEnd, masked);
  if (space == tagEnd) return tagEnd;
  m_Buffer[space] = 0;
  size_t pos = space + 1;
  while (pos < tagEnd) {
    size_t eq = FindInTag<cwbase_internal::kXmlEquals>(pos, tagEnd, masked);
    if (eq == tagEnd) break;
    CWXMLProp* prop;
    try {
      prop = new (m_Pool.Allocate(sizeof(CWXMLProp))) CWXMLProp();
    } catch (const std::bad_alloc&) {
      break;  // keep the attributes taken so far
    }
    m_Buffer[eq] = 0;
    prop->m_pName = m_Buffer + pos;
    size_t value = eq + 1;
    size_t end;
    if (value < tagEnd && t[value] == '"') {
      ++value;
      end = FindInTag<cwbase_internal::kXmlQuote>(value, tagEnd, masked);
      pos = end + 1 < tagEnd && t[end + 1] == ' ' ? end + 2 : end + 1;
    } else {
      end = FindInTag<cwbase_internal::kXmlSpace>(value, tagEnd, masked);
      pos = end + 1;
    }
    if (end < tagEnd)
      m_Buffer[end] = 0;
    else
      pos = kNone;  // the value runs to the end of the tag text
    prop->m_pValue = m_Buffer + value;
    if (!node->m_Props.Add(prop)) delete prop;
  }
  return space;
}

// The steps of the reference reader's element, reading from `text` up to
// `limit`. A `fresh` node was just constructed, so cleaning it up would
// change nothing.
template <typename Char>
size_t FastReader<Char>::Element(CWXMLNode* node, size_t text, size_t limit, int level,
                                 bool fresh) {
  if (text >= limit) return kNone;  // an empty text
  if (!fresh) node->CleanUp();

  size_t result = kNone;
  bool hasContent = true;
  size_t tag, tagEnd, content = text;
  int32_t entry;
  for (;;) {
    entry = NextLt(content, limit);
    if (entry < 0) return kNone;
    tag = m_Index.m_Lt[static_cast<size_t>(entry)] + 1;
    size_t close = m_Scan.Run(m_Text, tag, limit, m_Size);
    if (close == limit) return kNone;
    Widen(close + 1);
    m_Buffer[close] = 0;
    node->m_pName = m_Buffer + tag;
    content = close + 1;
    tagEnd = close;
    if (close > tag && m_Text[tag] == '?') continue;
    if (close > tag && m_Text[close - 1] == '/') {
      m_Buffer[close - 1] = 0;
      result = content;
      hasContent = false;
      tagEnd = close - 1;
    }
    break;
  }
  const size_t nameEnd = Attributes(node, tag, tagEnd);

  size_t endTag = kNone;
  if (hasContent) {
    const size_t len = nameEnd - tag;
    endTag = EndTag(entry, content, limit, tag, len);
    if (endTag != kNone) {
      ZeroAhead(endTag);
      node->m_pValue = m_Buffer + content;
      result = endTag + 2 + len + 1;
    }
  }

  // Children, each read from what remains of this element's content; the
  // value is the position they have reached.
  size_t value = node->m_pValue ? content : kNone;
  try {
    while (value != kNone && NextLt(value, endTag) >= 0) {
      if (level >= CWXML_MAX_DEPTH) {
        node->m_pValue = nullptr;  // too deep: fails like a child without end tag
        return result;
      }
      CWXMLNode* child = cwbase_internal::XmlNewNode(m_Pool, node);
      value = Element(child, value, endTag, level + 1, true);
      node->m_pValue = value == kNone ? nullptr : m_Buffer + value;
      if (value == kNone) {
        delete child;
      } else if (!node->m_Children.Add(child)) {
        delete child;
        return result;
      }
    }
  } catch (const std::bad_alloc&) {
    return result;
  }

  // Text: nothing after the last child was cut, so the value runs up to the
  // end tag; trim white space on both sides.
  if (value != kNone && value < endTag) {
    Widen(endTag);
    value = cwbase_internal::XmlSearch<cwbase_internal::kXmlWhite, false>(m_Text, value, endTag,
                                                                          m_Size);
    size_t end = endTag;
    while (end > value &&
           (cwbase_internal::XmlClassOf(m_Text[end - 1]) & cwbase_internal::kXmlWhite))
      m_Buffer[--end] = 0;
    node->m_pValue = m_Buffer + value;
  }
  return result;
}

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

// Reads the wide text of `units` units (a zero unit among them) in place.
int ReadWide(CWXMLNode* node, wchar_t* text, size_t units) {
  XmlIndex index;
  try {
    index.IndexWide(text, units);
  } catch (const std::bad_alloc&) {
    return cwbase_internal::ReferenceXmlParse(node, text) ? 0 : -1;
  }
  return FastReader<wchar_t>(text, units, index).Parse(node, text) == kNone ? -1 : 0;
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

wchar_t* CWXMLNode::Parse(wchar_t* text) {
  if (!text || !*text) return nullptr;
  const size_t size = wcslen(text) + 1;
  XmlIndex index;
  try {
    index.IndexWide(text, size);
  } catch (const std::bad_alloc&) {
    return cwbase_internal::ReferenceXmlParse(this, text);
  }
  size_t result = FastReader<wchar_t>(text, size, index).Parse(this, text);
  return result == kNone ? nullptr : text + result;
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
  return ReadWide(this, static_cast<wchar_t*>(m_Buffer.GetBuffer()), units);
}

int CWXMLDocument::LoadFromStream(unsigned char* data, int length) {
  if (length < 0) return -1;
  return LoadWide(data, static_cast<unsigned long>(length));
}

int CWXMLDocument::LoadFromStreamAscii(unsigned char* data, int length) {
  if (length < 0) return -1;
  const unsigned long n = static_cast<unsigned long>(length);
  // Text in a buffer of the caller's (not the document's own, which the
  // load resizes) can be converted straight into the buffer.
  const bool direct = data && n != 0 && !Inside(m_Buffer, data);
  if (direct && n >= kAsciiCheckFrom && LocaleKeepsAscii()) {
    XmlIndex index;
    bool ascii = false;
    try {
      ascii = index.IndexAscii(data, n);
    } catch (const std::bad_alloc&) {
    }
    if (ascii) {
      // The units are written as the parse goes; the zeros after them now.
      auto* text = PrepareConverted(*this, n);
      memset(text + index.m_End, 0, (n + 1 - index.m_End) * sizeof(wchar_t));
      return FastReader<unsigned char>(data, n, index).Parse(this, text) == kNone ? -1 : 0;
    }
  }
  if (direct && cwbase_internal::CurrentCodeset() == cwbase_internal::Codeset::kUtf8) {
    // MultiByteToWideChar's n units at most, written where LoadWide would
    // copy them: the units before a zero byte, or before the first sequence
    // the locale refuses (the conversion fails then, keeping those units);
    // zero after them.
    auto* text = PrepareConverted(*this, n);
    size_t units = 0;
    cwbase_internal::MultiByteToWideBounded(cwbase_internal::Codeset::kUtf8, data, n, text, n,
                                            &units);
    memset(text + units, 0, (n + 1 - units) * sizeof(wchar_t));
    return ReadWide(this, text, n + 2);
  }
  CWBlock wide;
  cwbase_internal::ReferenceXmlConvert(wide, data, length);
  return LoadWide(static_cast<unsigned char*>(wide.GetBuffer()), wide.GetSize());
}
