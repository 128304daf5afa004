#include "ui/preview/form5.h"

#include "common/guardedsteps.h"
#include "engine/script/datatypemodel.h"
#include "ui/common/windowlook.h"

#include "ui_form5.h"

#include <QHeaderView>

#include <algorithm>

namespace tabulon {
namespace {
constexpr int kColumnWidth = 1700 / 15;
}

Form5::Form5(DatatypeModel &datatypes, QWidget *owner)
    : QDialog(owner), m_ui(std::make_unique<Ui::Form5>()), m_boxes(this)
{
    m_ui->setupUi(this);
    GuardedProcedure proc(m_boxes, "Form5.Form_Load");
    proc.step(100, [&] { LoadSecondaryWindow(this, QStringLiteral("Datatypes Conversion")); });
    proc.step(102, [&] { m_ui->ListView1->setModel(&datatypes); });
    proc.step(104, [&] {
        QHeaderView *header = m_ui->ListView1->header();
        header->setStretchLastSection(false);
        for (int column = 0; column < datatypes.columnCount(); ++column)
            header->resizeSection(column, kColumnWidth);
        // The type column holds the reasons and the code-page lines: as
        // wide as its widest, the view scrolls sideways.
        const int last = datatypes.columnCount() - 1;
        int width = kColumnWidth;
        for (int row = 0; row < datatypes.rowCount(); ++row)
            width = std::max(width, m_ui->ListView1->sizeHintForIndex(datatypes.index(row, last)).width());
        header->resizeSection(last, width);
    });
    connect(m_ui->PushButton5, &QPushButton::clicked, this, &Form5::PushButton5_Click);
}

Form5::~Form5() = default;

void Form5::PushButton5_Click()
{
    GuardedProcedure proc(m_boxes, "Form5.PushButton5_Click");
    proc.step(100, [&] { reject(); });
}

} // namespace tabulon
