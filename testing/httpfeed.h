// Test aid, header-only and free of GoogleTest so that the fuzz targets can
// use it too: feeds one response of a stream to CWHttpResponseReader in
// pieces.
//
// CWTestFeedPieces feeds `stream` from `*pos` in pieces that end at the
// ascending offsets `cuts` (and at the end of the stream) until the reader
// completes the response, fails, or the stream is used up. `*cut` is the
// index of the first cut after `*pos`; keep it, like `*pos`, from one
// response of the stream to the next. Each piece is a copy of exactly its
// bytes, so a read past it shows under ASan. `*pos` advances by the bytes
// each Feed used (none on a failure); `check(result, used, pieceSize)` sees
// every Feed. Returns the last Feed's result, 1 when the stream ended first.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cwbase/http/httpreader.h"

template <typename Check>
int CWTestFeedPieces(CWHttpResponseReader& reader, const std::string& stream,
                     const std::vector<size_t>& cuts, size_t* pos, size_t* cut, Check check) {
  int r = 1;
  while (r == 1 && *pos < stream.size()) {
    while (*cut < cuts.size() && cuts[*cut] <= *pos) ++*cut;
    const size_t end = *cut < cuts.size() ? cuts[*cut] : stream.size();
    const std::string piece = stream.substr(*pos, end - *pos);
    long used = -1;
    r = reader.Feed(piece.data(), static_cast<long>(piece.size()), &used);
    check(r, used, piece.size());
    if (r == -1) break;
    *pos += static_cast<size_t>(used);
  }
  return r;
}
