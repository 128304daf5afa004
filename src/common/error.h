#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace tabulon {

// A failure whose what() is the description a report shows to the user.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Thrown out of a yield once the application is quitting. Guarded steps let
// it through, so a run unwinds without showing any further report.
class Aborted : public std::exception {
public:
    const char *what() const noexcept override { return "the application is quitting"; }
};

} // namespace tabulon
