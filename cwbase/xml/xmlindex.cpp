// CWXMLIndex: one pass over the text for its "<"s, one pass over the "<"s for
// their tokens. See xmlindex.h for what the index answers and why.
#include "cwbase/xml/xmlindex.h"

#include "cwbase/xml/xmlscan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

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

  void Grow() {
    std::vector<Slot> old(2 * m_Slots.size());
    old.swap(m_Slots);
    size_t mask = m_Slots.size() - 1;
    for (const Slot& s : old) {
      if (s.id < 0) continue;
      size_t i = s.hash & mask;
      while (m_Slots[i].id >= 0) i = (i + 1) & mask;
      m_Slots[i] = s;
    }
  }

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
    alignas(16) static const unsigned char kKeep[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
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
    const auto hash = static_cast<size_t>((lo * 0x9E3779B97F4A7C15ull ^ hi * 0xC2B2AE3D27D4EB4Full ^
                                           static_cast<uint64_t>(len)) >> 32);
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

  void Grow() {
    std::vector<Slot> old(2 * m_Slots.size());
    old.swap(m_Slots);
    size_t mask = m_Slots.size() - 1;
    for (const Slot& s : old) {
      if (s.id < 0) continue;
      size_t i = s.hash & mask;
      while (m_Slots[i].id >= 0) i = (i + 1) & mask;
      m_Slots[i] = s;
    }
  }

  std::vector<Slot> m_Slots;
  int32_t& m_Count;
  size_t m_Used = 0;
};
#endif

}  // namespace

bool CWXMLIndex::ScanAscii(const unsigned char* text, size_t n) {
  m_Lt.clear();
  m_Lt.reserve(n / 64 + 16);
  m_Equals = 0;
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
    m_Equals += static_cast<size_t>(_mm_cvtsi128_si32(sad)) + static_cast<size_t>(_mm_extract_epi16(sad, 4));
    equals = zero;
    blocks = 0;
  };
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    // A zero byte or a byte of 0x80 and above: left to the unit-wise tail.
    if (_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) break;
    ForEachBit(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lt))),
               [&](unsigned bit) { m_Lt.push_back(static_cast<uint32_t>(i + bit)); });
    equals = _mm_sub_epi8(equals, _mm_cmpeq_epi8(v, eq));
    if (++blocks == 255) sum();
  }
  sum();
#endif
  for (; i < n; ++i) {
    unsigned char c = text[i];
    if (c == 0) break;
    if (c >= 0x80) return false;
    if (c == '<') m_Lt.push_back(static_cast<uint32_t>(i));
    if (c == '=') ++m_Equals;
  }
  m_End = i;
  return true;
}

void CWXMLIndex::ScanWide(const wchar_t* text, size_t units) {
  m_Lt.clear();
  m_Equals = 0;
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= units; i += 16) {
    __m128i v = cwxml::Load16(text + i);
    unsigned lts = cwxml::Mask(v, '<'), eqs = cwxml::Mask(v, '='), zeros = cwxml::Mask(v, 0);
    if (zeros) {
      // Only what stands before the first zero counts.
      unsigned before = (zeros & (0u - zeros)) - 1;
      ForEachBit(lts & before, [&](unsigned bit) { m_Lt.push_back(static_cast<uint32_t>(i + bit)); });
      m_Equals += Count16(eqs & before);
      m_End = i + static_cast<unsigned>(__builtin_ctz(zeros));
      return;
    }
    ForEachBit(lts, [&](unsigned bit) { m_Lt.push_back(static_cast<uint32_t>(i + bit)); });
    if (eqs) m_Equals += Count16(eqs);
  }
#endif
  for (; i < units && text[i]; ++i) {
    if (text[i] == L'<') m_Lt.push_back(static_cast<uint32_t>(i));
    if (text[i] == L'=') ++m_Equals;
  }
  m_End = i;
}

void CWXMLIndex::Tokenize(const wchar_t* text, size_t size) { TokenizeText(text, size); }

void CWXMLIndex::Tokenize(const unsigned char* text, size_t size) { TokenizeText(text, size); }

template <typename Char>
void CWXMLIndex::TokenizeText(const Char* text, size_t size) {
  const size_t count = m_Lt.size();
  m_Len.assign(count, -1);
  m_Close.assign(count, 0);
  m_Next.assign(count, -1);
  m_Answer.assign(count, -1);
  std::vector<int32_t> below(count);  // the open beneath each open on its name's stack
  std::vector<int32_t> last, top;     // per name: latest entry, innermost unclosed open
  int32_t ids = 0;
  NameTable<Char> names(text, ids);
#ifdef CWXML_SHORT_NAMES
  ShortNames shortNames(ids);
#endif

  // Forward: tokens, same-name chains, and each open's matching close (kept
  // in m_Answer until the backward pass).
  for (size_t k = 0; k < count; ++k) {
    // Far apart "<"s (text-heavy documents) each cost a cache miss.
    if (k + 8 < count) __builtin_prefetch(text + m_Lt[k + 8]);
    size_t p = m_Lt[k] + 1;
    uint8_t close = 0;
    if (p < m_End && text[p] == '/') {
      close = 1;
      ++p;
    }
    const size_t start = p;
    p = cwxml::FindNameEnd(text, p, m_End, size);
    if (p >= m_End || text[p] == '<' || (close && text[p] != '>')) continue;
    const auto len = static_cast<int32_t>(p - start);
    int32_t id;
#ifdef CWXML_SHORT_NAMES
    if (sizeof(Char) == 1 && len <= 16) {
      id = shortNames.Intern(reinterpret_cast<const unsigned char*>(text), start, len, size);
    } else
#endif
    {
      uint32_t hash = 2166136261u;
      for (size_t i = start; i < p; ++i) hash = (hash ^ static_cast<uint32_t>(text[i])) * 16777619u;
      id = names.Intern(hash, static_cast<uint32_t>(start), len);
    }
    if (id == static_cast<int32_t>(last.size())) {
      last.push_back(-1);
      top.push_back(-1);
    }
    const auto entry = static_cast<int32_t>(k);
    m_Len[k] = len;
    m_Close[k] = close;
    if (last[id] >= 0) m_Next[last[id]] = entry;
    last[id] = entry;
    if (!close) {
      below[k] = top[id];
      top[id] = entry;
    } else if (top[id] >= 0) {
      m_Answer[top[id]] = entry;
      top[id] = below[top[id]];
    }
  }

  // Backward: a close answers itself; an open with a matching close answers
  // what the token after that close answers; an open never closed answers -1
  // (every close after it is matched by an open after it).
  for (size_t k = count; k-- > 0;) {
    if (m_Len[k] < 0) continue;
    if (m_Close[k]) {
      m_Answer[k] = static_cast<int32_t>(k);
    } else if (m_Answer[k] >= 0) {
      int32_t after = m_Next[m_Answer[k]];
      m_Answer[k] = after >= 0 ? m_Answer[after] : -1;
    }
  }
}

int32_t CWXMLIndex::EndTag(size_t e, size_t content, size_t limit) const {
  int32_t k = m_Next[e];
  while (k >= 0 && m_Lt[k] < content) k = m_Next[k];  // same-name "<"s inside the start tag
  if (k < 0) return -1;
  int32_t r = m_Answer[k];
  return r >= 0 && m_Lt[r] < limit ? r : -1;
}
