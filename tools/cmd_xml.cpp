// cwtool xml / xml-get: load an XML document and write it back in the
// library's layout, check files, or print one value addressed by a slash
// path, with the standard operations (LoadXML / SaveXML) or, with --exact,
// the exact ones; plus the demo step that walks a document from file to
// tree to file.
#include <unistd.h>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "cwbase/core/block.h"
#include "cwbase/platform/filecontent.h"
#include "cwbase/xml/xmlnode.h"
#include "cwbase/xml/xmlpath.h"
#include "tools/command.h"

namespace {

// The locale the XML subcommands convert in: the user's, except that a
// process in the plain C locale switches to C.UTF-8 so that non-ASCII text
// converts. Null means no switch (see CWToolLocaleScope).
const char* XmlLocale() {
  const char* name = std::setlocale(LC_ALL, nullptr);
  bool plain = !name || !std::strcmp(name, "C") || !std::strcmp(name, "POSIX");
  return plain ? "C.UTF-8" : nullptr;
}

// Reads FILE and loads it into `doc`. The 8-bit reader keeps what converted
// before an invalid sequence, which would give a cut tree and a misleading
// "not found"; such text is refused here as a document that cannot be read.
// (The reader stops at a zero byte, so only the text before one is checked.)
int Load(CWXMLDocument& doc, const std::string& path, bool wide) {
  std::string text;
  if (!CWToolReadInput(path, text)) return CWTOOL_REJECTED;
  const std::string unreadable = path + ": the document could not be read: ";
  std::vector<wchar_t> check;
  if (!wide && !CWToolToWide(text, check))
    return CWToolFail(CWTOOL_REJECTED, unreadable + "not valid text in the locale's encoding");
  auto* bytes = reinterpret_cast<unsigned char*>(&text[0]);
  int length = static_cast<int>(text.size());
  int result = wide ? doc.LoadFromStream(bytes, length) : doc.LoadFromStreamAscii(bytes, length);
  if (result != 0)
    return CWToolFail(CWTOOL_REJECTED,
                      unreadable + "no root element (unterminated tag or missing end tag)");
  return CWTOOL_OK;
}

// Reads FILE and loads it with LoadXML (standard mode) and the load option
// bits `options`. A malformed file is reported as FILE:LINE:COLUMN: message.
int LoadStandard(CWXMLDocument& doc, const std::string& path, unsigned long options = 0) {
  std::string text;
  if (!CWToolReadInput(path, text)) return CWTOOL_REJECTED;
  if (doc.LoadXML(reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<long>(text.size()), options) == 0)
    return CWTOOL_OK;
  const CWXMLError& e = doc.GetLastError();
  const std::string what = e.detail[0] ? e.detail : e.message;  // the detail names names
  if (e.line == 0) return CWToolFail(CWTOOL_REJECTED, path + ": " + what);
  return CWToolFail(CWTOOL_REJECTED, path + ":" + std::to_string(e.line) + ":" +
                                         std::to_string(e.column) + ": " + what);
}

// `xml --check FILE...`: whether each file is well-formed.
int CheckFiles(const std::vector<std::string>& files) {
  int rc = CWTOOL_OK;
  for (const std::string& file : files) {
    CWXMLDocument doc;
    if (LoadStandard(doc, file) == CWTOOL_OK)
      std::printf("%s: well-formed\n", file.c_str());
    else
      rc = CWTOOL_REJECTED;
  }
  return rc;
}

// True when the 8-bit form `narrow` lost characters: the writer reserves one
// byte per character and writes '?' for a character that needs more.
// Compared with the wide form converted in full.
bool LostCharacters(CWXMLDocument& doc, CWBlock& narrow) {
  CWBlock wide;
  doc.SaveToXMLStream(wide, 0);
  std::wstring text(static_cast<const wchar_t*>(wide.GetBuffer()),
                    wide.GetSize() / sizeof(wchar_t));
  std::string full;
  return !CWToolToBytes(text.c_str(), full) || full.size() != narrow.GetSize() ||
         std::memcmp(full.data(), narrow.GetBuffer(), full.size()) != 0;
}

// The argument of --indent: "tabs", "none" or a number of spaces (0-16).
bool ReadIndent(const std::string& text, int* indent) {
  if (text == "tabs" || text == "none") {
    *indent = text == "tabs" ? CWXML_INDENT_TABS : CWXML_INDENT_NONE;
    return true;
  }
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *indent = std::atoi(text.c_str());
  return *indent <= 16;
}

int RunXml(const std::vector<std::string>& args) {
  std::string out;
  std::vector<std::string> files;
  bool wide = false, exact = false, check = false, layout = false;
  unsigned long load = 0;
  CWXMLSaveOptions save;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--keep-all") {
      load |= CWXML_KEEP_ALL;
      layout = true;
    } else if (args[i] == "--crlf") {
      save.crlf = layout = true;
    } else if (args[i] == "--no-declaration") {
      save.declaration = false;
      layout = true;
    } else if (args[i] == "--indent") {
      if (++i == args.size() || !ReadIndent(args[i], &save.indent))
        return CWToolFail(CWTOOL_USAGE,
                          "xml: --indent needs tabs, none or a number of spaces up to 16");
      layout = true;
    } else if (args[i] == "--wide") {
      wide = exact = true;
    } else if (args[i] == "--exact") {
      exact = true;
    } else if (args[i] == "--check") {
      check = true;
    } else if (args[i] == "-o") {
      if (++i == args.size()) return CWToolFail(CWTOOL_USAGE, "xml: -o needs a file name");
      out = args[i];
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return CWToolFail(CWTOOL_USAGE, "xml: unknown option " + args[i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (layout && (exact || check))
    return CWToolFail(CWTOOL_USAGE,
                      "xml: --keep-all, --indent, --crlf and --no-declaration are for writing "
                      "with the standard operations (not with --exact, --wide or --check)");
  if (check) {
    if (exact || !out.empty())
      return CWToolFail(CWTOOL_USAGE, "xml: --check takes no -o, --exact or --wide");
    if (files.empty()) return CWToolFail(CWTOOL_USAGE, "xml: --check needs at least one FILE");
    return CheckFiles(files);
  }
  if (files.size() > 1) return CWToolFail(CWTOOL_USAGE, "xml: only one FILE may be given");
  if (files.empty())
    return CWToolFail(CWTOOL_USAGE,
                      "xml: FILE missing (usage: cwtool xml FILE [-o OUT] [--exact] [--wide])");
  const std::string& in = files[0];

  CWXMLDocument doc;
  CWBlock block;
  if (!exact) {
    if (int rc = LoadStandard(doc, in, load)) return rc;
    if (doc.SaveXML(block, 0, save) != 0) {
      const CWXMLError& e = doc.GetLastError();
      return CWToolFail(CWTOOL_REJECTED, in + ": the tree cannot be written as XML: " + e.message +
                                             " (output line " + std::to_string(e.line) +
                                             ", column " + std::to_string(e.column) + ")");
    }
  } else {
    CWToolLocaleScope locale(XmlLocale());
    if (int rc = Load(doc, in, wide)) return rc;
    if (wide) {
      doc.SaveToXMLStream(block, 0);
    } else {
      doc.SaveToXMLStreamAscii(block, 0);
      if (LostCharacters(doc, block))
        std::fprintf(stderr,
                     "cwtool: %s: characters of more than one byte do not fit the 8-bit form; "
                     "they are written as '?' (use --wide)\n",
                     in.c_str());
    }
  }
  if (out.empty()) {
    std::fwrite(block.GetBuffer(), 1, block.GetSize(), stdout);
    return std::fflush(stdout) == 0 ? CWTOOL_OK
                                    : CWToolFail(CWTOOL_REJECTED, "xml: cannot write output");
  }
  if (int rc = WriteFileContent(out.c_str(), block))
    return CWToolFail(CWTOOL_REJECTED, out + ": " + (rc > 0 ? std::strerror(rc) : "cannot write"));
  return CWTOOL_OK;
}

// The path the library compiles for the PATH given, and for each of its
// characters the offset of the character of PATH it came from, so that a
// compile error points into what the user typed. PATH keeps its older form:
// without a leading "/" it still starts with the root's name, and "@" right
// after a step ("a/b@c") is read as a step of its own ("/a/b/@c").
struct ToolPath {
  std::wstring text;
  std::vector<long> from;
};

ToolPath Translate(const wchar_t* path) {
  ToolPath out;
  auto put = [&out](wchar_t c, long at) {
    out.text.push_back(c);
    out.from.push_back(at);
  };
  if (path[0] != L'/') put(L'/', 0);
  int depth = 0;
  wchar_t quote = 0;
  for (long i = 0; path[i]; ++i) {
    const wchar_t c = path[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == L'\'' || c == L'"') {
      if (depth > 0) quote = c;
    } else if (c == L'[') {
      ++depth;
    } else if (c == L']') {
      if (depth > 0) --depth;
    } else if (c == L'@' && depth == 0 && i > 0 && path[i - 1] != L'/') {
      put(L'/', i);
    }
    put(c, i);
  }
  out.from.push_back(static_cast<long>(std::wcslen(path)));  // the end
  return out;
}

int RunXmlGet(const std::vector<std::string>& args) {
  std::vector<std::string> plain;
  bool wide = false, exact = false;
  for (const std::string& a : args) {
    if (a == "--wide")
      wide = exact = true;
    else if (a == "--exact")
      exact = true;
    else if (a.size() > 1 && a[0] == '-')
      return CWToolFail(CWTOOL_USAGE, "xml-get: unknown option " + a);
    else
      plain.push_back(a);
  }
  if (plain.size() != 2 || plain[1].empty())
    return CWToolFail(CWTOOL_USAGE, "xml-get: usage: cwtool xml-get FILE PATH [--exact] [--wide]");
  CWToolLocaleScope locale(XmlLocale());

  std::vector<wchar_t> wpath;
  if (!CWToolToWide(plain[1], wpath))
    return CWToolFail(CWTOOL_REJECTED, plain[1] + ": not valid text in the current locale");
  const ToolPath tool = Translate(wpath.data());
  CWXMLPath path;
  if (path.Compile(tool.text.c_str()) != 0) {
    const SWXMLPathError& e = path.GetLastError();
    return CWToolFail(CWTOOL_USAGE, "xml-get: " + plain[1] + ": at offset " +
                                        std::to_string(tool.from[e.offset]) + ": " + e.message);
  }
  CWXMLDocument doc;
  if (int rc = exact ? Load(doc, plain[0], wide) : LoadStandard(doc, plain[0])) return rc;
  CWDynArray<SWXMLMatch> matches;
  const int n = path.SelectAll(&doc, matches);
  if (n < 0) return CWToolFail(CWTOOL_REJECTED, plain[0] + ": out of memory");
  if (n == 0) return CWToolFail(CWTOOL_REJECTED, plain[0] + ": " + plain[1] + " not found");
  std::string out;
  for (int i = 0; i < n; ++i) {
    const wchar_t* value = matches.GetAt(i)->GetValue();
    std::string text;
    if (value && !CWToolToBytes(value, text))
      return CWToolFail(CWTOOL_REJECTED,
                        plain[0] + ": " + plain[1] + ": value not representable in this locale");
    out += text + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return CWTOOL_OK;
}

std::string Show(const wchar_t* text) {
  std::string s;
  return text && CWToolToBytes(text, s) ? s : std::string("(none)");
}

// The document road: file -> block -> tree -> edit -> block -> file.
int DemoXml() {
  CWToolLocaleScope locale(XmlLocale());
  std::printf("== XML: the document road on samples/config.xml\n");
  std::string path = CWToolSamplePath("config.xml");
  CWBlock content;
  int rc = ReadFileContent(path.c_str(), content);
  if (rc)
    return CWToolFail(CWTOOL_REJECTED, path + ": " + (rc > 0 ? std::strerror(rc) : "cannot read"));
  std::printf("ReadFileContent        %lu bytes\n", content.GetSize());

  CWXMLDocument doc;
  int loaded = doc.LoadFromStreamAscii(static_cast<unsigned char*>(content.GetBuffer()),
                                       static_cast<int>(content.GetSize()));
  std::printf("LoadFromStreamAscii    result %d, root <%s> with %d children\n", loaded,
              Show(doc.GetName()).c_str(), doc.GetChildCount());
  CWXMLNode* server = doc.GetChildNode(L"server");
  CWXMLNode* database = doc.GetChildNode(L"database");
  CWXMLNode* logging = doc.GetChildNode(L"logging");
  if (loaded != 0 || !server || !database || !logging || !database->GetChildNode(L"pool"))
    return CWToolFail(CWTOOL_REJECTED, path + ": not the expected configuration");
  CWXMLNode* port = server->GetChildNode(L"port");
  CWXMLNode* pool = database->GetChildNode(L"pool");
  std::printf("read                   server@name=\"%s\" server/port=%s database/pool@max=%ld\n",
              Show(server->GetPropertyValue(L"name")).c_str(),
              Show(port ? port->GetValue() : nullptr).c_str(), pool->GetPropertyValueLong(L"max"));

  if (port) port->SetValue(9443L);
  server->SetPropertyValue(L"tls", L"off");
  pool->SetPropertyValue(L"max", pool->GetPropertyValueLong(L"max") * 2);
  CWXMLNode* audit = logging->AddChildNode(L"audit");
  if (audit) {
    audit->SetPropertyValue(L"target", L"\"audit log\"");
    audit->SetValue(L"enabled");
  }
  std::printf(
      "edit                   server/port=9443, server@tls=off, pool@max doubled, "
      "logging/audit added\n");

  CWBlock saved;
  doc.SaveToXMLStreamAscii(saved, 0);
  const char* tmpdir = std::getenv("TMPDIR");
  std::string temp = tmpdir && *tmpdir ? tmpdir : "/tmp";
  temp += "/cwtool-xml-XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) return CWToolFail(CWTOOL_REJECTED, temp + ": " + std::strerror(errno));
  close(fd);
  rc = WriteFileContent(temp.c_str(), saved);
  CWBlock back;
  if (rc == 0) rc = ReadFileContent(temp.c_str(), back);
  std::remove(temp.c_str());
  if (rc)
    return CWToolFail(CWTOOL_REJECTED, temp + ": " + (rc > 0 ? std::strerror(rc) : "cannot write"));
  std::printf("SaveToXMLStreamAscii   %lu bytes; WriteFileContent %s (removed afterwards)\n",
              saved.GetSize(), temp.c_str());
  std::printf("saved text:\n");
  std::fwrite(back.GetBuffer(), 1, back.GetSize(), stdout);
  return CWTOOL_OK;
}

CWToolCommand xmlCommand(
    "xml", "FILE [-o OUT] [--exact]",
    "load an XML document and write it back, or check that files are well-formed",
    "Also: cwtool xml --check FILE...; cwtool xml --wide FILE [-o OUT];\n"
    "cwtool xml FILE [--keep-all] [--indent N|tabs|none] [--crlf] [--no-declaration].\n"
    "Loads FILE as XML 1.0 (UTF-8, UTF-16 or UTF-32 by its byte-order mark, or the\n"
    "encoding it declares; comments, DOCTYPE and CDATA are understood) and writes\n"
    "it back with SaveXML as UTF-8: declaration, one tab per level between child\n"
    "elements (never inside text), LF line ends, values escaped. --indent N\n"
    "indents by N spaces (up to 16), --indent none adds no layout; --crlf writes\n"
    "CR LF line ends; --no-declaration leaves the declaration out; --keep-all\n"
    "keeps comments, processing instructions, the DOCTYPE and all white space,\n"
    "so that the document is written back as it was read. A malformed file is\n"
    "reported as FILE:LINE:COLUMN: message. Output goes to standard output, or to\n"
    "OUT with -o.\n"
    "--check FILE... only reports whether each file is well-formed.\n"
    "--exact uses the exact operations instead: 8-bit text in the locale's\n"
    "encoding (with --wide, 32-bit wchar_t units in machine byte order), written\n"
    "back in the same form, one byte per character (a character needing more is\n"
    "written as '?'; a warning says so); they know no comments, entities or\n"
    "DOCTYPE, and escape nothing. In the plain C locale that 8-bit form is read\n"
    "and written as UTF-8.\n"
    "FILE may be - for standard input.\n"
    "Exit codes: 0 done (every file well-formed), 1 FILE cannot be read or is not\n"
    "a document, or OUT cannot be written, 2 usage error.\n",
    RunXml, DemoXml, 20);

CWToolCommand xmlGetCommand(
    "xml-get", "FILE PATH [--exact]", "print the values of the elements or attributes a path finds",
    "Prints the value of every element or attribute that PATH finds, one per\n"
    "line, in document order. PATH is a path query (see docs/xml.md):\n"
    "  /config/server/port     child steps from the root element\n"
    "  //allow                 every <allow> at any depth\n"
    "  * . ..                  any element, this one, its parent\n"
    "  .../@own  .../@*        attributes (the last step)\n"
    "  [@a] [@a='v'] [name] [name='v'] [2]   predicates\n"
    "A PATH without a leading '/' starts with the root's name as well, and\n"
    "'@' may follow a step directly: config/server@host is /config/server/@host.\n"
    "A malformed PATH is reported with its offset (characters before the fault).\n"
    "FILE is read as XML 1.0, or with --exact (and --wide) by the exact\n"
    "operations as for `cwtool xml`. An element without text prints an empty\n"
    "line. FILE may be - for standard input.\n"
    "Exit codes: 0 done, 1 FILE unreadable, not a document or nothing found,\n"
    "2 usage error or malformed PATH.\n",
    RunXmlGet);

}  // namespace
