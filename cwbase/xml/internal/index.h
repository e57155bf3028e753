// XmlIndex: what the indexed XML reader (xmlreader.cpp) knows about a text
// before it cuts it: where every "<" stands, where the text ends, and for
// each "<" the end-tag search's answer, so that finding an element's end tag
// costs no scan of its content.
//
// The end-tag search of the reader counts occurrences of an element's name N
// from its content on: N right after "<" and followed by a space or ">"
// opens a nested element, N right after "</" and followed by ">" closes
// one, and the first close met at depth 0 ends the element. For a name that
// holds no space, "<", ">" or zero and does not begin with "/", an
// occurrence can only count when it is exactly the token after a "<": the
// run of units after "<" (after "</" for a close) up to the first space,
// ">" or "<", ended by a space or ">" (by ">" for a close). The index reads
// that token once per "<", numbers the distinct names, and pairs the opens
// and closes of each name like brackets; the first unbalanced close of a
// name from a given token on is then known for every token. See EndTag.
//
// Positions are unit offsets from the start of the text; the text is the
// units before its first zero unit, at most INT32_MAX of them.
// Allocation failure: the builders throw std::bad_alloc.
// Private to the XML subsystem.
// Threads: an index is built and read by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cwbase_internal {

class XmlIndex {
 public:
  // Units before the first zero unit.
  size_t m_End = 0;
  // Offsets of every "<" before m_End, ascending.
  std::vector<uint32_t> m_Lt;
  // Number of "=" before m_End: at least the number of attributes.
  size_t m_Equals = 0;

  // Indexes the 8-bit text of n bytes up to its first zero byte. Returns
  // false, the index unusable, when a byte of 0x80 or above comes first.
  bool IndexAscii(const unsigned char* text, size_t n);
  // Indexes the wide text of at most `units` units up to its first zero unit.
  void IndexWide(const wchar_t* text, size_t units);

  // Entry k's token length when it is an open token, -1 otherwise.
  int32_t OpenTokenLength(size_t k) const { return m_Tokens[k].close ? -1 : m_Tokens[k].len; }

  // The end-tag search for the element whose start tag is entry `e` (an open
  // token, as OpenTokenLength(e) tells), whose content starts at `content`
  // and whose text ends at `limit` (the first zero unit after the content):
  // the entry of the "<" of its end tag, or -1 when the search finds none.
  int32_t EndTag(size_t e, size_t content, size_t limit) const;

 private:
  struct Token {
    int32_t len = -1;     // -1: no token
    int32_t next = -1;    // next entry whose token has the same name
    int32_t answer = -1;  // first unbalanced close of the name from here on
    int32_t below = -1;   // while pairing: the open beneath this one
    uint8_t close = 0;    // 1: a close token ("</"), 0: an open one
  };
  template <typename Char>
  class Tokenizer;
  // Both builders: false when a unit of 0x80 or above comes first in 8-bit text.
  template <typename Char>
  bool Build(const Char* text, size_t units);

  std::vector<Token> m_Tokens;  // one per entry of m_Lt
};

}  // namespace cwbase_internal
