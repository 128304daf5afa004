#include "engine/scriptmodel.h"

#include <algorithm>

namespace tabulon {
namespace {

const char *const kListToolTip =
    "Click item to edit it. Move | line to right and out of window to reveal full names.";
const char *const kExecutedToolTip =
    "The server has accepted this line; Execute SQL does not send it again unless you edit it.\n"
    "Click item to edit it. Move | line to right and out of window to reveal full names.";

} // namespace

ScriptModel::ScriptModel(QObject *parent) : QAbstractListModel(parent) {}

void ScriptModel::setLine(int row, std::string text)
{
    std::string &line = m_lines[static_cast<size_t>(row)];
    uint8_t &flags = m_flags[static_cast<size_t>(row)];
    // The same text again is no edit: sending it once more would double it.
    if (line != text) {
        line = std::move(text);
        flags &= static_cast<uint8_t>(~(kSent | kExecuted));
    }
    const QModelIndex at = index(row, 0);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole, ExecutedRole});
}

void ScriptModel::setChecked(int row, bool checked)
{
    uint8_t &flags = m_flags[static_cast<size_t>(row)];
    if (static_cast<bool>(flags & kChecked) == checked)
        return;
    flags = checked ? (flags | kChecked) : static_cast<uint8_t>(flags & ~kChecked);
    const QModelIndex at = index(row, 0);
    emit dataChanged(at, at, {Qt::CheckStateRole});
}

void ScriptModel::markSent(int row)
{
    m_flags[static_cast<size_t>(row)] |= kSent;
}

void ScriptModel::markAccepted(int row)
{
    if (row < 0 || row >= lineCount())
        return;
    uint8_t &flags = m_flags[static_cast<size_t>(row)];
    // Not sent any more: the text was changed while the old one was on its way.
    if (!(flags & kSent))
        return;
    flags = static_cast<uint8_t>((flags & ~kSent) | kExecuted);
    if (m_unpublishedFirst > m_unpublishedLast) {
        m_unpublishedFirst = m_unpublishedLast = row;
    } else {
        m_unpublishedFirst = std::min(m_unpublishedFirst, row);
        m_unpublishedLast = std::max(m_unpublishedLast, row);
    }
}

void ScriptModel::dropSent()
{
    for (uint8_t &flags : m_flags)
        flags &= static_cast<uint8_t>(~kSent);
}

void ScriptModel::publishExecuted()
{
    if (m_unpublishedFirst > m_unpublishedLast)
        return;
    const int first = m_unpublishedFirst;
    const int last = std::min(m_unpublishedLast, lineCount() - 1);
    m_unpublishedFirst = 1;
    m_unpublishedLast = 0;
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, 0), {Qt::ToolTipRole, ExecutedRole});
}

void ScriptModel::append(std::string line)
{
    // One row per notification: with no view attached, or a hidden one that
    // lays out lazily, this costs a few hundred nanoseconds.
    const int row = lineCount();
    beginInsertRows({}, row, row);
    m_lines.push_back(std::move(line));
    m_flags.push_back(0);
    endInsertRows();
}

void ScriptModel::clear()
{
    if (m_lines.empty())
        return;
    beginResetModel();
    // Give the memory back: a million lines of an earlier run would linger.
    std::vector<std::string>().swap(m_lines);
    std::vector<uint8_t>().swap(m_flags);
    m_unpublishedFirst = 1;
    m_unpublishedLast = 0;
    endResetModel();
}

int ScriptModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : lineCount();
}

QVariant ScriptModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() != 0 || index.row() >= lineCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(line(index.row()));
    case Qt::CheckStateRole:
        return isChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole:
        return QString::fromLatin1(isExecuted(index.row()) ? kExecutedToolTip : kListToolTip);
    case ExecutedRole:
        return isExecuted(index.row());
    default:
        return {};
    }
}

bool ScriptModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != 0 || index.row() >= lineCount())
        return false;
    if (role == Qt::CheckStateRole) {
        setChecked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole) {
        setLine(index.row(), value.toString().toStdString());
        return true;
    }
    return false;
}

Qt::ItemFlags ScriptModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
           Qt::ItemNeverHasChildren;
}

QVariant ScriptModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section != 0)
        return {};
    if (role == Qt::DisplayRole)
        return QStringLiteral("SQL Preview");
    if (role == Qt::ToolTipRole)
        return QString::fromLatin1(kListToolTip);
    return {};
}

} // namespace tabulon
