/// @file
/// Windows-style file handles over stdio streams, directory chains, path
/// composition and the process's command name.
///
/// Contract
/// - A handle is the FILE* that CreateFile opened, as void*; null means the
///   open failed. The caller owns it until CloseFileHandle.
/// - CreateFile converts the name with CWMultiBytePath (refused, giving null,
///   when it does not convert in full) and opens it in binary mode by the access
///   bits: 0x10000000 (all) or both 0x80000000 (read) and 0x40000000 (write):
///   read and write, the file created if missing (mode 0666 less the umask) and
///   never cut; read only: "rb", the file must exist; write only: "wb", created
///   or cut. No access bit: null without opening anything (errno untouched).
///   Share mode, security, creation, flags and template are ignored. A name
///   whose first code unit is the digit 0 is an ordinary name.
/// - ReadFile / WriteFile: one fread / fwrite of `count` bytes; `done` (when not
///   null) receives the count moved; 1 if at least one byte moved, else 0. A
///   null handle, or a null buffer with a nonzero count, moves nothing: result
///   0, `done` set to 0.
/// - CloseFileHandle closes the stream (a null handle is ignored); always 0.
/// - MakeFullPath joins folder, name and extension: folder + name when the
///   folder ends with a backslash, folder + '\' + name otherwise, name alone for
///   a null or empty folder; then '.' + extension when the extension is not
///   empty. Result 0, `out` untouched, for size < 1, a null out, a null or
///   empty name, a folder-and-name part longer than 1023 units (the formatting
///   helper's limit), or a result that does not fit in `size` units with its
///   terminator; else 1. Nothing is
///   ever written beyond `size` units.
/// - CreateDirectoryEx makes every directory along a '/'-separated path (mode
///   0775, umask applies); 1 if the mkdir of the last component succeeded. 0 for
///   a null or empty path, a path without components, or a path whose
///   multibyte form exceeds 2046 bytes or does not convert (refused, nothing
///   made). errno stays as the last mkdir left it (EEXIST when already there).
/// - GetExeFolder writes the process's first command-line argument (from
///   `/proc/<pid>/cmdline`, at most 2047 bytes, as a wide string of at most 2048
///   units with its terminator) and answers 1. It answers 0 and leaves `out`
///   untouched when `out` is null, the file cannot be read, the line is empty,
///   or the argument is not valid in the current locale's encoding.
/// - CopyDirectoryEx, RemoveDirectoryEx, GetExeName and IsFileExist do nothing
///   on this platform and answer 0.
/// Threads: no shared state; a handle is used by one thread at a time.
#pragma once

/// Opens @p name as a binary stream chosen by @p access: 0x80000000 read
/// ("rb", must exist), 0x40000000 write ("wb", created or cut), both or
/// 0x10000000 read and write (created if missing, never cut). The other
/// arguments are ignored.
/// @return the handle (a FILE*), owned by the caller until CloseFileHandle;
/// null for a null or unconvertible name, no access bit, or a failed open
/// (errno tells why).
void* CreateFile(const wchar_t* name, unsigned long access, unsigned long shareMode, void* security,
                 unsigned long creation, unsigned long flags, void* templateFile);
/// Reads up to @p count bytes into @p buffer with one fread; @p done (when not
/// null) receives the number read. @p overlapped is ignored.
/// @return 1 if at least one byte was read; 0 at the end of the file, on an
/// error, or for a null handle.
int ReadFile(void* handle, void* buffer, unsigned long count, unsigned long* done,
             void* overlapped);
/// Writes @p count bytes from @p buffer with one fwrite; @p done (when not
/// null) receives the number written. @p overlapped is ignored.
/// @return 1 if at least one byte was written, else 0.
int WriteFile(void* handle, void* buffer, unsigned long count, unsigned long* done,
              void* overlapped);
/// Closes the stream (a null handle is ignored); the handle is invalid
/// afterwards. @return 0 always.
int CloseFileHandle(void* handle);

/// Writes the folder, a backslash, the name and, when @p extension is not
/// empty, '.' and the extension to @p out, which holds @p size units. No
/// backslash is added when the folder ends with one; a null or empty folder
/// gives the name alone. The backslash is the only separator known: a folder
/// ending in '/' still gets one.
/// @return 1 done; 0 with @p out untouched when it does not fit or for the
/// refusals listed in the file description.
int MakeFullPath(wchar_t* out, int size, const wchar_t* folder, const wchar_t* name,
                 const wchar_t* extension);
/// Creates every directory along the '/'-separated @p path (mode 0775 less
/// the umask). Earlier failures (such as existing parents) do not stop it.
/// @return 1 if the last directory was created; 0 otherwise, with errno as the
/// last mkdir left it (EEXIST when it was already there).
int CreateDirectoryEx(const wchar_t* path);
/// Writes the process's first command-line argument (the name it was started
/// under, with whatever folder part the starter gave) to @p out, which must
/// hold 2048 units. @p module is ignored.
/// @return 1 written; 0 with @p out untouched when it cannot be read.
int GetExeFolder(void* module, wchar_t* out);

/// No body on this platform: examines nothing, does nothing. @return 0 always.
int CopyDirectoryEx(const wchar_t* source, const wchar_t* target);
/// No body on this platform: examines nothing, does nothing. @return 0 always.
int RemoveDirectoryEx(const wchar_t* path, wchar_t** reserved, long flags);
/// No body on this platform: examines nothing, does nothing. @return 0 always.
int GetExeName(void* module, wchar_t* out);
/// No body on this platform: answers 0 even for a file that exists.
/// @return 0 always.
int IsFileExist(const wchar_t* path);
