#include "ui/preview/clipboard.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>

#include <vector>

namespace tabulon {
namespace {

constexpr int kAttempts = 1000;

// The whole text where a list shows less of it (the script list's first
// line of a multi-line statement).
QString Cell(const QAbstractItemModel &model, int row, int column)
{
    const QModelIndex index = model.index(row, column);
    const QVariant whole = model.data(index, Qt::EditRole);
    return (whole.isValid() ? whole : model.data(index, Qt::DisplayRole)).toString();
}

bool IsTicked(const QAbstractItemModel &model, int row)
{
    return model.data(model.index(row, 0), Qt::CheckStateRole).toInt() == Qt::Checked;
}

} // namespace

void ClearClipboard()
{
    // Qt reports no failure of a clear, and an empty read-back is no test of
    // one: a clipboard manager may put the previous contents straight back.
    QGuiApplication::clipboard()->clear();
}

void SetClipboardText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        clipboard->setText(text);
        if (clipboard->text() == text)
            return;
    }
}

QString ListViewClipboardText(const QAbstractItemModel &model)
{
    const int rows = model.rowCount();
    const int columns = model.columnCount();

    std::vector<char> copy(static_cast<size_t>(rows), 0);
    bool anyTicked = false;
    for (int row = 0; row < rows; ++row) {
        copy[static_cast<size_t>(row)] = IsTicked(model, row);
        anyTicked = anyTicked || copy[static_cast<size_t>(row)];
    }
    if (!anyTicked)
        std::fill(copy.begin(), copy.end(), 1);

    // With one column the padding is trimmed away again: skip measuring.
    std::vector<qsizetype> width(static_cast<size_t>(columns), 0);
    if (columns > 1) {
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column)
                width[static_cast<size_t>(column)] = std::max(width[static_cast<size_t>(column)],
                                                              Cell(model, row, column).size());
    }

    QString text;
    for (int row = 0; row < rows; ++row) {
        if (!copy[static_cast<size_t>(row)])
            continue;
        const qsizetype rowStart = text.size();
        for (int column = 0; column < columns; ++column) {
            const QString cell = Cell(model, row, column);
            text += cell;
            if (columns > 1 && cell.size() < width[static_cast<size_t>(column)])
                text += QString(width[static_cast<size_t>(column)] - cell.size(), QLatin1Char(' '));
            text += QLatin1Char('\t');
        }
        if (text.size() > rowStart)
            text.chop(1);
        qsizetype end = text.size();
        while (end > rowStart && text.at(end - 1) == QLatin1Char(' '))
            --end;
        text.truncate(end);
        text += QLatin1String("\r\n");
    }
    return text;
}

bool CopyListViewToClipboard(const QAbstractItemModel &model)
{
    if (model.rowCount() == 0)
        return false;
    const QString text = ListViewClipboardText(model);
    ClearClipboard();
    SetClipboardText(text);
    return true;
}

} // namespace tabulon
