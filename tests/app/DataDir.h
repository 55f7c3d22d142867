#pragma once

// A data directory made fresh for one window test: a temporary start directory holding
// podaci/ with the four empty tables (made as the program makes them, DataDirectory), made
// current for the test's lifetime, with helpers to add users, activities, groups and journal
// records through the engine.

#include "testsupport/FileSizeLimit.h"

#include "desk/DataDirectory.h"
#include "desk/DeskTables.h"
#include "engine/Session.h"
#include "engine/Table.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

class DataDir
{
public:
    DataDir() : previous(QDir::currentPath())
    {
        if (const QString error = desk::DataDirectory::createTables(dir.path());
            !error.isEmpty())
            qFatal("cannot make the data directory: %s", qPrintable(error));
        QDir::setCurrent(dir.path());
        session.setBaseDir(dir.path());
        session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    }
    ~DataDir()
    {
        session.close();
        QDir::setCurrent(previous);
    }

    static QString password() { return desk::tablePassword(); }
    QString path() const { return dir.path(); }
    QString file(const QString &relative) const { return dir.filePath(relative); }

    void addRecord(const QString &table, const QStringList &fieldsAndValues)
    {
        session.setPassword(password());
        engine::Table t(session, QStringLiteral("podaci/") + table + ".db");
        t.open();
        t.insert();
        for (int i = 0; i + 1 < fieldsAndValues.size(); i += 2)
            t.setFieldText(fieldsAndValues.at(i), fieldsAndValues.at(i + 1));
        t.post();
        t.close();
        session.close();
    }
    void addUser(const QString &code, const QString &name)
    {
        addRecord(QStringLiteral("korisnici"), {"SIFRA", code, "IMEIPREZIME", name});
    }
    void addActivity(const QString &text) { addRecord("aktivnost", {"AKTIVNOST", text}); }
    void addGroup(const QString &text) { addRecord("grupe", {"GRUPA", text}); }
    void addPosting(const QString &user, const QString &date, const QString &ulazDin,
                    const QString &izlazDin, const QString &ulazEur, const QString &izlazEur,
                    const QString &opis = QStringLiteral("opis"),
                    const QString &grupa = QStringLiteral("grupa"))
    {
        addRecord("promet", {"KORISNIK", user, "DATUM", date, "VREME", "10:00:00", "OPIS", opis,
                             "GRUPA", grupa, "ULAZDIN", ulazDin, "IZLAZDIN", izlazDin,
                             "ULAZEUR", ulazEur, "IZLAZEUR", izlazEur});
    }

    // Every record of a table, each as its fields' texts in table order, read through the
    // window's session (which is closed afterwards) or through `reader`.
    QList<QStringList> records(const QString &table) { return records(table, session); }
    QList<QStringList> records(const QString &table, engine::Session &reader)
    {
        reader.setPassword(password());
        QList<QStringList> out;
        {
            engine::Table t(reader, QStringLiteral("podaci/") + table + ".db");
            t.open();
            for (t.first(); !t.eof(); t.next()) {
                QStringList row;
                for (int i = 0; i < t.fieldCount(); ++i)
                    row.append(t.fieldText(i));
                out.append(row);
            }
            t.close();
        }
        reader.close();
        return out;
    }

    QByteArray readFile(const QString &relative) const
    {
        QFile f(file(relative));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll();
    }

    // The session the window under test uses.
    engine::Session session;

private:
    QTemporaryDir dir;
    QString previous;
};

