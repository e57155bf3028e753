// The standard writer behind CWXMLNode::SaveXML and CWXMLDocument::SaveXML:
// escaped UTF-8 laid out by a CWXMLSaveOptions record, appended to a block.
// Private to the XML subsystem.
//
// Contract
// - A Writer appends to its block's storage past the block's length and
//   sets the length once, in Finish; until then the block's data is
//   untouched. It grows the storage by doubling and throws std::bad_alloc
//   when memory runs out.
// - Every operation returns false when what it was given cannot be written
//   as XML; Fault() then tells why (a CWXML_ERROR_ code) and where (the
//   output position at which the offending piece would have stood, in bytes
//   from the block's start). After a false or a throw the writer is not
//   used again.
// - Layout: "laid out" means a line end and indentation before each child
//   and before the end tag of an element without character data (see
//   xmlnode.h); Tree lays out only when asked to, and never inside an
//   element that has character data.
// Threads: one writer, one tree and one block per thread at a time.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "cwbase/core/block.h"
#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/xml/internal/scan.h"
#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

class XmlStandardWriter {
 public:
  XmlStandardWriter(CWBlock& block, const CWXMLSaveOptions& options)
      : m_Block(block),
        m_pBase(static_cast<char*>(block.GetBuffer())),
        m_Start(block.GetSize()),
        m_Pos(block.GetSize()),
        m_Capacity(block.GetCapacity()),
        m_Indent(options.indent),
        m_Crlf(options.crlf) {
    // A line end and then indentation, copied whole by Break.
    const size_t end = m_Crlf ? 2 : 1;
    std::memcpy(m_Break, m_Crlf ? "\r\n" : "\n", end);
    std::memset(m_Break + end, m_Indent < 0 ? '\t' : ' ', sizeof m_Break - end);
    m_Width = m_Indent < 0 ? 1 : static_cast<size_t>(m_Indent);
    m_EndLength = end;
  }
  XmlStandardWriter(const XmlStandardWriter&) = delete;
  XmlStandardWriter& operator=(const XmlStandardWriter&) = delete;

  // `node` and its subtree, laid out (with `depth` as its level) when
  // `layout` is true. A node of another kind than element is written alone.
  bool Tree(CWXMLNode* node, long depth, bool layout);
  // A node before or after the root of a document; a document type
  // declaration only when `doctype` allows it.
  bool TopLevel(CWXMLNode* node, bool doctype);
  // The kept XML declaration `value` ("xml version=..."), its encoding
  // named UTF-8.
  bool Declaration(const wchar_t* value);
  void Raw(const char* s, size_t n) {
    std::memcpy(Room(n), s, n);
    m_Pos += n;
  }
  template <size_t N>
  void Raw(const char (&s)[N]) {
    Raw(s, N - 1);
  }
  void LineEnd() {
    if (m_Crlf)
      Raw("\r\n");
    else
      Raw("\n");
  }
  // The indentation of `level` (none for 0 or below).
  void Indent(long level);
  // A line end, then the indentation of `level`, copied in fixed-size
  // pieces: the line end with the first indentation, then indentation only.
  void Break(long level) {
    constexpr size_t kPiece = sizeof m_Break / 2;
    size_t n = m_EndLength;
    if (level > 0) {
      if (static_cast<unsigned long>(level) > kManyLevels) {
        LineEnd();
        Indent(level);
        return;
      }
      n += static_cast<size_t>(level) * m_Width;
    }
    char* out = Room(n + kPiece);
    std::memcpy(out, m_Break, kPiece);
    for (size_t k = kPiece; k < n; k += kPiece) std::memcpy(out + k, m_Break + kPiece, kPiece);
    m_Pos += n;
  }
  // Makes what was written the block's data.
  void Finish() { m_Block.SetSize(static_cast<unsigned long>(m_Pos)); }

  int FaultCode() const { return m_FaultCode; }
  size_t FaultAt() const { return m_FaultAt; }
  size_t Start() const { return m_Start; }

 private:
  static constexpr unsigned long kManyLevels = 1ul << 16;  // beyond: the general path

  struct Frame {
    CWXMLNode* m_pNode;
    long m_Depth;
    int m_Next;      // the next child to write
    bool m_LaysOut;  // line ends and indentation between the children
  };

  char* Room(size_t n) {
    if (n > m_Capacity - m_Pos) Grow(n);
    return m_pBase + m_Pos;
  }
  void Grow(size_t n);
  void Character(uint32_t c) {
    m_Pos += EncodeUtf8Unit(static_cast<int32_t>(c),
                            reinterpret_cast<unsigned char*>(Room(kMaxUtf8Unit)));
  }
  void Reference(uint32_t c);
  bool Fail(int code, size_t at) {
    m_FaultCode = code;
    m_FaultAt = at;
    return false;
  }

  enum NameForm { kStartTag, kEndTag, kAttributeName };
  template <int kForm>
  bool Name(const wchar_t* name);
  // Writes s[0..n) a run of units outside kStops at a time; each unit that
  // stops a run goes to stop(c, &next), which writes it (next: the index
  // after the unit, which it may move on) and returns false to fail.
  template <uint32_t kStops, typename Stop>
  inline __attribute__((always_inline)) bool Runs(const wchar_t* s, size_t n, Stop stop) {
    for (size_t i = 0; i < n;) {
      // Room for the run and for the unit it stops at in its longest form.
      char* out = Room(n - i + kMaxUtf8Unit);
      const size_t at = XmlNarrowRun<kStops>(s, i, n, out);
      m_Pos += at - i;
      if (at == n) break;
      i = at + 1;
      if (!stop(static_cast<uint32_t>(s[at]), &i)) return false;
    }
    return true;
  }
  template <bool kAttribute, bool kCrlf>
  bool Escaped(const wchar_t* s, size_t n);
  bool Text(const wchar_t* s);      // inlined where elements are written
  bool TextNode(const wchar_t* s);  // the same, out of line
  bool AttributeValue(const wchar_t* s);
  bool Escape(uint32_t c, bool attribute);
  // The start tag and the value; *frame is filled when children and an end
  // tag follow (m_pNode null: the element is complete).
  bool Start(CWXMLNode* node, long depth, bool layout, Frame* frame);
  void End(const Frame& frame);
  // A node of another kind than element, inside an element.
  bool Other(CWXMLNode* node);
  // Text as it stands, line ends in the chosen form; in a CDATA section a
  // CR and "]]>" end the section and open another around them.
  bool Verbatim(const wchar_t* s, size_t n, bool cdata);
  bool Cdata(const wchar_t* s);
  bool Comment(const wchar_t* s);
  bool Pi(const wchar_t* s);
  bool Doctype(const wchar_t* s);

  CWBlock& m_Block;
  char* m_pBase;
  size_t m_Start;  // the block's length before the call
  size_t m_Pos;    // bytes written, the block's length before the call included
  size_t m_Capacity;
  int m_Indent;
  bool m_Crlf;
  size_t m_EndLength;  // bytes of a line end
  size_t m_Width;      // units of indentation per level
  char m_Break[64];    // a line end, then indentation
  int m_FaultCode = 0;
  size_t m_FaultAt = 0;
};

// Line and column (from 1; column in characters) of byte `at` of the UTF-8
// text `text` (CR LF, CR and LF end a line).
void XmlOutputPosition(const char* text, size_t at, int* line, int* column);

}  // namespace cwbase_internal
