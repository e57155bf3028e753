// The standard reader as a conforming XML 1.0 processor: the XML
// declaration, the internal subset, entities and attribute-list
// declarations, and the limits on entity expansion. Each table has its
// well-formed rows (the tree read) and its malformed rows (the fault, and
// where it must be reported).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmlstandard.h"
#include "testing/xmltree.h"

namespace {

struct Good {
  std::string text;
  const wchar_t* tree;
};

void ExpectGood(const std::vector<Good>& rows) {
  for (const Good& row : rows) EXPECT_EQ(row.tree, XmlReadStandard(row.text)) << row.text;
}

// ASCII text as UTF-16LE after its byte-order mark.
std::string Utf16Le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += std::string(1, c) + '\0';
  return out;
}

TEST(XmlStandardDeclaration, ReadOnceAndStrictly) {
  ExpectGood({
      {"<?xml version=\"1.0\"?><a/>", L"a"},
      {"<?xml version = \"1.0\" ?><a/>", L"a"},
      {"<?xml version='1.1' encoding = 'utf-8' standalone = \"no\"?><a/>", L"a"},
      {"<?xml\nversion=\"1.0\"\nencoding=\"UTF-8\"\r\nstandalone='yes'?>\n<a/>", L"a"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>", L"a\"\u00e9\""},
      {"<?xml-stylesheet href=\"s.css\"?><a/>", L"a"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><a/>", L"a"},
      {Utf16Le("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>"), L"a"},
      {Utf16Le("<?xml version=\"1.0\" encoding=\"utf-16le\"?><a/>"), L"a"},
  });
  ExpectXmlFaults({
      {"<?xml?><a/>", CWXML_ERROR_SYNTAX, 5, 1, 6},
      {"<?xml encoding=\"UTF-8\" version=\"1.0\"?><a/>", CWXML_ERROR_SYNTAX, 6, 1, 7},
      {"<?xml VERSION=\"1.0\"?><a/>", CWXML_ERROR_SYNTAX, 6, 1, 7},
      {"<?xml version=\"2.0\"?><a/>", CWXML_ERROR_SYNTAX, 15, 1, 16},
      {"<?xml version=\"1.\"?><a/>", CWXML_ERROR_SYNTAX, 15, 1, 16},
      {"<?xml version=\"1.0'?><a/>", CWXML_ERROR_SYNTAX, 18, 1, 19},
      {"<?xml version=\"1.0\" standalone=\"maybe\"?><a/>", CWXML_ERROR_SYNTAX, 32, 1, 33},
      {"<?xml version=\"1.0\" standalone='no\"?><a/>", CWXML_ERROR_SYNTAX, 34, 1, 35},
      {"<?xml version=\"1.0\" standalone=\"yes\" encoding=\"UTF-8\"?><a/>", CWXML_ERROR_SYNTAX, 37,
       1, 38},
      {"<?xml version=\"1.0\" encoding=\"8bit\"?><a/>", CWXML_ERROR_SYNTAX, 30, 1, 31},
      {"<?xml version=\"1.0\" encoding=\"UTF 8\"?><a/>", CWXML_ERROR_SYNTAX, 33, 1, 34},
      {"<?xml version=\"1.0\"encoding=\"UTF-8\"?><a/>", CWXML_ERROR_SYNTAX, 19, 1, 20},
      {"<?xml version=\"1.0\" foo=\"bar\"?><a/>", CWXML_ERROR_SYNTAX, 20, 1, 21},
      {"<?xml version=\"1.0\"\n encodng=\"UTF-8\"?><a/>", CWXML_ERROR_SYNTAX, 21, 2, 2},
      {" <?xml version=\"1.0\"?><a/>", CWXML_ERROR_SYNTAX, 1, 1, 2},
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", CWXML_ERROR_ENCODING, 30, 1, 31},
      {"<?xml version=\"1.0\" encoding=\"ucs-4\"?><a/>", CWXML_ERROR_ENCODING, 30, 1, 31},
      // A declared encoding that contradicts the byte-order mark.
      {Utf16Le("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>"), CWXML_ERROR_ENCODING, 62, 1, 31},
      {Utf16Le("<?xml version=\"1.0\" encoding=\"UTF-16BE\"?><a/>"), CWXML_ERROR_ENCODING, 62, 1,
       31},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", CWXML_ERROR_ENCODING, 33,
       1, 31},
  });
}

TEST(XmlStandardDoctype, InternalSubsetByItsGrammar) {
  ExpectGood({
      {"<!DOCTYPE a><a/>", L"a"},
      {"<!DOCTYPE a SYSTEM \"a.dtd\"><a/>", L"a"},
      {"<!DOCTYPE a PUBLIC \"-//X//DTD Y//EN\" 'y.dtd' [ ]><a/>", L"a"},
      {"<!DOCTYPE a[<!ELEMENT a (#PCDATA)>]><a/>", L"a"},
      {"<!DOCTYPE a [<!ELEMENT a (b, (c | d)*, e?)+> <!ELEMENT b EMPTY> <!ELEMENT c ANY>\n"
       "<!ELEMENT d (#PCDATA|b|c)*> <!ELEMENT e ( #PCDATA ) > <!ELEMENT f (#PCDATA)*>\n"
       "<!NOTATION n PUBLIC \"p\"> <!NOTATION m SYSTEM 's'> <!NOTATION o PUBLIC \"p\" \"s\">\n"
       "<!-- ]> --> <?pi ]>?> <!ENTITY e \"]>\"> <!ENTITY % p \"\"> %p; ]><a/>",
       L"a"},
      {"<!DOCTYPE a [<!ATTLIST a x CDATA #IMPLIED y ID #REQUIRED z (p|q) \"p\"\n"
       "  w NOTATION (n|m) #IMPLIED v ENTITIES #IMPLIED u NMTOKEN #FIXED \"t\">]><a y=\"i\"/>",
       L"a[y=i|z=p|u=t]"},
      // An internal parameter entity's text is read as declarations.
      {"<!DOCTYPE test [\n<!ELEMENT test (#PCDATA) >\n<!ENTITY % xx '&#37;zz;'>\n"
       "<!ENTITY % zz '&#60;!ENTITY tricky \"error-prone\" >' >\n%xx;\n]>\n"
       "<test>This sample shows a &tricky; method.</test>",
       L"test\"This sample shows a error-prone method.\""},
  });
  ExpectXmlFaults({
      {"<!DOCTYPE><a/>", CWXML_ERROR_SYNTAX, 9, 1, 10},
      {"<!DOCTYPE a SYSTEM><a/>", CWXML_ERROR_SYNTAX, 18, 1, 19},
      {"<!DOCTYPE a PUBLIC \"p\"><a/>", CWXML_ERROR_SYNTAX, 22, 1, 23},
      {"<!DOCTYPE a [<!ELEMENT a>]><a/>", CWXML_ERROR_SYNTAX, 24, 1, 25},
      {"<!DOCTYPE a [<!ELEMENT a EMPTYx>]><a/>", CWXML_ERROR_SYNTAX, 25, 1, 26},
      {"<!DOCTYPE a [<!ELEMENT a (b|c,d)>]><a/>", CWXML_ERROR_SYNTAX, 29, 1, 30},
      {"<!DOCTYPE a [<!ELEMENT a (b,(c|d)>]><a/>", CWXML_ERROR_SYNTAX, 33, 1, 34},
      {"<!DOCTYPE a [<!ELEMENT a ()>]><a/>", CWXML_ERROR_SYNTAX, 26, 1, 27},
      {"<!DOCTYPE a [<!ELEMENT a (b)!>]><a/>", CWXML_ERROR_SYNTAX, 28, 1, 29},
      {"<!DOCTYPE a [<!ELEMENT a (#PCDATA|b)>]><a/>", CWXML_ERROR_SYNTAX, 36, 1, 37},
      {"<!DOCTYPE a [<!ELEMENT a (b|#PCDATA)>]><a/>", CWXML_ERROR_SYNTAX, 28, 1, 29},
      {"<!DOCTYPE a [<!ATTLIST a x FOO #IMPLIED>]><a/>", CWXML_ERROR_SYNTAX, 27, 1, 28},
      {"<!DOCTYPE a [<!ATTLIST a x CDATA>]><a/>", CWXML_ERROR_SYNTAX, 32, 1, 33},
      {"<!DOCTYPE a [<!ATTLIST a x CDATA #IMPLIEDy CDATA #IMPLIED>]><a/>", CWXML_ERROR_SYNTAX, 33,
       1, 34},
      {"<!DOCTYPE a [<!ATTLIST a x CDATA #FIXED\"v\">]><a/>", CWXML_ERROR_SYNTAX, 39, 1, 40},
      {"<!DOCTYPE a [<!ATTLIST a x CDATA v>]><a/>", CWXML_ERROR_SYNTAX, 33, 1, 34},
      {"<!DOCTYPE a [<!ATTLIST a x (p|) \"p\">]><a/>", CWXML_ERROR_SYNTAX, 30, 1, 31},
      {"<!DOCTYPE a [<!ATTLIST a x NOTATION (1n) #IMPLIED>]><a/>", CWXML_ERROR_SYNTAX, 37, 1, 38},
      {"<!DOCTYPE a [<!ATTLIST a x CDATA \"<\">]><a/>", CWXML_ERROR_ATTRIBUTE, 34, 1, 35},
      {"<!DOCTYPE a [<!ATTLIST a x CDATA \"v>]>", CWXML_ERROR_SYNTAX, 38, 1, 39},
      {"<!DOCTYPE a [<!ENTITY e >]><a/>", CWXML_ERROR_SYNTAX, 24, 1, 25},
      {"<!DOCTYPE a [<!ENTITY e PUBLIC \"{\" \"s\">]><a/>", CWXML_ERROR_SYNTAX, 32, 1, 33},
      {"<!DOCTYPE a [<!ENTITY e PUBLIC \"p\">]><a/>", CWXML_ERROR_SYNTAX, 34, 1, 35},
      {"<!DOCTYPE a [<!ENTITY e \"x\" NDATA n>]><a/>", CWXML_ERROR_SYNTAX, 28, 1, 29},
      {"<!DOCTYPE a [<!ENTITY % e SYSTEM \"x\" NDATA n>]><a/>", CWXML_ERROR_SYNTAX, 37, 1, 38},
      {"<!DOCTYPE a [<!ENTITY e SYSTEM \"x\" NDATA>]><a/>", CWXML_ERROR_SYNTAX, 40, 1, 41},
      {"<!DOCTYPE a [<!ENTITY %e \"x\">]><a/>", CWXML_ERROR_SYNTAX, 23, 1, 24},
      {"<!DOCTYPE a [<!ENTITY e \"&\">]><a/>", CWXML_ERROR_SYNTAX, 25, 1, 26},
      {"<!DOCTYPE a [<!ENTITY e \"&#0;\">]><a/>", CWXML_ERROR_SYNTAX, 25, 1, 26},
      {"<!DOCTYPE a [<!ENTITY e \"%\">]><a/>", CWXML_ERROR_SYNTAX, 25, 1, 26},
      {"<!DOCTYPE a [<!ENTITY e \"%p;\">]><a/>", CWXML_ERROR_ENTITY, 25, 1, 26},
      {"<!DOCTYPE a [<!ELEMENT a %content;>]><a/>", CWXML_ERROR_ENTITY, 25, 1, 26},
      {"<!DOCTYPE a [<!NOTATION n >]><a/>", CWXML_ERROR_SYNTAX, 26, 1, 27},
      {"<!DOCTYPE a [<!FOO>]><a/>", CWXML_ERROR_SYNTAX, 13, 1, 14},
      {"<!DOCTYPE a [<![INCLUDE[ ]]>]><a/>", CWXML_ERROR_SYNTAX, 13, 1, 14},
      {"<!DOCTYPE a [<!-- -- -->]><a/>", CWXML_ERROR_SYNTAX, 18, 1, 19},
      {"<!DOCTYPE a [%e ]><a/>", CWXML_ERROR_SYNTAX, 13, 1, 14},
      {"<!DOCTYPE a [<!ELEMENT a ANY>", CWXML_ERROR_SYNTAX, 29, 1, 30},
      {"<!DOCTYPE a [] x><a/>", CWXML_ERROR_SYNTAX, 15, 1, 16},
      {"<!DOCTYPE a><!DOCTYPE a><a/>", CWXML_ERROR_SYNTAX, 12, 1, 13},
      {"<!DOCTYPE a [\n  <!ENTITY e \"x\">\n  <!ELEMENT >\n]><a/>", CWXML_ERROR_SYNTAX, 44, 3, 13},
      // A fault inside a parameter entity's text is reported at its reference.
      {"<!DOCTYPE a [<!ENTITY % p \"<!ELEMENT a>\">\n %p;]><a/>", CWXML_ERROR_SYNTAX, 43, 2, 2},
  });
}

TEST(XmlStandardEntities, ExpandedInContentAndAttributes) {
  const std::string example =
      "<!DOCTYPE a [<!ENTITY example \"<p>An ampersand (&#38;#38;) may be escaped numerically "
      "(&#38;#38;#38;) or with a general entity (&amp;amp;).</p>\" >]><a>&example;</a>";
  ExpectGood({
      {example,
       L"a{p\"An ampersand (&) may be escaped numerically (&#38;) or with a general entity "
       L"(&amp;).\"}"},
      {"<!DOCTYPE r [<!ENTITY e \"x&#38;#60;y\">]><r>&e;</r>", L"r\"x<y\""},
      {"<!DOCTYPE r [<!ENTITY a \"1&b;3\"><!ENTITY b \"2\">]><r>&a;</r>", L"r\"123\""},
      {"<!DOCTYPE r [<!ENTITY m \"<b>x</b>y\">]><r>0&m;z</r>", L"r\"0yz\"{b\"x\"}"},
      {"<!DOCTYPE r [<!ENTITY e \"<b>&f;</b>\"><!ENTITY f \"<c k='1'/>\">]><r>&e;</r>",
       L"r{b{c[k=1]}}"},
      {"<!DOCTYPE r [<!ENTITY c \"<![CDATA[<x>]]><!--c--><?p?>\">]><r>&c;</r>", L"r\"<x>\""},
      {"<!DOCTYPE r [<!ENTITY s \"  \"><!ENTITY n \"\">]><r>&s;x&n;y&s;</r>", L"r\"xy\""},
      // A run of text goes on across references: only a run of white space
      // alone, or white space at the ends of the value, is dropped.
      {"<!DOCTYPE r [<!ENTITY s ' '>]><r>x&s;y</r>", L"r\"x y\""},
      {"<!DOCTYPE r [<!ENTITY x 'x'>]><r>&x; &x;<b/> &x;\n</r>", L"r\"x x x\"{b}"},
      {"<!DOCTYPE r [<!ENTITY s ' '><!ENTITY x 'x'>]><r>a<b/>&s; &s;&x;&s;<c/>&s;</r>",
       L"r\"a   x\"{b c}"},
      {"<!DOCTYPE r [<!ENTITY e '<b/> y '>]><r>x &e;z</r>", L"r\"x  y z\"{b}"},
      {"<!DOCTYPE r [<!ENTITY e \"1\"><!ENTITY e \"2\">]><r>&e;</r>", L"r\"1\""},
      {"<!DOCTYPE r [<!ENTITY v \"1 &w; 2\"><!ENTITY w \"&#9;x\">]><r k=\"a&v;b\"/>",
       L"r[k=a1  x 2b]"},
      {"<!DOCTYPE r [<!ENTITY q \"&#38;#34;\"><!ENTITY l \"&#38;lt;\">]><r k='&q;&l;'/>",
       L"r[k=\"<]"},
      {"<!DOCTYPE r [<!ENTITY lt \"&#38;#60;\"><!ENTITY gt \">\"><!ENTITY amp \"&#38;#38;\">"
       "<!ENTITY apos \"&#39;\"><!ENTITY quot '\"'>]><r>&lt;&gt;&amp;&apos;&quot;</r>",
       L"r\"<>&'\"\""},
      // External entities are never read; a reference to one in content is dropped, as is
      // one to an undeclared entity where that is no fatal error.
      {"<!DOCTYPE r [<!ENTITY x SYSTEM \"/etc/hostname\">]><r>a&x;b</r>", L"r\"ab\""},
      {"<!DOCTYPE r SYSTEM \"r.dtd\"><r>a&u;b</r>", L"r\"ab\""},
      {"<!DOCTYPE r [%p;]><r k='&u;'>a&u;b</r>", L"r[k=]\"ab\""},
      // After a parameter entity that is not read, declarations are not processed...
      {"<!DOCTYPE r [<!ENTITY % p SYSTEM \"p.dtd\"> %p; <!ENTITY e \"x\">]><r>a&e;b</r>",
       L"r\"ab\""},
      {"<!DOCTYPE r [%p; <!ATTLIST r k CDATA \"d\">]><r/>", L"r"},
      // ... unless the document is standalone.
      {"<?xml version=\"1.0\" standalone=\"yes\"?><!DOCTYPE r [<!ENTITY % p SYSTEM \"p.dtd\"> "
       "%p; <!ENTITY e \"x\">]><r>a&e;b</r>",
       L"r\"axb\""},
  });
  ExpectXmlFaults({
      {"<r>&u;</r>", CWXML_ERROR_UNDECLARED_ENTITY, 3, 1, 4},
      {"<r k=\"&u;\"/>", CWXML_ERROR_UNDECLARED_ENTITY, 6, 1, 7},
      {"<!DOCTYPE r [<!ENTITY a \"x\">]><r>&u;</r>", CWXML_ERROR_UNDECLARED_ENTITY, 33, 1, 34},
      {"<!DOCTYPE r [<!ENTITY a \"&u;\">]><r>&a;</r>", CWXML_ERROR_UNDECLARED_ENTITY, 35, 1, 36},
      {"<?xml version=\"1.0\" standalone=\"yes\"?><!DOCTYPE r SYSTEM \"r.dtd\"><r>&u;</r>",
       CWXML_ERROR_UNDECLARED_ENTITY, 68, 1, 69},
      {"<?xml version=\"1.0\" standalone=\"yes\"?><!DOCTYPE r [%p;]><r/>",
       CWXML_ERROR_UNDECLARED_ENTITY, 51, 1, 52},
      {"<!DOCTYPE r [<!ATTLIST r k CDATA \"&u;\">]><r/>", CWXML_ERROR_UNDECLARED_ENTITY, 34, 1, 35},
      {"<!DOCTYPE r [<!ATTLIST r k CDATA \"&e;\"><!ENTITY e \"x\">]><r/>",
       CWXML_ERROR_UNDECLARED_ENTITY, 34, 1, 35},
      {"<!DOCTYPE r [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><r>&a;</r>", CWXML_ERROR_ENTITY, 52, 1,
       53},
      {"<!DOCTYPE r [<!ENTITY a \"x&a;\">]><r k=\"&a;\"/>", CWXML_ERROR_ENTITY, 39, 1, 40},
      {"<!DOCTYPE r [<!ENTITY % a \"&#37;a;\"> %a;]><r/>", CWXML_ERROR_ENTITY, 37, 1, 38},
      {"<!DOCTYPE r [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u.gif\" NDATA n>]><r>&u;</r>",
       CWXML_ERROR_ENTITY, 76, 1, 77},
      {"<!DOCTYPE r [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u.gif\" NDATA n>]><r "
       "k=\"&u;\"/>",
       CWXML_ERROR_ENTITY, 79, 1, 80},
      {"<!DOCTYPE r [<!ENTITY x SYSTEM \"x.txt\">]><r k=\"&x;\"/>", CWXML_ERROR_ENTITY, 47, 1, 48},
      {"<!DOCTYPE r [<!ENTITY l \"&#60;\">]><r k=\"&l;\"/>", CWXML_ERROR_ENTITY, 40, 1, 41},
      {"<!DOCTYPE r [<!ENTITY l \"&#60;\"><!ENTITY m \"-&l;-\">]><r k=\"x&m;\"/>",
       CWXML_ERROR_ENTITY, 60, 1, 61},
      {"<!DOCTYPE r [<!ENTITY lt \"<\">]><r/>", CWXML_ERROR_ENTITY, 22, 1, 23},
      {"<!DOCTYPE r [<!ENTITY amp \"&#38;\">]><r/>", CWXML_ERROR_ENTITY, 22, 1, 23},
      {"<!DOCTYPE r [<!ENTITY gt SYSTEM \"gt\">]><r/>", CWXML_ERROR_ENTITY, 22, 1, 23},
      {"<!DOCTYPE r [<!ENTITY e \"x&#60;y\">]><r>&e;</r>", CWXML_ERROR_SYNTAX, 39, 1, 40},
      {"<!DOCTYPE r [<!ENTITY e \"&#38;bad\">]><r>&e;</r>", CWXML_ERROR_SYNTAX, 40, 1, 41},
      {"<!DOCTYPE r [<!ENTITY c \"</r>\">]><r>&c;", CWXML_ERROR_SYNTAX, 36, 1, 37},
      {"<!DOCTYPE r [<!ENTITY e \"<b>x</c>\">]><r>\n  <b>&e;</b>\n</r>", CWXML_ERROR_MISMATCHED_TAG,
       46, 2, 6},
      {"<!DOCTYPE r [<!ENTITY o \"<b>\">]><r>&o;</b></r>", CWXML_ERROR_UNCLOSED_ELEMENT, 35, 1, 36},
      {"<!DOCTYPE r [<!ENTITY o \"<![CDATA[x\">]><r>&o;]]></r>", CWXML_ERROR_SYNTAX, 42, 1, 43},
      {"<!DOCTYPE r [<!ENTITY e \"x\">]>&e;<r/>", CWXML_ERROR_OUTSIDE_ROOT, 30, 1, 31},
  });
}

TEST(XmlStandardAttributeLists, DefaultsAndNormalisation) {
  ExpectGood({
      {"<!DOCTYPE r [<!ATTLIST r a CDATA \"1\" b CDATA #IMPLIED c CDATA #FIXED \"3\">]>"
       "<r x=\"0\"/>",
       L"r[x=0|a=1|c=3]"},
      {"<!DOCTYPE r [<!ATTLIST r a CDATA \"1\" c CDATA #FIXED \"3\">]><r a=\"9\"></r>",
       L"r[a=9|c=3]\"\""},
      {"<!DOCTYPE r [<!ATTLIST r b CDATA \"2\"><!ATTLIST r a CDATA '1' b CDATA 'x'>]><r/>",
       L"r[b=2|a=1]"},
      {"<!DOCTYPE r [<!ATTLIST r t NMTOKENS #IMPLIED c CDATA #IMPLIED>]>"
       "<r t=\"  x   y \" c=\"  x   y \"/>",
       L"r[t=x y|c=  x   y ]"},
      {"<!DOCTYPE r [<!ATTLIST r t NMTOKENS #IMPLIED>]><r t=\" x&#9;y \n z\"/>", L"r[t=x\ty z]"},
      {"<!DOCTYPE r [<!ATTLIST r t NMTOKENS '  a   b ' e (x|y) \"y\">]><r/>", L"r[t=a b|e=y]"},
      {"<!DOCTYPE r [<!ENTITY v \"val\"><!ATTLIST r k CDATA \"[&v;&#10;]\">]><r/>",
       L"r[k=[val\n]]"},
      {"<!DOCTYPE r [<!ATTLIST b k CDATA \"d\"><!ENTITY e \"<b/>\">]><r>&e;<b k='g'/></r>",
       L"r{b[k=d] b[k=g]}"},
      {"<!DOCTYPE r [<!ATTLIST r k ID #IMPLIED>]><r k=\" &#32;a \"/>", L"r[k=a]"},
  });
}

// Expansion that no document of ordinary size needs is refused early, in
// time and memory bounded by the limits.
TEST(XmlStandardEntities, ExpansionLimits) {
  std::string laughs = "<!DOCTYPE r [<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "]>";
  std::string chain = "<!DOCTYPE r [";
  for (int i = 0; i <= CWXML_MAX_ENTITY_DEPTH; ++i)
    chain += "<!ENTITY c" + std::to_string(i) + " \"&c" + std::to_string(i + 1) + ";\">";
  chain += "<!ENTITY c" + std::to_string(CWXML_MAX_ENTITY_DEPTH + 1) + " \"end\">]>";
  const std::string big(100000, 'x');
  std::string quadratic = "<!DOCTYPE r [<!ENTITY b \"" + big + "\">]><r>";
  for (int i = 0; i < 1000; ++i) quadratic += "&b;";
  quadratic += "</r>";
  const int laughsAt = static_cast<int>(laughs.size()) + 3;
  const int chainAt = static_cast<int>(chain.size()) + 3;
  ExpectXmlFaults({
      {laughs + "<r>&l9;</r>", CWXML_ERROR_ENTITY_LIMIT, laughsAt, 1, laughsAt + 1},
      {laughs + "<r k='&l9;'/>", CWXML_ERROR_ENTITY_LIMIT, laughsAt + 3, 1, laughsAt + 4},
      {chain + "<r>&c0;</r>", CWXML_ERROR_ENTITY_LIMIT, chainAt, 1, chainAt + 1},
      {chain + "<r k='&c0;'/>", CWXML_ERROR_ENTITY_LIMIT, chainAt + 3, 1, chainAt + 4},
  });
  // Defaults are copies of the DTD's text too.
  std::string defaults = "<!DOCTYPE r [<!ATTLIST i d CDATA \"" + big + "\">]><r>";
  for (int i = 0; i < 1000; ++i) defaults += "<i/>";
  defaults += "</r>";
  for (const std::string& text : {quadratic, defaults}) {
    CWXMLDocument doc;
    EXPECT_EQ(-1, XmlLoadStandard(doc, text));
    EXPECT_EQ(CWXML_ERROR_ENTITY_LIMIT, doc.GetLastError().code);
  }
  CWXMLDocument doc;
  // One level less deep, and ordinary use, read as usual.
  EXPECT_EQ(L"r\"end\"", XmlReadStandard(chain + "<r>&c2;</r>"));
  EXPECT_EQ(L"r[k=end]", XmlReadStandard(chain + "<r k='&c2;'/>"));
  std::string ordinary = "<!DOCTYPE r [<!ENTITY co \"ACME Corporation\">]><r>";
  for (int i = 0; i < 2000; ++i) ordinary += "<i n='&co;'>&co;</i>";
  ASSERT_EQ(0, XmlLoadStandard(doc, ordinary + "</r>"));
  EXPECT_EQ(2000, doc.GetChildCount());
}

// Strings cut from an entity's text, expanded values and defaults are owned
// by the tree; the rest stays borrowed from the document's buffer.
TEST(XmlStandardEntities, ExpandedStringsAreOwned) {
  CWXMLDocument doc;
  ASSERT_EQ(0,
            XmlLoadStandard(doc,
                            "<!DOCTYPE r [<!ENTITY e \"<b k='v'/>\"><!ENTITY t 'T'>"
                            "<!ATTLIST r d CDATA 'x'>]><r a='&t;' c='plain'>&e;<c>z</c>&t;</r>"));
  EXPECT_EQ(L"r[a=T|c=plain|d=x]\"T\"{b[k=v] c\"z\"}", XmlDump(doc));
  auto prop = [](CWXMLNode* n, int i) { return static_cast<CWXMLProp*>(n->m_Props.GetAt(i)); };
  CWXMLNode* b = doc.GetChildAt(0);
  CWXMLNode* c = doc.GetChildAt(1);
  EXPECT_EQ(0, doc.m_bOwnName + c->m_bOwnName + c->m_bOwnValue);
  EXPECT_EQ(0, prop(&doc, 1)->m_bOwnName + prop(&doc, 1)->m_bOwnValue);
  EXPECT_EQ(0, prop(&doc, 0)->m_bOwnName);
  EXPECT_EQ(1, prop(&doc, 0)->m_bOwnValue);
  EXPECT_EQ(2, prop(&doc, 2)->m_bOwnName + prop(&doc, 2)->m_bOwnValue);
  EXPECT_EQ(1, doc.m_bOwnValue);
  EXPECT_EQ(3, b->m_bOwnName + prop(b, 0)->m_bOwnName + prop(b, 0)->m_bOwnValue);
  // A second load replaces the buffer: owned strings do not depend on it.
  CWXMLDocument copy;
  copy = doc;
  ASSERT_EQ(0, XmlLoadStandard(doc, "<s/>"));
  EXPECT_EQ(L"r[a=T|c=plain|d=x]\"T\"{b[k=v] c\"z\"}", XmlDump(copy));
}

}  // namespace
