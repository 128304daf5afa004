// Draws the preview window and the datatype view over a converted table, as
// the pictures in docs/. Usage: preview_shots DIR
#include "engine/runstate.h"
#include "ui/common/messageboxes.h"
#include "ui/preview/form2.h"
#include "ui/preview/form5.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

using namespace tabulon;

namespace {

// Refuses the fifth row, as a server whose check the data breaks would.
class RefusingConnection : public Connection {
public:
    void execute(const std::string &statement) override
    {
        if (statement.find("(5, ") != std::string::npos)
            throw DbError("SQLException: Data too long for column 'city' at row 1 "
                          "(MySQL error 1406, SQLSTATE 22001)", 1406);
    }
    std::unique_ptr<RecordSet> openRecordSet(const std::string &) override { return {}; }
    void close() override {}
    bool isOpen() const override { return true; }
};

void grab(QWidget *w, const QString &file)
{
    w->show();
    QApplication::processEvents();
    w->grab().save(file);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont("Arial", 9));
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    MessageBoxes::setResponder([](const BoxRequest &) { return QMessageBox::Ok; });

    RunState state;
    state.mysql_conn = std::make_unique<RefusingConnection>();
    state.scriptList.append("DROP TABLE `customers`");
    state.scriptList.append(
        "CREATE TABLE `customers` (`Nr` INT, `Name` TEXT, `City` VARCHAR(20), `Balance` DECIMAL(20,4), "
        "`Since` DATETIME)");
    const char *rows[] = {"1, 'Müller & Söhne', 'Köln', 1250.5, '1998-04-01 00:00:00'",
                          "2, 'O''Brien Ltd', 'Dublin', 0, '2001-11-23 00:00:00'",
                          "3, 'Nordwind', 'Hamburg', -42.75, NULL",
                          "5, 'Lindqvist', 'Sundsvall-Härnösand Airport', 310, '2003-06-30 00:00:00'",
                          "6, 'Café Sacher', 'Wien', 99.9, '1999-12-31 00:00:00'",
                          "7, 'Ibáñez', 'Sevilla', 12, '2004-02-29 00:00:00'"};
    for (const char *row : rows)
        state.scriptList.append(std::string("INSERT INTO `customers` VALUES(") + row + ")");
    state.datatypeList.addDatatypeLine({"customers", "Nr", "integer", "INT"});
    state.datatypeList.addDatatypeLine({"customers", "Name", "longvar", "LONGTEXT"});
    state.datatypeList.addDatatypeLine({"customers", "City", "char", "VARCHAR(20)"});
    state.datatypeList.addDatatypeLine({"customers", "Balance", "numeric", "DECIMAL(20,4)"});
    state.datatypeList.addDatatypeLine({"customers", "Since", "date", "DATETIME"});

    Form2 window(state, nullptr);
    window.show();
    QApplication::processEvents();
    window.findChild<QPushButton *>("PushButton1")->click();
    grab(&window, dir + "/preview-window.png");

    Form5 view(state.datatypeList, nullptr);
    grab(&view, dir + "/datatype-view.png");
    return 0;
}
