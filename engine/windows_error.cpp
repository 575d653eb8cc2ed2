#include "engine/windows_error.h"

#include <cerrno>

#include "engine/file_system.h"

namespace snipforge {
namespace {

std::error_code Error(int code) { return {code, std::generic_category()}; }

}  // namespace

std::error_code ErrorOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DELETE_PENDING:
      return Error(ENOENT);
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_CANNOT_MAKE:
      return Error(EACCES);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return FileRefusal::kInUse;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Error(EEXIST);
    case ERROR_DIRECTORY:
      return Error(ENOTDIR);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Error(ENOSPC);
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return Error(ENAMETOOLONG);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return Error(EINVAL);
    case ERROR_INVALID_HANDLE:
      return Error(EBADF);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return Error(ENOMEM);
    case ERROR_WRITE_PROTECT:
      return Error(EROFS);
    case ERROR_NOT_SAME_DEVICE:
      return Error(EXDEV);
    case ERROR_DIR_NOT_EMPTY:
      return Error(ENOTEMPTY);
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return Error(EPIPE);
    case ERROR_NO_UNICODE_TRANSLATION:
      return Error(EILSEQ);
    case ERROR_BAD_FILE_TYPE:  // OpenHandle's own: a pipe, a console, a device
      return FileRefusal::kNotRegularFile;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return Error(EIO);
    default:
      return {static_cast<int>(code), std::system_category()};
  }
}

std::error_code LastError() {
  const DWORD code = GetLastError();
  return code != ERROR_SUCCESS ? ErrorOf(code) : Error(EIO);
}

std::error_code LinkError() { return {ERROR_CANT_RESOLVE_FILENAME, std::system_category()}; }

}  // namespace snipforge
