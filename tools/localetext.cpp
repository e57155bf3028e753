// Conversions between the current locale's multibyte text and wide text for
// cwtool's arguments and output, and the scoped locale switch.
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "cwbase/text/encoding.h"
#include "tools/command.h"

bool CWToolToWide(const std::string& text, std::vector<wchar_t>& out) {
  int n = MultiByteToWideChar(0, 0, text.c_str(), -1, nullptr, 0);
  if (n < 0) return false;
  out.assign(static_cast<size_t>(n) + 1, 0);
  return MultiByteToWideChar(0, 0, text.c_str(), -1, out.data(), n + 1) == n;
}

bool CWToolToBytes(const wchar_t* text, std::string& out) {
  // WideCharToMultiByte caps its output at one byte per character, so the
  // standard converter gives the whole text.
  size_t n = std::wcstombs(nullptr, text, 0);
  if (n == static_cast<size_t>(-1)) return false;
  out.assign(n + 1, '\0');
  std::wcstombs(&out[0], text, n + 1);
  out.resize(n);
  return true;
}

CWToolLocaleScope::CWToolLocaleScope(const char* name) {
  if (!name) return;
  const char* current = std::setlocale(LC_ALL, nullptr);
  m_Saved = current ? current : "C";
  m_Switched = std::setlocale(LC_ALL, name) != nullptr;
}

CWToolLocaleScope::~CWToolLocaleScope() {
  if (m_Switched) std::setlocale(LC_ALL, m_Saved.c_str());
}
