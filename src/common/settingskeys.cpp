#include "common/settingskeys.h"

#include "common/error.h"
#include "common/settingsfile.h"

#include <QDir>

#include <cmath>
#include <limits>
#include <optional>

namespace tabulon {
namespace settings {

const TextSetting &FieldSetting(int n)
{
    static const TextSetting *const fields[] = {&ParadoxFolder, &Server, &Port, &User, &Password, &Database};
    if (n < 1 || n > 6)
        throw Error("There is no entry field Text" + std::to_string(n) + ".");
    return *fields[n - 1];
}

} // namespace settings

namespace {

constexpr const char *kOrganisation = "Korvanto";
constexpr const char *kApplication = "Tabulon";
constexpr const char *kGroup = "Tabulon";

std::unique_ptr<QSettings> open()
{
    auto s = native::OpenSettings(kOrganisation, kApplication);
    s->beginGroup(kGroup);
    return s;
}

// No value removes the key.
void write(const char *key, const std::optional<QString> &value)
{
    auto s = open();
    native::BeforeSettingsWrite(*s);
    if (value)
        s->setValue(QString::fromLatin1(key), *value);
    else
        s->remove(QString::fromLatin1(key));
    s->sync();
    native::AfterSettingsWrite(*s);
    if (s->status() != QSettings::NoError)
        throw Error("Could not write the setting \"" + std::string(key) + "\" to " +
                    QDir::toNativeSeparators(s->fileName()).toStdString() + ".");
}

bool readStored(const char *key, std::string &out)
{
    auto s = open();
    const QVariant v = s->value(QString::fromLatin1(key));
    if (!v.isValid())
        return false;
    // A value with a comma comes back from the ini form as a list.
    out = (v.typeId() == QMetaType::QStringList ? v.toStringList().join(',') : v.toString()).toStdString();
    return true;
}

bool parseNumber(const std::string &stored, double &out)
{
    bool ok = false;
    out = QString::fromStdString(stored).trimmed().toDouble(&ok);
    return ok && std::isfinite(out);
}

} // namespace

int SettingToNumber(const std::string &name, const std::string &stored)
{
    double d = 0;
    if (!parseNumber(stored, d) || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
        throw Error("The stored setting \"" + name + "\" = \"" + stored + "\" is not a whole number.");
    return static_cast<int>(std::nearbyint(d));
}

bool SettingToBoolean(const std::string &name, const std::string &stored)
{
    const QString t = QString::fromStdString(stored).trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    double d = 0;
    if (!parseNumber(stored, d))
        throw Error("The stored setting \"" + name + "\" = \"" + stored + "\" is neither True, False nor a number.");
    return d != 0;
}

std::string SettingsStore::text(const TextSetting &key) const
{
    std::string v;
    return readStored(key.name, v) ? v : std::string(key.defaultValue);
}

int SettingsStore::number(const NumberSetting &key) const
{
    try {
        return checkedNumber(key);
    } catch (const Error &) {
        return key.defaultValue;
    }
}

bool SettingsStore::boolean(const BooleanSetting &key) const
{
    try {
        return checkedBoolean(key);
    } catch (const Error &) {
        return key.defaultValue;
    }
}

int SettingsStore::checkedNumber(const NumberSetting &key) const
{
    std::string v;
    return readStored(key.name, v) ? SettingToNumber(key.name, v) : key.defaultValue;
}

bool SettingsStore::checkedBoolean(const BooleanSetting &key) const
{
    std::string v;
    return readStored(key.name, v) ? SettingToBoolean(key.name, v) : key.defaultValue;
}

void SettingsStore::setText(const TextSetting &key, const std::string &value)
{
    write(key.name, QString::fromStdString(value));
}

void SettingsStore::setNumber(const NumberSetting &key, int value) { write(key.name, QString::number(value)); }

void SettingsStore::setBoolean(const BooleanSetting &key, bool value)
{
    write(key.name, value ? QStringLiteral("True") : QStringLiteral("False"));
}

void SettingsStore::remove(const TextSetting &key) { write(key.name, std::nullopt); }

std::string SettingsStore::fileName() { return open()->fileName().toStdString(); }

std::string SettingsStore::folder()
{
    auto s = open();
    return native::SettingsFolder(*s).toStdString();
}

} // namespace tabulon
