// UTF-8 <-> wide conversion: cwbase's converters against iconv, utfcpp and
// glibc's mbstowcs/wcstombs (locale C.UTF-8), with a plain widening loop and
// memcpy as the limits. Cases utf8-to-wide-* and wide-to-utf8-* count the
// input bytes (UTF-8 bytes, or 4 bytes per wide unit). Every implementation
// writes into a buffer allocated once outside the timed loop, except the
// make_* functions, whose result is allocated by design.
#include <benchmark/benchmark.h>

#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <utf8.h>

#include "corpus.h"
#include "cwbase/text/encoding.h"

namespace {

struct Text {
  std::string utf8;   // zero-terminated by std::string
  std::wstring wide;  // the same text as code points
};

const Text& GetText(const std::string& kind) {
  static Text ascii, mixed;
  Text& t = kind == "ascii" ? ascii : mixed;
  if (t.utf8.empty()) {
    t.utf8 = CorpusFile("utf8-" + kind + ".txt");
    t.wide = DecodeUtf8(t.utf8);
  }
  return t;
}

// Converts once before timing and refuses to time an implementation whose
// output differs from the reference.
template <typename Out>
bool Verified(benchmark::State& state, const Out* got, size_t n, const Out* want, size_t wantN) {
  if (n == wantN && std::memcmp(got, want, n * sizeof(Out)) == 0) return true;
  state.SkipWithError("output differs from the reference conversion");
  return false;
}

using ToWide = size_t (*)(const Text&, wchar_t* out);
using ToUtf8 = size_t (*)(const Text&, char* out);

// Limit only: the same bytes widened one to one, not decoded.
__attribute__((noinline)) void WidenBytes(wchar_t* out, const unsigned char* in, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = in[i];
}

size_t IconvRun(iconv_t cd, const char* in, size_t inBytes, char* out, size_t outBytes) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in);
  char* dst = out;
  size_t left = outBytes;
  if (iconv(cd, &src, &inBytes, &dst, &left) == size_t(-1)) return 0;
  return outBytes - left;
}

const struct {
  const char* impl;
  ToWide fn;
  bool exact;
} kToWide[] = {
    {"cwbase",
     [](const Text& t, wchar_t* o) -> size_t {
       return size_t(
           Utf8toWStr(o, int(t.utf8.size()), const_cast<char*>(t.utf8.data()), int(t.utf8.size())));
     },
     true},
    {"cwbase-MultiByteToWideChar",
     [](const Text& t, wchar_t* o) -> size_t {
       return size_t(MultiByteToWideChar(0, 0, t.utf8.c_str(), int(t.utf8.size()), o,
                                         int(t.utf8.size() + 1)));
     },
     true},
    {"iconv",
     [](const Text& t, wchar_t* o) -> size_t {
       static iconv_t cd = iconv_open("WCHAR_T", "UTF-8");
       return IconvRun(cd, t.utf8.data(), t.utf8.size(), reinterpret_cast<char*>(o),
                       (t.utf8.size() + 1) * sizeof(wchar_t)) /
              sizeof(wchar_t);
     },
     true},
    {"utfcpp",
     [](const Text& t, wchar_t* o) -> size_t {
       return size_t(utf8::utf8to32(t.utf8.begin(), t.utf8.end(), o) - o);
     },
     true},
    {"utfcpp-unchecked",
     [](const Text& t, wchar_t* o) -> size_t {
       return size_t(utf8::unchecked::utf8to32(t.utf8.begin(), t.utf8.end(), o) - o);
     },
     true},
    {"mbstowcs",
     [](const Text& t, wchar_t* o) -> size_t {
       return std::mbstowcs(o, t.utf8.c_str(), t.utf8.size() + 1);
     },
     true},
    {"widen-loop",
     [](const Text& t, wchar_t* o) -> size_t {
       WidenBytes(o, reinterpret_cast<const unsigned char*>(t.utf8.data()), t.utf8.size());
       return t.utf8.size();
     },
     false},
};

const struct {
  const char* impl;
  ToUtf8 fn;
  bool exact;
} kToUtf8[] = {
    {"cwbase",
     [](const Text& t, char* o) -> size_t {
       return size_t(WstrtoUtf8(o, int(4 * t.wide.size()), const_cast<wchar_t*>(t.wide.data()),
                                int(t.wide.size())));
     },
     true},
    // The Windows-style pair limits its output to one byte per character plus
    // one, so on mixed text it converts only a prefix; wcstombs-limited is
    // given the same limit, which makes the two do the same work.
    {"cwbase-WideCharToMultiByte",
     [](const Text& t, char* o) -> size_t {
       return size_t(WideCharToMultiByte(0, 0, t.wide.c_str(), int(t.wide.size()), o,
                                         int(4 * t.wide.size() + 1), nullptr, nullptr));
     },
     false},
    {"wcstombs-limited",
     [](const Text& t, char* o) -> size_t {
       return std::wcstombs(o, t.wide.c_str(), t.wide.size() + 1);
     },
     false},
    {"iconv",
     [](const Text& t, char* o) -> size_t {
       static iconv_t cd = iconv_open("UTF-8", "WCHAR_T");
       return IconvRun(cd, reinterpret_cast<const char*>(t.wide.data()),
                       t.wide.size() * sizeof(wchar_t), o, 4 * t.wide.size() + 1);
     },
     true},
    {"utfcpp",
     [](const Text& t, char* o) -> size_t {
       return size_t(utf8::utf32to8(t.wide.begin(), t.wide.end(), o) - o);
     },
     true},
    {"utfcpp-unchecked",
     [](const Text& t, char* o) -> size_t {
       return size_t(utf8::unchecked::utf32to8(t.wide.begin(), t.wide.end(), o) - o);
     },
     true},
    {"wcstombs",
     [](const Text& t, char* o) -> size_t {
       return std::wcstombs(o, t.wide.c_str(), 4 * t.wide.size() + 1);
     },
     true},
    {"memcpy",
     [](const Text& t, char* o) -> size_t {
       std::memcpy(o, t.wide.data(), t.wide.size() * sizeof(wchar_t));
       return t.wide.size();
     },
     false},
};

void RunToWide(benchmark::State& state, const std::string& kind, ToWide fn, bool exact) {
  const Text& t = GetText(kind);
  std::vector<wchar_t> out(t.utf8.size() + 1);
  size_t n = fn(t, out.data());
  if (exact && !Verified(state, out.data(), n, t.wide.data(), t.wide.size())) return;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn(t, out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(t.utf8.size()));
}

void RunToUtf8(benchmark::State& state, const std::string& kind, ToUtf8 fn, bool exact) {
  const Text& t = GetText(kind);
  std::vector<char> out(4 * t.wide.size() + 1);
  size_t n = fn(t, out.data());
  if (exact && !Verified(state, out.data(), n, t.utf8.data(), t.utf8.size())) return;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn(t, out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(t.wide.size() * sizeof(wchar_t)));
}

// make_unicode_string / make_utf8_string allocate their result by design: the
// timed loop converts and frees.
void RunMakeUnicode(benchmark::State& state, const std::string& kind) {
  const Text& t = GetText(kind);
  auto make = [&] {
    return make_unicode_string(reinterpret_cast<const unsigned char*>(t.utf8.c_str()));
  };
  wchar_t* r = make();
  bool ok = r && t.wide == r;
  std::free(r);
  if (!ok) return state.SkipWithError("output differs from the reference conversion");
  for (auto _ : state) {
    r = make();
    benchmark::DoNotOptimize(r);
    std::free(r);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(t.utf8.size()));
}

void RunMakeUtf8(benchmark::State& state, const std::string& kind) {
  const Text& t = GetText(kind);
  unsigned char* r = make_utf8_string(t.wide.c_str());
  bool ok = r && t.utf8 == reinterpret_cast<char*>(r);
  std::free(r);
  if (!ok) return state.SkipWithError("output differs from the reference conversion");
  for (auto _ : state) {
    r = make_utf8_string(t.wide.c_str());
    benchmark::DoNotOptimize(r);
    std::free(r);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(t.wide.size() * sizeof(wchar_t)));
}

}  // namespace

void RegisterUtf8Benchmarks() {
  for (std::string kind : {"ascii", "mixed"}) {
    for (const auto& c : kToWide)
      benchmark::RegisterBenchmark(("utf8-to-wide-" + kind + "/" + c.impl).c_str(), RunToWide, kind,
                                   c.fn, c.exact)
          ->Unit(benchmark::kMillisecond);
    for (const auto& c : kToUtf8)
      benchmark::RegisterBenchmark(("wide-to-utf8-" + kind + "/" + c.impl).c_str(), RunToUtf8, kind,
                                   c.fn, c.exact)
          ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("utf8-to-wide-" + kind + "/cwbase-make_unicode_string").c_str(),
                                 RunMakeUnicode, kind)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("wide-to-utf8-" + kind + "/cwbase-make_utf8_string").c_str(),
                                 RunMakeUtf8, kind)
        ->Unit(benchmark::kMillisecond);
  }
}
