// Checking a journal against its chain and its audit log. Every statement is in the SQL both
// stores share, and every value is encoded from its stored text, as the links were made.
#include "ChainVerify.h"
#include "ChainCodec.h"
#include "SideRows.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace desk::chain {

using namespace codec;
using engine::EngineError;

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


// The document number of a stored number (empty when it is NULL).
QString numberText(const QByteArray &buffer, const StoredNumber &n)
{
    const QByteArrayView value = QByteArrayView(buffer).sliced(n.offset, n.between - n.offset);
    const qsizetype colon = value.indexOf(':');
    return colon < 0 ? QString() : QString::fromUtf8(value.sliced(colon + 1));
}

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

Verdict verifyChain(engine::Table &journal, const QByteArray &wanted, const QList<Anchor> &anchors)
{
    // On a table file a reading transaction keeps every desk from storing a posting until it
    // ends, and a long journal takes seconds to check: the check reads statement by statement
    // first. A posting stored between two reads can look like a record without its link (or
    // the like) to that pass, so a finding counts only when a pass in one reading
    // transaction finds it too.
    Verdict quick = verifyPass(journal, wanted, false, anchors);
    return quick.ok() ? quick : verifyPass(journal, wanted, true, anchors);
}

} // namespace desk::chain
