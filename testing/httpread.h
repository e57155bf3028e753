// Test aid: reads a stream of HTTP responses with CWHttpResponseReader fed in
// pieces, and records what the reader gave for each response in a form tests
// compare and print.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "cwbase/http/httpreader.h"
#include "testing/random.h"

// One response as the reader gave it.
struct CWTestHttpResult {
  int result = 1;  // 0 complete, 1 more input needed, -1 failed
  long used = 0;   // bytes of the stream this response took; -1 after a failure
  int status = 0;
  int minor = -1;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<std::pair<std::string, std::string>> trailers;
  std::string body;
  int framing = 0;
  long contentLength = -1;
  bool keepAlive = false;
  int errorCode = 0;
  long errorOffset = 0;

  bool operator==(const CWTestHttpResult& o) const;
  bool operator!=(const CWTestHttpResult& o) const { return !(*this == o); }
  // Everything on a few lines, bytes outside printable ASCII as \xNN.
  std::string Describe() const;
};

// Lets GoogleTest print a result readably.
void PrintTo(const CWTestHttpResult& result, std::ostream* out);

// What the reader holds now, as a result whose `result` and `used` are given.
CWTestHttpResult CWTestTakeResult(const CWHttpResponseReader& reader, int result, long used);

// Reads the responses of `stream` one after the other with `reader`, calling
// Reset(heads[i]) before response i (false beyond the list). The stream is
// fed in pieces cut at the ascending offsets `cuts`; a response that ends
// inside a piece hands the rest of it to the next one. With `finish`,
// Finish is called when the stream is used up in the middle of a response.
// Stops after a failure or at the end of the stream.
std::vector<CWTestHttpResult> CWTestReadStream(CWHttpResponseReader& reader,
                                               const std::string& stream,
                                               const std::vector<size_t>& cuts,
                                               const std::vector<bool>& heads, bool finish);

// Cut points: none (whole), after every byte, after every `step` bytes, and
// at random places (about one cut per `mean` bytes).
std::vector<size_t> CWTestCutsEvery(size_t size, size_t step);
std::vector<size_t> CWTestRandomCuts(CWTestRandom& random, size_t size, unsigned mean);

// Prints text with bytes outside printable ASCII (and backslashes) as \xNN.
std::string CWTestPrintable(const std::string& text);
