#include "source/paradox/paradoxrecordset.h"

#include "source/paradox/paradoxschema.h"

#include "common/error.h"
#include "common/nametext.h"
#include "source/paradox/codepagedetect.h"

#include <algorithm>

namespace tabulon {

namespace {

// The code page the table's text is read in. The sample comes from a table
// of its own, so the rows are then read from the start.
int ChosenCodePage(const std::string &path, int header, int choice)
{
    if (choice == ParadoxRecordSet::kHeaderCodePage)
        return header;
    constexpr size_t kScanLimit = size_t(16) << 20;
    const std::string sample = paradox::ParadoxTable(path).textSample(paradox::kCodePageSampleBytes, kScanLimit);
    if (sample.empty())
        return header;
    return choice ? choice : paradox::DetectCodePage(sample, header);
}

std::unique_ptr<paradox::ParadoxTable> OpenTable(const std::string &path, int choice)
{
    auto table = std::make_unique<paradox::ParadoxTable>(path);
    const int header = table->codePage();
    if (const int chosen = ChosenCodePage(path, header, choice); chosen != header)
        table->useCodePage(chosen);
    return table;
}

} // namespace

ParadoxRecordSet::ParadoxRecordSet(const std::string &path, int codePage)
    : m_table(OpenTable(path, codePage)), m_fields(m_table->adoFields()), m_values(m_fields.size()),
      m_decoded(m_fields.size(), 0)
{
    // A name goes into SQL text and onto one line of the preview.
    for (Field &f : m_fields)
        f.name = PrintableName(f.name);
    m_eof = !m_table->next();
    m_bof = m_eof;
}

TableSchema ParadoxRecordSet::schema() const
{
    return m_table ? paradox::ReadParadoxSchema(m_table->path(), m_table->codePage()) : TableSchema();
}

void ParadoxRecordSet::moveNext()
{
    if (!m_table)
        throw Error("The record set of a Paradox table is closed.");
    if (m_eof)
        throw Error("The record set of \"" + m_table->path() + "\" is already past its last row.");
    std::fill(m_decoded.begin(), m_decoded.end(), 0);
    m_eof = !m_table->next();
}

const Value &ParadoxRecordSet::value(int field)
{
    if (!m_table)
        throw Error("The record set of a Paradox table is closed.");
    if (field < 0 || size_t(field) >= m_fields.size())
        throw Error("The table \"" + m_table->path() + "\" has no field number " + std::to_string(field) + ".");
    if (m_eof)
        throw Error("The record set of \"" + m_table->path() + "\" has no current row.");
    Value &v = m_values[size_t(field)];
    if (!m_decoded[size_t(field)]) {
        m_table->decode(field, v);
        m_decoded[size_t(field)] = 1;
    }
    return v;
}

void ParadoxRecordSet::close()
{
    if (m_table)
        m_closedAccount = m_table->account();
    m_table.reset();
    m_eof = m_bof = true;
}

} // namespace tabulon
