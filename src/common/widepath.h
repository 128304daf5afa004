#pragma once

// Windows only: the UTF-8 paths of the rest of the program as the UTF-16
// the wide Win32 calls take, and their errors as errno values.

#include <QString>

#include <cerrno>
#include <string>
#include <windows.h>

namespace tabulon {

inline std::wstring WidePath(const std::string &utf8) { return QString::fromStdString(utf8).toStdWString(); }

inline std::string Utf8Path(const wchar_t *wide) { return QString::fromWCharArray(wide).toStdString(); }

inline int ErrnoFromWin32(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME: return ENOENT;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return EEXIST;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;
    }
}

inline int LastErrno() { return ErrnoFromWin32(::GetLastError()); }

} // namespace tabulon
