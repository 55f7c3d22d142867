// Making and tidying the cash book's tables. Every statement is in the SQL that SQLite and
// PostgreSQL share (see engine::Table::runBeside), so both stores run the same code.
#include "CashBookTables.h"
#include "AuditLog.h"
#include "CashBookSql.h"
#include "CashCount.h"
#include "Chain.h"
#include "DeskSettings.h"
#include "DeskTables.h"
#include "Rates.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QHash>

namespace desk::cashbook {

using engine::EngineError;
using namespace sql;

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

bool prepareDirectory(const QString &dir, const QString &password, QString *error)
{
    return inJournalOf(dir, [](engine::Table &journal) { prepare(journal); }, error, password);
}

void tidy(engine::Table &journal)
{
    inTransaction(journal, [&] {
        createTables(journal);
        tidyTables(journal);
        return 0;
    });
}

bool tidyDirectory(const QString &dir, const QString &password, QString *error)
{
    return inJournalOf(
        dir,
        [](engine::Table &journal) {
            tidy(journal);
            prepare(journal);
        },
        error, password);
}

} // namespace desk::cashbook
