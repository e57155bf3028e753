// Differential test of the XML writer: random trees written into blocks of
// every starting length and capacity, compared with a plain writer kept here
// that appends every piece with its own AddData (wide form) or converts the
// whole wide text with WideCharToMultiByte (8-bit form). Compared: length,
// capacity and data bytes; for the 8-bit form the whole storage.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "cwbase/text/encoding.h"
#include "cwbase/xml/xmlnode.h"

namespace {

// ---- The plain writer.

struct RefBlockSink {
  CWBlock& block;
  void Put(const wchar_t* text, size_t units) {
    block.AddData(const_cast<wchar_t*>(text), static_cast<unsigned long>(units * sizeof(wchar_t)));
  }
};

struct RefStringSink {
  std::wstring& text;
  void Put(const wchar_t* piece, size_t units) { text.append(piece, units); }
};

template <typename Sink>
void RefElement(CWXMLNode& node, Sink& out, long depth) {
  if (!node.m_pName) return;
  auto put = [&](const wchar_t* s) { out.Put(s, wcslen(s)); };
  auto tabs = [&](long d) {
    for (long i = 0; i < d; ++i) out.Put(L"\t", 1);
  };
  tabs(depth);
  out.Put(L"<", 1);
  put(node.m_pName);
  for (int i = 0; i < node.m_Props.GetSize(); ++i) {
    auto* prop = static_cast<CWXMLProp*>(node.m_Props.GetAt(i));
    if (!prop || !prop->m_pName || !prop->m_pValue) continue;
    out.Put(L" ", 1);
    put(prop->m_pName);
    out.Put(L"=", 1);
    bool quote = wcschr(prop->m_pValue, L' ') != nullptr;
    if (quote) out.Put(L"\"", 1);
    put(prop->m_pValue);
    if (quote) out.Put(L"\"", 1);
  }
  const wchar_t* value = node.m_pValue;
  int children = node.m_Children.GetSize();
  if (!value && children == 0) {
    out.Put(L"/>\r\n", 4);
    return;
  }
  out.Put(L">", 1);
  if (value && *value) {
    size_t length = wcslen(value);
    if (length > 32) {
      out.Put(L"\r\n", 2);
      tabs(depth + 1);
      out.Put(value, length);
      out.Put(L"\r\n", 2);
      tabs(depth);
    } else {
      out.Put(value, length);
    }
  } else if (children > 0) {
    out.Put(L"\r\n", 2);
    for (int i = 0; i < children; ++i)
      if (auto* child = static_cast<CWXMLNode*>(node.m_Children.GetAt(i)))
        RefElement(*child, out, depth + 1);
    tabs(depth);
  }
  out.Put(L"</", 2);
  put(node.m_pName);
  out.Put(L">\r\n", 3);
}

void RefSaveWide(CWXMLNode& node, CWBlock& block, long depth) {
  RefBlockSink out{block};
  RefElement(node, out, depth);
}

void RefSaveAscii(CWXMLNode& node, CWBlock& block, long depth) {
  if (!node.m_pName) return;
  std::wstring wide;
  RefStringSink sink{wide};
  RefElement(node, sink, depth);
  auto n = static_cast<unsigned long>(wide.size());
  if (n == 0) return;
  unsigned long m = block.GetSize();
  auto* out = static_cast<char*>(block.SetSize(m + n)) + m;
  std::memset(out, 0, n);
  int usedDefault = 0;
  WideCharToMultiByte(0, 0, wide.c_str(), static_cast<int>(n), out, static_cast<int>(n), "",
                      &usedDefault);
}

// ---- Random trees.

struct Random {
  std::mt19937 gen{4242};
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(gen); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
};

// Mostly ASCII; sometimes characters of several UTF-8 lengths, ones no
// locale converts (surrogates, negative units) and ASCII's dropped tag
// characters.
std::wstring RandomText(Random& r, size_t maxLength, bool exotic) {
  static const size_t kLengths[] = {0, 1, 5, 31, 32, 33, 34};
  size_t n = r.OneIn(3) ? kLengths[r.Below(7)] : r.Below(static_cast<uint32_t>(maxLength) + 1);
  std::wstring s;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = 0x21 + r.Below(0x5E);
    if (r.OneIn(5)) c = ' ';
    if (exotic && r.OneIn(12)) {
      static const uint32_t kOthers[] = {0xE9,       0x20AC,  0x1F600, 0xD800,
                                         0xFFFFFFFF, 0xE0041, 0x7FF,   0x110000};
      c = kOthers[r.Below(8)];
    }
    s += static_cast<wchar_t>(c);
  }
  return s;
}

void Grow(Random& r, CWXMLNode& node, int level, bool exotic, int& budget) {
  if (!r.OneIn(12)) node.SetName(RandomText(r, 8, exotic && r.OneIn(4)).c_str());
  if (node.m_pName && !*node.m_pName) node.SetName(L"n");
  for (uint32_t k = r.Below(4); k > 0; --k) {
    if (r.OneIn(10)) {
      auto* half = new CWXMLProp;
      if (r.OneIn(2))
        half->SetName(L"half");
      else
        half->SetValue(L"x y");
      node.m_Props.Add(half);
    } else {
      std::wstring name = L"a" + std::to_wstring(r.Below(100));
      node.SetPropertyValue(name.c_str(), RandomText(r, 12, exotic).c_str());
    }
  }
  if (r.OneIn(3)) node.SetValue(RandomText(r, r.OneIn(4) ? 400 : 40, exotic).c_str());
  if (level >= 6) return;
  for (uint32_t k = r.Below(level < 2 ? 12 : 5); k > 0 && budget > 0; --k, --budget) {
    if (r.OneIn(15)) {
      node.m_Children.Add(nullptr);
      continue;
    }
    auto* child = new CWXMLNode(&node);
    node.m_Children.Add(child);
    Grow(r, *child, level + 1, exotic, budget);
  }
}

// A block holding `length` bytes of 'p' in storage of `capacity` bytes.
void Prepare(CWBlock& block, unsigned long capacity, unsigned long length) {
  block.Reset();
  if (capacity == 0) return;
  block.SetSize(capacity);
  std::memset(block.GetBuffer(), 'p', capacity);
  block.SetSize(length);
}

std::string Bytes(CWBlock& block, unsigned long count) {
  return std::string(static_cast<char*>(block.GetBuffer()), count);
}

// Writes `node` with both writers into blocks prepared alike and compares.
void Compare(CWXMLNode& node, long depth, unsigned long capacity, unsigned long length, bool wide,
             bool document) {
  CWBlock got, want;
  Prepare(got, capacity, length);
  Prepare(want, capacity, length);
  // Twice into the same block: the second write starts from what the first left.
  for (int round = 0; round < 2; ++round) {
    if (wide) {
      if (document) {
        static_cast<CWXMLDocument&>(node).SaveToXMLStream(got, depth);
        want.AddData(const_cast<wchar_t*>(L"<?xml version=\"1.0\"?>\r\n"), 23 * sizeof(wchar_t));
      } else {
        node.SaveToXMLStream(got, depth);
      }
      RefSaveWide(node, want, depth);
    } else {
      if (document) {
        static_cast<CWXMLDocument&>(node).SaveToXMLStreamAscii(got, depth);
        want.AddData(const_cast<char*>("<?xml version=\"1.0\"?>\r\n"), 23);
      } else {
        node.SaveToXMLStreamAscii(got, depth);
      }
      RefSaveAscii(node, want, depth);
    }
    ASSERT_EQ(got.GetSize(), want.GetSize()) << "capacity " << capacity << " length " << length;
    ASSERT_EQ(got.GetCapacity(), want.GetCapacity())
        << "capacity " << capacity << " length " << length;
    // AddData leaves its spare room uncleared; the 8-bit writer's SetSize
    // (when there is a root to write) zeroes it.
    unsigned long compared = wide || !node.m_pName ? want.GetSize() : want.GetCapacity();
    std::string a = Bytes(got, compared), b = Bytes(want, compared);
    size_t at = 0;
    while (at < compared && a[at] == b[at]) ++at;
    ASSERT_EQ(at, compared) << "first difference; capacity " << capacity << " length " << length
                            << (wide ? " wide" : " 8-bit") << " round " << round << " size "
                            << compared << "\n got: "
                            << ::testing::PrintToString(a.substr(at > 16 ? at - 16 : 0, 32))
                            << "\nwant: "
                            << ::testing::PrintToString(b.substr(at > 16 ? at - 16 : 0, 32));
  }
}

// Starting capacities around the sizes that matter: none, exact, just short
// of and just past the text, and the odd lengths that leave the spare room
// misaligned for wide units.
std::vector<std::pair<unsigned long, unsigned long>> Starts(Random& r, unsigned long text,
                                                            unsigned long declaration) {
  std::vector<std::pair<unsigned long, unsigned long>> out = {{0, 0}, {1, 1}, {16, 8}, {7, 3}};
  for (unsigned long length : {0ul, 5ul, 92ul}) {
    for (long delta = -3; delta <= 3; ++delta) {
      if (static_cast<long>(text) + delta >= 0) out.push_back({length + text + delta, length});
      out.push_back({length + text + declaration + 5 + delta, length});
    }
    out.push_back({length + text / 2, length});
    out.push_back({length + r.Below(static_cast<uint32_t>(2 * text + 2)), length});
  }
  return out;
}

void RunLocale(const char* locale, bool exotic, int trees) {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, locale)) GTEST_SKIP() << locale << " is not available";
  Random r;
  for (int t = 0; t < trees; ++t) {
    CWXMLDocument doc;
    // Now and then a large tree (growth several times over), or a few
    // elements so deep that one line of tabs passes the 8 KiB of spare room.
    const bool deep = t % 10 == 5;
    int budget = t % 10 == 0 ? 400 : (deep ? 3 : 30);
    Grow(r, doc, 0, exotic, budget);
    long depth = deep ? 2100 : static_cast<long>(r.Below(7)) - 2;
    for (bool wide : {true, false}) {
      CWBlock probe;
      RefSaveWide(doc, probe, depth);
      unsigned long text = wide ? probe.GetSize() : probe.GetSize() / sizeof(wchar_t);
      for (auto [capacity, length] : Starts(r, text, wide ? 92 : 23)) {
        Compare(doc, depth, capacity, length, wide, t % 2 == 0);
        if (::testing::Test::HasFatalFailure()) {
          ADD_FAILURE() << "tree " << t << " depth " << depth;
          std::setlocale(LC_ALL, saved.c_str());
          return;
        }
      }
    }
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(XmlWriterDiff, MatchesPieceByPieceWriterInUtf8Locale) {
  RunLocale("C.UTF-8", true, 60);
}

TEST(XmlWriterDiff, MatchesPieceByPieceWriterInAsciiLocale) {
  RunLocale("C", true, 40);
}

TEST(XmlWriterDiff, MatchesPieceByPieceWriterInOtherLocale) {
  RunLocale("en_US.ISO-8859-1", true, 20);
}

}  // namespace
