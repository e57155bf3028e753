// CWHttpResponseReader against the reading rules: tables of valid responses
// (status line, fields, folding, framing, keep-alive) and of malformed ones
// with their error code and offset. Every row is read whole, byte by byte, in
// fixed and in random pieces, and must give the same result every time.
#include "cwbase/http/httpreader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "testing/httpread.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

// Reads `input` as one response (and what follows it) in every way the tests
// split input, checks that all agree and returns the whole-input reading.
std::vector<CWTestHttpResult> ReadEveryWay(const std::string& input, bool head, bool finish,
                                           const CWHttpLimits& limits = CWHttpLimits()) {
  CWHttpResponseReader reader;
  reader.SetLimits(limits);
  const std::vector<bool> heads(8, head);
  std::vector<CWTestHttpResult> whole = CWTestReadStream(reader, input, {}, heads, finish);
  std::vector<std::vector<size_t>> splits = {CWTestCutsEvery(input.size(), 1),
                                             CWTestCutsEvery(input.size(), 7)};
  CWTestRandom random(input.size());
  for (int i = 0; i < 4; ++i) splits.push_back(CWTestRandomCuts(random, input.size(), 5));
  for (const std::vector<size_t>& cuts : splits) {
    CWHttpResponseReader fresh;
    fresh.SetLimits(limits);
    const std::vector<CWTestHttpResult> split = CWTestReadStream(fresh, input, cuts, heads, finish);
    EXPECT_EQ(split.size(), whole.size()) << CWTestPrintable(input);
    for (size_t i = 0; i < split.size() && i < whole.size(); ++i)
      EXPECT_EQ(split[i], whole[i]) << CWTestPrintable(input) << "\nsplit:\n"
                                    << split[i].Describe() << "whole:\n"
                                    << whole[i].Describe();
  }
  return whole;
}

struct Valid {
  const char* name;
  std::string input;
  bool head;    // the response answers HEAD
  bool finish;  // the connection closes after the input
  int status;
  const char* reason;
  Fields headers;
  std::string body;
  int framing;
  bool keepAlive;
  long used;  // bytes the response takes; -1: all of the input
  Fields trailers;
};

const std::string kOk = "HTTP/1.1 200 OK\r\n";

const Valid kValid[] = {
    {"content length",
     kOk + "Content-Length: 5\r\n\r\nhello",
     false,
     false,
     200,
     "OK",
     {{"Content-Length", "5"}},
     "hello",
     CWHTTP_FRAMING_LENGTH,
     true,
     -1,
     {}},
    {"LF-only line ends",
     "HTTP/1.1 200 OK\nA: b\nContent-Length: 3\n\nxyz",
     false,
     false,
     200,
     "OK",
     {{"A", "b"}, {"Content-Length", "3"}},
     "xyz",
     CWHTTP_FRAMING_LENGTH,
     true,
     -1,
     {}},
    {"leading empty lines",
     "\r\n\n\r\nHTTP/1.1 204 No Content\r\n\r\n",
     false,
     false,
     204,
     "No Content",
     {},
     "",
     CWHTTP_FRAMING_NONE,
     true,
     -1,
     {}},
    {"values trimmed",
     kOk + "A:   v  w \t\r\nB:\r\nC:x\r\nContent-Length: 0\r\n\r\n",
     false,
     false,
     200,
     "OK",
     {{"A", "v  w"}, {"B", ""}, {"C", "x"}, {"Content-Length", "0"}},
     "",
     CWHTTP_FRAMING_NONE,
     true,
     -1,
     {}},
    {"obsolete folding",
     kOk + "A: one\r\n  two \r\n\tthree\r\nB:\r\n b\r\nC: c\r\n \r\n\r\n",
     false,
     true,
     200,
     "OK",
     {{"A", "one two three"}, {"B", "b"}, {"C", "c"}},
     "",
     CWHTTP_FRAMING_CLOSE,
     false,
     -1,
     {}},
    {"token characters",
     kOk + "x!#$%&'*+-.^_`|~09AZaz: 1\r\nContent-Length: 0\r\n\r\n",
     false,
     false,
     200,
     "OK",
     {{"x!#$%&'*+-.^_`|~09AZaz", "1"}, {"Content-Length", "0"}},
     "",
     CWHTTP_FRAMING_NONE,
     true,
     -1,
     {}},
    {"bytes above 127 and controls in values",
     kOk + "A: \xc3\xa9\x01\x7f\r\n\r\n",
     false,
     true,
     200,
     "OK",
     {{"A", "\xc3\xa9\x01\x7f"}},
     "",
     CWHTTP_FRAMING_CLOSE,
     false,
     -1,
     {}},
    {"chunked, extensions, trailers",
     kOk + "Transfer-Encoding: chunked\r\n\r\n5;a=b\r\nhello\r\n6 ; x=\"y\"\r\n world\r\n"
           "0;last\r\nT: v\r\nU:  w \r\n\r\n",
     false,
     false,
     200,
     "OK",
     {{"Transfer-Encoding", "chunked"}},
     "hello world",
     CWHTTP_FRAMING_CHUNKED,
     true,
     -1,
     {{"T", "v"}, {"U", "w"}}},
    {"chunked, LF-only, hex sizes",
     kOk + "Transfer-Encoding: chunked\n\nA\n0123456789\n0000b\nabcdefghijk\n0\n\n",
     false,
     false,
     200,
     "OK",
     {{"Transfer-Encoding", "chunked"}},
     "0123456789abcdefghijk",
     CWHTTP_FRAMING_CHUNKED,
     true,
     -1,
     {}},
    {"chunked as the last of several codings",
     kOk + "Transfer-Encoding: gzip\r\nTransfer-Encoding: CHUNKED\r\n\r\n1\r\nz\r\n0\r\n\r\n",
     false,
     false,
     200,
     "OK",
     {{"Transfer-Encoding", "gzip"}, {"Transfer-Encoding", "CHUNKED"}},
     "z",
     CWHTTP_FRAMING_CHUNKED,
     true,
     -1,
     {}},
    {"a coding after chunked: until the close",
     kOk + "Transfer-Encoding: chunked, gzip\r\n\r\n1\r\nz\r\n0\r\n\r\n",
     false,
     true,
     200,
     "OK",
     {{"Transfer-Encoding", "chunked, gzip"}},
     "1\r\nz\r\n0\r\n\r\n",
     CWHTTP_FRAMING_CLOSE,
     false,
     -1,
     {}},
    {"equal Content-Length values",
     kOk + "Content-Length: 3, 3\r\nContent-Length: 3\r\n\r\nabc",
     false,
     false,
     200,
     "OK",
     {{"Content-Length", "3, 3"}, {"Content-Length", "3"}},
     "abc",
     CWHTTP_FRAMING_LENGTH,
     true,
     -1,
     {}},
    {"bytes after Content-Length belong to the next response",
     kOk + "Content-Length: 2\r\n\r\nabHTTP/1.1",
     false,
     false,
     200,
     "OK",
     {{"Content-Length", "2"}},
     "ab",
     CWHTTP_FRAMING_LENGTH,
     true,
     40,
     {}},
    {"100 is a whole response",
     "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n",
     false,
     false,
     100,
     "Continue",
     {},
     "",
     CWHTTP_FRAMING_NONE,
     true,
     25,
     {}},
    {"101: the rest is not HTTP",
     "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n\x81",
     false,
     false,
     101,
     "Switching Protocols",
     {{"Upgrade", "websocket"}, {"Connection", "Upgrade"}},
     "",
     CWHTTP_FRAMING_NONE,
     false,
     77,
     {}},
    {"204 has no body",
     "HTTP/1.1 204 No Content\r\nContent-Length: 4\r\n\r\nnext",
     false,
     false,
     204,
     "No Content",
     {{"Content-Length", "4"}},
     "",
     CWHTTP_FRAMING_NONE,
     true,
     46,
     {}},
    {"304 has no body",
     "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n",
     false,
     false,
     304,
     "Not Modified",
     {{"Transfer-Encoding", "chunked"}},
     "",
     CWHTTP_FRAMING_NONE,
     true,
     57,
     {}},
    {"HEAD has no body",
     kOk + "Content-Length: 10\r\n\r\nHTTP",
     true,
     false,
     200,
     "OK",
     {{"Content-Length", "10"}},
     "",
     CWHTTP_FRAMING_NONE,
     true,
     39,
     {}},
    {"until the close",
     kOk + "Server: x\r\n\r\nall\r\nof it",
     false,
     true,
     200,
     "OK",
     {{"Server", "x"}},
     "all\r\nof it",
     CWHTTP_FRAMING_CLOSE,
     false,
     -1,
     {}},
    {"HTTP/1.0 closes",
     "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx",
     false,
     false,
     200,
     "OK",
     {{"Content-Length", "1"}},
     "x",
     CWHTTP_FRAMING_LENGTH,
     false,
     -1,
     {}},
    {"HTTP/1.0 keep-alive",
     "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 1\r\n\r\nx",
     false,
     false,
     200,
     "OK",
     {{"Connection", "Keep-Alive"}, {"Content-Length", "1"}},
     "x",
     CWHTTP_FRAMING_LENGTH,
     true,
     -1,
     {}},
    {"HTTP/1.0 with Transfer-Encoding closes",
     "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
     false,
     false,
     200,
     "OK",
     {{"Connection", "keep-alive"}, {"Transfer-Encoding", "chunked"}},
     "",
     CWHTTP_FRAMING_CHUNKED,
     false,
     -1,
     {}},
    {"Connection: close",
     kOk + "Connection: upgrade, CLOSE\r\nContent-Length: 0\r\n\r\n",
     false,
     false,
     200,
     "OK",
     {{"Connection", "upgrade, CLOSE"}, {"Content-Length", "0"}},
     "",
     CWHTTP_FRAMING_NONE,
     false,
     -1,
     {}},
};

TEST(CWHttpResponseReader, ValidResponsesInEverySplit) {
  for (const Valid& row : kValid) {
    SCOPED_TRACE(row.name);
    const std::vector<CWTestHttpResult> got = ReadEveryWay(row.input, row.head, row.finish);
    ASSERT_FALSE(got.empty());
    const CWTestHttpResult& r = got[0];
    EXPECT_EQ(r.result, 0) << r.Describe();
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.reason, row.reason);
    EXPECT_EQ(r.headers, row.headers);
    EXPECT_EQ(r.trailers, row.trailers);
    EXPECT_EQ(r.body, row.body);
    EXPECT_EQ(r.framing, row.framing);
    EXPECT_EQ(r.keepAlive, row.keepAlive);
    EXPECT_EQ(r.used, row.used < 0 ? static_cast<long>(row.input.size()) : row.used);
  }
}

// Status lines, each followed by "Content-Length: 0" and the empty line: the
// code and the reason exactly as they stand, the reason possibly empty.
struct StatusLine {
  const char* name;
  const char* line;
  int status;
  const char* reason;
};

const StatusLine kStatusLines[] = {
    {"no reason", "HTTP/1.1 200\r\n", 200, ""},
    {"empty reason", "HTTP/1.1 404 \r\n", 404, ""},
    {"reason with spaces", "HTTP/1.1 500 Internal  Error \r\n", 500, "Internal  Error "},
    {"code above 599", "HTTP/1.1 999 X\r\n", 999, "X"},
};

TEST(CWHttpResponseReader, StatusLinesInEverySplit) {
  for (const StatusLine& row : kStatusLines) {
    SCOPED_TRACE(row.name);
    const std::string input = std::string(row.line) + "Content-Length: 0\r\n\r\n";
    const std::vector<CWTestHttpResult> got = ReadEveryWay(input, false, false);
    ASSERT_FALSE(got.empty());
    const CWTestHttpResult& r = got[0];
    EXPECT_EQ(r.result, 0) << r.Describe();
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.reason, row.reason);
    EXPECT_EQ(r.headers, (Fields{{"Content-Length", "0"}}));
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(r.framing, CWHTTP_FRAMING_NONE);
    EXPECT_TRUE(r.keepAlive);
    EXPECT_EQ(r.used, static_cast<long>(input.size()));
  }
}

struct Malformed {
  const char* name;
  std::string input;
  int code;
  long offset;
  bool finish;
};

const std::string kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";  // 47 bytes

const Malformed kMalformed[] = {
    {"version 2", "HTTP/2.0 200 OK\r\n\r\n", CWHTTP_ERROR_STATUS_LINE, 5, false},
    {"not HTTP", "ICY 200 OK\r\n\r\n", CWHTTP_ERROR_STATUS_LINE, 0, false},
    {"lower-case protocol", "http/1.1 200 OK\r\n", CWHTTP_ERROR_STATUS_LINE, 0, false},
    {"two-digit code", "HTTP/1.1 20 OK\r\n", CWHTTP_ERROR_STATUS_LINE, 11, false},
    {"four-digit code", "HTTP/1.1 2000 OK\r\n", CWHTTP_ERROR_STATUS_LINE, 12, false},
    {"code below 100", "HTTP/1.1 099 X\r\n", CWHTTP_ERROR_STATUS_LINE, 9, false},
    {"two spaces", "HTTP/1.1  200 OK\r\n", CWHTTP_ERROR_STATUS_LINE, 9, false},
    {"cut status line", "HTTP/1.1\r\n", CWHTTP_ERROR_STATUS_LINE, 8, false},
    {"lone CR in the status line", "HTTP/1.1 200 OK\rX", CWHTTP_ERROR_LINE_END, 15, false},
    {"NUL in the reason", std::string("HTTP/1.1 200 O\0K\r\n", 18), CWHTTP_ERROR_NUL, 14, false},
    {"space before the colon", kOk + "A : b\r\n", CWHTTP_ERROR_HEADER_NAME, 18, false},
    {"no colon", kOk + "NoColon\r\n\r\n", CWHTTP_ERROR_HEADER_NAME, 24, false},
    {"empty name", kOk + ": v\r\n", CWHTTP_ERROR_HEADER_NAME, 17, false},
    {"separator in the name", kOk + "Bad(name): v\r\n", CWHTTP_ERROR_HEADER_NAME, 20, false},
    {"folded line first", kOk + " A: b\r\n\r\n", CWHTTP_ERROR_HEADER_NAME, 17, false},
    {"NUL in a value", kOk + std::string("A: b\0c\r\n", 8), CWHTTP_ERROR_NUL, 21, false},
    {"lone CR in a value", kOk + "A: b\rc\r\n", CWHTTP_ERROR_LINE_END, 21, false},
    {"lone CR ends the section", kOk + "A: b\r\n\r\r\n", CWHTTP_ERROR_LINE_END, 23, false},
    {"Content-Length not a number", kOk + "Content-Length: 5x\r\n\r\n", CWHTTP_ERROR_CONTENT_LENGTH,
     34, false},
    {"Content-Length negative", kOk + "Content-Length: -1\r\n\r\n", CWHTTP_ERROR_CONTENT_LENGTH, 33,
     false},
    {"Content-Length empty", kOk + "Content-Length: \r\n\r\n", CWHTTP_ERROR_CONTENT_LENGTH, 33,
     false},
    {"Content-Length list differs", kOk + "Content-Length: 5, 6\r\n\r\n",
     CWHTTP_ERROR_CONTENT_LENGTH, 36, false},
    {"Content-Length fields differ", kOk + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n",
     CWHTTP_ERROR_CONTENT_LENGTH, 52, false},
    {"Content-Length above LONG_MAX", kOk + "Content-Length: 9223372036854775808\r\n\r\n",
     CWHTTP_ERROR_CONTENT_LENGTH, 51, false},
    {"Content-Length on 204 still checked", "HTTP/1.1 204 No\r\nContent-Length: x\r\n\r\n",
     CWHTTP_ERROR_CONTENT_LENGTH, 33, false},
    {"Transfer-Encoding and Content-Length",
     kOk + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
     CWHTTP_ERROR_SMUGGLING, 36, false},
    {"Transfer-Encoding and Content-Length on 304",
     "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\nContent-Length: 0\r\n\r\n",
     CWHTTP_ERROR_SMUGGLING, 55, false},
    {"chunk size not hex", kChunked + "zz\r\n", CWHTTP_ERROR_CHUNK_SIZE, 47, false},
    {"chunk size followed by junk", kChunked + "5x\r\nhello\r\n", CWHTTP_ERROR_CHUNK_SIZE, 48,
     false},
    {"chunk size missing", kChunked + ";ext\r\n", CWHTTP_ERROR_CHUNK_SIZE, 47, false},
    {"chunk size overflow", kChunked + "8000000000000000\r\n", CWHTTP_ERROR_CHUNK_SIZE_OVERFLOW, 62,
     false},
    {"chunk sizes overflow together", kChunked + "1\r\nx\r\n7fffffffffffffff\r\n",
     CWHTTP_ERROR_CHUNK_SIZE_OVERFLOW, 53, false},
    {"chunk data too long", kChunked + "5\r\nhelloX\r\n", CWHTTP_ERROR_CHUNK_END, 55, false},
    {"lone CR after chunk data", kChunked + "5\r\nhello\rX", CWHTTP_ERROR_LINE_END, 55, false},
    {"NUL in a chunk extension", kChunked + std::string("5;a\0\r\n", 6), CWHTTP_ERROR_NUL, 50,
     false},
    {"bad trailer", kChunked + "0\r\nT v\r\n\r\n", CWHTTP_ERROR_HEADER_NAME, 51, false},
    {"closed in the header section", kOk + "A: b\r\n", CWHTTP_ERROR_TRUNCATED, 23, true},
    {"closed in a line", kOk + "A: b", CWHTTP_ERROR_TRUNCATED, 21, true},
    {"closed in a Content-Length body", kOk + "Content-Length: 5\r\n\r\nabc",
     CWHTTP_ERROR_TRUNCATED, 41, true},
    {"closed in a chunked body", kChunked + "5\r\nhello\r\n", CWHTTP_ERROR_TRUNCATED, 57, true},
    {"closed before the trailers end", kChunked + "0\r\n", CWHTTP_ERROR_TRUNCATED, 50, true},
    {"closed with nothing", "", CWHTTP_ERROR_TRUNCATED, 0, true},
    {"closed after empty lines", "\r\n\r\n", CWHTTP_ERROR_TRUNCATED, 4, true},
};

TEST(CWHttpResponseReader, MalformedResponsesGiveCodeAndOffsetInEverySplit) {
  for (const Malformed& row : kMalformed) {
    SCOPED_TRACE(row.name);
    const std::vector<CWTestHttpResult> got = ReadEveryWay(row.input, false, row.finish);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].result, -1) << got[0].Describe();
    EXPECT_EQ(got[0].errorCode, row.code) << got[0].Describe();
    EXPECT_EQ(got[0].errorOffset, row.offset) << got[0].Describe();
    EXPECT_FALSE(got[0].keepAlive);
  }
}

}  // namespace
