// Test aid: scopes that change a piece of process state for one test and put
// it back when they end. Tests run one at a time in one process, so nothing
// here is thread-safe; never use them inside the thread tests' workers.
#pragma once

#include <string>

// Sets LC_ALL to `name` and restores the previous locale. Ok() is false when
// the locale is not installed; the locale is then left as it was.
class CWTestLocale {
 public:
  explicit CWTestLocale(const char* name);
  ~CWTestLocale();
  CWTestLocale(const CWTestLocale&) = delete;
  CWTestLocale& operator=(const CWTestLocale&) = delete;

  bool Ok() const { return m_Ok; }

 private:
  std::string m_Saved;
  bool m_Ok;
};

// Sets TZ to `zone` (and calls tzset) and restores the previous value, or
// removes TZ again when it was not set.
class CWTestTimeZone {
 public:
  explicit CWTestTimeZone(const char* zone);
  ~CWTestTimeZone();
  CWTestTimeZone(const CWTestTimeZone&) = delete;
  CWTestTimeZone& operator=(const CWTestTimeZone&) = delete;

 private:
  std::string m_Saved;
  bool m_Had;
};
