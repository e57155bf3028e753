#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmlstandard.h"
#include "testing/xmltree.h"

namespace {

// ASCII text as UTF-16LE without a byte-order mark.
std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string(1, c) + '\0';
  return out;
}

TEST(XmlStandardReader, Constructs) {
  const struct {
    const char* text;
    const wchar_t* tree;
  } cases[] = {
      {"<a/>", L"a"},
      {"<a></a>", L"a\"\""},
      {"<a> \r\n </a>", L"a\"\""},
      {"\xEF\xBB\xBF<a>x</a>", L"a\"x\""},
      {"<?xml version='1.0' encoding='UTF-8' standalone='no'?>\n<!-- c -->\n<?pi data?>"
       "<!DOCTYPE a SYSTEM \"a.dtd\" [ <!ENTITY e \"]>\"> <!-- ]> --> %pe; <?p ]>?> ]>\n"
       "<a\n x = 'v\"' y=\"1&amp;2\" >t<!-- c --><![CDATA[<&>]]> &lt;&#65;&#x42;</a >\n<!-- end "
       "-->",
       L"a[x=v\"|y=1&2]\"t<&> <AB\""},
      {"<a> one <b>x</b> two <c/> </a>", L"a\"one  two\"{b\"x\" c}"},
      {"<a>\n  <b/>\n  <c></c>\n</a>", L"a{b c\"\"}"},
      {"<a>x<!--c--> <?p?>y</a>", L"a\"xy\""},
      {"<a>&unknown;&lt;</a>", L"error 12"},
      {"<a v=\"x\ty\r\nz&#10;&#9;\"/>", L"a[v=x y z\n\t]"},
      {"<a>x\r\ny\rz\r</a>", L"a\"x\ny\nz\""},
      {"<p:a xmlns:p=\"urn:x\" p:k='1'/>", L"p:a[xmlns:p=urn:x|p:k=1]"},
      {"<a>&#32;x&#x20;</a>", L"a\" x \""},
      {"<a><![CDATA[ ]]></a>", L"a\" \""},
      {"<a><![CDATA[]]><b/></a>", L"a\"\"{b}"},
      {"<a>]>]</a>", L"a\"]>]\""},
      {"<\xC3\xA9 \xE2\x82\xAC='\xF0\x9F\x98\x80'/>", L"\u00e9[\u20ac=\U0001F600]"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.tree, XmlReadStandard(c.text)) << c.text;
}

TEST(XmlStandardReader, Encodings) {
  const struct {
    std::string text;
    const wchar_t* tree;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9\x80</a>", L"a\"\u00e9\u0080\""},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80\xE9</a>", L"a\"\u20ac\u00e9\""},
      {"<?xml version=\"1.0\" encoding=\"us-ascii\"?><a>x</a>", L"a\"x\""},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><a>\xA4</a>", L"a\"\u20ac\""},
      {std::string("\xFF\xFE<\0a\0/\0>\0", 10), L"a"},
      {std::string("\xFE\xFF\0<\0a\0>\xD8\x3D\xDE\x00\0<\0/\0a\0>", 20), L"a\"\U0001F600\""},
      {Utf16Le("<?xml version='1.0'?><a/>"), L"a"},
      {std::string("\0\0\xFE\xFF\0\0\0<\0\0\0a\0\0\0/\0\0\0>", 20), L"a"},
      {"<?xml version=\"1.0\" encoding=\"us-ascii\"?><a>\xE9</a>", L"error 2"},
      {"<?xml version=\"1.0\" encoding=\"no-such-set\"?><a/>", L"error 3"},
      {"<a>\xC3</a>", L"error 2"},
      {"<a>\xC0\xAF</a>", L"error 2"},
      {"<a>\xED\xA0\x80</a>", L"error 2"},
      {std::string("<a>\0</a>", 8), L"error 2"},
      {"<a>\x01</a>", L"error 2"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.tree, XmlReadStandard(c.text)) << c.text;
}

TEST(XmlStandardReader, FaultsAndTheirPositions) {
  ExpectXmlFaults({
      {"", CWXML_ERROR_NO_ROOT, 0, 0, 0},
      {"  <!-- only -->", CWXML_ERROR_NO_ROOT, 15, 1, 16},
      {"<a></b>", CWXML_ERROR_MISMATCHED_TAG, 3, 1, 4},
      {"<a>\n <b>\n</a>", CWXML_ERROR_MISMATCHED_TAG, 9, 3, 1},
      {"<a>\r\n<ab></a>", CWXML_ERROR_MISMATCHED_TAG, 9, 2, 5},
      {"<a><b></a>", CWXML_ERROR_MISMATCHED_TAG, 6, 1, 7},
      {"<a>\n<b>", CWXML_ERROR_UNCLOSED_ELEMENT, 7, 2, 4},
      {"<\xC3\xA9>\n</x>", CWXML_ERROR_MISMATCHED_TAG, 5, 2, 1},
      {"<a/><b/>", CWXML_ERROR_OUTSIDE_ROOT, 4, 1, 5},
      {"x<a/>", CWXML_ERROR_OUTSIDE_ROOT, 0, 1, 1},
      {"<a/>x", CWXML_ERROR_OUTSIDE_ROOT, 4, 1, 5},
      {"<a x/>", CWXML_ERROR_ATTRIBUTE, 4, 1, 5},
      {"<a x=1/>", CWXML_ERROR_ATTRIBUTE, 5, 1, 6},
      {"<a x=\"<\"/>", CWXML_ERROR_ATTRIBUTE, 6, 1, 7},
      {"<a x='1' x=\"2\"/>", CWXML_ERROR_ATTRIBUTE, 9, 1, 10},
      {"<a x='1'y='2'/>", CWXML_ERROR_SYNTAX, 8, 1, 9},
      {"<a x='1", CWXML_ERROR_SYNTAX, 7, 1, 8},
      {"<a>&bogus</a>", CWXML_ERROR_SYNTAX, 3, 1, 4},
      {"<a>& </a>", CWXML_ERROR_SYNTAX, 3, 1, 4},
      {"<a>&#0;</a>", CWXML_ERROR_SYNTAX, 3, 1, 4},
      {"<a>&#x110000;</a>", CWXML_ERROR_SYNTAX, 3, 1, 4},
      {"<a>]]></a>", CWXML_ERROR_SYNTAX, 3, 1, 4},
      {"<a><!-- -- --></a>", CWXML_ERROR_SYNTAX, 8, 1, 9},
      {"<a><!-- x", CWXML_ERROR_SYNTAX, 9, 1, 10},
      {"<a><![CDATA[x</a>", CWXML_ERROR_SYNTAX, 17, 1, 18},
      {"<a><?xml version='1.0'?></a>", CWXML_ERROR_SYNTAX, 3, 1, 4},
      {"<a><!DOCTYPE a></a>", CWXML_ERROR_SYNTAX, 3, 1, 4},
      {"<!DOCTYPE a><!DOCTYPE a><a/>", CWXML_ERROR_SYNTAX, 12, 1, 13},
      {"<?xml encoding='UTF-8'?><a/>", CWXML_ERROR_SYNTAX, 6, 1, 7},
      {"<1a/>", CWXML_ERROR_SYNTAX, 1, 1, 2},
      {"<a/ >", CWXML_ERROR_SYNTAX, 2, 1, 3},
      {"</a>", CWXML_ERROR_OUTSIDE_ROOT, 0, 1, 1},
  });
}

// The offset counts bytes of the input, whatever its encoding; the column
// counts characters.
TEST(XmlStandardReader, FaultOffsetsCountBytes) {
  const std::string latin = "<?xml version='1.0' encoding='ISO-8859-15'?>\n<a>\xA4\xA4</b>";
  const std::string windows = "<?xml version='1.0' encoding='cp1252'?>\n<a>\x80</b>";
  const struct {
    std::string text;
    long offset;
    int column;
  } cases[] = {
      {std::string("\xFF\xFE<\0a\0>\0<\0/\0b\0>\0", 16), 8, 4},
      {std::string("\xFE\xFF\0<\0a\0>\xD8\x3D\xDE\x00\0<\0/\0b\0>", 20), 12, 5},
      {std::string("\0\0\xFE\xFF\0\0\0<\0\0\0a\0\0\0>\0\0\0<\0\0\0/", 24), 16, 4},
      {"\xEF\xBB\xBF<\xC3\xA9>\xE2\x82\xAC</b>", 10, 5},
      {latin, static_cast<long>(latin.size()) - 4, 6},
      {windows, static_cast<long>(windows.size()) - 4, 5},
  };
  for (const auto& c : cases) {
    CWXMLDocument doc;
    EXPECT_EQ(-1, XmlLoadStandard(doc, c.text));
    EXPECT_EQ(c.offset, doc.GetLastError().offset) << c.text;
    EXPECT_EQ(c.column, doc.GetLastError().column) << c.text;
  }
}

// Characters as the bytes of one encoding: UTF-8, UTF-16 and UTF-32 with
// their byte-order mark, or one byte each (Latin-1 and Latin-9 alike for
// the characters used here).
enum class Form { kUtf8, kUtf16Le, kUtf16Be, kUtf32Le, kOneByte };
std::string Encode(const std::u32string& text, Form form, bool mark) {
  std::string out;
  auto put = [&](uint32_t v, int bytes, bool big) {
    for (int i = 0; i < bytes; ++i)
      out += static_cast<char>(v >> (8 * (big ? bytes - 1 - i : i)) & 0xFF);
  };
  if (mark && form == Form::kUtf8) out = "\xEF\xBB\xBF";
  if (mark && form == Form::kUtf16Le) put(0xFEFF, 2, false);
  if (mark && form == Form::kUtf16Be) put(0xFEFF, 2, true);
  if (mark && form == Form::kUtf32Le) put(0xFEFF, 4, false);
  for (char32_t c : text) {
    const bool big16 = form == Form::kUtf16Be;
    if ((form == Form::kUtf16Le || big16) && c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10), 2, big16);
      put(0xDC00 + ((c - 0x10000) & 0x3FF), 2, big16);
    } else if (form == Form::kUtf16Le || big16) {
      put(c, 2, big16);
    } else if (form == Form::kUtf32Le) {
      put(c, 4, false);
    } else if (form == Form::kOneByte || c < 0x80) {
      out += static_cast<char>(c);
    } else {
      const int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
      out += static_cast<char>((0xF00 >> n) | c >> (6 * (n - 1)));
      for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | (c >> (6 * k) & 0x3F));
    }
  }
  return out;
}

// Line ends (CR LF, CR alone, LF) are normalised before the parse, in every
// encoding and in the declaration too: the trees agree, and a fault after
// them is placed at the same line and column and at its character's bytes.
TEST(XmlStandardReader, LineEndsInEveryEncoding) {
  const struct {
    Form form;
    const char32_t* encoding;
  } forms[] = {{Form::kUtf8, U""},
               {Form::kUtf16Le, U""},
               {Form::kUtf16Be, U""},
               {Form::kUtf32Le, U""},
               {Form::kOneByte, U" encoding='ISO-8859-1'"},
               {Form::kOneByte, U" encoding='ISO-8859-15'"}};  // through iconv
  const std::u32string body = U"?>\r\n<a x='1\r\n2\r3'>t\u00E9\r\nu\rv<![CDATA[\r\n]]></a>\r\n";
  const std::u32string bad = U"?>\r\n<a>\u00E9\r\n\r<b>\r\n\u00E9</c>";
  for (const auto& f : forms) {
    const std::u32string start = U"<?xml version='1.0'\r\n" + std::u32string(f.encoding);
    CWXMLDocument doc;
    ASSERT_EQ(0, XmlLoadStandard(doc, Encode(start + body, f.form, f.form != Form::kOneByte)))
        << static_cast<int>(f.form);
    EXPECT_EQ(XmlDump(doc), L"a[x=1 2 3]\"t\u00E9\nu\nv\n\"") << static_cast<int>(f.form);

    const std::u32string text = start + bad;
    const size_t fault = text.find(U"</c>");
    const std::string bytes = Encode(text, f.form, f.form != Form::kOneByte);
    EXPECT_EQ(-1, XmlLoadStandard(doc, bytes));
    const CWXMLError& e = doc.GetLastError();
    EXPECT_EQ(CWXML_ERROR_MISMATCHED_TAG, e.code);
    EXPECT_EQ(
        static_cast<long>(Encode(text.substr(0, fault), f.form, f.form != Form::kOneByte).size()),
        e.offset)
        << static_cast<int>(f.form);
    EXPECT_EQ(6, e.line) << static_cast<int>(f.form);
    EXPECT_EQ(2, e.column) << static_cast<int>(f.form);
  }
}

// UTF-8 is decoded in steps just ahead of the parse, other encodings whole
// before it: every construct, wherever a step ends in it, reads as it does
// from UTF-16. The documents put each construct across the first two step
// boundaries (every 64 KiB of input) at many offsets; the ASCII-only ones
// with their characters at the same bytes.
TEST(XmlStandardReader, DecodedInStepsAsWhole) {
  const std::u32string constructs[] = {
      U"<!-- a < b <c> -->",
      U"<![CDATA[ <x> ]] ]]>",
      U"<?pi <x> ?>",
      U"<e a='1 &amp; 2' b=\"\u00E9\u20AC\r\nz\"/>",
      U"text \u00E9\r\n&#x20AC; &lt; more\r\rtext",
      U"<e>\U0001F600\u00E9</e>",
      U"<e></e ><f/>",
      // Long ones with "<" inside: the decode must reach their ends.
      U"<!-- <a> " + std::u32string(60, U'c') + U" <b> " + std::u32string(60, U'c') + U" -->",
      U"<![CDATA[ <a> " + std::u32string(60, U'c') + U" <b> " + std::u32string(60, U'c') + U"]]>",
      U"<?pi <a> " + std::u32string(60, U'c') + U" <b> " + std::u32string(60, U'c') + U"?>",
  };
  for (const std::u32string& construct : constructs) {
    for (size_t fill = 65536 - 48; fill < 65536 + 48; fill += 7) {
      std::u32string text = U"<r><s>" + std::u32string(fill, U'x') + U"</s>";
      // The second time 64 Ki characters later, across the next boundary alike.
      const size_t y = 65536 - 7 - construct.size();
      text += construct;
      text += U"<t>";
      text.append(y, U'y');
      text += U"</t>";
      text += construct;
      text += U"</r>";
      CWXMLDocument a, b;
      ASSERT_EQ(0, XmlLoadStandard(a, Encode(text, Form::kUtf8, false)));
      ASSERT_EQ(0, XmlLoadStandard(b, Encode(text, Form::kUtf16Le, true)));
      const std::wstring da = XmlDump(a), db = XmlDump(b);
      const auto at = static_cast<size_t>(
          std::mismatch(da.begin(), da.end(), db.begin(), db.end()).first - da.begin());
      ASSERT_TRUE(da == db) << "fill " << fill << ", trees differ at " << at << ": "
                            << (at < da.size() ? static_cast<long>(da[at]) : -1) << " / "
                            << (at < db.size() ? static_cast<long>(db[at]) : -1);
      // The same with a fault at the end: placed alike.
      text += U"<";
      ASSERT_EQ(-1, XmlLoadStandard(a, Encode(text, Form::kUtf8, false)));
      ASSERT_EQ(-1, XmlLoadStandard(b, Encode(text, Form::kUtf16Le, true)));
      EXPECT_EQ(a.GetLastError().code, b.GetLastError().code);
      EXPECT_EQ(a.GetLastError().line, b.GetLastError().line);
      ASSERT_EQ(a.GetLastError().column, b.GetLastError().column) << fill;
    }
  }
  // A DOCTYPE and an entity in a document of several steps.
  std::string dtd = "<!DOCTYPE r [<!ENTITY e '<b>&#xE9;</b>'>]><r>";
  for (int i = 0; i < 20000; ++i) dtd += "<a>&e;</a>";
  dtd += "</r>";
  CWXMLDocument doc;
  ASSERT_EQ(0, XmlLoadStandard(doc, dtd));
  ASSERT_EQ(20000, doc.GetChildCount());
  EXPECT_STREQ(L"\u00E9", doc.GetChildAt(19999)->GetChildAt(0)->m_pValue);
  // A fault of the encoding is reported before a fault of the markup that
  // comes first, as when the input is decoded whole.
  std::string late = "<r></x>" + std::string(200000, 'z') + "\xC0\x80</r>";
  EXPECT_EQ(-1, XmlLoadStandard(doc, late));
  EXPECT_EQ(CWXML_ERROR_ENCODING, doc.GetLastError().code);
  EXPECT_EQ(static_cast<long>(late.size()) - 6, doc.GetLastError().offset);
}

TEST(XmlStandardReader, DepthLimit) {
  std::string deep;
  for (int i = 0; i < CWXML_MAX_DEPTH; ++i) deep += "<a>";
  for (int i = 0; i < CWXML_MAX_DEPTH; ++i) deep += "</a>";
  CWXMLDocument doc;
  EXPECT_EQ(0, XmlLoadStandard(doc, deep));
  EXPECT_EQ(-1, XmlLoadStandard(doc, "<b>" + deep + "</b>"));
  EXPECT_EQ(CWXML_ERROR_TOO_DEEP, doc.GetLastError().code);
  EXPECT_EQ(3L * CWXML_MAX_DEPTH, doc.GetLastError().offset);
  std::string endless(200000, '<');
  EXPECT_EQ(-1, XmlLoadStandard(doc, endless));  // neither deep recursion nor a crash
}

TEST(XmlStandardReader, StringsAreBorrowedExceptSplitValues) {
  CWXMLDocument doc;
  ASSERT_EQ(0, XmlLoadStandard(doc, "<a k='v'>x<b>y</b>z</a>"));
  const auto* begin = static_cast<const wchar_t*>(doc.m_Buffer.GetBuffer());
  const wchar_t* end = begin + doc.m_Buffer.GetSize() / sizeof(wchar_t);
  auto inside = [&](const wchar_t* s) { return s >= begin && s < end; };
  auto* prop = static_cast<CWXMLProp*>(doc.m_Props.GetAt(0));
  CWXMLNode* b = doc.GetChildAt(0);
  EXPECT_TRUE(inside(doc.m_pName) && inside(prop->m_pName) && inside(prop->m_pValue));
  EXPECT_TRUE(inside(b->m_pName) && inside(b->m_pValue));
  EXPECT_EQ(0, doc.m_bOwnName + prop->m_bOwnName + prop->m_bOwnValue + b->m_bOwnValue);
  EXPECT_STREQ(L"xz", doc.GetValue());
  EXPECT_EQ(1, doc.m_bOwnValue);
  EXPECT_FALSE(inside(doc.GetValue()));
  EXPECT_EQ(0, doc.GetLastError().code);
  EXPECT_STREQ("no error", doc.GetLastError().message);
}

TEST(XmlStandardReader, ReloadsAndLoadsFromItsOwnBuffer) {
  CWXMLDocument doc;
  ASSERT_EQ(0, XmlLoadStandard(doc, "<a><b/></a>"));
  ASSERT_EQ(-1, XmlLoadStandard(doc, "<a>"));
  EXPECT_EQ(CWXML_ERROR_UNCLOSED_ELEMENT, doc.GetLastError().code);
  ASSERT_EQ(0, XmlLoadStandard(doc, "<c>1</c>"));
  EXPECT_EQ(L"c\"1\"", XmlDump(doc));
  EXPECT_EQ(0, doc.GetLastError().code);
  std::string text = "<d e='f'/>";
  std::memcpy(doc.m_Buffer.GetBuffer(), text.data(), text.size());
  ASSERT_EQ(0, doc.LoadXML(static_cast<unsigned char*>(doc.m_Buffer.GetBuffer()),
                           static_cast<long>(text.size())));
  EXPECT_EQ(L"d[e=f]", XmlDump(doc));
  EXPECT_EQ(-1, doc.LoadXML(nullptr, 4));
  EXPECT_EQ(-1, doc.LoadXML(reinterpret_cast<const unsigned char*>("<a/>"), -1));
  EXPECT_EQ(CWXML_ERROR_NO_ROOT, doc.GetLastError().code);
  EXPECT_EQ(nullptr, doc.GetName());
}

}  // namespace
