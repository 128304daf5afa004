#include "keyring/keyringstore.h"

namespace tabulon::keyring {
namespace {

Answer None() { return {Answer::Kind::Failed, {}, "this build of Tabulon has no keyring"}; }

} // namespace

Answer Read(const std::string &, const std::string &, std::chrono::milliseconds) { return None(); }
Answer Write(const std::string &, const std::string &, const std::string &, std::chrono::milliseconds)
{
    return None();
}
Answer Remove(const std::string &, const std::string &, std::chrono::milliseconds) { return None(); }

} // namespace tabulon::keyring
