#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What the command line does differently per platform (console_posix.cpp,
// console_win.cpp).
namespace tabulon::native {

// The arguments as UTF-8, whatever the system's code page.
std::vector<std::string> Arguments(int argc, char **argv);
// Standard output takes the statements byte for byte: no line-end
// translation; the console shows UTF-8.
void PrepareStandardStreams();
bool StdinIsTerminal();
bool StderrIsTerminal();
// A line typed on the terminal without echo, its line end removed.
bool ReadHiddenLine(std::string &line);

// A UTF-8 path for the standard streams' files.
inline std::filesystem::path FsPath(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace tabulon::native
