// The standard reader and writer against pugixml (default options) as the
// conforming yardstick: generated documents using every construct the
// reader handles, and every *.xml file under /usr/share. Trees compare by
// the mapping rules: names, attributes in order, child elements in order,
// and as the value the element's character data (pugixml's text and CDATA
// children, concatenated) with white space at both ends removed.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cwbase/text/internal/utf8_reference.h"
#include "cwbase/xml/xmlnode.h"
#include "testing/random.h"

namespace {

std::string Utf8(const wchar_t* s) {
  std::string out;
  unsigned char bytes[cwbase_internal::kMaxUtf8Unit];
  for (; s && *s; ++s)
    out.append(reinterpret_cast<char*>(bytes),
               cwbase_internal::ReferenceEncodeUtf8(static_cast<int32_t>(*s), bytes));
  return out;
}

std::string Trim(const std::string& s) {
  const char* space = " \t\r\n";
  const size_t first = s.find_first_not_of(space);
  return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(space) + 1 - first);
}

// Where the trees first differ, or empty when they agree.
std::string Compare(CWXMLNode& mine, const pugi::xml_node& theirs, const std::string& path) {
  const std::string here = path + "/" + theirs.name();
  if (Utf8(mine.GetName()) != theirs.name()) return here + ": name " + Utf8(mine.GetName());
  int i = 0;
  for (const pugi::xml_attribute& a : theirs.attributes()) {
    if (i >= mine.m_Props.GetSize()) return here + ": fewer attributes";
    auto* p = static_cast<CWXMLProp*>(mine.m_Props.GetAt(i++));
    if (Utf8(p->m_pName) != a.name() || Utf8(p->m_pValue) != a.value())
      return here + ": attribute " + a.name() + "=" + a.value() + " read as " + Utf8(p->m_pName) +
             "=" + Utf8(p->m_pValue);
  }
  if (i != mine.m_Props.GetSize()) return here + ": more attributes";
  std::string text;
  int child = 0;
  for (const pugi::xml_node& c : theirs.children()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
    if (c.type() != pugi::node_element) continue;
    if (child >= mine.GetChildCount()) return here + ": fewer children";
    std::string inner = Compare(*mine.GetChildAt(child++), c, here);
    if (!inner.empty()) return inner;
  }
  if (child != mine.GetChildCount()) return here + ": more children";
  if (Trim(Utf8(mine.GetValue())) != Trim(text))
    return here + ": value \"" + Utf8(mine.GetValue()) + "\", pugixml \"" + text + "\"";
  return "";
}

// Empty when both read `bytes` to the same tree and pugixml reads the
// standard writer's output of it to the same tree again; else the reason.
std::string Differential(const std::string& bytes, bool* pugiRead = nullptr) {
  pugi::xml_document theirs;
  const bool theyRead = theirs.load_buffer(bytes.data(), bytes.size());
  if (pugiRead) *pugiRead = theyRead;
  CWXMLDocument mine;
  const int rc = mine.LoadXML(reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<long>(bytes.size()));
  if (!theyRead) return rc == 0 ? "only cwbase reads it" : "";
  if (rc != 0)
    return std::string("LoadXML: ") + mine.GetLastError().message + " at " +
           std::to_string(mine.GetLastError().line) + ":" +
           std::to_string(mine.GetLastError().column);
  std::string diff = Compare(mine, theirs.document_element(), "");
  if (!diff.empty()) return diff;
  CWBlock saved;
  if (mine.SaveXML(saved) != 0) return "SaveXML refused the tree";
  pugi::xml_document back;
  if (!back.load_buffer(saved.GetBuffer(), saved.GetSize())) return "pugixml rejects SaveXML";
  diff = Compare(mine, back.document_element(), "");
  return diff.empty() ? "" : "SaveXML read back by pugixml: " + diff;
}

TEST(XmlStandardPugixml, ConstructsAgree) {
  const std::string every =
      "<?xml version='1.0'?>\n<!-- c --><?pi x?>\n"
      "<!DOCTYPE r [ <!ENTITY e 'x'> <!ATTLIST r a CDATA '>'> ]>\n"
      "<r a = \"1\" b='2' xmlns:p=\"urn:p\">\r\n  <p:c\n d='&lt;&amp;&gt;&quot;&apos;'/>"
      "<![CDATA[ <cdata> ]]>text &#65;&#x263A; &e;<!-- x -->more\r\n</r>";
  const std::string cases[] = {
      every,
      "<a t='\t\r\nx&#9;&#10;'>  lead <b/> middle <c>in</c> trail  </a>",
      "<a>\n\t<b>1</b>\n\t<b>2</b>\n</a>",
      "<a><![CDATA[]]></a>",
      "<a>&#32; &#x20;</a>",
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v='\xE9'>\xFC</a>",
      std::string("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 16),
      std::string("\xEF\xBB\xBF<a>\xE2\x82\xAC</a>"),
      "<a>x</b>",
      "<a><b></a>",
  };
  for (const std::string& c : cases) EXPECT_EQ("", Differential(c)) << c;
}

// Random documents built from the constructs, in random layouts.
TEST(XmlStandardPugixml, GeneratedDocumentsAgree) {
  CWTestRandom random(1414);
  const char* names[] = {"a", "b-c", "p:q", "_x.1", "\xC3\xA9l", "\xE4\xB8\xAD"};
  const char* texts[] = {"x",      " y ",           "&amp;&lt;&gt;", "&#65;&#x10000;", "\xC3\xA9",
                         "a\r\nb", "<![CDATA[c]]>", "<!-- c -->",    "<?p d?>",        "&ent;"};
  const char* values[] = {"v", "&amp;x", "&#65;", " s ", "\xC3\xA9", "&ent;", "a\r\nb\t"};
  const char* spaces[] = {"", " ", "\n", "\t ", "\r\n"};
  for (int round = 0; round < 300; ++round) {
    std::string doc = random.Chance(50) ? "<?xml version=\"1.0\"?>" : "";
    if (random.Chance(30)) doc += "<!DOCTYPE r [<!ENTITY ent 'v'>]>";
    std::vector<std::string> open;
    int count = 0;
    do {
      const std::string name = random.Pick(names);
      std::string tag = "<" + name;
      for (int k = 0, n = static_cast<int>(random.Below(3)); k < n; ++k) {
        const char quote = random.Chance(50) ? '"' : '\'';
        tag += std::string(" ") + "k" + std::to_string(k) + random.Pick(spaces) + "=" +
               random.Pick(spaces) + quote + random.Pick(values) + quote;
      }
      tag += random.Pick(spaces);
      if (random.Chance(25) && !open.empty()) {
        doc += tag + "/>";
      } else {
        doc += tag + ">";
        open.push_back(name);
      }
      while (!open.empty() && random.Chance(40)) {
        doc += random.Pick(texts);
        doc += random.Pick(spaces);
        if (random.Chance(50)) {
          doc += "</" + open.back() + random.Pick(spaces) + ">";
          open.pop_back();
        }
      }
    } while (++count < 30 && !open.empty());
    while (!open.empty()) {
      doc += "</" + open.back() + ">";
      open.pop_back();
    }
    ASSERT_EQ("", Differential(doc)) << doc;
  }
}

TEST(XmlStandardPugixml, SystemFilesAgree) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  const auto options = std::filesystem::directory_options::skip_permission_denied;
  for (std::filesystem::recursive_directory_iterator it("/usr/share", options, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == ".xml" && it->is_regular_file(ec) &&
        it->file_size(ec) < (64 << 20))
      files.push_back(it->path());
  }
  if (files.empty()) GTEST_SKIP() << "no *.xml file under /usr/share";
  int read = 0, matched = 0;
  std::string mismatches;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    bool pugiRead = false;
    const std::string diff = Differential(bytes.str(), &pugiRead);
    read += pugiRead;
    if (!pugiRead) continue;
    if (diff.empty())
      ++matched;
    else
      mismatches += "  " + file.string() + ": " + diff.substr(0, 200) + "\n";
  }
  std::printf("pugixml reads %d of %zu files; LoadXML gives the same tree for %d\n%s", read,
              files.size(), matched, mismatches.c_str());
  EXPECT_GE(matched * 100, read * 99) << mismatches;
}

}  // namespace
