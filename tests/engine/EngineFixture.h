#pragma once

// A fresh data directory per test: podaci/ with the four standard tables protected by the
// table password, and a session whose base directory is that data directory's parent and whose
// short date form is "dd/MM/yyyy".

#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableSchema.h"

#include <QDir>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

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

class EngineFixture : public ::testing::Test
{
protected:
    static QString password() { return QStringLiteral("kvr604"); }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("podaci"));
        for (const engine::TableSchema &schema :
             {engine::TableSchema::korisnici(), engine::TableSchema::aktivnost(),
              engine::TableSchema::promet(), engine::TableSchema::grupe()})
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
        session.setPassword(password());
        engine::Table t(session, QStringLiteral("podaci/promet.db"));
        t.open();
        t.insert();
        t.setFieldText(QStringLiteral("KORISNIK"), row.korisnik);
        t.setFieldText(QStringLiteral("DATUM"), row.datum);
        t.setFieldText(QStringLiteral("VREME"), QStringLiteral("10:00:00"));
        t.setFieldText(QStringLiteral("OPIS"), row.opis);
        t.setFieldText(QStringLiteral("GRUPA"), row.grupa);
        t.setFieldText(QStringLiteral("ULAZDIN"), row.ulazDin);
        t.setFieldText(QStringLiteral("IZLAZDIN"), row.izlazDin);
        t.setFieldText(QStringLiteral("ULAZEUR"), row.ulazEur);
        t.setFieldText(QStringLiteral("IZLAZEUR"), row.izlazEur);
        t.post();
        t.close();
    }

    QTemporaryDir dir;
    engine::Session session;
};
