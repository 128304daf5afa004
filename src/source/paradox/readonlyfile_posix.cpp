#include "source/paradox/readonlyfile.h"

#include "common/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulon::paradox {

ReadOnlyFile::ReadOnlyFile(const std::string &path) : m_path(path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        std::string text = "Cannot open \"" + path + "\": " + std::strerror(err) + ".";
        if (err == EACCES || err == EPERM)
            text += " Get read permission on the file, or convert a copy that you may read.";
        throw Error(text);
    }
    m_handle = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = errno;
        ::close(fd);
        throw Error("Cannot open \"" + path + "\": " + (err ? std::strerror(err) : "not a regular file") + ".");
    }
    m_size = uint64_t(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_handle >= 0)
        ::close(int(m_handle));
}

size_t ReadOnlyFile::readAt(uint64_t offset, void *buffer, size_t n) const
{
    size_t done = 0;
    auto *out = static_cast<char *>(buffer);
    while (done < n) {
        const ssize_t got = ::pread(int(m_handle), out + done, n - done, off_t(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Cannot read \"" + m_path + "\": " + std::strerror(errno) + ".");
        }
        if (got == 0)
            break;
        done += size_t(got);
    }
    return done;
}

} // namespace tabulon::paradox
