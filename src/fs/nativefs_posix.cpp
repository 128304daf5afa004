#include "fs/nativefs.h"

#include "common/text.h"

#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <iconv.h>
#include <langinfo.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulon::native {
namespace {

struct DirCloser {
    void operator()(DIR *d) const { ::closedir(d); }
};

Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISLNK(mode))
        return Kind::Link;
    return Kind::Other;
}

} // namespace

int Status(const std::string &path, Kind &kind, FileId *id)
{
    struct stat st {};
    if (path.empty())
        return ENOENT;
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    kind = kindOf(st.st_mode);
    if (id)
        *id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    return 0;
}

int LinkStatus(const std::string &path, Kind &kind)
{
    struct stat st {};
    if (path.empty())
        return ENOENT;
    if (::lstat(path.c_str(), &st) != 0)
        return errno;
    kind = kindOf(st.st_mode);
    return 0;
}

int ListFolder(const std::string &folder, const std::function<void(const std::string &, Kind)> &each)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return errno;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry)
            return errno;
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        Kind kind = Kind::Unknown;
        switch (entry->d_type) {
        case DT_REG: kind = Kind::File; break;
        case DT_DIR: kind = Kind::Folder; break;
        case DT_LNK: kind = Kind::Link; break;
        case DT_UNKNOWN: break;
        default: kind = Kind::Other; break;
        }
        each(name, kind);
    }
}

int MakeFolder(const std::string &path) { return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }

int RemoveFile(const std::string &path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int CopyFileContents(const std::string &from, const std::string &to)
{
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    return ec ? (ec.value() ? ec.value() : EIO) : 0;
}

int CheckFolderAccess(const std::string &path) { return ::access(path.c_str(), R_OK | X_OK) == 0 ? 0 : errno; }

std::optional<std::string> CanonicalPath(const std::string &path)
{
    std::error_code ec;
    std::string out = std::filesystem::canonical(path, ec).string();
    if (ec)
        return std::nullopt;
    return out;
}

bool IsSeparator(char c) { return c == '/'; }

// The locale's character set names what the bytes of a file name mean,
// unless it is UTF-8 (the name would be UTF-8 then) or plain ASCII, which
// the C locale reports without saying anything about the names.
std::optional<std::string> NameFromLocale(const std::string &bytes)
{
    const char *codeset = ::nl_langinfo(CODESET);
    if (!codeset || !*codeset)
        return std::nullopt;
    std::string key;
    for (const char *c = codeset; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)))
            key.push_back(*c);
    key = AsciiUpper(key);
    if (key == "UTF8" || key == "ANSIX341968" || key == "ASCII" || key == "USASCII")
        return std::nullopt;
    const iconv_t cd = ::iconv_open("UTF-8", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string in = bytes;
    std::string out(bytes.size() * 4 + 16, '\0');
    char *inPtr = in.data();
    char *outPtr = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const bool ok = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != std::size_t(-1) &&
                    ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != std::size_t(-1);
    ::iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace tabulon::native
