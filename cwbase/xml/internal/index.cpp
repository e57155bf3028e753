// CWXMLIndex: one pass over the text for its "<"s, one pass over the "<"s for
// their tokens. See xmlindex.h for what the index answers and why.
#include "cwbase/xml/xmlindex.h"

#include "cwbase/xml/xmlscan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Doubles an open-addressing table (a power-of-two size) and re-places every
// used slot (id >= 0) by its hash with linear probing.
template <typename Slot>
void GrowTable(std::vector<Slot>& slots) {
  std::vector<Slot> old(2 * slots.size());
  old.swap(slots);
  size_t mask = slots.size() - 1;
  for (const Slot& s : old) {
    if (s.id < 0) continue;
    size_t i = s.hash & mask;
    while (slots[i].id >= 0) i = (i + 1) & mask;
    slots[i] = s;
  }
}

// Number of bits set in a 16-bit mask.
unsigned Count16(unsigned x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return (x + (x >> 8)) & 0x1Fu;
}

// Bits of a 16-bit mask, lowest first.
template <typename Fn>
void ForEachBit(unsigned mask, Fn fn) {
  while (mask) {
    fn(static_cast<unsigned>(__builtin_ctz(mask)));
    mask &= mask - 1;
  }
}

// The distinct token names met so far, numbered from 0 (the number `count`
// is shared with ShortNames), in an open-addressed table keyed by hash; a
// name is compared unit by unit with its first occurrence in the text.
template <typename Char>
class NameTable {
 public:
  NameTable(const Char* text, int32_t& count) : m_Text(text), m_Slots(64), m_Count(count) {}

  int32_t Intern(uint32_t hash, uint32_t start, int32_t len) {
    size_t mask = m_Slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& s = m_Slots[i];
      if (s.id < 0) {
        const int32_t id = m_Count++;
        s = Slot{hash, start, len, id};
        if (2 * ++m_Used > m_Slots.size()) Grow();  // `s` dies here
        return id;
      }
      if (s.hash == hash && s.len == len && Same(s.start, start, len)) return s.id;
    }
  }

 private:
  struct Slot {
    uint32_t hash = 0;
    uint32_t start = 0;
    int32_t len = 0;
    int32_t id = -1;
  };

  bool Same(uint32_t a, uint32_t b, int32_t len) const {
    for (int32_t i = 0; i < len; ++i)
      if (m_Text[a + i] != m_Text[b + i]) return false;
    return true;
  }

  void Grow() { GrowTable(m_Slots); }

  const Char* m_Text;
  std::vector<Slot> m_Slots;
  int32_t& m_Count;
  size_t m_Used = 0;
};

#if defined(__SSE2__) && defined(__x86_64__)
#define CWXML_SHORT_NAMES 1

// Names of 8-bit text of at most 16 bytes, keyed by the bytes themselves
// (zero-padded), so that a lookup is one vector compare.
class ShortNames {
 public:
  explicit ShortNames(int32_t& count) : m_Slots(64), m_Count(count) {}

  // The name of `len` <= 16 bytes at `start`; `size` bytes may be read.
  int32_t Intern(const unsigned char* text, size_t start, int32_t len, size_t size) {
    alignas(16) static const unsigned char kKeep[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                        0xFF, 0xFF, 0xFF, 0xFF};
    __m128i key;
    if (start + 16 <= size) {
      key = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + start)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeep + 16 - len)));
    } else {
      alignas(16) unsigned char bytes[16] = {};
      for (int32_t i = 0; i < len; ++i) bytes[i] = text[start + static_cast<size_t>(i)];
      key = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
    }
    const auto lo = static_cast<uint64_t>(_mm_cvtsi128_si64(key));
    const auto hi = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(key, key)));
    const auto hash = static_cast<size_t>(
        (lo * 0x9E3779B97F4A7C15ull ^ hi * 0xC2B2AE3D27D4EB4Full ^ static_cast<uint64_t>(len)) >>
        32);
    size_t mask = m_Slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& s = m_Slots[i];
      if (s.id < 0) {
        const int32_t id = m_Count++;
        s.key = key;
        s.len = len;
        s.id = id;
        s.hash = hash;
        if (2 * ++m_Used > m_Slots.size()) Grow();  // `s` dies here
        return id;
      }
      if (s.len == len && _mm_movemask_epi8(_mm_cmpeq_epi8(s.key, key)) == 0xFFFF) return s.id;
    }
  }

 private:
  struct Slot {
    __m128i key;
    size_t hash = 0;
    int32_t len = 0;
    int32_t id = -1;
  };

  void Grow() { GrowTable(m_Slots); }

  std::vector<Slot> m_Slots;
  int32_t& m_Count;
  size_t m_Used = 0;
};
#endif

}  // namespace

// Reads the token after each "<" as the scan meets it, while its units are in
// the caches, and pairs the opens and closes of each name like brackets: each
// open keeps its matching close in `answer` until Finish.
template <typename Char>
class CWXMLIndex::Tokenizer {
 public:
  Tokenizer(CWXMLIndex& index, const Char* text, size_t size)
      : m_Index(index),
        m_Text(text),
        m_Size(size),
        m_Names(text, m_Ids)
#ifdef CWXML_SHORT_NAMES
        ,
        m_Short(m_Ids)
#endif
  {
  }

  // The "<" at `at`, the next entry.
  void Add(size_t at) {
    const auto entry = static_cast<int32_t>(m_Index.m_Lt.size());
    m_Index.m_Lt.push_back(static_cast<uint32_t>(at));
    m_Index.m_Tokens.emplace_back();
    Token& token = m_Index.m_Tokens.back();
    size_t p = at + 1;
    uint8_t close = 0;
    if (p < m_Size && m_Text[p] == '/') {
      close = 1;
      ++p;
    }
    // The run stops at the text's first zero unit too, which ends the text.
    const size_t start = p;
    p = cwxml::FindNameEnd(m_Text, p, m_Size, m_Size);
    if (p >= m_Size) return;
    const Char after = m_Text[p];
    if (after == '<' || after == 0 || (close && after != '>')) return;
    const auto len = static_cast<int32_t>(p - start);
    int32_t id;
#ifdef CWXML_SHORT_NAMES
    if (sizeof(Char) == 1 && len <= 16) {
      id = m_Short.Intern(reinterpret_cast<const unsigned char*>(m_Text), start, len, m_Size);
    } else
#endif
    {
      uint32_t hash = 2166136261u;
      for (size_t i = start; i < p; ++i)
        hash = (hash ^ static_cast<uint32_t>(m_Text[i])) * 16777619u;
      id = m_Names.Intern(hash, static_cast<uint32_t>(start), len);
    }
    if (id == static_cast<int32_t>(m_Last.size())) {
      m_Last.push_back(-1);
      m_Top.push_back(-1);
    }
    std::vector<Token>& tokens = m_Index.m_Tokens;
    token.len = len;
    token.close = close;
    if (m_Last[id] >= 0) tokens[m_Last[id]].next = entry;
    m_Last[id] = entry;
    if (!close) {
      token.below = m_Top[id];
      m_Top[id] = entry;
    } else if (m_Top[id] >= 0) {
      Token& open = tokens[m_Top[id]];
      open.answer = entry;
      m_Top[id] = open.below;
    }
  }

  // Backward: a close answers itself; an open with a matching close answers
  // what the token after that close answers; an open never closed answers
  // -1 (every close after it is matched by an open after it).
  void Finish() {
    std::vector<Token>& tokens = m_Index.m_Tokens;
    for (size_t k = tokens.size(); k-- > 0;) {
      Token& t = tokens[k];
      if (t.len < 0) continue;
      if (t.close) {
        t.answer = static_cast<int32_t>(k);
      } else if (t.answer >= 0) {
        int32_t after = tokens[t.answer].next;
        t.answer = after >= 0 ? tokens[after].answer : -1;
      }
    }
  }

 private:
  CWXMLIndex& m_Index;
  const Char* m_Text;
  size_t m_Size;
  int32_t m_Ids = 0;  // names numbered so far, by either table
  NameTable<Char> m_Names;
#ifdef CWXML_SHORT_NAMES
  ShortNames m_Short;
#endif
  std::vector<int32_t> m_Last, m_Top;  // per name: latest entry, innermost unclosed open
};

bool CWXMLIndex::IndexAscii(const unsigned char* text, size_t n) {
  m_Lt.clear();
  m_Tokens.clear();
  m_Lt.reserve(n / 64 + 16);
  m_Tokens.reserve(n / 64 + 16);
  m_Equals = 0;
  Tokenizer<unsigned char> tokens(*this, text, n);
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i eq = _mm_set1_epi8('=');
  // "="s are counted per byte lane (each match subtracts -1) and summed
  // every 255 blocks, before a lane can overflow.
  __m128i equals = zero;
  unsigned blocks = 0;
  auto sum = [&] {
    __m128i sad = _mm_sad_epu8(equals, zero);
    m_Equals += static_cast<size_t>(_mm_cvtsi128_si32(sad)) +
                static_cast<size_t>(_mm_extract_epi16(sad, 4));
    equals = zero;
    blocks = 0;
  };
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    // A zero byte or a byte of 0x80 and above: left to the unit-wise tail.
    if (_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) break;
    ForEachBit(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lt))),
               [&](unsigned bit) { tokens.Add(i + bit); });
    equals = _mm_sub_epi8(equals, _mm_cmpeq_epi8(v, eq));
    if (++blocks == 255) sum();
  }
  sum();
#endif
  for (; i < n; ++i) {
    unsigned char c = text[i];
    if (c == 0) break;
    if (c >= 0x80) return false;
    if (c == '<') tokens.Add(i);
    if (c == '=') ++m_Equals;
  }
  m_End = i;
  tokens.Finish();
  return true;
}

void CWXMLIndex::IndexWide(const wchar_t* text, size_t units) {
  m_Lt.clear();
  m_Tokens.clear();
  m_Equals = 0;
  Tokenizer<wchar_t> tokens(*this, text, units);
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= units; i += 16) {
    __m128i v = cwxml::Load16(text + i);
    unsigned lts = cwxml::Mask(v, '<'), eqs = cwxml::Mask(v, '='), zeros = cwxml::Mask(v, 0);
    if (zeros) {
      // Only what stands before the first zero counts.
      unsigned before = (zeros & (0u - zeros)) - 1;
      ForEachBit(lts & before, [&](unsigned bit) { tokens.Add(i + bit); });
      m_Equals += Count16(eqs & before);
      m_End = i + static_cast<unsigned>(__builtin_ctz(zeros));
      tokens.Finish();
      return;
    }
    ForEachBit(lts, [&](unsigned bit) { tokens.Add(i + bit); });
    if (eqs) m_Equals += Count16(eqs);
  }
#endif
  for (; i < units && text[i]; ++i) {
    if (text[i] == L'<') tokens.Add(i);
    if (text[i] == L'=') ++m_Equals;
  }
  m_End = i;
  tokens.Finish();
}

int32_t CWXMLIndex::EndTag(size_t e, size_t content, size_t limit) const {
  int32_t k = m_Tokens[e].next;
  while (k >= 0 && m_Lt[k] < content) k = m_Tokens[k].next;  // same-name "<"s inside the start tag
  if (k < 0) return -1;
  int32_t r = m_Tokens[k].answer;
  return r >= 0 && m_Lt[r] < limit ? r : -1;
}
