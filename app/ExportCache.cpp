// The journal export through the cache of its encoded body (see ExportCache.h).
#include "ExportCache.h"

#include "JournalExport.h"

#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/AtomicFile.h"

#include <QFile>
#include <QRandomGenerator>

#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace journal_export {

const QString CacheFileName = QStringLiteral("izvoz-telo.dat");

namespace {

// The header: "key value" lines padded with blanks to HeaderSize bytes, the last one a
// line feed; the body follows it.
constexpr qsizetype HeaderSize = 512;
const QByteArray Magic = QByteArrayLiteral("dorvanta export body 2");
// Pieces in which a body made anew is written.
constexpr qsizetype Piece = 1 << 20;

struct CacheHeader
{
    QByteArray store; // the journal's location
    QByteArray form;  // the date form of the lines
    qint64 records = 0;
    qint64 lastId = 0;
    quint64 mark = 0; // recordMark() of the record lastId
    qint64 length = 0;
    quint64 chain = 0; // BodyHasher's chain over the body's whole pieces
    quint64 check = 0; // BodyHasher's check of the body
    timespec stamp{};  // the cache file's modification time as the program last set it
};

QByteArray headerBytes(const CacheHeader &h)
{
    QByteArray out = Magic + '\n';
    const auto line = [&out](const char *key, const QByteArray &value) {
        out += key;
        out += ' ';
        out += value;
        out += '\n';
    };
    line("store", h.store.toHex());
    line("form", h.form.toHex());
    line("records", QByteArray::number(h.records));
    line("last", QByteArray::number(h.lastId));
    line("mark", QByteArray::number(h.mark, 16));
    line("length", QByteArray::number(h.length));
    line("chain", QByteArray::number(h.chain, 16));
    line("check", QByteArray::number(h.check, 16));
    line("stamp", QByteArray::number(qint64(h.stamp.tv_sec)) + '.' +
                      QByteArray::number(qint64(h.stamp.tv_nsec)));
    if (out.size() >= HeaderSize)
        return {}; // a location this long is not cached
    out.append(HeaderSize - 1 - out.size(), ' ');
    out += '\n';
    return out;
}

std::optional<CacheHeader> parseHeader(const QByteArray &bytes)
{
    if (bytes.size() != HeaderSize || !bytes.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = bytes.trimmed().split('\n');
    constexpr int Keys = 9;
    if (lines.size() != Keys + 1 || lines[0] != Magic)
        return std::nullopt;
    CacheHeader h;
    const char *keys[Keys] = {"store", "form", "records", "last", "mark", "length", "chain", "check", "stamp"};
    QByteArray values[Keys];
    for (int i = 0; i < Keys; ++i) {
        const QByteArray &l = lines[i + 1];
        const qsizetype space = l.indexOf(' ');
        if (space < 0 || l.left(space) != keys[i])
            return std::nullopt;
        values[i] = l.mid(space + 1);
    }
    const QList<QByteArray> stamp = values[8].split('.');
    if (stamp.size() != 2)
        return std::nullopt;
    bool ok[8] = {};
    h.store = QByteArray::fromHex(values[0]);
    h.form = QByteArray::fromHex(values[1]);
    h.records = values[2].toLongLong(&ok[0]);
    h.lastId = values[3].toLongLong(&ok[1]);
    h.mark = values[4].toULongLong(&ok[2], 16);
    h.length = values[5].toLongLong(&ok[3]);
    h.chain = values[6].toULongLong(&ok[4], 16);
    h.check = values[7].toULongLong(&ok[5], 16);
    h.stamp.tv_sec = time_t(stamp[0].toLongLong(&ok[6]));
    h.stamp.tv_nsec = long(stamp[1].toLongLong(&ok[7]));
    for (const bool b : ok)
        if (!b)
            return std::nullopt;
    if (h.records < 0 || h.length < 0)
        return std::nullopt;
    return h;
}

// A mark of a record's stored fields: every field's bytes, NULL told from empty.
quint64 recordMark(const engine::RecordView &r)
{
    QByteArray bytes;
    for (int i = 0; i < r.fieldCount(); ++i) {
        if (r.isNull(i)) {
            bytes += '\0';
            continue;
        }
        const QByteArrayView v = r.utf8(i);
        const qint64 size = v.size();
        bytes += '\1';
        bytes.append(reinterpret_cast<const char *>(&size), sizeof size);
        bytes.append(v);
    }
    return XXH3_64bits(bytes.constData(), size_t(bytes.size()));
}

// The body's checksum, made so that an append costs its own bytes only: XXH3 of each whole
// piece of Piece bytes, seeded with the value of the pieces before (the chain), and the check,
// XXH3 of the bytes after the last whole piece seeded with the chain. The chain and the check
// of a body and the bytes after its last whole piece give those of the body grown.
class BodyHasher
{
public:
    BodyHasher() = default;
    BodyHasher(quint64 chain, QByteArray tail) : m_chain(chain), m_tail(std::move(tail)) {}
    void add(const char *data, qsizetype size)
    {
        if (!m_tail.isEmpty()) {
            const qsizetype take = std::min(size, Piece - m_tail.size());
            m_tail.append(data, take);
            data += take;
            size -= take;
            if (m_tail.size() < Piece)
                return;
            m_chain = XXH3_64bits_withSeed(m_tail.constData(), size_t(Piece), m_chain);
            m_tail.clear();
        }
        for (; size >= Piece; data += Piece, size -= Piece)
            m_chain = XXH3_64bits_withSeed(data, size_t(Piece), m_chain);
        m_tail.append(data, size);
    }
    quint64 chain() const { return m_chain; }
    quint64 check() const
    {
        return XXH3_64bits_withSeed(m_tail.constData(), size_t(m_tail.size()), m_chain);
    }

private:
    quint64 m_chain = 0;
    QByteArray m_tail;
};

// A modification time no later change of the file can give it: the clock's second with a
// random fraction. A cache whose time is still this one was not written since the program
// wrote it, so its body need not be read to be trusted.
timespec freshStamp()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    now.tv_nsec = long(QRandomGenerator::global()->bounded(1000000000));
    return now;
}

// Sets the cache's modification time to its header's stamp; a file system or owner that does
// not allow it only costs a check of the whole body at the next use.
void setStamp(int fd, const timespec &stamp)
{
    const timespec times[2] = {{0, UTIME_OMIT}, stamp};
    ::futimens(fd, times);
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The records after the cache's last one, when the journal still begins with the cached
// records: their lines, how many, and the new last record.
struct Continuation
{
    QByteArray lines;
    qint64 count = 0;
    qint64 lastId = 0;
    quint64 mark = 0;
};

std::optional<Continuation> continuationOf(const engine::Table &journal, const LineEncoder &encoder,
                                           const CacheHeader &h)
{
    Continuation c{{}, 0, h.lastId, h.mark};
    // With records cached, the scan starts at the cached last one, to see it unchanged.
    bool fits = h.records == 0;
    bool first = true;
    journal.scanAfter(h.records == 0 ? h.lastId : h.lastId - 1,
                      [&](qint64 id, const engine::RecordView &r) {
                          if (first) {
                              first = false;
                              if (h.records != 0) {
                                  fits = id == h.lastId && recordMark(r) == h.mark;
                                  return;
                              }
                          }
                          if (!fits)
                              return;
                          encoder.append(c.lines, r);
                          ++c.count;
                          c.lastId = id;
                          c.mark = recordMark(r);
                      });
    // No record gone or put in before the cached last one: the journal holds the cached
    // records and the new ones, no more. (A record stored since the scan makes a rebuild.)
    if (!fits || journal.countThrough(std::numeric_limits<qint64>::max()) != h.records + c.count)
        return std::nullopt;
    return c;
}

// Whether the body of the cache open at `fd` with header `h` is the one the header describes:
// at once when the file still has the size and the modification time the program gave it,
// else by reading the whole body against its checksum.
bool bodyIsIntact(int fd, const CacheHeader &h)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size != HeaderSize + h.length)
        return false;
    if (info.st_mtim.tv_sec == h.stamp.tv_sec && info.st_mtim.tv_nsec == h.stamp.tv_nsec)
        return true;
    BodyHasher hasher;
    if (h.length > 0) {
        // Checked where it lies, mapped rather than copied.
        const size_t mapped = size_t(HeaderSize + h.length);
        void *map = ::mmap(nullptr, mapped, PROT_READ, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED)
            return false;
        ::madvise(map, mapped, MADV_SEQUENTIAL);
        hasher.add(static_cast<const char *>(map) + HeaderSize, h.length);
        ::munmap(map, mapped);
    }
    return hasher.chain() == h.chain && hasher.check() == h.check;
}

// The export from the cache open at `fd` (locked) with header `h`: false when the body is not
// the one described (nothing is written then, `error` stays empty) or writing failed (`error`
// says why).
bool writeFromCache(int fd, const CacheHeader &h, const Continuation &c, const QByteArray &heading,
                    const QString &exportPath, QString *error)
{
    if (!bodyIsIntact(fd, h))
        return false;
    // The bytes after the body's last whole piece carry its checksum on.
    const qint64 whole = h.length - h.length % Piece;
    QByteArray tail(qsizetype(h.length - whole), Qt::Uninitialized);
    if (!platform::readAt(fd, tail.data(), tail.size(), HeaderSize + whole))
        return false;
    BodyHasher hasher(h.chain, tail);
    if (hasher.check() != h.check)
        return false;

    platform::AtomicWriter out(exportPath, {}, platform::AtomicWriter::Space::ReuseSpace);
    out.write(heading);
    out.copyFrom(fd, HeaderSize, h.length); // in the kernel, never through this program
    out.write(c.lines);
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    if (c.count == 0)
        return true;
    // The cache grows by the new lines: they first, then the header that counts them, then
    // its stamp, so that a cache cut short between the steps is seen by its size, checksum or
    // time. A failure leaves a cache that is rebuilt next time.
    hasher.add(c.lines.constData(), c.lines.size());
    CacheHeader next = h;
    next.records += c.count;
    next.lastId = c.lastId;
    next.mark = c.mark;
    next.length += c.lines.size();
    next.chain = hasher.chain();
    next.check = hasher.check();
    next.stamp = freshStamp();
    const QByteArray header = headerBytes(next);
    if (platform::writeAt(fd, c.lines.constData(), c.lines.size(), HeaderSize + h.length) &&
        ::ftruncate(fd, off_t(HeaderSize + next.length)) == 0 && !header.isEmpty() &&
        platform::writeAt(fd, header.constData(), header.size(), 0))
        setStamp(fd, next.stamp);
    return true;
}

// The export and a new cache from the whole journal.
bool rebuild(const engine::Table &journal, const LineEncoder &encoder, CacheHeader h,
             const QByteArray &heading, const QString &exportPath, const QString &cachePath,
             QString *error, ExportOutcome &outcome)
{
    platform::AtomicWriter out(exportPath, {}, platform::AtomicWriter::Space::ReuseSpace);
    out.write(heading);
    platform::TemporaryFile cache(cachePath);
    bool caching =
        cache.isOpen() &&
        platform::writeAt(cache.handle(), QByteArray(HeaderSize, ' ').constData(), HeaderSize, 0);
    BodyHasher hasher;
    QByteArray lines;
    lines.reserve(Piece + 4096);
    const auto flush = [&] {
        out.write(lines);
        hasher.add(lines.constData(), lines.size());
        if (caching)
            caching = platform::writeAt(cache.handle(), lines.constData(), lines.size(),
                                        HeaderSize + h.length);
        h.length += lines.size();
        lines.clear();
    };
    h.records = 0;
    h.lastId = 0;
    journal.scanAfter(std::numeric_limits<qint64>::min(),
                      [&](qint64 id, const engine::RecordView &r) {
                          encoder.append(lines, r);
                          ++h.records;
                          h.lastId = id;
                          if (lines.size() >= Piece)
                              flush();
                      });
    flush();
    outcome.rebuilt = true;
    outcome.newRecords = h.records;
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    if (!caching)
        return true;
    h.chain = hasher.chain();
    h.check = hasher.check();
    h.stamp = freshStamp();
    h.mark = 0;
    if (h.records > 0) {
        bool found = false;
        journal.scanAfter(h.lastId - 1, [&](qint64 id, const engine::RecordView &r) {
            if (id == h.lastId) {
                h.mark = recordMark(r);
                found = true;
            }
        });
        if (!found)
            return true;
    }
    const QByteArray header = headerBytes(h);
    if (!header.isEmpty() &&
        platform::writeAt(cache.handle(), header.constData(), header.size(), 0)) {
        setStamp(cache.handle(), h.stamp);
        cache.renameTo(cachePath);
    }
    return true;
}

} // namespace

bool writeExport(const engine::Table &journal, const engine::DateTextFormat &dateForm,
                 const QByteArray &heading, const QString &exportPath, const QString &cachePath,
                 QString *error, ExportOutcome *outcome)
{
    ExportOutcome done;
    const LineEncoder encoder(journal, dateForm);
    CacheHeader wanted;
    wanted.store = journal.filePath().toUtf8();
    wanted.form = dateForm.format().toUtf8();

    QString reason;
    const Descriptor fd(::open(QFile::encodeName(cachePath).constData(), O_RDWR | O_CLOEXEC));
    if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX) == 0) {
        QByteArray bytes(HeaderSize, Qt::Uninitialized);
        std::optional<CacheHeader> h;
        if (platform::readAt(fd.get(), bytes.data(), HeaderSize, 0))
            h = parseHeader(bytes);
        if (h && h->store == wanted.store && h->form == wanted.form) {
            if (const std::optional<Continuation> c = continuationOf(journal, encoder, *h)) {
                if (writeFromCache(fd.get(), *h, *c, heading, exportPath, &reason)) {
                    done.newRecords = c->count;
                    if (outcome)
                        *outcome = done;
                    return true;
                }
                if (!reason.isEmpty()) {
                    if (error)
                        *error = reason;
                    return false;
                }
            }
        }
    }
    const bool written = rebuild(journal, encoder, wanted, heading, exportPath, cachePath,
                                 &reason, done);
    if (outcome)
        *outcome = done;
    if (!written && error)
        *error = reason;
    return written;
}

} // namespace journal_export
