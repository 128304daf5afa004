#include "fs/nativefs.h"

#include "common/widepath.h"

#include <memory>

namespace tabulon::native {
namespace {

struct FindCloser {
    void operator()(HANDLE h) const { ::FindClose(h); }
};

Kind kindOf(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder : Kind::File; }

// A link, junction or mount point is a reparse point; its target decides.
Kind entryKind(const WIN32_FIND_DATAW &data)
{
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT))
        return Kind::Link;
    return kindOf(data.dwFileAttributes);
}

} // namespace

int Status(const std::string &path, Kind &kind, FileId *id)
{
    if (path.empty())
        return ENOENT;
    // Opening the object itself follows links to their target; no access
    // right is asked for, so a file the user may not read still answers.
    const HANDLE h = ::CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return LastErrno();
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info);
    const int err = ok ? 0 : LastErrno();
    const DWORD type = ::GetFileType(h);
    ::CloseHandle(h);
    if (!ok)
        return err;
    kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder
           : type == FILE_TYPE_DISK                           ? Kind::File
                                                              : Kind::Other;
    if (id)
        *id = {info.dwVolumeSerialNumber, (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return 0;
}

int LinkStatus(const std::string &path, Kind &kind)
{
    if (path.empty())
        return ENOENT;
    WIN32_FIND_DATAW data{};
    std::unique_ptr<void, FindCloser> find(::FindFirstFileW(WidePath(path).c_str(), &data));
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        // A drive's or share's root has no entry of its own.
        Kind followed = Kind::Unknown;
        if (const int err = Status(path, followed))
            return err;
        kind = followed;
        return 0;
    }
    kind = entryKind(data);
    return 0;
}

int ListFolder(const std::string &folder, const std::function<void(const std::string &, Kind)> &each)
{
    std::string pattern = folder;
    if (pattern.empty() || !IsSeparator(pattern.back()))
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW data{};
    std::unique_ptr<void, FindCloser> find(
        ::FindFirstFileExW(WidePath(pattern).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        const DWORD error = ::GetLastError();
        // An empty drive lists nothing at all; a file in the path is no folder.
        if (error == ERROR_FILE_NOT_FOUND)
            return 0;
        if (error == ERROR_DIRECTORY || error == ERROR_INVALID_NAME) {
            Kind kind = Kind::Unknown;
            return Status(folder, kind) == 0 && kind != Kind::Folder ? ENOTDIR : ENOENT;
        }
        return ErrnoFromWin32(error);
    }
    for (;;) {
        const std::wstring wide = data.cFileName;
        if (wide != L"." && wide != L"..")
            each(Utf8Path(data.cFileName), entryKind(data));
        if (!::FindNextFileW(find.get(), &data)) {
            const DWORD error = ::GetLastError();
            return error == ERROR_NO_MORE_FILES ? 0 : ErrnoFromWin32(error);
        }
    }
}

int MakeFolder(const std::string &path)
{
    return ::CreateDirectoryW(WidePath(path).c_str(), nullptr) ? 0 : LastErrno();
}

int RemoveFile(const std::string &path) { return ::DeleteFileW(WidePath(path).c_str()) ? 0 : LastErrno(); }

int CopyFileContents(const std::string &from, const std::string &to)
{
    return ::CopyFileW(WidePath(from).c_str(), WidePath(to).c_str(), FALSE) ? 0 : LastErrno();
}

int CheckFolderAccess(const std::string &path)
{
    // Listing it is the test: Windows has no single right for it.
    return ListFolder(path, [](const std::string &, Kind) {});
}

std::optional<std::string> CanonicalPath(const std::string &path)
{
    const HANDLE h = ::CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::wstring buffer(1024, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(h, buffer.data(), DWORD(buffer.size()), FILE_NAME_NORMALIZED);
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(h, buffer.data(), DWORD(buffer.size()), FILE_NAME_NORMALIZED);
    }
    ::CloseHandle(h);
    if (n == 0 || n >= buffer.size())
        return std::nullopt;
    buffer.resize(n);
    return Utf8Path(buffer.c_str());
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::optional<std::string> NameFromLocale(const std::string &) { return std::nullopt; }

} // namespace tabulon::native
