#include "source/paradoxsource.h"

#include "common/error.h"
#include "common/guardedsteps.h"
#include "common/programfolder.h"
#include "fs/filelister.h"
#include "fs/foldercopy.h"
#include "fs/subfolderwalk.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tabulon {
namespace {

std::string trimmedBlanks(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool isUtf8(const std::string &text)
{
    const QByteArray bytes = QByteArray::fromStdString(text);
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

std::string upperCase(const std::string &text)
{
    if (isUtf8(text))
        return QString::fromStdString(text).toUpper().toStdString();
    // A name that is not UTF-8 would be mangled by decoding; keep its bytes.
    std::string out = text;
    for (char &c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

void createFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0777) != 0)
        throw Error("Could not create the folder " + path + ": " + std::strerror(errno));
}

} // namespace

void CopyDB(MainHost &host, bool sampleDatabase)
{
    GuardedProcedure proc(host, "Paradox.CopyDB");
    if (proc.decide(100, [&] { return trimmedBlanks(host.fieldText(1)).find(' ') == std::string::npos; }))
        return;
    std::string word;
    if (proc.decide(102, [&] { return sampleDatabase; }))
        proc.step(104, [&] { word = "sample"; });
    else
        proc.step(106, [&] { word = "Your"; });
    std::string target;
    proc.step(108, [&] { target = ProgramDriveRoot() + "TestDB"; });
    if (proc.decide(110, [&] {
            return !host.askYesNo("In some cases the software needs to use a folder without spaces.\r\n"
                                  "Is it OK to create the folder " + target + " and put " + word +
                                  " db files in it?");
        }))
        return;
    // 112: there is no file-system object to create.
    if (proc.decide(114, [&] { return !IsFolder(target); }))
        proc.step(116, [&] { createFolder(target); });
    if (proc.decide(118, [&] { return IsFolder(target); })) {
        proc.step(120, [&] { CopyFolderContents(host.fieldText(1), target); });
        proc.step(122, [&] { host.setFieldText(1, target); });
    }
    // 124: nor one to release.
}

bool FolderHasDbFiles(const MainHost &host)
{
    const std::string folder = host.fieldText(1);
    return !folder.empty() && !ListFiles(folder, "*.db").empty();
}

void ListParadoxTables(MainHost &host, std::vector<std::string> &list)
{
    const std::string folder = host.fieldText(1);
    list.clear();
    if (folder.empty())
        return;
    // A folder typed with its trailing "/" keeps a single one.
    std::vector<std::string> folders{folder.back() == '/' ? folder : folder + "/"};
    GetSubDirectories2016(host, folders, true);
    for (const std::string &each : folders) {
        for (const std::string &name : ListFiles(each, "*.db")) {
            if (name.front() == '~')
                continue;
            list.push_back(ParadoxTableName(FileNameFromPath(each + name)));
        }
    }
}

std::string ParadoxTableName(const std::string &fileName)
{
    std::string name = upperCase(fileName);
    // One pass from the left, as a plain text replace does: "A.D.DBB" keeps
    // the ".DB" that the removal forms.
    std::string out;
    out.reserve(name.size());
    std::size_t at = 0;
    for (;;) {
        const auto hit = name.find(".DB", at);
        out.append(name, at, hit == std::string::npos ? std::string::npos : hit - at);
        if (hit == std::string::npos)
            return out;
        at = hit + 3;
    }
}

std::string ParadoxConnectionString(const std::string &folder)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + ";Extended Properties=Paradox 5.x;";
}

} // namespace tabulon
