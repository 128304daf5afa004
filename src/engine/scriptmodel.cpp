#include "engine/scriptmodel.h"

namespace tabulon {
namespace {

const char *const kListToolTip =
    "Click item to edit it. Move | line to right and out of window to reveal full names.";

} // namespace

ScriptModel::ScriptModel(QObject *parent) : QAbstractListModel(parent) {}

void ScriptModel::setLine(int row, std::string text)
{
    m_lines[static_cast<size_t>(row)] = std::move(text);
    const QModelIndex at = index(row, 0);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

void ScriptModel::setChecked(int row, bool checked)
{
    if (m_checked[static_cast<size_t>(row)] == checked)
        return;
    m_checked[static_cast<size_t>(row)] = checked;
    const QModelIndex at = index(row, 0);
    emit dataChanged(at, at, {Qt::CheckStateRole});
}

void ScriptModel::append(std::string line)
{
    // One row per notification: with no view attached, or a hidden one that
    // lays out lazily, this costs a few hundred nanoseconds.
    const int row = lineCount();
    beginInsertRows({}, row, row);
    m_lines.push_back(std::move(line));
    m_checked.push_back(false);
    endInsertRows();
}

void ScriptModel::clear()
{
    if (m_lines.empty())
        return;
    beginResetModel();
    // Give the memory back: a million lines of an earlier run would linger.
    std::vector<std::string>().swap(m_lines);
    std::vector<bool>().swap(m_checked);
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
        return QString::fromLatin1(kListToolTip);
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
