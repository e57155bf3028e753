// Independent HTTP parsers on several threads at once.
#include <gtest/gtest.h>

#include <string>

#include "cwbase/http/httpresponse.h"
#include "testing/threads.h"

namespace {

std::string ParseWork(unsigned salt) {
  std::string d;
  CWHttpResponceBase reused;
  for (unsigned round = 0; round < 200; ++round) {
    unsigned k = salt * 1000 + round;
    std::string text = "HTTP/1.1 " + std::to_string(200 + k % 300) + " Reason " +
                       std::to_string(k) + "\r\nContent-Length: " + std::to_string(k % 97) +
                       "\r\nX-Salt: " + std::to_string(salt) + "\r\n\r\nbody" + std::to_string(k);
    CWBlock block(&text[0], text.size());
    CWHttpResponceBase fresh;
    CWHttpResponceBase& parser = round % 2 ? reused : fresh;
    int result = parser.Parse(block);  // before any accessor: + does not order its operands
    const char* length = parser.GetHeaderValue("Content-Length");
    const char* saltValue = parser.GetHeaderValue("X-Salt");
    d += std::to_string(result) + ":" + std::to_string(parser.GetHttpResult()) + ":" +
         parser.GetReason() + ":" + (length ? length : "-") + ":" + (saltValue ? saltValue : "-") +
         ":" + std::string(parser.GetBody(), parser.GetBodyLength()) + ";";
  }
  return d;
}

TEST(Threads, IndependentHttpParsers) {
  ExpectSameOnThreads(ParseWork);
}

}  // namespace
