#include "source/paradoxsource.h"

#include "common/error.h"
#include "common/guardedsteps.h"
#include "common/nametext.h"
#include "common/programfolder.h"
#include "common/text.h"
#include "fs/filelister.h"
#include "fs/foldercopy.h"
#include "fs/nativefs.h"
#include "fs/subfolderwalk.h"
#include "source/paradox/codepage.h"
#include "source/paradox/paradoxtable.h"
#include "target/odbcstring.h"

#include <cstring>
#include <optional>
#include <set>

namespace tabulon {
namespace {

std::optional<std::string> fromHeaderCodePage(const std::string &bytes, const std::string &path)
{
    try {
        const paradox::ParadoxTable table(path);
        std::string out;
        paradox::CodePage::forNumber(table.codePage())
            .decode(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), out);
        return out;
    } catch (const std::exception &) {
        // Unreadable or damaged: its conversion will say so.
        return std::nullopt;
    }
}

void createFolder(const std::string &path)
{
    if (const int err = native::MakeFolder(path))
        throw Error("Could not create the folder " + path + ": " + std::strerror(err));
}

} // namespace

void CopyDB(MainHost &host, bool sampleDatabase)
{
    GuardedProcedure proc(host, "Paradox.CopyDB");
    if (proc.decide(100, [&] { return Trimmed(host.fieldText(1), " ").find(' ') == std::string::npos; }))
        return;
    std::string word;
    if (proc.decide(102, [&] { return sampleDatabase; }))
        proc.step(104, [&] { word = "sample"; });
    else
        proc.step(106, [&] { word = "Your"; });
    std::string target;
    proc.step(108, [&] { target = ProgramDriveRoot() + "TestDB"; });
    // A folder inside the copy's folder would be emptied before it is read;
    // it is read where it is.
    if (IsWithinFolder(host.fieldText(1), target))
        return;
    // An earlier copy's tables would be converted with this folder's: the
    // run must read exactly the chosen folder's.
    std::vector<std::string> earlier;
    bool listed = true;
    if (IsFolder(target))
        listed = proc.step(110, [&] { earlier = ParadoxFilesIn(target); });
    if (!listed)
        return;
    if (proc.decide(110, [&] {
            const std::string action = earlier.empty()
                                           ? "create the folder " + target
                                           : "delete the Paradox files (tables, memos, indexes; " +
                                                 std::to_string(earlier.size()) + " in all) in the folder " + target +
                                                 " and its sub-folders, keep its other files,";
            return !host.askYesNo("In some cases the software needs to use a folder without spaces.\r\n"
                                  "Is it OK to " +
                                  action + " and put " + word + " db files in it?");
        }))
        return;
    // 112: there is no file-system object to create.
    if (proc.decide(114, [&] { return !IsFolder(target); }))
        proc.step(116, [&] { createFolder(target); });
    if (proc.decide(118, [&] { return IsFolder(target); }) && proc.step(120, [&] { DeleteFiles(earlier); })) {
        proc.step(120, [&] { CopyFolderContents(host.fieldText(1), target); });
        proc.step(122, [&] { host.setFieldText(1, target); });
    }
    // 124: nor one to release.
}

bool FolderHasDbFiles(const MainHost &host) { return FolderTablesProblem(host).empty(); }

std::string FolderTablesProblem(const MainHost &host)
{
    const std::string folder = host.fieldText(1);
    if (folder.empty())
        return "No Paradox folder is given. Choose the folder that holds your .db files.";
    if (!IsFolder(folder))
        return "The folder " + folder +
               " does not exist or is not a folder. Choose the folder that "
               "holds your .db files.";
    if (const int err = native::CheckFolderAccess(folder))
        return "The folder " + folder + " could not be read: " + std::strerror(err) + ". Check that you may open it.";
    // Sub-folders that cannot be read are reported when the run lists the
    // tables; this check only looks.
    SilentHost quiet;
    try {
        if (!FindParadoxTables(quiet, folder).empty())
            return {};
    } catch (const std::exception &e) {
        return "The folder " + folder + " could not be read: " + e.what();
    }
    return "The folder " + folder +
           " holds no Paradox tables (*.db files), neither directly nor in "
           "its sub-folders. Choose the folder that holds your .db files.";
}

std::vector<ParadoxTableFile> FindParadoxTables(MessageHost &host, const std::string &folder)
{
    std::vector<ParadoxTableFile> tables;
    if (folder.empty())
        return tables;
    // A folder typed with its trailing "/" keeps a single one.
    const std::string top = native::IsSeparator(folder.back()) ? folder : folder + "/";
    std::vector<std::string> folders{top};
    GetSubDirectories2016(host, folders, true);
    // Names are given in this order, so it must not hang on the file system.
    SortFolderTree(folders);
    std::set<std::string> taken;
    for (const std::string &each : folders) {
        std::string prefix;
        if (each.size() > top.size() && each.compare(0, top.size(), top) == 0) {
            prefix = each.substr(top.size(), each.size() - top.size() - 1);
            for (char &c : prefix)
                if (native::IsSeparator(c))
                    c = '_';
            prefix = UpperCase(PrintableName(prefix)) + "_";
        }
        for (const std::string &file : ListFiles(each, "*.db")) {
            if (file.front() == '~')
                continue;
            const std::string path = each + file;
            const std::string name = ParadoxTableName(FileNameText(FileNameFromPath(path), path));
            std::string unique = name;
            if (taken.count(CaseFolded(unique))) {
                unique = prefix + name;
                for (int n = 2; taken.count(CaseFolded(unique)); ++n)
                    unique = prefix + name + "_" + std::to_string(n);
            }
            taken.insert(CaseFolded(unique));
            tables.push_back({unique, path});
        }
    }
    return tables;
}

void ListParadoxTables(MainHost &host, std::vector<std::string> &list, std::vector<std::string> *files)
{
    const std::string folder = host.fieldText(1);
    list.clear();
    if (files)
        files->clear();
    for (ParadoxTableFile &table : FindParadoxTables(host, folder)) {
        list.push_back(std::move(table.name));
        if (files)
            files->push_back(std::move(table.path));
    }
}

std::string FileNameText(const std::string &fileName, const std::string &path)
{
    if (IsUtf8(fileName))
        return fileName;
    if (auto text = native::NameFromLocale(fileName))
        return *text;
    if (auto text = fromHeaderCodePage(fileName, path))
        return *text;
    return PrintableName(fileName);
}

std::string ParadoxTableName(const std::string &fileName)
{
    const std::string name = UpperCase(PrintableName(fileName));
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
    const bool blankAtAnEnd = !folder.empty() &&
                              (IsAsciiWhiteSpace(folder.front()) || IsAsciiWhiteSpace(folder.back()));
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (blankAtAnEnd ? OdbcBraced(folder) : OdbcValue(folder)) +
           ";Extended Properties=Paradox 5.x;";
}

} // namespace tabulon
