// The journal's chain and the audit log beside it: encoding records and log entries, linking
// them with SHA-256 (engine::Sha256, as the engine hashes passwords), and checking a journal
// against both. Every statement is in the SQL that SQLite and PostgreSQL share
// (engine::Table::runBeside), and a value is always encoded from its stored text, so both
// stores give the same links.
#include "JournalChain.h"
#include "CashCount.h"
#include "CashBook.h"
#include "DeskTables.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Sha256.h"
#include "engine/Table.h"
#include "engine/TableStore.h"
#include "engine/Transaction.h"

#include <QDir>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace desk::chain {

namespace {

using engine::EngineError;

constexpr int LinkBytes = 32;

// The record's fields in the order they are encoded: the journal's eleven, then its document
// number and the number it reverses.
#define DORVANTA_JOURNAL_COLUMNS                                                               \
    "p.KORISNIK, p.DATUM, p.VREME, p.OPIS, p.GRUPA, p.ULAZDIN, p.IZLAZDIN, p.ULAZEUR, "        \
    "p.IZLAZEUR, p.STANJEDIN, p.STANJEEUR"
const char JournalColumns[] = DORVANTA_JOURNAL_COLUMNS;
constexpr int JournalColumnCount = 11;
const char RecordColumns[] = DORVANTA_JOURNAL_COLUMNS ", d.BROJ, d.STORNO";
#undef DORVANTA_JOURNAL_COLUMNS
constexpr int RecordColumnCount = 13;
const char RecordJoin[] = " FROM promet p LEFT JOIN dorvanta_dokument d ON d.ID = p.{id} ";

const char LogColumns[] = "RB, VREME, KORISNIK, RADNJA, OPIS, ZAPISA, GLAVA, POCETAK, HES";
constexpr int LogEncodedCount = 8; // every column but HES

// A growing byte buffer for encodings that are made and hashed once per record: appending is
// a copy into memory kept from the record before.
class Encoding
{
public:
    void clear() { m_size = 0; }
    void append(const char *data, qsizetype size)
    {
        if (m_size + size > qsizetype(m_bytes.size()))
            m_bytes.resize(size_t(std::max<qsizetype>(2 * m_bytes.size(), m_size + size + 256)));
        std::memcpy(m_bytes.data() + m_size, data, size_t(size));
        m_size += size;
    }
    QByteArrayView view() const { return QByteArrayView(m_bytes.data(), m_size); }

private:
    std::vector<char> m_bytes;
    qsizetype m_size = 0;
};

// One value of the canonical encoding: "-" for an empty (NULL) value, otherwise the decimal
// byte length of its UTF-8 text, ":" and the text.
template<typename Out>
void encodeValue(Out &out, bool null, QByteArrayView text)
{
    if (null) {
        out.append("-", 1);
        return;
    }
    char digits[24];
    char *end = std::to_chars(digits, digits + sizeof digits - 1, text.size()).ptr;
    *end++ = ':';
    out.append(digits, end - digits);
    out.append(text.data(), text.size());
}

void encodeVariant(QByteArray &out, const QVariant &v)
{
    if (v.isNull())
        return encodeValue(out, true, {});
    const QByteArray text = v.typeId() == QMetaType::QString ? v.toString().toUtf8()
                                                              : QByteArray::number(v.toLongLong());
    encodeValue(out, false, text);
}

// The encoding of the columns [first, first + count) of a row as stored.
template<typename Out>
void encodeRow(Out &out, const engine::RecordView &row, int first, int count)
{
    for (int i = first; i < first + count; ++i) {
        const bool null = row.isNull(i);
        encodeValue(out, null, null ? QByteArrayView() : row.utf8(i));
    }
}

using Link = std::array<unsigned char, LinkBytes>;

// SHA-256 over a link and an encoding, as every link of the chain and the log is made.
class Hasher
{
public:
    // SHA-256 of the 32 bytes of `previous` and `encoding`, into `out` (which may be
    // `previous`).
    void link(const Link &previous, QByteArrayView encoding, Link &out)
    {
        m_sha.start();
        m_sha.add(QByteArrayView(reinterpret_cast<const char *>(previous.data()), LinkBytes));
        m_sha.add(encoding);
        m_sha.finish(out.data());
    }

    // The same for links kept as 32-byte arrays.
    QByteArray link(const QByteArray &previous, const QByteArray &encoding)
    {
        Link base{};
        std::copy_n(previous.constData(), std::min<qsizetype>(previous.size(), LinkBytes),
                    base.begin());
        Link out;
        link(base, encoding, out);
        return QByteArray(reinterpret_cast<const char *>(out.data()), LinkBytes);
    }

private:
    engine::Sha256 m_sha;
};

// A link from its stored text: exactly 64 lower case hex digits, the only form the program
// writes; false for any other text.
bool parseLink(QByteArrayView hex, Link &out)
{
    static const auto values = [] {
        std::array<signed char, 256> v;
        v.fill(-1);
        for (int c = '0'; c <= '9'; ++c)
            v[size_t(c)] = static_cast<signed char>(c - '0');
        for (int c = 'a'; c <= 'f'; ++c)
            v[size_t(c)] = static_cast<signed char>(c - 'a' + 10);
        return v;
    }();
    if (hex.size() != 2 * LinkBytes)
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(hex.data());
    int bad = 0;
    for (size_t i = 0; i < LinkBytes; ++i) {
        const int high = values[p[2 * i]], low = values[p[2 * i + 1]];
        bad |= high | low;
        out[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return bad >= 0;
}

QByteArray hexOf(const Link &link)
{
    return QByteArray(reinterpret_cast<const char *>(link.data()), LinkBytes).toHex();
}

QByteArray raw(const QByteArray &hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return bytes.size() == LinkBytes ? bytes : QByteArray(LinkBytes, '\0');
}

qint64 integer(const QVariant &v)
{
    return v.toLongLong();
}

// The link the journal's first record chains from: the start of the last segment the log
// records (the zero link when it records none).
QByteArray segmentStart(engine::Table &journal)
{
    const QList<QVariantList> rows = journal.runBeside(QStringLiteral(
        "SELECT POCETAK FROM dorvanta_dnevnik WHERE POCETAK IS NOT NULL ORDER BY RB DESC LIMIT 1"));
    return rows.isEmpty() ? zeroLink() : rows.front().value(0).toString().toLatin1();
}

// The id of the journal's last record (before `before`, when given); none for an empty
// journal. Every id is one a record may have, also -1 and the lowest.
std::optional<qint64> lastRecordId(engine::Table &journal, std::optional<qint64> before = {})
{
    const QList<QVariantList> rows =
        before ? journal.runBeside(QStringLiteral("SELECT MAX({id}) FROM promet WHERE {id} < ?1"),
                                   {*before})
               : journal.runBeside(QStringLiteral("SELECT MAX({id}) FROM promet"));
    if (rows.isEmpty() || rows.front().value(0).isNull())
        return std::nullopt;
    return integer(rows.front().value(0));
}

QByteArray encodedRecord(engine::Table &journal, qint64 id)
{
    QByteArray encoding;
    bool found = false;
    journal.scanBeside(QStringLiteral("SELECT %1%2WHERE p.{id} = ?1")
                           .arg(QLatin1String(RecordColumns), QLatin1String(RecordJoin)),
                       {id}, [&](const engine::RecordView &row) {
                           encodeRow(encoding, row, 0, RecordColumnCount);
                           found = true;
                       });
    if (!found)
        throw EngineError(EngineError::Kind::Damaged,
                          QStringLiteral("Zapis %1 prometa ne postoji").arg(id));
    return encoding;
}

void insertLinks(engine::Table &journal, const QList<std::pair<qint64, QByteArray>> &links,
                 qint64 firstPosition)
{
    constexpr int Batch = 300;
    QString sql;
    QVariantList params;
    auto flush = [&] {
        if (params.isEmpty())
            return;
        journal.runBeside(QStringLiteral("INSERT INTO dorvanta_lanac (ID, REDNI, HES) VALUES ") + sql,
                          params);
        sql.clear();
        params.clear();
    };
    qint64 position = firstPosition;
    for (const auto &[id, link] : links) {
        if (!sql.isEmpty())
            sql += QLatin1String(", ");
        const auto n = params.size();
        sql += QStringLiteral("(?%1, ?%2, ?%3)").arg(n + 1).arg(n + 2).arg(n + 3);
        params << id << position++ << QString::fromLatin1(link.toHex());
        if (params.size() >= 3 * Batch)
            flush();
    }
    flush();
}

// Chains the records after `afterId` (every record when none) from `base` (hex), the first
// of them at `position`.
int chainFrom(engine::Table &journal, std::optional<qint64> afterId, const QByteArray &base,
              qint64 position)
{
    Hasher hasher;
    QByteArray previous = raw(base);
    QByteArray encoding;
    QList<std::pair<qint64, QByteArray>> links;
    journal.scanBeside(QStringLiteral("SELECT p.{id}, %1%2%3ORDER BY p.{id}")
                           .arg(QLatin1String(RecordColumns), QLatin1String(RecordJoin),
                                afterId ? QStringLiteral("WHERE p.{id} > ?1 ") : QString()),
                       afterId ? QVariantList{*afterId} : QVariantList(),
                       [&](const engine::RecordView &row) {
                           encoding.resize(0);
                           encodeRow(encoding, row, 1, RecordColumnCount);
                           previous = hasher.link(previous, encoding);
                           links.append({row.integer(0), previous});
                       });
    insertLinks(journal, links, position);
    return int(links.size());
}

// A side table's rows in the order of ID as a walk of the journal meets them, read a chunk at
// a time along the table's key: memory stays small however long the journal is, and each row
// costs one step along the key instead of a look-up from the key's root per record.
// `columns` are read after ID; `keep(row, buffer)` keeps one row (the chunk's values that
// are not fixed in size go to `buffer`).
template<typename Row>
class SideRows
{
public:
    using Keep = std::function<void(const engine::RecordView &, Row &, QByteArray &)>;
    SideRows(engine::Table &journal, const char *table, const char *columns, Keep keep)
        : m_journal(journal),
          m_first(QStringLiteral("SELECT ID, %1 FROM %2 WHERE ID IS NOT NULL ORDER BY ID LIMIT %3")
                      .arg(QLatin1String(columns), QLatin1String(table)).arg(Chunk)),
          m_next(QStringLiteral("SELECT ID, %1 FROM %2 WHERE ID > ?1 ORDER BY ID LIMIT %3")
                     .arg(QLatin1String(columns), QLatin1String(table)).arg(Chunk)),
          m_keep(std::move(keep))
    {
    }

    // The row with ID `id`, or null when there is none; ids asked for must grow.
    const Row *find(qint64 id)
    {
        for (;;) {
            while (m_at < m_rows.size() && m_rows[m_at].id < id)
                ++m_at;
            if (m_at < m_rows.size())
                return m_rows[m_at].id == id ? &m_rows[m_at] : nullptr;
            if (!refill())
                return nullptr;
        }
    }
    const QByteArray &buffer() const { return m_buffer; }

private:
    static constexpr int Chunk = 8192;

    bool refill()
    {
        if (m_done)
            return false;
        const bool first = !m_started;
        const qint64 after = m_rows.empty() ? 0 : m_rows.back().id;
        m_started = true;
        m_rows.clear();
        m_buffer.resize(0);
        m_at = 0;
        m_journal.scanBeside(first ? m_first : m_next, first ? QVariantList() : QVariantList{after},
                             [this](const engine::RecordView &row) {
                                 Row &r = m_rows.emplace_back();
                                 r.id = row.integer(0);
                                 m_keep(row, r, m_buffer);
                             });
        m_done = m_rows.size() < size_t(Chunk);
        return !m_rows.empty();
    }

    engine::Table &m_journal;
    const QString m_first, m_next;
    Keep m_keep;
    std::vector<Row> m_rows;
    QByteArray m_buffer;
    size_t m_at = 0;
    bool m_started = false;
    bool m_done = false;
};

// A record's link as the chain stores it.
struct StoredLink
{
    qint64 id;
    qint64 position;
    Link link;
    bool valid; // the stored text is a link at all
};

SideRows<StoredLink> storedLinks(engine::Table &journal)
{
    return SideRows<StoredLink>(journal, "dorvanta_lanac", "REDNI, HES",
                                [](const engine::RecordView &row, StoredLink &l, QByteArray &) {
                                    l.position = row.isNull(1) ? 0 : row.integer(1);
                                    l.valid = !row.isNull(2) && parseLink(row.utf8(2), l.link);
                                });
}

// A record's number and the number it reverses, encoded as they end the record's encoding:
// the bytes [offset, end) of the chunk's buffer, the number's own encoding up to `between`.
struct StoredNumber
{
    qint64 id;
    qsizetype offset;
    qsizetype between;
    qsizetype end;
};

SideRows<StoredNumber> storedNumbers(engine::Table &journal)
{
    return SideRows<StoredNumber>(journal, "dorvanta_dokument", "BROJ, STORNO",
                                  [](const engine::RecordView &row, StoredNumber &n, QByteArray &text) {
                                      n.offset = text.size();
                                      encodeRow(text, row, 1, 1);
                                      n.between = text.size();
                                      encodeRow(text, row, 2, 1);
                                      n.end = text.size();
                                  });
}

// The document number of a stored number (empty when it is NULL).
QString numberText(const QByteArray &buffer, const StoredNumber &n)
{
    const QByteArrayView value = QByteArrayView(buffer).sliced(n.offset, n.between - n.offset);
    const qsizetype colon = value.indexOf(':');
    return colon < 0 ? QString() : QString::fromUtf8(value.sliced(colon + 1));
}

// Runs `work` in one transaction of the journal: committed when it returns, rolled back when
// it throws.
template<typename Work>
void inTransaction(engine::Table &journal, Work work)
{
    engine::Transaction transaction(journal);
    work();
    transaction.commit();
}

} // namespace

void encodeStored(QByteArray &out, const engine::RecordView &row, int first, int count)
{
    encodeRow(out, row, first, count);
}

QByteArray zeroLink()
{
    return QByteArray(2 * LinkBytes, '0');
}

void createTables(engine::Table &journal)
{
    journal.runBeside(QStringLiteral("CREATE TABLE IF NOT EXISTS dorvanta_lanac (ID bigint PRIMARY "
                                     "KEY, REDNI bigint NOT NULL, HES text NOT NULL)"));
    journal.runBeside(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS dorvanta_dnevnik (RB bigint PRIMARY KEY, VREME text NOT NULL, "
        "KORISNIK text, RADNJA text NOT NULL, OPIS text, ZAPISA bigint NOT NULL, GLAVA text, "
        "POCETAK text, HES text NOT NULL)"));
}

// The server's question first, which a table file refuses.
bool hasSideTable(engine::Table &journal, const QString &name)
{
    QList<QVariantList> rows;
    try {
        rows = journal.runBeside(QStringLiteral("SELECT to_regclass(?1) IS NOT NULL"), {name});
        return rows.value(0).value(0).toString() == QLatin1String("t");
    } catch (const EngineError &) {
    }
    rows = journal.runBeside(
        QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?1"), {name});
    return integer(rows.value(0).value(0)) > 0;
}

namespace {

// Ends a transaction that only read when it goes out of scope (the reads are done by then,
// so a failure to end it changes nothing of what they found).
class ReadingGuard
{
public:
    explicit ReadingGuard(engine::Table &journal) : m_journal(journal)
    {
        if (!journal.inTransaction()) {
            journal.startReading();
            m_own = true;
        }
    }
    ~ReadingGuard()
    {
        if (m_own) {
            try {
                m_journal.commit();
            } catch (const EngineError &) {
            }
        }
    }
    ReadingGuard(const ReadingGuard &) = delete;
    ReadingGuard &operator=(const ReadingGuard &) = delete;

private:
    engine::Table &m_journal;
    bool m_own = false;
};

} // namespace

bool hasChainTable(engine::Table &journal)
{
    return hasSideTable(journal, QStringLiteral("dorvanta_lanac"));
}

bool hasCloseAnchors(engine::Table &journal)
{
    if (!hasSideTable(journal, QStringLiteral("dorvanta_zakljucak")))
        return false;
    // The server's catalogue first, which a table file refuses.
    QList<QVariantList> rows;
    try {
        rows = journal.runBeside(QStringLiteral(
            "SELECT COUNT(*) FROM information_schema.columns WHERE table_name = "
            "'dorvanta_zakljucak' AND column_name IN ('glava', 'zapisa')"));
    } catch (const EngineError &) {
        rows = journal.runBeside(QStringLiteral(
            "SELECT COUNT(*) FROM pragma_table_info('dorvanta_zakljucak') WHERE upper(name) IN "
            "('GLAVA', 'ZAPISA')"));
    }
    return integer(rows.value(0).value(0)) == 2;
}

QList<Anchor> closeAnchors(engine::Table &journal)
{
    QList<Anchor> out;
    if (!hasCloseAnchors(journal))
        return out;
    for (const QVariantList &row : journal.runBeside(QStringLiteral(
             "SELECT DATUM, GLAVA, ZAPISA FROM dorvanta_zakljucak WHERE GLAVA IS NOT NULL AND "
             "ZAPISA IS NOT NULL ORDER BY DATUM")))
        out << Anchor{QStringLiteral("zakljucak dana %1").arg(row.value(0).toString()),
                      row.value(1).toString().toLatin1(), integer(row.value(2))};
    return out;
}

void dropCloseAnchors(engine::Table &journal)
{
    if (hasCloseAnchors(journal))
        journal.runBeside(QStringLiteral(
            "UPDATE dorvanta_zakljucak SET GLAVA = NULL, ZAPISA = NULL WHERE GLAVA IS NOT NULL "
            "OR ZAPISA IS NOT NULL"));
}

ChainHead head(engine::Table &journal)
{
    ChainHead h;
    const std::optional<qint64> last = lastRecordId(journal);
    h.empty = !last;
    h.lastId = last.value_or(-1);
    if (!hasChainTable(journal))
        return h;
    if (h.empty) {
        h.head = segmentStart(journal);
        return h;
    }
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT REDNI, HES FROM dorvanta_lanac WHERE ID = ?1"), {h.lastId});
    if (!rows.isEmpty()) {
        h.records = integer(rows.front().value(0));
        h.head = rows.front().value(1).toString().toLatin1();
    }
    return h;
}

bool vouchesForLast(engine::Table &journal)
{
    const std::optional<qint64> lastOne = lastRecordId(journal);
    if (!lastOne || !hasChainTable(journal))
        return false;
    const qint64 last = *lastOne;
    const QList<QVariantList> own = journal.runBeside(
        QStringLiteral("SELECT REDNI, HES FROM dorvanta_lanac WHERE ID = ?1"), {last});
    if (own.isEmpty())
        return false;
    const qint64 position = integer(own.front().value(0));
    QByteArray base;
    if (const std::optional<qint64> before = lastRecordId(journal, last)) {
        const QList<QVariantList> prior = journal.runBeside(
            QStringLiteral("SELECT ID, REDNI, HES FROM dorvanta_lanac WHERE ID < ?1 "
                           "ORDER BY ID DESC LIMIT 1"),
            {last});
        if (prior.isEmpty() || integer(prior.front().value(0)) != *before ||
            integer(prior.front().value(1)) != position - 1)
            return false;
        base = prior.front().value(2).toString().toLatin1();
    } else {
        if (position != 1)
            return false;
        base = segmentStart(journal);
    }
    Hasher hasher;
    return hasher.link(raw(base), encodedRecord(journal, last)).toHex() ==
           own.front().value(1).toString().toLatin1();
}

void chainRecord(engine::Table &journal, qint64 recordId)
{
    // The last stored link, also one of a record that is no longer there: a record removed
    // from the end stays visible, since the new record chains from the link it left.
    const QList<QVariantList> last = journal.runBeside(
        QStringLiteral("SELECT REDNI, HES, ID FROM dorvanta_lanac ORDER BY ID DESC LIMIT 1"));
    const QByteArray previous =
        last.isEmpty() ? segmentStart(journal) : last.front().value(1).toString().toLatin1();
    const qint64 position = last.isEmpty() ? 1 : integer(last.front().value(0)) + 1;
    Hasher hasher;
    const QByteArray link = hasher.link(raw(previous), encodedRecord(journal, recordId));
    // Links left at or after this id (a table file gives a cleared journal's ids again) are
    // replaced; only then is anything removed, so that the desks' role needs no DELETE.
    if (!last.isEmpty() && integer(last.front().value(2)) >= recordId)
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac WHERE ID >= ?1"), {recordId});
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_lanac (ID, REDNI, HES) VALUES (?1, ?2, ?3)"),
                      {recordId, position, QString::fromLatin1(link.toHex())});
}

int chainUnlinked(engine::Table &journal, const QString &who, const QString &act,
                  const QString &details, bool beginsSegment)
{
    createTables(journal);
    int chained = 0;
    if (beginsSegment) {
        dropCloseAnchors(journal);
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac"));
        chained = chainFrom(journal, std::nullopt, zeroLink(), 1);
    } else {
        const QList<QVariantList> last = journal.runBeside(
            QStringLiteral("SELECT ID, REDNI, HES FROM dorvanta_lanac ORDER BY ID DESC LIMIT 1"));
        chained = last.isEmpty()
                      ? chainFrom(journal, std::nullopt, segmentStart(journal), 1)
                      : chainFrom(journal, integer(last.front().value(0)),
                                  last.front().value(2).toString().toLatin1(),
                                  integer(last.front().value(1)) + 1);
    }
    if (chained == 0 && !beginsSegment)
        return 0;
    log(journal, who, act, QString(details).replace(QLatin1String("%1"), QString::number(chained)),
        QDateTime::currentDateTime(), beginsSegment ? zeroLink() : QByteArray());
    return chained;
}

namespace {

} // namespace

QString chainAppended(const QString &dir, const QString &password, const QString &act,
                      const QString &details)
{
    return inJournalOf(dir, [&](engine::Table &journal) {
        inTransaction(journal, [&] { chainUnlinked(journal, {}, act, details, false); });
    }, password);
}

void log(engine::Table &journal, const QString &who, const QString &act, const QString &details,
         const QDateTime &when, const QByteArray &startsFrom)
{
    createTables(journal);
    // On the server the entry's number, link, head, time and user are the server's to give.
    if (startsFrom.isEmpty() &&
        server::appending(journal) == server::Appending::ThroughFunctions) {
        journal.runBeside(QStringLiteral("SELECT dorvanta_upisi(?1, ?2, ?3, ?4)"),
                          {who.isEmpty() ? QVariant() : QVariant(who), act,
                           details.isEmpty() ? QVariant() : QVariant(details),
                           when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))});
        return;
    }
    const QList<QVariantList> last = journal.runBeside(
        QStringLiteral("SELECT RB, HES FROM dorvanta_dnevnik ORDER BY RB DESC LIMIT 1"));
    const qint64 rb = last.isEmpty() ? 1 : integer(last.front().value(0)) + 1;
    const QByteArray previous =
        last.isEmpty() ? zeroLink() : last.front().value(1).toString().toLatin1();
    ChainHead h = head(journal);
    if (h.empty && !startsFrom.isEmpty())
        h.head = startsFrom; // the segment this entry begins is empty yet
    const QVariantList values = {
        rb,
        when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")),
        who.isEmpty() ? QVariant() : QVariant(who),
        act,
        details.isEmpty() ? QVariant() : QVariant(details),
        h.records,
        h.head.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(h.head)),
        startsFrom.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(startsFrom)),
    };
    QByteArray encoding;
    for (const QVariant &v : values)
        encodeVariant(encoding, v);
    Hasher hasher;
    QVariantList params = values;
    params << QString::fromLatin1(hasher.link(raw(previous), encoding).toHex());
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dnevnik (%1) VALUES (?1, ?2, ?3, ?4, "
                                     "?5, ?6, ?7, ?8, ?9)")
                          .arg(QLatin1String(LogColumns)),
                      params);
}

void logOwn(engine::Table &journal, const QString &who, const QString &act, const QString &details)
{
    engine::Transaction transaction(journal);
    log(journal, who, act, details);
    transaction.commit();
}

QString logDirectory(const QString &dir, const QString &password, const QString &act,
                     const QString &details)
{
    return inJournalOf(
        dir, [&](engine::Table &journal) { logOwn(journal, {}, act, details); }, password);
}

QByteArray headOfDay(engine::Table &journal, const QString &isoDay)
{
    if (!hasChainTable(journal))
        return {};
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT l.HES FROM dorvanta_lanac l WHERE l.ID = "
                       "(SELECT MAX({id}) FROM promet WHERE DATUM <= ?1)"),
        {isoDay});
    if (!rows.isEmpty())
        return rows.front().value(0).toString().toLatin1();
    if (lastRecordId(journal)) {
        const QList<QVariantList> any = journal.runBeside(
            QStringLiteral("SELECT 1 FROM promet WHERE DATUM <= ?1 LIMIT 1"), {isoDay});
        if (!any.isEmpty())
            return {}; // the day's last record has no link
    }
    return segmentStart(journal);
}

// ---------------------------------------------------------------------------------------
// Clearing and restoring

namespace {


QString headText(const ChainHead &h)
{
    return h.head.isEmpty() ? QStringLiteral("bez lanca") : QString::fromLatin1(h.head);
}

} // namespace

void clearJournal(engine::Table &journal, const QString &who, const QString &archive)
{
    createTables(journal);
    inTransaction(journal, [&] {
        const ChainHead before = head(journal);
        const QList<QVariantList> count = journal.runBeside(QStringLiteral("SELECT COUNT(*) FROM promet"));
        journal.first();
        journal.emptyTable();
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac"));
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_dokument"));
        dropCloseAnchors(journal);
        log(journal, who, QStringLiteral("BRISANJE"),
            QStringLiteral("Obrisano %1 zapisa; glava pre brisanja %2; arhiva %3")
                .arg(integer(count.value(0).value(0)))
                .arg(headText(before), archive.isEmpty() ? QStringLiteral("nije snimljena") : archive),
            QDateTime::currentDateTime(), before.head.isEmpty() ? zeroLink() : before.head);
    });
}

KeptLog keepLog(engine::Table &journal)
{
    KeptLog kept;
    try {
        kept.head = head(journal);
        kept.entries = journal.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_dnevnik ORDER BY RB")
                                             .arg(QLatin1String(LogColumns)));
    } catch (const EngineError &) {
        return {};
    }
    return kept;
}

void carryOverLog(engine::Table &journal, const KeptLog &kept, const QString &who,
                  const QString &details)
{
    createTables(journal);
    inTransaction(journal, [&] {
        if (!kept.entries.isEmpty()) {
            journal.runBeside(QStringLiteral("DELETE FROM dorvanta_dnevnik"));
            for (const QVariantList &entry : kept.entries)
                journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dnevnik (%1) VALUES (?1, ?2, "
                                                 "?3, ?4, ?5, ?6, ?7, ?8, ?9)")
                                      .arg(QLatin1String(LogColumns)),
                                  entry);
        }
        const QByteArray start = kept.head.head.isEmpty() ? zeroLink() : kept.head.head;
        dropCloseAnchors(journal);
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac"));
        const int chained = chainFrom(journal, std::nullopt, start, 1);
        log(journal, who, QStringLiteral("POVRACAJ"),
            QStringLiteral("%1; ucitano %2 zapisa; pre toga %3 zapisa, glava %4")
                .arg(details)
                .arg(chained)
                .arg(kept.head.records)
                .arg(headText(kept.head)),
            QDateTime::currentDateTime(), start);
    });
}

// ---------------------------------------------------------------------------------------
// Verification

QString Verdict::text() const
{
    if (!readable || (closedDays.isEmpty() && counts.isEmpty()))
        return chainText();
    QStringList lines;
    if (findings.isEmpty())
        lines << QStringLiteral("Lanac i dnevnik su u redu (%1 zapisa, glava lanca %2), ali %3:")
                     .arg(records)
                     .arg(QString::fromLatin1(head))
                     .arg(counts.isEmpty()       ? QStringLiteral("zakljuceni dani se ne slazu sa prometom")
                          : closedDays.isEmpty() ? QStringLiteral("popisi gotovine se ne slazu")
                                                 : QStringLiteral("zakljuceni dani i popisi gotovine "
                                                                  "se ne slazu"));
    else
        lines << chainText();
    return (lines + closedDays + counts).join(u'\n');
}

QString Verdict::chainText() const
{
    QStringList lines;
    if (!readable) {
        for (const Finding &f : findings)
            lines << QStringLiteral("GRESKA: ") + f.what;
        return lines.join(u'\n');
    }
    if (findings.isEmpty())
        lines << QStringLiteral("U redu: %1 zapisa, glava lanca %2")
                     .arg(records)
                     .arg(QString::fromLatin1(head));
    for (const Finding &f : findings) {
        if (f.position < 0)
            lines << QStringLiteral("Promet: ") + f.what;
        else if (f.position > 0)
            lines << QStringLiteral("Zapis %1 (%2): %3")
                         .arg(f.position)
                         .arg(f.number.isEmpty() ? QStringLiteral("bez broja") : f.number, f.what);
        else
            lines << QStringLiteral("Dnevnik: ") + f.what;
    }
    return lines.join(u'\n');
}

namespace {

// One entry of the log as the checks read it.
struct LogEntry
{
    qint64 rb;
    qint64 records;
    QByteArray head;
    QByteArray start;
};

// The log's chain: its entries in order; a finding for the first entry missing or changed,
// for a log that is missing or cannot be read, and for an empty one.
QList<LogEntry> checkLogChain(engine::Table &journal, Verdict &v)
{
    QList<LogEntry> entries;
    try {
        Hasher hasher;
        QByteArray previous = raw(zeroLink());
        qint64 expected = 1;
        QByteArray encoding;
        bool broken = false;
        if (!hasSideTable(journal, QStringLiteral("dorvanta_dnevnik")))
            throw EngineError(EngineError::Kind::NotFound,
                              QStringLiteral("tabela dorvanta_dnevnik ne postoji"));
        const auto entry = [&](const engine::RecordView &row) {
            const qint64 rb = row.integer(0);
            encoding.resize(0);
            encodeRow(encoding, row, 0, LogEncodedCount);
            const QByteArray stored = row.utf8(8).toByteArray();
            const QByteArray link = hasher.link(previous, encoding);
            if (!broken && rb != expected) {
                v.findings << Finding{
                    0,
                    {},
                    QStringLiteral("unos %1 nedostaje (sledeci je %2)").arg(expected).arg(rb)};
                broken = true;
            } else if (!broken && link.toHex() != stored) {
                v.findings << Finding{0, {}, QStringLiteral("unos %1 je promenjen").arg(rb)};
                broken = true;
            }
            expected = rb + 1;
            previous = raw(stored);
            entries.append({rb, row.isNull(5) ? 0 : row.integer(5),
                            row.isNull(6) ? QByteArray() : row.utf8(6).toByteArray(),
                            row.isNull(7) ? QByteArray() : row.utf8(7).toByteArray()});
        };
        journal.scanBeside(QStringLiteral("SELECT %1 FROM dorvanta_dnevnik ORDER BY RB")
                               .arg(QLatin1String(LogColumns)),
                           {}, entry);
    } catch (const EngineError &e) {
        v.findings << Finding{0, {}, QStringLiteral("dnevnik ne postoji ili se ne moze procitati (%1)").arg(e.message())};
    }
    if (entries.isEmpty() && v.findings.isEmpty())
        v.findings << Finding{0, {}, QStringLiteral("dnevnik je prazan: pocetak lanca nije zapisan")};
    return entries;
}

// The segment of the chain the journal now runs in: from the last entry of the log that
// begins one (the whole log when none does).
struct Segment
{
    qsizetype first = 0; // its first entry in the log
    QByteArray base;     // the link its first record chains from
    // The positions whose links the segment's entries name, in order, with their links as
    // the walk finds them.
    std::vector<std::pair<qint64, QByteArray>> named;

    QByteArray linkAt(qint64 position) const
    {
        const auto it =
            std::lower_bound(named.begin(), named.end(), std::pair{position, QByteArray()});
        return it != named.end() && it->first == position ? it->second : QByteArray();
    }
};

Segment currentSegment(const QList<LogEntry> &entries)
{
    Segment s;
    qsizetype at = -1;
    for (qsizetype i = entries.size() - 1; i >= 0; --i)
        if (!entries.at(i).start.isEmpty()) {
            at = i;
            break;
        }
    s.first = std::max<qsizetype>(at, 0);
    s.base = at >= 0 ? entries.at(at).start : zeroLink();
    for (qsizetype i = s.first; i < entries.size(); ++i)
        if (entries.at(i).records > 0)
            s.named.push_back({entries.at(i).records, {}});
    std::sort(s.named.begin(), s.named.end());
    s.named.erase(std::unique(s.named.begin(), s.named.end()), s.named.end());
    return s;
}

// The first record whose link is not the one stored for it, and where it stands.
struct WalkFault
{
    Finding finding;
    qint64 id = 0;
    std::optional<qint64> previousId; // the record before it (none: it is the first)
    qint64 storedPosition = 0; // the position its stored link names (0: none stored)
};

// The journal walk: every record in stored order chained from the segment's base and met
// with its stored link and number; notes the first fault, the links at the positions the log
// names and whether the wanted link comes up. The chain and the numbers are read whole
// alongside, in step with the walk.
class JournalWalk
{
public:
    JournalWalk(engine::Table &journal, Segment &segment, const QByteArray &wantedHex)
        : m_links(storedLinks(journal)), m_numbers(storedNumbers(journal)), m_segment(segment)
    {
        const QByteArray start = raw(segment.base);
        std::copy_n(start.constData(), LinkBytes, m_previous.begin());
        m_wantsLink = parseLink(wantedHex, m_wanted);
    }

    // Walks the journal a chunk at a time: on a table file a statement that reads keeps a
    // desk from storing its posting until it is done. Throws EngineError when it cannot read.
    void run(engine::Table &journal)
    {
        // The first chunk has no lower bound: no id, not even the lowest, is before it.
        constexpr int JournalChunk = 8192;
        const QString columns = QStringLiteral("SELECT p.{id}, %1 FROM promet p ")
                                    .arg(QLatin1String(JournalColumns));
        const QString order = QStringLiteral("ORDER BY p.{id} LIMIT %1").arg(JournalChunk);
        const QString first = columns + order;
        const QString next = columns + QStringLiteral("WHERE p.{id} > ?1 ") + order;
        for (qint64 inChunk = JournalChunk; inChunk == JournalChunk;) {
            inChunk = 0;
            journal.scanBeside(m_lastId ? next : first,
                               m_lastId ? QVariantList{*m_lastId} : QVariantList(),
                               [&](const engine::RecordView &row) {
                                   ++inChunk;
                                   record(row);
                               });
        }
    }

    qint64 records() const { return m_position; }
    std::optional<qint64> lastId() const { return m_lastId; }
    QByteArray head() const { return m_position == 0 ? m_segment.base : hexOf(m_previous); }
    bool wantedMet() const { return m_wantedMet; }
    std::optional<WalkFault> &fault() { return m_fault; }

private:
    void record(const engine::RecordView &row)
    {
        ++m_position;
        const qint64 id = row.integer(0);
        if (!m_fault) {
            const StoredNumber *number = m_numbers.find(id);
            const StoredLink *stored = m_links.find(id);
            m_encoding.clear();
            encodeRow(m_encoding, row, 1, JournalColumnCount);
            if (number)
                m_encoding.append(m_numbers.buffer().constData() + number->offset,
                                  number->end - number->offset);
            else
                m_encoding.append("--", 2); // no number, nothing reversed
            m_hasher.link(m_previous, m_encoding.view(), m_previous);
            if (m_wantsLink && m_previous == m_wanted)
                m_wantedMet = true;
            if (m_atNamed < m_segment.named.size() &&
                m_segment.named[m_atNamed].first == m_position)
                m_segment.named[m_atNamed++].second = hexOf(m_previous);
            if (!stored || stored->position != m_position || !stored->valid ||
                stored->link != m_previous)
                noteFault(id, stored, number);
        }
        m_lastId = id;
    }

    void noteFault(qint64 id, const StoredLink *stored, const StoredNumber *number)
    {
        WalkFault &f = m_fault.emplace();
        f.finding =
            Finding{m_position, number ? numberText(m_numbers.buffer(), *number) : QString(), {}};
        f.id = id;
        f.previousId = m_lastId;
        f.storedPosition = stored ? stored->position : 0;
        if (!stored)
            f.finding.what = QStringLiteral("zapis nije u lancu: umetnut ili dodat van programa");
        else if (stored->position > m_position)
            f.finding.what = QStringLiteral("%1 zapis(a) ispred ovog je obrisano")
                                 .arg(stored->position - m_position);
        else if (stored->position < m_position)
            f.finding.what = QStringLiteral("zapis ispred ovog je umetnut van programa");
        else
            f.finding.what = QStringLiteral("zapis je promenjen (sadrzaj, broj ili redosled)");
    }

    SideRows<StoredLink> m_links;
    SideRows<StoredNumber> m_numbers;
    Segment &m_segment;
    Hasher m_hasher;
    Link m_previous;
    Link m_wanted;
    bool m_wantsLink = false;
    bool m_wantedMet = false;
    Encoding m_encoding;
    size_t m_atNamed = 0;
    qint64 m_position = 0;
    std::optional<qint64> m_lastId; // the record walked last
    std::optional<WalkFault> m_fault;
};

// Deletions: a fault where records before it are gone names the first of them by its kept
// number (or the record it stood before).
void nameDeletion(engine::Table &journal, WalkFault &fault)
{
    if (fault.storedPosition <= fault.finding.position)
        return;
    const QList<QVariantList> gone =
        fault.previousId
            ? journal.runBeside(QStringLiteral("SELECT BROJ FROM dorvanta_dokument WHERE ID > ?1 "
                                               "AND ID < ?2 ORDER BY ID LIMIT 1"),
                                {*fault.previousId, fault.id})
            : journal.runBeside(QStringLiteral("SELECT BROJ FROM dorvanta_dokument WHERE ID < ?1 "
                                               "ORDER BY ID LIMIT 1"),
                                {fault.id});
    if (!gone.isEmpty())
        fault.finding.what +=
            QStringLiteral(" (obrisan je %1)").arg(gone.front().value(0).toString());
    else
        fault.finding.what += QStringLiteral(" (obrisani zapis je bio ispred %1)")
                                  .arg(fault.finding.number.isEmpty() ? QStringLiteral("ovog")
                                                                      : fault.finding.number);
    fault.finding.number.clear();
}

// The tail: links kept after the journal's last record. One that goes on from the journal's
// count stands for records cut off at the end; any other was never made by a posting and is
// named as a link without its record.
std::optional<Finding> checkTail(engine::Table &journal, qint64 records,
                                 std::optional<qint64> lastId)
{
    const QString sql = QStringLiteral("SELECT l.REDNI, d.BROJ, l.ID FROM dorvanta_lanac l LEFT JOIN "
                                       "dorvanta_dokument d ON d.ID = l.ID %1ORDER BY l.ID LIMIT 1")
                            .arg(lastId ? QStringLiteral("WHERE l.ID > ?1 ") : QString());
    const QList<QVariantList> tail =
        journal.runBeside(sql, lastId ? QVariantList{*lastId} : QVariantList());
    if (tail.isEmpty())
        return std::nullopt;
    const QVariantList &row = tail.front();
    if (row.value(0).isNull() || integer(row.value(0)) != records + 1)
        return Finding{records + 1, row.value(1).toString(),
                       QStringLiteral("veza lanca bez zapisa (ID %1, redni broj %2): dodata van "
                                      "programa")
                           .arg(integer(row.value(2)))
                           .arg(row.value(0).toString())};
    return Finding{records + 1, row.value(1).toString(),
                   QStringLiteral("zapis sa kraja je obrisan")};
}

// The count: the records walked against the records the table holds, so that no record
// stands where no walk would meet it.
std::optional<Finding> checkCount(engine::Table &journal, qint64 records)
{
    const qint64 stored =
        integer(journal.runBeside(QStringLiteral("SELECT COUNT(*) FROM promet")).value(0).value(0));
    if (stored == records)
        return std::nullopt;
    return Finding{-1, {}, QStringLiteral("tabela prometa ima %1 zapisa, a provereno je %2: "
                                         "zapisi van redosleda tabele")
                              .arg(stored)
                              .arg(records)};
}

// The log heads: each entry of the segment names a head of this journal; the first that
// counts more records than there are is a fault, a head that does not match is a finding.
std::optional<Finding> checkLogHeads(const QList<LogEntry> &entries, const Segment &segment,
                                     qint64 records, Verdict &v)
{
    for (qsizetype i = segment.first; i < entries.size(); ++i) {
        const LogEntry &e = entries.at(i);
        if (e.records > records)
            return Finding{records + 1,
                           {},
                           QStringLiteral("dnevnik (unos %1) belezi %2 zapisa, a postoji %3: "
                                          "zapisi sa kraja su obrisani")
                               .arg(e.rb)
                               .arg(e.records)
                               .arg(records)};
        const QByteArray at = e.records == 0 ? segment.base : segment.linkAt(e.records);
        if (!e.head.isEmpty() && e.head != at)
            v.findings << Finding{
                0,
                {},
                QStringLiteral("unos %1 ne odgovara lancu prometa (glava %2 na zapisu %3)")
                    .arg(e.rb)
                    .arg(QString::fromLatin1(e.head))
                    .arg(e.records)};
    }
    return std::nullopt;
}

// The verdict on a journal that cannot be read: the reason instead of any finding.
Verdict unreadable(Verdict v, const EngineError &e)
{
    v.readable = false;
    v.findings = {Finding{0, {}, e.message()}};
    return v;
}

// One check of the journal, its chain and the log. `holding`: every read sees one state of
// the store, so that a posting stored meanwhile by a desk is either wholly in what is read
// (record, number and link) or not at all.
// The anchors: the journal reaches each anchor's count, and its link there is the anchor's
// head. A finding for each that it does not.
void checkAnchors(const QList<Anchor> &anchors, const Segment &segment, qint64 records,
                  Verdict &v)
{
    for (const Anchor &a : anchors) {
        const QByteArray head = a.head.trimmed().toLower();
        if (a.records > records)
            v.findings << Finding{-1, {}, QStringLiteral("%1 belezi %2 zapisa (glava %3), a promet "
                                                         "ima %4: zapisi sa kraja su obrisani")
                                              .arg(a.source)
                                              .arg(a.records)
                                              .arg(QString::fromLatin1(head))
                                              .arg(records)};
        else if ((a.records == 0 ? segment.base : segment.linkAt(a.records)) != head)
            v.findings << Finding{-1, {}, QStringLiteral("%1 belezi glavu %2 na zapisu %3, a lanac "
                                                         "prometa tu nije ta glava: promet nije "
                                                         "nastavak zabelezenog")
                                              .arg(a.source, QString::fromLatin1(head))
                                              .arg(a.records)};
    }
}

Verdict verifyPass(engine::Table &journal, const QByteArray &wanted, bool holding,
                   const QList<Anchor> &given)
{
    const QByteArray wantedHex = wanted.trimmed().toLower();
    std::optional<ReadingGuard> reading;
    try {
        if (holding)
            reading.emplace(journal);
    } catch (const EngineError &e) {
        return unreadable({}, e);
    }

    Verdict v;
    // The log first: its own chain, and what it says about the journal.
    const QList<LogEntry> entries = checkLogChain(journal, v);
    Segment segment = currentSegment(entries);
    QList<Anchor> anchors = given;
    try {
        anchors += closeAnchors(journal);
    } catch (const EngineError &) {
        // a journal without the cash book's tables: no closes to anchor it
    }
    for (const Anchor &a : std::as_const(anchors))
        if (a.records > 0)
            segment.named.push_back({a.records, {}});
    std::sort(segment.named.begin(), segment.named.end());
    segment.named.erase(std::unique(segment.named.begin(), segment.named.end()),
                        segment.named.end());
    for (const LogEntry &e : entries)
        if ((!e.head.isEmpty() && e.head == wantedHex) || (!e.start.isEmpty() && e.start == wantedHex))
            v.headFound = true;

    if (!hasChainTable(journal)) {
        QList<QVariantList> first;
        try {
            first = journal.runBeside(QStringLiteral("SELECT d.BROJ%1ORDER BY p.{id} LIMIT 1")
                                          .arg(QLatin1String(RecordJoin)));
        } catch (const EngineError &) {
        }
        v.findings.prepend(Finding{1, first.value(0).value(0).toString(),
                                   QStringLiteral("tabela lanca (dorvanta_lanac) ne postoji")});
        return v;
    }

    if (wantedHex == segment.base)
        v.headFound = true;
    std::optional<JournalWalk> walk;
    try {
        walk.emplace(journal, segment, wantedHex);
        walk->run(journal);
    } catch (const EngineError &e) {
        if (walk && walk->wantedMet())
            v.headFound = true;
        return unreadable(v, e);
    }
    v.records = walk->records();
    v.head = walk->head();
    if (walk->wantedMet())
        v.headFound = true;

    std::optional<Finding> fault;
    if (walk->fault()) {
        nameDeletion(journal, *walk->fault());
        fault = walk->fault()->finding;
    }
    if (!fault)
        fault = checkCount(journal, v.records);
    if (!fault)
        fault = checkTail(journal, v.records, walk->lastId());
    if (!fault)
        fault = checkLogHeads(entries, segment, v.records, v);
    if (fault)
        v.findings.prepend(*fault);
    else
        checkAnchors(anchors, segment, v.records, v);
    return v;
}

} // namespace

// What every closed day was closed as against what the records give now; nothing for a
// journal without the cash book's tables (an older one, a bare backup).
static QStringList closedDaysAgainstRecords(engine::Table &journal)
{
    QList<DayClose> closed;
    try {
        closed = cashbook::closes(journal);
    } catch (const EngineError &) {
        return {};
    }
    QStringList lines;
    for (const cashbook::ClosedDayDrift &d : cashbook::closedDayDrift(journal, closed))
        lines += d.lines();
    return lines;
}

Verdict verify(engine::Table &journal, const QByteArray &wanted, const QList<Anchor> &anchors)
{
    // On a table file a reading transaction keeps every desk from storing a posting until it
    // ends, and a long journal takes seconds to check: the check reads statement by statement
    // first. A posting stored between two reads can look like a record without its link (or
    // the like) to that pass, so a finding counts only when a pass in one reading
    // transaction finds it too.
    Verdict quick = verifyPass(journal, wanted, false, anchors);
    Verdict v = quick.ok() ? quick : verifyPass(journal, wanted, true, anchors);
    if (v.readable)
        v.closedDays = closedDaysAgainstRecords(journal);
    if (v.readable)
        v.counts = cashcount::check(journal);
    return v;
}

QDateTime segmentBegan(engine::Table &journal)
{
    if (!hasSideTable(journal, QStringLiteral("dorvanta_dnevnik")))
        return {};
    const QList<QVariantList> rows = journal.runBeside(QStringLiteral(
        "SELECT VREME FROM dorvanta_dnevnik WHERE POCETAK IS NOT NULL ORDER BY RB DESC LIMIT 1"));
    return rows.isEmpty() ? QDateTime()
                          : QDateTime::fromString(rows.front().value(0).toString(), Qt::ISODate);
}

QDateTime segmentBeganIn(const QString &dir, const QString &password)
{
    QDateTime began;
    if (const QString e = inJournalOf(
            dir, [&](engine::Table &journal) { began = segmentBegan(journal); }, password);
        !e.isEmpty())
        throw EngineError(EngineError::Kind::Failed, e);
    return began;
}

Verdict verifyDirectory(const QString &dir, const QString &password, const QByteArray &head,
                        const QList<Anchor> &anchors)
{
    Verdict v;
    if (const QString e = inJournalOf(
            dir, [&](engine::Table &journal) { v = verify(journal, head, anchors); }, password);
        !e.isEmpty()) {
        v = Verdict();
        v.readable = false;
        v.findings << Finding{0, {}, e};
    }
    return v;
}

} // namespace desk::chain
