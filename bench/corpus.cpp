#include "corpus.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include <utf8.h>

namespace {
std::string g_dir = ".";
}

void SetCorpusDir(const std::string& dir) {
  g_dir = dir;
}

const std::string& CorpusFile(const std::string& name) {
  static std::map<std::string, std::string> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  std::string path = g_dir + "/" + name;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  if (!(in && data << in.rdbuf())) {
    std::fprintf(stderr, "cwbase_bench: %s: cannot read (run gen_corpus first)\n", path.c_str());
    std::exit(1);
  }
  return cache[name] = data.str();
}

const std::vector<std::string>& HttpResponses() {
  static std::vector<std::string> responses = [] {
    std::vector<std::string> out;
    const std::string& all = CorpusFile("http.bin");
    size_t pos = 0;
    while (pos < all.size()) {
      size_t nl = all.find('\n', pos);
      size_t len = std::strtoul(all.c_str() + pos, nullptr, 10);
      if (nl == std::string::npos || nl + 1 + len > all.size()) {
        std::fprintf(stderr, "cwbase_bench: http.bin: bad framing at %zu\n", pos);
        std::exit(1);
      }
      out.push_back(all.substr(nl + 1, len));
      pos = nl + 1 + len;
    }
    return out;
  }();
  return responses;
}

std::wstring DecodeUtf8(const std::string& text) {
  std::wstring out;
  utf8::utf8to32(text.begin(), text.end(), std::back_inserter(out));
  return out;
}
