#include "ui/preview/form3.h"

#include "common/busyguard.h"
#include "common/eventpump.h"
#include "common/guardedsteps.h"
#include "engine/script/findtext.h"
#include "engine/script/scriptmodel.h"
#include "ui/common/busypointer.h"
#include "ui/common/windowlook.h"

#include "ui_form3.h"

#include <optional>

namespace tabulon {

Form3::Form3(ScriptModel &script, QWidget *owner)
    : QDialog(owner), m_ui(std::make_unique<Ui::Form3>()), m_script(script), m_boxes(this)
{
    m_ui->setupUi(this);
    LoadSecondaryWindow(this, QStringLiteral("Find and Replace"));
    connect(m_ui->PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
    connect(m_ui->PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
}

Form3::~Form3() = default;

void Form3::PushButton2_Click()
{
    // The loop below turns the event loop: a second press would replace
    // the first occurrence again in lines already changed.
    if (m_replacing)
        return;
    FlagScope replacing(m_replacing);
    GuardedProcedure proc(m_boxes, "Form3.PushButton2_Click");
    if (proc.decide(100, [&] { return m_script.lineCount() == 0; })) {
        m_boxes.inform("No SQL to run.");
        return;
    }
    std::optional<BusyPointer> busy;
    proc.step(102, [&] { busy.emplace(this); });
    // Seen as not pressable while the lines change.
    BusyGuard buttons([this](bool on) {
        m_ui->PushButton1->setEnabled(!on);
        m_ui->PushButton2->setEnabled(!on);
    });
    buttons.acquire();
    int n = 0;
    const FindText find(m_ui->Text1->text());
    const std::string replacement = m_ui->Text2->text().toStdString();
    proc.step(104, [&] { n = m_script.lineCount(); });
    std::string line;
    for (int i = 0; i < n && i < m_script.lineCount(); ++i) {
        proc.step(106, [] { EventPump::yield(); });
        proc.step(108, [&] {
            // Copy only when there is something to replace: most lines of a
            // million keep their text.
            line = m_script.line(i);
            if (find.replaceFirst(line, replacement))
                m_script.setLine(i, std::move(line));
        });
    }
    busy.reset();
    buttons.release();
    proc.step(110, [&] { m_boxes.inform("Done."); });
    proc.step(112, [&] { accept(); });
}

void Form3::PushButton1_Click()
{
    GuardedProcedure proc(m_boxes, "Form3.PushButton1_Click");
    proc.step(100, [&] { reject(); });
}

} // namespace tabulon
