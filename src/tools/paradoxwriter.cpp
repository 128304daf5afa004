#include "tools/paradoxwriter.h"

#include "common/error.h"
#include "source/paradox/codepage.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

namespace tabulon {
namespace {

constexpr int64_t kZeroDateDay = 693594;
constexpr int64_t kMsPerDay = 86'400'000;
constexpr size_t kMbBlock = 4096;
// Values up to this size share a 4 KB block with others, as Paradox does.
constexpr size_t kSubAllocatedMax = 2048;
// Where the data area of a sub-allocated block starts: after its type,
// size and 64 five-byte slots, in 16-byte units.
constexpr unsigned kFirstUnit = 21;

void put16(unsigned char *p, unsigned v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(unsigned char *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
void putBe32(unsigned char *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (24 - 8 * i));
}

void putDouble(unsigned char *p, double d)
{
    uint64_t u;
    std::memcpy(&u, &d, 8);
    if (u & 0x8000'0000'0000'0000ull)
        u = ~u;
    else
        u |= 0x8000'0000'0000'0000ull;
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(u >> (56 - 8 * i));
}

uint8_t typeByte(char t)
{
    switch (t) {
    case 'A': return 0x01;
    case 'D': return 0x02;
    case 'S': return 0x03;
    case 'I': return 0x04;
    case '$': return 0x05;
    case 'N': return 0x06;
    case 'L': return 0x09;
    case 'M': return 0x0C;
    case 'B': return 0x0D;
    case 'F': return 0x0E;
    case 'O': return 0x0F;
    case 'G': return 0x10;
    case 'T': return 0x14;
    case '@': return 0x15;
    case '+': return 0x16;
    case '#': return 0x17;
    case 'Y': return 0x18;
    default: return 0;
    }
}

std::string blobPathFor(const std::string &dbPath)
{
    const size_t slash = dbPath.find_last_of('/');
    const size_t dot = dbPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return dbPath + ".mb";
    const std::string ext = dbPath.substr(dot + 1);
    const bool upper = !ext.empty() && ext[0] >= 'A' && ext[0] <= 'Z';
    return dbPath.substr(0, dot + 1) + (upper ? "MB" : "mb");
}

} // namespace

struct ParadoxWriter::FieldLayout {
    ParadoxFieldDef def;
    uint8_t type = 0;
    int size = 0;       // bytes in the record
    int headerSize = 0; // the size byte of the header
    int offset = 0;
};

// The .mb file: a 4 KB header block, then single-value blocks and shared
// (sub-allocated) blocks, each a multiple of 4 KB.
class ParadoxWriter::BlobWriter {
public:
    explicit BlobWriter(std::string path) : m_path(std::move(path))
    {
        m_file = std::fopen(m_path.c_str(), "wb");
        if (!m_file)
            throw Error("Cannot create \"" + m_path + "\": " + std::strerror(errno) + ".");
        unsigned char head[kMbBlock] = {};
        head[0] = 0; // header block
        put16(head + 1, 1);
        writeAt(0, head, sizeof head);
        m_end = kMbBlock;
    }
    ~BlobWriter()
    {
        if (m_file)
            std::fclose(m_file);
    }

    // Stores a value; fills the 10-byte record pointer.
    void store(const std::string &data, unsigned char *pointer)
    {
        const size_t n = data.size();
        if (n <= kSubAllocatedMax) {
            const unsigned units = unsigned((n + 15) / 16);
            if (m_shared.empty() || m_slots == 64 || m_nextUnit + units > kMbBlock / 16)
                startShared();
            const unsigned slot = m_slots++;
            unsigned char *e = m_shared.data() + 12 + slot * 5;
            e[0] = uint8_t(m_nextUnit);
            e[1] = uint8_t(units);
            put16(e + 2, 1);
            e[4] = uint8_t(n - (units - 1) * 16); // 1..16
            std::memcpy(m_shared.data() + m_nextUnit * 16, data.data(), n);
            m_nextUnit += units;
            put32(pointer, uint32_t(m_sharedOffset) | slot);
        } else {
            const size_t chunks = (9 + n + kMbBlock - 1) / kMbBlock;
            if (chunks > 0xFFFF)
                throw Error("Cannot write \"" + m_path + "\": a value of " + std::to_string(n) +
                            " bytes is larger than a memo file can hold.");
            std::vector<unsigned char> block(chunks * kMbBlock, 0);
            block[0] = 2;
            put16(block.data() + 1, unsigned(chunks));
            put32(block.data() + 3, uint32_t(n));
            put16(block.data() + 7, 1);
            std::memcpy(block.data() + 9, data.data(), n);
            const uint64_t at = allocate(block.size());
            writeAt(at, block.data(), block.size());
            put32(pointer, uint32_t(at) | 0xFF);
        }
        put32(pointer + 4, uint32_t(n));
        put16(pointer + 8, 1);
    }

    void finish()
    {
        flushShared();
        if (std::fclose(m_file) != 0) {
            m_file = nullptr;
            throw Error("Cannot write \"" + m_path + "\": " + std::strerror(errno) + ".");
        }
        m_file = nullptr;
    }

private:
    uint64_t allocate(size_t bytes)
    {
        const uint64_t at = m_end;
        m_end += bytes;
        if (m_end > 0xFFFFFF00ull)
            throw Error("Cannot write \"" + m_path + "\": the memo file would exceed 4 GB.");
        return at;
    }
    void startShared()
    {
        flushShared();
        m_shared.assign(kMbBlock, 0);
        m_shared[0] = 3;
        put16(m_shared.data() + 1, 1);
        m_sharedOffset = allocate(kMbBlock);
        m_slots = 0;
        m_nextUnit = kFirstUnit;
    }
    void flushShared()
    {
        if (!m_shared.empty())
            writeAt(m_sharedOffset, m_shared.data(), m_shared.size());
        m_shared.clear();
    }
    void writeAt(uint64_t at, const unsigned char *p, size_t n)
    {
        if (std::fseek(m_file, long(at), SEEK_SET) != 0 || std::fwrite(p, 1, n, m_file) != n)
            throw Error("Cannot write \"" + m_path + "\": " + std::strerror(errno) + ".");
    }

    std::string m_path;
    std::FILE *m_file = nullptr;
    uint64_t m_end = 0;
    std::vector<unsigned char> m_shared;
    uint64_t m_sharedOffset = 0;
    unsigned m_slots = 0;
    unsigned m_nextUnit = kFirstUnit;
};

ParadoxWriter::ParadoxWriter(const std::string &dbPath, std::vector<ParadoxFieldDef> fields, int codePage,
                             int blockSizeKb)
    : m_path(dbPath), m_codePage(codePage), m_blockSize(blockSizeKb * 1024)
{
    if (blockSizeKb != 1 && blockSizeKb != 2 && blockSizeKb != 4 && blockSizeKb != 8 && blockSizeKb != 16 &&
        blockSizeKb != 32)
        fail("the block size must be 1, 2, 4, 8, 16 or 32 KB");
    if (fields.empty() || fields.size() > 255)
        fail("a table has 1 to 255 fields");
    bool anyBlob = false;
    for (ParadoxFieldDef &def : fields) {
        FieldLayout f;
        f.type = typeByte(def.type);
        if (!f.type)
            fail("field \"" + def.name + "\" has the unknown type '" + std::string(1, def.type) + "'");
        switch (def.type) {
        case 'A':
        case 'Y':
            if (def.size < 1 || def.size > 255)
                fail("field \"" + def.name + "\" needs a size of 1 to 255");
            f.size = f.headerSize = def.size;
            break;
        case 'D':
        case 'I':
        case '+':
        case 'T': f.size = f.headerSize = 4; break;
        case 'S': f.size = f.headerSize = 2; break;
        case 'N':
        case '$':
        case '@': f.size = f.headerSize = 8; break;
        case 'L': f.size = f.headerSize = 1; break;
        case '#':
            if (def.size < 0 || def.size > 32)
                fail("BCD field \"" + def.name + "\" has 0 to 32 decimal places");
            f.size = 17;
            f.headerSize = def.size;
            break;
        default: // memo and blob types
            if (def.size == 0)
                def.size = 10;
            if (def.size < 10 || def.size > 250)
                fail("field \"" + def.name + "\" needs a size of 10 to 250");
            f.size = f.headerSize = def.size;
            anyBlob = true;
            break;
        }
        f.offset = m_recordSize;
        m_recordSize += f.size;
        f.def = std::move(def);
        m_fields.push_back(std::move(f));
    }
    if (m_recordSize > m_blockSize - 6)
        fail("records of " + std::to_string(m_recordSize) + " bytes do not fit a " + std::to_string(m_blockSize) +
             "-byte block; choose a larger block size");
    m_recordsPerBlock = (m_blockSize - 6) / m_recordSize;

    const std::vector<unsigned char> h = header();
    m_headerSize = int(h.size());
    m_file = std::fopen(m_path.c_str(), "wb");
    if (!m_file)
        throw Error("Cannot create \"" + m_path + "\": " + std::strerror(errno) + ".");
    std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
    if (std::fwrite(h.data(), 1, h.size(), m_file) != h.size())
        fail(std::strerror(errno));
    if (anyBlob)
        m_blobs = std::make_unique<BlobWriter>(blobPathFor(m_path));
    m_block.assign(size_t(m_blockSize), 0);
}

ParadoxWriter::~ParadoxWriter()
{
    if (!m_finished) {
        try {
            finish();
        } catch (const Error &) {
        }
    }
    if (m_file)
        std::fclose(m_file);
}

void ParadoxWriter::fail(const std::string &what) const
{
    throw Error("Cannot write the Paradox table \"" + m_path + "\": " + what + ".");
}

std::vector<unsigned char> ParadoxWriter::header() const
{
    const paradox::CodePage &cp = paradox::CodePage::forNumber(m_codePage);
    std::string names;
    for (const FieldLayout &f : m_fields) {
        if (!cp.encode(f.def.name, names))
            fail("the field name \"" + f.def.name + "\" cannot be written in code page " + std::to_string(m_codePage));
        names.push_back('\0');
    }
    const size_t nf = m_fields.size();
    const size_t tableNameLength = 261;
    const size_t needed = 0x78 + nf * 2 + 4 + nf * 4 + tableNameLength + names.size() + nf * 2 + 16;
    const size_t size = (needed + 0x7FF) & ~size_t(0x7FF);
    if (size > 0xFFFF)
        fail("the field names are too long for a table header");
    std::vector<unsigned char> h(size, 0);
    unsigned char *p = h.data();
    put16(p + 0x00, unsigned(m_recordSize));
    put16(p + 0x02, unsigned(size));
    p[0x04] = 2; // non-keyed table
    p[0x05] = uint8_t(m_blockSize / 1024);
    put32(p + 0x06, uint32_t(m_rows));
    put16(p + 0x0A, m_blocks);
    put16(p + 0x0C, m_blocks);
    put16(p + 0x0E, m_blocks ? 1 : 0);
    put16(p + 0x10, m_blocks);
    put16(p + 0x21, unsigned(nf));
    put32(p + 0x25, 0xFF00FF00u);
    p[0x29] = 0x62; // sort order: ascii
    p[0x2D] = 2;
    p[0x2E] = 1;
    p[0x39] = 12; // version 7
    put16(p + 0x3A, m_blocks);
    p[0x3E] = 0x1F;
    p[0x3F] = 0x0F;
    put32(p + 0x49, uint32_t(m_autoIncrement));
    p[0x56] = 0x20;
    put16(p + 0x58, 0x010C);
    put16(p + 0x5A, 0x010C);
    put32(p + 0x60, uint32_t(std::time(nullptr)));
    put16(p + 0x64, unsigned(nf + 1));
    put16(p + 0x6A, unsigned(cp.number()));
    p[0x6C] = 1;
    p[0x6D] = 1;
    size_t pos = 0x78;
    for (const FieldLayout &f : m_fields) {
        p[pos++] = f.type;
        p[pos++] = uint8_t(f.headerSize);
    }
    pos += 4 + nf * 4; // pointers a reader recomputes
    const std::string stem = [&] {
        const size_t slash = m_path.find_last_of('/');
        std::string s = m_path.substr(slash == std::string::npos ? 0 : slash + 1);
        return s.substr(0, std::min<size_t>(s.size(), tableNameLength - 1));
    }();
    std::memcpy(p + pos, stem.data(), stem.size());
    pos += tableNameLength;
    std::memcpy(p + pos, names.data(), names.size());
    pos += names.size();
    for (size_t i = 0; i < nf; ++i, pos += 2)
        put16(p + pos, unsigned(i + 1));
    std::memcpy(p + pos, "ascii", 5);
    return h;
}

void ParadoxWriter::addRow(const std::vector<Value> &row)
{
    if (m_finished)
        fail("rows cannot be added after finish()");
    if (row.size() != m_fields.size())
        fail("row " + std::to_string(m_rows + 1) + " has " + std::to_string(row.size()) + " values for " +
             std::to_string(m_fields.size()) + " fields");
    if (m_inBlock == m_recordsPerBlock)
        flushBlock(false);
    unsigned char *record = m_block.data() + 6 + size_t(m_inBlock) * size_t(m_recordSize);
    std::memset(record, 0, size_t(m_recordSize));
    for (size_t j = 0; j < m_fields.size(); ++j)
        encodeValue(m_fields[j], row[j], record + m_fields[j].offset);
    ++m_inBlock;
    ++m_rows;
}

void ParadoxWriter::encodeValue(const FieldLayout &f, const Value &v, unsigned char *out)
{
    auto bad = [&](const std::string &what) {
        fail("the value of field \"" + f.def.name + "\" in row " + std::to_string(m_rows + 1) + " " + what);
    };
    const char t = f.def.type;
    if (v.isNull() || v.isEmpty()) {
        if (t == '+') {
            if (m_autoIncrement == INT32_MAX)
                bad("cannot be numbered: the autoincrement is exhausted");
            putBe32(out, uint32_t(++m_autoIncrement) ^ 0x8000'0000u);
        }
        return;
    }
    using K = Value::Kind;
    auto number = [&]() -> double {
        switch (v.kind()) {
        case K::Double: return v.real();
        case K::Integer: return double(v.integer());
        case K::Currency: return double(v.currencyUnits()) / 10000.0;
        default: bad("is not a number"); return 0;
        }
    };
    auto integer = [&](int64_t lo, int64_t hi) -> int64_t {
        if (v.kind() != K::Integer)
            bad("is not an integer");
        if (v.integer() < lo || v.integer() > hi)
            bad(std::to_string(v.integer()) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
        return v.integer();
    };
    auto dateTime = [&]() -> DateTime {
        if (v.kind() != K::DateTime)
            bad("is not a date-time");
        return v.dateTime();
    };
    switch (t) {
    case 'A': {
        if (v.kind() != K::Text)
            bad("is not text");
        if (v.str().find('\0') != std::string::npos)
            bad("contains a NUL character");
        m_scratch.clear();
        if (!paradox::CodePage::forNumber(m_codePage).encode(v.str(), m_scratch))
            bad("has characters that code page " + std::to_string(m_codePage) + " cannot hold");
        if (m_scratch.size() > size_t(f.size))
            bad("takes " + std::to_string(m_scratch.size()) + " bytes; the field holds " + std::to_string(f.size));
        std::memcpy(out, m_scratch.data(), m_scratch.size());
        return;
    }
    case 'S': {
        const int64_t i = integer(-32767, 32767);
        const uint16_t u = uint16_t(uint16_t(int16_t(i)) ^ 0x8000);
        out[0] = uint8_t(u >> 8);
        out[1] = uint8_t(u);
        return;
    }
    case 'I': putBe32(out, uint32_t(int32_t(integer(-2147483647, 2147483647))) ^ 0x8000'0000u); return;
    case '+': {
        const int64_t i = integer(1, 2147483647);
        m_autoIncrement = std::max<int32_t>(m_autoIncrement, int32_t(i));
        putBe32(out, uint32_t(i) ^ 0x8000'0000u);
        return;
    }
    case 'N':
    case '$': {
        const double d = number();
        if (!std::isfinite(d))
            bad("is not a finite number");
        putDouble(out, d);
        return;
    }
    case 'D': {
        const int64_t day = dateTime().days + kZeroDateDay;
        if (day < 1 || day > 3652059)
            bad("is outside the years 1 to 9999");
        putBe32(out, uint32_t(int32_t(day)) ^ 0x8000'0000u);
        return;
    }
    case 'T': {
        const int32_t ms = dateTime().msOfDay;
        if (ms < 0 || ms >= kMsPerDay)
            bad("is no time of day");
        putBe32(out, uint32_t(ms) ^ 0x8000'0000u);
        return;
    }
    case '@': {
        const DateTime dt = dateTime();
        const int64_t day = dt.days + kZeroDateDay;
        if (day < 1 || day > 3652059 || dt.msOfDay < 0 || dt.msOfDay >= kMsPerDay)
            bad("is outside the years 1 to 9999");
        putDouble(out, double(day * kMsPerDay + dt.msOfDay));
        return;
    }
    case 'L':
        if (v.kind() != K::Boolean)
            bad("is not a boolean");
        out[0] = v.boolean() ? 0x81 : 0x80;
        return;
    case '#': {
        std::string text;
        if (v.kind() == K::Decimal || v.kind() == K::Text)
            text = v.str();
        else if (v.kind() == K::Integer)
            text = std::to_string(v.integer());
        else
            bad("is not a decimal number");
        size_t i = 0;
        bool negative = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            negative = text[i++] == '-';
        std::string whole, fraction;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            whole.push_back(text[i++]);
        if (i < text.size() && text[i] == '.') {
            ++i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                fraction.push_back(text[i++]);
        }
        if (i != text.size() || (whole.empty() && fraction.empty()))
            bad("\"" + text + "\" is not a decimal number");
        const int decimals = f.headerSize;
        while (fraction.size() > size_t(decimals) && fraction.back() == '0')
            fraction.pop_back();
        if (fraction.size() > size_t(decimals))
            bad("\"" + text + "\" has more than " + std::to_string(decimals) + " decimal places");
        whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
        if (whole.size() > size_t(32 - decimals))
            bad("\"" + text + "\" has more than " + std::to_string(32 - decimals) + " digits before the point");
        fraction.resize(size_t(decimals), '0');
        const std::string digits = std::string(size_t(32 - decimals) - whole.size(), '0') + whole + fraction;
        if (digits.find_first_not_of('0') == std::string::npos)
            negative = false;
        out[0] = uint8_t((negative ? 0x40 : 0xC0) | decimals);
        for (int k = 0; k < 32; ++k) {
            unsigned nibble = unsigned(digits[size_t(k)] - '0');
            if (negative)
                nibble ^= 0x0F;
            const int n = k + 2;
            if (n & 1)
                out[n / 2] = uint8_t(out[n / 2] | nibble);
            else
                out[n / 2] = uint8_t(nibble << 4);
        }
        return;
    }
    case 'Y':
        if (v.kind() != K::Bytes)
            bad("is not bytes");
        if (v.str().size() > size_t(f.size))
            bad("has " + std::to_string(v.str().size()) + " bytes; the field holds " + std::to_string(f.size));
        std::memcpy(out, v.str().data(), v.str().size());
        return;
    default: encodeBlob(f, v, out); return;
    }
}

void ParadoxWriter::encodeBlob(const FieldLayout &f, const Value &v, unsigned char *out)
{
    auto bad = [&](const std::string &what) {
        fail("the value of field \"" + f.def.name + "\" in row " + std::to_string(m_rows + 1) + " " + what);
    };
    const char t = f.def.type;
    m_scratch.clear();
    if (t == 'M') {
        if (v.kind() != Value::Kind::Text)
            bad("is not text");
        if (!paradox::CodePage::forNumber(m_codePage).encode(v.str(), m_scratch))
            bad("has characters that code page " + std::to_string(m_codePage) + " cannot hold");
    } else {
        if (v.kind() != Value::Kind::Bytes)
            bad("is not bytes");
        if (t == 'G' || t == 'O') {
            const unsigned char head[8] = {1, 0, 0, uint8_t(t == 'G' ? 1 : 2), 0, 0, 0, 0};
            m_scratch.assign(reinterpret_cast<const char *>(head), 8);
            put32(reinterpret_cast<unsigned char *>(m_scratch.data()) + 4, uint32_t(v.str().size()));
        }
        m_scratch += v.str();
    }
    if (m_scratch.empty())
        return; // an empty memo is blank
    if (m_scratch.size() > 0xFFFFFFF0u)
        bad("is too large");
    const size_t leader = size_t(f.size - 10);
    std::memcpy(out, m_scratch.data(), std::min(leader, m_scratch.size()));
    unsigned char *pointer = out + leader;
    if (m_scratch.size() <= leader) {
        put32(pointer + 4, uint32_t(m_scratch.size()));
        put16(pointer + 8, 1);
        return;
    }
    m_blobs->store(m_scratch, pointer);
}

void ParadoxWriter::flushBlock(bool last)
{
    if (m_blocks == 0xFFFF)
        fail("the table has more rows than 65,535 blocks of " + std::to_string(m_blockSize) +
             " bytes hold; choose a larger block size");
    const uint32_t number = ++m_blocks;
    unsigned char *b = m_block.data();
    put16(b, last ? 0 : number + 1);
    put16(b + 2, number - 1);
    put16(b + 4, unsigned((m_inBlock - 1) * m_recordSize));
    if (std::fwrite(b, 1, m_block.size(), m_file) != m_block.size())
        fail(std::strerror(errno));
    std::memset(b, 0, m_block.size());
    m_inBlock = 0;
}

void ParadoxWriter::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_inBlock > 0)
        flushBlock(true);
    const std::vector<unsigned char> h = header();
    if (int(h.size()) != m_headerSize)
        fail("the header changed size");
    if (std::fseek(m_file, 0, SEEK_SET) != 0 || std::fwrite(h.data(), 1, h.size(), m_file) != h.size())
        fail(std::strerror(errno));
    const int rc = std::fclose(m_file);
    m_file = nullptr;
    if (rc != 0)
        fail(std::strerror(errno));
    if (m_blobs)
        m_blobs->finish();
}

} // namespace tabulon
