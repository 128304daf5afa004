#include "data/connection.h"

#include <algorithm>

namespace tabulon {
namespace {

// The server takes a command of fewer than max_allowed_packet bytes, its
// one command byte included: MariaDB 10.11 with a limit of 1048576 took a
// statement of 1048574 bytes and hung up on one of 1048575. A few bytes
// more room covers servers that count a header more.
constexpr int64_t kCommandRoom = 16;
// The server's own ceiling for max_allowed_packet (1 GB).
constexpr int64_t kLargestLimit = int64_t(1) << 30;
constexpr int64_t kMebibyte = int64_t(1) << 20;

std::string Describe(std::size_t size, int64_t limit, const std::string &subject, const std::string &remedy)
{
    std::string text = "SQLException: " + subject + " was not sent: its statement is " + std::to_string(size) +
                       " bytes, more than the MySQL server accepts in one statement (max_allowed_packet = " +
                       std::to_string(limit) + " bytes). ";
    const int64_t needed = StatementTooLarge::limitFor(size);
    if (needed > kLargestLimit)
        return text + "No server accepts a statement this large (the highest max_allowed_packet is " +
               std::to_string(kLargestLimit) + " bytes).";
    // A session keeps the limit it started with, so the new one counts
    // from the next connection on.
    return text + "An administrator can raise the limit with SET GLOBAL max_allowed_packet=" + std::to_string(needed) +
           "; " + remedy;
}

} // namespace

const char *const StatementTooLarge::kStartAgain = "then start the conversion again.";
const char *const StatementTooLarge::kRunElsewhere =
    "this window's connection keeps the limit it started with, so run the line on a new connection (tick it, "
    "\"Copy SQL To Clipboard\", paste it into a MySQL client), then clear its text here and press \"Execute "
    "SQL\" to go on.";

StatementTooLarge::StatementTooLarge(std::size_t size, int64_t limit, const std::string &subject,
                                     const std::string &remedy)
    : DbError(Describe(size, limit, subject, remedy), 1153, Kind::TooLarge), m_size(size), m_limit(limit),
      m_remedy(remedy)
{
}

std::size_t StatementTooLarge::largestFor(int64_t limit)
{
    return static_cast<std::size_t>(std::max<int64_t>(limit - kCommandRoom, 0));
}

int64_t StatementTooLarge::limitFor(std::size_t size)
{
    // Whole mebibytes: the server rounds the value down to a multiple of 1024.
    const int64_t bytes = static_cast<int64_t>(size) + kCommandRoom;
    return (bytes + kMebibyte - 1) / kMebibyte * kMebibyte;
}

} // namespace tabulon
