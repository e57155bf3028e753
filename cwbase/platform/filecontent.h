/// @file
/// Whole files into and out of a CWBlock, and size questions.
///
/// Contract
/// - Each content operation takes a wide path (converted by CWMultiBytePath:
///   one byte per code unit, refused rather than cut) or an 8-bit path (handed
///   to fopen unchanged). Every file opened is closed before returning; the
///   converted path is always released.
/// - Results of the content operations: 0 = opened and at least one byte
///   transferred; -1 = null path, wide path refused by the conversion (or its
///   buffer not allocated), or (AppendFileContent only) the file could not be
///   opened; any other value = errno when the failure was seen. A transfer of
///   zero bytes (empty file, empty block) answers the current errno, which the
///   operation itself did not set and which may even be 0.
/// - Modes: read "rb"; write "wb" (created or cut); append "ab" (created if
///   missing, content kept, writes go to the end).
/// - ReadFileContent measures the file (32-bit ftell offsets) and sizes the
///   block as CWBlock::SetSize does: storage kept when its capacity suffices
///   (bytes from the file size up to the capacity zeroed), otherwise replaced by
///   storage of exactly the file size holding the old storage's bytes. One fread
///   fills it; the length stays the file size even if fewer bytes arrive. An
///   empty file leaves the block untouched; so does a file whose size reads
///   as 0 although it has content (most files under /proc), which therefore
///   reads as empty.
///   Choices: a stream that cannot be measured (a pipe, a failing ftell/fseek)
///   answers that errno (ESPIPE when none was set); a file of 2 GiB or more
///   answers EFBIG; storage that cannot be allocated answers ENOMEM. In these
///   cases nothing is read and the block stays exactly as it was. The
///   allocation failure is caught; no exception leaves these functions.
/// - A path whose first code unit is the digit 0 is an ordinary path.
/// - GetFileSize: the 32-bit size; 0 for a null stream, a null or refused
///   path, or a file that cannot be opened. A stream that cannot be measured or
///   is 2 GiB or more answers 0xFFFFFFFF (-1 as a 32-bit offset). The stream
///   form leaves the stream's position where it was.
/// - GetDiskFreeBytes / GetDiskTotalBytes ignore the path and answer all bits
///   set (0xFFFFFFFFFFFFFFFF): no disk query exists on this platform.
/// Threads: no shared state; errno is per thread. A block must not be used by
/// another thread while it is being filled.
#pragma once

#include <cstdio>

#include "cwbase/core/block.h"

/// Reads the whole file at @p path ("rb") into @p block with one fread; the
/// block's length becomes the file size (no terminator is added). An empty
/// file leaves the block untouched.
/// @return 0 when at least one byte was read; -1 for a null path or a path
/// that does not convert; otherwise the errno seen (the block may already be
/// sized to the file when the read itself fails).
int ReadFileContent(const wchar_t* path, CWBlock& block);
/// ReadFileContent with an 8-bit path, handed to fopen unchanged.
int ReadFileContent(const char* path, CWBlock& block);
/// Writes the block's data to @p path ("wb": created, or cut to length zero)
/// with one fwrite; the block is not changed.
/// @return 0 when at least one byte was written; -1 for a null path or a path
/// that does not convert; otherwise errno (also for an empty block, which
/// still creates or empties the file).
int WriteFileContent(const wchar_t* path, CWBlock& block);
/// WriteFileContent with an 8-bit path, handed to fopen unchanged.
int WriteFileContent(const char* path, CWBlock& block);
/// Appends the block's data to the end of @p path ("ab": created if missing).
/// @return 0 when at least one byte was written; -1 for a null path, a path
/// that does not convert, or a file that cannot be opened; otherwise errno.
int AppendFileContent(const wchar_t* path, CWBlock& block);
/// AppendFileContent with an 8-bit path, handed to fopen unchanged.
int AppendFileContent(const char* path, CWBlock& block);

/// The size of an open stream in bytes, leaving its position where it was;
/// 0 for a null stream, 0xFFFFFFFF when it cannot be measured or is 2 GiB or
/// more.
unsigned int GetFileSize(std::FILE* stream);
/// The size of the file at @p path in bytes; 0 for a null or refused path or
/// a file that cannot be opened, 0xFFFFFFFF when it cannot be measured.
unsigned int GetFileSize(const wchar_t* path);

/// No disk query exists on this platform: always 0xFFFFFFFFFFFFFFFF, whatever
/// @p path is (null included).
unsigned long long GetDiskFreeBytes(const wchar_t* path);
/// No disk query exists on this platform: always 0xFFFFFFFFFFFFFFFF, whatever
/// @p path is (null included).
unsigned long long GetDiskTotalBytes(const wchar_t* path);
