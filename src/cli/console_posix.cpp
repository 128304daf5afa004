#include "cli/console.h"

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace tabulon::native {

std::vector<std::string> Arguments(int argc, char **argv) { return std::vector<std::string>(argv, argv + argc); }

void PrepareStandardStreams() {}

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO); }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO); }

bool ReadHiddenLine(std::string &line)
{
    termios before{};
    ::tcgetattr(STDIN_FILENO, &before);
    termios silent = before;
    silent.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    char buffer[1024];
    const bool read = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    if (!read)
        return false;
    line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return true;
}

} // namespace tabulon::native
