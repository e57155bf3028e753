// The indexed reader against the reference reader: for random and mutated
// texts, well-formed and not, both must give the same result, the same tree
// with every string at the same offset of the buffer, and the same buffer
// bytes, length and capacity.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cwbase/xml/internal/fast_reader.h"
#include "cwbase/xml/internal/reader_reference.h"
#include "cwbase/xml/xmlnode.h"
#include "testing/random.h"
#include "testing/scopes.h"
#include "testing/xmltree.h"

namespace {

using cwbase_internal::ReferenceXmlLoad;
using cwbase_internal::ReferenceXmlParse;

// Names that are prefixes, suffixes or "/"-variants of each other, empty,
// or hold characters the tag rules treat specially.
const char* const kNames[] = {"a", "a",  "b",    "ab",  "ba",      "aa",
                              "",  "/a", "a\tb", "a<b", "a\"x>\"", "?x"};
const char* const kPieces[] = {
    "<",        ">",          "</",          "/>",    "<?",       "?>",           " ",
    "  ",       "=",          "\"",          "a",     "b",        "ab",           "/",
    "\t",       "\n",         "\r",          "x y",   "</a></a>", "<a x=\"1\"/>", "<a>",
    "</a>",     "<a ",        "<ab>",        "</ab>", "<b/>",     "<a/>",         "</a >",
    "<a x=1/>", "<!-- c -->", "<a x=\"1\">", "</b>",  "<a\n",     "&amp;",        "\"<a>\""};

using namespace std::string_view_literals;

// UTF-8 as the locale's decoder sees it. Taken: 2-, 3- and 4-byte characters
// up to their limits, and the 5- and 6-byte forms the C library still reads.
const std::string_view kUtf8Good[] = {"\xc3\xa9"sv,
                                      "\xc2\x80"sv,
                                      "\xdf\xbf"sv,
                                      "\xe2\x82\xac"sv,
                                      "\xe6\x97\xa5\xe6\x9c\xac"sv,
                                      "\xef\xbf\xbf"sv,
                                      "\xe0\xa0\x80"sv,
                                      "\xf0\x9f\x98\x80"sv,
                                      "\xf0\x90\x80\x80"sv,
                                      "\xf4\x8f\xbf\xbf"sv,
                                      "\xf4\x90\x80\x80"sv,
                                      "\xf8\x88\x80\x80\x80"sv,
                                      "\xfd\xbf\xbf\xbf\xbf\xbf"sv};
// Refused: overlong forms, surrogates, stray continuation bytes, bytes no
// sequence starts with, sequences cut short by another byte; and zero bytes,
// which end the text.
const std::string_view kUtf8Bad[] = {"\xc0\x80"sv,
                                     "\xc1\xbf"sv,
                                     "\xe0\x80\x80"sv,
                                     "\xe0\x9f\xbf"sv,
                                     "\xf0\x80\x80\x80"sv,
                                     "\xf0\x8f\xbf\xbf"sv,
                                     "\xed\xa0\x80"sv,
                                     "\xed\xbf\xbf"sv,
                                     "\x80"sv,
                                     "\xbf"sv,
                                     "\xfe"sv,
                                     "\xff"sv,
                                     "\xc3"sv,
                                     "\xe2\x82"sv,
                                     "\xf0\x9f\x98"sv,
                                     "\xc3<"sv,
                                     "\xe2\x82 "sv,
                                     "\0"sv};

// A run of UTF-8: mostly characters the decoder takes, now and then one it
// refuses, long at times (so that whole vector windows of it are decoded).
std::string Utf8Run(CWTestRandom& r, bool good) {
  std::string out;
  for (uint32_t i = 0, n = r.Chance(20) ? 20 + r.Below(100) : 1 + r.Below(3); i < n; ++i) {
    if (r.Chance(30)) out += "ab c"[r.Below(4)];
    out += good || r.Chance(95) ? r.Pick(kUtf8Good) : r.Pick(kUtf8Bad);
  }
  return out;
}

// Now and then enough attributes for a tag of several hundred units.
void Attributes(CWTestRandom& r, std::string& out) {
  for (uint32_t i = 0, n = r.Chance(4) ? 30 + r.Below(70) : r.Below(4); i < n; ++i) {
    out += r.Chance(90) ? " " : "  ";
    out += r.Pick(kNames);
    if (r.Chance(95)) out += "=";
    switch (r.Below(4)) {
      case 0:
        out += "v" + std::to_string(r.Below(100));
        break;
      case 1:
        out += "\"x " + std::string(r.Pick(kNames)) + "\"";
        break;
      case 2:
        out += "\"<" + std::string(r.Pick(kNames)) + ">\"";
        break;
      default:
        out += "\"" + std::to_string(r.Below(1000)) + "\"";
        break;
    }
  }
}

// `utf8`: the percentage of elements whose text holds UTF-8.
void Element(CWTestRandom& r, std::string& out, int depth, uint32_t utf8) {
  std::string name = r.Chance(85) ? r.Pick(kNames) : r.Pick(kNames) + std::string(r.Pick(kNames));
  if (r.Chance(utf8 / 2)) name += r.Pick(kUtf8Good);
  if (r.Chance(30)) out += r.Chance(50) ? "\r\n\t" : " text ";
  out += "<" + name;
  Attributes(r, out);
  if (r.Chance(25) || depth > 40) {
    out += r.Chance(90) ? "/>" : " />";
    return;
  }
  out += ">";
  uint32_t children = depth < 4 ? r.Below(4) : (r.Chance(30) ? 1 : 0);
  for (uint32_t i = 0; i < children; ++i) Element(r, out, depth + 1, utf8);
  if (r.Chance(50)) out += r.Chance(50) ? " t\tx " : "\r\n";
  if (r.Chance(utf8)) out += Utf8Run(r, true);
  if (r.Chance(3)) out += r.Pick(kPieces);
  out += r.Chance(97) ? "</" + name + ">" : "</" + name + " >";
}

void Mutate(CWTestRandom& r, std::string& s) {
  for (uint32_t i = 0, n = r.Below(4); i < n && !s.empty(); ++i) {
    size_t at = r.Below(static_cast<uint32_t>(s.size()));
    switch (r.Below(5)) {
      case 0:
        s.erase(at, 1 + r.Below(8));
        break;
      case 1:
        s.insert(at, r.Pick(kPieces));
        break;
      case 2:
        s[at] = "<>/\" =?a\0"[r.Below(9)];
        break;
      case 3:
        s.resize(at);
        break;
      default: {
        size_t from = r.Below(static_cast<uint32_t>(s.size()));
        s.insert(at, s.substr(from, r.Below(40)));
      }
    }
  }
}

// A text of one of several shapes, at times long enough for the 8-bit
// loader's ASCII path (1 KiB and more), in half of them with UTF-8 (and then
// and again at the end, a sequence cut short there).
std::string MakeText(CWTestRandom& r) {
  std::string s;
  const uint32_t utf8 = r.Chance(50) ? 1 + r.Below(60) : 0;
  switch (r.Below(4)) {
    case 0:
      for (uint32_t i = 0, n = r.Below(60); i < n; ++i) s += r.Pick(kPieces);
      break;
    case 1:
      if (r.Chance(30)) s += "<?xml version=\"1.0\"?>\r\n";
      Element(r, s, 0, utf8);
      break;
    default: {
      // A long document: many children under one root, so that the parts
      // after a mutation still hold plenty of structure.
      s = "<?xml version=\"1.0\"?>\r\n<r x=\"1\">";
      for (uint32_t i = 0, n = 10 + r.Below(40); i < n; ++i) Element(r, s, 1, utf8);
      s += "</r>\r\n";
    }
  }
  if (r.Chance(80)) Mutate(r, s);
  // Now and then bytes the locale decodes (or rejects) as more than ASCII.
  for (uint32_t i = 0, n = utf8 ? r.Below(4) : r.Chance(15); i < n && !s.empty(); ++i)
    s.insert(r.Below(static_cast<uint32_t>(s.size())), Utf8Run(r, r.Chance(50)));
  if (utf8 && r.Chance(30)) {
    const std::string_view last = r.Pick(kUtf8Good);
    s += last.substr(0, 1 + r.Below(static_cast<uint32_t>(last.size() - 1)));
  }
  return s;
}

// Bytes that may follow the text in the caller's memory: continuation bytes
// that would complete a sequence cut short at the end, or more text.
std::string MakeTail(CWTestRandom& r) {
  switch (r.Below(3)) {
    case 0:
      return "";
    case 1:
      return "\x80\x80\xbf\x80\x80\x80";
    default:
      return std::string(r.Pick(kUtf8Good)).substr(1) + "</r>";
  }
}

std::string Bytes(CWBlock& b) {
  return std::string(static_cast<char*>(b.GetBuffer()), b.GetCapacity()) + "/" +
         std::to_string(b.GetSize());
}

// Loads `text` into both documents (kept across calls, so buffers are reused
// the way a caller reuses them) and compares everything. The bytes lie in a
// heap block of their exact size, followed by `tail` (8-bit text only), which
// is not part of the text: reading it, or past the block, must show.
void Compare(CWXMLDocument& fast, CWXMLDocument& reference, const std::string& text, bool ascii,
             const std::string& tail = "") {
  std::string bytes;
  if (ascii) {
    bytes = text + tail;
  } else {
    std::wstring wide(text.begin(), text.end());  // every byte one unit, zero bytes included
    bytes.resize(wide.size() * sizeof(wchar_t) + text.size() % 3);  // at times a partial unit
    if (!wide.empty()) std::memcpy(&bytes[0], wide.data(), wide.size() * sizeof(wchar_t));
  }
  std::unique_ptr<unsigned char[]> block(new unsigned char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
  int n = static_cast<int>(bytes.size() - (ascii ? tail.size() : 0));
  int a = ascii ? fast.LoadFromStreamAscii(block.get(), n) : fast.LoadFromStream(block.get(), n);
  int b = ReferenceXmlLoad(reference, block.get(), n, ascii);
  ASSERT_EQ(b, a) << text;
  ASSERT_EQ(Bytes(reference.m_Buffer), Bytes(fast.m_Buffer)) << text;
  ASSERT_EQ(XmlShape(reference), XmlShape(fast)) << text;
}

TEST(XmlReaderDiff, RandomAndMutatedTexts) {
  for (const char* locale : {"C.UTF-8", "C"}) {
    CWTestLocale scope(locale);
    ASSERT_TRUE(scope.Ok()) << locale;
    CWTestRandom r(locale[1] ? 7 : 8);
    CWXMLDocument fast, reference;
    for (int round = 0; round < 500; ++round) {
      std::string text = MakeText(r);
      Compare(fast, reference, text, true);
      Compare(fast, reference, text, true, MakeTail(r));
      Compare(fast, reference, text, false);
      if (HasFatalFailure()) return;
    }
  }
}

// A character cut short by the end of the text, where its missing bytes
// follow in memory; the cut placed at the edges of the decoder's vector
// windows and of the blocks it measures the text in.
TEST(XmlReaderDiff, Utf8CutShortAtTheEnd) {
  CWTestLocale scope("C.UTF-8");
  ASSERT_TRUE(scope.Ok());
  CWXMLDocument fast, reference;
  for (size_t pad : {0, 1, 57, 60, 61, 64, 65, 68, 121, 125, 128, 4083, 4086, 4087, 4090, 4093}) {
    for (std::string_view character : kUtf8Good) {
      for (size_t cut = 0; cut <= character.size(); ++cut) {
        const std::string text =
            "<r>" + std::string(pad, 'a') + "\xc3\xa9</r>" + std::string(character.substr(0, cut));
        Compare(fast, reference, text, true, std::string(character.substr(cut)) + "\x80\x80");
        if (HasFatalFailure()) return;
      }
    }
  }
}

// The one pass directly: a text it takes (it is regular) must come out as
// the reference reader makes it, tree and buffer; one it gives up on is
// read indexed by the loads. The generated texts must hit both cases.
TEST(XmlReaderDiff, OnePassTakesOnlyWhatItReadsAsTheReference) {
  CWTestRandom r(10);
  int taken = 0, refused = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = MakeText(r);
    if (r.Chance(50)) Element(r, text = "", 0, 0);  // more regular texts, unmutated
    std::wstring a(text.begin(), text.end()), b = a;
    a += L'\0', b += L'\0';
    const size_t end = a.find(L'\0');
    CWXMLNode fast, reference;
    if (!cwbase_internal::XmlFastReader<wchar_t>(&a[0], a.size(), end).ParseOnePass(&fast, &a[0])) {
      ++refused;
      continue;
    }
    ++taken;
    ASSERT_NE(ReferenceXmlParse(&reference, &b[0]), nullptr) << text;
    ASSERT_EQ(b, a) << text;
    ASSERT_EQ(XmlShape(reference, &b[0]), XmlShape(fast, &a[0])) << text;
  }
  EXPECT_GT(taken, 300);
  EXPECT_GT(refused, 300);
  // Tags whose name-counting differs from their nesting: a self-closing tag
  // that counts as an open of an ancestor's name (with a space, or as the
  // name and its "/"), a quoted ">" in a name, same names nested. And texts
  // that turn irregular after many children of the root, read into fresh
  // documents: the root's child array must not keep the growth of the
  // abandoned pass.
  std::string many = "<r>";
  for (int i = 0; i < 12; ++i) many += "<c i=\"1\"/>";
  for (const std::string& text :
       {std::string("<r><a><a x=\"1\"/></a></r>"), std::string("<r><a/ k=1><a/></a/></r>"),
        std::string("<r><a/><a></a></r>"), std::string("<r><a\"x y\"><a\"x>\"/></a\"x></r>"),
        std::string("<r><a\"x>\" k=1><b/></a\"x>\"></r>"), std::string("<a><a><a>x</a></a> y </a>"),
        std::string("<?xml?><r><?p?><b/> t </r>"), many + "</x>", many + "<c", many + "<r/>"}) {
    for (bool ascii : {false, true}) {
      CWXMLDocument fast, reference;
      // 8-bit: long enough for the ASCII one pass.
      Compare(fast, reference, ascii ? text + std::string(1100, ' ') : text, ascii);
    }
  }
}

TEST(XmlReaderDiff, ParseOnCallersText) {
  CWTestRandom r(9);
  for (int round = 0; round < 500; ++round) {
    std::string text = MakeText(r);
    std::wstring a(text.begin(), text.end()), b = a;
    a += L'\0', b += L'\0';
    CWXMLNode fast, reference;
    wchar_t* ra = fast.Parse(&a[0]);
    wchar_t* rb = ReferenceXmlParse(&reference, &b[0]);
    ASSERT_EQ(XmlOffset(rb, &b[0]), XmlOffset(ra, &a[0])) << text;
    ASSERT_EQ(b, a) << text;
    ASSERT_EQ(XmlShape(reference, &b[0]), XmlShape(fast, &a[0])) << text;
  }
}

TEST(XmlReaderDiff, DeepSameNameNestingAndOwnBuffer) {
  CWTestLocale scope("C.UTF-8");
  ASSERT_TRUE(scope.Ok());
  CWXMLDocument fast, reference;
  for (int levels : {CWXML_MAX_DEPTH - 1, CWXML_MAX_DEPTH, CWXML_MAX_DEPTH + 5}) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) open += i % 7 ? "<a>" : "<a k=\"<a>\">", close += "\t</a>\r\n";
    open += "x";
    Compare(fast, reference, open + close, true);
    Compare(fast, reference, open + close.substr(7), true);  // the root's end tag missing
  }
  // A load from a range of the document's own buffer.
  std::string text = "<a><b>1</b>" + std::string(2000, ' ') + "</a>";
  for (CWXMLDocument* doc : {&fast, &reference}) doc->m_Buffer.SetBuffer(&text[0], text.size());
  unsigned char* own = static_cast<unsigned char*>(fast.m_Buffer.GetBuffer());
  int a = fast.LoadFromStreamAscii(own, static_cast<int>(text.size()));
  int b = ReferenceXmlLoad(reference, static_cast<unsigned char*>(reference.m_Buffer.GetBuffer()),
                           static_cast<int>(text.size()), true);
  EXPECT_EQ(b, a);
  EXPECT_EQ(Bytes(reference.m_Buffer), Bytes(fast.m_Buffer));
}

}  // namespace
