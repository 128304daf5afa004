#include "source/paradox/readonlyfile.h"

#include "common/error.h"
#include "common/widepath.h"

#include <algorithm>
#include <cstring>

namespace tabulon::paradox {
namespace {

std::string reason(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string out = n ? Utf8Path(text) : std::string(std::strerror(ErrnoFromWin32(error)));
    ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

HANDLE handle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

} // namespace

ReadOnlyFile::ReadOnlyFile(const std::string &path) : m_path(path)
{
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Error("Cannot open \"" + path + "\": not a regular file.");
    // Others may go on reading and writing it: the program that owns the
    // tables can stay open during a conversion.
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        std::string text = "Cannot open \"" + path + "\": " + reason(error) + ".";
        if (error == ERROR_ACCESS_DENIED)
            text += " Get read permission on the file, or convert a copy that you may read.";
        throw Error(text);
    }
    LARGE_INTEGER size{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileSizeEx(h, &size)) {
        ::CloseHandle(h);
        throw Error("Cannot open \"" + path + "\": not a regular file.");
    }
    m_handle = reinterpret_cast<std::intptr_t>(h);
    m_size = uint64_t(size.QuadPart);
}

ReadOnlyFile::~ReadOnlyFile() { ::CloseHandle(handle(m_handle)); }

size_t ReadOnlyFile::readAt(uint64_t offset, void *buffer, size_t n) const
{
    size_t done = 0;
    auto *out = static_cast<char *>(buffer);
    while (done < n) {
        OVERLAPPED at{};
        const uint64_t position = offset + done;
        at.Offset = DWORD(position);
        at.OffsetHigh = DWORD(position >> 32);
        const DWORD want = DWORD(std::min<size_t>(n - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(handle(m_handle), out + done, want, &got, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF)
                break;
            throw Error("Cannot read \"" + m_path + "\": " + reason(error) + ".");
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace tabulon::paradox
