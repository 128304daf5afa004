#include "engine/run/runjournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace tabulon {
namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }
std::string s(const QJsonValue &v) { return v.toString().toStdString(); }

void FileStamp(const std::string &file, int64_t &size, int64_t &modified)
{
    const QFileInfo info(q(file));
    size = info.exists() ? info.size() : -1;
    modified = info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
}

const char *StateName(RunJournal::Table::State state)
{
    switch (state) {
    case RunJournal::Table::State::Done: return "done";
    case RunJournal::Table::State::Cut: return "cut";
    default: return "pending";
    }
}

} // namespace

bool RunJournal::load(const std::string &folder, const MySqlLogin &login)
{
    m_tables.clear();
    if (m_path.empty())
        return false;
    QFile file(q(m_path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    if (s(root["folder"]) != folder || s(root["server"]) != login.serverAndPort() ||
        s(root["database"]) != login.database)
        return false;
    m_folder = folder;
    m_server = login.serverAndPort();
    m_database = login.database;
    for (const QJsonValue &v : root["tables"].toArray()) {
        const QJsonObject o = v.toObject();
        Table t;
        t.name = s(o["name"]);
        t.file = s(o["file"]);
        t.size = o["size"].toInteger(-1);
        t.modified = o["modified"].toInteger(-1);
        const std::string state = s(o["state"]);
        t.state = state == "done" ? Table::State::Done : state == "cut" ? Table::State::Cut : Table::State::Pending;
        t.settledRows = o["settled"].toInteger();
        t.storedRows = o["stored"].toInteger();
        t.refusedRows = o["refused"].toInteger();
        m_tables.push_back(t);
    }
    return finishedCount() < tableCount();
}

int RunJournal::finishedCount() const
{
    return int(
        std::count_if(m_tables.begin(), m_tables.end(), [](const Table &t) { return t.state == Table::State::Done; }));
}

const RunJournal::Table *RunJournal::unchanged(const std::string &name, const std::string &file) const
{
    for (const Table &t : m_tables) {
        if (t.name != name || t.file != file)
            continue;
        int64_t size = 0, modified = 0;
        FileStamp(file, size, modified);
        return size == t.size && modified == t.modified ? &t : nullptr;
    }
    return nullptr;
}

void RunJournal::begin(const std::string &folder, const MySqlLogin &login, const std::vector<std::string> &names,
                       const std::vector<std::string> &files)
{
    if (m_path.empty())
        return;
    m_folder = folder;
    m_server = login.serverAndPort();
    m_database = login.database;
    m_tables.clear();
    for (std::size_t i = 0; i < names.size() && i < files.size(); ++i) {
        Table t;
        t.name = names[i];
        t.file = files[i];
        FileStamp(t.file, t.size, t.modified);
        m_tables.push_back(t);
    }
    write();
}

RunJournal::Table RunJournal::entry(const std::string &name) const
{
    for (const Table &t : m_tables)
        if (t.name == name)
            return t;
    return {};
}

void RunJournal::record(const Table &table)
{
    if (m_path.empty())
        return;
    for (Table &t : m_tables)
        if (t.name == table.name)
            t = table;
    write();
}

void RunJournal::endIfFinished()
{
    if (!m_path.empty() && finishedCount() == tableCount())
        QFile::remove(q(m_path));
}

void RunJournal::write() const
{
    QJsonArray tables;
    for (const Table &t : m_tables)
        tables.append(QJsonObject{{"name", q(t.name)},
                                  {"file", q(t.file)},
                                  {"size", qint64(t.size)},
                                  {"modified", qint64(t.modified)},
                                  {"state", StateName(t.state)},
                                  {"settled", qint64(t.settledRows)},
                                  {"stored", qint64(t.storedRows)},
                                  {"refused", qint64(t.refusedRows)}});
    const QJsonObject root{
        {"folder", q(m_folder)}, {"server", q(m_server)}, {"database", q(m_database)}, {"tables", tables}};
    // Beside the settings, whose folder a first run may not have made yet.
    QDir().mkpath(QFileInfo(q(m_path)).absolutePath());
    // Written whole or not at all: a crash mid-write must not lose the last one.
    QSaveFile file(q(m_path));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(root).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

} // namespace tabulon
