#include "keyring/passwordkeeper.h"

#include "common/settingskeys.h"
#include "keyring/keyringstore.h"

namespace tabulon {

namespace {

constexpr const char *kService = "Tabulon";

} // namespace

PasswordKeeper::PasswordKeeper(SettingsStore &settings, std::chrono::milliseconds patience)
    : m_settings(settings), m_patience(patience)
{
}

std::string PasswordKeeper::EntryName(const std::string &user, const std::string &server, const std::string &port)
{
    return user + "@" + server + ":" + port;
}

void PasswordKeeper::giveUp(const std::string &why)
{
    m_keyringGone = true;
    m_inKeyring = false;
    m_problem = why;
}

PasswordKeeper::Outcome PasswordKeeper::readEntry(const std::string &name, std::string &password)
{
    const keyring::Answer a = keyring::Read(kService, name, m_patience);
    if (a.kind == keyring::Answer::Kind::NotFound)
        return Outcome::NotFound;
    if (a.kind != keyring::Answer::Kind::Done) {
        giveUp(a.error);
        return Outcome::Failed;
    }
    password = a.data;
    return Outcome::Done;
}

PasswordKeeper::Outcome PasswordKeeper::writeEntry(const std::string &name, const std::string &password)
{
    const keyring::Answer a = keyring::Write(kService, name, password, m_patience);
    if (a.kind != keyring::Answer::Kind::Done) {
        giveUp(a.error);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

// A failed removal leaves a stale entry behind, nothing worse: the keyring
// is not given up for it.
PasswordKeeper::Outcome PasswordKeeper::deleteEntry(const std::string &name)
{
    return keyring::Remove(kService, name, m_patience).kind == keyring::Answer::Kind::Done ? Outcome::Done
                                                                                           : Outcome::Failed;
}

std::string PasswordKeeper::load()
{
    const std::string name = m_settings.text(settings::PasswordKey);
    if (!name.empty()) {
        std::string password;
        const Outcome o = readEntry(name, password);
        if (o == Outcome::Done) {
            m_inKeyring = true;
            m_entry = name;
            return password;
        }
        if (o == Outcome::NotFound)
            m_problem = "the keyring has no entry \"" + name + "\"";
    }
    return m_settings.text(settings::Password);
}

void PasswordKeeper::keep(const std::string &user, const std::string &server, const std::string &port,
                          const std::string &password)
{
    const std::string before = m_settings.text(settings::PasswordKey);
    if (password.empty()) {
        if (!before.empty() && !m_keyringGone)
            deleteEntry(before);
        m_settings.remove(settings::PasswordKey);
        m_settings.remove(settings::Password);
        m_inKeyring = false;
        return;
    }
    if (!m_keyringGone) {
        const std::string name = EntryName(user, server, port);
        if (writeEntry(name, password) == Outcome::Done) {
            if (!before.empty() && before != name)
                deleteEntry(before);
            if (before != name)
                m_settings.setText(settings::PasswordKey, name);
            m_settings.remove(settings::Password);
            m_inKeyring = true;
            m_entry = name;
            return;
        }
    }
    // The file first: the password is never kept nowhere.
    m_settings.setText(settings::Password, password);
    m_settings.remove(settings::PasswordKey);
    m_inKeyring = false;
}

std::string PasswordKeeper::whereKept() const
{
    if (m_inKeyring)
        return "The password is kept in the desktop's keyring, entry \"" + m_entry + "\" of \"" + kService +
               "\"; the settings file holds none.";
    const std::string file = "the settings file " + SettingsStore::fileName() + ", which only you can read";
    if (!m_problem.empty())
        return "The keyring could not be used (" + m_problem + "): the password is kept in " + file + ".";
    return "The password is kept in " + file +
           ", until it is changed while a desktop keyring (Secret Service, KWallet) is running.";
}

} // namespace tabulon
