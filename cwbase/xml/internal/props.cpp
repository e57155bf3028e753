#include "cwbase/xml/internal/props.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <utility>
#include <vector>

#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

namespace {

// The name of an attribute list entry that counts (it has a name and a
// value), or null.
const wchar_t* NameOf(void* entry) {
  const auto* prop = static_cast<const CWXMLProp*>(entry);
  return prop && prop->m_pName && prop->m_pValue ? prop->m_pName : nullptr;
}

// Inline: names of one element mostly differ in their first unit.
bool SameName(const wchar_t* a, const wchar_t* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

// Long lists: the names sorted, then neighbours compared.
__attribute__((noinline)) bool SortedUnique(void** entries, int count) {
  std::vector<const wchar_t*> names;
  for (int i = 0; i < count; ++i)
    if (const wchar_t* name = NameOf(entries[i])) names.push_back(name);
  std::sort(names.begin(), names.end(),
            [](const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) < 0; });
  return std::adjacent_find(names.begin(), names.end(), SameName) == names.end();
}

}  // namespace

// Short lists, the usual kind: every pair is compared, with no allocation;
// names whose first two units differ are told apart without a call.
bool XmlPropsUnique(CWPtArray& props) {
  const int count = props.GetSize();
  if (count < 2) return true;
  void** entries = props.GetMemPtr();
  if (count > 16) return SortedUnique(entries, count);
  const wchar_t* names[16];
  uint64_t keys[16];
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const wchar_t* name = NameOf(entries[i]);
    if (!name) continue;
    const uint64_t key = static_cast<uint32_t>(name[0]) |
                         (name[0] ? uint64_t{static_cast<uint32_t>(name[1])} << 32 : 0);
    for (int j = 0; j < n; ++j)
      if (keys[j] == key && SameName(name, names[j])) return false;
    names[n] = name, keys[n++] = key;
  }
  return true;
}

// Each name with its index, sorted by name and then index: of each run of
// one name, the second entry is that name's first repetition.
int XmlPropsRepeated(CWPtArray& props) {
  std::vector<std::pair<const wchar_t*, int>> names;
  void** entries = props.GetMemPtr();
  for (int i = 0; i < props.GetSize(); ++i)
    if (const wchar_t* name = NameOf(entries[i])) names.emplace_back(name, i);
  std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
    const int order = std::wcscmp(a.first, b.first);
    return order < 0 || (order == 0 && a.second < b.second);
  });
  int first = -1;
  for (size_t i = 1; i < names.size(); ++i)
    if (SameName(names[i].first, names[i - 1].first) &&
        (i < 2 || !SameName(names[i - 1].first, names[i - 2].first)) &&
        (first < 0 || names[i].second < first))
      first = names[i].second;
  return first;
}

}  // namespace cwbase_internal
