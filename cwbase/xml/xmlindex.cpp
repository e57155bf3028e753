// CWXMLIndex: one pass over the text for its "<"s, one pass over the "<"s for
// their tokens. See xmlindex.h for what the index answers and why.
#include "cwbase/xml/xmlindex.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Bits of a 16-bit mask, lowest first.
template <typename Fn>
void ForEachBit(unsigned mask, Fn fn) {
  while (mask) {
    fn(static_cast<unsigned>(__builtin_ctz(mask)));
    mask &= mask - 1;
  }
}

// The distinct token names met so far, numbered from 0, in an open-addressed
// table keyed by hash; a name is compared unit by unit with its first
// occurrence in the text.
template <typename Char>
class NameTable {
 public:
  explicit NameTable(const Char* text) : m_Text(text), m_Slots(64) {}

  int32_t Intern(uint32_t hash, uint32_t start, int32_t len) {
    size_t mask = m_Slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& s = m_Slots[i];
      if (s.id < 0) {
        s = Slot{hash, start, len, m_Count++};
        if (2 * static_cast<size_t>(m_Count) > m_Slots.size()) Grow();
        return m_Count - 1;
      }
      if (s.hash == hash && s.len == len && Same(s.start, start, len)) return s.id;
    }
  }

  int32_t Count() const { return m_Count; }

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
  int32_t m_Count = 0;
};

}  // namespace

bool CWXMLIndex::WidenAscii(const unsigned char* source, size_t n, wchar_t* dest) {
  m_Lt.clear();
  m_Lt.reserve(n / 64 + 16);
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i lt = _mm_set1_epi8('<');
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    // A zero byte or a byte of 0x80 and above: left to the unit-wise tail.
    if (_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) break;
    __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    auto* out = reinterpret_cast<__m128i*>(dest + i);
    _mm_storeu_si128(out, _mm_unpacklo_epi16(lo, zero));
    _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(lo, zero));
    _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(hi, zero));
    _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(hi, zero));
    ForEachBit(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lt))),
               [&](unsigned bit) { m_Lt.push_back(static_cast<uint32_t>(i + bit)); });
  }
#endif
  for (; i < n; ++i) {
    unsigned char c = source[i];
    if (c == 0) break;
    if (c >= 0x80) return false;
    dest[i] = c;
    if (c == '<') m_Lt.push_back(static_cast<uint32_t>(i));
  }
  m_End = i;
  return true;
}

void CWXMLIndex::ScanWide(const wchar_t* text, size_t units) {
  m_Lt.clear();
  size_t i = 0;
#if defined(__SSE2__)
  static_assert(sizeof(wchar_t) == 4, "four units per vector");
  const __m128i zero = _mm_setzero_si128();
  const __m128i lt = _mm_set1_epi32('<');
  for (; i + 4 <= units; i += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    int zeros = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, zero)));
    int lts = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, lt)));
    if (zeros) {
      // Only the "<"s before the first zero count.
      lts &= (zeros & -zeros) - 1;
      ForEachBit(static_cast<unsigned>(lts), [&](unsigned bit) { m_Lt.push_back(static_cast<uint32_t>(i + bit)); });
      m_End = i + static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(zeros)));
      return;
    }
    ForEachBit(static_cast<unsigned>(lts), [&](unsigned bit) { m_Lt.push_back(static_cast<uint32_t>(i + bit)); });
  }
#endif
  for (; i < units && text[i]; ++i)
    if (text[i] == L'<') m_Lt.push_back(static_cast<uint32_t>(i));
  m_End = i;
}

void CWXMLIndex::Tokenize(const wchar_t* text) { TokenizeText(text); }

void CWXMLIndex::Tokenize(const unsigned char* text) { TokenizeText(text); }

template <typename Char>
void CWXMLIndex::TokenizeText(const Char* text) {
  const size_t count = m_Lt.size();
  m_Len.assign(count, -1);
  m_Close.assign(count, 0);
  m_Next.assign(count, -1);
  m_Answer.assign(count, -1);
  std::vector<int32_t> below(count);  // the open beneath each open on its name's stack
  std::vector<int32_t> last, top;     // per name: latest entry, innermost unclosed open
  NameTable<Char> names(text);

  // Forward: tokens, same-name chains, and each open's matching close (kept
  // in m_Answer until the backward pass).
  for (size_t k = 0; k < count; ++k) {
    size_t p = m_Lt[k] + 1;
    uint8_t close = 0;
    if (p < m_End && text[p] == '/') {
      close = 1;
      ++p;
    }
    const size_t start = p;
    uint32_t hash = 2166136261u;
    for (; p < m_End; ++p) {
      Char c = text[p];
      if (c == ' ' || c == '>' || c == '<') break;
      hash = (hash ^ static_cast<uint32_t>(c)) * 16777619u;
    }
    if (p >= m_End || text[p] == '<' || (close && text[p] != '>')) continue;
    const auto len = static_cast<int32_t>(p - start);
    const int32_t id = names.Intern(hash, static_cast<uint32_t>(start), len);
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
