#pragma once

// The layout of a table file (its table name and fields in order) and the program's four
// standard tables. Also the operations on whole table files that the tools, the tests and the
// backup page need: creating an empty protected table, checking that a file is a table of a
// given layout that opens with a given password, and making a consistent copy of a table file.

#include "engine/FieldType.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace engine {

// An index kept in a table file to make a frequent statement cheap (it never changes results).
struct IndexDef
{
    QString name;
    QStringList fields;
};

class TableSchema
{
public:
    TableSchema() = default;
    TableSchema(QString name, QList<FieldDef> fields, QList<IndexDef> indexes = {});

    // The table name inside the file ("promet"); the file is named name + ".db".
    const QString &name() const { return m_name; }
    const QList<FieldDef> &fields() const { return m_fields; }
    const QList<IndexDef> &indexes() const { return m_indexes; }

    // korisnici: SIFRA TEXT, IMEIPREZIME TEXT
    static TableSchema korisnici();
    // aktivnost: AKTIVNOST TEXT
    static TableSchema aktivnost();
    // grupe: GRUPA TEXT
    static TableSchema grupe();
    // promet: KORISNIK TEXT, DATUM DATE, VREME TIME, OPIS TEXT, GRUPA TEXT, ULAZDIN, IZLAZDIN,
    // ULAZEUR, IZLAZEUR, STANJEDIN, STANJEEUR MONEY; with the index promet_amounts over the
    // four amount fields, so that the balance sums read the index instead of the whole table.
    static TableSchema promet();

    // Creates the table file at `filePath` (absolute or relative to the current directory):
    // one table named name() with the fields in order, and the password record for
    // `password`. Throws EngineError "Table already exists: <path>" when the file exists, and
    // EngineError on any other failure (nothing is left behind then).
    void createTable(const QString &filePath, const QString &password) const;

    // Checks that the file at `filePath` is a table file of this layout (same fields in the
    // same order with the same types; the table name is not compared, so a backup file
    // qualifies) that opens with `password`. Throws EngineError with the reason when it is not.
    void checkTableFile(const QString &filePath, const QString &password) const;

private:
    QString m_name;
    QList<FieldDef> m_fields;
    QList<IndexDef> m_indexes;
};

// Runs SQLite's integrity check on the table file at `filePath` in a connection of its own.
// Throws EngineError "<path> is damaged: <SQLite's first finding>" (or why it could not be
// read) unless the file is whole.
void checkTableIntegrity(const QString &filePath);

// Writes a consistent copy of the table file `sourcePath` to `targetPath` with SQLite's backup
// API (a table written meanwhile through the engine is copied either wholly before or wholly
// after that write). The copy goes to a temporary file in the target's folder which is then
// renamed over the target, so the target is always either the old or the new whole file. The
// copy is checked with checkTableIntegrity before the rename: a damaged table is never copied
// over the target. Throws EngineError naming the table when the source is missing, damaged, or
// the copy fails; the temporary file is then removed.
void copyTableFile(const QString &sourcePath, const QString &targetPath);

// Whether the table at `path` exists: the table file, or the table on the server when the
// folder's "baza.txt" names one (EngineError when the server is away).
bool tableExists(const QString &path);

// Removes the table at `path` (the file, or the table and its password record on the server).
void removeTable(const QString &path);

// Copies the table files `tableFiles` (of the program's four) to the server at `uri` in one
// transaction: every record in stored order, with its password record; a table missing on the
// server is created. Throws EngineError, and changes nothing, when a table on the server is not
// empty or has another layout.
void importTablesToServer(const QString &uri, const QStringList &tableFiles);

} // namespace engine
