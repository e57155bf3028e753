// Test aid: a fresh temporary directory, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

class CWTestDir {
 public:
  CWTestDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cwbase-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data())) m_Path = name.data();
  }
  ~CWTestDir() {
    std::error_code ignored;
    if (!m_Path.empty()) std::filesystem::remove_all(m_Path, ignored);
  }
  CWTestDir(const CWTestDir&) = delete;
  CWTestDir& operator=(const CWTestDir&) = delete;

  bool Ok() const { return !m_Path.empty(); }
  const std::string& Path() const { return m_Path; }
  std::string Path(const std::string& name) const { return m_Path + "/" + name; }
  std::wstring WPath(const std::string& name) const {
    std::string p = Path(name);
    return std::wstring(p.begin(), p.end());  // the directory name is ASCII
  }

 private:
  std::string m_Path;
};
