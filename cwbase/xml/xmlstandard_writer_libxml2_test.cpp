// SaveXML against libxml2, a conforming XML 1.0 reader: whatever the
// layout options, libxml2 reads SaveXML's output to the tree that was
// written, for trees built with the setters (every kind of node, text that
// needs escaping, mixed content) and for trees LoadXML reads from generated
// documents and from the *.xml files under /usr/share.
//
// Mapping of the two trees:
// - Elements: name, then every attribute in order (namespace declarations
//   included, compared by name and value), then the child elements,
//   comments and processing instructions in order.
// - Element text: the tree's character data is its value followed by its
//   text and CDATA children; libxml2's, its text and CDATA children
//   concatenated. When the tree's element has character data the two must
//   be equal, character for character; when it has none, libxml2 may see
//   only white space (the layout SaveXML adds between children).
#include <gtest/gtest.h>
#include <algorithm>

#include <cstdio>
#include <string>
#include <vector>

#include "testing/random.h"
#include "testing/xmldtdgen.h"
#include "testing/xmlfiles.h"
#include "testing/xmllibxml2.h"

namespace {

bool IsWhite(const std::string& s) {
  return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Where libxml2's `theirs` differs from `mine`, or empty.
std::string Compare(CWXMLNode& mine, xmlNodePtr theirs, const std::string& path) {
  const std::string here = path + "/" + XmlUtf8(mine.m_pName);
  if (XmlLibxml2QName(theirs->ns, theirs->name) != XmlUtf8(mine.m_pName))
    return here + ": libxml2 names it " + XmlLibxml2QName(theirs->ns, theirs->name);
  XmlAttributeList myAttributes, theirAttributes;
  for (int i = 0; i < mine.m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(mine.m_Props.GetAt(i));
    if (p && p->m_pName && p->m_pValue)
      myAttributes.emplace_back(XmlUtf8(p->m_pName), XmlUtf8(p->m_pValue));
  }
  for (xmlNsPtr ns = theirs->nsDef; ns; ns = ns->next)
    theirAttributes.emplace_back(ns->prefix ? "xmlns:" + XmlLibxml2Str(ns->prefix) : "xmlns",
                                 XmlLibxml2Str(ns->href));
  for (xmlAttrPtr a = theirs->properties; a; a = a->next) {
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
    theirAttributes.emplace_back(XmlLibxml2QName(a->ns, a->name), XmlLibxml2Str(value));
    xmlFree(value);
  }
  // xmlns attributes come first in libxml2's lists; compare as sets in order of each kind.
  auto order = [](const XmlAttributeList& list) {
    XmlAttributeList ns, other;
    for (auto& a : list)
      (a.first == "xmlns" || a.first.compare(0, 6, "xmlns:") == 0 ? ns : other).push_back(a);
    ns.insert(ns.end(), other.begin(), other.end());
    return ns;
  };
  if (order(myAttributes) != order(theirAttributes))
    return here + ": attributes" + XmlShow(myAttributes) + ", libxml2" + XmlShow(theirAttributes);
  std::string myText = XmlUtf8(mine.m_pValue), theirText;
  bool charData = mine.m_pValue && *mine.m_pValue;
  std::vector<CWXMLNode*> myNodes;
  for (int i = 0; i < mine.GetChildCount(); ++i) {
    CWXMLNode* c = mine.GetChildAt(i);
    if (!c || (c->IsElement() && !c->m_pName)) continue;
    if (c->m_Kind == CWXML_NODE_TEXT || c->m_Kind == CWXML_NODE_CDATA) {
      myText += XmlUtf8(c->m_pValue);
      charData = true;
    } else {
      myNodes.push_back(c);
    }
  }
  size_t next = 0;
  for (xmlNodePtr c = theirs->children; c; c = c->next) {
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
      theirText += XmlLibxml2Str(c->content);
      continue;
    }
    if (c->type != XML_ELEMENT_NODE && c->type != XML_COMMENT_NODE && c->type != XML_PI_NODE)
      continue;
    if (next == myNodes.size()) return here + ": libxml2 has more children";
    CWXMLNode* m = myNodes[next++];
    if (c->type == XML_ELEMENT_NODE) {
      if (!m->IsElement()) return here + ": libxml2 has an element where the tree has none";
      std::string inner = Compare(*m, c, here);
      if (!inner.empty()) return inner;
      continue;
    }
    // Comments and processing instructions, line ends as a reader gives them.
    std::string text = XmlUtf8(m->m_pValue);
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    for (char& ch : text) ch = ch == '\r' ? '\n' : ch;
    std::string theirNode = XmlLibxml2Str(c->content);
    if (c->type == XML_PI_NODE) {  // libxml2 splits off the target and the white space after it
      const size_t target = text.find_first_of(" \t\n");
      const size_t data = text.find_first_not_of(" \t\n", target);
      std::string split = text.substr(0, target);
      split += '|';
      if (data != std::string::npos) split += text.substr(data);
      text = split;
      theirNode.insert(0, XmlLibxml2Str(c->name) + '|');
    }
    const int kind = c->type == XML_COMMENT_NODE ? CWXML_NODE_COMMENT : CWXML_NODE_PI;
    if (m->m_Kind != kind || text != theirNode) {
      std::string message = here;
      message.append(": node \"").append(text).append("\", libxml2 \"").append(theirNode);
      return message += '"';
    }
  }
  if (next != myNodes.size()) return here + ": libxml2 has fewer children";
  if (charData ? myText != theirText : !IsWhite(theirText))
    return here + ": text \"" + myText + "\", libxml2 \"" + theirText + "\"";
  return "";
}

// Every combination of the layout options.
std::vector<CWXMLSaveOptions> AllOptions() {
  std::vector<CWXMLSaveOptions> all;
  for (int indent : {CWXML_INDENT_TABS, CWXML_INDENT_NONE, 2})
    for (bool crlf : {false, true})
      for (bool declaration : {true, false}) {
        CWXMLSaveOptions o;
        o.indent = indent;
        o.crlf = crlf;
        o.declaration = declaration;
        all.push_back(o);
      }
  return all;
}

// Writes `doc` with every option and has libxml2 read each output; the
// first difference, or empty.
std::string WrittenAndRead(CWXMLDocument& doc) {
  for (const CWXMLSaveOptions& o : AllOptions()) {
    CWBlock block;
    if (doc.SaveXML(block, 0, o) != 0)
      return std::string("SaveXML refused the tree: ") + doc.GetLastError().message;
    const std::string text(static_cast<const char*>(block.GetBuffer()), block.GetSize());
    XmlLibxml2Doc theirs = XmlLibxml2Read(text);
    const std::string label = "indent " + std::to_string(o.indent) + (o.crlf ? " crlf" : "") +
                              (o.declaration ? "" : " no declaration") + ": ";
    if (!theirs || !xmlDocGetRootElement(theirs.get()))
      return label + "libxml2 does not read " + text.substr(0, 2000);
    std::string difference = Compare(doc, xmlDocGetRootElement(theirs.get()), "");
    if (!difference.empty()) return label + difference + "\n" + text.substr(0, 2000);
  }
  return "";
}

TEST(XmlStandardWriterLibxml2, GeneratedTreesReadTheSame) {
  CWTestRandom random(2207);
  const wchar_t* names[] = {L"a", L"b-c", L"_x.1", L"\u00e9l\u00e9ment", L"\u4e2d", L"z"};
  const wchar_t* texts[] = {
      L"",       L" ",          L"x",
      L"a b",    L"<&>\"'",     L"\r\n\t",
      L" lead",  L"trail\n",    L"\r",
      L"\n\n",   L"]]>",        L"a]]",
      L">",      L"&amp;",      L"\u0085",
      L"\u00e9", L"\U0001F600", L"long text, far longer than thirty-two characters, on one line"};
  const wchar_t* comments[] = {L"", L" c ", L"a-b", L"line\nline", L"<&>"};
  const wchar_t* pis[] = {L"p", L"p data", L"xml-stylesheet href=\"s\"", L"t  a ? > b"};
  int written = 0;
  for (int round = 0; round < 300; ++round) {
    CWXMLDocument doc;
    doc.SetName(random.Pick(names));
    std::vector<CWXMLNode*> open = {&doc};
    for (int i = 0, n = static_cast<int>(random.Below(40)); i < n; ++i) {
      CWXMLNode* node = open[random.Below(static_cast<uint32_t>(open.size()))];
      const uint32_t what = random.Below(100);
      if (what < 20) {
        node->SetPropertyValue((std::wstring(random.Pick(names)) + std::to_wstring(i)).c_str(),
                               random.Pick(texts));
      } else if (what < 35) {
        node->SetValue(random.Pick(texts));
      } else if (what < 60) {
        if (open.size() < 12) open.push_back(node->AddChildNode(random.Pick(names)));
      } else {
        auto* child = new CWXMLNode(node);
        child->m_Kind = what < 75   ? CWXML_NODE_TEXT
                        : what < 85 ? CWXML_NODE_CDATA
                        : what < 93 ? CWXML_NODE_COMMENT
                                    : CWXML_NODE_PI;
        child->SetValue(child->m_Kind == CWXML_NODE_COMMENT ? random.Pick(comments)
                        : child->m_Kind == CWXML_NODE_PI    ? random.Pick(pis)
                                                            : random.Pick(texts));
        node->m_Children.Add(child);
      }
    }
    const std::string difference = WrittenAndRead(doc);
    written += difference.empty();
    EXPECT_EQ("", difference) << "round " << round;
  }
  std::printf("generated trees: 300, all options, %d read the same\n", written);
}

// A load of exactly `bytes` with each load option; each tree read is
// written and read back by libxml2.
std::string LoadedAndWritten(const std::string& bytes, bool* read) {
  *read = false;
  for (unsigned long options : {0ul, CWXML_KEEP_ALL}) {
    CWXMLDocument doc;
    std::vector<unsigned char> copy(bytes.begin(), bytes.end());
    if (doc.LoadXML(copy.data(), static_cast<long>(copy.size()), options) != 0) continue;
    *read = true;
    std::string difference = WrittenAndRead(doc);
    if (!difference.empty()) return (options ? "keep all: " : "") + difference;
  }
  return "";
}

TEST(XmlStandardWriterLibxml2, GeneratedDocumentsReadTheSame) {
  CWTestDtdDocuments generator(4242);
  int read = 0;
  for (int round = 0; round < 300; ++round) {
    const std::string doc = generator.Next().first;
    bool loaded = false;
    EXPECT_EQ("", LoadedAndWritten(doc, &loaded)) << "round " << round << "\n" << doc;
    read += loaded;
  }
  std::printf("generated documents: 300, %d read by LoadXML and written the same\n", read);
}

// Up to 100 *.xml files under /usr/share, spread evenly over the sorted
// list, that LoadXML reads (each is written with every option set, which
// under the memory checkers would take long over all of them;
// scripts/xml-text-check goes over every file). A machine without any still
// runs the generated trees and documents above.
TEST(XmlStandardWriterLibxml2, SystemFilesReadTheSame) {
  std::vector<std::filesystem::path> all = XmlSystemFiles();
  std::sort(all.begin(), all.end());
  constexpr size_t kMostFiles = 100;
  std::vector<std::filesystem::path> files;
  for (size_t i = 0; i < std::min(all.size(), kMostFiles); ++i)
    files.push_back(all[i * all.size() / std::min(all.size(), kMostFiles)]);
  int read = 0, same = 0;
  std::string differences;
  for (const auto& file : files) {
    bool loaded = false;
    const std::string difference = LoadedAndWritten(XmlFileBytes(file), &loaded);
    read += loaded;
    if (!loaded) continue;
    if (difference.empty())
      ++same;
    else
      differences += "  " + file.string() + ": " + difference.substr(0, 400) + "\n";
  }
  std::printf("system files: %zu, read by LoadXML %d, written and read the same %d\n%s",
              files.size(), read, same, differences.c_str());
  EXPECT_EQ(read, same) << differences;
}

}  // namespace
