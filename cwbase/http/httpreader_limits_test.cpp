// CWHttpResponseReader: limits and hostile input, pipelined and interim
// responses on one stream, and the calling contract (results after the end,
// bad arguments, how long pointers live).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "cwbase/http/httpreader.h"
#include "testing/httpread.h"

namespace {

const std::string kOk = "HTTP/1.1 200 OK\r\n";

CWTestHttpResult ReadOne(const std::string& input, const CWHttpLimits& limits, bool finish,
                         size_t step = 0) {
  CWHttpResponseReader reader;
  reader.SetLimits(limits);
  return CWTestReadStream(reader, input, CWTestCutsEvery(input.size(), step), {}, finish)[0];
}

CWHttpLimits Limits(long headerBytes, int headerCount, long bodyBytes) {
  CWHttpLimits limits;
  limits.headerBytes = headerBytes;
  limits.headerCount = headerCount;
  limits.bodyBytes = bodyBytes;
  return limits;
}

struct LimitCase {
  const char* name;
  std::string input;
  CWHttpLimits limits;
  int code;  // 0: the response must be read
  long offset;
};

TEST(CWHttpResponseReader, LimitsRefuseWithCodeAndOffset) {
  const std::string chunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";  // 47 bytes
  const LimitCase cases[] = {
      {"header section at the limit", kOk + "A: 12\r\n\r\n", Limits(26, 10, 0), 0, 0},
      {"header section one byte over", kOk + "A: 12\r\n\r\n", Limits(25, 10, 0),
       CWHTTP_ERROR_HEADER_TOO_LARGE, 25},
      {"leading empty lines count", "\r\n\r\n" + kOk + "\r\n", Limits(20, 10, 0),
       CWHTTP_ERROR_HEADER_TOO_LARGE, 20},
      {"a line without an end", kOk + std::string(100, 'a'), Limits(64, 10, 0),
       CWHTTP_ERROR_HEADER_TOO_LARGE, 64},
      {"header count at the limit", kOk + "A: 1\r\nB: 2\r\n\r\n", Limits(1000, 2, 0), 0, 0},
      {"header count over", kOk + "A: 1\r\nB: 2\r\nC: 3\r\n\r\n", Limits(1000, 2, 0),
       CWHTTP_ERROR_TOO_MANY_HEADERS, 29},
      {"folding adds no field", kOk + "A: 1\r\n 2\r\nB: 2\r\n\r\n", Limits(1000, 2, 0), 0, 0},
      {"trailer count over", chunked + "0\r\nT: 1\r\nU: 2\r\n\r\n", Limits(1000, 1, 0),
       CWHTTP_ERROR_TOO_MANY_HEADERS, 56},
      {"trailer section over", chunked + "0\r\nT: " + std::string(50, 't') + "\r\n\r\n",
       Limits(48, 10, 0), CWHTTP_ERROR_HEADER_TOO_LARGE, 98},
      {"chunk line over", chunked + "1;" + std::string(60, 'e') + "\r\nx\r\n0\r\n\r\n",
       Limits(47, 10, 0), CWHTTP_ERROR_CHUNK_SIZE, 94},
      {"body at the limit", kOk + "Content-Length: 4\r\n\r\nabcd", Limits(1000, 10, 4), 0, 0},
      {"Content-Length over the body limit", kOk + "Content-Length: 5\r\n\r\nabcde",
       Limits(1000, 10, 4), CWHTTP_ERROR_BODY_TOO_LARGE, 17},
      {"chunks over the body limit", chunked + "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n",
       Limits(1000, 10, 4), CWHTTP_ERROR_BODY_TOO_LARGE, 55},
      {"close-delimited body over the limit", kOk + "\r\nabcdef", Limits(1000, 10, 4),
       CWHTTP_ERROR_BODY_TOO_LARGE, 23},
  };
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t step : {size_t{0}, size_t{1}, size_t{3}}) {
      const CWTestHttpResult r = ReadOne(c.input, c.limits, true, step);
      if (c.code == 0) {
        EXPECT_EQ(r.result, 0) << r.Describe();
      } else {
        EXPECT_EQ(r.result, -1) << r.Describe();
        EXPECT_EQ(r.errorCode, c.code) << r.Describe();
        EXPECT_EQ(r.errorOffset, c.offset) << r.Describe();
      }
    }
  }
}

// The defaults refuse hostile input early and in bounded memory: a header
// section that never ends, a field flood, a chunk size meant to make the
// reader allocate, a claimed length far beyond what arrives.
TEST(CWHttpResponseReader, HostileInputUnderDefaultLimits) {
  const CWHttpLimits defaults;
  EXPECT_EQ(defaults.headerBytes, 1L << 20);
  EXPECT_EQ(defaults.headerCount, 1000);
  EXPECT_EQ(defaults.bodyBytes, 0);

  CWHttpResponseReader reader;
  const std::string endless = kOk + "X: " + std::string((1 << 20) + 100, 'v');
  EXPECT_EQ(reader.Feed(endless.data(), static_cast<long>(endless.size()), nullptr), -1);
  EXPECT_EQ(reader.GetLastError().code, CWHTTP_ERROR_HEADER_TOO_LARGE);
  EXPECT_EQ(reader.GetLastError().offset, 1L << 20);

  std::string flood = kOk;
  for (int i = 0; i < 1001; ++i) flood += "F: " + std::to_string(i) + "\r\n";
  reader.Reset();
  EXPECT_EQ(reader.Feed(flood.data(), static_cast<long>(flood.size()), nullptr), -1);
  EXPECT_EQ(reader.GetLastError().code, CWHTTP_ERROR_TOO_MANY_HEADERS);

  // Sizes that are valid but huge only wait for data; nothing is reserved
  // beyond a modest amount.
  const std::string huge = kOk + "Transfer-Encoding: chunked\r\n\r\n7fffffffffffffff\r\nab";
  reader.Reset();
  EXPECT_EQ(reader.Feed(huge.data(), static_cast<long>(huge.size()), nullptr), 1);
  EXPECT_EQ(reader.GetBodyLength(), 2);
  EXPECT_EQ(reader.Finish(), -1);
  EXPECT_EQ(reader.GetLastError().code, CWHTTP_ERROR_TRUNCATED);

  const std::string claim = kOk + "Content-Length: 9223372036854775807\r\n\r\nab";
  reader.Reset();
  EXPECT_EQ(reader.Feed(claim.data(), static_cast<long>(claim.size()), nullptr), 1);
  EXPECT_EQ(reader.GetContentLength(), LONG_MAX);
  EXPECT_EQ(reader.GetBodyLength(), 2);
}

// A body over the limit keeps the bytes up to it, however the input came.
TEST(CWHttpResponseReader, BodyOverTheLimitKeepsTheBytesUpToIt) {
  for (size_t step : {size_t{0}, size_t{1}, size_t{2}}) {
    const CWTestHttpResult r = ReadOne(kOk + "\r\nabcdef", Limits(1000, 10, 4), false, step);
    EXPECT_EQ(r.errorCode, CWHTTP_ERROR_BODY_TOO_LARGE);
    EXPECT_EQ(r.body, "abcd") << step;
  }
}

TEST(CWHttpResponseReader, SetLimitsTakesDefaultsForValuesOutOfRange) {
  CWHttpResponseReader reader;
  reader.SetLimits(Limits(0, -1, -5));
  EXPECT_EQ(reader.GetLimits().headerBytes, CWHttpLimits().headerBytes);
  EXPECT_EQ(reader.GetLimits().headerCount, CWHttpLimits().headerCount);
  EXPECT_EQ(reader.GetLimits().bodyBytes, 0);
  reader.SetLimits(Limits(10, 2, 3));
  reader.Reset(true);
  EXPECT_EQ(reader.GetLimits().headerBytes, 10);  // kept across Reset
}

// Pipelined responses and an interim one on one stream: each response ends
// where its framing says, whatever the pieces.
TEST(CWHttpResponseReader, PipelinedAndInterimResponsesOnOneStream) {
  const std::string stream = "HTTP/1.1 100 Continue\r\n\r\n" + kOk +
                             "Content-Length: 3\r\n\r\nabc" +
                             "HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\n2\nde\n0\n\n" +
                             "HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n" +  //
                             kOk + "Content-Length: 50\r\n\r\n" +  // answers HEAD
                             "HTTP/1.0 200 OK\r\n\r\nto the end";
  const std::vector<bool> heads = {false, false, false, false, true, false};
  CWHttpResponseReader reader;
  const std::vector<CWTestHttpResult> whole = CWTestReadStream(reader, stream, {}, heads, true);
  ASSERT_EQ(whole.size(), 6u);
  const int statuses[] = {100, 200, 200, 304, 200, 200};
  const char* bodies[] = {"", "abc", "de", "", "", "to the end"};
  for (size_t i = 0; i < whole.size(); ++i) {
    EXPECT_EQ(whole[i].result, 0) << i;
    EXPECT_EQ(whole[i].status, statuses[i]) << i;
    EXPECT_EQ(whole[i].body, bodies[i]) << i;
  }
  EXPECT_TRUE(whole[4].keepAlive);
  EXPECT_FALSE(whole[5].keepAlive);
  long total = 0;
  for (const CWTestHttpResult& r : whole) total += r.used;
  EXPECT_EQ(total, static_cast<long>(stream.size()));

  CWTestRandom random(20);
  for (int round = 0; round < 20; ++round) {
    const std::vector<size_t> cuts = CWTestRandomCuts(random, stream.size(), 1 + round);
    EXPECT_EQ(CWTestReadStream(reader, stream, cuts, heads, true), whole) << round;
  }
}

TEST(CWHttpResponseReader, ResultsAfterTheEndAndBadArguments) {
  CWHttpResponseReader reader;
  const std::string text = kOk + "Content-Length: 1\r\n\r\nxNEXT";
  long used = -1;
  ASSERT_EQ(reader.Feed(text.data(), static_cast<long>(text.size()), &used), 0);
  EXPECT_EQ(used, static_cast<long>(text.size()) - 4);
  EXPECT_TRUE(reader.IsComplete());
  // Complete: further input is not taken until Reset; Finish agrees.
  EXPECT_EQ(reader.Feed("more", 4, &used), 0);
  EXPECT_EQ(used, 0);
  EXPECT_EQ(reader.Finish(), 0);
  EXPECT_EQ(reader.GetBody(), std::string("x"));

  reader.Reset();
  EXPECT_EQ(reader.Feed(nullptr, 0, &used), 1);  // nothing is fine
  EXPECT_EQ(used, 0);
  EXPECT_EQ(reader.Feed(nullptr, 3, &used), -1);
  EXPECT_EQ(reader.GetLastError().code, CWHTTP_ERROR_ARGUMENT);
  EXPECT_STRNE(reader.GetLastError().message, "");
  EXPECT_EQ(reader.Feed("HTTP", 4, &used), -1);  // failed stays failed
  EXPECT_EQ(used, 0);
  EXPECT_EQ(reader.Finish(), -1);
  reader.Reset();
  EXPECT_EQ(reader.Feed("x", -1, nullptr), -1);
  EXPECT_EQ(reader.GetLastError().code, CWHTTP_ERROR_ARGUMENT);
  reader.Reset();
  EXPECT_EQ(reader.GetLastError().code, CWHTTP_ERROR_NONE);
  EXPECT_EQ(reader.GetStatus(), 0);
  EXPECT_STREQ(reader.GetReason(), "");
  EXPECT_EQ(reader.GetFraming(), CWHTTP_FRAMING_UNKNOWN);
  EXPECT_EQ(reader.GetHeaderAt(0), nullptr);
  EXPECT_EQ(reader.GetHeaderValue(nullptr), nullptr);
}

// Header pointers taken once the header section is read stay valid while
// the body arrives, and lookups ignore case and take the first field.
TEST(CWHttpResponseReader, FieldsStayPutWhileTheBodyArrives) {
  CWHttpResponseReader reader;
  const std::string head = kOk + "Set-Cookie: a\r\nset-cookie: b\r\nContent-Length: 100000\r\n\r\n";
  ASSERT_EQ(reader.Feed(head.data(), static_cast<long>(head.size()), nullptr), 1);
  const SWHttpHeader* first = reader.GetHeaderAt(0);
  const char* value = reader.GetHeaderValue("SET-COOKIE");
  EXPECT_STREQ(value, "a");
  EXPECT_EQ(reader.GetHeaderAt(-1), nullptr);
  EXPECT_EQ(reader.GetHeaderAt(3), nullptr);
  const std::string piece(1000, 'b');
  int r = 1;
  for (int i = 0; i < 100 && r == 1; ++i) r = reader.Feed(piece.data(), 1000, nullptr);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(reader.GetHeaderAt(0), first);
  EXPECT_STREQ(first->name, "Set-Cookie");
  EXPECT_EQ(reader.GetHeaderValue("set-cookie"), value);
  EXPECT_EQ(reader.GetBodyLength(), 100000);
  EXPECT_EQ(reader.GetBody()[100000], '\0');
}

}  // namespace
