// The smallest cwbase program: a block, a version and an XML element.
#include <cstdio>

#include <cwbase/cwbase.h>  // every public header at once

int main() {
  CWBlock block;
  block.AddData(const_cast<char*>("abc"), 3);

  wchar_t version[64];
  VersionToString(version, GetVersionFromString(L"1.2"));

  CWXMLDocument doc;
  doc.SetName(L"hello");
  doc.SetPropertyValue(L"bytes", static_cast<long>(block.GetSize()));
  CWBlock xml;
  doc.SaveToXMLStreamAscii(xml, 0);

  std::printf("version %ls; ", version);
  std::fwrite(xml.GetBuffer(), 1, xml.GetSize(), stdout);
  return block.GetSize() == 3 ? 0 : 1;
}
