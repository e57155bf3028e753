// Reading, editing and saving an XML configuration with cwbase.
//
//   xml_config [IN [OUT]]
//
// IN is an 8-bit XML file such as
//   <config><server host=example.org><port>8080</port></server></config>
// Without IN a small configuration is written to the temporary folder first.
// The edited document is written to OUT (default: xml_config.out.xml in the
// temporary folder) and printed.
//
// The road of a document through the library:
//   file --ReadFileContent--> CWBlock --LoadFromStreamAscii--> tree
//   tree --SetValue/SetPropertyValue/AddChildNode--> edited tree
//   tree --SaveToXMLStreamAscii--> CWBlock --WriteFileContent--> file
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <cwbase/core/block.h>
#include <cwbase/platform/filecontent.h>
#include <cwbase/xml/xmlnode.h>

namespace {

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/" + name;
}

// Writes a small configuration so that the example runs without arguments.
bool WriteSampleConfig(const std::string& path) {
  const char text[] =
      "<?xml version=\"1.0\"?>\n"
      "<config version=2>\n"
      "  <server host=example.org tls=on>\n"
      "    <port>8080</port>\n"
      "  </server>\n"
      "  <logging level=\"warn only\"/>\n"
      "</config>\n";
  CWBlock block(const_cast<char*>(text), sizeof text - 1);  // the block copies the bytes
  return WriteFileContent(path.c_str(), block) == 0;
}

// Wide strings of the tree may be null (no value, no such attribute).
const wchar_t* Show(const wchar_t* text) {
  return text ? text : L"(none)";
}

}  // namespace

int main(int argc, char** argv) {
  // The 8-bit load and save convert through the locale's encoding. The library
  // never sets the locale; a program does it once at start.
  const char* locale = std::setlocale(LC_ALL, "");
  if (!locale || !std::strcmp(locale, "C") || !std::strcmp(locale, "POSIX"))
    std::setlocale(LC_ALL, "C.UTF-8");

  std::string in = argc > 1 ? argv[1] : TempPath("xml_config.in.xml");
  std::string out = argc > 2 ? argv[2] : TempPath("xml_config.out.xml");
  if (argc <= 1 && !WriteSampleConfig(in)) {
    std::fprintf(stderr, "xml_config: %s: cannot write the sample\n", in.c_str());
    return 1;
  }

  // 1. The whole file into a block: 0 on success, else -1 or an errno value.
  //    An empty file answers the current errno, so clear it first: an empty
  //    file then reads as 0 with an empty block (and fails to load below).
  CWBlock content;
  errno = 0;
  int rc = ReadFileContent(in.c_str(), content);
  if (rc != 0) {
    std::fprintf(stderr, "xml_config: %s: %s\n", in.c_str(),
                 rc > 0 ? std::strerror(rc) : "cannot be read");
    return 1;
  }

  // 2. Parse. The document copies the text into its own buffer; the names and
  //    values in the tree are borrowed from that copy, so `content` may go.
  CWXMLDocument doc;
  if (doc.LoadFromStreamAscii(static_cast<unsigned char*>(content.GetBuffer()),
                              static_cast<int>(content.GetSize())) != 0) {
    std::fprintf(stderr, "xml_config: %s: no root element could be read\n", in.c_str());
    return 1;
  }

  // 3. Read. The document is the root element; look children up by name.
  std::printf("root <%ls>, %d children, version=%ld\n", Show(doc.GetName()), doc.GetChildCount(),
              doc.GetPropertyValueLong(L"version"));  // 0 when missing or not a number
  CWXMLNode* server = doc.GetChildNode(L"server");
  if (!server) server = doc.AddChildNode(L"server");  // null only when out of memory
  if (!server) return 1;
  CWXMLNode* port = server->GetChildNode(L"port");
  std::printf("server@host=%ls server/port=%ls\n", Show(server->GetPropertyValue(L"host")),
              Show(port ? port->GetValue() : nullptr));

  // 4. Edit. Every setter stores an owned copy, so the tree can be changed
  //    freely; borrowed and owned strings are released correctly either way.
  if (!port) port = server->AddChildNode(L"port");
  if (port) port->SetValue(8443L);                        // numbers are printed with "%d"
  server->SetPropertyValue(L"tls", L"on");                // changes the first tls=, or adds one
  server->SetPropertyValue(L"name", L"\"Main server\"");  // surrounding quotes are removed
  CWXMLNode* limits = server->AddChildNode(L"limits");    // duplicates are allowed
  if (limits) limits->SetPropertyValue(L"connections", 512L);

  // 5. Save. The 8-bit writer appends the declaration and the tree, with tabs
  //    and CR LF line ends. It reserves ONE byte per character: characters
  //    that need more in the locale's encoding do not fit (use the wide form,
  //    SaveToXMLStream, for such text). Nothing is escaped.
  CWBlock saved;
  doc.SaveToXMLStreamAscii(saved, 0);
  rc = WriteFileContent(out.c_str(), saved);
  if (rc != 0) {
    std::fprintf(stderr, "xml_config: %s: %s\n", out.c_str(),
                 rc > 0 ? std::strerror(rc) : "cannot be written");
    return 1;
  }
  std::printf("wrote %lu bytes to %s:\n", saved.GetSize(), out.c_str());
  std::fwrite(saved.GetBuffer(), 1, saved.GetSize(), stdout);  // no terminator in the block
  return 0;
}
