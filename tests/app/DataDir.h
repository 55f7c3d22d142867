#pragma once

// A data directory made fresh for one window test: a temporary start directory holding
// podaci/ with the four empty tables (made as the program makes them, DataDirectory) and the
// FTP option file with the upload off ("0"), as the first start leaves it, made
// current for the test's lifetime, with helpers that read and change its tables through a
// session of their own (as another program would, leaving the window's session alone) and
// write its files.

#include "testsupport/FileSizeLimit.h"

#include "desk/DataDirectory.h"
#include "desk/DeskTables.h"
#include "engine/Session.h"
#include "engine/Table.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/stat.h>

class DataDir
{
public:
    DataDir() : previous(QDir::currentPath())
    {
        if (const QString error = desk::DataDirectory::createTables(dir.path());
            !error.isEmpty())
            qFatal("cannot make the data directory: %s", qPrintable(error));
        if (!writeFile(QStringLiteral("podaci/ftpop.txt"), "0\r\n"))
            qFatal("cannot write the FTP option file");
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

    // Runs `change` on podaci/<table>.db, opened in a session of its own that is closed after.
    template <typename Change> void withTable(const QString &table, Change &&change) const
    {
        engine::Session own;
        own.setBaseDir(dir.path());
        own.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        own.setDurableWrites(false);
        own.setPassword(password());
        engine::Table t(own, QStringLiteral("podaci/") + table + ".db");
        t.open();
        change(t);
        t.close();
    }
    void addRecord(const QString &table, const QStringList &fieldsAndValues) const
    {
        withTable(table, [&](engine::Table &t) {
            t.insert();
            for (int i = 0; i + 1 < fieldsAndValues.size(); i += 2)
                t.setFieldText(fieldsAndValues.at(i), fieldsAndValues.at(i + 1));
            t.post();
        });
    }
    void addUser(const QString &code, const QString &name) const
    {
        addRecord(QStringLiteral("korisnici"), {"SIFRA", code, "IMEIPREZIME", name});
    }
    void addActivity(const QString &text) const { addRecord("aktivnost", {"AKTIVNOST", text}); }
    void addGroup(const QString &text) const { addRecord("grupe", {"GRUPA", text}); }
    void addPosting(const QString &user, const QString &date, const QString &ulazDin,
                    const QString &izlazDin, const QString &ulazEur, const QString &izlazEur,
                    const QString &opis = QStringLiteral("opis"),
                    const QString &grupa = QStringLiteral("grupa")) const
    {
        addRecord("promet", {"KORISNIK", user, "DATUM", date, "VREME", "10:00:00", "OPIS", opis,
                             "GRUPA", grupa, "ULAZDIN", ulazDin, "IZLAZDIN", izlazDin,
                             "ULAZEUR", ulazEur, "IZLAZEUR", izlazEur});
    }

    // Every record of a table as stored, each as its fields' texts in table order.
    QList<QStringList> records(const QString &table) const
    {
        QList<QStringList> out;
        withTable(table, [&](engine::Table &t) {
            for (t.first(); !t.eof(); t.next()) {
                QStringList row;
                for (int i = 0; i < t.fieldCount(); ++i)
                    row.append(t.fieldText(i));
                out.append(row);
            }
        });
        return out;
    }

    QByteArray readFile(const QString &relative) const
    {
        QFile f(file(relative));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll();
    }
    // Writes the whole file; false when it could not.
    bool writeFile(const QString &relative, const QByteArray &bytes) const
    {
        QFile f(file(relative));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }
    // The file's permission bits (0600 for owner-only), -1 when it is missing.
    int mode(const QString &relative) const
    {
        struct stat st{};
        if (::stat(QFile::encodeName(file(relative)).constData(), &st) != 0)
            return -1;
        return int(st.st_mode & 0777);
    }

    // The session the window under test uses.
    engine::Session session;

private:
    QTemporaryDir dir;
    QString previous;
};
