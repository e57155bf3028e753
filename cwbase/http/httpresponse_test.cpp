#include "cwbase/http/httpresponse.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "testing/random.h"

namespace {

// Parses `text` from a block whose storage is exactly its length, so reading
// past the data is caught by AddressSanitizer.
int ParseText(CWHttpResponceBase& r, const std::string& text) {
  CWBlock block(const_cast<char*>(text.data()), text.size());
  return r.Parse(block);
}

// Everything a parser object exposes, for comparing two objects.
struct Snapshot {
  int code;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> headers;
  bool hasBody;
  std::string body;

  bool operator==(const Snapshot& o) const {
    return code == o.code && reason == o.reason && headers == o.headers && hasBody == o.hasBody &&
           body == o.body;
  }
};

Snapshot Take(CWHttpResponceBase& r) {
  Snapshot s{r.GetHttpResult(), r.GetReason(), {}, r.GetBody() != nullptr, {}};
  for (int i = 0; i < r.GetHeaderCount(); ++i)
    s.headers.emplace_back(r.GetHeaderAt(i)->name, r.GetHeaderAt(i)->value);
  if (r.GetBody()) s.body.assign(r.GetBody(), r.GetBodyLength());
  return s;
}

// Lets a test see the bounds of the parser's copy.
struct Exposed : CWHttpResponceBase {
  const char* Begin() { return static_cast<const char*>(m_Copy.GetBuffer()); }
  const char* End() { return Begin() + m_Copy.GetSize(); }
  // A zero-terminated string that starts and ends inside the copy.
  bool InCopy(const char* p) {
    return p >= Begin() && p < End() && std::memchr(p, 0, static_cast<size_t>(End() - p));
  }
};

std::string Body(CWHttpResponceBase& r) {
  return r.GetBody() ? std::string(r.GetBody(), r.GetBodyLength()) : std::string("<none>");
}

}  // namespace

TEST(CWHttpResponceBase, TypicalResponse) {
  CWHttpResponceBase r;
  EXPECT_EQ(r.GetHttpResult(), 400);
  EXPECT_STREQ(r.GetReason(), "Not Found");
  EXPECT_EQ(r.GetHeaderValue("Age"), nullptr);

  const std::string text = "HTTP/1.1 200 OK\r\nAge: 5\r\n\r\nhello";
  CWBlock input(const_cast<char*>(text.data()), text.size());
  ASSERT_EQ(r.Parse(input), 0);
  EXPECT_EQ(std::string(static_cast<char*>(input.GetBuffer()), input.GetSize()), text);
  EXPECT_EQ(r.GetHttpResult(), 200);
  EXPECT_STREQ(r.GetReason(), "OK");
  EXPECT_STREQ(r.GetHeaderValue("Age"), "5");
  EXPECT_EQ(r.GetHeaderValue("age"), nullptr);
  EXPECT_EQ(r.GetHeaderValue(nullptr), nullptr);
  ASSERT_EQ(r.GetHeaderCount(), 1);
  EXPECT_EQ(r.GetHeaderAt(1), nullptr);
  EXPECT_EQ(r.GetHeaderAt(-1), nullptr);
  EXPECT_EQ(r.GetBodyLength(), 5u);
  EXPECT_EQ(Body(r), "hello");
}

TEST(CWHttpResponceBase, StatusLines) {
  struct Case {
    const char* line;
    int result, code;
    const char* reason;
  } cases[] = {
      {"HTTP/1.1 500 Internal Server Error\r\n", 0, 500, "Internal Server Error"},
      {"HTTP/1.1 404 XY\r\n", 0, 404, "XY"},
      {"HTTP/1.1 404 X\r\n", -2, 400, "Not Found"},  // the code needs two bytes after it
      {"HTTP/1.1 200 \r\n", -2, 400, "Not Found"},
      {"HTTP/1.1 200   \r\n", 0, 200, "  "},
      {"HTTP/1.1 200\r\n", -2, 400, "Not Found"},
      {"HTTP/1.1\r\n", -2, 400, "Not Found"},
      {"HTTP/1.1  200 OK\r\n", -2, 400, "Not Found"},
      {"HTTP/1.1 abc OK\r\n", 0, 0, "OK"},
      {"HTTP/1.1 -7 Odd\r\n", 0, -7, "Odd"},
      {"ICY 200 OK\r\n", 0, 200, "OK"},
      {" 200 OK\r\n", 0, 200, "OK"},  // no protocol token
      {" 200 X\r\n", 0, 200, "X"},    // one byte after the code suffices then
      {" 200 \r\n", -2, 400, "Not Found"},
      {"  200 OK\r\n", 0, 0, "200 OK"},
      {"HTTP/1.1 200 OK", -2, 400, "Not Found"},  // unterminated
      {"HTTP/1.1 200 OK\n", -2, 400, "Not Found"},
      {"HTTP/1.1 200 OK\rX\r\n", -2, 400, "Not Found"},
      {"\r\nHTTP/1.1 200 OK\r\n", -2, 400, "Not Found"},
  };
  for (const Case& c : cases) {
    CWHttpResponceBase r;
    EXPECT_EQ(ParseText(r, c.line), c.result) << c.line;
    EXPECT_EQ(r.GetHttpResult(), c.code) << c.line;
    EXPECT_STREQ(r.GetReason(), c.reason) << c.line;
  }
  // A zero byte inside the code ends its number.
  CWHttpResponceBase r;
  EXPECT_EQ(ParseText(r, std::string("HTTP/1.1 2\0000 OK\r\n", 17)), 0);
  EXPECT_EQ(r.GetHttpResult(), 2);
  EXPECT_STREQ(r.GetReason(), "OK");
}

TEST(CWHttpResponceBase, HeaderLines) {
  const std::string text =
      "HTTP/1.1 200 OK\r\n"
      "Name:value\r\n"
      "Empty:\r\n"
      "One:x\r\n"
      "Spaced : v\r\n"
      "Two:  two\r\n"
      "Host: a:b\r\n"
      "X: 1\r\n"
      "x: 2\r\n"
      "X: 3\r\n"
      "no colon here\r\n"
      ": leading colon\r\n"
      "Lf: 1\nGlued: 2\r\n"
      ":\r\n"
      "Last: unterminated";
  CWHttpResponceBase r;
  ASSERT_EQ(ParseText(r, text), 0);
  std::vector<std::pair<std::string, std::string>> want = {
      {"Name", "alue"}, {"Empty", ""}, {"One", ""}, {"Spaced ", "v"}, {"Two", " two"},
      {"Host", "a:b"},  {"X", "1"},    {"x", "2"},  {"X", "3"},       {"Lf", "1\nGlued: 2"}};
  EXPECT_EQ(Take(r).headers, want);
  EXPECT_STREQ(r.GetHeaderValue("X"), "1");  // the first of several, case-sensitive
  EXPECT_STREQ(r.GetHeaderValue("x"), "2");
  EXPECT_EQ(r.GetHeaderValue("Spaced"), nullptr);
  EXPECT_EQ(r.GetHeaderValue("Last"), nullptr);
  EXPECT_EQ(r.GetHeaderValue("Glued"), nullptr);
  EXPECT_EQ(r.GetHeaderValue(""), nullptr);
}

TEST(CWHttpResponceBase, LineEnds) {
  struct Case {
    std::string text;
    int result;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
  } cases[] = {
      {"HTTP/1.1 200 OK\nAge: 5\n\nhello", -2, {}, "<none>"},
      // A lone CR skips the byte after it; here that leaves ": 2" (not a header).
      {"HTTP/1.1 200 OK\r\nA: 1\rB: 2\r\nC: 3\r\n\r\nbody", 0, {{"C", "3"}}, "body"},
      {"HTTP/1.1 200 OK\r\nA: 1\r", 0, {}, "<none>"},
      {"HTTP/1.1 200 OK\r\nA: 1\r\nB: 2", 0, {{"A", "1"}}, "<none>"},
      {"HTTP/1.1 200 OK\r\n\rX\r\nbody", 0, {}, "body"},
      {"HTTP/1.1 200 OK\r\nA: 1\r\n\r\n\r", 0, {{"A", "1"}}, "\r"},
      {"HTTP/1.1 200 OK\r\nA: 1\r\n\r", 0, {{"A", "1"}}, "<none>"},
      {"\r\nA: 1\r\n\r\nbody", -2, {}, "body"},  // first byte zeroed: no records
      {std::string("\0TTP/1.1 200 OK\r\nA: 1\r\n\r\n", 25), 0, {}, "<none>"},
      {"junk\r\nA: 1\r\n\r\nbody", -2, {{"A", "1"}}, "body"},
  };
  for (const Case& c : cases) {
    CWHttpResponceBase r;
    EXPECT_EQ(ParseText(r, c.text), c.result) << c.text;
    EXPECT_EQ(Take(r).headers, c.headers) << c.text;
    EXPECT_EQ(Body(r), c.body) << c.text;
  }
}

TEST(CWHttpResponceBase, BodyPointerAndLength) {
  // The body is everything after the first empty line, byte for byte.
  const std::string body("a\r\n\r\nb\0c\r", 9);
  const std::string text = "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n" + body;
  Exposed r;
  ASSERT_EQ(ParseText(r, text), 0);
  EXPECT_EQ(r.GetBody() - r.Begin(), static_cast<long>(text.size() - body.size()));
  EXPECT_EQ(Body(r), body);

  // No header lines: the empty line right after the status line ends them.
  ASSERT_EQ(ParseText(r, "HTTP/1.1 204 No Content\r\n\r\nX: 1\r\n"), 0);
  EXPECT_EQ(r.GetHeaderCount(), 0);
  EXPECT_EQ(Body(r), "X: 1\r\n");

  // An empty line with nothing after it: no body.
  ASSERT_EQ(ParseText(r, "HTTP/1.1 200 OK\r\nA: 1\r\n\r\n"), 0);
  EXPECT_EQ(r.GetBody(), nullptr);
  EXPECT_EQ(r.GetBodyLength(), 0u);
}

TEST(CWHttpResponceBase, EmptyInputVersusNoStatusLine) {
  CWHttpResponceBase r;
  CWBlock none;
  EXPECT_EQ(r.Parse(none), -1);
  CWBlock zeroLength;
  zeroLength.SetSize(16);
  zeroLength.SetSize(0);
  ASSERT_NE(zeroLength.GetBuffer(), nullptr);
  EXPECT_EQ(r.Parse(zeroLength), -1);
  CWHttpResponceBase fresh;
  EXPECT_TRUE(Take(r) == Take(fresh));

  // -1 changes nothing, not even the result of an earlier Parse.
  ASSERT_EQ(ParseText(r, "HTTP/1.1 201 Created\r\nA: 1\r\n\r\nz"), 0);
  Snapshot before = Take(r);
  EXPECT_EQ(r.Parse(none), -1);
  EXPECT_TRUE(Take(r) == before);

  // -2 still finds headers and a body, and resets the code and reason.
  EXPECT_EQ(ParseText(r, "HTTP/1.1 201\r\nA: 1\r\n\r\nz"), -2);
  EXPECT_EQ(r.GetHttpResult(), 400);
  EXPECT_STREQ(r.GetReason(), "Not Found");
  EXPECT_STREQ(r.GetHeaderValue("A"), "1");
  EXPECT_EQ(Body(r), "z");
}

TEST(CWHttpResponceBase, SecondParseYieldsWhatAFreshObjectWould) {
  const std::string texts[] = {
      "HTTP/1.1 200 OK\r\nServer: s\r\nAge: 5\r\n\r\nhello",
      "junk",
      "HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n",
      "HTTP/1.0 500 Internal Server Error\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n\r\n" +
          std::string(300, 'b'),
      "HTTP/1.1 404 X\r\n",
  };
  for (const std::string& first : texts) {
    for (const std::string& second : texts) {
      CWHttpResponceBase reused, fresh;
      ParseText(reused, first);
      int a = ParseText(reused, second);
      int b = ParseText(fresh, second);
      EXPECT_EQ(a, b);
      EXPECT_TRUE(Take(reused) == Take(fresh)) << first << " then " << second;
    }
  }
}

// Random responses over the bytes that matter to the parser, from blocks of
// exactly their length: every string handed out must start and end inside the
// copy, the body must run to its end, and reuse must not change results.
TEST(CWHttpResponceBase, SurvivesArbitraryInput) {
  const char alphabet[] = {'\r', '\n', ' ', ':', 'A', '2', '\0', 'x'};
  CWTestRandom rng(12345);
  CWHttpResponceBase reused;
  for (int round = 0; round < 20000; ++round) {
    std::string text(rng.Below(40), '\0');
    for (char& ch : text) ch = rng.Pick(alphabet);
    if (round % 3 == 0) text.insert(0, "HTTP/1.1 200 OK\r\n");
    Exposed r;
    int result = ParseText(r, text);
    ASSERT_EQ(result, text.empty() ? -1 : result == 0 ? 0 : -2);
    if (result == 0) {
      ASSERT_TRUE(r.InCopy(r.GetReason()));
    }
    for (int i = 0; i < r.GetHeaderCount(); ++i) {
      ASSERT_TRUE(r.InCopy(r.GetHeaderAt(i)->name));
      ASSERT_TRUE(r.InCopy(r.GetHeaderAt(i)->value));
    }
    if (r.GetBody()) {
      ASSERT_TRUE(r.GetBody() > r.Begin() && r.GetBody() < r.End());
      ASSERT_EQ(r.GetBody() + r.GetBodyLength(), r.End());
    }
    ParseText(reused, text);
    if (!text.empty()) {
      ASSERT_TRUE(Take(reused) == Take(r)) << round;
    }
  }
}

TEST(CWHttpResponceBase, SampleResponse) {
  std::ifstream in(std::string(CWBASE_SAMPLES_DIR) + "/response.http", std::ios::binary);
  ASSERT_TRUE(in);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_NE(text.find("\r\n\r\n"), std::string::npos) << "the sample lost its CR LF line ends";
  CWHttpResponceBase r;
  ASSERT_EQ(ParseText(r, text), 0);
  EXPECT_EQ(r.GetHttpResult(), 200);
  EXPECT_STREQ(r.GetReason(), "OK");
  EXPECT_GE(r.GetHeaderCount(), 4);
  ASSERT_NE(r.GetHeaderValue("Content-Length"), nullptr);
  EXPECT_EQ(std::strtoul(r.GetHeaderValue("Content-Length"), nullptr, 10), r.GetBodyLength());
}
