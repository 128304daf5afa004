#pragma once

#include <filesystem>
#include <string>

namespace tabulon::test {

// The real Paradox tables beside the project; absent on a bare clone, so
// tests that read them skip with GTEST_SKIP() when this is empty.
inline std::filesystem::path fixturesDir()
{
    std::filesystem::path dir = TABULON_FIXTURES_DIR;
    std::error_code ec;
    return std::filesystem::is_directory(dir / "paradox", ec) ? dir / "paradox" : std::filesystem::path();
}

} // namespace tabulon::test

// Declares `name` as the fixtures folder, or skips the test when it is absent.
#define TABULON_FIXTURES_OR_SKIP(name)                                                                                 \
    const std::filesystem::path name = ::tabulon::test::fixturesDir();                                                 \
    if (name.empty())                                                                                                  \
    GTEST_SKIP() << "the Paradox fixtures are not beside the project"
