// CWXMLDocument::LoadXMLFile and SaveXMLFile: a whole file read into a block
// and loaded with LoadXML; SaveXML's output written with ReplaceFileContent,
// which replaces the file whole or not at all.
#include <sys/stat.h>

#include <cerrno>
#include <new>

#include "cwbase/platform/filecontent.h"
#include "cwbase/platform/pathconv.h"
#include "cwbase/platform/replacefile.h"
#include "cwbase/xml/xmlnode.h"

namespace {

struct FileReason {
  int error;
  const char* read;
  const char* write;
};

// What each errno means to the user, in the two directions.
const FileReason kReasons[] = {
    {ENOENT, "cannot read the file: it does not exist",
     "cannot write the file: its directory does not exist"},
    {EACCES, "cannot read the file: permission denied", "cannot write the file: permission denied"},
    {EPERM, "cannot read the file: operation not permitted",
     "cannot write the file: operation not permitted"},
    {EISDIR, "cannot read the file: it is a directory",
     "cannot write the file: a directory stands at its path"},
    {ENOTDIR, "cannot read the file: a part of its path is not a directory",
     "cannot write the file: a part of its path is not a directory"},
    {ENAMETOOLONG, "cannot read the file: its path is too long",
     "cannot write the file: its path is too long"},
    {ELOOP, "cannot read the file: too many symbolic links",
     "cannot write the file: too many symbolic links"},
    {EFBIG, "cannot read the file: it is 2 GiB or larger",
     "cannot write the file: the file is too large"},
    {ENOMEM, "cannot read the file: out of memory", "cannot write the file: out of memory"},
    {ENOSPC, "cannot read the file: no space left on the device",
     "cannot write the file: no space left on the device"},
    {EDQUOT, "cannot read the file: disk quota exceeded",
     "cannot write the file: disk quota exceeded"},
    {EROFS, "cannot read the file: read-only file system",
     "cannot write the file: read-only file system"},
    {EIO, "cannot read the file: input/output error", "cannot write the file: input/output error"},
    {EILSEQ, "cannot read the file: its path cannot be converted in the locale",
     "cannot write the file: its path cannot be converted in the locale"},
    {EINVAL, "cannot read the file: no path given", "cannot write the file: no path given"},
};

}  // namespace

void CWXMLDocument::SetFileError(int code, int error) {
  const bool write = code == CWXML_ERROR_FILE_WRITE;
  const char* message = write ? "cannot write the file" : "cannot read the file";
  for (const FileReason& r : kReasons)
    if (r.error == error) message = write ? r.write : r.read;
  m_LastError = {code, 0, 0, 0, message, {}};
  if (error > 0) errno = error;
}

int CWXMLDocument::LoadFile(const char* path, unsigned long options) {
  m_bKeptLayout = false;
  CleanUp();
  struct stat info {};
  int error = 0;
  if (!path)
    error = EINVAL;
  else if (stat(path, &info) != 0)
    error = errno ? errno : EIO;
  else if (S_ISDIR(info.st_mode))
    error = EISDIR;
  CWBlock content;
  if (!error) {
    errno = 0;
    error = ReadFileContent(path, content);  // an empty file: the errno set above, 0
  }
  if (error) {
    SetFileError(CWXML_ERROR_FILE_READ, error);
    return -1;
  }
  return LoadXML(content.GetBufferAs<unsigned char>(), static_cast<long>(content.GetSize()),
                 options);
}

int CWXMLDocument::LoadXMLFile(const char* path, unsigned long options) {
  try {
    return LoadFile(path, options);
  } catch (const std::bad_alloc&) {
    CleanUp();
    SetFileError(CWXML_ERROR_FILE_READ, ENOMEM);
    return -1;
  }
}

int CWXMLDocument::LoadXMLFile(const wchar_t* path, unsigned long options) {
  CWMultiBytePath converted(path, CW_PATH_WHOLE);
  if (path && !converted.Get()) {
    CleanUp();
    SetFileError(CWXML_ERROR_FILE_READ, EILSEQ);
    return -1;
  }
  return LoadXMLFile(converted.Get(), options);
}

int CWXMLDocument::SaveFile(const char* path, const CWXMLSaveOptions& options) {
  if (!path) {
    SetFileError(CWXML_ERROR_FILE_WRITE, EINVAL);
    return -1;
  }
  CWBlock text;
  if (SaveXML(text, 0, options) != 0) return -1;  // the writer recorded why
  const int error = ReplaceFileContent(path, text);
  if (error) {
    SetFileError(CWXML_ERROR_FILE_WRITE, error == -1 ? EINVAL : error);
    return -1;
  }
  return 0;
}

int CWXMLDocument::SaveXMLFile(const char* path, const CWXMLSaveOptions& options) {
  try {
    return SaveFile(path, options);
  } catch (const std::bad_alloc&) {
    SetFileError(CWXML_ERROR_FILE_WRITE, ENOMEM);
    return -1;
  }
}

int CWXMLDocument::SaveXMLFile(const wchar_t* path, const CWXMLSaveOptions& options) {
  CWMultiBytePath converted(path, CW_PATH_WHOLE);
  if (path && !converted.Get()) {
    SetFileError(CWXML_ERROR_FILE_WRITE, EILSEQ);
    return -1;
  }
  return SaveXMLFile(converted.Get(), options);
}
