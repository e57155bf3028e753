// Editing, querying and checking a real XML configuration file with cwbase.
//
//   xml_config [CONF [OUT]]
//
// CONF is an XML 1.0 file, by default samples/session.conf.xml (run the
// program from the source folder or the installed examples folder, or give
// the path). OUT receives the edited
// copy (default: xml_config.out.xml in the temporary folder); CONF itself is
// never written.
//
// 1. Edit: load the file keeping everything (comments, DOCTYPE, layout),
//    change a value and an attribute, add an element, save, and show that
//    the saved file differs from the original only where it was edited.
// 2. Query by path: every match, a predicate, a position.
// 3. Report errors: a malformed copy, a missing file, a tree that cannot be
//    written as XML.
// 4. The exact dialect, for programs written against it.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <cwbase/core/block.h>
#include <cwbase/platform/filecontent.h>
#include <cwbase/xml/xmlnode.h>
#include <cwbase/xml/xmlpath.h>

namespace {

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/" + name;
}

// Wide strings of the tree may be null (no value, no such attribute).
const wchar_t* Show(const wchar_t* text) {
  return text ? text : L"(none)";
}

// FILE:LINE:COLUMN: what, as compilers print their errors; the detail, when
// there is one, is the message with the names in it.
void Report(FILE* to, const char* path, const CWXMLError& error) {
  const char* what = error.detail[0] ? error.detail : error.message;
  if (error.line > 0)
    std::fprintf(to, "%s:%d:%d: %s\n", path, error.line, error.column, what);
  else
    std::fprintf(to, "%s: %s\n", path, what);
}

// The lines of a whole file; false when it cannot be read.
bool ReadLines(const char* path, std::vector<std::string>& lines) {
  CWBlock content;
  if (ReadFileContent(path, content) != 0) return false;
  std::string text(content.GetBufferAs<char>() ? content.GetBufferAs<char>() : "",
                   content.GetSize());
  lines.clear();
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

// Prints the lines that differ between two files ("-" removed, "+" added),
// through a longest common subsequence of their lines, and counts the rest.
void ShowDifferences(const char* before, const char* after) {
  std::vector<std::string> a, b;
  if (!ReadLines(before, a) || !ReadLines(after, b)) return;
  std::vector<std::vector<int>> common(a.size() + 1, std::vector<int>(b.size() + 1, 0));
  for (size_t i = a.size(); i-- > 0;)
    for (size_t j = b.size(); j-- > 0;)
      common[i][j] =
          a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (i < a.size() && j < b.size() && a[i] == b[j]) {
      ++i, ++j;
    } else if (i < a.size() && (j == b.size() || common[i + 1][j] >= common[i][j + 1])) {
      std::printf("  - %s\n", a[i++].c_str());
    } else {
      std::printf("  + %s\n", b[j++].c_str());
    }
  }
  std::printf("  %d of %zu lines unchanged, byte for byte\n", common[0][0], a.size());
}

// Adds an element named @p name after @p sibling, on a line of its own with
// the sibling's indentation. In a tree loaded with CWXML_KEEP_ALL the white
// space between elements is kept as text nodes: the one before the sibling
// is copied, so the new element lines up with it.
CWXMLNode* AddElementAfter(CWXMLNode* sibling, const wchar_t* name) {
  CWXMLNode* parent = sibling->m_pParent;
  int at = parent ? parent->GetChildIndex(sibling) : -1;
  if (at < 0) return nullptr;  // the root has no siblings
  CWXMLNode* element = new CWXMLNode;
  element->SetName(name);
  if (!parent->InsertChildNode(at + 1, element)) {
    delete element;  // refused: it is still ours
    return nullptr;
  }
  CWXMLNode* before = parent->GetChildAt(at - 1);
  if (before && before->GetKind() == CWXML_NODE_TEXT) {
    CWXMLNode* space = new CWXMLNode;
    space->m_Kind = CWXML_NODE_TEXT;
    space->SetValue(before->GetValue());
    if (!parent->InsertChildNode(at + 1, space)) delete space;
  }
  return element;
}

// 1. Edit a configuration file and save it, changing nothing else.
bool EditConfig(const char* conf, const char* out) {
  std::printf("== 1. edit %s\n", conf);
  // CWXML_KEEP_ALL keeps comments, the DOCTYPE and every run of white space,
  // so that SaveXMLFile writes the document back as it was read.
  CWXMLDocument doc;
  if (doc.LoadXMLFile(conf, CWXML_KEEP_ALL) != 0) {
    Report(stderr, conf, doc.GetLastError());
    return false;
  }
  CWXMLNode* type = doc.GetChildNode(L"type");  // elements only: text and comments have no name
  std::printf("root <%ls>, bus type %ls\n", doc.GetName(), Show(type ? type->GetValue() : nullptr));

  // A value, read as a number: MISSING and MALFORMED are told apart from 0.
  SWXMLMatch timeout = XMLPathSelectFirst(&doc, L"/busconfig/limit[@name='auth_timeout']");
  long ms = 0;
  if (timeout.node && timeout.node->QueryValueLong(&ms) == CWXML_VALUE_OK) {
    std::printf("auth_timeout was %ld ms\n", ms);
    timeout.node->SetValue(ms / 4);  // an owned copy, printed with %d
  }

  // An attribute: the first <allow> of the default policy stops eavesdropping.
  SWXMLMatch allow =
      XMLPathSelectFirst(&doc, L"/busconfig/policy[@context='default']/allow[@eavesdrop]");
  if (allow.node) allow.node->SetPropertyValue(L"eavesdrop", L"false");

  // An element: the printing group may also own the scanning service.
  SWXMLMatch printing = XMLPathSelectFirst(&doc, L"/busconfig/policy[@group='printing']/allow");
  CWXMLNode* added = printing.node ? AddElementAfter(printing.node, L"allow") : nullptr;
  if (added) added->SetPropertyValue(L"own", L"org.example.Scanning");

  // Written to a temporary file beside OUT and renamed over it: OUT holds the
  // old document or the new one, never part of one.
  if (doc.SaveXMLFile(out) != 0) {
    Report(stderr, out, doc.GetLastError());
    return false;
  }
  std::printf("saved %s; what changed against %s:\n", out, conf);
  ShowDifferences(conf, out);
  return true;
}

// 2. Find nodes by path (a subset of XPath, see xmlpath.h).
bool QueryConfig(const char* conf) {
  std::printf("== 2. query %s\n", conf);
  CWXMLDocument doc;  // the default load: elements and their values only
  if (doc.LoadXMLFile(conf) != 0) {
    Report(stderr, conf, doc.GetLastError());
    return false;
  }

  // Every match, in document order: the services some policy lets a client own.
  CWXMLPath owned;
  CWDynArray<SWXMLMatch> matches;
  if (owned.Compile(L"//policy/allow/@own") == 0) {
    int n = owned.SelectAll(&doc, matches);
    for (int i = 0; i < n; ++i) {
      const SWXMLMatch& m = *matches.GetAt(i);
      CWXMLNode* policy = m.node->m_pParent;  // the <allow>'s <policy>
      CWXMLProp* who = policy ? policy->GetPropertyAt(0) : nullptr;
      std::printf("may own %ls (policy %ls=%ls)\n", Show(m.GetValue()),
                  Show(who ? who->m_pName : nullptr), Show(who ? who->m_pValue : nullptr));
    }
  }

  // A predicate, and a typed getter that says whether the value was there.
  long bytes = 0;
  SWXMLMatch size = XMLPathSelectFirst(&doc, L"/busconfig/limit[@name='max_message_size']");
  if (size.node && size.node->QueryValueLong(&bytes) == CWXML_VALUE_OK)
    std::printf("max_message_size = %ld bytes\n", bytes);

  // A position (from 1): the second service folder.
  std::printf("second servicedir: %ls\n",
              Show(XMLPathSelectFirst(&doc, L"servicedir[2]").GetValue()));

  // A path that does not compile says where and why.
  CWXMLPath bad;
  if (bad.Compile(L"policy[@user=backup]") != 0)
    std::printf("path policy[@user=backup], offset %ld: %s\n", bad.GetLastError().offset,
                bad.GetLastError().message);
  return true;
}

// 3. Errors name the place and what is wrong.
void ShowErrors(const char* conf) {
  std::printf("== 3. errors\n");
  // A copy of the file with one end tag misspelt.
  std::vector<std::string> lines;
  if (!ReadLines(conf, lines)) return;
  std::string text;
  bool broken = false;
  for (std::string& line : lines) {
    size_t at = line.find("</limit>");
    if (!broken && at != std::string::npos) {
      line.replace(at, 8, "</limits>");
      broken = true;
    }
    text += line + "\n";
  }
  std::string badPath = TempPath("xml_config.bad.xml");
  CWBlock block(text.data(), text.size());  // the block copies the bytes
  if (WriteFileContent(badPath.c_str(), block) != 0) return;

  CWXMLDocument doc;
  if (doc.LoadXMLFile(badPath.c_str()) != 0) Report(stdout, badPath.c_str(), doc.GetLastError());
  std::remove(badPath.c_str());
  if (doc.LoadXMLFile("no/such/folder/bus.conf") != 0)
    Report(stdout, "no/such/folder/bus.conf", doc.GetLastError());

  // SaveXML refuses a tree that is not XML, says why and leaves the block
  // as it was.
  doc.LoadXMLFile(conf);
  CWXMLNode* type = doc.GetChildNode(L"type");
  if (type) type->SetName(L"bus type");
  CWBlock out;
  if (doc.SaveXML(out) != 0) Report(stdout, "SaveXML output", doc.GetLastError());
}

// 4. The exact dialect: the library's own format, byte for byte, for programs
// written against it (bare attribute values, no escaping, CR LF).
void ExactDialect() {
  std::printf("== 4. exact dialect\n");
  static const unsigned char text[] =
      "<config version=2><server host=example.org><port>8080</port></server></config>";
  CWXMLDocument doc;
  if (doc.LoadFromStreamAscii(text, static_cast<int>(sizeof text - 1)) != 0) return;
  CWXMLNode* server = doc.GetChildNode(L"server");
  CWXMLNode* port = server ? server->GetChildNode(L"port") : nullptr;
  std::printf("version=%ld server@host=%ls server/port=%ls\n", doc.GetPropertyValueLong(L"version"),
              Show(server ? server->GetPropertyValue(L"host") : nullptr),
              Show(port ? port->GetValue() : nullptr));
  if (port) port->SetValue(8443L);
  CWBlock saved;
  doc.SaveToXMLStreamAscii(saved, 0);  // one byte per character, tabs, CR LF
  std::string written(saved.GetBufferAs<char>(), saved.GetSize());
  written.erase(std::remove(written.begin(), written.end(), '\r'),
                written.end());  // print CR LF as LF
  std::printf("%s\n", written.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // The exact 8-bit load and save, and printing wide strings, follow the
  // locale. The library never sets it; a program does it once at start.
  const char* locale = std::setlocale(LC_ALL, "");
  if (!locale || !std::strcmp(locale, "C") || !std::strcmp(locale, "POSIX"))
    std::setlocale(LC_ALL, "C.UTF-8");

  const char* conf = argc > 1 ? argv[1] : "samples/session.conf.xml";
  std::string out = argc > 2 ? argv[2] : TempPath("xml_config.out.xml");
  if (!EditConfig(conf, out.c_str()) || !QueryConfig(conf)) {
    if (argc <= 1)
      std::fprintf(stderr, "xml_config: give CONF, or run from the folder that holds samples/\n");
    return 1;
  }
  ShowErrors(conf);
  ExactDialect();
  return 0;
}
