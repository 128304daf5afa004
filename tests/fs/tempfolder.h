#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tabulon::test {

// A temporary folder that an unprivileged user may enter, with helpers that
// build a tree in it. Paths are given relative to it.
class TempFolder {
public:
    TempFolder()
    {
        m_dir.setAutoRemove(false);
        ::chmod(root().c_str(), 0755);
    }
    // By bytes: Qt cannot name the files whose names are not UTF-8.
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(root(), ec);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    std::string root() const { return m_dir.path().toStdString(); }
    std::string path(const std::string &relative) const { return root() + "/" + relative; }
    std::string folder(const std::string &relative) const
    {
        const std::string p = path(relative);
        ::mkdir(p.c_str(), 0755);
        return p;
    }
    std::string file(const std::string &relative, const std::string &content = "x") const
    {
        const std::string p = path(relative);
        if (FILE *f = std::fopen(p.c_str(), "wb")) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
        return p;
    }
    std::string read(const std::string &relative) const
    {
        std::string out;
        if (FILE *f = std::fopen(path(relative).c_str(), "rb")) {
            char buf[256];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                out.append(buf, n);
            std::fclose(f);
        }
        return out;
    }
    void link(const std::string &target, const std::string &relative) const
    {
        (void)::symlink(target.c_str(), path(relative).c_str());
    }

private:
    QTemporaryDir m_dir;
};

// Permissions do not stop root, so a case about an unreadable folder runs
// in a child process as "nobody". Returns the body's result, or -1 when the
// user could not be switched.
inline int runUnprivileged(const std::function<int()> &body)
{
    if (::geteuid() != 0)
        return body();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(255);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -2;
    const int code = WEXITSTATUS(status);
    return code == 255 ? -1 : code;
}

} // namespace tabulon::test
