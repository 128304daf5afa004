#include "ui/preview/form2.h"

#include "common/error.h"
#include "common/guardedsteps.h"
#include "engine/run/runstate.h"
#include "ui/common/busypointer.h"
#include "ui/common/windowlook.h"
#include "ui/preview/clipboard.h"
#include "ui/preview/errormail.h"
#include "ui/preview/form3.h"
#include "ui/preview/form4.h"
#include "ui/preview/form5.h"

#include "ui_form2.h"

#include <QEvent>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>

namespace tabulon {
namespace {

const char *const kCopied = "Results have been copied to the clipboard.\r\rClick a text area where you normally type "
                            "and press Ctrl+V to paste the clipboard.";
const char *const kNothingToCopy = "The SQL list is empty, so nothing was copied. The clipboard keeps what it held.";
const char *const kErrorCopied =
    "Error message have been copied to the clipboard.\r\rClick a text area where you normally "
    "type and press Ctrl+V to paste the clipboard.";

// A green tick, drawn rather than loaded: no image file to ship.
QIcon ExecutedIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x2e, 0x7d, 0x32), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(7, 17), QPointF(13, 23), QPointF(25, 9)}));
    return QIcon(pixmap);
}

// Tells the window when a click only ticked a row's check box, so that the
// click does not also open the line for editing. Lines the server has
// accepted read muted behind a tick, so the user sees where the next
// Execute SQL goes on.
class CheckAwareDelegate : public QStyledItemDelegate {
public:
    CheckAwareDelegate(bool &toggled, QObject *parent)
        : QStyledItemDelegate(parent), m_toggled(toggled), m_executed(ExecutedIcon())
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // Every row keeps the tick's place, so texts line up and the row
        // height does not depend on whether the first line has run.
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(12, 12);
        if (!index.data(ScriptModel::ExecutedRole).toBool())
            return;
        option->icon = m_executed;
        const QColor text = option->palette.color(QPalette::Text);
        const QColor base = option->palette.color(QPalette::Base);
        option->palette.setColor(QPalette::Text,
                                 QColor((text.red() + base.red()) / 2, (text.green() + base.green()) / 2,
                                        (text.blue() + base.blue()) / 2));
    }

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override
    {
        const QVariant before = index.data(Qt::CheckStateRole);
        const bool handled = QStyledItemDelegate::editorEvent(event, model, option, index);
        if (handled && index.data(Qt::CheckStateRole) != before)
            m_toggled = true;
        // Presses on the check box are the delegate's, not a row click.
        if (handled && (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick))
            m_toggled = true;
        return handled;
    }

private:
    bool &m_toggled;
    QIcon m_executed;
};

// Only spaces count as blank: a tab or a line break is part of the message.
bool IsBlank(const QString &text) { return text.count(u' ') == text.size(); }

// The box's text as it holds it: toPlainText() would turn no-break spaces
// into plain ones.
QString BoxText(const QPlainTextEdit *box)
{
    QString text = box->document()->toRawText();
    for (QChar &c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    return text;
}

} // namespace

void ShowPreviewWindow(QWidget *owner, RunState &state)
{
    Form2 window(state, owner);
    window.exec();
}

Form2::Form2(RunState &state, QWidget *owner)
    : QDialog(owner), m_ui(std::make_unique<Ui::Form2>()), m_state(state), m_boxes(this)
{
    m_ui->setupUi(this);
    LoadSecondaryWindow(this, QStringLiteral("SQL Preview"));

    QTreeView *list = m_ui->ListView1;
    list->setItemDelegate(new CheckAwareDelegate(m_checkToggled, list));
    list->setModel(&m_state.scriptList);
    list->header()->setStretchLastSection(false);
    list->header()->setToolTip(list->toolTip());
    // The column is as wide as the list, or as its widest row so that long
    // statements scroll instead of ending in an ellipsis. Rows on screen are
    // measured as they come into view; of the others only the longest.
    list->viewport()->installEventFilter(this);
    const ScriptModel *script = &m_state.scriptList;
    connect(script, &QAbstractItemModel::dataChanged, this, &Form2::fitColumnLater);
    connect(script, &QAbstractItemModel::rowsInserted, this, &Form2::fitColumnLater);
    connect(script, &QAbstractItemModel::rowsRemoved, this, &Form2::fitColumnLater);
    connect(script, &QAbstractItemModel::modelReset, this, &Form2::fitColumnLater);
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { fitColumn(true); });
    fitColumn();

    connect(list, &QAbstractItemView::clicked, this, &Form2::ListView1_Click);
    connect(list, &QAbstractItemView::pressed, this, [this] { m_checkToggled = false; });
    connect(m_ui->PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(m_ui->PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(m_ui->PushButton3, &QPushButton::clicked, this, &Form2::PushButton3_Click);
    connect(m_ui->PushButton4, &QPushButton::clicked, this, &Form2::PushButton4_Click);
    connect(m_ui->PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
    connect(m_ui->PushButton6, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(m_ui->PushButton7, &QPushButton::clicked, this, &Form2::PushButton7_Click);
    connect(m_ui->PushButton8, &QPushButton::clicked, this, &Form2::PushButton8_Click);
    connect(m_ui->PushButton9, &QPushButton::clicked, this, &Form2::PushButton9_Click);
}

Form2::~Form2() = default;

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->ListView1->viewport() && event->type() == QEvent::Resize)
        fitColumn();
    return QDialog::eventFilter(watched, event);
}

void Form2::fitColumnLater()
{
    // Find and Replace changes up to every line: fit once it lets events run.
    if (std::exchange(m_fitPending, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_fitPending = false;
        fitColumn();
    });
}

void Form2::fitColumn(bool growOnly)
{
    QTreeView *list = m_ui->ListView1;
    QHeaderView *header = list->header();
    const ScriptModel &script = m_state.scriptList;
    int need = 0;
    auto measure = [&](int row) { need = std::max(need, list->sizeHintForIndex(script.index(row, 0)).width()); };
    // The longest text in bytes need not be the widest on screen, hence the
    // rows in view as well.
    if (const int longest = script.longestShownLine(); longest >= 0) {
        measure(longest);
        const int x = header->sectionViewportPosition(0);
        const QModelIndex top = list->indexAt(QPoint(x, 0));
        if (top.isValid()) {
            const QModelIndex bottom = list->indexAt(QPoint(x, list->viewport()->height() - 1));
            const int last = bottom.isValid() ? bottom.row() : script.lineCount() - 1;
            for (int row = top.row(); row <= last; ++row)
                measure(row);
        }
    }
    int width = std::max(need, list->viewport()->width());
    if (growOnly)
        width = std::max(width, header->sectionSize(0));
    if (header->sectionSize(0) != width)
        header->resizeSection(0, width);
}

void Form2::ListView1_Click(const QModelIndex &index)
{
    if (m_checkToggled) {
        m_checkToggled = false;
        return;
    }
    if (!index.isValid() || !m_ui->ListView1->selectionModel()->isSelected(index))
        return;
    GuardedProcedure proc(m_boxes, "Form2.ListView1_Click");
    Form4 dialog(m_state.scriptList, this);
    proc.step(100, [&] { dialog.ListLine = index.row() + 1; });
    proc.step(102, [&] { dialog.setLineText(QString::fromStdString(m_state.scriptList.line(index.row()))); });
    proc.step(104, [&] { dialog.exec(); });
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    // Esc stops the lines, as the button does; the close box leaves.
    if (m_executing && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        PushButton1_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::PushButton1_Click()
{
    // The button reads "Stop" while the lines run.
    if (m_executing) {
        if (m_pendingLeave == Leave::None)
            m_pendingLeave = Leave::Stop;
        return;
    }
    m_executing = true;
    m_pendingLeave = Leave::None;
    QPushButton *button = m_ui->PushButton1;
    const QString executeText = button->text();
    button->setText(QStringLiteral("Stop"));
    struct ButtonText {
        QPushButton *button;
        QString text;
        ~ButtonText() { button->setText(text); }
    } restore{button, executeText};
    ExecutionResult result = ExecutionResult::NothingToRun;
    try {
        result = ExecuteScript(m_state.scriptList, m_state.mysql_conn.get(), *this,
                               {m_state.SQLFormOK, m_state.StopConversion, m_state.ErrorLine},
                               m_state.options.rowByRow);
    } catch (const Aborted &) {
        // The program is ending: leave quietly, the run unwinds on its own.
        m_executing = false;
        done(QDialog::Rejected);
        return;
    }
    m_executing = false;
    const Leave pending = std::exchange(m_pendingLeave, Leave::None);
    if (result != ExecutionResult::Done)
        leave(pending);
}

void Form2::PushButton2_Click()
{
    GuardedProcedure proc(m_boxes, "Form2.PushButton2_Click");
    bool copied = false;
    proc.step(100, [&] {
        BusyPointer busy(this);
        copied = CopyListViewToClipboard(m_state.scriptList);
    });
    proc.step(102, [&] { m_boxes.inform(copied ? kCopied : kNothingToCopy); });
}

void Form2::PushButton3_Click()
{
    GuardedProcedure proc(m_boxes, "Form2.PushButton3_Click");
    proc.step(100, [&] {
        Form3 dialog(m_state.scriptList, this);
        dialog.exec();
    });
}

void Form2::PushButton4_Click()
{
    GuardedProcedure proc(m_boxes, "Form2.PushButton4_Click");
    QString text;
    proc.step(100, [&] { text = BoxText(m_ui->Text1); });
    if (!proc.decide(102, [&] { return !IsBlank(text); }))
        return;
    proc.step(104, [&] { ClearClipboard(); });
    proc.step(106, [&] { SetClipboardText(text); });
    proc.step(108, [&] { m_boxes.inform(kErrorCopied); });
}

void Form2::PushButton5_Click()
{
    if (m_executing) {
        m_pendingLeave = Leave::Back;
        return;
    }
    leave(Leave::Back);
}

void Form2::PushButton6_Click()
{
    GuardedProcedure proc(m_boxes, "Form2.PushButton6_Click");
    const int rows = m_state.scriptList.lineCount();
    const int errorLine = m_state.ErrorLine;
    if (!proc.decide(100, [&] { return rows >= 1 && errorLine >= 1; }))
        return;
    proc.step(102, [&] {
        if (errorLine > rows)
            throw Error("The error was at line " + std::to_string(errorLine) + ", but this script has only " +
                        std::to_string(rows) + " lines.");
        selectLine(errorLine);
    });
}

void Form2::PushButton7_Click()
{
    GuardedProcedure proc(m_boxes, "Form2.PushButton7_Click");
    proc.step(100, [&] {
        // While lines execute, the view is a window beside the list, not a
        // question the execution waits for.
        if (m_executing) {
            auto *view = new Form5(m_state.datatypeList, this);
            view->setAttribute(Qt::WA_DeleteOnClose);
            view->setWindowModality(Qt::NonModal);
            view->show();
            return;
        }
        Form5 view(m_state.datatypeList, this);
        view.exec();
    });
}

void Form2::PushButton8_Click()
{
    GuardedProcedure proc(m_boxes, "Form2.PushButton8_Click");
    QString text;
    proc.step(100, [&] { text = BoxText(m_ui->Text1); });
    if (!proc.decide(102, [&] { return !IsBlank(text); }))
        return;
    bool opened = false;
    proc.step(104, [&] { opened = OpenUrl(ErrorMailUrl(text)); });
    // Without a mail program the press would otherwise do nothing visible.
    if (!proc.decide(106, [&] {
            return !opened &&
                   m_boxes.askYesNo(std::string("No mail program could be opened for the message to ") + kSupportEmail +
                                    ".\r\rWould you like to copy the error message to the "
                                    "clipboard instead, to paste it into a message of your own?");
        }))
        return;
    proc.step(108, [&] { ClearClipboard(); });
    proc.step(110, [&] { SetClipboardText(text); });
    proc.step(112, [&] { m_boxes.inform(kErrorCopied); });
}

void Form2::PushButton9_Click()
{
    if (m_executing) {
        m_pendingLeave = Leave::Skip;
        return;
    }
    leave(Leave::Skip);
}

void Form2::reject()
{
    if (m_executing) {
        // Stop after the current line; the execution then closes the window.
        m_pendingLeave = Leave::Close;
        return;
    }
    QDialog::reject();
}

void Form2::leave(Leave how)
{
    switch (how) {
    case Leave::None:
    case Leave::Stop: return;
    case Leave::Back: {
        GuardedProcedure proc(m_boxes, "Form2.PushButton5_Click");
        proc.step(100, [&] { done(QDialog::Rejected); });
        return;
    }
    case Leave::Skip: {
        GuardedProcedure proc(m_boxes, "Form2.PushButton9_Click");
        proc.step(100, [&] { m_state.StopConversion = false; });
        proc.step(102, [&] { done(QDialog::Rejected); });
        return;
    }
    case Leave::Close: QDialog::reject(); return;
    }
}

void Form2::setBusy(bool busy) { BusyPointer::set(this, busy); }

void Form2::setProgress(double percent, const std::string &caption)
{
    m_ui->ProgressBar1->setValue(static_cast<int>(percent));
    m_ui->ProgressBar1->setFormat(QString::fromStdString(caption));
}

void Form2::selectLine(int line)
{
    QTreeView *list = m_ui->ListView1;
    const QModelIndex index = m_state.scriptList.index(line - 1, 0);
    if (!index.isValid())
        return;
    list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    list->scrollTo(index, QAbstractItemView::EnsureVisible);
}

void Form2::setErrorText(const std::string &text) { m_ui->Text1->setPlainText(QString::fromStdString(text)); }

void Form2::closeWindow() { done(QDialog::Accepted); }

} // namespace tabulon
