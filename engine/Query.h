#pragma once

// engine::Query - a statement of the SQL dialect run into a read-only result.
//
// The statement is the lines of sql() joined by line breaks; open() parses it (SqlParser),
// checks its names against the table it names (opening that table with the session's
// password, see Session) and has the table's store run it (a file's SQLite or the server)
// with every literal bound as a parameter; rows come in the table's stored order. A statement
// of sums is read whole at opening. A statement of rows is read as the list of its rows' ids
// at opening, and the rows themselves when first asked for, a block of consecutive rows at a
// time from the table, which stays open while the query is; the record count is known at
// opening. A row deleted or changed in the table meanwhile so that it no longer matches reads
// as empty fields; a row that could not be read throws EngineError from textAt/moneyAt and
// the other readers of a row.
//
// The dialect: select * | select f1, f2 | select sum(f1), sum(f2) ... from <table path with "\"
// or "/"> [where <condition>], conditions with ( ), and, or, not, =, <>, <, <=, >, >=,
// between .. and .., like, is [not] null, upper(...); keywords and field names in any case;
// strings in single quotes with '' for one quote. A quoted date compared with a DATE field is
// read in month/day/year order ('12/07/2026' is 7 December 2026). like is case-sensitive with
// % (any run of characters) and _ (one character); wrap both sides in upper() to ignore case.
//
// Reading: columnText/fieldText give text as Table does (date text, money text, "" for empty);
// columnMoney/fieldMoney a money value (an empty sum reads 0).

#include "engine/FieldType.h"
#include "engine/Money.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace engine {

class Session;

class Query : public QObject
{
    Q_OBJECT
public:
    explicit Query(Session &session, QObject *parent = nullptr);
    ~Query() override;

    // The statement's lines. Changing them does not affect an open result.
    QStringList &sql();
    const QStringList &sql() const;
    // Accepted for the program's "live result" request; results are always read-only.
    void setRequestLive(bool live);

    // Parses and runs the statement. Opening an open query changes nothing. Throws EngineError
    // ("Syntax error at position 17: ...", "Unknown field 'xyz' in podaci\promet.db", ...).
    void open();
    void close();
    bool isOpen() const;

    // --- rows ---
    int recordCount() const;
    void first();
    void next();
    void prior();
    void last();
    bool eof() const;
    bool bof() const;
    int recNo() const;
    void moveTo(int row);

    // --- columns ---
    int fieldCount() const;
    // Column names: field names as stored; a sum is named "SUM(IZLAZEUR)".
    QStringList fieldNames() const;
    FieldType columnType(int index) const;
    // Index of the column of that name (case-insensitive); -1 when none.
    int fieldIndex(const QString &name) const;
    QString columnText(int index) const;
    Money columnMoney(int index) const;
    QString fieldText(const QString &name) const;
    Money fieldMoney(const QString &name) const;
    // Without moving (for grids).
    QString textAt(int row, int column) const;
    Money moneyAt(int row, int column) const;
    // The store's id of the record in `row` (as Table::recordId() gives it), so that a row of
    // the result can be told from an equal one; -1 for a row out of range and for a result of
    // sums.
    qint64 recordIdAt(int row) const;

signals:
    void opened();
    void closed();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace engine
