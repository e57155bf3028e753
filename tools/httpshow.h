// What cwtool's http and get subcommands share: printing a response read by
// CWHttpResponseReader.
#pragma once

#include <string>

#include "cwbase/http/httpreader.h"

// The text with bytes outside printable ASCII (and backslashes) shown as
// \xNN, so a field that carries a control byte cannot garble the listing.
std::string CWToolPrintable(const char* text);

// Prints the status line, the header fields, a summary (framing, keep-alive,
// trailers, body length) when `summary` is set, and then an empty line and
// the body bytes as they are.
void CWToolShowResponse(const CWHttpResponseReader& reader, bool summary);
