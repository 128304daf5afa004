#include "cli/console.h"

#include "common/widepath.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace tabulon::native {

std::vector<std::string> Arguments(int argc, char **argv)
{
    int n = 0;
    wchar_t **wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i)
        out.push_back(Utf8Path(wide[i]));
    ::LocalFree(wide);
    return out;
}

void PrepareStandardStreams()
{
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
}

bool StdinIsTerminal() { return ::_isatty(::_fileno(stdin)); }

bool StderrIsTerminal() { return ::_isatty(::_fileno(stderr)); }

bool ReadHiddenLine(std::string &line)
{
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = ::GetConsoleMode(in, &mode);
    if (console)
        ::SetConsoleMode(in, mode & ~DWORD(ENABLE_ECHO_INPUT));
    wchar_t buffer[1024];
    DWORD got = 0;
    const bool read = console ? ::ReadConsoleW(in, buffer, 1023, &got, nullptr) : false;
    if (console)
        ::SetConsoleMode(in, mode);
    if (!read)
        return false;
    buffer[got] = 0;
    line = Utf8Path(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return true;
}

} // namespace tabulon::native
