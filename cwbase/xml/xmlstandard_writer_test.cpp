#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "cwbase/xml/xmlnode.h"
#include "testing/random.h"
#include "testing/xmltree.h"

namespace {

std::string Text(CWBlock& block) {
  return std::string(static_cast<const char*>(block.GetBuffer()), block.GetSize());
}

// A node of another kind than element, appended to `parent` (or a list).
CWXMLNode* Add(CWPtArray& list, CWXMLNode* parent, int kind, const wchar_t* value) {
  auto* node = new CWXMLNode(parent);
  node->m_Kind = kind;
  node->SetValue(value);
  list.Add(node);
  return node;
}

// `text` with every "\n" replaced by `end` and every tab at the start of a
// line by `unit`, the indentation a layout option writes.
std::string Layout(const std::string& text, const std::string& unit, const std::string& end) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (c == '\n') {
      out += end;
      lineStart = true;
    } else if (c == '\t' && lineStart) {
      out += unit;
    } else {
      out += c;
      lineStart = false;
    }
  }
  return out;
}

TEST(XmlStandardWriter, LaysOutOnlyWhereThereIsNoCharacterData) {
  CWXMLDocument doc;
  doc.SetName(L"config");
  doc.SetPropertyValue(L"version", L"2");
  CWXMLNode* server = doc.AddChildNode(L"server");
  server->SetPropertyValue(L"name", L"a b");
  server->AddChildNode(L"port")->SetValue(L"8080");
  server->AddChildNode(L"note")->SetValue(L"a value of more than thirty-two characters");
  server->AddChildNode(L"empty")->SetValue(L"");
  Add(server->m_Children, server, CWXML_NODE_COMMENT, L" note ");
  doc.AddChildNode(L"none");
  CWXMLNode* p = doc.AddChildNode(L"p");
  p->SetValue(L"Hello ");
  p->AddChildNode(L"b")->AddChildNode(L"i")->SetValue(L"big");
  Add(p->m_Children, p, CWXML_NODE_TEXT, L" world");
  CWXMLNode* list = doc.AddChildNode(L"list");
  list->SetValue(L"");
  list->AddChildNode(L"item");
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  const std::string root =
      "<config version=\"2\">\n"
      "\t<server name=\"a b\">\n"
      "\t\t<port>8080</port>\n"
      "\t\t<note>a value of more than thirty-two characters</note>\n"
      "\t\t<empty></empty>\n"
      "\t\t<!-- note -->\n"
      "\t</server>\n"
      "\t<none/>\n"
      "\t<p>Hello <b><i>big</i></b> world</p>\n"
      "\t<list><![CDATA[]]>\n"
      "\t\t<item/>\n"
      "\t</list>\n"
      "</config>\n";
  const struct {
    int indent;
    bool crlf, declaration;
    const char* unit;
  } cases[] = {
      {CWXML_INDENT_TABS, false, true, "\t"},
      {CWXML_INDENT_TABS, true, true, "\t"},
      {CWXML_INDENT_TABS, false, false, "\t"},
      {2, false, true, "  "},
      {3, true, false, "   "},
      {CWXML_INDENT_NONE, false, true, ""},
      {CWXML_INDENT_NONE, true, false, ""},
  };
  for (const auto& c : cases) {
    CWXMLSaveOptions options;
    options.indent = c.indent;
    options.crlf = c.crlf;
    options.declaration = c.declaration;
    const std::string end = c.indent == CWXML_INDENT_NONE ? "" : c.crlf ? "\r\n" : "\n";
    const std::string label = std::to_string(c.indent) + (c.crlf ? " crlf" : "") +
                              (c.declaration ? "" : " no declaration");
    CWBlock block;
    ASSERT_EQ(0, doc.SaveXML(block, 0, options)) << label;
    EXPECT_EQ(Layout((c.declaration ? declaration : "") + root, c.unit, end), Text(block)) << label;
    // A node starts at its depth and has no declaration.
    CWBlock node;
    ASSERT_EQ(0, server->SaveXML(node, 1, options)) << label;
    const size_t from = root.find("\t<server"), to = root.find("\t<none");
    EXPECT_EQ(Layout(root.substr(from, to - from), c.unit, end), Text(node)) << label;
  }
  CWBlock defaults;  // two arguments: tabs, LF, declaration
  ASSERT_EQ(0, doc.SaveXML(defaults));
  EXPECT_EQ(declaration + root, Text(defaults));
}

TEST(XmlStandardWriter, EscapesOnlyWhatXmlNeeds) {
  const struct {
    const wchar_t* value;
    const wchar_t* attribute;
    bool crlf;
    const char* text;
  } cases[] = {
      {L"a&b<c>d\"e'", L"a&b<c>d\"e'", false,
       "<x v=\"a&amp;b&lt;c>d&quot;e'\">a&amp;b&lt;c>d\"e'</x>"},
      {L"1\r\n2\t3\n", L"1\r\n2\t3", false, "<x v=\"1&#13;&#10;2&#9;3\">1&#13;\n2\t3\n</x>"},
      {L"1\r\n2\n", L"\n", true, "<x v=\"&#10;\">1&#13;\r\n2\r\n</x>"},
      {L" x ", L" x ", false, "<x v=\" x \"> x </x>"},
      {L"\u0085\u00e9\u20ac\U0001F600", L"\u007f", false,
       "<x v=\"&#127;\">&#133;\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</x>"},
      {L"]]>]>]]]>", L"]]>", false, "<x v=\"]]>\">]]&gt;]>]]]&gt;</x>"},
      // Runs long enough for the sixteen-unit copy.
      {L"line one of the text\nline two of the text\n", L"", true,
       "<x v=\"\">line one of the text\r\nline two of the text\r\n</x>"},
      {L"sixteen units and more]]>sixteen units and more", L"", false,
       "<x v=\"\">sixteen units and more]]&gt;sixteen units and more</x>"},
  };
  for (const auto& c : cases) {
    CWXMLNode node;
    node.SetName(L"x");
    node.SetValue(c.value);
    node.SetPropertyValue(L"v", c.attribute);
    CWXMLSaveOptions options;
    options.crlf = c.crlf;
    CWBlock block;
    ASSERT_EQ(0, node.SaveXML(block, 0, options)) << c.text;
    EXPECT_EQ(std::string(c.text) + (c.crlf ? "\r\n" : "\n"), Text(block));
  }
  // "]]" at the end of the value and ">" at the start of the text after it.
  CWXMLNode split;
  split.SetName(L"x");
  split.SetValue(L"a]]");
  split.AddChildNode(L"y");
  Add(split.m_Children, &split, CWXML_NODE_TEXT, L"]]");
  Add(split.m_Children, &split, CWXML_NODE_TEXT, L">");
  CWBlock block;
  ASSERT_EQ(0, split.SaveXML(block, 0, CWXMLSaveOptions()));
  EXPECT_EQ("<x>a]]<y/>]]&gt;</x>\n", Text(block));
}

TEST(XmlStandardWriter, WritesEveryKindOfNode) {
  const struct {
    int kind;
    const wchar_t* value;
    bool crlf;
    const char* text;  // written inside <a>...</a>
  } cases[] = {
      {CWXML_NODE_TEXT, L"x < y\n", false, "x &lt; y\n"},
      {CWXML_NODE_TEXT, L"", false, ""},
      {CWXML_NODE_CDATA, L"<&>", false, "<![CDATA[<&>]]>"},
      {CWXML_NODE_CDATA, L"a]]>b]]>", false, "<![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]>"},
      {CWXML_NODE_CDATA, L"a\r\nb", false, "<![CDATA[a]]>&#13;<![CDATA[\nb]]>"},
      {CWXML_NODE_CDATA, L"a\nb", true, "<![CDATA[a\r\nb]]>"},
      {CWXML_NODE_CDATA, L"", false, "<![CDATA[]]>"},
      {CWXML_NODE_CDATA, L"sixteen units and more]]>and\nmore", true,
       "<![CDATA[sixteen units and more]]]]><![CDATA[>and\r\nmore]]>"},
      {CWXML_NODE_COMMENT, L"a comment of some length\r\nover two lines", true,
       "<!--a comment of some length\r\nover two lines-->"},
      {CWXML_NODE_COMMENT, L" a - b\n", true, "<!-- a - b\r\n-->"},
      {CWXML_NODE_COMMENT, L"a\r\nb\rc", false, "<!--a\nb\nc-->"},
      {CWXML_NODE_COMMENT, L"", false, "<!---->"},
      {CWXML_NODE_PI, L"target data ?", false,
       "<?target data ?"
       "?>"},
      {CWXML_NODE_PI, L"xml-stylesheet href=\"a\"", false, "<?xml-stylesheet href=\"a\"?>"},
      {CWXML_NODE_PI, L"t", false, "<?t?>"},
  };
  for (const auto& c : cases) {
    for (int indent : {CWXML_INDENT_TABS, CWXML_INDENT_NONE}) {
      CWXMLNode a;
      a.SetName(L"a");
      Add(a.m_Children, &a, c.kind, c.value);
      CWXMLSaveOptions options;
      options.crlf = c.crlf;
      options.indent = indent;
      // Text and CDATA are character data: never laid out around.
      const bool text = c.kind == CWXML_NODE_TEXT || c.kind == CWXML_NODE_CDATA;
      const std::string end = indent == CWXML_INDENT_NONE ? "" : c.crlf ? "\r\n" : "\n";
      const std::string tab = indent == CWXML_INDENT_NONE ? "" : "\t";
      std::string expected = "<a>";
      if (!text) expected.append(end).append(tab);
      expected += c.text;
      if (!text) expected += end;
      expected.append("</a>").append(end);
      CWBlock block;
      ASSERT_EQ(0, a.SaveXML(block, 0, options)) << c.text;
      EXPECT_EQ(expected, Text(block));
    }
  }
}

// Refusals: the block is left as it was and the reason names the fault and
// where in the output it would have stood.
TEST(XmlStandardWriter, RefusesWhatIsNotXmlAndSaysWhy) {
  const struct {
    const wchar_t* name;
    const wchar_t* attribute;
    const wchar_t* value;
    int kind;  // of a second child, with `value`; -1 for none
    int code;
    int line, column;
  } cases[] = {
      // Line 1 the declaration, 2 the root, 3 <first/>, 4 the child, 5 the node.
      {L"1a", L"k", L"v", -1, CWXML_ERROR_NAME, 4, 3},
      {L"a b", L"k", L"v", -1, CWXML_ERROR_NAME, 4, 3},
      {L"a", L"k=", L"v", -1, CWXML_ERROR_NAME, 4, 5},
      {L"a", L"k", L"ok\x01", -1, CWXML_ERROR_ENCODING, 4, 13},
      {L"a", L"k", L"\xFFFE", -1, CWXML_ERROR_ENCODING, 4, 11},
      {L"a", L"k", L"\xD800", -1, CWXML_ERROR_ENCODING, 4, 11},
      {L"a", L"k", L"a--b", CWXML_NODE_COMMENT, CWXML_ERROR_COMMENT, 5, 2},
      {L"a", L"k", L"a-", CWXML_NODE_COMMENT, CWXML_ERROR_COMMENT, 5, 2},
      {L"a", L"k", L"\x01", CWXML_NODE_COMMENT, CWXML_ERROR_ENCODING, 5, 6},
      {L"a", L"k", L"xml v", CWXML_NODE_PI, CWXML_ERROR_PI, 5, 2},
      {L"a", L"k", L"XmL", CWXML_NODE_PI, CWXML_ERROR_PI, 5, 2},
      {L"a", L"k", L"1t", CWXML_NODE_PI, CWXML_ERROR_PI, 5, 2},
      {L"a", L"k", L"t a?>b", CWXML_NODE_PI, CWXML_ERROR_PI, 5, 2},
      {L"a", L"k", L"", CWXML_NODE_PI, CWXML_ERROR_PI, 5, 2},
      {L"a", L"k", L"<!DOCTYPE r>", CWXML_NODE_DOCTYPE, CWXML_ERROR_MISPLACED_NODE, 5, 2},
      {L"a", L"k", L"x", 42, CWXML_ERROR_MISPLACED_NODE, 5, 2},
      // Character data in the root: no layout there, all on line 2.
      {L"a", L"k", L"\xDFFF", CWXML_NODE_CDATA, CWXML_ERROR_ENCODING, 2, 34},
  };
  for (const auto& c : cases) {
    CWXMLDocument doc;
    doc.SetName(L"root");
    doc.AddChildNode(L"first");
    CWXMLNode* child = doc.AddChildNode(c.name);
    child->SetPropertyValue(c.attribute, L"1");
    if (c.kind < 0)
      child->SetValue(c.value);
    else
      Add(doc.m_Children, &doc, c.kind, c.value);
    const std::string label = XmlUtf8(c.value);
    CWBlock block;
    block.AddData(const_cast<char*>("kept"), 4);
    CWXMLError error = {};
    EXPECT_EQ(-1, doc.SaveXML(block, 0, CWXMLSaveOptions(), &error)) << label;
    EXPECT_EQ("kept", Text(block));
    EXPECT_EQ(c.code, error.code) << label;
    EXPECT_EQ(c.code, doc.GetLastError().code) << label;
    EXPECT_STREQ(error.message, doc.GetLastError().message);
    EXPECT_EQ(c.line, error.line) << label;
    EXPECT_EQ(c.column, error.column) << label;
    EXPECT_EQ(-1, doc.CWXMLNode::SaveXML(block, 3, CWXMLSaveOptions(), &error));
    EXPECT_EQ("kept", Text(block));
    EXPECT_EQ(c.code, error.code) << label;
  }
  CWXMLNode twice;  // two attributes of one name, as the reader of the exact form may give
  twice.SetName(L"a");
  twice.SetPropertyValue(L"k", L"1");
  auto* prop = new CWXMLProp;
  prop->SetName(L"k");
  prop->SetValue(L"2");
  twice.m_Props.Add(prop);
  CWBlock block;
  CWXMLError error = {};
  EXPECT_EQ(-1, twice.SaveXML(block, 0, CWXMLSaveOptions(), &error));
  EXPECT_EQ(CWXML_ERROR_ATTRIBUTE, error.code);
  EXPECT_EQ(0u, block.GetSize());
  CWXMLNode nameless;
  EXPECT_EQ(-1, nameless.SaveXML(block, 0, CWXMLSaveOptions(), &error));
  EXPECT_EQ(CWXML_ERROR_NO_ROOT, error.code);
  CWXMLDocument doc;  // a success says so
  doc.SetName(L"r");
  ASSERT_EQ(0, doc.SaveXML(block, 0, CWXMLSaveOptions(), &error));
  EXPECT_EQ(CWXML_ERROR_NONE, error.code);
  EXPECT_EQ(CWXML_ERROR_NONE, doc.GetLastError().code);
}

TEST(XmlStandardWriter, WritesTheDocumentAroundItsRoot) {
  const struct {
    const wchar_t* prolog[4];  // kind letter and text: D declaration, C comment, P PI, T text, Y
                               // DOCTYPE, E element
    const wchar_t* epilog[2];
    bool declaration;
    const char* text;  // or null when refused
    int code;
  } cases[] = {
      {{}, {}, true, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r/>\n", 0},
      {{}, {}, false, "<r/>\n", 0},
      {{L"Dxml version='1.0' encoding = \"ISO-8859-1\" standalone='yes'", L"C c", L"Y<!DOCTYPE r>"},
       {L"Pp"},
       true,
       "<?xml version='1.0' encoding = \"UTF-8\" standalone='yes'?>\n<!-- c-->\n<!DOCTYPE r>\n"
       "<r/>\n<?p?>\n",
       0},
      {{L"Dxml version=\"1.0\"", L"C c"}, {}, false, "<!-- c-->\n<r/>\n", 0},
      {{L"Dxml version=\"1.1\" encoding='utf-8'"},
       {},
       true,
       "<?xml version=\"1.1\" encoding='utf-8'?>\n<r/>\n",
       0},
      {{L"Dxml version=\"2.0\""}, {}, true, nullptr, CWXML_ERROR_PI},
      {{L"Dxml version=\"1.0\" junk"}, {}, true, nullptr, CWXML_ERROR_PI},
      {{L"C c", L"Pxml version=\"1.0\""}, {}, true, nullptr, CWXML_ERROR_PI},
      {{L"Tx"}, {}, true, nullptr, CWXML_ERROR_MISPLACED_NODE},
      {{L"Ee"}, {}, true, nullptr, CWXML_ERROR_MISPLACED_NODE},
      {{L"Y<!DOCTYPE r>", L"Y<!DOCTYPE r>"}, {}, true, nullptr, CWXML_ERROR_MISPLACED_NODE},
      {{}, {L"Y<!DOCTYPE r>"}, true, nullptr, CWXML_ERROR_MISPLACED_NODE},
      {{L"Y<!ELEMENT r ANY>"}, {}, true, nullptr, CWXML_ERROR_DOCTYPE},
      {{L"Y<!DOCTYPE r"}, {}, true, nullptr, CWXML_ERROR_DOCTYPE},
  };
  for (const auto& c : cases) {
    CWXMLDocument doc;
    doc.SetName(L"r");
    auto fill = [](CWPtArray& list, const wchar_t* const* items, size_t n) {
      for (size_t i = 0; i < n && items[i]; ++i) {
        const wchar_t k = items[i][0];
        const int kind = k == L'D' || k == L'P' ? CWXML_NODE_PI
                         : k == L'C'            ? CWXML_NODE_COMMENT
                         : k == L'T'            ? CWXML_NODE_TEXT
                         : k == L'Y'            ? CWXML_NODE_DOCTYPE
                                                : CWXML_NODE_ELEMENT;
        Add(list, nullptr, kind, items[i] + 1);
      }
    };
    fill(doc.m_Prolog, c.prolog, 4);
    fill(doc.m_Epilog, c.epilog, 2);
    CWXMLSaveOptions options;
    options.declaration = c.declaration;
    CWBlock block;
    const int rc = doc.SaveXML(block, 0, options);
    EXPECT_EQ(c.code, doc.GetLastError().code) << (c.text ? c.text : "");
    if (c.text) {
      EXPECT_EQ(0, rc);
      EXPECT_EQ(c.text, Text(block));
    } else {
      EXPECT_EQ(-1, rc);
      EXPECT_EQ(0u, block.GetSize());
    }
    for (CWPtArray* list : {&doc.m_Prolog, &doc.m_Epilog}) {  // the nodes put there by hand
      for (int i = 0; i < list->GetSize(); ++i) delete static_cast<CWXMLNode*>(list->GetAt(i));
      list->RemoveAll();
    }
  }
}

// The tree as the standard reader gives it back: values lose literal white
// space at their ends (a CR is written as a reference, which stays), and an
// element with children whose value was only white space has none.
void Trim(CWXMLNode& node) {
  if (node.m_pValue) {
    std::wstring v = node.m_pValue;
    const size_t a = v.find_first_not_of(L" \t\n"), b = v.find_last_not_of(L" \t\n");
    v = a == std::wstring::npos ? L"" : v.substr(a, b - a + 1);
    if (v.empty() && *node.m_pValue && node.GetChildCount()) {
      delete[] node.m_pValue;  // owned: set by SetValue
      node.m_pValue = nullptr;
      node.m_bOwnValue = 0;
    } else {
      node.SetValue(v.c_str());
    }
  }
  for (int i = 0; i < node.GetChildCount(); ++i) Trim(*node.GetChildAt(i));
}

// Random trees of valid names read back the same, but for the white space
// the reader trims, with every layout, however deep.
TEST(XmlStandardWriter, RandomTreesReadBackTheSame) {
  CWTestRandom random(14);
  const wchar_t* names[] = {L"a", L"b-c", L"p:q", L"_x.1", L"\u00e9l\u00e9ment", L"\u4e2d"};
  const wchar_t* texts[] = {L"",       L" ",     L"x",       L"a b",          L"<&>\"'",
                            L"\r\n\t", L" lead", L"trail\n", L"\u0080\u00ff", L"\U0001F600",
                            L"]]>",    L"&amp;", L"a]]"};
  for (int round = 0; round < 300; ++round) {
    CWXMLNode root;
    root.SetName(random.Pick(names));
    CWXMLNode* open[8] = {&root};
    int depth = 1;
    for (int i = 0, n = static_cast<int>(random.Below(30)); i < n; ++i) {
      CWXMLNode* node = open[random.Below(static_cast<uint32_t>(depth))];
      if (random.Chance(30)) {
        node->SetPropertyValue((std::wstring(random.Pick(names)) + std::to_wstring(i)).c_str(),
                               random.Pick(texts));
      } else if (random.Chance(40)) {
        node->SetValue(random.Pick(texts));
      } else if (depth < 8) {
        open[depth++] = node->AddChildNode(random.Pick(names));
      }
    }
    CWXMLNode expected;
    expected = root;
    Trim(expected);
    CWXMLSaveOptions options;
    options.indent = static_cast<int>(random.Below(4)) - 1;
    options.crlf = random.Chance(50);
    CWBlock block;
    ASSERT_EQ(0, root.SaveXML(block, 0, options)) << round;
    CWXMLDocument back;
    ASSERT_EQ(0, back.LoadXML(static_cast<unsigned char*>(block.GetBuffer()),
                              static_cast<long>(block.GetSize())))
        << round << ": " << Text(block);
    EXPECT_EQ(XmlDump(expected), XmlDump(back)) << round << ": " << Text(block);
  }
  CWXMLNode deep;
  deep.SetName(L"d");
  CWXMLNode* at = &deep;
  for (int i = 0; i < 3 * CWXML_MAX_DEPTH; ++i) at = at->AddChildNode(L"d");
  CWBlock block;
  EXPECT_EQ(0, deep.SaveXML(block, -1));  // no recursion in the writer
}

}  // namespace
