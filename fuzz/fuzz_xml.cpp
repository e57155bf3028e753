// Fuzzing of the XML reader and writer (C.UTF-8 locale). Each input is loaded
// in wide and in 8-bit form; every load must equal the reference reader's
// (result, buffer and tree); the tree is walked and checked (depth bound,
// parent links, borrowed strings inside the document's buffer), copied, and
// written in both forms, each equal to the reference writer's output; the
// output is read back. Where the documented round-trip promise applies
// (plain names, markup-free values) the tree read back must equal the tree
// written, and plain ASCII must load alike in both forms.
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "cwbase/xml/internal/reader_reference.h"
#include "cwbase/xml/internal/writer_reference.h"
#include "cwbase/xml/xmlnode.h"
#include "fuzz_util.h"
#include "testing/xmltree.h"

namespace {

// Texts longer than this are not read by the reference reader, whose end-tag
// search scans each element's content once per enclosing element.
constexpr int kReferenceLimit = 1 << 14;

// The load of `doc` (result `result`) against the reference reader's load of
// the same bytes into a fresh document.
void CheckAgainstReference(CWXMLDocument& doc, int result, unsigned char* bytes, int n,
                           bool ascii) {
  if (n > kReferenceLimit) return;
  CWXMLDocument reference;
  FUZZ_CHECK(cwbase_internal::ReferenceXmlLoad(reference, bytes, n, ascii) == result);
  CWBlock& a = doc.m_Buffer;
  CWBlock& b = reference.m_Buffer;
  FUZZ_CHECK(a.GetSize() == b.GetSize() && a.GetCapacity() == b.GetCapacity());
  FUZZ_CHECK(a.GetCapacity() == 0 ||
             std::memcmp(a.GetBuffer(), b.GetBuffer(), a.GetCapacity()) == 0);
  FUZZ_CHECK(XmlShape(doc) == XmlShape(reference));
}

// The document writer's output `got` (from an empty block) against the
// reference writer's: length, capacity and data bytes.
void CheckWriterAgainstReference(CWXMLDocument& doc, CWBlock& got, bool ascii) {
  CWBlock want;
  cwbase_internal::ReferenceXmlSaveDocument(doc, want, 0, ascii);
  FUZZ_CHECK(got.GetSize() == want.GetSize() && got.GetCapacity() == want.GetCapacity());
  FUZZ_CHECK(std::memcmp(got.GetBuffer(), want.GetBuffer(), got.GetSize()) == 0);
}

int Walk(CWXMLNode* node, CWXMLNode* parent, const wchar_t* lo, const wchar_t* hi, int depth) {
  FUZZ_CHECK(depth <= CWXML_MAX_DEPTH);
  FUZZ_CHECK(node->m_pParent == parent || depth == 1);
  auto inBuffer = [&](const wchar_t* s, int own) {
    if (!s) return;
    volatile size_t length = std::wcslen(s);  // readable up to its terminator (ASan)
    (void)length;
    if (!own) FUZZ_CHECK(s >= lo && s < hi);
  };
  inBuffer(node->m_pName, node->m_bOwnName);
  inBuffer(node->m_pValue, node->m_bOwnValue);
  for (int i = 0; i < node->m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(node->m_Props.GetAt(i));
    FUZZ_CHECK(p && p->m_pName && p->m_pValue);  // the reader keeps complete attributes only
    inBuffer(p->m_pName, p->m_bOwnName);
    inBuffer(p->m_pValue, p->m_bOwnValue);
  }
  int deepest = depth;
  for (int i = 0; i < node->GetChildCount(); ++i) {
    CWXMLNode* c = node->GetChildAt(i);
    FUZZ_CHECK(c != nullptr);
    int d = Walk(c, node, lo, hi, depth + 1);
    if (d > deepest) deepest = d;
  }
  return deepest;
}

int WalkDocument(CWXMLDocument& doc) {
  auto* lo = static_cast<const wchar_t*>(doc.m_Buffer.GetBuffer());
  auto* hi = reinterpret_cast<const wchar_t*>(static_cast<const char*>(doc.m_Buffer.GetBuffer()) +
                                              doc.m_Buffer.GetCapacity());
  return Walk(&doc, nullptr, lo, hi, 1);
}

std::wstring Str(const wchar_t* s) {
  return s ? s : L"<null>";
}

bool Alnum(const wchar_t* s) {
  if (!s || !*s) return false;
  for (; *s; ++s)
    if (!((*s >= L'a' && *s <= L'z') || (*s >= L'A' && *s <= L'Z') || (*s >= L'0' && *s <= L'9')))
      return false;
  return true;
}

bool Space(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// The trees whose written form reads back unchanged: plain names, attribute
// values without '"', '<' or '>' (and, when written bare, not ending in '/'),
// values without '<' and without surrounding white space, no value beside
// children, and no attribute-carrying self-closing element inside an element
// of its own name (which the reader counts as an opening).
bool Clean(CWXMLNode* n, std::vector<std::wstring>& ancestors) {
  if (!Alnum(n->m_pName)) return false;
  bool selfClosing = !n->m_pValue && n->GetChildCount() == 0;
  if (selfClosing && n->m_Props.GetSize() > 0)
    for (const std::wstring& a : ancestors)
      if (a == n->m_pName) return false;
  for (int i = 0; i < n->m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(n->m_Props.GetAt(i));
    if (!Alnum(p->m_pName)) return false;
    std::wstring v = p->m_pValue;
    if (v.find_first_of(L"\"<>") != std::wstring::npos) return false;
    if (v.find(L' ') == std::wstring::npos && !v.empty() && v.back() == L'/') return false;
  }
  if (n->m_pValue) {
    std::wstring v = n->m_pValue;
    if (v.find(L'<') != std::wstring::npos) return false;
    if (!v.empty() && (Space(v.front()) || Space(v.back()))) return false;
    if (!v.empty() && n->GetChildCount() > 0) return false;
  }
  ancestors.push_back(n->m_pName);
  for (int i = 0; i < n->GetChildCount(); ++i)
    if (!Clean(n->GetChildAt(i), ancestors)) return false;
  ancestors.pop_back();
  return true;
}

// Trees equal, a null value of an element with children equal to empty.
bool Same(CWXMLNode* a, CWXMLNode* b) {
  if (Str(a->m_pName) != Str(b->m_pName)) return false;
  std::wstring va = Str(a->m_pValue), vb = Str(b->m_pValue);
  if (a->GetChildCount() > 0 && va == L"<null>") va = L"";
  if (b->GetChildCount() > 0 && vb == L"<null>") vb = L"";
  if (va != vb) return false;
  if (a->m_Props.GetSize() != b->m_Props.GetSize()) return false;
  for (int i = 0; i < a->m_Props.GetSize(); ++i) {
    auto* pa = static_cast<CWXMLProp*>(a->m_Props.GetAt(i));
    auto* pb = static_cast<CWXMLProp*>(b->m_Props.GetAt(i));
    if (Str(pa->m_pName) != Str(pb->m_pName) || Str(pa->m_pValue) != Str(pb->m_pValue))
      return false;
  }
  if (a->GetChildCount() != b->GetChildCount()) return false;
  for (int i = 0; i < a->GetChildCount(); ++i)
    if (!Same(a->GetChildAt(i), b->GetChildAt(i))) return false;
  return true;
}

bool AllAscii(const std::wstring& s) {
  for (wchar_t c : s)
    if (c < 1 || c > 0x7F) return false;
  return true;
}

std::wstring WideOf(CWBlock& b) {
  return std::wstring(static_cast<const wchar_t*>(b.GetBuffer()), b.GetSize() / sizeof(wchar_t));
}

// The XML text of this input: the bytes as they are, or a fragment repeated
// many times between a prefix and a suffix (deep nesting, long runs).
std::string Text(const uint8_t* data, size_t size) {
  if (size < 4 || data[0] != 0xFE) return std::string(reinterpret_cast<const char*>(data), size);
  size_t repeat = static_cast<size_t>(data[1]) * 8 + data[2] % 8;
  std::string rest(reinterpret_cast<const char*>(data) + 3, size - 3);
  size_t bar = rest.find('|');
  std::string fragment = rest.substr(0, bar);
  std::string tail = bar == std::string::npos ? std::string() : rest.substr(bar + 1);
  size_t bar2 = tail.find('|');
  std::string closing = tail.substr(0, bar2);
  std::string suffix = bar2 == std::string::npos ? std::string() : tail.substr(bar2 + 1);
  std::string out;
  for (size_t i = 0; i < repeat && out.size() < 12000; ++i) out += fragment;
  for (size_t i = 0; i < repeat && out.size() < 24000; ++i) out += closing;
  return out + suffix;
}

// Outputs larger than this are neither written in wide form nor read back,
// nor written by the reference writer. That writer appends each piece into
// a block that grows by 8 KiB at a time (the block's documented policy), and
// the reference reader searches the rest of the text for every element's end
// tag: both are quadratic, and for the
// megabyte of tabs that a tree nested a thousand deep writes they take
// seconds under ASan. Load, copy, 8-bit write and destruction of such trees
// are still checked.
constexpr unsigned long kRoundTripLimit = 1 << 17;

void WriteAndReadBack(CWXMLDocument& doc, int loaded) {
  // The 8-bit form: one byte per wide character.
  CWBlock narrow;
  FUZZ_CHECK(doc.SaveToXMLStreamAscii(narrow) == 0);
  FUZZ_CHECK(narrow.GetSize() >= 23);
  FUZZ_CHECK(std::memcmp(narrow.GetBuffer(), "<?xml version=\"1.0\"?>\r\n", 23) == 0);

  // A copy writes the same text.
  CWXMLDocument copy;
  copy = doc;
  CWBlock copied;
  copy.SaveToXMLStreamAscii(copied);
  FUZZ_CHECK(copied.GetSize() == narrow.GetSize());
  FUZZ_CHECK(std::memcmp(copied.GetBuffer(), narrow.GetBuffer(), narrow.GetSize()) == 0);
  if (narrow.GetSize() > kRoundTripLimit) return;
  CheckWriterAgainstReference(doc, narrow, true);

  // Read the 8-bit output back.
  CWXMLDocument back8;
  int r8 = back8.LoadFromStreamAscii(static_cast<unsigned char*>(narrow.GetBuffer()),
                                     static_cast<int>(narrow.GetSize()));
  FUZZ_CHECK(r8 == 0 || r8 == -1);
  WalkDocument(back8);
  std::vector<std::wstring> ancestors;
  bool clean = loaded == 0 && Clean(&doc, ancestors);

  // The wide form: the same characters, 4 bytes each; read back too.
  CWBlock wide;
  FUZZ_CHECK(doc.SaveToXMLStream(wide) == 0);
  FUZZ_CHECK(wide.GetSize() % sizeof(wchar_t) == 0);
  FUZZ_CHECK(narrow.GetSize() == wide.GetSize() / sizeof(wchar_t));
  CheckWriterAgainstReference(doc, wide, false);
  std::wstring wtext = WideOf(wide);
  bool ascii = AllAscii(wtext);
  if (ascii) {
    const auto* bytes = static_cast<const unsigned char*>(narrow.GetBuffer());
    for (size_t i = 0; i < wtext.size(); ++i)
      FUZZ_CHECK(wtext[i] == static_cast<wchar_t>(bytes[i]));
  }
  CWXMLDocument backW;
  int rW = backW.LoadFromStream(static_cast<unsigned char*>(wide.GetBuffer()),
                                static_cast<int>(wide.GetSize()));
  FUZZ_CHECK(rW == 0 || rW == -1);
  WalkDocument(backW);
  if (clean) {
    FUZZ_CHECK(rW == 0 && Same(&doc, &backW));
    if (ascii) FUZZ_CHECK(r8 == 0 && Same(&doc, &back8));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::setlocale(LC_ALL, "C.UTF-8")) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = Text(data, size);
  auto* bytes = reinterpret_cast<unsigned char*>(text.empty() ? nullptr : &text[0]);
  int n = static_cast<int>(text.size());

  // 8-bit form.
  CWXMLDocument doc8;
  std::string keep = text;
  int r8 = doc8.LoadFromStreamAscii(bytes, n);
  FUZZ_CHECK(r8 == 0 || r8 == -1);
  FUZZ_CHECK(text == keep);  // the caller's bytes are not changed
  CheckAgainstReference(doc8, r8, bytes, n, true);
  if (r8 == 0) WalkDocument(doc8);

  // Wide form: the same text widened unit per byte (plain ASCII loads alike),
  // then the raw bytes as wide units.
  std::wstring widened(text.begin(), text.end());
  for (wchar_t& c : widened) c = static_cast<unsigned char>(c);
  CWXMLDocument docW;
  int rW = docW.LoadFromStream(reinterpret_cast<unsigned char*>(&widened[0]),
                               static_cast<int>(widened.size() * sizeof(wchar_t)));
  if (rW == 0) WalkDocument(docW);
  CheckAgainstReference(docW, rW, reinterpret_cast<unsigned char*>(&widened[0]),
                        static_cast<int>(widened.size() * sizeof(wchar_t)), false);
  bool plain = text.find('\0') == std::string::npos && AllAscii(widened);
  if (plain) {
    FUZZ_CHECK(r8 == rW);
    if (r8 == 0) FUZZ_CHECK(Same(&doc8, &docW));
  }
  CWXMLDocument raw;
  int rr = raw.LoadFromStream(bytes, n);  // any length, partial units included
  FUZZ_CHECK(rr == 0 || rr == -1);
  CheckAgainstReference(raw, rr, bytes, n, false);
  if (rr == 0) WalkDocument(raw);
  FUZZ_CHECK(raw.LoadFromStream(bytes, -n - 1) == -1);  // negative lengths are refused

  if (r8 == 0) WriteAndReadBack(doc8, r8);
  if (rW == 0 && !plain) WriteAndReadBack(docW, rW);

  // Loading again into a used document gives the tree of the new text only.
  if (r8 == 0) {
    CWXMLDocument fresh;
    int r2 = doc8.LoadFromStream(reinterpret_cast<unsigned char*>(&widened[0]),
                                 static_cast<int>(widened.size() * sizeof(wchar_t)));
    int r3 = fresh.LoadFromStream(reinterpret_cast<unsigned char*>(&widened[0]),
                                  static_cast<int>(widened.size() * sizeof(wchar_t)));
    FUZZ_CHECK(r2 == r3);
    if (r2 == 0) FUZZ_CHECK(Same(&doc8, &fresh));
  }
  return 0;
}
