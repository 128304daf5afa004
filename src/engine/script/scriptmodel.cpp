#include "engine/script/scriptmodel.h"

#include <algorithm>
#include <cstring>

namespace tabulon {
namespace {

const char *const kListToolTip = "Click item to edit it. Move | line to right and out of window to reveal full names.";
const char *const kExecutedToolTip =
    "The server has accepted this line; Execute SQL does not send it again unless you edit it.\n"
    "Click item to edit it. Move | line to right and out of window to reveal full names.";

// Bytes up to the first line break (CR, LF, or U+2028/U+2029, at which Qt
// breaks too), cut to the limit at a character boundary. memchr rather than a
// byte loop: this runs for every appended and replaced line.
uint16_t ShownBytes(const std::string &line)
{
    const char *begin = line.data();
    const char *end = begin + line.size();
    size_t n = std::min<size_t>(line.size(), ScriptModel::kShownBytes);
    for (const char c : {'\n', '\r'})
        if (const void *at = std::memchr(begin, c, n))
            n = static_cast<size_t>(static_cast<const char *>(at) - begin);
    for (const char *p = begin;; ++p) {
        p = static_cast<const char *>(std::memchr(p, '\xE2', n - static_cast<size_t>(p - begin)));
        if (!p)
            break;
        if (end - p >= 3 && p[1] == '\x80' && (p[2] == '\xA8' || p[2] == '\xA9')) {
            n = static_cast<size_t>(p - begin);
            break;
        }
    }
    if (n == ScriptModel::kShownBytes && n < line.size())
        while (n > 0 && (static_cast<unsigned char>(begin[n]) & 0xC0) == 0x80)
            --n;
    return static_cast<uint16_t>(n);
}

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
        uint16_t &shown = m_shown[static_cast<size_t>(row)];
        const uint16_t before = shown;
        shown = ShownBytes(line);
        if (m_longest == row && shown < before)
            m_longest = -1;
        else if (m_longest >= 0 && shown > m_shown[static_cast<size_t>(m_longest)])
            m_longest = row;
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

void ScriptModel::markSent(int row) { m_flags[static_cast<size_t>(row)] |= kSent; }

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
    m_shown.push_back(ShownBytes(m_lines.back()));
    if (row == 0 || (m_longest >= 0 && m_shown.back() > m_shown[static_cast<size_t>(m_longest)]))
        m_longest = row;
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
    std::vector<uint16_t>().swap(m_shown);
    m_longest = -1;
    m_unpublishedFirst = 1;
    m_unpublishedLast = 0;
    endResetModel();
}

int ScriptModel::longestShownLine() const
{
    // A scan of two bytes a line: a million lines take well under a millisecond.
    if (m_longest < 0 && !m_shown.empty())
        m_longest = static_cast<int>(std::max_element(m_shown.begin(), m_shown.end()) - m_shown.begin());
    return m_longest;
}

int ScriptModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : lineCount(); }

QVariant ScriptModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() != 0 || index.row() >= lineCount())
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const std::string &text = line(index.row());
        const qsizetype shown = m_shown[static_cast<size_t>(index.row())];
        if (static_cast<size_t>(shown) == text.size())
            return QString::fromStdString(text);
        return QString::fromUtf8(text.data(), shown) + QChar(0x2026);
    }
    case Qt::EditRole: return QString::fromStdString(line(index.row()));
    case Qt::CheckStateRole: return isChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole: return QString::fromLatin1(isExecuted(index.row()) ? kExecutedToolTip : kListToolTip);
    case ExecutedRole: return isExecuted(index.row());
    default: return {};
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
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
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
