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
// - 8-bit form: one byte per wide character is reserved with SetSize and
//   filled with what WideCharToMultiByte would write there (the converted
//   text, cut after the last whole character that fits, then zeros). In UTF-8
//   and ASCII locales the walk writes the 8-bit text directly (the same rules
//   as the conversion, from text/internal/codeset.h); in every other locale it
//   builds the wide text and converts it as a whole.
// An allocation failure stops the walk; the text written up to there is
// handed over as the reference writer would have kept it (where the
// storage of a growing block cannot be had at once, nothing is appended).
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "cwbase/text/encoding.h"
#include "cwbase/text/internal/codeset.h"
#include "cwbase/xml/xmlnode.h"

namespace {

using cwbase_internal::Codeset;

// The per-piece appends are the writer's inner loop: keep them inline.
#define CW_INLINE inline __attribute__((always_inline))

const wchar_t kDeclaration[] = L"<?xml version=\"1.0\"?>\r\n";
constexpr unsigned long kDeclarationLength = 23;

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
  size_t grow_at;
  bool grown = false;
  size_t grown_end = 0;
  void Piece(size_t end) {
    if (end > grow_at) {
      grown = true;
      grown_end = end;
      grow_at = end + kSpareUnits;
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

  explicit WideSink(CWBlock& block) : block_(block), replay_{RoomBeforeGrowth(block)} {
    const unsigned long length = block.GetSize();
    auto* spare = static_cast<unsigned char*>(block.GetBuffer());
    resizable_ = length % alignof(wchar_t) == 0;
    if (spare && resizable_ && replay_.grow_at > 0) {
      base_ = reinterpret_cast<wchar_t*>(spare + length);
      room_ = replay_.grow_at;
    }
    limit_ = room_;
  }

  WideSink(CWBlock& block, wchar_t* base, size_t room)
      : block_(block), base_(base), room_(room), limit_(room), replay_{room}, fixed_(true) {}

  CW_INLINE void Put(const wchar_t* text, size_t n) {
    if (n == 0) return;  // AddData refuses an empty piece
    if (pos_ + n > limit_) Slow(n);
    if (n <= 8) {
      for (size_t k = 0; k < n; ++k) base_[pos_ + k] = text[k];
    } else {
      std::memcpy(base_ + pos_, text, n * sizeof(wchar_t));
    }
    pos_ += n;
  }
  CW_INLINE void Put(const Literal& l) { Put(l.wide, l.length); }
  CW_INLINE void Put(const wchar_t* text) { Put(text, Length(text)); }

  // Each tab is a piece of its own.
  void Tabs(long depth) {
    if (depth <= 0) return;
    auto n = static_cast<size_t>(depth);
    if (pos_ + n > limit_) {
      for (size_t k = 0; k < n; ++k) Put(L"\t", 1);
      return;
    }
    for (size_t k = 0; k < n; ++k) base_[pos_ + k] = L'\t';
    pos_ += n;
  }

  size_t Units() const { return pos_; }

  // Hands the text to the block as the appends would have left it.
  void Finish() {
    if (pos_ == 0) return;
    if (!replay_.grown) {
      // No append would have grown the block: all of it fits.
      block_.AddData(base_, static_cast<unsigned long>(pos_ * sizeof(wchar_t)));
      return;
    }
    // Up to the last growth in one append, which grows the block to exactly
    // that length + 8192; the rest fits after it.
    block_.AddData(base_, static_cast<unsigned long>(replay_.grown_end * sizeof(wchar_t)));
    if (pos_ > replay_.grown_end)
      block_.AddData(base_ + replay_.grown_end,
                     static_cast<unsigned long>((pos_ - replay_.grown_end) * sizeof(wchar_t)));
  }

 private:
  // Makes room first (which may fail: the piece is then not written), then
  // records the growth this append would have caused.
  __attribute__((noinline)) void Slow(size_t n) {
    const size_t end = pos_ + n;
    if (fixed_) throw std::bad_alloc();  // more than was sized: never expected
    if (resizable_ && end > replay_.grow_at) throw Overflow{};
    if (end > room_) {
      base_ = scratch_.Reserve(end, base_, pos_);
      room_ = scratch_.capacity;
    }
    replay_.Piece(end);
    limit_ = replay_.grow_at < room_ ? replay_.grow_at : room_;
  }

  CWBlock& block_;
  wchar_t* base_ = nullptr;
  size_t pos_ = 0, room_ = 0, limit_ = 0;
  GrowthReplay replay_;
  bool resizable_ = false, fixed_ = false;
  Scratch<wchar_t> scratch_;
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
    if (pos + n <= replay.grow_at) {
      pos += n;
      return;
    }
    for (size_t k = 0; k < n; ++k) Put(L"\t", 1);
  }
};

// The wide text whole, for the conversion in other locales.
struct StringSink {
  std::wstring text;
  void Put(const wchar_t* piece, size_t n) { text.append(piece, n); }
  void Put(const Literal& l) { text.append(l.wide, l.length); }
  void Put(const wchar_t* piece) { text.append(piece); }
  void Tabs(long depth) {
    if (depth > 0) text.append(static_cast<size_t>(depth), L'\t');
  }
};

// 8-bit form in a UTF-8 or ASCII locale: the bytes WideCharToMultiByte would
// write for the text, converted as it is written, and the count of wide
// characters. After a character the locale has no form for, the conversion
// would have failed there: only characters are counted from then on.
class NarrowSink {
 public:
  NarrowSink(CWBlock& block, Codeset codeset) : codeset_(codeset) {
    const unsigned long length = block.GetSize(), capacity = block.GetCapacity();
    if (auto* storage = static_cast<char*>(block.GetBuffer())) {
      base_ = storage + length;
      room_ = capacity - length;
      in_block_ = true;
    }
  }

  // A piece is counted once it is written whole: one whose room cannot be
  // had is dropped entirely, as the wide text would not have received it.
  CW_INLINE void Put(const wchar_t* text, size_t n) {
    if (!failed_) {
      if (pos_ + n > room_) Reserve(pos_ + n);
      const size_t start = pos_;
      size_t k = cwbase_internal::NarrowAsciiRun(text, n, base_ + pos_);
      pos_ += k;
      if (k < n) {
        try {
          PutOthers(text + k, n - k);
        } catch (const std::bad_alloc&) {
          pos_ = start;
          throw;
        }
      }
    }
    chars_ += n;
  }
  CW_INLINE void Put(const Literal& l) {
    if (!failed_) {
      if (pos_ + l.length > room_) Reserve(pos_ + l.length);
      for (size_t k = 0; k < l.length; ++k) base_[pos_ + k] = l.narrow[k];
      pos_ += l.length;
    }
    chars_ += l.length;
  }
  CW_INLINE void Put(const wchar_t* text) { Put(text, Length(text)); }
  void Tabs(long depth) {
    if (depth <= 0) return;
    auto n = static_cast<size_t>(depth);
    if (!failed_) {
      if (pos_ + n > room_) Reserve(pos_ + n);
      std::memset(base_ + pos_, '\t', n);
      pos_ += n;
    }
    chars_ += n;
  }

  size_t Chars() const { return chars_; }

  // Reserves one byte per character in the block (SetSize) and fills them as
  // the conversion with that limit would: the bytes of the whole characters
  // that fit, then zeros.
  void Finish(CWBlock& block) {
    const size_t n = chars_;
    if (n == 0) return;
    // The conversion's limit: the size passed (n as an int), compared as an
    // unsigned number with the length + 1.
    size_t limit = static_cast<unsigned>(static_cast<int>(n));
    if (limit > n + 1) limit = n + 1;
    size_t cut = pos_;  // the bytes converted before a failure, or all
    if (cut > limit) {
      cut = limit;  // back to the start of the character that does not fit
      while (cut > 0 && (static_cast<unsigned char>(base_[cut]) & 0xC0) == 0x80) --cut;
    }
    const unsigned long m = block.GetSize();
    // Within the capacity SetSize keeps the bytes below the new length; when
    // it grows, it copies the whole old storage. Either way text written in
    // the block's spare room stays where it is.
    char* out = static_cast<char*>(block.SetSize(m + static_cast<unsigned long>(n))) + m;
    if (!in_block_ && cut) std::memcpy(out, base_, cut);
    std::memset(out + cut, 0, n - cut);
  }

 private:
  __attribute__((noinline)) void PutOthers(const wchar_t* text, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      // wchar_t is a signed 32-bit type: a negative unit becomes a large code.
      const auto c = static_cast<uint32_t>(text[i]);  // NOLINT(bugprone-signed-char-misuse)
      if (c < 0x80) {                                 // room for it was made with the piece's
        base_[pos_++] = static_cast<char>(c);
        continue;
      }
      unsigned char bytes[cwbase_internal::kMaxMultiByte];
      int len = cwbase_internal::EncodeMultiByte(codeset_, c, bytes);
      if (len < 0) {
        failed_ = true;
        return;
      }
      // Room for this character and one byte for each that follows.
      if (pos_ + static_cast<size_t>(len) + (n - i - 1) > room_)
        Reserve(pos_ + static_cast<size_t>(len) + (n - i - 1));
      std::memcpy(base_ + pos_, bytes, static_cast<size_t>(len));
      pos_ += static_cast<size_t>(len);
    }
  }

  __attribute__((noinline)) void Reserve(size_t needed) {
    base_ = scratch_.Reserve(needed, base_, pos_);
    room_ = scratch_.capacity;
    in_block_ = false;
  }

  Codeset codeset_;
  char* base_ = nullptr;
  size_t pos_ = 0, room_ = 0, chars_ = 0;
  bool in_block_ = false, failed_ = false;
  Scratch<char> scratch_;
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
    const auto units = static_cast<unsigned long>(count.pos), grownEnd = count.replay.grown_end;
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
    const Codeset codeset = cwbase_internal::CurrentCodeset();
    if (codeset != Codeset::kOther) {
      NarrowSink out(block, codeset);
      try {
        WriteElement(*this, out, depth);
      } catch (const std::bad_alloc&) {
        // convert what was written
      }
      out.Finish(block);
      return 0;
    }
    // The whole wide text first, then one conversion into the reserved bytes.
    StringSink sink;
    try {
      WriteElement(*this, sink, depth);
    } catch (const std::bad_alloc&) {
      // convert what was written, as the wide form keeps what it appended
    }
    const std::wstring& wide = sink.text;
    auto n = static_cast<unsigned long>(wide.size());
    if (n == 0) return 0;
    unsigned long m = block.GetSize();
    // One byte per character; bytes the conversion leaves unwritten are zero.
    auto* out = static_cast<char*>(block.SetSize(m + n)) + m;
    memset(out, 0, n);
    int usedDefault = 0;
    WideCharToMultiByte(0, 0, wide.c_str(), static_cast<int>(n), out, static_cast<int>(n), "",
                        &usedDefault);
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
