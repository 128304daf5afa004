#pragma once

#include <chrono>
#include <string>

namespace tabulon {

class SettingsStore;

// Keeps the MySQL password in the desktop's keyring (Secret Service or
// KWallet, through QtKeychain) when one answers; the settings file then
// holds only the entry's name. With no keyring, or one that fails or does
// not answer in time, the settings file keeps it, readable by its owner
// only, for the rest of the session. Every wait on the keyring turns a
// local event loop that leaves user input queued, and ends after
// `patience`: a hung keyring never freezes the window for longer.
class PasswordKeeper {
public:
    explicit PasswordKeeper(SettingsStore &settings,
                            std::chrono::milliseconds patience = std::chrono::milliseconds(3000));

    // The kept password: the keyring entry the settings name, else the file's
    // (a password written before the keyring was used, or by the demo).
    std::string load();

    // Keeps the password of this login. In the keyring, the entry is named
    // after the login and replaces the one named before; the file's copy is
    // removed only once the keyring has it. An empty password removes both.
    // Throws Error when the settings file cannot be written.
    void keep(const std::string &user, const std::string &server, const std::string &port, const std::string &password);

    bool inKeyring() const { return m_inKeyring; }
    // Where the password is kept, in words, for the field's tool tip.
    std::string whereKept() const;

    // "user@server:port", under the service "Tabulon".
    static std::string EntryName(const std::string &user, const std::string &server, const std::string &port);

private:
    enum class Outcome { Done, NotFound, Failed };
    Outcome readEntry(const std::string &name, std::string &password);
    Outcome writeEntry(const std::string &name, const std::string &password);
    Outcome deleteEntry(const std::string &name);
    void giveUp(const std::string &why);

    SettingsStore &m_settings;
    std::chrono::milliseconds m_patience;
    bool m_inKeyring = false;
    bool m_keyringGone = false;
    std::string m_entry;
    std::string m_problem;
};

} // namespace tabulon
