// Whole files into and out of a CWBlock, and size questions.
//
// Contract
// - Each content operation takes a wide path (converted by CWMultiBytePath:
//   one byte per code unit, refused rather than cut) or an 8-bit path (handed
//   to fopen unchanged). Every file opened is closed before returning; the
//   converted path is always released.
// - Results of the content operations: 0 = opened and at least one byte
//   transferred; -1 = null path, wide path refused by the conversion (or its
//   buffer not allocated), or (AppendFileContent only) the file could not be
//   opened; any other value = errno when the failure was seen. A transfer of
//   zero bytes (empty file, empty block) answers the current errno, which the
//   operation itself did not set and which may even be 0.
// - Modes: read "rb"; write "wb" (created or cut); append "ab" (created if
//   missing, content kept, writes go to the end).
// - ReadFileContent measures the file (32-bit ftell offsets) and sizes the
//   block as CWBlock::SetSize does: storage kept when its capacity suffices
//   (bytes from the file size up to the capacity zeroed), otherwise replaced by
//   storage of exactly the file size holding the old storage's bytes. One fread
//   fills it; the length stays the file size even if fewer bytes arrive. An
//   empty file leaves the block untouched.
//   Choices: a stream that cannot be measured (a pipe, a failing ftell/fseek)
//   answers that errno (ESPIPE when none was set); a file of 2 GiB or more
//   answers EFBIG; storage that cannot be allocated answers ENOMEM. In these
//   cases nothing is read and the block stays exactly as it was. The
//   allocation failure is caught; no exception leaves these functions.
// - A path whose first code unit is the digit 0 is an ordinary path.
// - GetFileSize: the 32-bit size; 0 for a null stream, a null or refused
//   path, or a file that cannot be opened. A stream that cannot be measured or
//   is 2 GiB or more answers 0xFFFFFFFF (-1 as a 32-bit offset). The stream
//   form leaves the stream's position where it was.
// - GetDiskFreeBytes / GetDiskTotalBytes ignore the path and answer all bits
//   set (0xFFFFFFFFFFFFFFFF): no disk query exists on this platform.
// Threads: no shared state; errno is per thread. A block must not be used by
// another thread while it is being filled.
#pragma once

#include <cstdio>

#include "cwbase/core/block.h"

int ReadFileContent(const wchar_t* path, CWBlock& block);
int ReadFileContent(const char* path, CWBlock& block);
int WriteFileContent(const wchar_t* path, CWBlock& block);
int WriteFileContent(const char* path, CWBlock& block);
int AppendFileContent(const wchar_t* path, CWBlock& block);
int AppendFileContent(const char* path, CWBlock& block);

unsigned int GetFileSize(std::FILE* stream);
unsigned int GetFileSize(const wchar_t* path);

unsigned long long GetDiskFreeBytes(const wchar_t* path);
unsigned long long GetDiskTotalBytes(const wchar_t* path);
