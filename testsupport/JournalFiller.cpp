// JournalFiller: deterministic for a given seed. Dates advance evenly from the first to the
// last day; amounts are whole-para values up to 50,000 dinars or 2,000 euros; one posting in
// four is in euros, one in three is money in.

#include "testsupport/JournalFiller.h"

#include "desk/DataDirectory.h"
#include "desk/DeskTables.h"

#include "desk/CashBook.h"
#include "desk/JournalChain.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TextForms.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <sqlite3.h>

namespace testsupport {

namespace {

const char *const activities[] = {"Uplata pazara", "Kupovina goriva", "Placanje racuna za struju",
                                  "Kancelarijski materijal", "Zamena valute", "Dnevnica",
                                  "Popravka vozila", "Kafa i sokovi za goste"};
const char *const groups[] = {"Pazar", "Gorivo", "Racuni", "Kancelarija", "Putni troskovi",
                              "Ostalo"};

} // namespace

QString JournalFiller::cashierName(int i)
{
    static const char *const names[] = {"Petar Petrovic", "Marko Markovic", "Jovana Jovanovic",
                                        "Ana Nikolic",    "Milan Ilic",     "Dragana Stojanovic"};
    const int n = int(std::size(names));
    return i < n ? QString::fromLatin1(names[i])
                 : QStringLiteral("%1 %2").arg(QLatin1String(names[i % n])).arg(i / n + 1);
}

QString JournalFiller::cashierCode(int i)
{
    return QString::number(101 + i);
}

QString JournalFiller::fill(const FillOptions &options)
{
    const QString password = desk::tablePassword();
    const QDir root(options.directory);
    if (!QDir().mkpath(root.filePath(QStringLiteral("podaci"))))
        return QStringLiteral("cannot create %1/podaci").arg(options.directory);
    const QString journalPath = root.filePath(QStringLiteral("podaci/promet.db"));
    bool fresh = true;

    // A fresh directory is made whole, as dorvanta-init makes it (the four tables, Admin with
    // code 12345, ftpop.txt), and then gets the cashiers, activities and groups used below.
    if (desk::DataDirectory::existingTables(options.directory).isEmpty()) {
        desk::InitOptions init;
        init.directory = options.directory;
        const QString error = desk::DataDirectory::create(init);
        if (!error.isEmpty())
            return error;
    } else {
        fresh = false;
    }

    try {
        engine::Session session;
        session.setBaseDir(root.absolutePath());
        session.setPassword(password);
        session.setDurableWrites(false);
        if (fresh) {
            engine::Table users(session, QStringLiteral("podaci/korisnici.db"));
            users.open();
            for (int i = 0; i < options.cashiers; ++i) {
                users.insert();
                users.setFieldText(QStringLiteral("SIFRA"), cashierCode(i));
                users.setFieldText(QStringLiteral("IMEIPREZIME"), cashierName(i));
                users.post();
            }
            users.close();
            QStringList list;
            for (const char *a : activities)
                list << QString::fromLatin1(a);
            desk::DataDirectory::addRecords(session, QStringLiteral("aktivnost.db"), QStringLiteral("AKTIVNOST"), list);
            list.clear();
            for (const char *g : groups)
                list << QString::fromLatin1(g);
            desk::DataDirectory::addRecords(session, QStringLiteral("grupe.db"), QStringLiteral("GRUPA"), list);
        }
        session.close();
        // Checks the journal's layout and password before writing to it directly.
        desk::promet().checkTableFile(journalPath, password);
    } catch (const engine::EngineError &e) {
        return e.message();
    }

    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(journalPath).constData(), &db, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("cannot open %1").arg(journalPath);
    }
    auto fail = [&]() {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return reason;
    };
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail();

    // Continue the running balances of whatever the journal holds already.
    qint64 dinars = 0;
    qint64 euros = 0;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT TOTAL(ULAZDIN) - TOTAL(IZLAZDIN), TOTAL(ULAZEUR) - TOTAL(IZLAZEUR) "
                           "FROM promet",
                           -1, &stmt, nullptr) != SQLITE_OK)
        return fail();
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        dinars = sqlite3_column_int64(stmt, 0);
        euros = sqlite3_column_int64(stmt, 1);
    }
    sqlite3_finalize(stmt);

    if (sqlite3_prepare_v2(db,
                           "INSERT INTO promet (KORISNIK, DATUM, VREME, OPIS, GRUPA, ULAZDIN, "
                           "IZLAZDIN, ULAZEUR, IZLAZEUR, STANJEDIN, STANJEEUR) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                           -1, &stmt, nullptr) != SQLITE_OK)
        return fail();

    QRandomGenerator random(options.seed);
    const qint64 days = std::max<qint64>(1, options.firstDay.daysTo(options.lastDay) + 1);
    for (int i = 0; i < options.postings; ++i) {
        const QDate day = options.firstDay.addDays(qint64(i) * days / std::max(1, options.postings));
        const QTime time(8 + int(random.bounded(12)), int(random.bounded(60)), int(random.bounded(60)));
        const bool euro = random.bounded(4) == 0;
        const bool in = random.bounded(3) == 0;
        const qint64 amount = 1 + qint64(random.bounded(euro ? 200000 : 5000000));
        qint64 fields[4] = {0, 0, 0, 0}; // ULAZDIN, IZLAZDIN, ULAZEUR, IZLAZEUR
        fields[(euro ? 2 : 0) + (in ? 0 : 1)] = amount;
        (euro ? euros : dinars) += in ? amount : -amount;

        const QByteArray cashier = cashierName(int(random.bounded(std::max(1, options.cashiers)))).toUtf8();
        const QByteArray date = engine::dateToIso(day).toUtf8();
        const QByteArray timeText = engine::timeText(time).toUtf8();
        const int activity = int(random.bounded(int(std::size(activities))));
        const QByteArray description =
            random.bounded(3) == 0 ? QByteArray(activities[activity]) + " br. " + QByteArray::number(i)
                                   : QByteArray(activities[activity]);
        const QByteArray group = groups[random.bounded(int(std::size(groups)))];
        sqlite3_bind_text(stmt, 1, cashier.constData(), int(cashier.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 3, timeText.constData(), int(timeText.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 4, description.constData(), int(description.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 5, group.constData(), int(group.size()), SQLITE_TRANSIENT);
        for (int f = 0; f < 4; ++f)
            sqlite3_bind_int64(stmt, 6 + f, fields[f]);
        sqlite3_bind_int64(stmt, 10, dinars);
        sqlite3_bind_int64(stmt, 11, euros);
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            sqlite3_finalize(stmt);
            return fail();
        }
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail();
    sqlite3_close(db);
    // The document numbers, as the program gives an older journal at its first start, and
    // the chain: begun over the whole journal at a first start, continued over the records
    // added otherwise.
    QString error;
    if (!desk::cashbook::prepareDirectory(options.directory, desk::tablePassword(), &error) ||
        !desk::chain::chainAppended(options.directory, desk::tablePassword(),
                                    QStringLiteral("PUNJENJE"),
                                    QStringLiteral("Dodato %1 zapisa alatom za punjenje"), &error))
        return error;
    return {};
}

} // namespace testsupport
