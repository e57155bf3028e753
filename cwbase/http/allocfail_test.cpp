// Allocation failure while the parser copies a response: std::bad_alloc
// reaches the caller and the earlier result is untouched (see
// core/addresslimit_test.h for how the failure is made real).
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "cwbase/http/httpresponse.h"
#include "testing/addresslimit.h"

namespace {

TEST(AllocationFailure, HttpCopyFailureChangesNothing) {
  std::string text = "HTTP/1.1 301 Moved\r\nLocation: /x\r\n\r\nbody";
  CWBlock small(&text[0], text.size());
  std::string huge = "HTTP/1.1 200 OK\r\n\r\n" + std::string(32u << 20, 'b');
  CWBlock big(&huge[0], huge.size());
  CWRunWithAddressLimit([&] {
    CWHttpResponceBase parser;
    CW_TEST_CHILD_CHECK(parser.Parse(small) == 0);
    bool threw = false;
    try {
      parser.Parse(big);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    CW_TEST_CHILD_CHECK(threw);
    CW_TEST_CHILD_CHECK(parser.GetHttpResult() == 301 &&
                        std::strcmp(parser.GetReason(), "Moved") == 0);
    CW_TEST_CHILD_CHECK(std::strcmp(parser.GetHeaderValue("Location"), "/x") == 0);
    CW_TEST_CHILD_CHECK(parser.GetBodyLength() == 4 &&
                        std::memcmp(parser.GetBody(), "body", 4) == 0);
  });
}

// A header list that cannot grow keeps the leading run of header lines; the
// rest of the header section is still scanned for the body.
TEST(AllocationFailure, HttpHeaderListThatCannotGrow) {
  std::string few = "HTTP/1.1 200 OK\r\nA0: 0\r\n\r\n";
  std::string many = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; i < 200; ++i) many += "H" + std::to_string(i) + ": " + std::to_string(i) + "\r\n";
  many += "\r\nbody";
  few += std::string(many.size() - few.size(), 'b');  // same length: the copy fits
  CWBlock fewBlock(&few[0], few.size()), manyBlock(&many[0], many.size());
  CWRunWithAddressLimit([&] {
    CWHttpResponceBase parser;
    CW_TEST_CHILD_CHECK(parser.Parse(fewBlock) == 0 && parser.GetHeaderCount() == 1);
    CWTestExhaustMemory();
    CW_TEST_CHILD_CHECK(parser.Parse(manyBlock) == 0);
    int stored = parser.GetHeaderCount();
    CW_TEST_CHILD_CHECK(stored < 200);
    for (int i = 0; i < stored; ++i)
      CW_TEST_CHILD_CHECK(
          std::strcmp(parser.GetHeaderAt(i)->name, ("H" + std::to_string(i)).c_str()) == 0);
    CW_TEST_CHILD_CHECK(parser.GetHeaderValue("H199") == nullptr);
    CW_TEST_CHILD_CHECK(parser.GetBodyLength() == 4 &&
                        std::memcmp(parser.GetBody(), "body", 4) == 0);
  });
}

}  // namespace
