#include "source/paradox/paradoxtable.h"

#include "common/error.h"
#include "common/nametext.h"
#include "source/paradox/codepage.h"
#include "source/paradox/paradoxcrypt.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include <QString>

namespace tabulon::paradox {
namespace {

// Day 1 of Paradox dates is 0001-01-01; the zero date 1899-12-30 is day 693594.
constexpr int64_t kZeroDateDay = 693594;
constexpr int64_t kMsPerDay = 86'400'000;

uint16_t le16(const unsigned char *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t be32(const unsigned char *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool allZero(const unsigned char *p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

// Numbers are stored big-endian with the sign bit flipped so that they sort
// as bytes; negative doubles have every bit inverted.
double storedDouble(const unsigned char *p)
{
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i)
        u = u << 8 | p[i];
    if (u & 0x8000'0000'0000'0000ull)
        u &= 0x7FFF'FFFF'FFFF'FFFFull;
    else
        u = ~u;
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

const char *typeName(uint8_t type)
{
    switch (type) {
    case Alpha: return "Alpha";
    case Date: return "Date";
    case Short: return "Short";
    case Long: return "Long Integer";
    case Money: return "Money";
    case Number: return "Number";
    case Logical: return "Logical";
    case Memo: return "Memo";
    case Blob: return "Binary";
    case FormattedMemo: return "Formatted Memo";
    case Ole: return "OLE";
    case Graphic: return "Graphic";
    case Time: return "Time";
    case Timestamp: return "Timestamp";
    case AutoIncrement: return "Autoincrement";
    case Bcd: return "BCD";
    case Bytes: return "Bytes";
    default: return nullptr;
    }
}

char typeLetter(uint8_t type)
{
    switch (type) {
    case Alpha: return 'A';
    case Date: return 'D';
    case Short: return 'S';
    case Long: return 'I';
    case Money: return '$';
    case Number: return 'N';
    case Logical: return 'L';
    case Memo: return 'M';
    case Blob: return 'B';
    case FormattedMemo: return 'F';
    case Ole: return 'O';
    case Graphic: return 'G';
    case Time: return 'T';
    case Timestamp: return '@';
    case AutoIncrement: return '+';
    case Bcd: return '#';
    case Bytes: return 'Y';
    default: return 0;
    }
}

int adoType(uint8_t type)
{
    using namespace AdoType;
    switch (type) {
    case Alpha: return adVarWChar;
    case Date:
    case Time:
    case Timestamp: return adDate;
    case Short: return adSmallInt;
    case Long:
    case AutoIncrement: return adInteger;
    case Number: return adDouble;
    case Money: return adCurrency;
    case Logical: return adBoolean;
    case Bcd: return adNumeric;
    case Memo: return adLongVarWChar;
    case Blob:
    case FormattedMemo:
    case Ole:
    case Graphic: return adLongVarBinary;
    case Bytes: return adBinary;
    default: return adEmpty;
    }
}

// Bytes a field of this type takes in the record, or 0 when `size` is not
// a size such a field can have.
int recordBytes(uint8_t type, int size)
{
    switch (type) {
    case Alpha:
    case Bytes: return size >= 1 ? size : 0;
    case Date:
    case Long:
    case Time:
    case AutoIncrement: return size == 4 ? 4 : 0;
    case Short: return size == 2 ? 2 : 0;
    case Money:
    case Number:
    case Timestamp: return size == 8 ? 8 : 0;
    case Logical: return size == 1 ? 1 : 0;
    case Bcd: return size <= 32 ? 17 : 0;
    case Memo:
    case Blob:
    case FormattedMemo:
    case Ole:
    case Graphic: return size >= 10 ? size : 0;
    default: return 0;
    }
}

// The record keeps a copy of a value's first bytes: of a memo as it is, of a
// graphic after its storage header, as real tables show. Binary, OLE and
// formatted memo leaders are not compared: no real table shows how they
// are kept, and a wrong guess would cost sound values.
bool leaderMatches(uint8_t type, const unsigned char *leader, size_t n, const std::string &value)
{
    if (type == Memo)
        return std::memcmp(leader, value.data(), n) == 0;
    if (type == Graphic)
        return value.size() < 8 || std::memcmp(leader, value.data() + 8, std::min(n, value.size() - 8)) == 0;
    return true;
}

} // namespace

ParadoxTable::ParadoxTable(const std::string &path) : m_file(path), m_blobs(path, 0)
{
    readHeader();
    m_blobs = ParadoxBlobFile(path, m_key);
    m_block.resize(size_t(m_blockSize));
    m_account.file = path;
    m_account.expectedRows = m_recordCount;
}

ParadoxTable::~ParadoxTable() = default;

int ParadoxTable::codePage() const { return m_codePage->number(); }

void ParadoxTable::useCodePage(int number)
{
    m_codePage = &CodePage::forNumber(number);
    m_account.codePage = m_codePage->number();
    std::string decoded;
    for (size_t i = 0; i < m_fields.size() && i < m_rawNames.size(); ++i) {
        const std::string &raw = m_rawNames[i];
        decoded.clear();
        m_codePage->decode(reinterpret_cast<const unsigned char *>(raw.data()), raw.size(), decoded);
        m_fields[i].name = PrintableName(decoded);
    }
    nameFieldsApart();
}

// A damaged header can give fields no name or one name twice; MySQL takes
// neither as columns, so such fields get a name of their own, and are told.
void ParadoxTable::nameFieldsApart()
{
    // MySQL compares column names without regard to case, accents or trailing blanks.
    auto key = [](const std::string &name) {
        QString s = QString::fromStdString(name).normalized(QString::NormalizationForm_D);
        s.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
        while (!s.isEmpty() && s.back() == u' ')
            s.chop(1);
        return s.toCaseFolded().toStdString();
    };
    int faults = 0;
    std::string first;
    std::unordered_set<std::string> taken;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        std::string &name = m_fields[i].name;
        const std::string was = name;
        const std::string base = key(name).empty() ? "Field" + std::to_string(i + 1) : name;
        name = base;
        for (int n = 2; !taken.insert(key(name)).second; ++n)
            name = base + "_" + std::to_string(n);
        if (name != was && faults++ == 0)
            first = key(was).empty() ? "field " + std::to_string(i + 1) + " has no name; it is named " + name
                                     : "field " + std::to_string(i + 1) + " is named \"" + was +
                                           "\" like an earlier field; it is named " + name;
    }
    // The names are made again when the code page changes; so is their count.
    m_account.damagedBlocks += faults - m_nameFaults;
    if (m_nameFaults && m_account.damage == m_nameFault)
        m_account.damage.clear();
    if (faults && m_account.damage.empty())
        m_account.damage = first;
    m_nameFaults = faults;
    m_nameFault = first;
}

std::string ParadoxTable::textSample(size_t limit, size_t scanLimit)
{
    std::string sample;
    auto take = [&](const unsigned char *p, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (p[i] >= 0x80) {
                sample.append(reinterpret_cast<const char *>(p), std::min(n, limit - std::min(limit, sample.size())));
                sample.push_back('\n');
                return;
            }
        }
    };
    for (const std::string &raw : m_rawNames)
        take(reinterpret_cast<const unsigned char *>(raw.data()), raw.size());
    bool anyText = false;
    for (const ParadoxField &f : m_fields)
        anyText = anyText || f.type == Alpha || f.type == Memo;
    size_t scanned = 0;
    while (anyText && sample.size() < limit && scanned < scanLimit && next()) {
        for (const ParadoxField &f : m_fields) {
            const unsigned char *p = m_record + f.offset;
            if (f.type == Alpha) {
                const auto *end = static_cast<const unsigned char *>(std::memchr(p, 0, size_t(f.size)));
                const size_t n = end ? size_t(end - p) : size_t(f.size);
                take(p, n);
                scanned += n;
            } else if (f.type == Memo) {
                const size_t leader = size_t(f.size - 10);
                const uint32_t length = le32(p + leader + 4);
                if (length == 0)
                    continue;
                if (length <= leader) {
                    take(p, length);
                } else {
                    // What cannot be read here is told when the rows are read.
                    try {
                        if (!m_blobs.read(p + leader, m_blobData, nullptr))
                            continue;
                    } catch (const Error &) {
                        continue;
                    }
                    take(reinterpret_cast<const unsigned char *>(m_blobData.data()), m_blobData.size());
                }
                scanned += length;
            }
        }
    }
    return sample;
}

void ParadoxTable::damaged(const std::string &what) const
{
    throw Error("The Paradox table \"" + path() + "\" cannot be read: " + what +
                ". The file is damaged; repair it with Paradox or restore it from a backup.");
}

void ParadoxTable::readHeader()
{
    const uint64_t fileSize = m_file.size();
    if (fileSize < 0x58)
        damaged("it has " + std::to_string(fileSize) + " bytes, too few for a Paradox table header");
    unsigned char fixed[0x58];
    m_file.readAt(0, fixed, sizeof fixed);

    const unsigned fileType = fixed[4];
    if (fileType == 1)
        throw Error("\"" + path() + "\" is a Paradox primary index, not a table.");
    if (fileType != 0 && fileType != 2)
        throw Error("\"" + path() + "\" is not a Paradox table (file type " + std::to_string(fileType) +
                    ": an index or another kind of Paradox file).");
    m_keyed = fileType == 0;

    switch (fixed[0x39]) {
    case 3: m_version = 30; break;
    case 4: m_version = 35; break;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9: m_version = 40; break;
    case 10:
    case 11: m_version = 50; break;
    case 12: m_version = 70; break;
    default: damaged("its header names the unknown file version " + std::to_string(fixed[0x39]));
    }

    const unsigned blockKb = fixed[5];
    if (blockKb != 1 && blockKb != 2 && blockKb != 3 && blockKb != 4 && blockKb != 8 && blockKb != 16 && blockKb != 32)
        damaged("its header gives the impossible block size " + std::to_string(blockKb) + " KB");
    m_blockSize = int(blockKb) * 1024;
    m_recordSize = le16(fixed);
    m_headerSize = le16(fixed + 2);
    m_recordCount = le32(fixed + 6);
    m_firstBlock = le16(fixed + 0x0E);
    const int fieldCount = int16_t(le16(fixed + 0x21));
    // A count past the fields cannot be a key; such a table is read unkeyed.
    const int keyFields = m_keyed ? int16_t(le16(fixed + 0x23)) : 0;
    m_keyFields = keyFields >= 0 && keyFields <= fieldCount ? keyFields : 0;

    if (m_recordSize <= 0 || m_recordSize > m_blockSize - 6)
        damaged("its record size " + std::to_string(m_recordSize) + " does not fit its " + std::to_string(m_blockSize) +
                "-byte blocks");
    const int base = m_version >= 40 ? 0x78 : 0x58;
    if (m_headerSize < base)
        damaged("its header size " + std::to_string(m_headerSize) + " is too small");
    if (uint64_t(m_headerSize) > fileSize)
        damaged("its header of " + std::to_string(m_headerSize) + " bytes is longer than the file (" +
                std::to_string(fileSize) + " bytes); the file is truncated");
    if (fieldCount <= 0)
        damaged("its header gives " + std::to_string(fieldCount) + " fields");

    std::vector<unsigned char> header(static_cast<size_t>(m_headerSize));
    m_file.readAt(0, header.data(), header.size());
    const unsigned char *h = header.data();

    int codePage = 0;
    m_key = le32(h + 0x25);
    if (m_version >= 40) {
        codePage = le16(h + 0x6A);
        if (m_key == 0xFF00FF00u)
            m_key = le32(h + 0x5C);
    } else if (m_key == 0xFF00FF00u) {
        m_key = 0;
    }
    m_codePage = &CodePage::forNumber(codePage);

    const int tableNameLength = m_version >= 70 ? 261 : 79;
    const int64_t namesStart = int64_t(base) + int64_t(fieldCount) * 6 + 4 + tableNameLength;
    if (namesStart > m_headerSize)
        damaged("its " + std::to_string(fieldCount) + " field descriptions do not fit its " +
                std::to_string(m_headerSize) + "-byte header");

    m_fields.resize(size_t(fieldCount));
    int offset = 0;
    for (int i = 0; i < fieldCount; ++i) {
        ParadoxField &f = m_fields[size_t(i)];
        f.type = h[base + 2 * i];
        const int size = h[base + 2 * i + 1];
        if (!typeName(f.type))
            damaged("field " + std::to_string(i + 1) + " has the unknown type " + std::to_string(f.type));
        f.size = recordBytes(f.type, size);
        if (!f.size)
            damaged("field " + std::to_string(i + 1) + " (" + typeName(f.type) + ") has the impossible size " +
                    std::to_string(size));
        f.decimals = f.type == Bcd ? size : 0;
        f.offset = offset;
        offset += f.size;
    }
    if (offset != m_recordSize)
        damaged("its fields take " + std::to_string(offset) + " bytes but its records have " +
                std::to_string(m_recordSize));

    int64_t pos = namesStart;
    for (int i = 0; i < fieldCount; ++i) {
        const auto *start = h + pos;
        const auto *end = static_cast<const unsigned char *>(std::memchr(start, 0, size_t(m_headerSize - pos)));
        if (!end)
            damaged("its field names run past the end of its header");
        m_rawNames.emplace_back(reinterpret_cast<const char *>(start), size_t(end - start));
        pos = end - h + 1;
    }
    useCodePage(m_codePage->number());
    m_account.headerCodePage = m_codePage->number();

    const uint64_t blocks = (fileSize - uint64_t(m_headerSize) + uint64_t(m_blockSize) - 1) / uint64_t(m_blockSize);
    m_blocksInFile = uint32_t(std::min<uint64_t>(blocks, 65535));
    m_visited.assign(size_t(m_blocksInFile) + 1, false);
}

std::vector<Field> ParadoxTable::adoFields() const
{
    std::vector<Field> out;
    out.reserve(m_fields.size());
    for (const ParadoxField &f : m_fields) {
        Field a;
        a.name = f.name;
        a.type = adoType(f.type);
        a.definedSize = f.size;
        a.sourceType = typeLetter(f.type);
        a.key = out.size() < size_t(m_keyFields);
        if (f.type == Bcd) {
            a.precision = 32;
            a.scale = f.decimals;
        }
        out.push_back(std::move(a));
    }
    return out;
}

template <class Text> void ParadoxTable::noteDamage(Text &&text)
{
    if (m_account.damagedBlocks++ == 0)
        m_account.damage = text();
}

// Damage in the chain of data blocks ends the chain there, or skips one
// block, and is counted rather than thrown: the records read so far are
// sound, and the count against the header tells what was lost.
void ParadoxTable::loadBlock(uint32_t number)
{
    const uint32_t from = m_currentBlock;
    const bool mustLinkBack = m_verifyLink;
    auto link = [&] {
        return from ? "data block " + std::to_string(from) + " continues with block " + std::to_string(number)
                    : "its header names block " + std::to_string(number) + " as the first data block";
    };
    m_verifyLink = false;
    m_nextBlock = 0;
    m_recordsInBlock = 0;
    m_recordIndex = 0;
    if (number > m_blocksInFile)
        return noteDamage([&] { return link() + ", which lies past the end of the file; the file is truncated"; });
    if (m_visited[number])
        return noteDamage([&] {
            return "its chain of data blocks runs in a circle (block " + std::to_string(number) + " comes twice)";
        });
    m_visited[number] = true;
    m_currentBlock = number;

    const uint64_t offset = uint64_t(m_headerSize) + uint64_t(number - 1) * uint64_t(m_blockSize);
    const size_t got = m_file.readAt(offset, m_block.data(), m_block.size());
    if (got < m_block.size())
        std::memset(m_block.data() + got, 0, m_block.size() - got);
    // A block of zeros is a lost sector, not a record of blanks; only a table
    // of one blank record may look like that.
    if (allZero(m_block.data(), m_block.size()) && !(from == 0 && m_recordCount == 1))
        return noteDamage(
            [&] { return "data block " + std::to_string(number) + " is blank (all its bytes are zero)"; });
    if (m_key)
        DecryptDataBlock(m_block.data(), m_block.size(), m_key, number);

    const uint32_t next = le16(m_block.data());
    const uint32_t previous = le16(m_block.data() + 2);
    // Paradox keeps the chain linked both ways. After a damaged block its
    // next pointer is trusted only when the back link confirms it; elsewhere
    // a wrong back link is damage worth telling, but the block is read.
    if (previous != from) {
        auto broken = [&] {
            return link() + ", but block " + std::to_string(number) + " names block " + std::to_string(previous) +
                   " before it";
        };
        noteDamage(broken);
        if (mustLinkBack)
            return;
    }
    // The offset of the block's last record; an empty block has minus one record.
    const int lastOffset = int16_t(le16(m_block.data() + 4));
    int count = 0;
    if (lastOffset != -m_recordSize) {
        if (lastOffset < 0 || lastOffset % m_recordSize != 0 || 6 + int64_t(lastOffset) + m_recordSize > m_blockSize) {
            m_nextBlock = next;
            m_verifyLink = true;
            return noteDamage([&] {
                return "data block " + std::to_string(number) + " gives " + std::to_string(lastOffset) +
                       " as the offset of its last record, which no record of " + std::to_string(m_recordSize) +
                       " bytes in a block of " + std::to_string(m_blockSize) + " can have";
            });
        }
        count = lastOffset / m_recordSize + 1;
    }
    // The last block may run past the end of the file; its records may not.
    const int whole = got < 6 ? 0 : int((got - 6) / size_t(m_recordSize));
    if (count > whole) {
        noteDamage([&] {
            return "the file ends inside data block " + std::to_string(number) + ", after " + std::to_string(whole) +
                   " of its " + std::to_string(count) + " records; the file is truncated";
        });
        count = whole;
    } else {
        m_nextBlock = next;
    }
    m_recordsInBlock = count;
}

bool ParadoxTable::next()
{
    if (!m_started) {
        m_started = true;
        m_nextBlock = m_firstBlock;
        if (m_firstBlock == 0 && m_recordCount > 0)
            noteDamage([] { return std::string("its header names no first data block"); });
    }
    while (m_recordIndex >= m_recordsInBlock) {
        if (m_nextBlock == 0) {
            m_record = nullptr;
            m_recordsInBlock = 0;
            return false;
        }
        loadBlock(m_nextBlock);
    }
    m_record = m_block.data() + 6 + size_t(m_recordIndex) * size_t(m_recordSize);
    ++m_recordIndex;
    ++m_account.rowsRead;
    return true;
}

void ParadoxTable::decode(int j, Value &v) { decodeAt(j, m_record + m_fields[size_t(j)].offset, v); }

void ParadoxTable::decodeAt(int j, const unsigned char *p, Value &v)
{
    const ParadoxField &f = m_fields[size_t(j)];
    auto bad = [&](const std::string &what) {
        throw Error("The value of field \"" + f.name + "\" in the Paradox table \"" + path() + "\" is not a valid " +
                    typeName(f.type) + " value: " + what + ".");
    };
    switch (f.type) {
    case Alpha: {
        const auto *end = static_cast<const unsigned char *>(std::memchr(p, 0, size_t(f.size)));
        const size_t n = end ? size_t(end - p) : size_t(f.size);
        if (n == 0) {
            v.setNull();
            return;
        }
        std::string &s = v.textBuffer(Value::Kind::Text);
        s.clear();
        m_codePage->decode(p, n, s);
        return;
    }
    case Short: {
        const uint16_t u = uint16_t(p[0] << 8 | p[1]);
        if (!u)
            v.setNull();
        else
            v.setInteger(int16_t(u ^ 0x8000));
        return;
    }
    case Long:
    case AutoIncrement:
    case Date:
    case Time: {
        const uint32_t u = be32(p);
        if (!u) {
            v.setNull();
            return;
        }
        const int32_t i = int32_t(u ^ 0x8000'0000u);
        if (f.type == Date)
            v.setDateTime(DateTime{int64_t(i) - kZeroDateDay, 0});
        else if (f.type == Time) {
            if (i < 0 || i >= kMsPerDay)
                bad(std::to_string(i) + " ms is no time of day");
            v.setDateTime(DateTime{0, i});
        } else
            v.setInteger(i);
        return;
    }
    case Number:
    case Money:
    case Timestamp: {
        if (allZero(p, 8)) {
            v.setNull();
            return;
        }
        const double d = storedDouble(p);
        if (f.type == Number) {
            v.setDouble(d);
        } else if (f.type == Money) {
            const double units = std::round(d * 10000.0);
            if (!std::isfinite(units) || std::fabs(units) >= 9.2e18)
                bad("it is out of the range of money values");
            v.setCurrency(int64_t(units));
        } else {
            // Dates before 0001-01-01 are negative; Paradox writes a few.
            if (!std::isfinite(d) || std::fabs(d) >= 9.0e18)
                bad("it is out of the range of dates");
            const int64_t ms = int64_t(std::llround(d));
            int64_t day = ms / kMsPerDay, rest = ms % kMsPerDay;
            if (rest < 0) {
                rest += kMsPerDay;
                --day;
            }
            v.setDateTime(DateTime{day - kZeroDateDay, int32_t(rest)});
        }
        return;
    }
    case Logical:
        if (p[0] == 0x80 || p[0] == 0x81) {
            v.setBoolean(p[0] == 0x81);
        } else {
            if (p[0])
                noteDamage([&] {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "0x%02X", p[0]);
                    return "field \"" + f.name + "\" of row " + std::to_string(m_account.rowsRead) + " holds " + hex +
                           ", which is no Logical value; it is stored as NULL";
                });
            v.setNull();
        }
        return;
    case Bcd: {
        if (!p[0]) {
            v.setNull();
            return;
        }
        // 32 digits in nibbles 2..33, the last `decimals` of them after the
        // point; negative numbers have every digit nibble inverted. Paradox
        // fills digits past a double's precision with junk nibbles: the
        // number ends at the first nibble that is no digit.
        const bool negative = !(p[0] & 0x80);
        const unsigned flip = negative ? 0x0F : 0x00;
        const int decimals = std::min(int(p[0] & 0x3F), 32);
        char digits[32];
        bool junk = false;
        for (int i = 0; i < 32; ++i) {
            const int n = i + 2;
            unsigned nibble = ((n & 1) ? p[n / 2] : p[n / 2] >> 4) & 0x0F;
            nibble ^= flip;
            if (nibble > 9)
                junk = true;
            digits[i] = junk ? '0' : char('0' + nibble);
        }
        std::string &s = v.textBuffer(Value::Kind::Decimal);
        s.clear();
        const int intDigits = 32 - decimals;
        int first = 0;
        while (first < intDigits && digits[first] == '0')
            ++first;
        bool nonZero = first < intDigits;
        for (int i = intDigits; i < 32 && !nonZero; ++i)
            nonZero = digits[i] != '0';
        if (negative && nonZero)
            s.push_back('-');
        if (first == intDigits)
            s.push_back('0');
        else
            s.append(digits + first, size_t(intDigits - first));
        if (decimals > 0) {
            s.push_back('.');
            s.append(digits + intDigits, size_t(decimals));
        }
        return;
    }
    case Bytes:
        if (allZero(p, size_t(f.size)))
            v.setNull();
        else
            v.setBytes(std::string_view(reinterpret_cast<const char *>(p), size_t(f.size)));
        return;
    default: decodeBlob(f, p, v); return;
    }
}

// Each place in the .mb belongs to one value. Decoding a value again is no
// second claim.
bool ParadoxTable::claimBlob(int field, uint32_t where)
{
    if (m_claimRow != m_account.rowsRead) {
        m_claimRow = m_account.rowsRead;
        m_rowClaims.clear();
    }
    for (const auto &[j, w] : m_rowClaims)
        if (w == where)
            return j == field;
    if (!m_blobs.claim(where))
        return false;
    m_rowClaims.emplace_back(field, where);
    return true;
}

void ParadoxTable::decodeBlob(const ParadoxField &f, const unsigned char *p, Value &v)
{
    const size_t leader = size_t(f.size - 10);
    const unsigned char *pointer = p + leader;
    const uint32_t length = le32(pointer + 4);
    if (length == 0) {
        v.setNull();
        return;
    }
    const unsigned char *data;
    if (length <= leader) {
        data = p;
    } else {
        // An unreadable .mb costs the value, not the row. Only the first
        // failure is put into words.
        const bool first = m_account.nullValues == 0;
        std::string why;
        bool read = false;
        try {
            read = m_blobs.read(pointer, m_blobData, first ? &why : nullptr);
        } catch (const Error &e) {
            why = e.what();
        }
        const uint32_t where = le32(pointer);
        if (read && !leaderMatches(f.type, p, leader, m_blobData)) {
            read = false;
            if (first)
                why = "the value's first bytes in the record differ from those at offset " +
                      std::to_string(where & 0xFFFFFF00u) + " (sub-block " + std::to_string(where & 0xFF) +
                      ") of the file; the record's pointer is damaged";
        } else if (read && !claimBlob(int(&f - m_fields.data()), where)) {
            read = false;
            if (first)
                why = "a value points to offset " + std::to_string(where & 0xFFFFFF00u) + " (sub-block " +
                      std::to_string(where & 0xFF) + ") of the file, where an earlier record's value is kept";
        }
        if (!read) {
            if (first) {
                m_account.nullFile = m_blobs.path();
                m_account.nullFault = "field \"" + f.name + "\": " + why;
            }
            ++m_account.nullValues;
            v.setNull();
            return;
        }
        data = reinterpret_cast<const unsigned char *>(m_blobData.data());
    }
    size_t n = length;
    // Graphic and OLE values start with an 8-byte storage header.
    if (f.type == Graphic || f.type == Ole) {
        if (n < 8)
            throw Error("The value of field \"" + f.name + "\" in the Paradox table \"" + path() +
                        "\" is damaged: it has " + std::to_string(n) + " bytes, fewer than its 8-byte header.");
        data += 8;
        n -= 8;
    }
    if (f.type == Memo) {
        std::string &s = v.textBuffer(Value::Kind::Text);
        s.clear();
        m_codePage->decode(data, n, s);
    } else {
        v.setBytes(std::string_view(reinterpret_cast<const char *>(data), n));
    }
}

} // namespace tabulon::paradox
