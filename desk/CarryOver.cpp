// The cash book across a copy of the journal: keeping, carrying over, backing up.
#include "CarryOver.h"
#include "CashBookSql.h"
#include "CashBookTables.h"
#include "CashCount.h"
#include "Chain.h"
#include "DeskTables.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableStores.h"

#include <QFile>
#include <QHash>

#include <algorithm>

namespace desk::cashbook {

using engine::EngineError;
using namespace sql;

namespace {

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

} // namespace

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

} // namespace desk::cashbook
