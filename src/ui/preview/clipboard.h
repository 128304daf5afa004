#pragma once

#include <QString>

class QAbstractItemModel;

namespace tabulon {

// Empties the clipboard once; a clipboard manager may restore what it held.
void ClearClipboard();
// Setting can fail while another program holds the clipboard: retried until
// the text reads back, up to 1000 times, then given up silently.
void SetClipboardText(const QString &text);

// The rows of a list as text: the cells of each row padded to their column's
// widest cell and joined by tabs, trailing spaces dropped, CR LF after each
// row. The ticked rows, or every row when none is ticked.
QString ListViewClipboardText(const QAbstractItemModel &model);

// Puts ListViewClipboardText on the clipboard; false (clipboard untouched)
// when the list has no rows.
bool CopyListViewToClipboard(const QAbstractItemModel &model);

} // namespace tabulon
