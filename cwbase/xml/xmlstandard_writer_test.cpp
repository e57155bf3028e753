#include <gtest/gtest.h>

#include <string>

#include "cwbase/xml/xmlnode.h"
#include "testing/random.h"
#include "testing/xmltree.h"

namespace {

std::string Text(CWBlock& block) {
  return std::string(static_cast<const char*>(block.GetBuffer()), block.GetSize());
}

std::wstring Reload(CWXMLNode& node, std::string* saved = nullptr) {
  CWBlock block;
  if (node.SaveXML(block) != 0) return L"not written";
  if (saved) *saved = Text(block);
  CWXMLDocument back;
  if (back.LoadXML(static_cast<unsigned char*>(block.GetBuffer()),
                   static_cast<long>(block.GetSize())))
    return L"not read: " + std::to_wstring(back.GetLastError().code);
  return XmlDump(back);
}

TEST(XmlStandardWriter, KeepsTheExactLayout) {
  CWXMLDocument doc;
  doc.SetName(L"config");
  doc.SetPropertyValue(L"version", L"2");
  CWXMLNode* server = doc.AddChildNode(L"server");
  server->SetPropertyValue(L"name", L"a b");
  server->AddChildNode(L"port")->SetValue(L"8080");
  server->AddChildNode(L"note")->SetValue(L"a value of more than thirty-two characters");
  server->AddChildNode(L"empty")->SetValue(L"");
  doc.AddChildNode(L"none");
  CWBlock block;
  ASSERT_EQ(0, doc.SaveXML(block));
  EXPECT_EQ(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<config version=\"2\">\r\n"
      "\t<server name=\"a b\">\r\n"
      "\t\t<port>8080</port>\r\n"
      "\t\t<note>\r\n\t\t\ta value of more than thirty-two characters\r\n\t\t</note>\r\n"
      "\t\t<empty></empty>\r\n"
      "\t</server>\r\n"
      "\t<none/>\r\n"
      "</config>\r\n",
      Text(block));
}

TEST(XmlStandardWriter, EscapesWhatXmlNeeds) {
  const struct {
    const wchar_t* value;
    const wchar_t* attribute;
    const char* text;
  } cases[] = {
      {L"a&b<c>d\"e'", L"a&b<c>d\"e'", "<x v=\"a&amp;b&lt;c>d&quot;e'\">a&amp;b&lt;c&gt;d\"e'</x>"},
      {L"1\r\n2\t3", L"1\r\n2\t3", "<x v=\"1&#13;&#10;2&#9;3\">1&#13;\n2\t3</x>"},
      {L" x ", L" x ", "<x v=\" x \">&#32;x&#32;</x>"},
      {L"\u0085\u00e9\u20ac\U0001F600", L"\u007f",
       "<x v=\"&#127;\">&#133;\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</x>"},
      {L"]]>", L"", "<x v=\"\">]]&gt;</x>"},
  };
  for (const auto& c : cases) {
    CWXMLNode node;
    node.SetName(L"x");
    node.SetValue(c.value);
    node.SetPropertyValue(L"v", c.attribute);
    std::string saved;
    const std::wstring dump = Reload(node, &saved);
    EXPECT_EQ(std::string(c.text) + "\r\n", saved);
    CWXMLNode copy;
    copy = node;
    EXPECT_EQ(XmlDump(copy), dump) << c.text;  // read back unchanged
  }
}

TEST(XmlStandardWriter, RefusesWhatIsNotXmlAndLeavesTheBlock) {
  auto tree = [](const wchar_t* name, const wchar_t* attribute, const wchar_t* value) {
    auto* node = new CWXMLDocument;
    node->SetName(L"root");
    CWXMLNode* child = node->AddChildNode(name);
    child->SetPropertyValue(attribute, L"1");
    child->SetValue(value);
    return node;
  };
  CWXMLDocument* cases[] = {
      tree(L"1a", L"k", L"v"),   tree(L"a b", L"k", L"v"),    tree(L"a", L"k=", L"v"),
      tree(L"a", L"k", L"\x01"), tree(L"a", L"k", L"\xFFFE"), tree(L"a", L"k", L"\xD800"),
  };
  for (CWXMLDocument* doc : cases) {
    CWBlock block;
    block.AddData(const_cast<char*>("kept"), 4);
    EXPECT_EQ(-1, doc->SaveXML(block)) << XmlDump(*doc).c_str();
    EXPECT_EQ("kept", Text(block));
    EXPECT_EQ(-1, doc->CWXMLNode::SaveXML(block, 3));
    EXPECT_EQ("kept", Text(block));
    delete doc;
  }
  CWXMLNode twice;  // two attributes of one name, as the reader of the exact form may give
  twice.SetName(L"a");
  twice.SetPropertyValue(L"k", L"1");
  auto* prop = new CWXMLProp;
  prop->SetName(L"k");
  prop->SetValue(L"2");
  twice.m_Props.Add(prop);
  CWBlock block;
  EXPECT_EQ(-1, twice.SaveXML(block));
  EXPECT_EQ(0u, block.GetSize());
  CWXMLNode nameless;
  EXPECT_EQ(-1, nameless.SaveXML(block));
}

TEST(XmlStandardWriter, NullEmptyAndMixedValuesSurvive) {
  CWXMLNode a;
  a.SetName(L"a");
  a.AddChildNode(L"b");  // null value with a child
  CWXMLNode* c = a.AddChildNode(L"c");
  c->SetValue(L"");
  c->AddChildNode(L"d");  // empty value with a child
  CWXMLNode* e = a.AddChildNode(L"e");
  e->SetValue(L"text beside its child, long enough for a line of its own");
  e->AddChildNode(L"f")->SetValue(L"  ");
  a.m_Children.Add(nullptr);  // left out, as by the exact writer
  a.m_Children.Add(new CWXMLNode(&a));
  EXPECT_EQ(L"a{b c\"\"{d} e\"text beside its child, long enough for a line of its own\"{f\"  \"}}",
            Reload(a));
}

// Random trees of valid names read back the same, however deep.
TEST(XmlStandardWriter, RandomTreesReadBackTheSame) {
  CWTestRandom random(14);
  const wchar_t* names[] = {L"a", L"b-c", L"p:q", L"_x.1", L"\u00e9l\u00e9ment", L"\u4e2d"};
  const wchar_t* texts[] = {L"",       L" ",     L"x",       L"a b",          L"<&>\"'",
                            L"\r\n\t", L" lead", L"trail\n", L"\u0080\u00ff", L"\U0001F600",
                            L"]]>",    L"&amp;"};
  for (int round = 0; round < 200; ++round) {
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
    CWXMLNode copy;
    copy = root;
    ASSERT_EQ(XmlDump(copy), Reload(root)) << round;
  }
  CWXMLNode deep;
  deep.SetName(L"d");
  CWXMLNode* at = &deep;
  for (int i = 0; i < 3 * CWXML_MAX_DEPTH; ++i) at = at->AddChildNode(L"d");
  CWBlock block;
  EXPECT_EQ(0, deep.SaveXML(block, -1));  // no recursion in the writer
}

}  // namespace
