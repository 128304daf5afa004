#pragma once

#include <string>

namespace tabulon {

// What a procedure of the core may show to the user. The windows implement it
// with message boxes; tests implement it with a recorder that answers.
class MessageHost {
public:
    virtual ~MessageHost() = default;

    // The "Application Error" box: exclamation icon, OK button.
    virtual void showApplicationError(const std::string &text) = 0;
    // A Yes/No question without icon; an empty title means the application title.
    virtual bool askYesNo(const std::string &text, const std::string &title = {}) = 0;
    // Plain information: OK button, no icon; an empty title means the application title.
    virtual void inform(const std::string &text, const std::string &title = {}) = 0;
};

// Shows nothing and answers No: for routines that only look, such as a
// folder walk whose unreadable sub-folders are reported elsewhere.
class SilentHost : public MessageHost {
public:
    void showApplicationError(const std::string &) override {}
    bool askYesNo(const std::string &, const std::string &) override { return false; }
    void inform(const std::string &, const std::string &) override {}
};

} // namespace tabulon
