// The static English texts of the CWXML_ERROR_ codes, for the code that
// fills a CWXMLError outside a document (the standard writer).
//
// Contract
// - XmlErrorMessage never returns null; an unknown code has its own text.
// Threads: constant texts; re-entrant.
#pragma once

namespace cwbase_internal {

const char* XmlErrorMessage(int code);

}  // namespace cwbase_internal
