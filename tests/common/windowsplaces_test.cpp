// Windows only: where the copy of a folder with spaces goes, how paths with
// "\" split, and where the settings live.
#include "common/programfolder.h"
#include "common/programfolder_native.h"
#include "common/settingskeys.h"
#include "fs/filelister.h"

#include <QSettings>

#include <gtest/gtest.h>

namespace tabulon {
namespace {

TEST(WindowsPlaces, DriveRootIsTheProgramsDriveOrShare)
{
    EXPECT_EQ(native::DefaultDriveRoot("C:/Program Files/Tabulon"), "C:\\");
    EXPECT_EQ(native::DefaultDriveRoot("D:\\Tools\\Tabulon"), "D:\\");
    EXPECT_EQ(native::DefaultDriveRoot("\\\\server\\share\\apps\\Tabulon"), "\\\\server\\share\\");
    EXPECT_EQ(native::DefaultDriveRoot("//server/share"), "\\\\server\\share\\");
    EXPECT_EQ(FileNameFromPath("C:\\Data\\Paradox\\Orders.DB"), "Orders.DB");
    EXPECT_EQ(FileNameFromPath("\\\\server\\share\\a/b.db"), "b.db");
    EXPECT_TRUE(IsFolder("C:\\windows"));
    EXPECT_TRUE(IsFolder("C:/windows/"));
}

TEST(WindowsPlaces, SettingsInTheRegistry)
{
    SettingsStore store;
    const std::string before = store.text(settings::Database);
    store.setText(settings::Database, "Продажи");
    QSettings registry(QStringLiteral("HKEY_CURRENT_USER\\Software\\Korvanto\\Tabulon"), QSettings::NativeFormat);
    EXPECT_EQ(registry.value(QStringLiteral("Tabulon/Database")).toString(), QStringLiteral("Продажи"));
    EXPECT_EQ(store.text(settings::Database), "Продажи");
    store.setText(settings::Database, before);
    EXPECT_EQ(SettingsStore::fileName(), "\\HKEY_CURRENT_USER\\Software\\Korvanto\\Tabulon");
    // A registry key holds no files: the journal goes to the local application data.
    const std::string folder = SettingsStore::folder();
    EXPECT_NE(folder.find("AppData/Local/Korvanto/Tabulon"), std::string::npos) << folder;
}

} // namespace
} // namespace tabulon
