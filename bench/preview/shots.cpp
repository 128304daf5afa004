// Draws the preview window and the datatype view over a converted table, as
// the pictures in docs/. Usage: preview_shots DIR [SAMPLES [FOLDER]], FOLDER
// being the fixtures' leonhad-paradoxdriver/joins for the view with indexes
// and rules.
#include "common/programfolder.h"
#include "engine/run/connectionfactory.h"
#include "engine/run/runstate.h"
#include "engine/script/datatypemodel.h"
#include "engine/sqlgen/nativescan.h"
#include "engine/sqlgen/rowstatement.h"
#include "engine/sqlgen/schemastatements.h"
#include "source/paradoxsource.h"
#include "ui/common/messageboxes.h"
#include "ui/preview/form2.h"
#include "ui/preview/form5.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

using namespace tabulon;

namespace {

// Refuses the fifth row, as a server whose check the data breaks would.
class RefusingConnection : public Connection {
public:
    explicit RefusingConnection(std::string refused) : m_refused(std::move(refused)) {}
    void execute(const std::string &statement) override
    {
        if (statement == m_refused)
            throw DbError("SQLException: Duplicate entry '1003' for key 'PRIMARY' "
                          "(MySQL error 1062, SQLSTATE 23000)",
                          1062);
    }
    std::unique_ptr<RecordSet> openRecordSet(const std::string &) override { return {}; }
    void close() override {}
    bool isOpen() const override { return true; }

private:
    std::string m_refused;
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

    // The statements of a real sample table, as a per-table preview lists them.
    const std::string samples = argc > 2 ? argv[2] : ProgramFolder() + "/Samples";
    RunState state;
    int refusedRow = 0;
    {
        auto source = OpenConnection(ParadoxConnectionString(samples));
        auto rows = source->openRecordSet("SELECT * FROM `CUSTOMERS`");
        const TableDefinition definition = BuildTableDefinition("CUSTOMERS", rows->fields(), &state.datatypeList);
        state.scriptList.append(DropStatement("CUSTOMERS"));
        state.scriptList.append(definition.createText);
        RowStatement statement("CUSTOMERS", definition);
        std::string text;
        for (; !rows->eof(); rows->moveNext()) {
            statement.build(*rows, text);
            state.scriptList.append(text);
        }
        refusedRow = std::min(5, state.scriptList.lineCount());
    }
    state.mysql_conn = std::make_unique<RefusingConnection>(state.scriptList.line(refusedRow - 1));

    Form2 window(state, nullptr);
    window.show();
    QApplication::processEvents();
    window.findChild<QPushButton *>("PushButton1")->click();
    grab(&window, dir + "/preview-window.png");

    Form5 view(state.datatypeList, nullptr);
    grab(&view, dir + "/datatype-view.png");

    // The same view after a run with native column types.
    DatatypeModel native;
    {
        auto source = OpenConnection(ParadoxConnectionString(samples));
        for (const char *table : {"ORDERS", "CUSTOMERS"}) {
            const std::string select = std::string("SELECT * FROM `") + table + "`";
            const NativeScan scan = ScanForNativeColumns(*source->openRecordSet(select));
            BuildTableDefinition(table, source->openRecordSet(select)->fields(), &native, &scan);
        }
    }
    Form5 nativeView(native, nullptr);
    grab(&nativeView, dir + "/datatype-view-native.png");

    // Indexes and rules under the columns: tables with the files Paradox
    // keeps beside them (the fixtures' joins folder).
    if (argc > 3) {
        DatatypeModel schema;
        auto source = OpenConnection(ParadoxConnectionString(argv[3]));
        for (const char *table : {"MULTIPLE", "C", "JOINB"}) {
            const std::string select = std::string("SELECT * FROM `") + table + "`";
            auto rows = source->openRecordSet(select);
            const TableSchema rules = rows->schema();
            const NativeScan scan = ScanForNativeColumns(*source->openRecordSet(select), &rules);
            const TableDefinition definition = BuildTableDefinition(table, rows->fields(), &schema, &scan);
            for (DatatypeLine &line : PlanSchema(table, rows->fields(), definition, rules, scan).lines)
                schema.addDatatypeLine(std::move(line));
        }
        Form5 schemaView(schema, nullptr);
        schemaView.resize(900, 420);
        grab(&schemaView, dir + "/datatype-view-schema.png");
    }
    return 0;
}
