// XmlPropsUnique, which both standard modes use to refuse an element with
// two attributes of one name: lists short and long, names that share their
// first units, entries without a name or a value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cwbase/xml/internal/props.h"
#include "cwbase/xml/xmlnode.h"

namespace {

// An element with attributes of the given names (null: an entry with no
// name; "=": a named entry with no value), all owned by the node.
bool Unique(const std::vector<const wchar_t*>& names) {
  CWXMLNode node;
  for (const wchar_t* name : names) {
    auto* prop = new CWXMLProp();
    const bool valueless = name && std::wstring(name) == L"=";
    if (name && !valueless) prop->SetName(name);
    if (valueless) prop->SetName(L"v");
    if (!valueless) prop->SetValue(L"1");
    node.m_Props.Add(prop);
  }
  return cwbase_internal::XmlPropsUnique(node.m_Props);
}

TEST(XmlProps, DuplicateNamesAreFound) {
  EXPECT_TRUE(Unique({}));
  EXPECT_TRUE(Unique({L"a"}));
  EXPECT_TRUE(Unique({L"ab", L"abc", L"a", L"b"}));
  EXPECT_FALSE(Unique({L"ab", L"abc", L"ab"}));
  EXPECT_FALSE(Unique({L"a", L"b", L"a"}));
  EXPECT_FALSE(Unique({L"size", L"sku", L"state", L"size"}));
  EXPECT_TRUE(Unique({L"x", nullptr, L"y", nullptr}));
  EXPECT_TRUE(Unique({L"v", L"="}));  // an entry with no value is not compared
  // Long lists go another way: a duplicate at either end is found too.
  std::vector<std::wstring> many(40);
  std::vector<const wchar_t*> names(many.size());
  for (size_t i = 0; i < many.size(); ++i) {
    many[i] = L"n" + std::to_wstring(i);
    names[i] = many[i].c_str();
  }
  EXPECT_TRUE(Unique(names));
  names.push_back(L"n0");
  EXPECT_FALSE(Unique(names));
  names.back() = L"n39";
  EXPECT_FALSE(Unique(names));
}

}  // namespace
