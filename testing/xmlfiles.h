// The XML files a machine happens to have, for the differential tests that
// read them beside generated documents (header only). Which files there are
// varies from machine to machine: a test over them must judge each file on
// its own, never by a share of them.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

// Every regular *.xml file under /usr/share below 64 MiB; none when the
// folder cannot be read.
inline std::vector<std::filesystem::path> XmlSystemFiles() {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  const auto options = std::filesystem::directory_options::skip_permission_denied;
  for (std::filesystem::recursive_directory_iterator it("/usr/share", options, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == ".xml" && it->is_regular_file(ec) &&
        it->file_size(ec) < (64 << 20))
      files.push_back(it->path());
  }
  return files;
}

// The bytes of a file; empty when it cannot be read.
inline std::string XmlFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
