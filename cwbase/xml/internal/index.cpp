// XmlIndex: one pass over the text for its "<"s, one pass over the "<"s for
// their tokens. See index.h for what the index answers and why.
#include "cwbase/xml/internal/index.h"

#include <array>
#include <cstring>

#include "cwbase/core/internal/simd.h"
#include "cwbase/xml/internal/scan.h"

namespace cwbase_internal {

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

#if defined(CWBASE_SIMD_SSE2)

constexpr std::array<uint8_t, 256> MakeBitCounts() {
  std::array<uint8_t, 256> counts{};
  for (unsigned x = 1; x < 256; ++x) counts[x] = static_cast<uint8_t>(counts[x / 2] + (x & 1));
  return counts;
}

// Number of bits set in each byte value.
constexpr std::array<uint8_t, 256> kBitCounts = MakeBitCounts();

// Number of bits set in a 16-bit mask.
unsigned Count16(unsigned x) {
  return kBitCounts[x & 0xFFu] + kBitCounts[x >> 8];
}

#endif

// Bits of a 16-bit mask, lowest first.
template <typename Fn>
void ForEachBit(unsigned mask, Fn fn) {
  while (mask) {
    fn(simd::FirstBit(mask));
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

// Names of 8-bit text of at most 16 bytes, keyed by the bytes themselves
// (zero-padded, as two 64-bit words), so that a lookup is two compares.
class ShortNames {
 public:
  explicit ShortNames(int32_t& count) : m_Slots(64), m_Count(count) {}

  // The name of `len` <= 16 bytes at `start`; `size` bytes may be read.
  int32_t Intern(const unsigned char* text, size_t start, int32_t len, size_t size) {
    uint64_t key[2] = {0, 0};
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (start + 16 <= size) {
      // Whole words, the bytes past the name cleared (the low bytes come first).
      std::memcpy(key, text + start, 16);
      const auto bits = static_cast<unsigned>(len) * 8;
      if (bits < 64) {
        key[0] &= (uint64_t{1} << bits) - 1;
        key[1] = 0;
      } else if (bits < 128) {
        key[1] &= (uint64_t{1} << (bits - 64)) - 1;
      }
    } else
#endif
    {
      std::memcpy(key, text + start, static_cast<size_t>(len));
    }
    static_cast<void>(size);
    const auto hash =
        static_cast<size_t>((key[0] * 0x9E3779B97F4A7C15ull ^ key[1] * 0xC2B2AE3D27D4EB4Full ^
                             static_cast<uint64_t>(len)) >>
                            32);
    size_t mask = m_Slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& s = m_Slots[i];
      if (s.id < 0) {
        const int32_t id = m_Count++;
        s = Slot{{key[0], key[1]}, hash, len, id};
        if (2 * ++m_Used > m_Slots.size()) Grow();  // `s` dies here
        return id;
      }
      if (s.len == len && s.key[0] == key[0] && s.key[1] == key[1]) return s.id;
    }
  }

 private:
  struct Slot {
    uint64_t key[2] = {0, 0};
    size_t hash = 0;
    int32_t len = 0;
    int32_t id = -1;
  };

  void Grow() {
    GrowTable(m_Slots);
  }

  std::vector<Slot> m_Slots;
  int32_t& m_Count;
  size_t m_Used = 0;
};

}  // namespace

// Reads the token after each "<" as the scan meets it, while its units are in
// the caches, and pairs the opens and closes of each name like brackets: each
// open keeps its matching close in `answer` until Finish.
template <typename Char>
class XmlIndex::Tokenizer {
 public:
  Tokenizer(XmlIndex& index, const Char* text, size_t size)
      : m_Index(index), m_Text(text), m_Size(size), m_Names(text, m_Ids), m_Short(m_Ids) {}

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
    p = XmlSearch<kXmlNameEnd>(m_Text, p, m_Size, m_Size);
    if (p >= m_Size) return;
    const Char after = m_Text[p];
    if (after == '<' || after == 0 || (close && after != '>')) return;
    const auto len = static_cast<int32_t>(p - start);
    int32_t id;
    if (sizeof(Char) == 1 && len <= 16) {
      id = m_Short.Intern(reinterpret_cast<const unsigned char*>(m_Text), start, len, m_Size);
    } else {
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
  XmlIndex& m_Index;
  const Char* m_Text;
  size_t m_Size;
  int32_t m_Ids = 0;  // names numbered so far, by either table
  NameTable<Char> m_Names;
  ShortNames m_Short;
  std::vector<int32_t> m_Last, m_Top;  // per name: latest entry, innermost unclosed open
};

template <typename Char>
bool XmlIndex::Build(const Char* text, size_t units) {
  m_Lt.clear();
  m_Tokens.clear();
  m_Lt.reserve(units / 64 + 16);
  m_Tokens.reserve(units / 64 + 16);
  m_Equals = 0;
  Tokenizer<Char> tokens(*this, text, units);
  size_t i = 0;
#if defined(CWBASE_SIMD_SSE2)
  for (; i + 16 <= units; i += 16) {
    const simd::Vec v = XmlLoad16(text + i);
    // A zero unit, or in 8-bit text a byte of 0x80 and above: left to the
    // unit-wise tail.
    unsigned stop = simd::EqMask(v, 0);
    if (sizeof(Char) == 1) stop |= simd::HighMask(v);
    if (stop) break;
    ForEachBit(simd::EqMask(v, '<'), [&](unsigned bit) { tokens.Add(i + bit); });
    if (unsigned eqs = simd::EqMask(v, '=')) m_Equals += Count16(eqs);
  }
#endif
  for (; i < units && text[i]; ++i) {
    if (sizeof(Char) == 1 && static_cast<uint32_t>(text[i]) >= 0x80) return false;
    if (text[i] == '<') tokens.Add(i);
    if (text[i] == '=') ++m_Equals;
  }
  m_End = i;
  tokens.Finish();
  return true;
}

bool XmlIndex::IndexAscii(const unsigned char* text, size_t n) {
  return Build(text, n);
}

void XmlIndex::IndexWide(const wchar_t* text, size_t units) {
  Build(text, units);
}

int32_t XmlIndex::EndTag(size_t e, size_t content, size_t limit) const {
  int32_t k = m_Tokens[e].next;
  while (k >= 0 && m_Lt[k] < content) k = m_Tokens[k].next;  // same-name "<"s inside the start tag
  if (k < 0) return -1;
  int32_t r = m_Tokens[k].answer;
  return r >= 0 && m_Lt[r] < limit ? r : -1;
}

}  // namespace cwbase_internal
