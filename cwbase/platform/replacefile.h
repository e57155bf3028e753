/// @file
/// ReplaceFileContent: replacing a whole file so that a crash or a failure
/// never leaves part of the new content in it.
///
/// Contract
/// - The bytes go to a new temporary file in the target's directory (named
///   ".<name>.tmp-<8 hex digits>", created exclusively), which is written,
///   flushed to the disk with fsync, closed and then renamed over the
///   target; the directory is then synced too. Readers see the old file or
///   the new one, never a mixture; so does the disk after a crash.
/// - Any failure before the rename removes the temporary file and leaves the
///   target exactly as it was (or absent, if it was). The directory sync
///   after the rename is best effort: the file is already replaced, so its
///   failure (some file systems refuse it) does not fail the call. Only a
///   crash of the process between creating and renaming the temporary file
///   can leave that file behind.
/// - A target that is a symbolic link is not replaced by a file: the file it
///   names is. An existing target's permission bits are given to the new
///   file, and its owner and group where the process may set them; a new
///   target gets 0666 less the umask, as fopen would create it. Since the
///   file is replaced, not rewritten: it takes write permission on the
///   directory, not on the file (a read-only file is replaced, staying
///   read-only), and other hard links to the old file keep the old content.
/// - Results: 0 done (an empty content makes an empty file); -1 for a null
///   path, a wide path that does not convert, or null data with a nonzero
///   size; otherwise the errno of the failing step (EISDIR for a directory
///   at the path). errno itself is left as the failing call set it.
/// - Paths: the 8-bit form hands its path to the C library unchanged; the
///   wide form converts it in the locale, taking as many bytes as the
///   multibyte form needs (so non-ASCII paths work in a UTF-8 locale).
/// Threads: no shared state; concurrent replacements of one file each leave
/// one whole content, the last rename's.
#pragma once

#include "cwbase/core/block.h"

/// Replaces the file at @p path with the @p size bytes at @p data (see the
/// file description). @return 0, -1 or an errno value.
int ReplaceFileContent(const char* path, const void* data, unsigned long size);
/// ReplaceFileContent with a wide path.
int ReplaceFileContent(const wchar_t* path, const void* data, unsigned long size);
/// ReplaceFileContent with the block's data.
int ReplaceFileContent(const char* path, const CWBlock& block);
/// ReplaceFileContent with a wide path and the block's data.
int ReplaceFileContent(const wchar_t* path, const CWBlock& block);
