#include "engine/script/datatypemodel.h"

#include <array>

namespace tabulon {
namespace {

const char *const kListToolTip = "Click item to edit it. Move | line to right and out of window to reveal full names.";

constexpr std::array<const char *, 4> kHeaders = {"Paradox Table", "Paradox Table Field", "Paradox Field Datatype",
                                                  "New MS SQL Server Datatype"};

} // namespace

DatatypeModel::DatatypeModel(QObject *parent) : QAbstractTableModel(parent) {}

void DatatypeModel::addDatatypeLine(DatatypeLine line)
{
    const int row = static_cast<int>(m_lines.size());
    beginInsertRows({}, row, row);
    m_lines.push_back(std::move(line));
    endInsertRows();
}

void DatatypeModel::clear()
{
    if (m_lines.empty())
        return;
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

int DatatypeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

int DatatypeModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(kHeaders.size());
}

QVariant DatatypeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const DatatypeLine &line = m_lines[static_cast<size_t>(index.row())];
    if (role == Qt::ToolTipRole)
        return line.note.empty() ? QString::fromLatin1(kListToolTip) : QString::fromStdString(line.note);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0: return QString::fromStdString(line.table);
    // Key fields marked: native types make them the primary key.
    case 1: return QString::fromStdString(line.key ? line.field + " (key)" : line.field);
    case 2: return QString::fromStdString(line.keyword);
    default:
        // Why the type is not the one the mapping gives stands beside it.
        if (!line.note.empty())
            return QString::fromStdString(line.mysqlType.empty() ? line.note : line.mysqlType + " \u2014 " + line.note);
        return QString::fromStdString(line.mysqlType);
    }
}

QVariant DatatypeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kHeaders[static_cast<size_t>(section)]);
    if (role == Qt::ToolTipRole)
        return QString::fromLatin1(kListToolTip);
    return {};
}

} // namespace tabulon
