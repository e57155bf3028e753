// Test aid: libxml2 as the conforming yardstick of the standard reader
// (header only; for the tests built with libxml2). XmlLibxml2Read reads as
// a non-validating processor that reads nothing from outside the document;
// XmlLibxml2Differential compares its verdict and tree with LoadXML's by the
// mapping rules written in cwbase/xml/xmlstandard_libxml2_test.cpp.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmltree.h"

inline xmlParserInputPtr XmlLibxml2RefuseEntity(const char*, const char*, xmlParserCtxtPtr) {
  return nullptr;
}

inline void XmlLibxml2IgnoreError(void*, xmlErrorPtr) {}

struct XmlLibxml2FreeDoc {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
using XmlLibxml2Doc = std::unique_ptr<xmlDoc, XmlLibxml2FreeDoc>;

// libxml2's tree of `bytes`, or null when it finds them not well-formed.
inline XmlLibxml2Doc XmlLibxml2Read(const std::string& bytes) {
  xmlSetExternalEntityLoader(XmlLibxml2RefuseEntity);
  xmlSetStructuredErrorFunc(nullptr, XmlLibxml2IgnoreError);
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  if (!context) return nullptr;
  // XML_PARSE_HUGE lifts libxml2's own size limits (10 MB text nodes and
  // the like), which are not XML 1.0's: a large system file must not count
  // as malformed for them.
  const int options = XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_DTDATTR | XML_PARSE_HUGE;
  XmlLibxml2Doc doc(xmlCtxtReadMemory(context, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, nullptr, options));
  const bool wellFormed = context->wellFormed != 0;
  xmlFreeParserCtxt(context);
  return wellFormed ? std::move(doc) : nullptr;
}

inline std::string XmlLibxml2Str(const xmlChar* s) {
  return s ? reinterpret_cast<const char*>(s) : "";
}

inline std::string XmlLibxml2QName(xmlNsPtr ns, const xmlChar* name) {
  return (ns && ns->prefix ? XmlLibxml2Str(ns->prefix) + ":" : "") + XmlLibxml2Str(name);
}

inline std::string XmlWithoutSpace(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') out += c;
  return out;
}

using XmlAttributeList = std::vector<std::pair<std::string, std::string>>;

inline std::string XmlShow(const XmlAttributeList& list) {
  std::string out;
  for (const auto& a : list) out += " " + a.first + "=\"" + a.second + "\"";
  return out;
}

// Where the trees first differ, or empty when they agree.
inline std::string XmlLibxml2Compare(CWXMLNode& mine, xmlNodePtr theirs, const std::string& path) {
  const std::string name = XmlLibxml2QName(theirs->ns, theirs->name);
  const std::string here = path + "/" + name;
  if (XmlUtf8(mine.GetName()) != name) return here + ": name " + XmlUtf8(mine.GetName());
  XmlAttributeList myNs, myOthers, theirNs, theirOthers;
  for (int i = 0; i < mine.m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(mine.m_Props.GetAt(i));
    const std::string key = XmlUtf8(p->m_pName);
    const bool ns = key == "xmlns" || key.compare(0, 6, "xmlns:") == 0;
    (ns ? myNs : myOthers).emplace_back(key, XmlUtf8(p->m_pValue));
  }
  for (xmlNsPtr ns = theirs->nsDef; ns; ns = ns->next)
    theirNs.emplace_back(ns->prefix ? "xmlns:" + XmlLibxml2Str(ns->prefix) : "xmlns",
                         XmlLibxml2Str(ns->href));
  for (xmlAttrPtr a = theirs->properties; a; a = a->next) {
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
    theirOthers.emplace_back(XmlLibxml2QName(a->ns, a->name), XmlLibxml2Str(value));
    xmlFree(value);
  }
  if (myNs != theirNs)
    return here + ": namespace declarations" + XmlShow(myNs) + ", libxml2" + XmlShow(theirNs);
  if (myOthers != theirOthers)
    return here + ": attributes" + XmlShow(myOthers) + ", libxml2" + XmlShow(theirOthers);
  std::string text;
  int child = 0;
  for (xmlNodePtr c = theirs->children; c; c = c->next) {
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE)
      text += XmlLibxml2Str(c->content);
    if (c->type != XML_ELEMENT_NODE) continue;
    if (child >= mine.GetChildCount()) return here + ": fewer children";
    std::string inner = XmlLibxml2Compare(*mine.GetChildAt(child++), c, here);
    if (!inner.empty()) return inner;
  }
  if (child != mine.GetChildCount()) return here + ": more children";
  if (XmlWithoutSpace(XmlUtf8(mine.GetValue())) != XmlWithoutSpace(text))
    return here + ": value \"" + XmlUtf8(mine.GetValue()) + "\", libxml2 \"" + text + "\"";
  return "";
}

struct XmlLibxml2Verdict {
  bool libxml2Read = false;
  bool loadXmlRead = false;
  std::string difference;  // empty when both agree
};

inline XmlLibxml2Verdict XmlLibxml2Differential(const std::string& bytes) {
  XmlLibxml2Verdict v;
  XmlLibxml2Doc theirs = XmlLibxml2Read(bytes);
  v.libxml2Read = theirs && xmlDocGetRootElement(theirs.get());
  CWXMLDocument mine;
  std::vector<unsigned char> copy(bytes.begin(), bytes.end());  // exactly the bytes, for ASan
  v.loadXmlRead = mine.LoadXML(copy.data(), static_cast<long>(copy.size())) == 0;
  const CWXMLError& e = mine.GetLastError();
  if (v.libxml2Read && !v.loadXmlRead)
    v.difference = "only libxml2 reads it; LoadXML: error " + std::to_string(e.code) + " (" +
                   e.message + ") at " + std::to_string(e.line) + ":" + std::to_string(e.column);
  else if (!v.libxml2Read && v.loadXmlRead)
    v.difference = "only LoadXML reads it";
  else if (v.libxml2Read)
    v.difference = XmlLibxml2Compare(mine, xmlDocGetRootElement(theirs.get()), "");
  return v;
}
