#include "source/paradox/paradoxvalidity.h"

#include "common/error.h"
#include "common/nametext.h"
#include "source/paradox/codepage.h"
#include "source/paradox/readonlyfile.h"

#include <cstring>

namespace tabulon::paradox {
namespace {

uint16_t le16(const unsigned char *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Larger files are no validity file of a table of at most 255 fields.
constexpr uint64_t kMaxSize = 4u << 20;
constexpr size_t kEntryHeader = 0x1C;
constexpr size_t kLookupName = 0x50;
constexpr size_t kRuleSize = 0x1E0;
constexpr int kMaxRuleFields = 16;

} // namespace

ValidityFile ReadValidityFile(const std::string &path, ParadoxTable &table)
{
    auto fail = [&](const std::string &why) -> ValidityFile {
        throw Error("The validity file \"" + path + "\" cannot be read: " + why + ".");
    };
    const ReadOnlyFile file(path);
    const uint64_t size = file.size();
    if (size < 0x35)
        return fail("it has " + std::to_string(size) + " bytes, too few for its header");
    if (size > kMaxSize)
        return fail("it has " + std::to_string(size) + " bytes, more than any validity file");
    std::vector<unsigned char> bytes(size_t(size) + 1, 0);
    file.readAt(0, bytes.data(), size_t(size));
    const unsigned char *b = bytes.data();
    const size_t n = size_t(size);
    const unsigned version = b[1];
    if (version < 9 || version > 12)
        return fail("it is of version " + std::to_string(version) + ", which Tabulon does not know");
    const size_t entries = b[2];
    const size_t footer = le32(b + 9);
    const size_t rules = le32(b + 0x0D);
    if (footer + 6 > n)
        return fail("its list of fields lies past its end");

    // The footer: the table's fields as the file knows them, by number and type.
    const size_t fieldCount = le16(b + footer);
    if (footer + 6 + fieldCount * 4 > n)
        return fail("its list of " + std::to_string(fieldCount) + " fields runs past its end");
    const auto &fields = table.fields();
    std::vector<int> fieldAt(fieldCount, -1);
    for (size_t i = 0; i < fieldCount; ++i) {
        const int number = le16(b + footer + 6 + 2 * i);
        const unsigned type = b[footer + 6 + 2 * fieldCount + 2 * i];
        if (number >= 1 && size_t(number) <= fields.size() && fields[size_t(number - 1)].type == type)
            fieldAt[i] = number - 1;
    }

    ValidityFile out;
    const CodePage &codePage = CodePage::forNumber(table.codePage());
    auto text = [&](size_t at, size_t max) {
        std::string s;
        if (at >= n)
            return s;
        max = std::min(max, n - at);
        const auto *start = b + at;
        const auto *stop = static_cast<const unsigned char *>(std::memchr(start, 0, max));
        codePage.decode(start, stop ? size_t(stop - start) : max, s);
        return PrintableName(s);
    };

    size_t pos = 0x35;
    for (size_t e = 0; e < entries; ++e) {
        if (pos + kEntryHeader > n)
            return fail("its checks run past its end");
        const unsigned char *h = b + pos;
        const size_t slot = h[0];
        const size_t pictureSize = h[1];
        const int j = slot < fieldCount ? fieldAt[slot] : -1;
        if (j < 0)
            return fail("check " + std::to_string(e + 1) + " names field " + std::to_string(slot + 1) +
                        ", which does not match the table");
        const ParadoxField &f = fields[size_t(j)];
        SchemaCheck check;
        check.field = f.name;
        check.required = h[2] != 0;
        pos += kEntryHeader;
        if (le32(h + 4)) {
            check.lookupTable = text(pos, kLookupName);
            pos += kLookupName;
        }
        const bool blob = f.type == Memo || f.type == Blob || f.type == FormattedMemo || f.type == Ole ||
                          f.type == Graphic;
        for (auto [hint, value] : {std::pair{le32(h + 0x0C), &check.minimum}, std::pair{le32(h + 0x10), &check.maximum},
                                   std::pair{le32(h + 0x14), &check.defaultValue}}) {
            if (!hint)
                continue;
            if (blob || pos + size_t(f.size) > n)
                return fail("a value of check " + std::to_string(e + 1) + " runs past its end");
            try {
                table.decodeAt(j, b + pos, *value);
            } catch (const Error &) {
                out.notes.push_back("A value of the check on field \"" + f.name + "\" in \"" + path +
                                    "\" is no valid value of the field; it is left out.");
                value->setEmpty();
            }
            if (value->isNull())
                value->setEmpty();
            pos += size_t(f.size);
        }
        if (pictureSize && le32(h + 0x18)) {
            if (pos + pictureSize > n)
                return fail("the picture of check " + std::to_string(e + 1) + " runs past its end");
            check.picture = text(pos, pictureSize);
            pos += pictureSize;
        }
        out.checks.push_back(std::move(check));
    }

    if (rules == 0)
        return out;
    if (rules + 2 > n)
        return fail("its referential rules lie past its end");
    const size_t ruleCount = le16(b + rules);
    if (rules + 2 + ruleCount * kRuleSize > n)
        return fail("its " + std::to_string(ruleCount) + " referential rules run past its end");
    for (size_t r = 0; r < ruleCount; ++r) {
        const size_t at = rules + 2 + r * kRuleSize;
        ValidityReference ref;
        ref.rule.name = text(at, 0x40);
        std::string master = text(at + 0xD4, 0x72);
        if (const auto dot = master.rfind('.'); dot != std::string::npos)
            master.erase(dot);
        ref.rule.masterTable = master;
        ref.rule.cascadeUpdate = b[at + 0x19A] == 1;
        const int count = le16(b + at + 0x19E);
        bool fits = count >= 1 && count <= kMaxRuleFields && !master.empty();
        for (int i = 0; fits && i < count; ++i) {
            const int child = le16(b + at + 0x1A0 + 2 * i);
            const int key = le16(b + at + 0x1C0 + 2 * i);
            fits = child >= 1 && size_t(child) <= fields.size() && key >= 1 && key <= 255;
            if (fits) {
                ref.rule.fields.push_back(fields[size_t(child - 1)].name);
                ref.masterFieldNumbers.push_back(key);
            }
        }
        if (!fits) {
            out.notes.push_back("Referential rule \"" + ref.rule.name + "\" in \"" + path +
                                "\" names fields the table does not have; it is left out.");
            continue;
        }
        out.references.push_back(std::move(ref));
    }
    return out;
}

} // namespace tabulon::paradox
