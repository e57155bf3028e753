// The XML writer: appends a tree as text with tab indentation and CR LF line
// ends, in wide form (4-byte units) or 8-bit form (one byte per character).
//
// Neither form appends each piece on its own as the reference writer
// (internal/writer_reference.h) does: the text is written into one buffer
// and handed to the caller's block with the block state (capacity, length,
// data) the reference writer's appends would have left:
// - Wide form: each piece would be one AddData, whose growth (length + size +
//   8192 bytes when full) shows in the block's capacity. The walk replays
//   that arithmetic per piece and writes into the block's own spare room
//   while no append would have grown the block; one AddData of that room (no
//   copy) then sets the length. When an append would have grown it, a sizing
//   walk measures the text and its growths, SetSize takes storage of exactly
//   the capacity the appends would end with, the text is written straight
//   into it, and SetSize sets the length (leaving the spare room zero, where
//   AddData leaves it uncleared). Only a block whose length is not a whole
//   number of units takes the text into a buffer of its own, handed over
//   with two AddData calls (up to the last growth, then the rest).
// - 8-bit form: one byte per wide character, reserved with SetSize and
//   holding the character's one-byte form in the locale's encoding, or '?'
//   for a character whose form takes more than one byte or that has none
//   (the reference writer converts character by character with
//   WideCharToMultiByte). In UTF-8 and ASCII locales the walk narrows ASCII
//   runs in vector steps; in others each character is converted on its own.
// An allocation failure stops the walk; the text written up to there is
// handed over as the reference writer would have kept it (where the
// storage of a growing block cannot be had at once, nothing is appended).
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "cwbase/core/internal/simd.h"
#include "cwbase/text/encoding.h"
#include "cwbase/text/internal/codeset.h"
#include "cwbase/text/internal/utf8_kernels.h"
#include "cwbase/xml/xmlnode.h"

namespace {

using cwbase_internal::Codeset;

// The per-piece appends are the writer's inner loop: keep them inline.
#define CWBASE_INLINE inline __attribute__((always_inline))

const wchar_t kDeclaration[] = L"<?xml version=\"1.0\"?>\r\n";
constexpr unsigned long kDeclarationLength = 23;

// Pieces from this many units on are narrowed by the vector level's kernel
// (a call through its table costs more than it saves on shorter ones).
constexpr size_t kLongPiece = 64;

// Spare room AddData adds whenever it has to grow the storage, in units.
constexpr size_t kSpareUnits = 8192 / sizeof(wchar_t);

// A fixed piece of the layout in both forms.
struct Literal {
  const wchar_t* wide;
  const char* narrow;
  size_t length;
};
constexpr Literal kOpen{L"<", "<", 1}, kSpace{L" ", " ", 1}, kEquals{L"=", "=", 1},
    kQuote{L"\"", "\"", 1}, kClose{L">", ">", 1}, kEndOpen{L"</", "</", 2},
    kEndClose{L">\r\n", ">\r\n", 3}, kSelfClose{L"/>\r\n", "/>\r\n", 4}, kBreak{L"\r\n", "\r\n", 2};

inline size_t Length(const wchar_t* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

// A growable buffer of T, replaced by a larger one (at least twice the size)
// when full; new[] so that failure throws std::bad_alloc.
template <typename T>
struct Scratch {
  std::unique_ptr<T[]> data;
  size_t capacity = 0;
  // Room for `needed` units, keeping the first `keep` of `from`.
  T* Reserve(size_t needed, const T* from, size_t keep) {
    size_t size = capacity * 2 > needed ? capacity * 2 : needed;
    if (size < 4096) size = 4096;
    std::unique_ptr<T[]> fresh(new T[size]);
    if (keep) std::memcpy(fresh.get(), from, keep * sizeof(T));
    data = std::move(fresh);
    capacity = size;
    return data.get();
  }
};

// The growth AddData would show, replayed per piece: the units after which
// the next append grows the block, and where the last such append ended.
struct GrowthReplay {
  size_t m_GrowAt;
  bool m_Grown = false;
  size_t m_GrownEnd = 0;
  void Piece(size_t end) {
    if (end > m_GrowAt) {
      m_Grown = true;
      m_GrownEnd = end;
      m_GrowAt = end + kSpareUnits;
    }
  }
};

// Units an append may add to the block before AddData would grow it.
size_t RoomBeforeGrowth(CWBlock& block) {
  return (block.GetCapacity() - block.GetSize()) / sizeof(wchar_t);
}

// Wide form, first try: into the block's spare room while no append would
// have grown the block. An append that would grows it throws Overflow when
// the block can be sized at once instead (see SaveToXMLStream); when it
// cannot (a length that leaves the spare room misaligned for wide units),
// the text moves to a buffer of its own and Finish replays the appends.
// Also the writer into storage sized in advance (`fixed`).
class WideSink {
 public:
  struct Overflow {};

  explicit WideSink(CWBlock& block) : m_Block(block), m_Replay{RoomBeforeGrowth(block)} {
    const unsigned long length = block.GetSize();
    auto* spare = static_cast<unsigned char*>(block.GetBuffer());
    m_Resizable = length % alignof(wchar_t) == 0;
    if (spare && m_Resizable && m_Replay.m_GrowAt > 0) {
      m_Base = reinterpret_cast<wchar_t*>(spare + length);
      m_Room = m_Replay.m_GrowAt;
    }
    m_Limit = m_Room;
  }

  WideSink(CWBlock& block, wchar_t* base, size_t room)
      : m_Block(block), m_Base(base), m_Room(room), m_Limit(room), m_Replay{room}, m_Fixed(true) {}

  CWBASE_INLINE void Put(const wchar_t* text, size_t n) {
    if (n == 0) return;  // AddData refuses an empty piece
    if (m_Pos + n > m_Limit) Slow(n);
    if (n <= 8) {
      for (size_t k = 0; k < n; ++k) m_Base[m_Pos + k] = text[k];
    } else {
      std::memcpy(m_Base + m_Pos, text, n * sizeof(wchar_t));
    }
    m_Pos += n;
  }
  CWBASE_INLINE void Put(const Literal& l) { Put(l.wide, l.length); }
  CWBASE_INLINE void Put(const wchar_t* text) { Put(text, Length(text)); }

  // Each tab is a piece of its own.
  void Tabs(long depth) {
    if (depth <= 0) return;
    auto n = static_cast<size_t>(depth);
    if (m_Pos + n > m_Limit) {
      for (size_t k = 0; k < n; ++k) Put(L"\t", 1);
      return;
    }
    for (size_t k = 0; k < n; ++k) m_Base[m_Pos + k] = L'\t';
    m_Pos += n;
  }

  size_t Units() const { return m_Pos; }

  // Hands the text to the block as the appends would have left it.
  void Finish() {
    if (m_Pos == 0) return;
    if (!m_Replay.m_Grown) {
      // No append would have grown the block: all of it fits.
      m_Block.AddData(m_Base, static_cast<unsigned long>(m_Pos * sizeof(wchar_t)));
      return;
    }
    // Up to the last growth in one append, which grows the block to exactly
    // that length + 8192; the rest fits after it.
    m_Block.AddData(m_Base, static_cast<unsigned long>(m_Replay.m_GrownEnd * sizeof(wchar_t)));
    if (m_Pos > m_Replay.m_GrownEnd)
      m_Block.AddData(m_Base + m_Replay.m_GrownEnd,
                      static_cast<unsigned long>((m_Pos - m_Replay.m_GrownEnd) * sizeof(wchar_t)));
  }

 private:
  // Makes room first (which may fail: the piece is then not written), then
  // records the growth this append would have caused.
  __attribute__((noinline)) void Slow(size_t n) {
    const size_t end = m_Pos + n;
    if (m_Fixed) throw std::bad_alloc();  // more than was sized: never expected
    if (m_Resizable && end > m_Replay.m_GrowAt) throw Overflow{};
    if (end > m_Room) {
      m_Base = m_Scratch.Reserve(end, m_Base, m_Pos);
      m_Room = m_Scratch.capacity;
    }
    m_Replay.Piece(end);
    m_Limit = m_Replay.m_GrowAt < m_Room ? m_Replay.m_GrowAt : m_Room;
  }

  CWBlock& m_Block;
  wchar_t* m_Base = nullptr;
  size_t m_Pos = 0, m_Room = 0, m_Limit = 0;
  GrowthReplay m_Replay;
  bool m_Resizable = false, m_Fixed = false;
  Scratch<wchar_t> m_Scratch;
};

// Wide form, sizing walk: the units of the text and the growth the appends
// would show, nothing written.
struct CountSink {
  GrowthReplay replay;
  size_t pos = 0;
  void Put(const wchar_t*, size_t n) {
    if (n == 0) return;
    pos += n;
    replay.Piece(pos);
  }
  void Put(const Literal& l) { Put(l.wide, l.length); }
  void Put(const wchar_t* text) { Put(text, Length(text)); }
  void Tabs(long depth) {
    if (depth <= 0) return;
    auto n = static_cast<size_t>(depth);
    if (pos + n <= replay.m_GrowAt) {
      pos += n;
      return;
    }
    for (size_t k = 0; k < n; ++k) Put(L"\t", 1);
  }
};

// The byte a character takes in the 8-bit form: its form in the locale's
// encoding when that is exactly one byte, '?' for a character that needs
// more or has none, so every character keeps its one reserved byte.
char OneByteForm(Codeset codeset, wchar_t c) {
  char bytes[cwbase_internal::kMaxMultiByte + MB_LEN_MAX + 1];
  int len;
  if (codeset == Codeset::kOther) {
    const wchar_t one[2] = {c, 0};
    int usedDefault = 0;
    len =
        WideCharToMultiByte(0, 0, one, 1, bytes, static_cast<int>(sizeof(bytes)), "", &usedDefault);
  } else {
    // wchar_t is a signed 32-bit type: a negative unit becomes a large code.
    const auto code = static_cast<uint32_t>(c);  // NOLINT(bugprone-signed-char-misuse)
    len = cwbase_internal::EncodeMultiByte(codeset, code, reinterpret_cast<unsigned char*>(bytes));
  }
  return len == 1 ? bytes[0] : '?';
}

// 8-bit form: one byte per character (OneByteForm), written as the walk goes
// into the block's spare room while it fits, else into a buffer of its own.
// In UTF-8 locales every piece is narrowed sixteen characters at a time
// ('?' for all but ASCII); in the ASCII locale runs of ASCII characters
// are.
class NarrowSink {
 public:
  NarrowSink(CWBlock& block, Codeset codeset) : m_Codeset(codeset) {
    const unsigned long length = block.GetSize(), capacity = block.GetCapacity();
    if (auto* storage = static_cast<char*>(block.GetBuffer())) {
      m_Base = storage + length;
      m_Room = capacity - length;
      m_InBlock = true;
    }
  }

  // A piece whose room cannot be had is dropped entirely, as the wide text
  // would not have received it.
  CWBASE_INLINE void Put(const wchar_t* text, size_t n) {
    if (m_Pos + n > m_Room) Reserve(m_Pos + n);
    char* out = m_Base + m_Pos;
    if (m_Codeset == Codeset::kUtf8) {
      PutUtf8(text, n, out);
    } else {
      size_t i = m_Codeset == Codeset::kOther ? 0 : cwbase_internal::NarrowAsciiRun(text, n, out);
      if (i < n) PutOthers(text, n, out, i);
    }
    m_Pos += n;
  }
  CWBASE_INLINE void Put(const Literal& l) {
    if (m_Pos + l.length > m_Room) Reserve(m_Pos + l.length);
    for (size_t k = 0; k < l.length; ++k) m_Base[m_Pos + k] = l.narrow[k];
    m_Pos += l.length;
  }
  CWBASE_INLINE void Put(const wchar_t* text) { Put(text, Length(text)); }
  void Tabs(long depth) {
    if (depth <= 0) return;
    auto n = static_cast<size_t>(depth);
    if (m_Pos + n > m_Room) Reserve(m_Pos + n);
    std::memset(m_Base + m_Pos, '\t', n);
    m_Pos += n;
  }

  // Reserves the one byte per character in the block (SetSize) and puts the
  // text there, unless it was written there already.
  void Finish(CWBlock& block) {
    if (m_Pos == 0) return;
    const unsigned long m = block.GetSize();
    // Within the capacity SetSize keeps the bytes below the new length; when
    // it grows, it copies the whole old storage. Either way text written in
    // the block's spare room stays where it is.
    char* out = static_cast<char*>(block.SetSize(m + static_cast<unsigned long>(m_Pos))) + m;
    if (!m_InBlock) std::memcpy(out, m_Base, m_Pos);
  }

 private:
  // UTF-8 has one-byte forms for ASCII only: every other character is '?'.
  static CWBASE_INLINE void PutUtf8(const wchar_t* text, size_t n, char* out) {
    size_t i = 0;
    // Long pieces through the widest kernel the processor has.
    if (n >= kLongPiece) i = cwbase_internal::NarrowAsciiOrBlocks(text, n, '?', out);
#if defined(CWBASE_SIMD_SSE2)
    for (; i + 16 <= n; i += 16) cwbase_internal::simd::NarrowAsciiOr16(text + i, out + i, '?');
#endif
    for (; i < n; ++i) {
      const auto c = static_cast<uint32_t>(text[i]);  // NOLINT(bugprone-signed-char-misuse)
      out[i] = c < 0x80 ? static_cast<char>(c) : '?';
    }
  }

  // The characters of text[i, n) into out[i, n): ASCII runs in one step
  // (in the ASCII locale), every other character on its own.
  __attribute__((noinline)) void PutOthers(const wchar_t* text, size_t n, char* out,
                                           size_t i) const {
    while (i < n) {
      out[i] = OneByteForm(m_Codeset, text[i]);
      ++i;
      if (m_Codeset != Codeset::kOther)
        i += cwbase_internal::NarrowAsciiRun(text + i, n - i, out + i);
    }
  }

  __attribute__((noinline)) void Reserve(size_t needed) {
    m_Base = m_Scratch.Reserve(needed, m_Base, m_Pos);
    m_Room = m_Scratch.capacity;
    m_InBlock = false;
  }

  Codeset m_Codeset;
  char* m_Base = nullptr;
  size_t m_Pos = 0, m_Room = 0;
  bool m_InBlock = false;
  Scratch<char> m_Scratch;
};

// Writes one element and its subtree; allocation failures propagate so the
// whole write stops where it failed.
template <typename Sink>
void WriteElement(CWXMLNode& node, Sink& out, long depth) {
  if (!node.m_pName) return;
  const size_t nameLength = Length(node.m_pName);
  out.Tabs(depth);
  out.Put(kOpen);
  out.Put(node.m_pName, nameLength);
  void** props = node.m_Props.GetMemPtr();
  for (int i = 0, count = node.m_Props.GetSize(); i < count; ++i) {
    auto* prop = static_cast<CWXMLProp*>(props[i]);
    if (!prop || !prop->m_pName || !prop->m_pValue) continue;
    out.Put(kSpace);
    out.Put(prop->m_pName);
    out.Put(kEquals);
    const wchar_t* value = prop->m_pValue;
    size_t length = 0;
    bool quote = false;
    for (; value[length]; ++length) quote |= value[length] == L' ';
    if (quote) out.Put(kQuote);
    out.Put(value, length);
    if (quote) out.Put(kQuote);
  }
  const wchar_t* value = node.m_pValue;
  void** children = node.m_Children.GetMemPtr();
  const int childCount = node.m_Children.GetSize();
  if (!value && childCount == 0) {
    out.Put(kSelfClose);
    return;
  }
  out.Put(kClose);
  if (value && *value) {
    size_t length = wcslen(value);
    if (length > 32) {
      out.Put(kBreak);
      out.Tabs(depth + 1);
      out.Put(value, length);
      out.Put(kBreak);
      out.Tabs(depth);
    } else {
      out.Put(value, length);
    }
  } else if (childCount > 0) {
    out.Put(kBreak);
    for (int i = 0; i < childCount; ++i)
      if (auto* child = static_cast<CWXMLNode*>(children[i])) WriteElement(*child, out, depth + 1);
    out.Tabs(depth);
  }
  out.Put(kEndOpen);
  out.Put(node.m_pName, nameLength);
  out.Put(kEndClose);
}

}  // namespace

int CWXMLNode::SaveToXMLStream(CWBlock& block, long depth) {
  try {
    {
      WideSink out(block);
      try {
        WriteElement(*this, out, depth);
        out.Finish();
        return 0;
      } catch (const WideSink::Overflow&) {
        // the appends would grow the block: size it at once, below
      } catch (const std::bad_alloc&) {
        // keep what was written, as the appends would have
        out.Finish();
        return 0;
      }
    }
    // Measure the text and the growth the appends would show, take storage of
    // exactly the capacity they would end with (SetSize keeps the data), write
    // the text straight into it and set the length; the spare room is zero.
    CountSink count{GrowthReplay{RoomBeforeGrowth(block)}};
    WriteElement(*this, count, depth);
    const unsigned long length = block.GetSize();
    const auto units = static_cast<unsigned long>(count.pos), grownEnd = count.replay.m_GrownEnd;
    auto* storage = static_cast<unsigned char*>(
        block.SetSize(length + (grownEnd * sizeof(wchar_t) + kSpareUnits * sizeof(wchar_t))));
    WideSink direct(block, reinterpret_cast<wchar_t*>(storage + length), units);
    try {
      WriteElement(*this, direct, depth);
    } catch (const std::bad_alloc&) {
    }
    block.SetSize(length + static_cast<unsigned long>(direct.Units() * sizeof(wchar_t)));
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

int CWXMLNode::SaveToXMLStreamAscii(CWBlock& block, long depth) {
  if (!m_pName) return 0;
  try {
    NarrowSink out(block, cwbase_internal::CurrentCodeset());
    try {
      WriteElement(*this, out, depth);
    } catch (const std::bad_alloc&) {
      // keep what was written, as the wide form keeps what it appended
    }
    out.Finish(block);
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

int CWXMLDocument::SaveToXMLStream(CWBlock& block, long depth) {
  block.AddData(const_cast<wchar_t*>(kDeclaration), kDeclarationLength * sizeof(wchar_t));
  return CWXMLNode::SaveToXMLStream(block, depth);
}

int CWXMLDocument::SaveToXMLStreamAscii(CWBlock& block, long depth) {
  block.AddData(const_cast<char*>("<?xml version=\"1.0\"?>\r\n"), kDeclarationLength);
  return CWXMLNode::SaveToXMLStreamAscii(block, depth);
}
