#include "source/paradox/paradoxblobfile.h"

#include "common/error.h"
#include "source/paradox/paradoxcrypt.h"

#include <QString>

#include <cstring>
#include <filesystem>

namespace tabulon::paradox {
namespace {

constexpr uint64_t kBlockSize = 4096;

uint32_t le32(const unsigned char *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// The .mb beside `dbPath` whose name differs only in case, or empty.
std::string findBlobFile(const std::string &dbPath)
{
    namespace fs = std::filesystem;
    const fs::path db(dbPath);
    const QString wanted = (QString::fromStdString(db.stem().string()) + ".mb").toCaseFolded();
    std::error_code ec;
    fs::path folder = db.parent_path();
    if (folder.empty())
        folder = ".";
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (QString::fromStdString(name).toCaseFolded() == wanted)
            return it->path().string();
    }
    return {};
}

} // namespace

ParadoxBlobFile::ParadoxBlobFile(std::string dbPath, uint32_t key) : m_dbPath(std::move(dbPath)), m_key(key) {}

void ParadoxBlobFile::fail(const std::string &field, const std::string &what) const
{
    throw Error("The value of field \"" + field + "\" cannot be read from the memo file \"" + m_path + "\": " +
                what + ". The memo file is damaged; repair the table with Paradox or restore it from a backup.");
}

void ParadoxBlobFile::open(const std::string &field)
{
    if (!m_tried) {
        m_tried = true;
        m_path = findBlobFile(m_dbPath);
        if (m_path.empty()) {
            const std::filesystem::path db(m_dbPath);
            m_openError = "The memo file " + db.stem().string() + ".MB of the table \"" + m_dbPath +
                          "\" is missing, so the memo and blob values kept there cannot be read. Copy the .MB file "
                          "into the table's folder.";
        } else {
            try {
                m_file = std::make_unique<ReadOnlyFile>(m_path);
            } catch (const Error &e) {
                m_openError = e.what();
            }
        }
    }
    if (!m_file)
        throw Error("The value of field \"" + field + "\" cannot be read. " + m_openError);
}

void ParadoxBlobFile::readRange(uint64_t offset, size_t n, std::string &out, const std::string &field)
{
    if (offset > m_file->size() || n > m_file->size() - offset)
        fail(field, "a value runs past the end of the file (offset " + std::to_string(offset) + ", " +
                        std::to_string(n) + " bytes)");
    if (!m_key) {
        out.resize(n);
        if (m_file->readAt(offset, out.data(), n) != n)
            fail(field, "the file is shorter than it was");
        return;
    }
    // The scrambling works on 256-byte chunks of the whole file.
    const uint64_t start = offset & ~uint64_t(255);
    const uint64_t end = (offset + n + 255) & ~uint64_t(255);
    m_scratch.assign(size_t(end - start), '\0');
    m_file->readAt(start, m_scratch.data(), m_scratch.size());
    DecryptBlobChunks(reinterpret_cast<unsigned char *>(m_scratch.data()), m_scratch.size(), m_key);
    out.assign(m_scratch, size_t(offset - start), n);
}

void ParadoxBlobFile::read(const unsigned char *pointer, std::string &out, const std::string &field)
{
    open(field);
    const uint32_t where = le32(pointer);
    const uint32_t length = le32(pointer + 4);
    const uint64_t block = where & 0xFFFFFF00u;
    const unsigned index = where & 0xFF;
    if (block == 0)
        fail(field, "a value points into the file's header block");
    std::string head;
    readRange(block, 3, head, field);
    const unsigned type = static_cast<unsigned char>(head[0]);
    if (type == 2) {
        if (index != 0xFF)
            fail(field, "a value points to a single-value block with sub-block index " + std::to_string(index));
        readRange(block, 9, head, field);
        const uint32_t stored = le32(reinterpret_cast<const unsigned char *>(head.data()) + 3);
        if (stored != length)
            fail(field, "the block at offset " + std::to_string(block) + " holds " + std::to_string(stored) +
                            " bytes where the record expects " + std::to_string(length));
        readRange(block + 9, length, out, field);
    } else if (type == 3) {
        if (index >= 64)
            fail(field, "a value points to sub-block " + std::to_string(index) + " of a block that has 64");
        readRange(block + 12 + index * 5, 5, head, field);
        const auto *e = reinterpret_cast<const unsigned char *>(head.data());
        // A length that is a multiple of 16 is kept as (n/16, 16), not (n/16 + 1, 0).
        const int64_t stored = (int64_t(e[1]) - 1) * 16 + e[4];
        if (e[1] == 0 || stored != int64_t(length))
            fail(field, "sub-block " + std::to_string(index) + " at offset " + std::to_string(block) + " holds " +
                            std::to_string(stored < 0 ? 0 : stored) + " bytes where the record expects " +
                            std::to_string(length));
        const uint64_t start = uint64_t(e[0]) * 16;
        if (start < 12 + 64 * 5 || start + length > kBlockSize)
            fail(field, "sub-block " + std::to_string(index) + " at offset " + std::to_string(block) +
                            " lies outside its block");
        readRange(block + start, length, out, field);
    } else {
        fail(field, "a value points to a block of type " + std::to_string(type) + " at offset " +
                        std::to_string(block) + ", which holds no value");
    }
}

} // namespace tabulon::paradox
