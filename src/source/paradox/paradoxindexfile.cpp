#include "source/paradox/paradoxindexfile.h"

#include "common/error.h"
#include "common/nametext.h"
#include "source/paradox/codepage.h"
#include "source/paradox/readonlyfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <QString>

namespace tabulon::paradox {
namespace {

uint16_t le16(const unsigned char *p) { return uint16_t(p[0] | p[1] << 8); }

bool SameName(const std::string &a, const std::string &b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

// Index header flags: the file's own key is kept in descending order, is
// unique, or compares Alpha values without regard to case.
constexpr unsigned kCaseInsensitive = 0x01;
constexpr unsigned kDescending = 0x10;
constexpr unsigned kUnique = 0x20;
// In the list of field numbers, a descending field has its top bit set.
constexpr uint16_t kDescendingField = 0x8000;

} // namespace

SchemaIndex ReadIndexFile(const std::string &path, const ParadoxTable &table)
{
    auto fail = [&](const std::string &why) -> SchemaIndex {
        throw Error("The index file \"" + path + "\" cannot be read: " + why + ".");
    };
    const ReadOnlyFile file(path);
    const uint64_t size = file.size();
    if (size < 0x58)
        return fail("it has " + std::to_string(size) + " bytes, too few for an index header");
    unsigned char fixed[0x58];
    file.readAt(0, fixed, sizeof fixed);
    const unsigned type = fixed[4];
    // 3 and 5: one field (.Xnn); 6 and 8: composite or named (.XGn).
    if (type != 3 && type != 5 && type != 6 && type != 8)
        return fail("its header names file type " + std::to_string(type) + ", which is no secondary index");
    const unsigned version = fixed[0x39];
    if (version < 3 || version > 12)
        return fail("its header names the unknown file version " + std::to_string(version));
    const int headerSize = le16(fixed + 2);
    const int fieldCount = int16_t(le16(fixed + 0x21));
    const int ownKey = int16_t(le16(fixed + 0x23));
    const unsigned flags = fixed[0x55];
    const int base = version >= 5 ? 0x78 : 0x58;
    const int tableNameLength = version >= 12 ? 261 : 79;
    if (fieldCount <= 0 || fieldCount > 255 || ownKey <= 0 || ownKey > fieldCount)
        return fail("its header gives " + std::to_string(fieldCount) + " fields and a key of " +
                    std::to_string(ownKey));
    if (headerSize < base || uint64_t(headerSize) > size)
        return fail("its header size " + std::to_string(headerSize) + " does not fit the file");
    std::vector<unsigned char> header(static_cast<size_t>(headerSize));
    file.readAt(0, header.data(), header.size());
    const unsigned char *h = header.data();
    const unsigned char *end = h + headerSize;

    // Field descriptions, the table name, the field names, their numbers
    // in the table, the sort order's name and the index's name.
    const unsigned char *p = h + base + fieldCount * 6 + 4 + tableNameLength;
    if (p > end)
        return fail("its field descriptions do not fit its header");
    const CodePage &codePage = CodePage::forNumber(table.codePage());
    std::vector<std::string> names;
    auto text = [&](std::string &out) {
        const auto *stop = static_cast<const unsigned char *>(std::memchr(p, 0, size_t(end - p)));
        if (!stop)
            return false;
        codePage.decode(p, size_t(stop - p), out);
        p = stop + 1;
        return true;
    };
    for (int i = 0; i < fieldCount; ++i)
        if (!text(names.emplace_back()))
            return fail("its field names run past the end of its header");
    if (p + 2 * fieldCount > end)
        return fail("its field numbers run past the end of its header");
    std::vector<uint16_t> numbers;
    for (int i = 0; i < fieldCount; ++i, p += 2)
        numbers.push_back(le16(p));
    std::string sortOrder;
    SchemaIndex index;
    if (text(sortOrder))
        text(index.name);
    index.name = PrintableName(index.name);
    index.file = path;

    // The file's own key is the indexed fields followed by the table's key
    // (or, for a table without one, the record's place).
    const int tail = table.isKeyed() ? table.keyFieldCount() : 2;
    const int count = ownKey - tail;
    if (count <= 0)
        return fail("its key of " + std::to_string(ownKey) +
                    " fields leaves none for the index beside the table's key");
    const auto &fields = table.fields();
    for (int i = 0; i < count; ++i) {
        const int number = numbers[size_t(i)] & ~kDescendingField;
        std::string field;
        if (number >= 1 && size_t(number) <= fields.size() &&
            SameName(fields[size_t(number - 1)].name, PrintableName(names[size_t(i)])))
            field = fields[size_t(number - 1)].name;
        for (size_t k = 0; field.empty() && k < fields.size(); ++k)
            if (SameName(fields[k].name, PrintableName(names[size_t(i)])))
                field = fields[k].name;
        if (field.empty())
            return fail("it indexes a field \"" + PrintableName(names[size_t(i)]) + "\" the table does not have");
        index.fields.push_back(field);
        index.descending.push_back((numbers[size_t(i)] & kDescendingField) || (flags & kDescending));
    }
    index.unique = flags & kUnique;
    index.caseInsensitive = flags & kCaseInsensitive;
    return index;
}

} // namespace tabulon::paradox
