#include "previewfixture.h"

#include "common/guardedsteps.h"
#include "engine/script/datatypemodel.h"
#include "ui/preview/clipboard.h"
#include "ui/preview/form3.h"
#include "ui/preview/form4.h"
#include "ui/preview/form5.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimer>

namespace tabulon::test {
namespace {

const char *const kCopied = "Results have been copied to the clipboard.\r\rClick a text area where you normally type "
                            "and press Ctrl+V to paste the clipboard.";

std::string Report(const std::string &description, const char *location, int step)
{
    return ApplicationErrorText(description, ReportProject::Quorvex, location, step);
}

// ---- closing and its outcome ---------------------------------------------

TEST_F(PreviewTest, EachWayOfClosingSetsExactlyItsFlags)
{
    struct Case {
        const char *name;
        std::function<void(QWidget *)> act;
        bool wantOk, wantStop;
    };
    const std::vector<Case> cases = {
        {"execute", [this](QWidget *w) { click("PushButton1", w); }, true, false},
        {"skip", [this](QWidget *w) { click("PushButton9", w); }, false, false},
        {"back", [this](QWidget *w) { click("PushButton5", w); }, false, true},
        {"close box", [](QWidget *w) { w->close(); }, false, true},
    };
    for (const Case &c : cases) {
        state.scriptList.clear();
        lines(3);
        useFake();
        state.SQLFormOK = false;
        state.StopConversion = true;
        whenModal(c.act);
        ShowPreviewWindow(nullptr, state);
        EXPECT_EQ(state.SQLFormOK, c.wantOk) << c.name;
        EXPECT_EQ(state.StopConversion, c.wantStop) << c.name;
    }
    // Back and Skip never set SQLFormOK, whatever it held.
    state.SQLFormOK = true;
    whenModal([this](QWidget *w) { click("PushButton9", w); });
    ShowPreviewWindow(nullptr, state);
    EXPECT_TRUE(state.SQLFormOK);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PreviewTest, TheWindowLooksAsItShould)
{
    lines(1);
    Form2 &w = open();
    EXPECT_EQ(w.windowTitle(), "SQL Preview - Tabulon");
    EXPECT_EQ(list()->model()->headerData(0, Qt::Horizontal).toString(), "SQL Preview");
    EXPECT_EQ(list()->toolTip(), "Click item to edit it. Move | line to right and out of window to reveal full names.");
    EXPECT_TRUE(list()->uniformRowHeights());
    EXPECT_EQ(child<QProgressBar>("ProgressBar1")->text(), "Progress Bar");
    EXPECT_EQ(child<QAbstractButton>("PushButton8")->text(), "Email Error Message To Korvanto");
}

// ---- the list's rows -----------------------------------------------------------

// The column is fitted on the next turn of the event loop, the scroll bars
// one turn later.
void settle()
{
    for (int turn = 0; turn < 3; ++turn)
        QApplication::processEvents();
}

TEST_F(PreviewTest, TheColumnFillsTheListAndScrollsSidewaysForALongLine)
{
    lines(3);
    open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QHeaderView *header = list()->header();
    QScrollBar *sideways = list()->horizontalScrollBar();
    EXPECT_EQ(header->sectionSize(0), list()->viewport()->width());
    EXPECT_FALSE(sideways->isVisible());

    // Added while the window is open, as Find and Replace or a run could.
    state.scriptList.append("INSERT INTO `t` VALUES(4, '" + std::string(400, 'w') + "')");
    settle();
    const QModelIndex longRow = state.scriptList.index(3, 0);
    EXPECT_GT(header->sectionSize(0), list()->viewport()->width());
    EXPECT_GE(header->sectionSize(0), list()->sizeHintForIndex(longRow).width()) << "no ellipsis";
    EXPECT_TRUE(sideways->isVisible());
    sideways->setValue(sideways->maximum());
    EXPECT_EQ(header->sectionViewportPosition(0) + header->sectionSize(0), list()->viewport()->width())
        << "scrolled to the line's end";

    // The longest line made short again: the column shrinks back.
    state.scriptList.setLine(3, "INSERT INTO `t` VALUES(4)");
    settle();
    EXPECT_EQ(header->sectionSize(0), list()->viewport()->width());
    EXPECT_FALSE(sideways->isVisible());

    // A wider window widens the column with it.
    window->resize(window->width() + 200, window->height());
    settle();
    EXPECT_EQ(header->sectionSize(0), list()->viewport()->width());
}

TEST_F(PreviewTest, AMultiLineLineShowsItsFirstLineInOneRowAndStaysWhole)
{
    lines(3);
    ScriptedConnection &fake = useFake();
    open();
    const QModelIndex second = state.scriptList.index(1, 0);
    const int oneLine = list()->visualRect(second).height();
    const std::string whole = "INSERT INTO `t`\r\nVALUES\n(2)";
    state.scriptList.setLine(1, whole);
    settle();
    EXPECT_EQ(second.data().toString(), QString::fromUtf8("INSERT INTO `t`\u2026"));
    EXPECT_EQ(list()->sizeHintForIndex(second).height(), list()->sizeHintForIndex(second.siblingAtRow(0)).height());
    EXPECT_EQ(list()->visualRect(second).height(), oneLine);
    EXPECT_EQ(list()->visualRect(second.siblingAtRow(2)).height(), oneLine);

    QString edited;
    whenModal([&](QWidget *d) {
        edited = child<QPlainTextEdit>("Text1", d)->toPlainText();
        click("PushButton1", d);
    });
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(second).center());
    EXPECT_EQ(edited, "INSERT INTO `t`\nVALUES\n(2)") << "Edit Line shows it whole";

    click("PushButton2");
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromStdString("INSERT INTO `t` VALUES(1)\r\n" + whole + "\r\nINSERT INTO `t` VALUES(3)\r\n"));
    click("PushButton1");
    ASSERT_EQ(fake.executed.size(), 3u);
    EXPECT_EQ(fake.executed[1], whole);
}

// ---- Execute SQL against the server --------------------------------------

TEST_F(PreviewTest, AFailureThatIsNoRefusalIsReportedOnceAndTheWindowStays)
{
    ScriptedConnection &db = useFake();
    lines(6);
    db.beforeStatementWith("(3)", [] {
        throw DbError("Commands out of sync (MySQL client error 2014)", 2014, DbError::Kind::ConnectionLost);
    });
    open();
    click("PushButton1");
    EXPECT_EQ(db.executed.size(), 3u);
    EXPECT_EQ(reports(), std::vector<std::string>{
                             Report("Commands out of sync (MySQL client error 2014)", "Form2.PushButton1_Click", 112)});
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(state.SQLFormOK);
    EXPECT_EQ(state.ErrorLine, 0);
}

// While the lines run, Execute SQL reads "Stop": a press, or Esc, ends the
// execution after the current line and the window stays; the next press
// goes on from there, never a second execution inside the first.
TEST_F(PreviewTest, StopDuringAnExecutionEndsAfterTheCurrentLineAndTheWindowStays)
{
    ScriptedConnection &db = useFake();
    lines(5);
    QString during;
    db.beforeStatementWith("(2)", [&] {
        during = child("PushButton1")->text();
        click("PushButton1");
    });
    open();
    click("PushButton1");
    EXPECT_EQ(during, "Stop");
    EXPECT_EQ(db.executed.size(), 2u);
    EXPECT_EQ(child("PushButton1")->text(), "Execute SQL");
    db.beforeStatementWith("(4)", [&] { QTest::keyClick(window.get(), Qt::Key_Escape); });
    click("PushButton1");
    EXPECT_EQ(db.executed.size(), 4u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(state.SQLFormOK);
    click("PushButton1");
    EXPECT_EQ(db.executed.size(), 5u);
    EXPECT_TRUE(state.SQLFormOK);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PreviewTest, LeavingDuringAnExecutionStopsAfterTheCurrentLineThenLeaves)
{
    struct Case {
        const char *name;
        std::function<void()> act;
        bool wantStop;
    };
    const std::vector<Case> cases = {
        {"back", [this] { click("PushButton5"); }, true},
        {"skip", [this] { click("PushButton9"); }, false},
        {"close box", [this] { window->close(); }, true},
    };
    for (const Case &c : cases) {
        state.scriptList.clear();
        lines(10);
        ScriptedConnection &db = useFake();
        state.SQLFormOK = false;
        state.StopConversion = true;
        db.beforeStatementWith("(3)", [&] { c.act(); });
        open();
        click("PushButton1");
        EXPECT_EQ(db.executed.size(), 3u) << c.name;
        EXPECT_FALSE(window->isVisible()) << c.name;
        EXPECT_FALSE(state.SQLFormOK) << c.name;
        EXPECT_EQ(state.StopConversion, c.wantStop) << c.name;
        EXPECT_EQ(state.scriptList.lineCount(), 10) << c.name;
    }
}

TEST_F(PreviewTest, EmptyListHasNothingToRun)
{
    useFake();
    open();
    click("PushButton1");
    EXPECT_EQ(plain(), std::vector<std::string>{"No SQL to run."});
    EXPECT_TRUE(window->isVisible());
}

// ---- Jump To Error Line ----------------------------------------------------

TEST_F(PreviewTest, TheErrorLineOutlivesItsWindowAndAPastTheEndJumpIsReported)
{
    ScriptedConnection &db = useFake();
    lines(9);
    db.beforeStatementWith("(7)",
                           [] { throw DbError("SQLException: refused (MySQL error 1644, SQLSTATE 45000)", 1644); });
    open();
    click("PushButton6");
    EXPECT_EQ(selectedLine(), 0) << "no error yet: nothing happens";
    click("PushButton1");
    EXPECT_EQ(state.ErrorLine, 7);
    EXPECT_EQ(selectedLine(), 7);
    EXPECT_EQ(child<QPlainTextEdit>("Text1")->toPlainText(),
              "SQLException: refused (MySQL error 1644, SQLSTATE 45000)");
    click("PushButton5");

    state.scriptList.clear();
    lines(20);
    open();
    EXPECT_TRUE(child<QPlainTextEdit>("Text1")->toPlainText().isEmpty());
    click("PushButton6");
    EXPECT_EQ(selectedLine(), 7);
    click("PushButton5");

    state.scriptList.clear();
    lines(3);
    open();
    list()->setCurrentIndex(state.scriptList.index(1, 0));
    click("PushButton6");
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_NE(reports()[0].find("in Quorvex2021/08/31.Form2.PushButton6_Click at line 102"), std::string::npos)
        << reports()[0];
    EXPECT_EQ(selectedLine(), 2);
    EXPECT_EQ(state.scriptList.lineCount(), 3);
}

// ---- edit line ------------------------------------------------------------

QPoint CheckBoxCenter(QTreeView *view, const QModelIndex &index)
{
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    option.state |= QStyle::State_Enabled;
    return view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view).center();
}

TEST_F(PreviewTest, ClickingALineEditsItAndOkKeepsTheLineBreaksAsLineFeeds)
{
    lines(5);
    open();
    const QModelIndex third = state.scriptList.index(2, 0);
    int listLine = 0;
    QString shown, selected, caption;
    whenModal([&](QWidget *d) {
        caption = d->windowTitle();
        auto *edit = child<QPlainTextEdit>("Text1", d);
        shown = edit->toPlainText();
        edit->setFocus();
        QApplication::processEvents();
        selected = edit->textCursor().selectedText();
        listLine = qobject_cast<Form4 *>(d)->ListLine;
        QTest::keyClicks(edit, "INSERT INTO `t`");
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, "VALUES");
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(edit, "(33)");
        click("PushButton2", d);
    });
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(third).center());
    EXPECT_EQ(caption, "Edit Line - Tabulon");
    EXPECT_EQ(listLine, 3);
    EXPECT_EQ(shown, "INSERT INTO `t` VALUES(3)");
    EXPECT_EQ(selected, shown) << "focus selects the whole text";
    EXPECT_EQ(state.scriptList.line(2), "INSERT INTO `t`\nVALUES\n(33)") << "Shift+Enter too";
    EXPECT_EQ(state.scriptList.line(1), "INSERT INTO `t` VALUES(2)");
    EXPECT_EQ(state.scriptList.line(3), "INSERT INTO `t` VALUES(4)");

    // Cancel after typing changes nothing.
    whenModal([&](QWidget *d) {
        QTest::keyClicks(child<QPlainTextEdit>("Text1", d), "garbage");
        click("PushButton1", d);
    });
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(third).center());
    EXPECT_EQ(state.scriptList.line(2), "INSERT INTO `t`\nVALUES\n(33)");
}

TEST_F(PreviewTest, OkWritesTheTextUnchangedCharacterForCharacter)
{
    state.scriptList.append("x");
    const std::string odd = "INSERT INTO `t` VALUES('a\xC2\xA0"
                            "b  ')  "; // no-break space, trailing blanks
    open();
    whenModal([&](QWidget *d) {
        child<QPlainTextEdit>("Text1", d)->setPlainText(QString::fromStdString(odd));
        click("PushButton2", d);
    });
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      list()->visualRect(state.scriptList.index(0, 0)).center());
    EXPECT_EQ(state.scriptList.line(0), odd);
}

// ---- copying -----------------------------------------------------------------

TEST_F(PreviewTest, CopyTakesTheTickedRowsOrAllAndSaysWhenThereIsNothing)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText("held before");
    open();
    click("PushButton2");
    EXPECT_EQ(clipboard->text(), "held before") << "empty list: clipboard untouched";
    ASSERT_EQ(plain().size(), 1u);
    EXPECT_NE(plain()[0], kCopied);
    EXPECT_NE(plain()[0].find("nothing"), std::string::npos);

    state.scriptList.append("one   ");
    state.scriptList.append("two");
    state.scriptList.append("three   ");
    click("PushButton2");
    EXPECT_EQ(clipboard->text(), "one\r\ntwo\r\nthree\r\n") << "none ticked: all rows";

    // Ticking with the mouse does not open the line for editing.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, CheckBoxCenter(list(), state.scriptList.index(2, 0)));
    EXPECT_TRUE(state.scriptList.isChecked(2));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    state.scriptList.setChecked(0, true);
    click("PushButton2");
    EXPECT_EQ(clipboard->text(), "one\r\nthree\r\n");
    EXPECT_EQ(plain().back(), kCopied);
}

TEST_F(PreviewTest, ClearingIsNotRepeatedWhenAClipboardManagerRestoresTheText)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText("kept");
    int clears = 0;
    // Like a desktop clipboard manager: the last text comes straight back.
    const auto manager = QObject::connect(clipboard, &QClipboard::dataChanged, [&] {
        if (clipboard->text().isEmpty()) {
            ++clears;
            clipboard->setText("kept");
        }
    });
    ClearClipboard();
    QObject::disconnect(manager);
    EXPECT_EQ(clears, 1);
}

TEST_F(PreviewTest, ListTextPadsColumnsToTheirWidestCell)
{
    DatatypeModel model;
    model.addDatatypeLine({"Kunden", "Nr", "integer", "INT"});
    model.addDatatypeLine({"K", "Name", "char", "TEXT"});
    EXPECT_EQ(ListViewClipboardText(model), "Kunden\tNr  \tinteger\tINT\r\n"
                                            "K     \tName\tchar   \tTEXT\r\n");
}

TEST_F(PreviewTest, CopyErrorMessageCopiesTheWholeBoxUnlessBlank)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    open();
    child<QPlainTextEdit>("Text1")->setPlainText("   ");
    click("PushButton4");
    EXPECT_EQ(clipboard->text(), "before");
    EXPECT_TRUE(boxes.empty());
    child<QPlainTextEdit>("Text1")->setPlainText(" SQLException: bad\nsecond line ");
    click("PushButton4");
    EXPECT_EQ(clipboard->text(), " SQLException: bad\nsecond line ");
    EXPECT_EQ(plain().size(), 1u);
    // Only spaces are blank; a no-break space arrives as it is.
    child<QPlainTextEdit>("Text1")->setPlainText("\t\n");
    click("PushButton4");
    EXPECT_EQ(clipboard->text(), "\t\n");
    child<QPlainTextEdit>("Text1")->setPlainText(QString::fromUtf8("near\u00a0here"));
    click("PushButton4");
    EXPECT_EQ(clipboard->text(), QString::fromUtf8("near\u00a0here"));
    EXPECT_EQ(plain().size(), 3u);
}

// ---- mail ------------------------------------------------------------------------

TEST_F(PreviewTest, TheMailAddressIsEncodedSoTheWholeErrorArrives)
{
    const QUrl url = ErrorMailUrl("It's \"bad\" & #1 100%\nline 2 ü+");
    EXPECT_EQ(url.toString(QUrl::FullyEncoded),
              "mailto:support@korvanto.example?subject=Tabulon&body=Here%20is%20the%20error%20"
              "message%20that%20I%20get%3A%20%0AIt%27s%20%22bad%22%20%26%20%231%20100%25%0A"
              "line%202%20%C3%BC%2B");
    EXPECT_EQ(url.scheme(), "mailto");

    open();
    click("PushButton8");
    EXPECT_TRUE(opened.empty()) << "blank error box: nothing opens";
    child<QPlainTextEdit>("Text1")->setPlainText("a&b");
    click("PushButton8");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], ErrorMailUrl("a&b"));
    EXPECT_TRUE(boxes.empty());

    // No mail program: the press says so and offers the clipboard instead.
    SetUrlOpener([](const QUrl &) { return false; });
    MessageBoxes::setResponder([this](const BoxRequest &r) {
        boxes.push_back(r);
        return r.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    click("PushButton8");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.startsWith("No mail program could be opened"));
    EXPECT_TRUE(boxes[1].text.startsWith("Error message have been copied"));
    EXPECT_EQ(QApplication::clipboard()->text(), "a&b");
}

// ---- find and replace ------------------------------------------------------------

TEST_F(PreviewTest, ReplaceChangesTheFirstOccurrenceOfEachLineWhateverItsCase)
{
    ScriptModel &s = state.scriptList;
    s.append("INSERT INTO `Kunden` VALUES('kunden', `KUNDEN`)");
    s.append("SELECT 1");
    s.append("DROP TABLE `kunden`");
    s.append("INSERT INTO `x` VALUES('Äpfel äpfel')");
    auto replace = [&](const QString &find, const QString &with) {
        whenModal([&](QWidget *d) {
            child<QLineEdit>("Text1", d)->setText(find);
            child<QLineEdit>("Text2", d)->setText(with);
            click("PushButton2", d);
        });
        open();
        click("PushButton3");
    };
    replace("`KUNDEN`", "`Customers`");
    EXPECT_EQ(s.line(0), "INSERT INTO `Customers` VALUES('kunden', `KUNDEN`)");
    EXPECT_EQ(s.line(1), "SELECT 1");
    EXPECT_EQ(s.line(2), "DROP TABLE `Customers`");
    EXPECT_EQ(plain(), std::vector<std::string>{"Done."});

    replace(QString::fromUtf8("äPFEL"), "Birnen");
    EXPECT_EQ(s.line(3), "INSERT INTO `x` VALUES('Birnen äpfel')");

    replace("kunden", "");
    EXPECT_EQ(s.line(0), "INSERT INTO `Customers` VALUES('', `KUNDEN`)");

    replace("", "X");
    EXPECT_EQ(s.line(1), "SELECT 1") << "an empty find text leaves the lines alone";
}

// The replacement turns the event loop: a second press meanwhile must not
// replace again in lines already changed.
TEST_F(PreviewTest, APressDuringAReplacementIsIgnored)
{
    for (int i = 0; i < 200000; ++i)
        state.scriptList.append("a");
    Form3 dialog(state.scriptList, nullptr);
    dialog.show();
    child<QLineEdit>("Text1", &dialog)->setText("a");
    child<QLineEdit>("Text2", &dialog)->setText("aa");
    auto *replace = child<QPushButton>("PushButton2", &dialog);
    bool enabledMeanwhile = true;
    QTimer::singleShot(0, &dialog, [&] {
        enabledMeanwhile = replace->isEnabled();
        replace->click();
    });
    click("PushButton2", &dialog);
    EXPECT_FALSE(enabledMeanwhile);
    EXPECT_EQ(state.scriptList.line(199999), "aa");
    EXPECT_EQ(plain(), std::vector<std::string>{"Done."});
}

TEST_F(PreviewTest, ReplaceOnAnEmptyListSaysSoAndStaysOpen)
{
    Form3 dialog(state.scriptList, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Find and Replace - Tabulon");
    child<QLineEdit>("Text1", &dialog)->setText("a");
    click("PushButton2", &dialog);
    EXPECT_EQ(plain(), std::vector<std::string>{"No SQL to run."});
    EXPECT_TRUE(dialog.isVisible());
}

// ---- datatype view ---------------------------------------------------------------

TEST_F(PreviewTest, TheDatatypeViewShowsTheRunsRowsAndKeepsThemWhenClosed)
{
    state.datatypeList.addDatatypeLine({"Kunden", "Nr", "integer", "INT"});
    const std::string codePage = "code page 1251, not the 1252 its header names";
    state.datatypeList.addDatatypeLine({"Kunden", "(text)", "CODE PAGE", codePage});
    open();
    for (int round = 0; round < 2; ++round) {
        int rows = -1;
        QStringList headers;
        QString caption;
        std::vector<int> widths;
        int codePageWidth = 0;
        whenModal([&](QWidget *d) {
            caption = d->windowTitle();
            auto *view = child<QTreeView>("ListView1", d);
            rows = view->model()->rowCount();
            codePageWidth = view->fontMetrics().horizontalAdvance(QString::fromStdString(codePage));
            for (int c = 0; c < view->model()->columnCount(); ++c) {
                headers << view->model()->headerData(c, Qt::Horizontal).toString();
                widths.push_back(view->header()->sectionSize(c));
            }
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(view->model()->index(0, 1)).center());
            click("PushButton5", d);
        });
        click("PushButton7");
        EXPECT_EQ(caption, "Datatypes Conversion - Tabulon");
        EXPECT_EQ(rows, 2) << "round " << round;
        EXPECT_EQ(headers, (QStringList{"Paradox Table", "Paradox Table Field", "Paradox Field Datatype",
                                        "New MS SQL Server Datatype"}));
        // The type column is not cut: the code-page line shows whole.
        ASSERT_EQ(widths.size(), 4u);
        EXPECT_EQ(std::vector<int>(widths.begin(), widths.begin() + 3), (std::vector<int>{113, 113, 113}));
        EXPECT_GT(widths[3], codePageWidth);
    }
    EXPECT_TRUE(boxes.empty());
}

} // namespace
} // namespace tabulon::test
