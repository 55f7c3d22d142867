// The cash book's tables beside the journal: numbering, day closes and reading the journal
// with its numbers. Every statement is in the SQL that SQLite and PostgreSQL share (see
// engine::Table::runBeside), so both stores run the same code.
#include "CashBook.h"
#include "CashCount.h"
#include "Rates.h"
#include "DeskSettings.h"
#include "DeskTables.h"
#include "JournalChain.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableStores.h"
#include "engine/Transaction.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <limits>
#include <optional>

namespace desk {

namespace {

using engine::EngineError;
using engine::Money;

const QString DateShown = QStringLiteral("dd/MM/yyyy");

Money money(const QVariant &v)
{
    return v.isNull() ? Money() : Money::fromHundredths(v.toLongLong());
}

QString letter(DocumentKind kind)
{
    return kind == DocumentKind::Receipt ? QStringLiteral("U") : QStringLiteral("I");
}

int yearOf(const QVariant &isoDate)
{
    return isoDate.toString().left(4).toInt(); // a record without a date counts in year 0
}

// The counters are kept in two tables. dorvanta_brojac holds, per kind and year, the last
// number given as of the administrator's last tidying (tidy()); every number given since is
// appended to dorvanta_izdat. A desk so only reads and appends: the next number of ?1 ("U",
// "I", "Z") in year ?2 is one past the larger of the two, and appending it to dorvanta_izdat
// (whose key is the kind, the year and the number) takes it. Desks give numbers under the
// journal's write lock, so two never take the same one; if they did, the key refuses the second.
const char NextInCounter[] =
    "INSERT INTO dorvanta_izdat (VRSTA, GODINA, REDNI) SELECT CAST(?1 AS TEXT), "
    "CAST(?2 AS BIGINT), COALESCE(MAX(n), 0) + 1 FROM (SELECT MAX(REDNI) AS n FROM dorvanta_izdat "
    "WHERE VRSTA = ?1 AND GODINA = ?2 UNION ALL SELECT POSLEDNJI AS n FROM dorvanta_brojac "
    "WHERE VRSTA = ?1 AND GODINA = ?2) t";

// The last number given of ?1 in year ?2, as POSLEDNJI (after NextInCounter, the one it took).
const char LastInCounter[] =
    "(SELECT MAX(REDNI) AS POSLEDNJI FROM dorvanta_izdat WHERE VRSTA = ?4 AND GODINA = ?5) t";

// The last number given per kind and year: VRSTA, GODINA, POSLEDNJI.
const char AllCounters[] =
    "SELECT VRSTA, GODINA, MAX(POSLEDNJI) FROM (SELECT VRSTA, GODINA, POSLEDNJI FROM "
    "dorvanta_brojac UNION ALL SELECT VRSTA, GODINA, REDNI AS POSLEDNJI FROM dorvanta_izdat) t "
    "GROUP BY VRSTA, GODINA";

// A counter row's POSLEDNJI as documentNumber() writes it: six digits at least.
const char SequenceText[] = "CASE WHEN POSLEDNJI < 1000000 THEN substr(CAST(1000000 + POSLEDNJI "
                            "AS TEXT), 2) ELSE CAST(POSLEDNJI AS TEXT) END";

const char LastClosedDay[] = "SELECT MAX(DATUM) FROM dorvanta_zakljucak";

// The next number of `kind` in `year`.
qint64 nextSequence(engine::Table &journal, const QString &kind, int year)
{
    const QList<QVariantList> rows = journal.runBeside(
        QString::fromLatin1(NextInCounter) + QStringLiteral(" RETURNING REDNI"), {kind, year});
    return rows.value(0).value(0).toLongLong();
}

QString numberPrefix(DocumentKind kind, int year)
{
    return QStringLiteral("%1-%2-").arg(letter(kind)).arg(year, 4, 10, QLatin1Char('0'));
}

std::optional<QDate> lastClosedOf(const QList<QVariantList> &rows)
{
    if (rows.isEmpty() || rows.front().value(0).isNull())
        return std::nullopt;
    return QDate::fromString(rows.front().value(0).toString(), Qt::ISODate);
}

void refuseClosed(const QDate &day, const std::optional<QDate> &last)
{
    if (last && day <= *last)
        throw EngineError(EngineError::Kind::Refused,
                          QStringLiteral("Dan %1 je zakljucen (poslednji zakljuceni dan je %2): "
                                         "promena nije proknjizena. Prijavite se ponovo.")
                              .arg(day.toString(DateShown), last->toString(DateShown)));
}

// Runs `work` in a transaction of the journal: committed when it returns, rolled back when it
// throws.
template<typename Work>
auto inTransaction(engine::Table &journal, Work work)
{
    engine::Transaction transaction(journal);
    auto result = work();
    transaction.commit();
    return result;
}

void createTables(engine::Table &journal)
{
    for (const char *sql : {
             "CREATE TABLE IF NOT EXISTS dorvanta_dokument (ID bigint PRIMARY KEY, "
             "BROJ text NOT NULL UNIQUE, STORNO text UNIQUE)",
             "CREATE TABLE IF NOT EXISTS dorvanta_brojac (VRSTA text NOT NULL, "
             "GODINA bigint NOT NULL, POSLEDNJI bigint NOT NULL, PRIMARY KEY (VRSTA, GODINA))",
             "CREATE TABLE IF NOT EXISTS dorvanta_izdat (VRSTA text NOT NULL, "
             "GODINA bigint NOT NULL, REDNI bigint NOT NULL, PRIMARY KEY (VRSTA, GODINA, REDNI))",
             "CREATE TABLE IF NOT EXISTS dorvanta_zakljucak (DATUM text PRIMARY KEY, "
             "BROJ bigint NOT NULL, KORISNIK text, VREME text, PRETHODNODIN bigint, "
             "ULAZDIN bigint, IZLAZDIN bigint, STANJEDIN bigint, PRETHODNOEUR bigint, "
             "ULAZEUR bigint, IZLAZEUR bigint, STANJEEUR bigint)",
         })
        journal.runBeside(QString::fromLatin1(sql));
    cashcount::createTables(journal);
    settings::createTable(journal);
    // A close keeps the journal's head and count at the close (the anchors of verify); a
    // close table made before has no place for them yet. On the server the administrator's
    // first start adds them (server::upgrade()).
    if (!chain::hasCloseAnchors(journal) &&
        server::appending(journal) == server::Appending::Directly) {
        try {
            journal.runBeside(QStringLiteral("SELECT to_regclass('promet')"));
        } catch (const EngineError &) {
            journal.runBeside(QStringLiteral("ALTER TABLE dorvanta_zakljucak ADD COLUMN GLAVA text"));
            journal.runBeside(QStringLiteral("ALTER TABLE dorvanta_zakljucak ADD COLUMN ZAPISA bigint"));
        }
    }
    rates::createTable(journal);
}

const char CloseColumns[] = "DATUM, BROJ, KORISNIK, VREME, PRETHODNODIN, ULAZDIN, IZLAZDIN, "
                            "STANJEDIN, PRETHODNOEUR, ULAZEUR, IZLAZEUR, STANJEEUR";

const char EntryColumns[] =
    "SELECT p.{id}, d.BROJ, d.STORNO, p.KORISNIK, p.DATUM, p.VREME, p.OPIS, p.GRUPA, "
    "p.ULAZDIN, p.IZLAZDIN, p.ULAZEUR, p.IZLAZEUR, p.STANJEDIN, p.STANJEEUR "
    "FROM promet p LEFT JOIN dorvanta_dokument d ON d.ID = p.{id} ";

BookEntry entryOf(const QVariantList &row)
{
    BookEntry e;
    e.id = row.at(0).toLongLong();
    e.number = row.at(1).toString();
    e.reverses = row.at(2).toString();
    e.cashier = row.at(3).toString();
    e.date = QDate::fromString(row.at(4).toString(), Qt::ISODate);
    e.time = row.at(5).toString();
    e.description = row.at(6).toString();
    e.group = row.at(7).toString();
    e.dinarsIn = money(row.at(8));
    e.dinarsOut = money(row.at(9));
    e.eurosIn = money(row.at(10));
    e.eurosOut = money(row.at(11));
    e.dinarBalance = money(row.at(12));
    e.euroBalance = money(row.at(13));
    return e;
}

DayClose closeOf(const QVariantList &row)
{
    DayClose c;
    c.day = QDate::fromString(row.at(0).toString(), Qt::ISODate);
    c.number = int(row.at(1).toLongLong());
    c.closedBy = row.at(2).toString();
    c.closedAt = QDateTime::fromString(row.at(3).toString(), Qt::ISODate);
    c.dinars = {money(row.at(4)), money(row.at(5)), money(row.at(6))};
    c.euros = {money(row.at(8)), money(row.at(9)), money(row.at(10))};
    return c;
}

// Writes rows of dorvanta_dokument (ID, BROJ, STORNO) a few hundred to a statement.
class NumberRows
{
public:
    // `skipTaken`: a row whose ID or BROJ is taken already is left out rather than refused.
    NumberRows(engine::Table &journal, bool skipTaken) : m_journal(journal), m_skipTaken(skipTaken) {}
    void add(qint64 id, const QString &number, const QVariant &reverses = {})
    {
        if (!m_sql.isEmpty())
            m_sql += QLatin1String(", ");
        m_sql += QStringLiteral("(?%1, ?%2, ?%3)")
                     .arg(m_params.size() + 1)
                     .arg(m_params.size() + 2)
                     .arg(m_params.size() + 3);
        m_params << id << number << reverses;
        if (m_params.size() >= 3 * 300)
            flush();
    }
    void flush()
    {
        if (m_params.isEmpty())
            return;
        m_journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dokument (ID, BROJ, STORNO) VALUES ") +
                                m_sql + (m_skipTaken ? QStringLiteral(" ON CONFLICT DO NOTHING") : QString()),
                            m_params);
        m_sql.clear();
        m_params.clear();
    }

private:
    engine::Table &m_journal;
    bool m_skipTaken;
    QString m_sql;
    QVariantList m_params;
};

// Inside the journal's transaction: gives every record of the journal that has no number the
// number `numbers` (BROJ, STORNO, DATUM, VREME, KORISNIK by place in stored order) holds for its
// place, as long as the places hold records of the same date, time and cashier (from the first
// that differs on, prepare() numbers the rest). Returns the counters (VRSTA, GODINA,
// POSLEDNJI) the numbers given need at least.
QList<QVariantList> placeNumbers(engine::Table &journal, const QList<QVariantList> &numbers)
{
    // A number of a record that is gone (the journal was replaced) is free for its record.
    journal.runBeside(
        QStringLiteral("DELETE FROM dorvanta_dokument WHERE ID NOT IN (SELECT {id} FROM promet)"));
    const QList<QVariantList> places = journal.runBeside(QStringLiteral(
        "SELECT p.{id}, d.BROJ, p.DATUM, p.VREME, p.KORISNIK FROM promet p "
        "LEFT JOIN dorvanta_dokument d ON d.ID = p.{id} ORDER BY p.{id}"));
    NumberRows rows(journal, true);
    QHash<QString, QVariantList> highest; // "U2026" -> VRSTA, GODINA, POSLEDNJI
    for (qsizetype k = 0; k < std::min(places.size(), numbers.size()); ++k) {
        const QVariantList &from = numbers.at(k);
        const QVariantList &to = places.at(k);
        if (from.value(2).toString() != to.value(2).toString() ||
            from.value(3).toString() != to.value(3).toString() ||
            from.value(4).toString() != to.value(4).toString())
            break;
        const QString number = from.value(0).toString();
        if (number.isEmpty() || !to.value(1).isNull())
            continue;
        rows.add(to.value(0).toLongLong(), number,
                 from.value(1).isNull() ? QVariant() : QVariant(from.value(1).toString()));
        // "U-2026-000042": kind, year, number in the year.
        const QString kind = number.left(1);
        const int year = number.mid(2, 4).toInt();
        const qint64 sequence = number.mid(7).toLongLong();
        QVariantList &counter = highest[kind + QString::number(year)];
        if (counter.isEmpty() || counter.at(2).toLongLong() < sequence)
            counter = {kind, year, sequence};
    }
    rows.flush();
    return highest.values();
}

// Inside a transaction, with the administrator's rights: drops the numbers of records that are
// gone (a table file gives their ids again) and folds the numbers given since the last tidying
// into the counters (keeping every counter, so that a number is never given twice in a year).
void tidyTables(engine::Table &journal)
{
    journal.runBeside(
        QStringLiteral("DELETE FROM dorvanta_dokument WHERE ID NOT IN (SELECT {id} FROM promet)"));
    journal.runBeside(QStringLiteral(
        "INSERT INTO dorvanta_brojac (VRSTA, GODINA, POSLEDNJI) SELECT VRSTA, GODINA, MAX(REDNI) "
        "FROM dorvanta_izdat WHERE 1 = 1 GROUP BY VRSTA, GODINA ON CONFLICT (VRSTA, GODINA) DO "
        "UPDATE SET POSLEDNJI = excluded.POSLEDNJI WHERE dorvanta_brojac.POSLEDNJI < "
        "excluded.POSLEDNJI"));
    journal.runBeside(QStringLiteral("DELETE FROM dorvanta_izdat"));
}

} // namespace

QString documentNumber(DocumentKind kind, int year, qint64 sequence)
{
    return numberPrefix(kind, year) + QStringLiteral("%1").arg(sequence, 6, 10, QLatin1Char('0'));
}

DocumentKind kindOf(const BookEntry &entry)
{
    return entry.dinarsIn.isZero() && entry.eurosIn.isZero() ? DocumentKind::Payment
                                                             : DocumentKind::Receipt;
}

namespace cashbook {

int prepare(engine::Table &journal)
{
    // A journal whose chain was never begun (a data directory of an older version, a new
    // one) is chained now; one whose chain table was removed is not, so that verification
    // sees it.
    const bool wasChained = chain::hasChainTable(journal);
    const int numbered = inTransaction(journal, [&] {
        createTables(journal);
        chain::createTables(journal);
        // A server set up by an older version gets its functions at its administrator's
        // first start; a desk then numbers through them.
        server::upgrade(journal);
        if (server::appending(journal) == server::Appending::ThroughFunctions)
            return int(journal.runBeside(QStringLiteral("SELECT dorvanta_numerisi()"))
                           .value(0)
                           .value(0)
                           .toLongLong());
        // Numbers of records that are gone (a journal emptied by an older version) go with
        // them, as a table file gives their ids again. Only when there are any: the program's
        // own removals (a clear, a restore) tidy them away at once, so that a desk's login
        // removes nothing and the desks' role on a server needs no DELETE.
        const QString orphans =
            QStringLiteral("FROM dorvanta_dokument WHERE ID NOT IN (SELECT {id} FROM promet)");
        if (!journal.runBeside(QStringLiteral("SELECT 1 ") + orphans + QStringLiteral(" LIMIT 1")).isEmpty())
            journal.runBeside(QStringLiteral("DELETE ") + orphans);
        const QList<QVariantList> missing = journal.runBeside(QStringLiteral(
            "SELECT p.{id}, p.DATUM, p.ULAZDIN, p.ULAZEUR FROM promet p "
            "LEFT JOIN dorvanta_dokument d ON d.ID = p.{id} WHERE d.ID IS NULL ORDER BY p.{id}"));
        if (missing.isEmpty())
            return 0;

        QHash<QString, qint64> last; // "U2026" -> last number given
        for (const QVariantList &row : journal.runBeside(QString::fromLatin1(AllCounters)))
            last.insert(row.at(0).toString() + row.at(1).toString(), row.at(2).toLongLong());

        NumberRows rows(journal, false);
        struct Counter
        {
            QString kind;
            int year;
        };
        QHash<QString, Counter> touched;
        for (const QVariantList &row : missing) {
            const bool receipt = !money(row.at(2)).isZero() || !money(row.at(3)).isZero();
            const DocumentKind kind = receipt ? DocumentKind::Receipt : DocumentKind::Payment;
            const int year = yearOf(row.at(1));
            const QString key = letter(kind) + QString::number(year);
            const qint64 sequence = ++last[key];
            touched.insert(key, {letter(kind), year});
            rows.add(row.at(0).toLongLong(), documentNumber(kind, year, sequence));
        }
        rows.flush();
        for (auto it = touched.cbegin(); it != touched.cend(); ++it) {
            journal.runBeside(
                QStringLiteral("INSERT INTO dorvanta_izdat (VRSTA, GODINA, REDNI) VALUES (?1, ?2, ?3)"),
                {it->kind, it->year, last.value(it.key())});
        }
        return int(missing.size());
    });
    if (!wasChained) {
        inTransaction(journal, [&] {
            if (journal.runBeside(QStringLiteral("SELECT 1 FROM dorvanta_dnevnik LIMIT 1")).isEmpty())
                chain::chainUnlinked(journal, {}, QStringLiteral("LANAC"),
                                     QStringLiteral("Lanac zapocet nad %1 zapisa"), true);
            return 0;
        });
    }
    // Numbers given to a whole imported journal at once: the server plans the statements on
    // a range of ids from statistics of the filled table at once, not after its own analysis
    // comes round (until then each posting would read every number). Only an optimisation:
    // a role that may not analyse the table posts as before.
    if (numbered >= 10000) {
        try {
            journal.runBeside(QStringLiteral("ANALYZE dorvanta_dokument"));
        } catch (const EngineError &) {
        }
    }
    return numbered;
}

QString prepareDirectory(const QString &dir, const QString &password)
{
    return inJournalOf(dir, [](engine::Table &journal) { prepare(journal); }, password);
}

void tidy(engine::Table &journal)
{
    inTransaction(journal, [&] {
        createTables(journal);
        tidyTables(journal);
        return 0;
    });
}

QString tidyDirectory(const QString &dir, const QString &password)
{
    return inJournalOf(
        dir,
        [](engine::Table &journal) {
            tidy(journal);
            prepare(journal);
        },
        password);
}

KeptBook keep(engine::Table &journal)
{
    createTables(journal);
    KeptBook kept;
    // With the head and count each close kept (NULL where the store has no place for them).
    kept.closes = journal.runBeside(
        QStringLiteral("SELECT %1, %2 FROM dorvanta_zakljucak")
            .arg(QLatin1String(CloseColumns),
                 chain::hasCloseAnchors(journal) ? QStringLiteral("GLAVA, ZAPISA")
                                                 : QStringLiteral("NULL, NULL")));
    kept.counters = journal.runBeside(QString::fromLatin1(AllCounters));
    kept.settings =
        journal.runBeside(QStringLiteral("SELECT KLJUC, VREDNOST FROM dorvanta_postavke"));
    kept.rates = journal.runBeside(QStringLiteral(
        "SELECT DATUM, VALUTA, KURS, LISTA, IZVOR, KORISNIK, VREME FROM dorvanta_kurs"));
    return kept;
}

void carryOver(engine::Table &journal, const KeptBook &kept)
{
    inTransaction(journal, [&] {
        createTables(journal);
        const bool anchored = chain::hasCloseAnchors(journal);
        for (const QVariantList &close : kept.closes)
            journal.runBeside(
                anchored ? QStringLiteral("INSERT INTO dorvanta_zakljucak (%1, GLAVA, ZAPISA) VALUES "
                                          "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
                                          "?14) ON CONFLICT (DATUM) DO NOTHING")
                               .arg(QLatin1String(CloseColumns))
                         : QStringLiteral("INSERT INTO dorvanta_zakljucak (%1) VALUES (?1, ?2, ?3, "
                                          "?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12) ON CONFLICT "
                                          "(DATUM) DO NOTHING")
                               .arg(QLatin1String(CloseColumns)),
                anchored ? close : close.mid(0, 12));
        for (const QVariantList &setting : kept.settings)
            journal.runBeside(QStringLiteral("INSERT INTO dorvanta_postavke (KLJUC, VREDNOST) "
                                             "VALUES (?1, ?2) ON CONFLICT (KLJUC) DO UPDATE SET "
                                             "VREDNOST = excluded.VREDNOST"),
                              setting);
        for (const QVariantList &rate : kept.rates)
            journal.runBeside(QStringLiteral("INSERT INTO dorvanta_kurs (DATUM, VALUTA, KURS, "
                                             "LISTA, IZVOR, KORISNIK, VREME) VALUES (?1, ?2, ?3, "
                                             "?4, ?5, ?6, ?7) ON CONFLICT (DATUM, VALUTA) DO "
                                             "UPDATE SET KURS = excluded.KURS, LISTA = "
                                             "excluded.LISTA, IZVOR = excluded.IZVOR, KORISNIK = "
                                             "excluded.KORISNIK, VREME = excluded.VREME"),
                              rate);
        QList<QVariantList> counters = kept.counters;
        if (!kept.numbers.isEmpty())
            counters += placeNumbers(journal, kept.numbers);
        for (const QVariantList &counter : std::as_const(counters))
            journal.runBeside(QStringLiteral("INSERT INTO dorvanta_brojac (VRSTA, GODINA, POSLEDNJI) "
                                             "VALUES (?1, ?2, ?3) ON CONFLICT (VRSTA, GODINA) DO "
                                             "UPDATE SET POSLEDNJI = excluded.POSLEDNJI "
                                             "WHERE dorvanta_brojac.POSLEDNJI < excluded.POSLEDNJI"),
                              counter);
        tidyTables(journal);
        return 0;
    });
    prepare(journal);
}

void copyBook(engine::Table &source, engine::Table &target, const KeptBook &also)
{
    KeptBook book = keep(source);
    book.closes += also.closes;
    book.counters += also.counters;
    book.settings += also.settings;
    book.rates += also.rates;
    // Only a copy whose records lack numbers needs them read (a whole journal's worth).
    createTables(target);
    const QList<QVariantList> unnumbered = target.runBeside(QStringLiteral(
        "SELECT COUNT(*) FROM promet p LEFT JOIN dorvanta_dokument d ON d.ID = p.{id} "
        "WHERE d.ID IS NULL"));
    if (unnumbered.value(0).value(0).toLongLong() > 0)
        book.numbers = source.runBeside(QStringLiteral(
            "SELECT d.BROJ, d.STORNO, p.DATUM, p.VREME, p.KORISNIK FROM promet p "
            "LEFT JOIN dorvanta_dokument d ON d.ID = p.{id} ORDER BY p.{id}"));
    carryOver(target, book);
    inTransaction(target, [&] {
        cashcount::copy(source, target);
        return 0;
    });
}

namespace {

// Whether a copy of the journal holds its cash book already: a copy between table files
// copies the tables beside the journal with it, exactly as they are (a record the journal has
// not numbered yet gets its number when the backup is restored, as at the journal's next start).
bool holdsItsBook(engine::Table &copy)
{
    try {
        if (!chain::hasChainTable(copy))
            return false;
        for (const char *table : {"dorvanta_dokument", "dorvanta_zakljucak", "dorvanta_brojac",
                                  "dorvanta_izdat"})
            copy.runBeside(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(QLatin1String(table)));
        return true;
    } catch (const EngineError &) {
        return false; // a table of the cash book is missing
    }
}

} // namespace

void backupJournal(engine::Session &session, const QString &name)
{
    const QString journalPath = QStringLiteral("podaci/promet.db");
    const QString backupPath = QStringLiteral("podaci/") + name;
    const QString file = session.resolvePath(backupPath);
    engine::copyTableFile(session.resolvePath(journalPath), file);
    try {
        engine::Table journal(session, journalPath);
        engine::Table backup(session, backupPath);
        journal.open();
        backup.open();
        if (!holdsItsBook(backup))
            copyBook(journal, backup);
        session.close();
    } catch (...) {
        session.close();
        QFile::remove(file);
        throw;
    }
}

namespace {

// Who posted the reversal `recordId`, for its audit entry.
QString reversalBy(engine::Table &journal, qint64 recordId)
{
    return journal.runBeside(QStringLiteral("SELECT KORISNIK FROM promet WHERE {id} = ?1"), {recordId})
        .value(0)
        .value(0)
        .toString();
}

} // namespace

QString numberRecord(engine::Table &journal, qint64 recordId, DocumentKind kind, const QDate &day,
                     const QString &reverses)
{
    const int year = day.year();
    if (server::appending(journal) == server::Appending::ThroughFunctions) {
        // The server gives the number and the link, from what it holds.
        refuseClosed(day, lastClosedDay(journal));
        const QString number =
            journal
                .runBeside(QStringLiteral("SELECT dorvanta_knjizi(?1, ?2, ?3)"),
                           {recordId, letter(kind), reverses.isEmpty() ? QVariant() : QVariant(reverses)})
                .value(0)
                .value(0)
                .toString();
        if (number.isEmpty())
            throw EngineError(EngineError::Kind::Failed,
                              QStringLiteral("Broj dokumenta nije dodeljen"));
        if (!reverses.isEmpty())
            chain::log(journal, reversalBy(journal, recordId), QStringLiteral("STORNO"),
                       QStringLiteral("Dokument %1 storniran dokumentom %2").arg(reverses, number));
        return number;
    }
    // One trip to the server inside the journal's lock, where every wait holds up the other
    // desks: the day's check, the counter, and the record's number made from it.
    const QString insertNumber =
        QStringLiteral("INSERT INTO dorvanta_dokument (ID, BROJ, STORNO) SELECT CAST(?1 AS BIGINT), "
                       "CAST(?2 AS TEXT) || %1, CAST(?3 AS TEXT) FROM %2 WHERE POSLEDNJI IS NOT NULL "
                       "ON CONFLICT (ID) DO NOTHING RETURNING BROJ")
            .arg(QLatin1String(SequenceText), QLatin1String(LastInCounter));
    const QVariantList numberParams{recordId, numberPrefix(kind, year),
                                    reverses.isEmpty() ? QVariant() : QVariant(reverses),
                                    letter(kind), year};
    const QList<QList<QVariantList>> results = journal.runBesideTogether({
        {QString::fromLatin1(LastClosedDay), {}},
        {QString::fromLatin1(NextInCounter), {letter(kind), year}},
        {QStringLiteral("SELECT MAX(ID) FROM dorvanta_dokument"), {}},
        {insertNumber, numberParams},
    });
    refuseClosed(day, lastClosedOf(results.value(0)));
    QString number = results.value(3).value(0).value(0).toString();
    const QVariant highestNumbered = results.value(2).value(0).value(0);
    if (number.isEmpty() && !highestNumbered.isNull() && highestNumbered.toLongLong() >= recordId) {
        // A table file gives a cleared journal's ids again: a number left from before belongs
        // to a record that is gone (ids only grow, so nothing at or after this id is still
        // there). Only then is anything removed, so that the desks' role needs no DELETE.
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_dokument WHERE ID >= ?1"), {recordId});
        number = journal.runBeside(insertNumber, numberParams).value(0).value(0).toString();
    }
    if (number.isEmpty())
        throw EngineError(EngineError::Kind::Failed,
                          QStringLiteral("Broj dokumenta nije dodeljen"));
    chain::chainRecord(journal, recordId);
    if (!reverses.isEmpty())
        chain::log(journal, reversalBy(journal, recordId), QStringLiteral("STORNO"),
                   QStringLiteral("Dokument %1 storniran dokumentom %2").arg(reverses, number));
    return number;
}

std::optional<QDate> lastClosedDay(engine::Table &journal)
{
    return lastClosedOf(journal.runBeside(QString::fromLatin1(LastClosedDay)));
}

std::optional<DayClose> dayClose(engine::Table &journal, const QDate &day)
{
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT %1 FROM dorvanta_zakljucak WHERE DATUM = ?1")
            .arg(QLatin1String(CloseColumns)),
        {day.toString(Qt::ISODate)});
    if (rows.isEmpty())
        return std::nullopt;
    return closeOf(rows.front());
}

void requireOpenDay(engine::Table &journal, const QDate &day)
{
    refuseClosed(day, lastClosedDay(journal));
}

DayBook dayBook(engine::Table &journal, const QDate &day)
{
    DayBook book;
    const QString iso = day.toString(Qt::ISODate);
    const QList<QVariantList> opening = journal.runBeside(
        QStringLiteral("SELECT SUM(ULAZDIN), SUM(IZLAZDIN), SUM(ULAZEUR), SUM(IZLAZEUR) "
                       "FROM promet WHERE DATUM < ?1"),
        {iso});
    const QVariantList sums = opening.value(0);
    book.dinars.opening = money(sums.value(0)) - money(sums.value(1));
    book.euros.opening = money(sums.value(2)) - money(sums.value(3));
    book.entries = entries(journal, day, day);
    for (const BookEntry &e : std::as_const(book.entries)) {
        book.dinars.in += e.dinarsIn;
        book.dinars.out += e.dinarsOut;
        book.euros.in += e.eurosIn;
        book.euros.out += e.eurosOut;
    }
    book.close = dayClose(journal, day);
    book.chainHead = chain::headOfDay(journal, iso);
    return book;
}

QList<DayClose> closes(engine::Table &journal)
{
    QList<DayClose> out;
    for (const QVariantList &row :
         journal.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_zakljucak ORDER BY DATUM")
                               .arg(QLatin1String(CloseColumns))))
        out << closeOf(row);
    return out;
}

QList<ClosedDayDrift> closedDayDrift(engine::Table &journal)
{
    return closedDayDrift(journal, closes(journal));
}

QList<ClosedDayDrift> closedDayDrift(engine::Table &journal, const QList<DayClose> &closed)
{
    QList<ClosedDayDrift> drift;
    if (closed.isEmpty())
        return drift;
    QList<DayClose> days = closed;
    std::sort(days.begin(), days.end(),
              [](const DayClose &a, const DayClose &b) { return a.day < b.day; });
    // The journal's sums per day, once; a record without a date belongs to no day and to no
    // opening balance (as dayBook() counts).
    const QList<QVariantList> perDay = journal.runBeside(QStringLiteral(
        "SELECT DATUM, SUM(ULAZDIN), SUM(IZLAZDIN), SUM(ULAZEUR), SUM(IZLAZEUR) FROM promet "
        "WHERE DATUM IS NOT NULL GROUP BY DATUM ORDER BY DATUM"));
    qsizetype row = 0;
    Money dinars, euros; // the balance before the row `row`
    for (const DayClose &close : std::as_const(days)) {
        const QString iso = close.day.toString(Qt::ISODate);
        const auto dateOf = [&](qsizetype k) {
            const QVariant v = perDay.at(k).value(0);
            return v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString();
        };
        while (row < perDay.size() && dateOf(row) < iso) {
            const QVariantList &r = perDay.at(row++);
            dinars += money(r.value(1)) - money(r.value(2));
            euros += money(r.value(3)) - money(r.value(4));
        }
        ClosedDayDrift d{close, {dinars, {}, {}}, {euros, {}, {}}};
        if (row < perDay.size() && dateOf(row) == iso) {
            const QVariantList &r = perDay.at(row);
            d.dinars.in = money(r.value(1));
            d.dinars.out = money(r.value(2));
            d.euros.in = money(r.value(3));
            d.euros.out = money(r.value(4));
        }
        if (!d.lines().isEmpty())
            drift << d;
    }
    return drift;
}

QStringList ClosedDayDrift::lines() const
{
    QStringList out;
    const QString day = close.day.toString(DateShown);
    const auto compare = [&](const CurrencyFigures &was, const CurrencyFigures &now,
                             const QString &currency) {
        if (was.closing() != now.closing())
            out << QStringLiteral("Dan %1 je zakljucen sa stanjem %2 %3, promet sada daje %4 %3")
                       .arg(day, was.closing().toText(), currency, now.closing().toText());
        else if (was.opening != now.opening || was.in != now.in || was.out != now.out)
            out << QStringLiteral("Dan %1 je zakljucen sa prethodnim stanjem %2, ulazom %3 i "
                                  "izlazom %4 %5, promet sada daje %6, %7 i %8 %5")
                       .arg(day, was.opening.toText(), was.in.toText(), was.out.toText(), currency,
                            now.opening.toText(), now.in.toText(), now.out.toText());
    };
    compare(close.dinars, dinars, QStringLiteral("DIN"));
    compare(close.euros, euros, QStringLiteral("EUR"));
    return out;
}

DayClose closeDay(engine::Table &journal, const QDate &day, const QString &closedBy,
                  const QDateTime &now)
{
    if (!day.isValid())
        throw EngineError(EngineError::Kind::Value, QStringLiteral("Nije zadat ispravan dan"));
    if (day > now.date())
        throw EngineError(EngineError::Kind::Refused,
                          QStringLiteral("Dan %1 jos nije prosao: ne moze se zakljuciti")
                              .arg(day.toString(DateShown)));
    return inTransaction(journal, [&] {
        if (dayClose(journal, day))
            throw EngineError(
                EngineError::Kind::Refused,
                QStringLiteral("Dan %1 je vec zakljucen").arg(day.toString(DateShown)));
        if (server::appending(journal) == server::Appending::ThroughFunctions) {
            // The server sums the day, numbers the report and anchors the chain.
            journal.runBeside(QStringLiteral("SELECT dorvanta_zakljuci(CAST(?1 AS date), ?2, ?3)"),
                              {day.toString(Qt::ISODate), closedBy,
                               now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))});
            const std::optional<DayClose> c = dayClose(journal, day);
            if (!c)
                throw EngineError(
                    EngineError::Kind::Refused,
                    QStringLiteral("Dan %1 nije zakljucen").arg(day.toString(DateShown)));
            return *c;
        }
        const DayBook book = dayBook(journal, day);
        DayClose c;
        c.day = day;
        c.number = int(nextSequence(journal, QStringLiteral("Z"), day.year()));
        c.closedBy = closedBy;
        c.closedAt = now;
        c.dinars = book.dinars;
        c.euros = book.euros;
        journal.runBeside(
            QStringLiteral("INSERT INTO dorvanta_zakljucak (DATUM, BROJ, KORISNIK, VREME, "
                           "PRETHODNODIN, ULAZDIN, IZLAZDIN, STANJEDIN, PRETHODNOEUR, ULAZEUR, "
                           "IZLAZEUR, STANJEEUR) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
                           "?10, ?11, ?12)"),
            {day.toString(Qt::ISODate), c.number, closedBy,
             now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), c.dinars.opening.hundredths(),
             c.dinars.in.hundredths(), c.dinars.out.hundredths(), c.dinars.closing().hundredths(),
             c.euros.opening.hundredths(), c.euros.in.hundredths(), c.euros.out.hundredths(),
             c.euros.closing().hundredths()});
        if (chain::hasCloseAnchors(journal)) {
            const chain::ChainHead h = chain::head(journal);
            journal.runBeside(QStringLiteral("UPDATE dorvanta_zakljucak SET GLAVA = ?1, ZAPISA = ?2 "
                                             "WHERE DATUM = ?3"),
                              {h.head.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(h.head)),
                               h.records, day.toString(Qt::ISODate)});
        }
        chain::log(journal, closedBy, QStringLiteral("ZAKLJUCAK"),
                   QStringLiteral("Zakljucen dan %1, izvestaj br. %2")
                       .arg(day.toString(Qt::ISODate))
                       .arg(c.number),
                   now);
        return c;
    });
}

DayClose closeDayAndBackUp(engine::Session &session, const QDate &day, const QString &closedBy,
                           const QDateTime &now, const QString &backupName, QString &backupError)
{
    DayClose close;
    try {
        engine::Table journal(session, QStringLiteral("podaci/promet.db"));
        journal.open();
        close = closeDay(journal, day, closedBy, now);
    } catch (...) {
        session.close();
        throw;
    }
    session.close();
    session.setPassword(tablePassword());
    try {
        backupJournal(session, backupName);
    } catch (const EngineError &e) {
        backupError = e.message();
    }
    return close;
}

QList<BookEntry> entries(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to)
{
    QString sql = QString::fromLatin1(EntryColumns);
    QVariantList params;
    if (from || to) {
        sql += QStringLiteral("WHERE p.DATUM BETWEEN ?1 AND ?2 ");
        params << (from ? from->toString(Qt::ISODate) : QStringLiteral("0001-01-01"))
               << (to ? to->toString(Qt::ISODate) : QStringLiteral("9999-12-31"));
    }
    sql += QStringLiteral("ORDER BY p.{id}");
    QList<BookEntry> out;
    for (const QVariantList &row : journal.runBeside(sql, params))
        out << entryOf(row);
    return out;
}

void scanEntries(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to,
                 const std::function<void(const engine::RecordView &)> &visit)
{
    // Pages of records after the last id seen: each a short walk of the journal's own order,
    // however far into the journal it starts.
    // The whole journal is read without a date condition: the comparison would be made for
    // every record.
    constexpr int Page = 20000;
    const bool everyDay = !from && !to;
    const QString condition =
        everyDay ? QString() : QStringLiteral("AND p.DATUM BETWEEN ?2 AND ?3 ");
    const QString order = QStringLiteral("ORDER BY p.{id} LIMIT %1").arg(Page);
    // The first page starts at the lowest id there is, itself included.
    const QString firstPage =
        QString::fromLatin1(EntryColumns) + QStringLiteral("WHERE p.{id} >= ?1 ") + condition + order;
    const QString nextPage =
        QString::fromLatin1(EntryColumns) + QStringLiteral("WHERE p.{id} > ?1 ") + condition + order;
    const QVariant first = from ? from->toString(Qt::ISODate) : QStringLiteral("0001-01-01");
    const QVariant last = to ? to->toString(Qt::ISODate) : QStringLiteral("9999-12-31");
    std::optional<qint64> after;
    for (;;) {
        int seen = 0;
        const QVariant start = after.value_or(std::numeric_limits<qint64>::min());
        const QVariantList params = everyDay ? QVariantList{start} : QVariantList{start, first, last};
        journal.scanBeside(after ? nextPage : firstPage, params, [&](const engine::RecordView &row) {
            after = row.integer(0);
            ++seen;
            visit(row);
        });
        if (seen < Page)
            return;
    }
}

std::optional<BookEntry> entry(engine::Table &journal, const QString &number)
{
    const QList<QVariantList> rows = journal.runBeside(
        QString::fromLatin1(EntryColumns) + QStringLiteral("WHERE d.BROJ = ?1"), {number});
    if (rows.isEmpty())
        return std::nullopt;
    return entryOf(rows.front());
}

QHash<qint64, DocumentMark> documentMarks(engine::Table &journal, const QList<qint64> &ids)
{
    QHash<qint64, DocumentMark> marks;
    if (ids.isEmpty())
        return marks;
    QStringList places;
    QVariantList params;
    for (const qint64 id : ids) {
        params << id;
        places << QStringLiteral("?%1").arg(params.size());
    }
    const QList<QVariantList> rows = journal.runBeside(
        // A subquery, not a join: SQLite then finds the reversal through STORNO's index.
        QStringLiteral("SELECT d.ID, d.BROJ, CASE WHEN EXISTS (SELECT 1 FROM dorvanta_dokument r "
                       "WHERE r.STORNO = d.BROJ) THEN 1 ELSE 0 END FROM dorvanta_dokument d "
                       "WHERE d.ID IN (%1)")
            .arg(places.join(QStringLiteral(", "))),
        params);
    for (const QVariantList &row : rows)
        marks.insert(row.value(0).toLongLong(),
                     {row.value(1).toString(), row.value(2).toLongLong() == 1});
    return marks;
}

QString reversalOf(engine::Table &journal, const QString &number)
{
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT BROJ FROM dorvanta_dokument WHERE STORNO = ?1"), {number});
    return rows.isEmpty() ? QString() : rows.front().value(0).toString();
}

} // namespace cashbook

} // namespace desk
