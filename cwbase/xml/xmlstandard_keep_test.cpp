// The lossless load (CWXML_KEEP_ALL): the nodes it keeps, in order and with
// their texts, on hand-written and generated documents; the errors that name
// what they are about.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmlkeepgen.h"
#include "testing/xmlstandard.h"
#include "testing/xmltree.h"

namespace {

int LoadKeep(CWXMLDocument& doc, const std::string& text) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  return doc.LoadXML(bytes.data(), static_cast<long>(bytes.size()), CWXML_KEEP_ALL);
}

// A node as text: an element as XmlDump writes it, with its children dumped
// this way; any other node as a mark of its kind and its value.
std::wstring KeepDump(CWXMLNode& node) {
  static const wchar_t* const kMarks[] = {L"", L"#t", L"#d", L"#c", L"#p", L"#x"};
  if (!node.IsElement()) {
    if (node.GetKind() < 0 || node.GetKind() > CWXML_NODE_DOCTYPE || node.GetName() ||
        node.GetChildCount() || node.m_Props.GetSize())
      return L"(bad node)";
    return kMarks[node.GetKind()] +
           (L"\"" + std::wstring(node.GetValue() ? node.GetValue() : L"#")) + L"\"";
  }
  std::wstring s = node.GetName() ? node.GetName() : L"#";
  for (int i = 0; i < node.m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(node.m_Props.GetAt(i));
    s += (i ? L"|" : L"[") + std::wstring(p->m_pName) + L"=" + p->m_pValue;
  }
  if (node.m_Props.GetSize()) s += L"]";
  if (node.GetValue()) s += L"\"" + std::wstring(node.GetValue()) + L"\"";
  for (int i = 0; i < node.GetChildCount(); ++i) {
    CWXMLNode* child = node.GetChildAt(i);
    if (child->m_pParent != &node) return L"(bad parent)";
    s += (i ? L" " : L"{") + KeepDump(*child);
  }
  if (node.GetChildCount()) s += L"}";
  return s;
}

std::wstring KeepList(CWPtArray& list) {
  std::wstring s;
  for (int i = 0; i < list.GetSize(); ++i) {
    auto* node = static_cast<CWXMLNode*>(list.GetAt(i));
    if (node->m_pParent) return L"(bad parent)";
    s += (i ? L" " : L"") + KeepDump(*node);
  }
  return s;
}

// The prolog, the root and the epilog, separated by "|"; or "error N".
std::wstring KeepRead(const std::string& text) {
  CWXMLDocument doc;
  if (LoadKeep(doc, text) != 0) return L"error " + std::to_wstring(doc.GetLastError().code);
  return KeepList(doc.m_Prolog) + L"|" + KeepDump(doc) + L"|" + KeepList(doc.m_Epilog);
}

TEST(XmlStandardKeep, Constructs) {
  const struct {
    const char* text;
    const wchar_t* kept;
  } cases[] = {
      {"<a/>", L"|a|"},
      {"<a></a>", L"|a\"\"|"},
      {"<a> \r\n </a>", L"|a\" \n \"|"},
      {"<a> x &amp; y </a>", L"|a\" x & y \"|"},
      {"<a>\n  <b/>\n</a>", L"|a{#t\"\n  \" b #t\"\n\"}|"},
      {"<a><b/></a>", L"|a{b}|"},
      {"<p>Hello <b>big</b> world</p>", L"|p{#t\"Hello \" b\"big\" #t\" world\"}|"},
      {"<a>x<!--c-->y</a>", L"|a{#t\"x\" #c\"c\" #t\"y\"}|"},
      {"<a><?t d ?></a>", L"|a{#p\"t d \"}|"},
      {"<a><![CDATA[ <&> ]]>\r\n</a>", L"|a{#d\" <&> \" #t\"\n\"}|"},
      {"<a><![CDATA[]]></a>", L"|a{#d\"\"}|"},
      {"<a>\rx\r</a>", L"|a\"\nx\n\"|"},
      {"<a>&#32;&lt;&#x41;</a>", L"|a\" <A\"|"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<a/>", L"#p\"xml version=\"1.0\"\" #t\"\n\"|a|"},
      {"<?xml version='1.0' encoding='UTF-8' standalone='yes' ?><a/>",
       L"#p\"xml version='1.0' encoding='UTF-8' standalone='yes' \"|a|"},
      {"<!-- one --><?p?>\n<a/>\n<!--two--> ",
       L"#c\" one \" #p\"p\" #t\"\n\"|a|#t\"\n\" #c\"two\" #t\" \""},
      {"<!DOCTYPE a SYSTEM \"a.dtd\" [\r\n <!ENTITY e \"ent\"> <!-- ]> -->\r\n]><a>&e;</a>",
       L"#x\"<!DOCTYPE a SYSTEM \"a.dtd\" [\n <!ENTITY e \"ent\"> <!-- ]> -->\n]>\"|a\"ent\"|"},
      {"<!DOCTYPE a [<!ENTITY e \"1<!--c-->2\">]><a>x&e;y</a>",
       L"#x\"<!DOCTYPE a [<!ENTITY e \"1<!--c-->2\">]>\"|a{#t\"x1\" #c\"c\" #t\"2y\"}|"},
      {"<!DOCTYPE a [<!ENTITY e \"<b>t</b>\">]><a> &e; &e;</a>",
       L"#x\"<!DOCTYPE a [<!ENTITY e \"<b>t</b>\">]>\"|a{#t\" \" b\"t\" #t\" \" b\"t\"}|"},
      {"<!DOCTYPE a [<!ENTITY e \" <![CDATA[z]]>\">]><a>&e;</a>",
       L"#x\"<!DOCTYPE a [<!ENTITY e \" <![CDATA[z]]>\">]>\"|a{#t\" \" #d\"z\"}|"},
      {"<a x='1' y=\"&lt;\"><b/>t</a>", L"|a[x=1|y=<]{b #t\"t\"}|"},
      {"<a><!--x-->", L"error 6"},
      {"<a/><!--x--", L"error 4"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.kept, KeepRead(c.text)) << c.text;
}

// Every load empties the lists of the one before; a failed lossless load
// leaves them empty with the tree.
TEST(XmlStandardKeep, ListsLastUntilTheNextLoad) {
  const std::string kept = "<!--a--><r/><!--b-->";
  CWXMLDocument doc;
  auto sizes = [&] { return doc.m_Prolog.GetSize() * 10 + doc.m_Epilog.GetSize(); };
  ASSERT_EQ(0, LoadKeep(doc, kept));
  EXPECT_EQ(11, sizes());
  EXPECT_EQ(0, XmlLoadStandard(doc, kept));
  EXPECT_EQ(0, sizes());
  ASSERT_EQ(0, LoadKeep(doc, kept));
  std::string exact = "<r/>";
  EXPECT_EQ(0, doc.LoadFromStreamAscii(reinterpret_cast<unsigned char*>(&exact[0]), 4));
  EXPECT_EQ(0, sizes());
  ASSERT_EQ(0, LoadKeep(doc, kept));
  std::wstring wide = L"<r/>";
  EXPECT_EQ(0, doc.LoadFromStream(reinterpret_cast<unsigned char*>(&wide[0]), 16));
  EXPECT_EQ(0, sizes());
  ASSERT_EQ(0, LoadKeep(doc, kept));
  EXPECT_EQ(-1, LoadKeep(doc, "<!--a--><r/><!--b--><r/>"));
  EXPECT_EQ(0, sizes());
  EXPECT_EQ(nullptr, doc.GetName());
}

// The elements of a kept tree, as the default load reads their names and
// attributes (values and other nodes left out).
std::wstring Elements(CWXMLNode& node) {
  std::wstring s = node.GetName();
  for (int i = 0; i < node.m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(node.m_Props.GetAt(i));
    s += L"[" + std::wstring(p->m_pName) + L"=" + p->m_pValue + L"]";
  }
  s += L"{";
  for (int i = 0; i < node.GetChildCount(); ++i)
    if (node.GetChildAt(i)->IsElement()) s += Elements(*node.GetChildAt(i)) + L" ";
  return s + L"}";
}

TEST(XmlStandardKeep, GeneratedDocuments) {
  for (uint64_t round = 0; round < 400; ++round) {
    KeepGenerator gen(round);
    gen.Document();
    ASSERT_EQ(gen.Expected(), KeepRead(gen.Text())) << "round " << round << "\n" << gen.Text();
    CWXMLDocument kept, plain;
    ASSERT_EQ(0, LoadKeep(kept, gen.Text()));
    ASSERT_EQ(0, XmlLoadStandard(plain, gen.Text()));
    EXPECT_EQ(Elements(plain), Elements(kept)) << "round " << round;
  }
}

// The detail of the two faults that name something, and where they are.
TEST(XmlStandardKeep, ErrorsNameWhatTheyAreAbout) {
  const std::string longName(60, 'n');
  const struct {
    std::string text;
    int code;
    long offset;
    int line, column;
    std::string detail;
  } cases[] = {
      {"<a></b>", CWXML_ERROR_MISMATCHED_TAG, 3, 1, 4,
       "end tag </b> does not match the open element <a>"},
      {"<a>\n <bc>\n</b >", CWXML_ERROR_MISMATCHED_TAG, 10, 3, 1,
       "end tag </b> does not match the open element <bc>"},
      {"<\xC3\xA9>\n</x>", CWXML_ERROR_MISMATCHED_TAG, 5, 2, 1,
       "end tag </x> does not match the open element <\xC3\xA9>"},
      {"<" + longName + "></a>", CWXML_ERROR_MISMATCHED_TAG, 62, 1, 63,
       "end tag </a> does not match the open element <" + longName.substr(0, 48) + "...>"},
      {"<a x='1' y='2'\n  x=\"3\"/>", CWXML_ERROR_ATTRIBUTE, 17, 2, 3, "attribute x repeated"},
      {"<a><b y='1' x='1' y='2' x='2'/></a>", CWXML_ERROR_ATTRIBUTE, 18, 1, 19,
       "attribute y repeated"},
      {"<a x='1' x='2' x='3'/>", CWXML_ERROR_ATTRIBUTE, 9, 1, 10, "attribute x repeated"},
      {"<a x/>", CWXML_ERROR_ATTRIBUTE, 4, 1, 5, ""},
      {"<a>", CWXML_ERROR_UNCLOSED_ELEMENT, 3, 1, 4, ""},
  };
  for (const auto& c : cases) {
    for (unsigned long options : {0UL, CWXML_KEEP_ALL}) {
      CWXMLDocument doc;
      std::vector<unsigned char> bytes(c.text.begin(), c.text.end());
      EXPECT_EQ(-1, doc.LoadXML(bytes.data(), static_cast<long>(bytes.size()), options));
      const CWXMLError e = doc.GetLastError();  // a copy carries its detail
      EXPECT_EQ(c.code, e.code) << c.text;
      EXPECT_EQ(c.offset, e.offset) << c.text;
      EXPECT_EQ(c.line, e.line) << c.text;
      EXPECT_EQ(c.column, e.column) << c.text;
      EXPECT_EQ(c.detail, e.detail) << c.text;
    }
  }
  // A success clears the detail.
  CWXMLDocument doc;
  ASSERT_EQ(-1, LoadKeep(doc, "<a></b>"));
  ASSERT_EQ(0, LoadKeep(doc, "<a/>"));
  EXPECT_STREQ("", doc.GetLastError().detail);
}

// The limits of the default load hold in a lossless one; what it keeps is
// bounded by the input.
TEST(XmlStandardKeep, Limits) {
  std::string deep;
  for (int i = 0; i <= CWXML_MAX_DEPTH; ++i) deep += "<a><!--c-->";
  CWXMLDocument doc;
  EXPECT_EQ(-1, LoadKeep(doc, deep));
  EXPECT_EQ(CWXML_ERROR_TOO_DEEP, doc.GetLastError().code);
  std::string many = "<a>";
  for (int i = 0; i < 100000; ++i) many += "<!---->x";
  ASSERT_EQ(0, LoadKeep(doc, many + "</a>"));
  EXPECT_EQ(200000, doc.GetChildCount());
  EXPECT_EQ(-1, LoadKeep(doc, "<!DOCTYPE a [<!ENTITY e \"&e;\">]><a>&e;</a>"));
  EXPECT_EQ(CWXML_ERROR_ENTITY, doc.GetLastError().code);
}

}  // namespace
