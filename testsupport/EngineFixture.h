#pragma once

// A fresh data directory per test: podaci/ with the four standard tables protected by the
// table password, and a session whose base directory is that data directory's parent and whose
// short date form is "dd/MM/yyyy". A suite over both stores derives from StoreFixture: its
// "server" instance keeps the tables on the test binary's own PostgreSQL cluster (podaci/baza.txt
// names it; the tables are dropped and made again for every test).

#include "QtPrinters.h"

#include "desk/DeskTables.h"
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/AtomicFile.h"
#include "testsupport/PgCluster.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <functional>

struct JournalRow
{
    QString korisnik;
    QString datum; // date text dd/MM/yyyy
    QString opis;
    QString grupa;
    QString ulazDin = QStringLiteral("0.00");
    QString izlazDin = QStringLiteral("0.00");
    QString ulazEur = QStringLiteral("0.00");
    QString izlazEur = QStringLiteral("0.00");
};

// A table of the session, opened at once with the table password.
struct OpenTable : engine::Table
{
    OpenTable(engine::Session &session, const QString &path) : engine::Table(session, path)
    {
        session.setPassword(desk::tablePassword());
        open();
    }
};

class EngineFixture : public ::testing::Test
{
protected:
    static QString password() { return desk::tablePassword(); }

    // Whether the tables are on the server (see StoreFixture).
    virtual bool onServer() const { return false; }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        desk::placeTablesOnServer();
        QDir(dir.path()).mkpath(QStringLiteral("podaci"));
        if (onServer()) {
            PgCluster &cluster = PgCluster::shared();
            ASSERT_TRUE(cluster.ok()) << cluster.error().toStdString();
            ASSERT_EQ(cluster.reset(), QString());
            ASSERT_TRUE(platform::writeFileAtomically(dataFile(QStringLiteral("baza.txt")),
                                                      cluster.uri().toUtf8() + "\n"));
        }
        for (const engine::TableSchema &schema : desk::tableSchemas())
            schema.createTable(dataFile(schema.name() + QStringLiteral(".db")), password());
        session.setBaseDir(dir.path());
        session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        session.setDurableWrites(false);
    }

    QString dataFile(const QString &name) const
    {
        return dir.path() + QStringLiteral("/podaci/") + name;
    }

    void post(const JournalRow &row)
    {
        OpenTable t(session, QStringLiteral("podaci/promet.db"));
        const std::pair<const char *, QString> fields[] = {
            {"KORISNIK", row.korisnik}, {"DATUM", row.datum}, {"VREME", QStringLiteral("10:00:00")},
            {"OPIS", row.opis}, {"GRUPA", row.grupa}, {"ULAZDIN", row.ulazDin},
            {"IZLAZDIN", row.izlazDin}, {"ULAZEUR", row.ulazEur}, {"IZLAZEUR", row.izlazEur}};
        t.insert();
        for (const auto &[field, text] : fields)
            t.setFieldText(QLatin1String(field), text);
        t.post();
        t.close();
    }

    QTemporaryDir dir;
    engine::Session session;
};

// The message of the engine error an action throws, or "(no error)".
inline QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

// Gives `query` the statement `text` alone and opens it.
inline void reopen(engine::Query &query, const QString &text)
{
    query.close();
    query.sql().clear();
    query.sql().append(text);
    query.open();
}

// Runs one SQL statement on a file directly and returns the first column of each row.
inline QStringList rawQuery(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    QStringList values;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        values << QStringLiteral("%1:%2")
                      .arg(sqlite3_column_type(stmt, 0) == SQLITE_INTEGER ? "int" : "text")
                      .arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return values;
}

enum class Store { File, Server };

inline std::string storeName(const ::testing::TestParamInfo<Store> &info)
{
    return info.param == Store::Server ? "server" : "file";
}

// The same tests over the SQLite table files and over the server.
#define INSTANTIATE_STORES(Suite)                                                                  \
    INSTANTIATE_TEST_SUITE_P(Stores, Suite, ::testing::Values(Store::File, Store::Server), storeName)

class StoreFixture : public EngineFixture, public ::testing::WithParamInterface<Store>
{
protected:
    bool onServer() const override { return GetParam() == Store::Server; }
};
