// Path queries (CWXMLPath): each construct of the syntax alone and combined,
// document order and duplicates, absolute and relative paths, ".." above
// the context, the kinds of node a path passes over, deep trees, and every
// compile error with its offset.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cwbase/xml/xmlpath.h"
#include "testing/random.h"
#include "testing/xmlpath_reference.h"
#include "testing/xmlstandard.h"

namespace {

// Every element carries an id, so that a match can be told from another of
// the same name.
const char kDocument[] =
    "<r id='r'>"
    "<a id='a1' k='1'><b id='b1'>one</b><b id='b2' k='2'>two</b><c id='c1'><b "
    "id='b3'>three</b></c></a>"
    "<a id='a2'><b id='b4'/><name id='n1'>x</name></a>"
    "<b id='b5' k='1'/>"
    "</r>";

// A match as text: the element's id, or id@attribute=value.
std::wstring Show(const SWXMLMatch& m) {
  const wchar_t* id = m.node ? m.node->GetPropertyValue(L"id") : nullptr;
  std::wstring s = id ? id : L"?";
  if (m.prop) s += L"@" + std::wstring(m.prop->m_pName) + L"=" + m.prop->m_pValue;
  return s;
}

// All matches of `path` from `context`, space-separated; "error" when the
// path does not compile or the selection fails.
std::wstring Select(CWXMLNode* context, const wchar_t* path) {
  CWXMLPath compiled;
  if (compiled.Compile(path) != 0) return L"error";
  CWDynArray<SWXMLMatch> matches;
  const int n = compiled.SelectAll(context, matches);
  if (n < 0) return L"error";
  EXPECT_EQ(n, matches.GetCount());
  std::wstring s;
  for (int i = 0; i < n; ++i) s += (i ? L" " : L"") + Show(*matches.GetAt(i));
  const SWXMLMatch first = compiled.SelectFirst(context);
  EXPECT_EQ(n ? Show(*matches.GetAt(0)) : L"?", Show(first)) << path;
  return s;
}

struct Case {
  const wchar_t* path;
  const wchar_t* matches;
};

void ExpectMatches(CWXMLNode* context, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(std::wstring(c.matches), Select(context, c.path)) << c.path;
}

class XmlPath : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, XmlLoadStandard(m_Doc, kDocument)); }
  CWXMLNode* Find(const wchar_t* path) { return XMLPathSelectFirst(&m_Doc, path).node; }
  CWXMLDocument m_Doc;
};

TEST_F(XmlPath, StepsFromTheRootAndFromTheContext) {
  ExpectMatches(&m_Doc, {
                            {L"/r", L"r"},
                            {L"/x", L""},
                            {L"/*", L"r"},
                            {L"/r/a", L"a1 a2"},
                            {L"/r/a/b", L"b1 b2 b4"},
                            {L"a", L"a1 a2"},  // relative: children of the context
                            {L"r", L""},
                            {L"a/b", L"b1 b2 b4"},
                            {L"*", L"a1 a2 b5"},
                            {L"*/*", L"b1 b2 c1 b4 n1"},
                            {L".", L"r"},
                            {L"./a/.", L"a1 a2"},
                            {L"a/c/b/../../b", L"b1 b2"},
                            {L"a/../b", L"b5"},
                            {L"..", L""},  // the root has no parent
                            {L"/r/..", L""},
                            {L"/.", L""},
                        });
}

TEST_F(XmlPath, DescendantsInDocumentOrderEachOnce) {
  ExpectMatches(&m_Doc, {
                            {L"//b", L"b1 b2 b3 b4 b5"},
                            {L"/r//b", L"b1 b2 b3 b4 b5"},
                            {L".//b", L"b1 b2 b3 b4 b5"},
                            {L"a//b", L"b1 b2 b3 b4"},
                            {L"//*", L"r a1 b1 b2 c1 b3 a2 b4 n1 b5"},
                            {L"//r", L"r"},
                            {L"//*//b", L"b1 b2 b3 b4 b5"},  // b3 is reached from r, a1 and c1
                            {L"//b/..", L"r a1 c1 a2"},
                            {L"//c//..", L"a1 c1"},
                            {L"a/b/../@id", L"a1@id=a1 a2@id=a2"},
                            {L"//b//.", L"b1 b2 b3 b4 b5"},
                            // Children of nested elements: c1's b3 comes
                            // between a1's b2 and a2's b4.
                            {L"//*/b", L"b1 b2 b3 b4 b5"},
                            {L"//*/b[2]", L"b2"},
                            {L"//*/*[1]", L"a1 b1 b3 b4"},
                            {L"//*/*[1]/b", L"b1 b2"},
                        });
}

TEST_F(XmlPath, AttributeSteps) {
  ExpectMatches(&m_Doc, {
                            {L"@id", L"r@id=r"},
                            {L"@k", L""},
                            {L"a/@*", L"a1@id=a1 a1@k=1 a2@id=a2"},
                            {L"//@k", L"a1@k=1 b2@k=2 b5@k=1"},
                            {L"/r/a/b/@k", L"b2@k=2"},
                            {L"//b[@k]/@id", L"b2@id=b2 b5@id=b5"},
                        });
}

TEST_F(XmlPath, Predicates) {
  ExpectMatches(&m_Doc, {
                            {L"a[@k]", L"a1"},
                            {L"a[@k='1']", L"a1"},
                            {L"a[@k=\"1\"]", L"a1"},
                            {L"a[@k='2']", L""},
                            {L"a[ @k = '1' ]", L"a1"},
                            {L"//*[@k='1']", L"a1 b5"},
                            {L"a[name]", L"a2"},
                            {L"a[name='x']", L"a2"},
                            {L"a[name='y']", L""},
                            {L"a[b='two']", L"a1"},
                            {L"a[b='']", L"a2"},  // <b/> has a null value: it reads as empty
                            {L"a[c]", L"a1"},
                            {L"a[c='']", L"a1"},
                            {L"a[1]", L"a1"},
                            {L"a[2]", L"a2"},
                            {L"a[3]", L""},
                            {L"a[2147483647]", L""},
                            {L"a/b[2]", L"b2"},  // per context: a2 has one b only
                            {L"a/b[1]", L"b1 b4"},
                            {L"//b[1]", L"b1 b3 b4 b5"},  // the first b child of each element
                            {L"a[2]/b", L"b4"},
                            {L"a[b][2]", L"a2"},
                            {L"a[2][b='two']", L""},
                            {L"a[b='two'][1]", L"a1"},
                            {L"a[@id][@k][1]", L"a1"},
                            {L"*[@k][2]", L"b5"},
                            {L".[@id='r']/a", L"a1 a2"},
                            {L".[@id='x']/a", L""},
                            {L"a/b/..[1]", L"a1 a2"},
                            {L"//b/..[b]", L"r a1 c1 a2"},  // a parent of many children: once
                            {L"//b/..[@k]", L"a1"},
                            {L"//b/..[b='three']", L"c1"},
                            {L"//b/..[2]", L""},
                            {L"/r[a]/b[@k='1']", L"b5"},
                            {L"/r/a[1]/c/b[1]", L"b3"},
                        });
}

TEST_F(XmlPath, ParentsAboveTheContext) {
  CWXMLNode* b3 = Find(L"//c/b");
  ASSERT_NE(nullptr, b3);
  ExpectMatches(b3, {
                        {L".", L"b3"},
                        {L"..", L"c1"},
                        {L"../../b", L"b1 b2"},
                        {L"../..", L"a1"},
                        {L"../../../a", L"a1 a2"},
                        {L"../../..//b", L"b1 b2 b3 b4 b5"},
                        {L"../../../..", L""},
                        {L"/b", L"b3"},  // absolute: the context is taken as the root
                        {L"/b/..", L""},
                    });
  // A node whose m_pParent is missing or does not hold it has no parent.
  CWXMLNode lone;
  lone.SetName(L"x");
  lone.SetPropertyValue(L"id", L"x");
  EXPECT_EQ(L"", Select(&lone, L".."));
  CWXMLNode stranger(&m_Doc);
  stranger.SetName(L"s");
  EXPECT_EQ(L"", Select(&stranger, L"../a"));
}

// Nodes other than elements are never reached; a nameless element is
// matched by no name and no "*", but "//" goes through it.
TEST(XmlPathTree, OtherKindsAndNamelessElements) {
  CWXMLNode root;
  root.SetName(L"r");
  root.SetPropertyValue(L"id", L"r");
  auto add = [](CWXMLNode* parent, const wchar_t* name, int kind, const wchar_t* id) {
    auto* n = new CWXMLNode(parent);
    if (name) n->SetName(name);
    n->m_Kind = kind;
    n->SetPropertyValue(L"id", id);
    parent->m_Children.Add(n);
    return n;
  };
  add(&root, nullptr, CWXML_NODE_COMMENT, L"comment");
  add(&root, L"a", CWXML_NODE_ELEMENT, L"a1");
  add(&root, nullptr, CWXML_NODE_TEXT, L"text");
  root.m_Children.Add(nullptr);
  CWXMLNode* nameless = add(&root, nullptr, CWXML_NODE_ELEMENT, L"nameless");
  add(nameless, L"a", CWXML_NODE_ELEMENT, L"a2");
  ExpectMatches(&root, {
                           {L"*", L"a1"},
                           {L"//a", L"a1 a2"},
                           {L"*/a", L""},
                           {L"//*", L"r a1 a2"},
                           {L"//a/..", L"r nameless"},
                           {L"//@id", L"r@id=r a1@id=a1 nameless@id=nameless a2@id=a2"},
                       });
}

// A random tree of elements named a, b or c with attributes (names may
// repeat on one element), values, nameless elements and comments.
std::vector<CWXMLNode*> RandomTree(CWTestRandom& random, CWXMLNode& root) {
  static const wchar_t* const names[] = {L"a", L"b", L"c"};
  static const wchar_t* const values[] = {L"1", L"2", L""};
  root.SetName(L"a");
  std::vector<CWXMLNode*> nodes(1, &root);
  const uint32_t count = random.Below(30);
  for (uint32_t i = 0; i < count; ++i) {
    CWXMLNode* parent = nodes[random.Below(static_cast<uint32_t>(nodes.size()))];
    auto* child = new CWXMLNode(parent);
    parent->m_Children.Add(child);
    if (random.OneIn(12)) {
      child->m_Kind = CWXML_NODE_COMMENT;
      child->SetValue(L"1");
      continue;
    }
    if (!random.OneIn(10)) child->SetName(random.Pick(names));
    if (random.Chance(50)) child->SetValue(random.Pick(values));
    for (uint32_t k = random.Below(3); k > 0; --k) {
      auto* prop = new CWXMLProp();
      prop->SetName(random.Pick(names));
      if (!random.OneIn(8)) prop->SetValue(random.Pick(values));
      child->m_Props.Add(prop);
    }
    nodes.push_back(child);
  }
  return nodes;
}

// A random path of the syntax's pieces.
std::wstring RandomPath(CWTestRandom& random) {
  static const wchar_t* const steps[] = {L"a", L"b", L"c", L"*", L".", L".."};
  static const wchar_t* const predicates[] = {
      L"[@a]", L"[@b='1']", L"[@c=\"\"]", L"[c]", L"[a='']", L"[b='2']", L"[1]", L"[2]", L"[3]"};
  std::wstring path = random.OneIn(3) ? (random.OneIn(2) ? L"/" : L"//") : L"";
  const uint32_t count = 1 + random.Below(5);
  for (uint32_t i = 0; i < count; ++i) {
    if (i) path += random.OneIn(3) ? L"//" : L"/";
    path += random.Pick(steps);
    for (uint32_t k = random.Below(4); k > 1; --k) path += random.Pick(predicates);
  }
  if (random.OneIn(3)) path += random.OneIn(2) ? L"/@a" : L"/@*";
  return path;
}

// Against the literal evaluation, from the root and from an inner node.
TEST(XmlPathTree, SameAsTheLiteralEvaluation) {
  CWTestRandom random(20241207);
  for (int round = 0; round < 3000; ++round) {
    CWXMLNode root;
    std::vector<CWXMLNode*> nodes = RandomTree(random, root);
    const std::wstring text = RandomPath(random);
    cwbase_internal::PathProgram program;
    SWXMLPathError error;
    ASSERT_EQ(0, cwbase_internal::CompilePath(text.c_str(), program, error)) << text;
    CWXMLPath path;
    ASSERT_EQ(0, path.Compile(text.c_str()));
    for (CWXMLNode* context : {&root, nodes[random.Below(static_cast<uint32_t>(nodes.size()))]}) {
      std::vector<SWXMLMatch> want = xmlpath_reference::Select(program, &root, context);
      CWDynArray<SWXMLMatch> got;
      ASSERT_EQ(static_cast<int>(want.size()), path.SelectAll(context, got)) << text;
      for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(want[i].node, got.GetAt(static_cast<int>(i))->node) << text << " #" << i;
        EXPECT_EQ(want[i].prop, got.GetAt(static_cast<int>(i))->prop) << text << " #" << i;
      }
    }
  }
}

// The walk keeps its own stack: a chain far deeper than the readers allow.
TEST(XmlPathTree, DeepChain) {
  const int depth = 100000;
  std::vector<CWXMLNode*> chain(1, new CWXMLNode());
  chain[0]->SetName(L"n");
  for (int i = 1; i < depth; ++i)
    chain.push_back(chain.back()->AddChildNode(i + 1 == depth ? L"leaf" : L"n"));
  chain.back()->SetPropertyValue(L"id", L"leaf");
  EXPECT_EQ(L"leaf", Select(chain[0], L"//leaf"));
  EXPECT_EQ(L"leaf", Select(chain[0], L"//n/leaf"));
  EXPECT_EQ(L"leaf", Select(chain[depth / 2], L"//leaf/../leaf"));
  CWDynArray<SWXMLMatch> all;
  EXPECT_EQ(depth, XMLPathSelectAll(chain[0], L"//*", all));
  EXPECT_EQ(chain[depth - 1], all.GetAt(depth - 1)->node);
  // Taken apart from the bottom: destroying the chain whole would recurse.
  for (int i = depth - 1; i > 0; --i) {
    chain[i - 1]->m_Children.RemoveAll();
    delete chain[i];
  }
  delete chain[0];
}

TEST_F(XmlPath, MatchValuesAndOneShotForms) {
  SWXMLMatch m = XMLPathSelectFirst(&m_Doc, L"a/b");
  ASSERT_NE(nullptr, m.node);
  EXPECT_EQ(nullptr, m.prop);
  EXPECT_STREQ(L"one", m.GetValue());
  m = XMLPathSelectFirst(&m_Doc, L"//b[@k]/@k");
  EXPECT_STREQ(L"2", m.GetValue());
  EXPECT_STREQ(L"b2", m.node->GetPropertyValue(L"id"));
  EXPECT_EQ(nullptr, XMLPathSelectFirst(&m_Doc, L"//b[3]").node);
  EXPECT_EQ(nullptr, XMLPathSelectFirst(&m_Doc, L"a[").node);
  EXPECT_EQ(nullptr, XMLPathSelectFirst(nullptr, L"a").node);
  EXPECT_EQ(nullptr, SWXMLMatch().GetValue());
  CWDynArray<SWXMLMatch> matches;
  EXPECT_EQ(2, XMLPathSelectAll(&m_Doc, L"a", matches));
  EXPECT_EQ(-1, XMLPathSelectAll(&m_Doc, L"a]", matches));
  EXPECT_EQ(0, matches.GetCount());
  EXPECT_EQ(2, XMLPathSelectAll(&m_Doc, L"a", matches));
  EXPECT_EQ(0, XMLPathSelectAll(&m_Doc, L"q", matches));  // a second call replaces the first
  EXPECT_EQ(0, matches.GetCount());
}

struct Fault {
  const wchar_t* path;
  int code;
  long offset;
};

TEST(XmlPathCompile, EveryFaultWithItsOffset) {
  const std::vector<Fault> faults = {
      {L"", CWXML_PATH_ERROR_EMPTY, 0},
      {nullptr, CWXML_PATH_ERROR_EMPTY, 0},
      {L"/", CWXML_PATH_ERROR_EMPTY_STEP, 1},
      {L"//", CWXML_PATH_ERROR_EMPTY_STEP, 2},
      {L"a/", CWXML_PATH_ERROR_EMPTY_STEP, 2},
      {L"a//", CWXML_PATH_ERROR_EMPTY_STEP, 3},
      {L"a///b", CWXML_PATH_ERROR_EMPTY_STEP, 3},
      {L"a/1b", CWXML_PATH_ERROR_NAME, 2},
      {L"a/-", CWXML_PATH_ERROR_NAME, 2},
      {L" a", CWXML_PATH_ERROR_NAME, 0},
      {L"@", CWXML_PATH_ERROR_NAME, 1},
      {L"a/@ b", CWXML_PATH_ERROR_NAME, 3},
      {L"a[@]", CWXML_PATH_ERROR_NAME, 3},
      {L"a[@1='v']", CWXML_PATH_ERROR_NAME, 3},
      {L"a[", CWXML_PATH_ERROR_UNCLOSED, 1},
      {L"a[@b", CWXML_PATH_ERROR_UNCLOSED, 1},
      {L"a[@b=", CWXML_PATH_ERROR_UNCLOSED, 1},
      {L"a[@b='v'", CWXML_PATH_ERROR_UNCLOSED, 1},
      {L"a[1", CWXML_PATH_ERROR_UNCLOSED, 1},
      {L"a[1][b ", CWXML_PATH_ERROR_UNCLOSED, 4},
      {L"a[]", CWXML_PATH_ERROR_PREDICATE, 2},
      {L"a[b=v]", CWXML_PATH_ERROR_PREDICATE, 4},
      {L"a[last()]", CWXML_PATH_ERROR_PREDICATE, 6},
      {L"a[*]", CWXML_PATH_ERROR_PREDICATE, 2},
      {L"a[@b='v' c]", CWXML_PATH_ERROR_PREDICATE, 9},
      {L"a[0]", CWXML_PATH_ERROR_POSITION, 2},
      {L"a[ 00 ]", CWXML_PATH_ERROR_POSITION, 3},
      {L"a[1x]", CWXML_PATH_ERROR_POSITION, 2},
      {L"a[1 2]", CWXML_PATH_ERROR_POSITION, 2},
      {L"a[-1]", CWXML_PATH_ERROR_POSITION, 2},
      {L"a[+1]", CWXML_PATH_ERROR_POSITION, 2},
      {L"a[2147483648]", CWXML_PATH_ERROR_POSITION, 2},
      {L"a[99999999999999999999999]", CWXML_PATH_ERROR_POSITION, 2},
      {L"a[@b='v]", CWXML_PATH_ERROR_QUOTE, 5},
      {L"a[b=\"v']", CWXML_PATH_ERROR_QUOTE, 4},
      {L"@a/b", CWXML_PATH_ERROR_ATTRIBUTE_NOT_LAST, 0},
      {L"a/@b[1]", CWXML_PATH_ERROR_ATTRIBUTE_NOT_LAST, 2},
      {L"a//@*/", CWXML_PATH_ERROR_ATTRIBUTE_NOT_LAST, 3},
      {L"a b", CWXML_PATH_ERROR_TRAILING, 1},
      {L"a]", CWXML_PATH_ERROR_TRAILING, 1},
      {L"a[1]x", CWXML_PATH_ERROR_TRAILING, 4},
      {L"...", CWXML_PATH_ERROR_TRAILING, 2},
      {L".a", CWXML_PATH_ERROR_TRAILING, 1},
      {L"**", CWXML_PATH_ERROR_TRAILING, 1},
      {L"@a b", CWXML_PATH_ERROR_TRAILING, 2},
  };
  std::vector<std::string> messages(11);
  for (const Fault& f : faults) {
    const std::wstring shown = f.path ? f.path : L"(null)";
    CWXMLPath path;
    ASSERT_EQ(0, path.Compile(L"a"));
    EXPECT_EQ(-1, path.Compile(f.path)) << shown;
    EXPECT_FALSE(path.IsCompiled()) << shown;
    CWDynArray<SWXMLMatch> matches;
    EXPECT_EQ(-1, path.SelectAll(nullptr, matches));
    const SWXMLPathError& e = path.GetLastError();
    EXPECT_EQ(f.code, e.code) << shown;
    EXPECT_EQ(f.offset, e.offset) << shown;
    ASSERT_NE(nullptr, e.message);
    // One message per kind of fault.
    if (messages[f.code].empty()) messages[f.code] = e.message;
    EXPECT_EQ(messages[f.code], e.message) << shown;
  }
  for (size_t i = 1; i < 10; ++i)
    for (size_t j = i + 1; j < 10; ++j) EXPECT_NE(messages[i], messages[j]);
  // A success after a failure clears the record.
  CWXMLPath path;
  EXPECT_EQ(-1, path.Compile(L"a["));
  EXPECT_EQ(0, path.Compile(L"/a//b[@c='d'][2]/../@*"));
  EXPECT_TRUE(path.IsCompiled());
  EXPECT_EQ(CWXML_PATH_ERROR_NONE, path.GetLastError().code);
}

TEST_F(XmlPath, CompiledPathsAreCopiesAndReusable) {
  CWXMLPath path;
  ASSERT_EQ(0, path.Compile(L"//b[@k='1']/@id"));
  CWXMLPath copy = path;
  path.Compile(L"a");
  CWDynArray<SWXMLMatch> matches;
  ASSERT_EQ(1, copy.SelectAll(&m_Doc, matches));
  EXPECT_EQ(L"b5@id=b5", Show(*matches.GetAt(0)));
  CWXMLDocument other;
  ASSERT_EQ(0, XmlLoadStandard(other, "<r><b k='1' id='z'/></r>"));
  ASSERT_EQ(1, copy.SelectAll(&other, matches));
  EXPECT_EQ(L"z@id=z", Show(*matches.GetAt(0)));
}

}  // namespace
