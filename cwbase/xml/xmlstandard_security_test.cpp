// What a hostile document can make the standard reader do: the entity
// expansion attacks must be refused in bounded time and memory, ordinary
// entity use must not be, and an external entity naming a readable local
// file must never bring its content into the tree.
//
// Each load runs in a forked child, which measures its own processor time
// (CLOCK_PROCESS_CPUTIME_ID: what other work on the machine does not
// change) and the growth of its peak resident size (ru_maxrss, after a
// reset of the peak) around LoadXML and sends them to the parent with the
// result. The time bound is a safety bound, not a speed figure: without
// the limits each attack runs for minutes or hours and grows without end,
// with them it takes a fraction of a second, so the bound sits far above
// the second and far below the first.
// The bounds are checked where the allocation-limit tests run: sanitizers
// and valgrind change both figures, so there only the results are checked.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/addresslimit.h"
#include "testing/tempdir.h"
#include "testing/xmltree.h"

namespace {

struct Measured {
  int result = 0;
  int code = 0;
  long milliseconds = 0;
  long growthKiB = 0;
  long valueLength = 0;  // of the root, when the load succeeded
};

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A forked child starts with its parent's peak, and the parent's free heap
// pages stay resident, so what a load allocates could hide below that
// peak. The free pages go back to the system and the peak is reset to the
// present size (Linux: "5" to /proc/self/clear_refs) before measuring.
void ResetPeak() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
}

// LoadXML of `text` in a child; the figures come back through a pipe.
Measured LoadInChild(const std::string& text) {
  Measured m;
  int channel[2];
  if (pipe(channel) != 0) {
    ADD_FAILURE() << "pipe";
    return m;
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    std::vector<unsigned char> bytes(text.begin(), text.end());
    Measured c;
    ResetPeak();
    const long before = PeakKiB();
    timespec start{}, end{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    {
      CWXMLDocument doc;
      c.result = doc.LoadXML(bytes.data(), static_cast<long>(bytes.size()));
      c.code = doc.GetLastError().code;
      const wchar_t* value = doc.GetValue();
      c.valueLength = value ? static_cast<long>(std::wcslen(value)) : -1;
    }
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    c.milliseconds = (end.tv_sec - start.tv_sec) * 1000 + (end.tv_nsec - start.tv_nsec) / 1000000;
    c.growthKiB = PeakKiB() - before;
    const bool sent = write(channel[1], &c, sizeof c) == static_cast<ssize_t>(sizeof c);
    CWTestChildExit(sent ? 0 : 1);
  }
  close(channel[1]);
  const bool received =
      child > 0 && read(channel[0], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
  close(channel[0]);
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
  if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    ADD_FAILURE() << "the child did not report (status " << status << ")";
  return m;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  out.reserve(s.size() * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string BillionLaughs() {
  std::string doc = "<!DOCTYPE r [<!ENTITY l0 'lol'>";
  for (int i = 1; i < 10; ++i)
    doc += "<!ENTITY l" + std::to_string(i) + " '" +
           Repeat("&l" + std::to_string(i - 1) + ";", 10) + "'>";
  return doc + "]><r>&l9;</r>";
}

// One entity of `size` characters referenced `count` times, in content or
// in an attribute value.
std::string Quadratic(int size, int count, bool attribute) {
  const std::string refs = Repeat("&big;", count);
  return "<!DOCTYPE r [<!ENTITY big '" + std::string(static_cast<size_t>(size), 'a') + "'>]>" +
         (attribute ? "<r a='" + refs + "'/>" : "<r>" + refs + "</r>");
}

// `count` entities, each referencing the next; the last one closes the loop
// when `loop` is set.
std::string Chain(int count, bool loop) {
  std::string doc = "<!DOCTYPE r [";
  for (int i = 0; i < count; ++i) {
    const std::string next = i + 1 < count ? "&e" + std::to_string(i + 1) + ";"
                             : loop        ? "&e0;"
                                           : "x";
    doc += "<!ENTITY e" + std::to_string(i) + " '" + next + "'>";
  }
  return doc + "]><r>&e0;</r>";
}

TEST(XmlStandardSecurity, ExpansionAttacksAreRefusedInBoundedTimeAndMemory) {
  const struct {
    const char* name;
    std::string text;
    int code;
    int otherCode;  // also accepted (a loop may be found as recursion or as depth)
  } cases[] = {
      {"billion laughs", BillionLaughs(), CWXML_ERROR_ENTITY_LIMIT, CWXML_ERROR_ENTITY_LIMIT},
      {"quadratic, content", Quadratic(50000, 20000, false), CWXML_ERROR_ENTITY_LIMIT,
       CWXML_ERROR_ENTITY_LIMIT},
      {"quadratic, attribute", Quadratic(50000, 20000, true), CWXML_ERROR_ENTITY_LIMIT,
       CWXML_ERROR_ENTITY_LIMIT},
      {"10000 nested entities", Chain(10000, false), CWXML_ERROR_ENTITY_LIMIT,
       CWXML_ERROR_ENTITY_LIMIT},
      {"10000 entities in a loop", Chain(10000, true), CWXML_ERROR_ENTITY,
       CWXML_ERROR_ENTITY_LIMIT},
      {"self reference", "<!DOCTYPE r [<!ENTITY e 'a&e;'>]><r>&e;</r>", CWXML_ERROR_ENTITY,
       CWXML_ERROR_ENTITY},
  };
  const bool bounded = CWTestCanLimitAddressSpace();  // not under sanitizers or valgrind
  for (const auto& c : cases) {
    const Measured m = LoadInChild(c.text);
    std::printf("%s (%zu bytes): %d, code %d, %ld ms, peak +%ld KiB\n", c.name, c.text.size(),
                m.result, m.code, m.milliseconds, m.growthKiB);
    EXPECT_EQ(-1, m.result) << c.name;
    EXPECT_TRUE(m.code == c.code || m.code == c.otherCode) << c.name << ": code " << m.code;
    if (!bounded) continue;
    EXPECT_LT(m.milliseconds, 10000) << c.name;
    EXPECT_LT(m.growthKiB, 256 * 1024) << c.name;
  }
}

TEST(XmlStandardSecurity, OrdinaryEntityUseIsRead) {
  // A few hundred references to small entities, some nested, in content
  // and in attribute values.
  std::string doc =
      "<!DOCTYPE r [<!ENTITY name 'cwbase'><!ENTITY ver '0.1.0'>"
      "<!ENTITY full '&name; &ver;'><!ENTITY sep ', '>]><r>";
  for (int i = 0; i < 300; ++i) doc += "<i v='&full;'>&full;&sep;&name;</i>";
  doc += "</r>";
  CWXMLDocument tree;
  std::vector<unsigned char> bytes(doc.begin(), doc.end());
  ASSERT_EQ(0, tree.LoadXML(bytes.data(), static_cast<long>(bytes.size())))
      << tree.GetLastError().code;
  ASSERT_EQ(300, tree.GetChildCount());
  EXPECT_EQ(L"i[v=cwbase 0.1.0]\"cwbase 0.1.0, cwbase\"", XmlDump(*tree.GetChildAt(299)));

  // Four million characters from one entity of a small document: below the
  // floor of the expansion limit, though far above 100 times the input.
  const Measured m = LoadInChild(Quadratic(1000, 4000, false));
  std::printf("4000 x 1000 characters: %d, code %d, %ld ms, peak +%ld KiB\n", m.result, m.code,
              m.milliseconds, m.growthKiB);
  EXPECT_EQ(0, m.result) << "code " << m.code;
  EXPECT_EQ(4000L * 1000, m.valueLength);
}

// Every string of the tree, concatenated.
std::wstring AllStrings(CWXMLNode& node) {
  auto str = [](const wchar_t* s) { return std::wstring(s ? s : L"") + L"\n"; };
  std::wstring out = str(node.m_pName) + str(node.m_pValue);
  for (int i = 0; i < node.m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(node.m_Props.GetAt(i));
    if (p) out += str(p->m_pName) + str(p->m_pValue);
  }
  for (int i = 0; i < node.GetChildCount(); ++i)
    if (CWXMLNode* c = node.GetChildAt(i)) out += AllStrings(*c);
  return out;
}

TEST(XmlStandardSecurity, ExternalEntitiesAreNeverRead) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string secret = "cwsecret" + std::to_string(getpid());
  {
    std::ofstream(dir.Path("secret.ent")) << "<leak>" << secret << "</leak>" << secret;
    std::ofstream(dir.Path("secret.dtd"))
        << "<!ENTITY leak '" << secret << "'><!ATTLIST r leaked CDATA '" << secret << "'>";
  }
  const std::string ent = dir.Path("secret.ent"), dtd = dir.Path("secret.dtd");
  const struct {
    std::string text;
    int result;
  } cases[] = {
      {"<!DOCTYPE r [<!ENTITY x SYSTEM 'file://" + ent + "'>]><r>a&x;b</r>", 0},
      {"<!DOCTYPE r [<!ENTITY x SYSTEM '" + ent + "'>]><r>a&x;b<c>&x;</c></r>", 0},
      {"<!DOCTYPE r [<!ENTITY x PUBLIC '-//P//x' '" + ent + "'>]><r>&x;</r>", 0},
      {"<!DOCTYPE r [<!ENTITY x SYSTEM '" + ent + "'><!ENTITY y 'a&x;b'>]><r>&y;</r>", 0},
      {"<!DOCTYPE r [<!ENTITY x SYSTEM '" + ent + "'>]><r a='&x;'/>", -1},
      {"<!DOCTYPE r [<!ENTITY % p SYSTEM 'file://" + dtd + "'>%p;]><r>&leak;</r>", 0},
      {"<!DOCTYPE r [<!ENTITY % p SYSTEM '" + dtd + "'>%p;]><r>&leak;</r>", 0},
      {"<!DOCTYPE r SYSTEM '" + dtd + "'><r>&leak;</r>", 0},
      {"<!DOCTYPE r SYSTEM 'file://" + dtd + "' [<!ENTITY x SYSTEM '" + ent + "'>]><r>&x;</r>", 0},
  };
  const std::wstring wideSecret = XmlWiden(secret);
  for (const auto& c : cases) {
    CWXMLDocument doc;
    std::vector<unsigned char> bytes(c.text.begin(), c.text.end());
    EXPECT_EQ(c.result, doc.LoadXML(bytes.data(), static_cast<long>(bytes.size()))) << c.text;
    EXPECT_EQ(std::wstring::npos, AllStrings(doc).find(wideSecret)) << c.text;
    // The decoded input: one unit per byte of this ASCII text.
    const std::wstring decoded(
        static_cast<const wchar_t*>(doc.m_Buffer.GetBuffer()),
        std::min<size_t>(bytes.size(), doc.m_Buffer.GetSize() / sizeof(wchar_t)));
    EXPECT_EQ(std::wstring::npos, decoded.find(wideSecret)) << c.text;
    EXPECT_EQ(nullptr, doc.GetChildNode(L"leak")) << c.text;
    EXPECT_EQ(nullptr, doc.GetPropertyValue(L"leaked")) << c.text;
  }
}

}  // namespace
