// The lossless round trip: a document read with CWXML_KEEP_ALL and written
// by SaveXML is the same document. libxml2's canonical form (C14N 1.0 with
// comments) of the input must equal that of the output for generated
// documents; inputs written in the writer's own forms come back byte for
// byte; an edit changes the output only where it touched the tree.
#include <libxml/c14n.h>
#include <libxml/parser.h>
#include <libxml/xmlmemory.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmlkeepgen.h"
#include "testing/xmllibxml2.h"

namespace {

int LoadKeep(CWXMLDocument& doc, const std::string& text) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  return doc.LoadXML(bytes.data(), static_cast<long>(bytes.size()), CWXML_KEEP_ALL);
}

std::string Saved(CWXMLDocument& doc, const CWXMLSaveOptions& options) {
  CWBlock block;
  if (doc.SaveXML(block, 0, options) != 0)
    return std::string("(refused: ") + doc.GetLastError().message + ")";
  return std::string(block.GetBufferAs<char>(), block.GetSize());
}

// The canonical form of `bytes` (entities replaced, attribute defaults of
// the internal subset added, as C14N asks; nothing read from outside), or a mark when libxml2 does
// not read them.
std::string Canonical(const std::string& bytes) {
  xmlSetExternalEntityLoader(XmlLibxml2RefuseEntity);
  xmlSetStructuredErrorFunc(nullptr, XmlLibxml2IgnoreError);
  XmlLibxml2Doc doc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                  XML_PARSE_NOENT | XML_PARSE_DTDATTR | XML_PARSE_NONET));
  if (!doc) return "(not read)";
  xmlChar* out = nullptr;
  const int n = xmlC14NDocDumpMemory(doc.get(), nullptr, XML_C14N_1_0, nullptr, 1, &out);
  std::string s = n >= 0 && out ? std::string(reinterpret_cast<char*>(out), n) : "(no c14n)";
  xmlFree(out);
  return s;
}

TEST(XmlStandardLossless, GeneratedDocumentsKeepTheirCanonicalForm) {
  CWXMLSaveOptions spaces;
  spaces.indent = 2;
  CWXMLSaveOptions none;
  none.indent = CWXML_INDENT_NONE;
  none.declaration = false;
  for (uint64_t round = 0; round < 400; ++round) {
    KeepGenerator gen(round);
    gen.Document();
    const std::string canonical = Canonical(gen.Text());
    ASSERT_EQ(std::string::npos, canonical.find("(not")) << gen.Text();
    CWXMLDocument doc;
    ASSERT_EQ(0, LoadKeep(doc, gen.Text())) << gen.Text();
    std::vector<std::string> outs;
    for (const CWXMLSaveOptions& options : {CWXMLSaveOptions(), spaces, none}) {
      const std::string out = Saved(doc, options);
      EXPECT_EQ(canonical, Canonical(out)) << "round " << round << "\n"
                                           << gen.Text() << "\n"
                                           << out;
      // Read back, the output is written again to the same bytes.
      CWXMLDocument again;
      ASSERT_EQ(0, LoadKeep(again, out)) << out;
      EXPECT_EQ(out, Saved(again, options)) << "round " << round;
      outs.push_back(out);
    }
    // The indent option adds nothing: only the declaration tells the
    // outputs apart, the kept one or none.
    const bool kept = gen.Text().compare(0, 5, "<?xml") == 0;
    EXPECT_EQ(outs[0], outs[1]) << "round " << round;
    EXPECT_EQ(outs[0], (kept ? "<?xml version=\"1.0\"?>" : "") + outs[2]) << "round " << round;
  }
}

// Inputs in the writer's own forms come back byte for byte, whatever the
// indent option. (An attribute the internal subset defaults is in the tree
// and so written out: the input here spells it.)
TEST(XmlStandardLossless, WritersOwnFormsComeBackExactly) {
  const char* const everything =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c -->\n<!DOCTYPE r [\n"
      "  <!ENTITY e \"x\">\n  <!ATTLIST r d CDATA \"v\">\n]>\n<?p data?>\n"
      "<r a=\"1\" b=\"&quot;'&amp;&lt;&#9;&#10;&#13;\" d=\"v\">\n\t<s>t &amp; &lt; ]]&gt; x</s>"
      "<![CDATA[<&>]]><?q?><!---->\n\tmixed <b>bold</b> text\n</r>\n<!-- after -->\n";
  const char* const texts[] = {
      "<a><b/><c/></a>",
      "<?xml version=\"1.0\"?><a><b/><c/></a>",
      everything,
      "<?xml version='1.0' standalone='yes'?>\r\n<r>\r\n  <s/>\r\n</r>\r\n",
      "<?xml version=\"1.0\"?><r></r>   <?end?>",
  };
  CWXMLSaveOptions spaces;
  spaces.indent = 4;
  CWXMLSaveOptions none;
  none.indent = CWXML_INDENT_NONE;
  CWXMLSaveOptions crlf;
  crlf.crlf = true;
  for (const char* text : texts) {
    std::string input = text;
    const bool declared = input.compare(0, 5, "<?xml") == 0;
    const bool crlfInput = input.find('\r') != std::string::npos;
    CWXMLDocument doc;
    ASSERT_EQ(0, LoadKeep(doc, input)) << input;
    for (const CWXMLSaveOptions& options : {CWXMLSaveOptions(), spaces, none, crlf}) {
      if (crlfInput != options.crlf) continue;
      // The declaration it was read with, or none.
      EXPECT_EQ(input, Saved(doc, options)) << input;
      CWXMLSaveOptions bare = options;
      bare.declaration = false;
      const std::string rest = declared ? input.substr(input.find("?>") + 2) : input;
      EXPECT_EQ(rest, Saved(doc, bare)) << input;
    }
  }
}

// A compact document is not laid out; the same tree read without
// CWXML_KEEP_ALL is; a later load of either mode decides again.
TEST(XmlStandardLossless, OnlyTheKeepAllLoadTurnsLayoutOff) {
  const std::string compact = "<a><b/><c/></a>";
  CWXMLSaveOptions bare;
  bare.declaration = false;
  CWXMLDocument doc;
  ASSERT_EQ(0, LoadKeep(doc, compact));
  EXPECT_EQ(compact, Saved(doc, bare));
  CWXMLDocument copy;
  copy = doc;
  EXPECT_EQ(compact, Saved(copy, bare));
  ASSERT_EQ(0, doc.LoadXML(reinterpret_cast<const unsigned char*>(compact.data()),
                           static_cast<long>(compact.size())));
  EXPECT_EQ("<a>\n\t<b/>\n\t<c/>\n</a>\n", Saved(doc, bare));
  ASSERT_EQ(0, LoadKeep(doc, compact));
  ASSERT_EQ(0, doc.LoadFromStreamAscii(reinterpret_cast<const unsigned char*>(compact.data()),
                                       static_cast<int>(compact.size())));
  // The exact reader gives the root an empty value, told apart from none.
  EXPECT_EQ("<a><![CDATA[]]>\n\t<b/>\n\t<c/>\n</a>\n", Saved(doc, bare));
  ASSERT_EQ(0, LoadKeep(doc, compact));
  EXPECT_EQ(-1, doc.LoadXML(reinterpret_cast<const unsigned char*>("<a>"), 3, CWXML_KEEP_ALL));
  doc.SetName(L"a");
  doc.AddChildNode(L"b");
  EXPECT_EQ("<a>\n\t<b/>\n</a>\n", Saved(doc, bare));
  // A subtree saved alone is a node's SaveXML: laid out.
  ASSERT_EQ(0, LoadKeep(doc, "<r><a><b/></a></r>"));
  CWBlock block;
  ASSERT_EQ(0, doc.GetChildAt(0)->SaveXML(block, 0, bare));
  EXPECT_EQ("<a>\n\t<b/>\n</a>\n", std::string(block.GetBufferAs<char>(), block.GetSize()));
}

// Replaces the first `from` in `text` by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(XmlStandardLossless, AnEditChangesOnlyWhatItTouches) {
  const std::string input =
      "<!DOCTYPE busconfig PUBLIC \"-//x//DTD y//EN\"\n"
      " \"http://example.invalid/busconfig.dtd\">\n"
      "<busconfig>\n\n"
      "  <!-- Our well-known bus type, do not change this -->\n"
      "  <type>session</type>\n"
      "  <keep_umask/>\n\n"
      "  <listen>unix:tmpdir=/tmp</listen>\n"
      "  <policy context='default'>\n"
      "    <!-- Allow everything to be sent -->\n"
      "    <allow send_destination=\"*\" eavesdrop='true'/>\n"
      "  </policy>\n"
      "  <limit name=\"max_incoming_bytes\">1000000000</limit>\n"
      "</busconfig>\n";
  CWXMLDocument doc;
  ASSERT_EQ(0, LoadKeep(doc, input));
  doc.GetChildNode(L"listen")->SetValue(L"unix:path=/run/bus & more <x>");
  doc.GetChildNode(L"limit")->SetPropertyValue(L"name", L"max_outgoing_bytes");
  ASSERT_NE(nullptr, doc.GetChildNode(L"policy")->AddChildNode(L"deny"));
  CWXMLSaveOptions options;
  options.declaration = false;
  std::string expected =
      Replaced(input, "unix:tmpdir=/tmp", "unix:path=/run/bus &amp; more &lt;x>");
  // The writer's forms in the touched element: double quotes.
  expected = Replaced(expected, "name=\"max_incoming_bytes\"", "name=\"max_outgoing_bytes\"");
  expected = Replaced(expected, "  </policy>", "  <deny/></policy>");
  // The writer has one quote: single-quoted attributes of untouched elements
  // come out double-quoted, the only other change.
  expected = Replaced(expected, "context='default'", "context=\"default\"");
  expected = Replaced(expected, "eavesdrop='true'", "eavesdrop=\"true\"");
  EXPECT_EQ(expected, Saved(doc, options));
}

}  // namespace
