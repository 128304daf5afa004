#include "engine/run/listroutines.h"
#include "engine/script/datatypemodel.h"
#include "engine/script/scriptmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <chrono>

using namespace tabulon;

namespace {

const char *const kTip = "Click item to edit it. Move | line to right and out of window to reveal full names.";

TEST(ScriptModel, HeaderToolTipAndCheckableRows)
{
    ScriptModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(static_cast<QAbstractItemModel &>(model).columnCount(), 1);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "SQL Preview");
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(), kTip);

    model.append("CREATE TABLE `T`(`A` TEXT);");
    model.append("INSERT INTO `T` VALUES('ü')");
    ASSERT_EQ(model.rowCount(), 2);
    const QModelIndex second = model.index(1, 0);
    EXPECT_EQ(model.data(second, Qt::DisplayRole).toString(), QString::fromUtf8("INSERT INTO `T` VALUES('ü')"));
    EXPECT_EQ(model.data(second, Qt::ToolTipRole).toString(), kTip);
    EXPECT_TRUE(model.flags(second) & Qt::ItemIsUserCheckable);
    EXPECT_EQ(model.data(second, Qt::CheckStateRole).toInt(), Qt::Unchecked);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(model.setData(second, Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(model.isChecked(1));
    EXPECT_FALSE(model.isChecked(0));
    EXPECT_EQ(changed.count(), 1);

    model.setLine(0, "edited");
    EXPECT_EQ(model.line(0), "edited");
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "edited");
    EXPECT_EQ(changed.count(), 2);

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(reset.count(), 1);
    model.append("again");
    EXPECT_FALSE(model.isChecked(0)) << "a cleared list must not keep old check marks";
}

TEST(ScriptModel, OnlyALineTheServerAcceptedUneditedIsExecuted)
{
    ScriptModel model;
    for (const char *line : {"a", "b", "c", "d"})
        model.append(line);
    for (int row = 0; row < 4; ++row)
        model.markSent(row);
    model.setLine(1, "b edited while on its way");
    model.markAccepted(0);
    model.markAccepted(1);
    model.markAccepted(3);
    model.dropSent(); // "c" was never sent
    model.markAccepted(2);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.publishExecuted();
    ASSERT_EQ(changed.count(), 1) << "one notice for the whole batch";
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 3);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(model.data(model.index(row, 0), ScriptModel::ExecutedRole).toBool(), row == 0 || row == 3) << row;
    EXPECT_NE(model.data(model.index(0, 0), Qt::ToolTipRole).toString(), kTip);

    model.setLine(0, "a");
    EXPECT_TRUE(model.isExecuted(0)) << "the same text again is no edit";
    model.setLine(0, "A");
    EXPECT_FALSE(model.isExecuted(0));
    model.clear();
    model.append("a");
    EXPECT_FALSE(model.isExecuted(0)) << "a new list has run nowhere";
}

TEST(ScriptModel, ARowShowsTheFirstLineWithinTheLimitAndTracksTheLongest)
{
    ScriptModel model;
    auto shown = [&](int row) { return model.data(model.index(row, 0), Qt::DisplayRole).toString(); };
    const QString more = QString(QChar(0x2026));
    const std::string limit(ScriptModel::kShownBytes - 1, 'x');
    const std::vector<std::string> lines = {
        "INSERT INTO `T` VALUES('one')",
        "INSERT INTO `T`\r\nVALUES(1)",
        "\nVALUES(1)",
        "a\xE2\x80\xA8"
        "b",                         // U+2028, a line separator to Qt
        "\xE2\x82\xAC 5",            // U+20AC shares the lead byte only
        limit + "\xC3\xBC" + "tail", // ü straddles the limit
        "VALUES('" + std::string(9000, 'y') + "')",
    };
    for (const std::string &line : lines)
        model.append(line);
    EXPECT_EQ(shown(0), "INSERT INTO `T` VALUES('one')");
    EXPECT_EQ(shown(1), "INSERT INTO `T`" + more);
    EXPECT_EQ(shown(2), more);
    EXPECT_EQ(shown(3), "a" + more);
    EXPECT_EQ(shown(4), QString::fromUtf8("\xE2\x82\xAC 5"));
    EXPECT_EQ(shown(5), QString::fromStdString(limit) + more) << "cut before the character, not inside it";
    EXPECT_EQ(shown(6).size(), ScriptModel::kShownBytes + 1);
    for (size_t row = 0; row < lines.size(); ++row) {
        EXPECT_EQ(model.line(static_cast<int>(row)), lines[row]);
        EXPECT_EQ(model.data(model.index(static_cast<int>(row), 0), Qt::EditRole).toString(),
                  QString::fromStdString(lines[row]));
    }

    // Only the shown text counts; edits move the longest both ways.
    EXPECT_EQ(model.longestShownLine(), 6);
    model.setLine(6, "short");
    EXPECT_EQ(model.longestShownLine(), 5);
    model.setLine(0, std::string(ScriptModel::kShownBytes, 'z'));
    EXPECT_EQ(model.longestShownLine(), 0);
    model.setLine(0, "first\nthen " + std::string(9000, 'z'));
    EXPECT_EQ(model.longestShownLine(), 5);
    model.clear();
    EXPECT_EQ(model.longestShownLine(), -1);
}

TEST(ScriptModel, AMillionAppendsStayCheap)
{
    ScriptModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1'000'000; ++i)
        model.append("INSERT INTO `T` VALUES(1, 'x')");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(model.lineCount(), 1'000'000);
    EXPECT_EQ(inserted.count(), 1'000'000);
    // Printed, not asserted: timings vary with the machine's load.
    std::printf("1,000,000 appends with a listener: %.3f s\n", seconds);
}

TEST(DatatypeModel, FourColumnsInOrder)
{
    DatatypeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    const char *headers[] = {"Paradox Table", "Paradox Table Field", "Paradox Field Datatype",
                             "New MS SQL Server Datatype"};
    ASSERT_EQ(model.columnCount(), 4);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headers[c]);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(), kTip);

    model.addDatatypeLine({"CUSTOMER", "Name", "char", "TEXT"});
    model.addDatatypeLine({"CUSTOMER", "Id", "int", "INT", {}, true});
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(), "CUSTOMER");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), "Name");
    EXPECT_EQ(model.data(model.index(1, 1), Qt::DisplayRole).toString(), "Id (key)");
    EXPECT_EQ(model.data(model.index(1, 2), Qt::DisplayRole).toString(), "int");
    EXPECT_EQ(model.data(model.index(1, 3), Qt::DisplayRole).toString(), "INT");
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(ListRoutines, ContainsIgnoresCaseRemoveDoesNot)
{
    std::vector<std::string> list{"orders", "Customer", "ÄRGER", "Customer"};
    EXPECT_TRUE(ListContains(list, "CUSTOMER"));
    EXPECT_TRUE(ListContains(list, "ORDERS"));
    EXPECT_TRUE(ListContains(list, "ärger"));
    EXPECT_FALSE(ListContains(list, "order"));
    RemoveListEntry(list, "customer");
    EXPECT_EQ(list.size(), 4u);
    RemoveListEntry(list, "Customer");
    EXPECT_EQ(list, (std::vector<std::string>{"orders", "ÄRGER"}));

    const Value fallback = Value::text("");
    EXPECT_EQ(&NullToDefault(Value::null(), fallback), &fallback);
    const Value three = Value::integer(3);
    EXPECT_EQ(&NullToDefault(three, fallback), &three);
}

// On a server that keeps names case-sensitively, Yes for CUSTOMER must not
// drop customer.
TEST(ListRoutines, TheTableToDropIsTheExactNameBeforeACaseDifferentOne)
{
    const std::vector<std::string> both{"customer", "CUSTOMER"};
    EXPECT_EQ(FindListEntry(both, "CUSTOMER"), "CUSTOMER");
    EXPECT_EQ(FindListEntry(both, "customer"), "customer");
    EXPECT_EQ(FindListEntry({"orders", "Customer"}, "CUSTOMER"), "Customer");
    EXPECT_EQ(FindListEntry({"orders"}, "CUSTOMER"), "CUSTOMER");
}

} // namespace
