// Differential test of the XML writer: random trees written into blocks of
// every starting length and capacity, compared with the reference writer,
// which appends every piece with its own AddData (wide form) or converts the
// whole wide text with WideCharToMultiByte (8-bit form). Compared: length,
// capacity and data bytes; for the 8-bit form the whole storage.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cwbase/xml/internal/writer_reference.h"
#include "cwbase/xml/xmlnode.h"
#include "testing/random.h"
#include "testing/scopes.h"

namespace {

using cwbase_internal::ReferenceXmlSave;
using cwbase_internal::ReferenceXmlSaveAscii;
using cwbase_internal::ReferenceXmlSaveDocument;

// Mostly ASCII; sometimes characters of several UTF-8 lengths, ones no
// locale converts (surrogates, negative units) and ASCII's dropped tag
// characters.
std::wstring RandomText(CWTestRandom& r, size_t maxLength, bool exotic) {
  static const size_t kLengths[] = {0, 1, 5, 31, 32, 33, 34};
  size_t n = r.OneIn(3) ? r.Pick(kLengths) : r.Below(static_cast<uint32_t>(maxLength) + 1);
  std::wstring s;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = 0x21 + r.Below(0x5E);
    if (r.OneIn(5)) c = ' ';
    if (exotic && r.OneIn(12)) {
      static const uint32_t kOthers[] = {0xE9,       0x20AC,  0x1F600, 0xD800,
                                         0xFFFFFFFF, 0xE0041, 0x7FF,   0x110000};
      c = r.Pick(kOthers);
    }
    s += static_cast<wchar_t>(c);
  }
  return s;
}

void Grow(CWTestRandom& r, CWXMLNode& node, int level, bool exotic, int& budget) {
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
    if (document) {
      auto& doc = static_cast<CWXMLDocument&>(node);
      if (wide)
        doc.SaveToXMLStream(got, depth);
      else
        doc.SaveToXMLStreamAscii(got, depth);
      ReferenceXmlSaveDocument(doc, want, depth, !wide);
    } else if (wide) {
      node.SaveToXMLStream(got, depth);
      ReferenceXmlSave(node, want, depth);
    } else {
      node.SaveToXMLStreamAscii(got, depth);
      ReferenceXmlSaveAscii(node, want, depth);
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
std::vector<std::pair<unsigned long, unsigned long>> Starts(CWTestRandom& r, unsigned long text,
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
  CWTestLocale scope(locale);
  if (!scope.Ok()) GTEST_SKIP() << locale << " is not available";
  CWTestRandom r(4242);
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
      ReferenceXmlSave(doc, probe, depth);
      unsigned long text = wide ? probe.GetSize() : probe.GetSize() / sizeof(wchar_t);
      for (auto [capacity, length] : Starts(r, text, wide ? 92 : 23)) {
        Compare(doc, depth, capacity, length, wide, t % 2 == 0);
        if (::testing::Test::HasFatalFailure()) {
          ADD_FAILURE() << "tree " << t << " depth " << depth;
          return;
        }
      }
    }
  }
}

TEST(XmlWriterDiff, MatchesReferenceWriterInUtf8Locale) {
  RunLocale("C.UTF-8", true, 60);
}

TEST(XmlWriterDiff, MatchesReferenceWriterInAsciiLocale) {
  RunLocale("C", true, 40);
}

TEST(XmlWriterDiff, MatchesReferenceWriterInOtherLocale) {
  RunLocale("en_US.ISO-8859-1", true, 20);
}

}  // namespace
