#pragma once

#include <QAbstractListModel>

#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {

// The script list: SQL lines with their check marks, as a one-column model
// headed "SQL Preview". A plain vector underneath, so a million lines cost
// little more than their text.
//
// Views show each line as one row of text: its first line, at most
// kShownBytes of it, with an ellipsis when there is more. The model keeps the
// length of each shown text, so the widest row is found without measuring a
// million texts. EditRole and line() give the whole line.
//
// Each line also remembers whether the server has accepted it since the list
// was filled, so that Execute SQL never sends a line twice. Changing a line's
// text forgets that, also while the old text is still on its way.
class ScriptModel : public QAbstractListModel {
    Q_OBJECT
public:
    // data(): true on a line the server has accepted.
    static constexpr int ExecutedRole = Qt::UserRole + 1;

    // Longer single-line statements (a row with a large memo) show this much
    // of their text: laying out megabytes for every paint would stall the list.
    static constexpr int kShownBytes = 4000;

    explicit ScriptModel(QObject *parent = nullptr);

    // Core-side access, 0-based.
    int lineCount() const { return static_cast<int>(m_lines.size()); }
    const std::string &line(int row) const { return m_lines[static_cast<size_t>(row)]; }
    // A different text makes the line not executed.
    void setLine(int row, std::string text);
    bool isChecked(int row) const { return m_flags[static_cast<size_t>(row)] & kChecked; }
    void setChecked(int row, bool checked);
    void append(std::string line);
    void clear();

    // The line whose shown text is the longest in bytes, -1 when there is
    // none; the row views size their column by.
    int longestShownLine() const;

    // Execution bookkeeping. A line is sent when its statement is handed to
    // the server (or queued for a batch) and executed once the server has
    // accepted it, unless its text changed in between. dropSent() forgets
    // the lines still waiting (a stopped batch never reached the server).
    // Views learn of new marks at publishExecuted(), so a batch of a thousand
    // lines is one notification.
    bool isExecuted(int row) const { return m_flags[static_cast<size_t>(row)] & kExecuted; }
    void markSent(int row);
    void markAccepted(int row);
    void dropSent();
    void publishExecuted();

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    enum : uint8_t { kChecked = 1, kSent = 2, kExecuted = 4 };

    std::vector<std::string> m_lines;
    std::vector<uint8_t> m_flags;
    // Bytes of each line's text that the list shows.
    std::vector<uint16_t> m_shown;
    // -1 when unknown: the longest line got shorter, so search again on demand.
    mutable int m_longest = -1;
    // Rows marked executed and not yet announced; first > last when none.
    int m_unpublishedFirst = 1;
    int m_unpublishedLast = 0;
};

} // namespace tabulon
