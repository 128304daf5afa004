#pragma once

#include "engine/sqlgen/tabledefinition.h"

#include <QAbstractTableModel>

#include <vector>

namespace tabulon {

// The datatype view's rows: "Paradox Table", "Paradox Table Field",
// "Paradox Field Datatype", "New MS SQL Server Datatype".
class DatatypeModel : public QAbstractTableModel, public DatatypeSink {
    Q_OBJECT
public:
    explicit DatatypeModel(QObject *parent = nullptr);

    void addDatatypeLine(DatatypeLine line) override;
    void clear();
    const std::vector<DatatypeLine> &lines() const { return m_lines; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<DatatypeLine> m_lines;
};

} // namespace tabulon
