#pragma once

#include <chrono>
#include <string>

// The desktop's keyring, one call at a time: QtKeychain where the build has
// it, none elsewhere (every call fails, and the settings keep the password).
namespace tabulon::keyring {

struct Answer {
    enum class Kind { Done, NotFound, Failed };
    Kind kind = Kind::Failed;
    std::string data;  // a read's password
    std::string error; // why it failed, in words
};

// Each waits at most `patience`, turning a local event loop that leaves
// user input queued.
Answer Read(const std::string &service, const std::string &key, std::chrono::milliseconds patience);
Answer Write(const std::string &service, const std::string &key, const std::string &password,
             std::chrono::milliseconds patience);
Answer Remove(const std::string &service, const std::string &key, std::chrono::milliseconds patience);

} // namespace tabulon::keyring
