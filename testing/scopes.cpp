#include "testing/scopes.h"

#include <clocale>
#include <cstdlib>
#include <ctime>

CWTestLocale::CWTestLocale(const char* name) : m_Saved(std::setlocale(LC_ALL, nullptr)) {
  m_Ok = std::setlocale(LC_ALL, name) != nullptr;
}

CWTestLocale::~CWTestLocale() {
  std::setlocale(LC_ALL, m_Saved.c_str());
}

CWTestTimeZone::CWTestTimeZone(const char* zone) {
  const char* old = std::getenv("TZ");
  m_Had = old != nullptr;
  if (old) m_Saved = old;
  setenv("TZ", zone, 1);
  tzset();
}

CWTestTimeZone::~CWTestTimeZone() {
  if (m_Had)
    setenv("TZ", m_Saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}
