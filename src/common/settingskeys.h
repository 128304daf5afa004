#pragma once

#include <string>

namespace tabulon {

// Every key of the per-user store (organisation "Korvanto", group "Tabulon"),
// with its default. Values are kept as text; numbers and booleans in the
// stored forms below.
struct TextSetting {
    const char *name;
    const char *defaultValue;
};
// Stored as decimal text ("1", "0").
struct NumberSetting {
    const char *name;
    int defaultValue;
};
// Stored as "True" / "False"; read back from those or from any number.
struct BooleanSetting {
    const char *name;
    bool defaultValue;
};

namespace settings {
inline constexpr TextSetting ParadoxFolder{"ParadoxFolder", ""};
inline constexpr TextSetting Server{"Server", "localhost"};
inline constexpr TextSetting Port{"Port", "3306"};
inline constexpr TextSetting User{"User", ""};
// Only while no keyring holds the password (keyring/passwordkeeper.h).
inline constexpr TextSetting Password{"Password", ""};
// The keyring entry holding the password ("user@server:port"), written with
// it; empty when the file holds the password.
inline constexpr TextSetting PasswordKey{"PasswordKey", ""};
inline constexpr TextSetting Database{"Database", ""};
inline constexpr NumberSetting Check1{"Check1", 1};
inline constexpr BooleanSetting Option1{"Option1", true};
inline constexpr BooleanSetting Option2{"Option2", false};
// Written by nothing in the program: the folder chooser only starts there.
inline constexpr TextSetting LastFolderDot{"LastFolderDot", ""};
// "1": one statement per row in direct mode instead of multi-row batches.
inline constexpr NumberSetting RowByRow{"RowByRow", 0};
// "1": after each table the server digests the values it stored, to be
// compared with those sent; "0": only its rows are counted.
inline constexpr NumberSetting VerifyValues{"VerifyValues", 1};
// "Native": MySQL's own column types and primary keys; "Text": the original
// mapping. Anything else reads as "Text".
inline constexpr TextSetting ColumnTypes{"ColumnTypes", "Text"};
// The MySQL protocol's compression: "0" never, "1" always; anything else
// (the default) for a server not reached over a loopback address.
inline constexpr TextSetting Compression{"Compression", ""};
// The encryption of the MySQL connection, as the mysql client names it:
// DISABLED, PREFERRED (the default), REQUIRED, VERIFY_CA, VERIFY_IDENTITY;
// and the CA file the server's certificate is checked against, and a
// client certificate with its key.
inline constexpr TextSetting SslMode{"SslMode", "PREFERRED"};
inline constexpr TextSetting SslCa{"SslCa", ""};
inline constexpr TextSetting SslCert{"SslCert", ""};
inline constexpr TextSetting SslKey{"SslKey", ""};
// "Auto" or the number of the code page every table's text is read in.
inline constexpr TextSetting CodePage{"CodePage", "Auto"};

// The key behind entry field Text1..Text6.
const TextSetting &FieldSetting(int n);
} // namespace settings

// Reads and writes the store. Every write reaches the store at once; the
// store is readable by its owner only, since it may hold the password.
class SettingsStore {
public:
    std::string text(const TextSetting &key) const;
    // The key's default when nothing is stored or the stored text cannot
    // be converted: a hand-edited file never stops a command.
    int number(const NumberSetting &key) const;
    bool boolean(const BooleanSetting &key) const;
    // Throw Error naming the stored text when it cannot be converted: for
    // the start-up steps that report a bad value at their own step.
    int checkedNumber(const NumberSetting &key) const;
    bool checkedBoolean(const BooleanSetting &key) const;

    void setText(const TextSetting &key, const std::string &value);
    void setNumber(const NumberSetting &key, int value);
    void setBoolean(const BooleanSetting &key, bool value);
    // Removes the key from the file; reading it then gives its default.
    void remove(const TextSetting &key);

    // Where the store lives (tests, the demo): a file, or a registry key on
    // Windows.
    static std::string fileName();
    // The folder for files kept with the settings.
    static std::string folder();
};

// The conversions on their own, so that their rules can be checked directly.
int SettingToNumber(const std::string &name, const std::string &stored);
bool SettingToBoolean(const std::string &name, const std::string &stored);

} // namespace tabulon
