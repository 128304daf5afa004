#include "ui/preview/form4.h"

#include "common/error.h"
#include "common/guardedsteps.h"
#include "engine/script/scriptmodel.h"
#include "ui/common/windowlook.h"

#include "ui_form4.h"

#include <QEvent>
#include <QTextDocument>
#include <QTimer>

namespace tabulon {

Form4::Form4(ScriptModel &script, QWidget *owner)
    : QDialog(owner), m_ui(std::make_unique<Ui::Form4>()), m_script(script), m_boxes(this)
{
    m_ui->setupUi(this);
    LoadSecondaryWindow(this, QStringLiteral("Edit Line"));
    m_ui->Text1->installEventFilter(this);
    connect(m_ui->PushButton2, &QPushButton::clicked, this, &Form4::PushButton2_Click);
    connect(m_ui->PushButton1, &QPushButton::clicked, this, &Form4::PushButton1_Click);
}

Form4::~Form4() = default;

void Form4::setLineText(const QString &text) { m_ui->Text1->setPlainText(text); }

QString Form4::lineText() const
{
    // toPlainText() would turn no-break spaces into plain ones: the raw text
    // keeps every character, only line breaks need mapping back. Enter ends
    // a paragraph (U+2029), Shift+Enter breaks the line (U+2028); MySQL reads
    // neither as a line break.
    QString text = m_ui->Text1->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

bool Form4::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->Text1 && event->type() == QEvent::FocusIn) {
        // After the focus change settles, so a mouse press cannot undo it.
        QTimer::singleShot(0, m_ui->Text1, [edit = m_ui->Text1] { edit->selectAll(); });
        m_ui->Text1->selectAll();
    }
    return QDialog::eventFilter(watched, event);
}

void Form4::PushButton2_Click()
{
    GuardedProcedure proc(m_boxes, "Form4.PushButton2_Click");
    proc.step(100, [&] {
        if (ListLine < 1 || ListLine > m_script.lineCount())
            throw Error("Line " + std::to_string(ListLine) + " is no longer in the script, which has " +
                        std::to_string(m_script.lineCount()) + " lines.");
        m_script.setLine(ListLine - 1, lineText().toStdString());
    });
    proc.step(102, [&] { accept(); });
}

void Form4::PushButton1_Click()
{
    GuardedProcedure proc(m_boxes, "Form4.PushButton1_Click");
    proc.step(100, [&] { reject(); });
}

} // namespace tabulon
