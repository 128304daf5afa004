#pragma once
// Small companion files written by hand for tables of our own: a secondary
// index header (.XGn) and a validity file (.VAL), laid out as Paradox
// writes them, holding only what the tests need.

#include "tools/paradoxwriter.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tabulon::test {

struct IndexFileField {
    std::string name;
    uint8_t type;    // Paradox type byte
    uint8_t size;    // as the header gives it
    uint16_t number; // the table's field number, 0x8000 for descending; or the place in the file
};

inline void Put16(std::string &b, size_t at, unsigned v)
{
    if (b.size() < at + 2)
        b.resize(at + 2);
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8 & 0xFF);
}
inline void Put32(std::string &b, size_t at, uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
inline void PutText(std::string &b, size_t at, const std::string &s)
{
    if (b.size() < at + s.size() + 1)
        b.resize(at + s.size() + 1);
    b.replace(at, s.size(), s);
    b[at + s.size()] = 0;
}

// A version 7 .XGn header: `ownKey` fields form the file's key.
inline void WriteIndexFile(const std::string &path, const std::vector<IndexFileField> &fields, int ownKey,
                           unsigned flags, const std::string &name)
{
    std::string b(0x78, '\0');
    b[4] = 8;
    b[5] = 4;
    Put16(b, 0x21, unsigned(fields.size()));
    Put16(b, 0x23, unsigned(ownKey));
    b[0x39] = 12;
    b[0x55] = char(flags);
    size_t at = 0x78;
    for (const auto &f : fields) {
        b.resize(at + 2);
        b[at] = char(f.type);
        b[at + 1] = char(f.size);
        at += 2;
    }
    at += fields.size() * 4 + 4 + 261;
    for (const auto &f : fields) {
        PutText(b, at, f.name);
        at += f.name.size() + 1;
    }
    for (const auto &f : fields) {
        Put16(b, at, f.number);
        at += 2;
    }
    PutText(b, at, "ascii");
    at += 6;
    PutText(b, at, name);
    b.resize(0x800, '\0');
    Put16(b, 2, 0x800);
    std::ofstream(path, std::ios::binary).write(b.data(), std::streamsize(b.size()));
}

struct ValidityEntry {
    int slot; // the field's place in the table, from 0
    bool required = false;
    std::string minimum, maximum, defaultValue; // the field's bytes as in a record; empty: not set
};

struct ValidityRule {
    std::string name;
    std::string master; // "Land.db"
    std::vector<uint16_t> fields, masterFields;
    bool cascade = false;
};

// A version 5 .VAL: `types` are the table's (type, size) header bytes.
inline void WriteValidityFile(const std::string &path, const std::vector<std::pair<uint8_t, uint8_t>> &types,
                              const std::vector<std::string> &names, const std::vector<ValidityEntry> &entries,
                              const std::vector<ValidityRule> &rules)
{
    std::string b(0x35, '\0');
    b[1] = 0x0b;
    b[2] = char(entries.size());
    for (const auto &e : entries) {
        const size_t at = b.size();
        b.resize(at + 0x1C);
        b[at] = char(e.slot);
        b[at + 2] = e.required;
        Put32(b, at + 0x0C, !e.minimum.empty());
        Put32(b, at + 0x10, !e.maximum.empty());
        Put32(b, at + 0x14, !e.defaultValue.empty());
        b += e.minimum + e.maximum + e.defaultValue;
    }
    if (!rules.empty()) {
        Put32(b, 0x0D, uint32_t(b.size()));
        const size_t start = b.size();
        Put16(b, start, unsigned(rules.size()));
        for (size_t r = 0; r < rules.size(); ++r) {
            const size_t at = start + 2 + r * 0x1E0;
            b.resize(at + 0x1E0);
            PutText(b, at, rules[r].name);
            PutText(b, at + 0xD4, rules[r].master);
            b[at + 0x19A] = rules[r].cascade;
            Put16(b, at + 0x19E, unsigned(rules[r].fields.size()));
            for (size_t k = 0; k < rules[r].fields.size(); ++k) {
                Put16(b, at + 0x1A0 + 2 * k, rules[r].fields[k]);
                Put16(b, at + 0x1C0 + 2 * k, rules[r].masterFields[k]);
            }
        }
        Put16(b, b.size(), 0);
    }
    const size_t footer = b.size();
    Put32(b, 9, uint32_t(footer));
    Put16(b, footer, unsigned(types.size()));
    Put16(b, footer + 2, 1);
    size_t at = footer + 6;
    for (size_t i = 0; i < types.size(); ++i, at += 2)
        Put16(b, at, unsigned(i + 1));
    for (const auto &[type, size] : types) {
        b.resize(at + 2);
        b[at] = char(type);
        b[at + 1] = char(size);
        at += 2;
    }
    b.resize(at + 0x4F, '\0');
    at += 0x4F;
    for (const auto &n : names) {
        PutText(b, at, n);
        at += n.size() + 1;
    }
    std::ofstream(path, std::ios::binary).write(b.data(), std::streamsize(b.size()));
}

// A Long Integer as a record keeps it: big-endian, sign bit flipped.
inline std::string LongBytes(int32_t v)
{
    const uint32_t u = uint32_t(v) ^ 0x80000000u;
    return {char(u >> 24), char(u >> 16 & 0xFF), char(u >> 8 & 0xFF), char(u & 0xFF)};
}
// Alpha: the text, then zeros to the field's size.
inline std::string AlphaBytes(const std::string &s, size_t size)
{
    std::string out = s;
    out.resize(size, '\0');
    return out;
}

// Land (Code key, Name) is the master of Town (Id key, Land, Name, Pop):
// Name required with a default holding a quote, unique and case-insensitive;
// Pop between 0 and 1,000,000, indexed descending; one town names land 3,
// which does not exist.
inline void WriteTowns(const std::string &dir, bool withOrphan, const std::string &master = "Land")
{
    auto keyed = [](const std::string &path) {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        f.put(0);
        f.seekp(0x23);
        f.put(1);
    };
    {
        ParadoxWriter land(dir + "/" + master + ".db", {{"Code", 'I'}, {"Name", 'A', 20}});
        land.addRow({Value::integer(1), Value::text("North")});
        land.addRow({Value::integer(2), Value::text("South")});
        land.finish();
        ParadoxWriter town(dir + "/Town.db", {{"Id", 'I'}, {"Land", 'I'}, {"Name", 'A', 20}, {"Pop", 'I'}});
        town.addRow({Value::integer(1), Value::integer(1), Value::text("Avon"), Value::integer(100)});
        town.addRow({Value::integer(2), Value::integer(withOrphan ? 3 : 2), Value::text("Bree"), Value::integer(200)});
        town.finish();
    }
    keyed(dir + "/" + master + ".db");
    keyed(dir + "/Town.db");
    WriteValidityFile(dir + "/Town.VAL", {{4, 4}, {4, 4}, {1, 20}, {4, 4}}, {"Id", "Land", "Name", "Pop"},
                      {{2, true, {}, {}, AlphaBytes("O'Brien", 20)}, {3, false, LongBytes(0), LongBytes(1000000), {}}},
                      {{"TownLand", master + ".db", {2}, {1}, true}});
    WriteIndexFile(dir + "/Town.XG0", {{"Name", 1, 20, 3}, {"Id", 4, 4, 2}, {"Blk Num", 3, 2, 3}}, 2, 0x21, "ByName");
    WriteIndexFile(dir + "/Town.XG1", {{"Pop", 4, 4, 0x8004}, {"Id", 4, 4, 2}, {"Blk Num", 3, 2, 3}}, 2, 0x10, "ByPop");
}

} // namespace tabulon::test
