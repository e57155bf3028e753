// Test aid: generated documents for the lossless load (CWXML_KEEP_ALL),
// each with the dump of the nodes it must keep: comments and processing
// instructions before, inside and after the root, a DOCTYPE with an internal
// subset, CDATA sections, mixed content, white space, LF or CR LF line ends,
// references and an internal entity, attributes in either quote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testing/random.h"

// A generated document and the dump KeepRead must give for it, built side
// by side from one sequence of choices.
class KeepGenerator {
 public:
  explicit KeepGenerator(uint64_t start) : m_Random(start) {}

  void Document() {
    m_NewLine = m_Random.OneIn(2) ? "\r\n" : "\n";
    std::wstring prolog;
    if (m_Random.OneIn(2)) {
      m_Text += "<?xml version=\"1.0\"?>";
      Add(prolog, L"#p\"xml version=\"1.0\"\"");
    }
    Misc(prolog);
    if (m_Random.OneIn(2)) {
      m_Entity = true;
      const std::string subset =
          " [" + m_NewLine + "  <!ENTITY e \"ent\">" + m_NewLine + "  <!-- s --><?s?>]";
      m_Text += "<!DOCTYPE r" + subset + ">";
      Add(prolog, L"#x\"<!DOCTYPE r" + Wide(subset) + L">\"");
      Misc(prolog);
    }
    const std::wstring root = Element(0);
    std::wstring epilog;
    Misc(epilog);
    m_Expected = prolog + L"|" + root + L"|" + epilog;
  }

  const std::string& Text() const { return m_Text; }
  const std::wstring& Expected() const { return m_Expected; }

 private:
  // Text as written and as read (line ends normalised).
  std::wstring Wide(const std::string& s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i)
      if (s[i] != '\r' || s[i + 1] != '\n') out += static_cast<wchar_t>(s[i]);
    return out;
  }
  static void Add(std::wstring& list, const std::wstring& item) {
    list += (list.empty() ? L"" : L" ") + item;
  }
  std::string Space() {
    static const char* const kSpaces[] = {" ", "\t", "\n", "\r\n", "  "};
    std::string s;
    for (uint32_t n = 1 + m_Random.Below(3); n > 0; --n) s += m_Random.Pick(kSpaces);
    return s;
  }
  std::string Word() {
    static const char* const kWords[] = {"a", "bc", "x y", "-", "?", "]"};
    return m_Random.Pick(kWords);
  }
  // Comments, processing instructions and white space outside the root.
  void Misc(std::wstring& list) {
    bool space = false;  // the last item was white space: the next one would join it
    for (uint32_t n = m_Random.Below(4); n > 0; --n) {
      std::string s;
      const uint32_t kind = m_Random.Below(3);
      space = kind == 0 && !space;
      switch (space ? 0 : kind == 0 ? 2 : kind) {
        case 0:
          s = Space();
          m_Text += s;
          Add(list, L"#t\"" + Wide(s) + L"\"");
          break;
        case 1:
          s = " " + Word() + m_NewLine + Word();
          m_Text += "<!--" + s + " -->";
          Add(list, L"#c\"" + Wide(s) + L" \"");
          break;
        default:
          s = "t" + (m_Random.OneIn(2) ? " " + Word() : "");
          m_Text += "<?" + s + "?>";
          Add(list, L"#p\"" + Wide(s) + L"\"");
      }
    }
  }
  // A text run: characters, references, line ends; with what it reads as.
  void Run(std::string& text, std::wstring& read) {
    for (uint32_t n = 1 + m_Random.Below(4); n > 0; --n) {
      switch (m_Random.Below(6)) {
        case 0:
          text += "&amp;", read += L"&";
          break;
        case 1:
          text += "&#x41;", read += L"A";
          break;
        case 2:
          if (m_Entity) {
            text += "&e;", read += L"ent";
            break;
          }
          [[fallthrough]];
        case 3:
          text += m_NewLine, read += L"\n";
          break;
        default: {
          const std::string s = m_Random.OneIn(3) ? Space() : Word();
          text += s, read += Wide(s);
        }
      }
    }
  }
  std::wstring Element(int depth) {
    const std::string name = "e" + std::to_string(depth);
    std::wstring dump = Wide(name);
    m_Text += "<" + name;
    for (uint32_t i = 0, n = m_Random.Below(3); i < n; ++i) {
      // Either quote, the other one inside; a reference read as its character.
      const bool single = m_Random.OneIn(2);
      const std::string inner = single ? "\"" : "'";
      const std::string quote = single ? "'" : "\"";
      const bool amp = m_Random.OneIn(3);
      m_Text.append(" k").append(std::to_string(i)).append("=").append(quote).append("v");
      m_Text.append(inner).append(amp ? "&amp;" : "").append(std::to_string(i)).append(quote);
      dump += (i ? L"|k" : L"[k") + std::to_wstring(i) + L"=v" + Wide(inner) + (amp ? L"&" : L"") +
              std::to_wstring(i);
      if (i + 1 == n) dump += L"]";
    }
    if (m_Random.OneIn(6)) {
      m_Text += "/>";
      return dump;
    }
    m_Text += ">";
    std::vector<std::wstring> items;  // child nodes as dumped; text runs merged
    std::wstring run;
    bool nodes = false;
    auto endRun = [&] {
      if (!run.empty()) items.push_back(L"#t\"" + run + L"\"");
      run.clear();
    };
    for (uint32_t n = m_Random.Below(depth < 4 ? 6 : 3); n > 0; --n) {
      std::string s;
      switch (m_Random.Below(depth < 4 ? 6 : 5)) {
        case 0:
        case 1:
          Run(m_Text, run);
          break;
        case 2:
          s = Word() + m_NewLine;
          m_Text += "<!--" + s + "-->";
          endRun(), items.push_back(L"#c\"" + Wide(s) + L"\""), nodes = true;
          break;
        case 3:
          s = "pi" + (m_Random.OneIn(2) ? m_NewLine + Word() : "");
          m_Text += "<?" + s + "?>";
          endRun(), items.push_back(L"#p\"" + Wide(s) + L"\""), nodes = true;
          break;
        case 4:
          s = Word() + "<&>" + m_NewLine;
          m_Text += "<![CDATA[" + s + "]]>";
          endRun(), items.push_back(L"#d\"" + Wide(s) + L"\""), nodes = true;
          break;
        default:
          endRun();
          items.push_back(Element(depth + 1));
          nodes = true;
      }
    }
    m_Text += "</" + name + ">";
    if (!nodes) return dump + L"\"" + run + L"\"";
    endRun();
    for (size_t i = 0; i < items.size(); ++i) dump += (i ? L" " : L"{") + items[i];
    return dump + L"}";
  }

  CWTestRandom m_Random;
  std::string m_NewLine;
  bool m_Entity = false;
  std::string m_Text;
  std::wstring m_Expected;
};
