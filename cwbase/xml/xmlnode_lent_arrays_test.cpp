// The arrays of a node allocated with `new` start on room that comes with the
// node: five slots for the children, then five for the attributes. Such an
// array answers every operation exactly as one on malloc storage (the same
// results, counts, capacities and entries, step by step), uses the lent
// slots until its first re-size and never writes past them or frees them
// (ASan and valgrind watch the release of the node).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "cwbase/core/ptarray.h"
#include "cwbase/xml/xmlnode.h"
#include "testing/ptarray.h"

namespace {

TEST(XmlNodeLentArrays, BehaveAsMallocStorage) {
  using Op = std::function<int(CWPtArray&)>;
  const std::vector<std::vector<Op>> scripts = {
      {[](CWPtArray& a) { return a.Add(PtEntry(1)); },
       [](CWPtArray& a) { return a.Add(PtEntry(2)); }, [](CWPtArray& a) { return a.RemoveAt(0); },
       [](CWPtArray& a) { return a.Find(PtEntry(2)); }},
      {[](CWPtArray& a) { return a.SetAt(3, PtEntry(7)); },   // stays within the lent slots
       [](CWPtArray& a) { return a.SetAt(4, PtEntry(8)); }},  // re-sizes to 11
      {[](CWPtArray& a) { return a.InsertAt(0, PtEntry(3)); },
       [](CWPtArray& a) { return a.Add(PtEntry(4)); },
       [](CWPtArray& a) { return a.Add(PtEntry(5)); },
       [](CWPtArray& a) { return a.Add(PtEntry(6)); },
       [](CWPtArray& a) { return a.Add(PtEntry(7)); },
       [](CWPtArray& a) { return a.InsertAt(1, PtEntry(9)); }},
      {[](CWPtArray& a) { return a.SetGrowSize(1); },
       [](CWPtArray& a) { return a.Add(PtEntry(1)); }},
      {[](CWPtArray& a) { return a.SetGrowSize(0); },
       [](CWPtArray& a) {
         a.RemoveAll();
         return a.GetSize();
       }},
      {[](CWPtArray& a) {
        a = PtArrayOf({1, 2, 3, 4, 5, 6});
        return a.GetCapacity();
      }},
  };
  for (size_t s = 0; s < scripts.size(); ++s) {
    std::unique_ptr<CWXMLNode> node(new CWXMLNode);
    CWPtArray& lent = node->m_Children;
    void** const slots = lent.GetMemPtr();
    // The attributes' slots follow the children's in the node's room; an
    // entry there shows a write past the children's lent slots.
    ASSERT_EQ(node->m_Props.GetMemPtr(), slots + 5);
    ASSERT_EQ(1, node->m_Props.Add(PtEntry(77)));
    CWPtArray plain;
    ASSERT_EQ(lent.GetCapacity(), plain.GetCapacity());
    for (size_t k = 0; k < scripts[s].size(); ++k) {
      SCOPED_TRACE(testing::Message() << "script " << s << " step " << k);
      EXPECT_EQ(scripts[s][k](lent), scripts[s][k](plain));
      EXPECT_EQ(lent.GetCapacity(), plain.GetCapacity());
      EXPECT_EQ(PtEntries(lent), PtEntries(plain));
      EXPECT_EQ(lent.GetMemPtr() == slots, lent.GetCapacity() == 5 && s != 5);
      CWPtArray copy(lent);
      EXPECT_EQ(PtEntries(copy), PtEntries(plain));
      EXPECT_NE(copy.GetMemPtr(), slots);
    }
    EXPECT_EQ(node->m_Props.GetMemPtr(), slots + 5);
    EXPECT_EQ(PtEntries(node->m_Props), std::vector<void*>{PtEntry(77)});
    // The entries are no nodes or attributes: the node must not release them.
    lent.RemoveAll();
    node->m_Props.RemoveAll();
  }
}

}  // namespace
