// The reference reading of an HTTP response: what CWHttpResponceBase::Parse
// yields for a run of bytes, worked out on a private copy one line at a time
// by the parsing rules themselves (find the CR, cut, look for spaces and
// colons), with no bit maps and no batching. Private to the HTTP subsystem;
// the differential tests and the fuzzer compare the parser with it.
//
// Contract
// - ReferenceHttpParse(data, size) returns what a parser object holds after
//   Parse of a block whose storage is `data` and whose length is `size`,
//   including the choices described in httpresponse.h: a fresh result for
//   every Parse past the input checks, and an empty line right after the
//   status line ending the header section. A null `data` or a zero `size`
//   gives the -1 result and the initial state.
// - Every pointer the parser hands out is given as an offset into the copy;
//   m_Copy holds the copy's data bytes after the parse has cut it (zero bytes
//   written over line ends and separators).
// - Storage matters (capacities, bytes beyond the length, the header list
//   refusing to grow) are not modelled.
// Threads: re-entrant.
#pragma once

#include <string>
#include <vector>

namespace cwbase_internal {

// An offset that stands for a null pointer, or for the initial reason text,
// which lies outside the copy.
constexpr long kReferenceNone = -1;

struct ReferenceHttpHeader {
  long m_Name;   // offset of the zero-terminated name
  long m_Value;  // offset of the zero-terminated value
};

struct ReferenceHttpResponse {
  int m_Result = -1;                           // what Parse returns
  int m_Code = 400;                            // GetHttpResult
  long m_Reason = kReferenceNone;              // kReferenceNone: the initial "Not Found"
  std::vector<ReferenceHttpHeader> m_Headers;  // in line order
  long m_Body = kReferenceNone;                // kReferenceNone: no body
  unsigned long m_BodyLength = 0;
  std::string m_Copy;  // the copy's data after the cuts
};

ReferenceHttpResponse ReferenceHttpParse(const char* data, unsigned long size);

}  // namespace cwbase_internal
