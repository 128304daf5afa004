#include "source/paradox/paradoxblobfile.h"

#include "common/error.h"
#include "fs/nativefs.h"
#include "source/paradox/paradoxcrypt.h"

#include <QString>

#include <cstring>
#include <utility>

namespace tabulon::paradox {
namespace {

constexpr uint64_t kBlockSize = 4096;

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The folder part of `path` with its separator, and the file name's stem.
std::pair<std::string, std::string> folderAndStem(const std::string &path)
{
    std::size_t cut = path.size();
    while (cut > 0 && !native::IsSeparator(path[cut - 1]))
        --cut;
    const std::string file = path.substr(cut);
    const std::size_t dot = file.rfind('.');
    return {path.substr(0, cut), dot == std::string::npos || dot == 0 ? file : file.substr(0, dot)};
}

// The .mb beside `dbPath` whose name differs only in case, or empty.
std::string findBlobFile(const std::string &dbPath)
{
    const auto [folder, stem] = folderAndStem(dbPath);
    const QString wanted = (QString::fromStdString(stem) + ".mb").toCaseFolded();
    const std::string where = folder.empty() ? "./" : folder;
    std::string found;
    native::ListFolder(where, [&](const std::string &name, native::Kind) {
        if (found.empty() && QString::fromStdString(name).toCaseFolded() == wanted)
            found = where + name;
    });
    return found;
}

// Fails a read: the reason is spelt out only when someone asks for it.
template <class Text> bool fail(std::string *why, Text &&text)
{
    if (why)
        *why = text();
    return false;
}

} // namespace

ParadoxBlobFile::ParadoxBlobFile(std::string dbPath, uint32_t key) : m_dbPath(std::move(dbPath)), m_key(key) {}

std::string ParadoxBlobFile::path() const
{
    if (!m_path.empty())
        return m_path;
    const auto [folder, stem] = folderAndStem(m_dbPath);
    return folder + stem + ".MB";
}

bool ParadoxBlobFile::open(std::string *why)
{
    if (!m_tried) {
        m_tried = true;
        m_path = findBlobFile(m_dbPath);
        if (m_path.empty()) {
            m_openError = "the file is missing";
        } else {
            try {
                m_file = std::make_unique<ReadOnlyFile>(m_path);
            } catch (const Error &e) {
                m_openError = e.what();
            }
        }
    }
    return m_file || fail(why, [&] { return m_openError; });
}

bool ParadoxBlobFile::readRange(uint64_t offset, size_t n, std::string &out, std::string *why)
{
    if (offset > m_file->size() || n > m_file->size() - offset)
        return fail(why, [&] {
            return "a value runs past the end of the file (offset " + std::to_string(offset) + ", " +
                   std::to_string(n) + " bytes; the file has " + std::to_string(m_file->size()) + ")";
        });
    if (!m_key) {
        out.resize(n);
        return m_file->readAt(offset, out.data(), n) == n ||
               fail(why, [] { return "the file is shorter than it was"; });
    }
    // The scrambling works on 256-byte chunks of the whole file.
    const uint64_t start = offset & ~uint64_t(255);
    const uint64_t end = (offset + n + 255) & ~uint64_t(255);
    m_scratch.assign(size_t(end - start), '\0');
    m_file->readAt(start, m_scratch.data(), m_scratch.size());
    DecryptBlobChunks(reinterpret_cast<unsigned char *>(m_scratch.data()), m_scratch.size(), m_key);
    out.assign(m_scratch, size_t(offset - start), n);
    return true;
}

bool ParadoxBlobFile::claim(uint32_t where)
{
    const uint64_t block = where & 0xFFFFFF00u;
    const unsigned index = where & 0xFF;
    if (block % kBlockSize || (index >= 64 && index != 0xFF) || !m_file)
        return m_takenOffGrid.insert(where).second;
    if (m_taken.empty())
        m_taken.resize(size_t(m_file->size() / kBlockSize + 1) * 65);
    const size_t bit = size_t(block / kBlockSize) * 65 + (index == 0xFF ? 64 : index);
    if (bit >= m_taken.size())
        return m_takenOffGrid.insert(where).second;
    if (m_taken[bit])
        return false;
    m_taken[bit] = true;
    return true;
}

bool ParadoxBlobFile::read(const unsigned char *pointer, std::string &out, std::string *why)
{
    if (!open(why))
        return false;
    const uint32_t where = le32(pointer);
    const uint32_t length = le32(pointer + 4);
    const uint64_t block = where & 0xFFFFFF00u;
    const unsigned index = where & 0xFF;
    if (block == 0)
        return fail(why, [] { return "a value points into the file's header block"; });
    if (!readRange(block, 3, m_head, why))
        return false;
    const unsigned type = static_cast<unsigned char>(m_head[0]);
    if (type == 2) {
        if (index != 0xFF)
            return fail(why, [&] {
                return "a value points to a single-value block with sub-block index " + std::to_string(index);
            });
        if (!readRange(block, 9, m_head, why))
            return false;
        const uint32_t stored = le32(reinterpret_cast<const unsigned char *>(m_head.data()) + 3);
        if (stored != length)
            return fail(why, [&] {
                return "the block at offset " + std::to_string(block) + " holds " + std::to_string(stored) +
                       " bytes where the record expects " + std::to_string(length);
            });
        return readRange(block + 9, length, out, why);
    }
    if (type == 3) {
        if (index >= 64)
            return fail(why, [&] {
                return "a value points to sub-block " + std::to_string(index) + " of a block that has 64";
            });
        if (!readRange(block + 12 + index * 5, 5, m_head, why))
            return false;
        const auto *e = reinterpret_cast<const unsigned char *>(m_head.data());
        // A length that is a multiple of 16 is kept as (n/16, 16), not (n/16 + 1, 0).
        const int64_t stored = (int64_t(e[1]) - 1) * 16 + e[4];
        if (e[1] == 0 || stored != int64_t(length))
            return fail(why, [&] {
                return "sub-block " + std::to_string(index) + " at offset " + std::to_string(block) + " holds " +
                       std::to_string(stored < 0 ? 0 : stored) + " bytes where the record expects " +
                       std::to_string(length);
            });
        const uint64_t start = uint64_t(e[0]) * 16;
        if (start < 12 + 64 * 5 || start + length > kBlockSize)
            return fail(why, [&] {
                return "sub-block " + std::to_string(index) + " at offset " + std::to_string(block) +
                       " lies outside its block";
            });
        return readRange(block + start, length, out, why);
    }
    return fail(why, [&] {
        return "a value points to a block of type " + std::to_string(type) + " at offset " + std::to_string(block) +
               ", which holds no value";
    });
}

} // namespace tabulon::paradox
