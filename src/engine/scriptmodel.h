#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace tabulon {

// The script list: SQL lines with their check marks, as a one-column model
// headed "SQL Preview". A plain vector underneath, so a million lines cost
// little more than their text.
class ScriptModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ScriptModel(QObject *parent = nullptr);

    // Core-side access, 0-based.
    int lineCount() const { return static_cast<int>(m_lines.size()); }
    const std::string &line(int row) const { return m_lines[static_cast<size_t>(row)]; }
    void setLine(int row, std::string text);
    bool isChecked(int row) const { return m_checked[static_cast<size_t>(row)]; }
    void setChecked(int row, bool checked);
    void append(std::string line);
    void clear();

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<std::string> m_lines;
    std::vector<bool> m_checked;
};

} // namespace tabulon
