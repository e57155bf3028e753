// Writes the benchmark corpus into a directory. The output depends only on the
// fixed PRNG below, so every run and every machine measures the same bytes.
//
//   xml-records.xml  ~10 MB, many small elements with 2-5 attributes each
//   xml-text.xml     ~10 MB, chapters of long wrapped paragraphs
//   xml-deep.xml     ~10 MB, subtrees nested 20-50 levels deep
//   xml-text-intl.xml ~10 MB, text like xml-text.xml with ~1% non-ASCII characters
//                    (typographic punctuation, accented names, some CJK and emoji)
//   xml-text-mixed.xml ~10 MB, text like xml-text.xml in the four scripts of
//                    utf8-mixed.txt (about half the bytes non-ASCII)
//   xml-attrs.xml    ~10 MB, records of 6-12 short attributes each, few texts
//   http.bin         10000 HTTP/1.1 responses, each framed as "<length>\n<bytes>"
//   utf8-ascii.txt   8 MiB of ASCII text
//   utf8-mixed.txt   8 MiB of UTF-8 text, ~30% of the characters 2 or 3 bytes long
//
// The XML stays inside what the cwbase reader accepts: tab indentation, CR LF,
// double-quoted attribute values, no comments, entities or markup characters
// in text, no self-closing element named like one of its ancestors, no
// attribute named twice in one element. Non-ASCII text is UTF-8.
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

const size_t kXmlSize = 10u << 20;
const size_t kUtf8Size = 8u << 20;
const int kResponses = 10000;

class Rng {  // splitmix64
 public:
  explicit Rng(uint64_t s) : state_(s) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Range(int lo, int hi) { return lo + static_cast<int>(Next() % uint64_t(hi - lo + 1)); }
  bool Chance(int percent) { return Range(1, 100) <= percent; }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Next() % N];
  }

 private:
  uint64_t state_;
};

const char* const kWords[] = {"the",         "of",
                              "and",         "to",
                              "in",          "is",
                              "for",         "on",
                              "that",        "with",
                              "as",          "by",
                              "data",        "system",
                              "value",       "order",
                              "market",      "report",
                              "result",      "process",
                              "network",     "server",
                              "client",      "request",
                              "response",    "record",
                              "account",     "customer",
                              "product",     "service",
                              "quality",     "history",
                              "between",     "through",
                              "general",     "important",
                              "different",   "available",
                              "information", "development",
                              "management",  "international",
                              "performance", "configuration",
                              "north",       "river",
                              "window",      "garden",
                              "silver",      "morning",
                              "evening",     "weather",
                              "journey",     "simple"};

// Names and symbols of the international text, UTF-8 encoded.
const char* const kIntlNames[] = {
    "Jos\u00e9",           "M\u00fcller",    "Nu\u00f1ez",         "S\u00f8ren",    "Fran\u00e7ois",
    "Dvo\u0159\u00e1k",    "Ren\u00e9e",     "Zo\u00eb",           "G\u00f6teborg", "Z\u00fcrich",
    "Espa\u00f1a",         "K\u00f8benhavn", "fa\u00e7ade",        "caf\u00e9",     "na\u00efve",
    "r\u00e9sum\u00e9",    "Stra\u00dfe",    "\u00c5ngstr\u00f6m", "S\u00e3o",      "Bj\u00f6rk",
    "\u0141\u00f3d\u017a", "cr\u00e8me",     "Andr\u00e9",         "Fe\u0301lix"};
const char* const kIntlRare[] = {"\u6771\u4eac", "\u65e5\u672c\u8a9e", "\u5317",     "\u00bd",
                                 "\u20ac",       "\U0001F600",         "\U0001F680", "\u2713"};

// A word of the international text: mostly plain English, now and then an
// accented name, typographic quotes, an apostrophe, a dash, an ellipsis, and
// rarely a CJK word or an emoji. About 1 character in 100 is non-ASCII.
std::string IntlWord(Rng& r) {
  std::string w = r.Pick(kWords);
  int roll = r.Range(0, 999);
  if (roll < 21) return r.Pick(kIntlNames);
  if (roll < 31) return "\u201c" + w + "\u201d";
  if (roll < 43) return w + "\u2019s";
  if (roll < 49) return w + " \u2013";
  if (roll < 52) return w + "\u2014";
  if (roll < 54) return w + "\u2026";
  if (roll < 57) return r.Pick(kIntlRare);
  return w;
}

void AppendUtf8(std::string& s, unsigned cp) {
  if (cp < 0x80) {
    s += char(cp);
  } else if (cp < 0x800) {
    s += char(0xC0 | (cp >> 6));
    s += char(0x80 | (cp & 0x3F));
  } else {
    s += char(0xE0 | (cp >> 12));
    s += char(0x80 | ((cp >> 6) & 0x3F));
    s += char(0x80 | (cp & 0x3F));
  }
}

// A word of the script a roll of 0-99 picks: English (ASCII, below 45),
// accented Latin (below 60), Cyrillic (2 bytes, below 85) or a CJK run
// (3 bytes).
std::string ScriptWord(Rng& r, int script) {
  static const unsigned kAccents[] = {0xE9, 0xE8, 0xE0, 0xFC, 0xF6, 0xE4, 0xF1, 0xE7, 0xDF, 0x153};
  std::string w;
  if (script < 45) {
    w = r.Pick(kWords);
  } else if (script < 60) {
    for (char c : std::string(r.Pick(kWords))) {
      if (r.Chance(30))
        AppendUtf8(w, r.Pick(kAccents));
      else
        w += c;
    }
  } else if (script < 85) {
    for (int i = 0, n = r.Range(2, 9); i < n; ++i) AppendUtf8(w, unsigned(0x430 + r.Range(0, 31)));
  } else {
    for (int i = 0, n = r.Range(1, 4); i < n; ++i)
      AppendUtf8(w, unsigned(0x4E00 + r.Range(0, 0x4FFF)));
    if (r.Chance(20)) AppendUtf8(w, 0x3002);
  }
  return w;
}

// Where the words of the XML text come from: English, English with ~1 %
// non-ASCII characters (IntlWord) or the four scripts of ScriptWord.
enum class Vocabulary { kEnglish, kIntl, kMixed };

std::string Word(Rng& r, Vocabulary v) {
  switch (v) {
    case Vocabulary::kIntl:
      return IntlWord(r);
    case Vocabulary::kMixed:
      return ScriptWord(r, r.Range(0, 99));
    default:
      return r.Pick(kWords);
  }
}

std::string Words(Rng& r, int lo, int hi, Vocabulary v = Vocabulary::kEnglish) {
  std::string s;
  for (int i = 0, n = r.Range(lo, hi); i < n; ++i) {
    if (i) s += ' ';
    s += Word(r, v);
  }
  return s;
}

std::string Ident(Rng& r) {
  std::string s;
  for (int i = 0, n = r.Range(2, 4); i < n; ++i) s += char('A' + r.Range(0, 25));
  return s + '-' + std::to_string(r.Range(100, 99999));
}

void Indent(std::string& out, int depth) {
  out.append(size_t(depth), '\t');
}

// One start tag with 2-5 attributes drawn from a data-record vocabulary.
std::string RecordAttrs(Rng& r, long id) {
  std::string s = " id=\"" + std::to_string(id) + "\"";
  static const char* const kNames[] = {"sku", "price", "qty", "status", "name", "updated", "owner"};
  for (int i = 0, n = r.Range(1, 4); i < n; ++i) {
    std::string name = kNames[(id + i) % 7];
    std::string value;
    if (name == "price")
      value = std::to_string(r.Range(1, 9999)) + "." + std::to_string(r.Range(10, 99));
    else if (name == "qty")
      value = std::to_string(r.Range(0, 500));
    else if (name == "updated")
      value = "2024-0" + std::to_string(r.Range(1, 9)) + "-1" + std::to_string(r.Range(0, 9));
    else if (name == "name")
      value = Words(r, 1, 3);
    else
      value = Ident(r);
    s += " " + name + "=\"" + value + "\"";
  }
  return s;
}

std::string XmlRecords(Rng& r) {
  std::string out = "<?xml version=\"1.0\"?>\r\n<catalog version=\"3\" source=\"bench\">\r\n";
  long id = 0;
  while (out.size() < kXmlSize) {
    out += "\t<group id=\"g" + std::to_string(id) + "\" region=\"" + r.Pick(kWords) + "\">\r\n";
    for (int i = 0, n = r.Range(5, 40); i < n; ++i) {
      out += "\t\t<record" + RecordAttrs(r, ++id);
      if (r.Chance(20))
        out += ">" + Words(r, 1, 4) + "</record>\r\n";
      else
        out += "/>\r\n";
    }
    out += "\t</group>\r\n";
  }
  return out + "</catalog>\r\n";
}

// A paragraph wrapped at about 100 columns, continuation lines indented.
std::string Paragraph(Rng& r, int depth, Vocabulary v) {
  std::string s, line;
  for (int i = 0, n = r.Range(15, 250); i < n; ++i) {
    std::string w = Word(r, v);
    if (r.Chance(8)) w += r.Pick({",", ";", ":", ".", "!", "?"});
    if (line.size() + w.size() > 100) {
      s += line + "\r\n";
      s.append(size_t(depth + 1), '\t');
      line.clear();
    } else if (!line.empty()) {
      line += ' ';
    }
    line += w;
  }
  return s + line + ".";
}

// Chapters of paragraphs, their words from `v`.
std::string XmlText(Rng& r, Vocabulary v) {
  std::string out = "<?xml version=\"1.0\"?>\r\n<book title=\"Benchmark Stories\" lang=\"en\">\r\n";
  int chapter = 0;
  while (out.size() < kXmlSize) {
    out += "\t<chapter number=\"" + std::to_string(++chapter) + "\" title=\"" + Words(r, 2, 5, v) +
           "\">\r\n";
    out += "\t\t<title>" + Words(r, 2, 6, v) + "</title>\r\n";
    for (int i = 0, n = r.Range(10, 30); i < n; ++i) {
      if (r.Chance(15)) out += "\t\t<heading level=\"2\">" + Words(r, 2, 6, v) + "</heading>\r\n";
      out += "\t\t<para>" + Paragraph(r, 2, v) + "</para>\r\n";
    }
    out += "\t</chapter>\r\n";
  }
  return out + "</book>\r\n";
}

// Items of 6-12 attributes with short values (numbers, codes, flags), named
// from a rotating window of the vocabulary so that no name repeats; about one
// item in 30 has a short text.
std::string XmlAttrs(Rng& r) {
  static const char* const kNames[] = {"sku",  "qty",   "price", "unit",  "color", "size",
                                       "wt",   "bin",   "lot",   "state", "flag",  "rev",
                                       "zone", "shelf", "tax",   "code"};
  const size_t kCount = sizeof(kNames) / sizeof(kNames[0]);
  std::string out = "<?xml version=\"1.0\"?>\r\n<inventory site=\"bench\">\r\n";
  long id = 0;
  while (out.size() < kXmlSize) {
    out += "\t<batch id=\"b" + std::to_string(id) + "\" day=\"" + std::to_string(r.Range(1, 365)) +
           "\">\r\n";
    for (int i = 0, n = r.Range(10, 60); i < n; ++i) {
      out += "\t\t<item id=\"" + std::to_string(++id) + "\"";
      size_t first = r.Next() % kCount;
      for (int a = 0, more = r.Range(5, 11); a < more; ++a) {
        std::string value;
        switch (r.Range(0, 4)) {
          case 0:
            value = std::to_string(r.Range(0, 999));
            break;
          case 1:
            value = std::to_string(r.Range(0, 99)) + "." + std::to_string(r.Range(0, 9));
            break;
          case 2:
            value = r.Chance(50) ? "yes" : "no";
            break;
          case 3:
            value = std::string(1, char('A' + r.Range(0, 25))) + std::to_string(r.Range(0, 99));
            break;
          default:
            value = r.Pick(kWords);
            break;
        }
        out += std::string(" ") + kNames[(first + size_t(a)) % kCount] + "=\"" + value + "\"";
      }
      if (r.Chance(3))
        out += ">" + Words(r, 1, 3) + "</item>\r\n";
      else
        out += "/>\r\n";
    }
    out += "\t</batch>\r\n";
  }
  return out + "</inventory>\r\n";
}

long g_deepId = 0;

// An element "node" at depth d whose chain reaches down to depth target; now
// and then a level forks into two subtrees.
void DeepNode(Rng& r, std::string& out, int d, int target) {
  Indent(out, d);
  out += "<node id=\"n" + std::to_string(++g_deepId) + "\" kind=\"" + r.Pick(kWords) + "\">\r\n";
  for (int i = 0, n = r.Range(0, 2); i < n; ++i) {
    Indent(out, d + 1);
    out += "<leaf id=\"" + std::to_string(++g_deepId) + "\" size=\"" +
           std::to_string(r.Range(0, 99999)) + "\"/>\r\n";
  }
  if (d < target) {
    DeepNode(r, out, d + 1, target);
    if (r.Chance(6)) DeepNode(r, out, d + 1, target);
  }
  if (r.Chance(50)) {
    Indent(out, d + 1);
    out += "<text>" + Words(r, 1, 8) + "</text>\r\n";
  }
  Indent(out, d);
  out += "</node>\r\n";
}

std::string XmlDeep(Rng& r) {
  std::string out = "<?xml version=\"1.0\"?>\r\n<tree name=\"bench\">\r\n";
  while (out.size() < kXmlSize) DeepNode(r, out, 1, r.Range(20, 50));
  return out + "</tree>\r\n";
}

std::string HttpResponse(Rng& r) {
  struct Status {
    int code;
    const char* reason;
    int weight;
  };
  static const Status kStatus[] = {{200, "OK", 60},        {201, "Created", 4},
                                   {204, "No Content", 4}, {301, "Moved Permanently", 4},
                                   {302, "Found", 5},      {304, "Not Modified", 10},
                                   {404, "Not Found", 8},  {500, "Internal Server Error", 5}};
  int pick = r.Range(1, 100);
  const Status* st = kStatus;
  while (pick > st->weight) pick -= (st++)->weight;
  bool hasBody = st->code != 204 && st->code != 304;

  std::string body;
  if (hasBody) {
    if (r.Chance(50)) {
      body = "{\"id\":" + std::to_string(r.Range(1, 999999)) + ",\"items\":[";
      for (int i = 0, n = r.Range(0, 20); i < n; ++i)
        body += std::string(i ? "," : "") + "{\"name\":\"" + Words(r, 1, 3) +
                "\",\"n\":" + std::to_string(r.Range(0, 999)) + "}";
      body += "]}";
    } else {
      body = "<html><body><p>" + Words(r, 3, 120) + "</p></body></html>";
    }
  }

  static const char* const kOptional[] = {
      "Cache-Control: max-age=3600, public",
      "Vary: Accept-Encoding",
      "Accept-Ranges: bytes",
      "Connection: keep-alive",
      "X-Content-Type-Options: nosniff",
      "X-Frame-Options: SAMEORIGIN",
      "Strict-Transport-Security: max-age=31536000; includeSubDomains",
      "Access-Control-Allow-Origin: *",
      "Expires: Thu, 01 Dec 2024 16:00:00 GMT",
      "Last-Modified: Tue, 15 Nov 2024 12:45:26 GMT",
      "Via: 1.1 proxy.example.net",
      "Referrer-Policy: strict-origin-when-cross-origin",
      "X-Cache: HIT",
      "Pragma: no-cache",
      "Content-Language: en",
      "Alt-Svc: h2=\":443\"; ma=86400"};
  std::vector<std::string> headers = {
      "Date: Mon, 02 Dec 2024 10:" + std::to_string(r.Range(10, 59)) + ":" +
          std::to_string(r.Range(10, 59)) + " GMT",
      std::string("Server: ") +
          r.Pick({"nginx/1.22.1", "Apache/2.4.57 (Debian)", "cloudfront", "gws"})};
  if (hasBody) {
    headers.push_back(body[0] == '{' ? "Content-Type: application/json"
                                     : "Content-Type: text/html; charset=utf-8");
    headers.push_back("Content-Length: " + std::to_string(body.size()));
  } else {
    headers.push_back("ETag: \"" + Ident(r) + "\"");
  }
  if (st->code == 301 || st->code == 302)
    headers.push_back("Location: https://www.example.com/" + Ident(r));
  if (r.Chance(40))
    headers.push_back("Set-Cookie: session=" + Ident(r) + "; Path=/; HttpOnly; Secure");
  headers.push_back("X-Request-Id: " + Ident(r) + Ident(r));
  std::vector<const char*> optional(std::begin(kOptional), std::end(kOptional));
  for (size_t i = optional.size() - 1; i > 0; --i)
    std::swap(optional[i], optional[r.Next() % (i + 1)]);
  for (int i = 0, n = r.Range(5, 20) - int(headers.size()); i < n; ++i)
    headers.push_back(optional[size_t(i)]);

  std::string out = "HTTP/1.1 " + std::to_string(st->code) + " " + st->reason + "\r\n";
  for (const std::string& h : headers) out += h + "\r\n";
  return out + "\r\n" + body;
}

std::string Http(Rng& r) {
  std::string out;
  for (int i = 0; i < kResponses; ++i) {
    std::string resp = HttpResponse(r);
    out += std::to_string(resp.size()) + "\n" + resp;
  }
  return out;
}

// Prints how many of the UTF-8 text's characters take more than one byte.
void ReportNonAscii(const char* name, const std::string& text) {
  size_t chars = 0, multi = 0;
  for (unsigned char c : text) {
    chars += (c & 0xC0) != 0x80;
    multi += c >= 0xC0;
  }
  std::fprintf(stderr, "gen_corpus: %s: %zu characters, %.2f%% of them multibyte\n", name, chars,
               100.0 * double(multi) / double(chars));
}

// Words in four scripts (ScriptWord). With mixed=false only English words
// are written.
std::string Utf8Text(Rng& r, bool mixed) {
  std::string out;
  while (out.size() < kUtf8Size) {
    const std::string w = ScriptWord(r, mixed ? r.Range(0, 99) : 0);
    if (out.size() + w.size() + 1 > kUtf8Size) break;
    out += w;
    out += r.Chance(7) ? '\n' : ' ';
  }
  out.resize(kUtf8Size, ' ');
  ReportNonAscii(mixed ? "utf8-mixed" : "utf8-ascii", out);
  return out;
}

bool Write(const std::string& dir, const char* name, const std::string& data) {
  std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "gen_corpus: %s: cannot write\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_corpus DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  bool ok = true;
  {
    Rng r(1);
    ok &= Write(dir, "xml-records.xml", XmlRecords(r));
  }
  {
    Rng r(2);
    ok &= Write(dir, "xml-text.xml", XmlText(r, Vocabulary::kEnglish));
  }
  {
    Rng r(3);
    ok &= Write(dir, "xml-deep.xml", XmlDeep(r));
  }
  {
    Rng r(7);
    std::string text = XmlText(r, Vocabulary::kIntl);
    ReportNonAscii("xml-text-intl", text);
    ok &= Write(dir, "xml-text-intl.xml", text);
  }
  {
    Rng r(9);
    std::string text = XmlText(r, Vocabulary::kMixed);
    ReportNonAscii("xml-text-mixed", text);
    ok &= Write(dir, "xml-text-mixed.xml", text);
  }
  {
    Rng r(8);
    ok &= Write(dir, "xml-attrs.xml", XmlAttrs(r));
  }
  {
    Rng r(4);
    ok &= Write(dir, "http.bin", Http(r));
  }
  {
    Rng r(5);
    ok &= Write(dir, "utf8-ascii.txt", Utf8Text(r, false));
  }
  {
    Rng r(6);
    ok &= Write(dir, "utf8-mixed.txt", Utf8Text(r, true));
  }
  return ok ? 0 : 1;
}
