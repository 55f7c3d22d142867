#pragma once

// The layout of a table (its name and fields in order, and the indexes kept with it), and the
// two operations callers need on a whole table of a layout: creating an empty protected table,
// and checking that a stored table has the layout and opens with a given password. Which
// tables a program has, and their layouts, are the program's (the cash desk's: desk/).

#include "engine/FieldType.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace engine {

// An index kept with a table to make a frequent statement cheap (it never changes results).
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

    // The table name ("promet"); its file is named name + ".db".
    const QString &name() const { return m_name; }
    const QList<FieldDef> &fields() const { return m_fields; }
    const QList<IndexDef> &indexes() const { return m_indexes; }

    // Creates the table at `filePath` (absolute or relative to the current directory; on the
    // server when the folder's baza.txt names one, see TableStores.h): one table named name()
    // with the fields in order, its indexes, and the password record for `password`. Throws
    // EngineError "Table already exists: <path>" when it exists, and EngineError on any other
    // failure (nothing is left behind then).
    void createTable(const QString &filePath, const QString &password) const;

    // Checks that the table at `filePath` has this layout (same fields in the same order with
    // the same types; the table name is not compared, so a backup file qualifies) and opens
    // with `password`. Throws EngineError with the reason when it does not.
    void checkTableFile(const QString &filePath, const QString &password) const;

private:
    QString m_name;
    QList<FieldDef> m_fields;
    QList<IndexDef> m_indexes;
};

} // namespace engine
