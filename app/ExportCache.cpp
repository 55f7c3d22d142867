// The journal export through the cache of its encoded body (see ExportCache.h).
#include "ExportCache.h"

#include "JournalExport.h"

#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/AtomicFile.h"

#include <QFile>

#include <xxhash.h>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace journal_export {

const QString CacheFileName = QStringLiteral("izvoz-telo.dat");

namespace {

// The header: "key value" lines padded with blanks to HeaderSize bytes, the last one a
// line feed; the body follows it.
constexpr qsizetype HeaderSize = 512;
const QByteArray Magic = QByteArrayLiteral("dorvanta export body 1");
// Pieces in which the body is checked and copied, and new lines are written.
constexpr qsizetype Piece = 1 << 20;

struct CacheHeader
{
    QByteArray store; // the journal's location
    QByteArray form;  // the date form of the lines
    qint64 records = 0;
    qint64 lastId = 0;
    quint64 mark = 0; // recordMark() of the record lastId
    qint64 length = 0;
    quint64 check = 0; // XXH3 of the body
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
    line("check", QByteArray::number(h.check, 16));
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
    if (lines.size() != 8 || lines[0] != Magic)
        return std::nullopt;
    CacheHeader h;
    const char *keys[] = {"store", "form", "records", "last", "mark", "length", "check"};
    QByteArray values[7];
    for (int i = 0; i < 7; ++i) {
        const QByteArray &l = lines[i + 1];
        const qsizetype space = l.indexOf(' ');
        if (space < 0 || l.left(space) != keys[i])
            return std::nullopt;
        values[i] = l.mid(space + 1);
    }
    bool ok[5] = {};
    h.store = QByteArray::fromHex(values[0]);
    h.form = QByteArray::fromHex(values[1]);
    h.records = values[2].toLongLong(&ok[0]);
    h.lastId = values[3].toLongLong(&ok[1]);
    h.mark = values[4].toULongLong(&ok[2], 16);
    h.length = values[5].toLongLong(&ok[3]);
    h.check = values[6].toULongLong(&ok[4], 16);
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

class Hasher
{
public:
    Hasher() : m_state(XXH3_createState()) { XXH3_64bits_reset(m_state); }
    ~Hasher() { XXH3_freeState(m_state); }
    Hasher(const Hasher &) = delete;
    Hasher &operator=(const Hasher &) = delete;
    void add(const char *data, qsizetype size) { XXH3_64bits_update(m_state, data, size_t(size)); }
    quint64 value() const { return XXH3_64bits_digest(m_state); }

private:
    XXH3_state_t *m_state;
};

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

bool readAt(int fd, char *data, qsizetype size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool writeAt(int fd, const char *data, qsizetype size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

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

// The export from the cache open at `fd` (locked) with header `h`: false when the body does
// not match its checksum (nothing is written then, `error` stays empty) or writing failed
// (`error` says why).
bool writeFromCache(int fd, const CacheHeader &h, const Continuation &c, const QByteArray &heading,
                    const QString &exportPath, QString *error)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size < HeaderSize + h.length)
        return false;
    platform::AtomicWriter out(exportPath);
    out.write(heading);
    Hasher hasher;
    QByteArray piece(Piece, Qt::Uninitialized);
    for (qint64 done = 0; done < h.length;) {
        const qsizetype n = qsizetype(std::min<qint64>(Piece, h.length - done));
        if (!readAt(fd, piece.data(), n, HeaderSize + done))
            return false;
        hasher.add(piece.constData(), n);
        out.write(piece.constData(), n);
        done += n;
    }
    if (hasher.value() != h.check)
        return false; // the temporary export is removed with `out`
    out.write(c.lines);
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    if (c.count == 0)
        return true;
    // The cache grows by the new lines: they first, then the header that counts them, so that
    // a cache cut short between the two is seen by its checksum. A failure leaves a cache
    // that is rebuilt next time.
    hasher.add(c.lines.constData(), c.lines.size());
    CacheHeader next = h;
    next.records += c.count;
    next.lastId = c.lastId;
    next.mark = c.mark;
    next.length += c.lines.size();
    next.check = hasher.value();
    const QByteArray header = headerBytes(next);
    if (writeAt(fd, c.lines.constData(), c.lines.size(), HeaderSize + h.length) &&
        ::ftruncate(fd, off_t(HeaderSize + next.length)) == 0 && !header.isEmpty())
        writeAt(fd, header.constData(), header.size(), 0);
    return true;
}

// The export and a new cache from the whole journal.
bool rebuild(const engine::Table &journal, const LineEncoder &encoder, CacheHeader h,
             const QByteArray &heading, const QString &exportPath, const QString &cachePath,
             QString *error, ExportOutcome &outcome)
{
    platform::AtomicWriter out(exportPath);
    out.write(heading);
    platform::TemporaryFile cache(cachePath);
    bool caching = cache.isOpen() && writeAt(cache.handle(), QByteArray(HeaderSize, ' ').constData(),
                                             HeaderSize, 0);
    Hasher hasher;
    QByteArray lines;
    lines.reserve(Piece + 4096);
    const auto flush = [&] {
        out.write(lines);
        hasher.add(lines.constData(), lines.size());
        if (caching)
            caching = writeAt(cache.handle(), lines.constData(), lines.size(), HeaderSize + h.length);
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
    h.check = hasher.value();
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
    if (!header.isEmpty() && writeAt(cache.handle(), header.constData(), header.size(), 0))
        cache.renameTo(cachePath);
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
        if (readAt(fd.get(), bytes.data(), HeaderSize, 0))
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
