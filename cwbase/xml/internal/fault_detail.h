// The detail texts of the standard reader's faults: the names a fault is
// about, quoted into a sentence that fits CWXMLError::detail.
//
// Contract
// - Names are wide text [name, name + length) of XML characters; each is
//   written as UTF-8, cut at a character boundary after CWXML_DETAIL_NAME
//   bytes and then ended with "...", so every result is shorter than
//   CWXML_DETAIL_SIZE bytes.
// - The results are std::string; building one may throw std::bad_alloc.
// Threads: re-entrant.
#pragma once

#include <cstddef>
#include <string>

namespace cwbase_internal {

// "end tag </end> does not match the open element <open>".
std::string XmlMismatchDetail(const wchar_t* end, size_t endLength, const wchar_t* open,
                              size_t openLength);

// "attribute name repeated".
std::string XmlRepeatedDetail(const wchar_t* name, size_t length);

}  // namespace cwbase_internal
