#pragma once

// SqlGenerator: the third piece of the SQL dialect. Turns a parsed statement into the SQL of
// the store of the table it names (SQLite's or PostgreSQL's, SqlDialect), checking every
// field name against the table (without regard to case) and binding every literal as a
// parameter, so no value ever becomes part of the SQL text. Literals are converted for the field they meet:
//   DATE field  'm/d/yyyy' (or ISO 'yyyy-mm-dd') becomes the stored ISO date
//   MONEY field amount text or a number becomes integer hundredths
//   TIME field  "H:mm:ss" becomes the stored "HH:MM:SS"
//   otherwise   the text as written
// For SQLite, LIKE becomes dorvanta_like(pattern, value[, escape]) and UPPER dorvanta_upper(x)
// (the functions TableFile registers); for PostgreSQL, LIKE ... ESCAPE '' (or the statement's
// escape character) and upper(x).
// Rows of "select *" and of a field list come in table order (the rowid's or the server's id),
// each with that id in a last column of its own (SqlResultColumn::recordId).
// Throws EngineError "Unknown field 'xyz' in podaci\promet.db", "'13/45/2026' is not a valid
// date", "Cannot sum the field 'OPIS' in ..." and the like.

#include "engine/Cell.h"
#include "engine/FieldType.h"
#include "engine/SqlParser.h"

#include <QString>

#include <vector>

namespace engine {

class TableStore;

struct SqlResultColumn
{
    QString name; // the field's stored name, or "SUM(FIELD)"
    FieldType type = FieldType::Text;
    // The last column of a select of fields: the store's id of the row (its rowid, the
    // server's id), read as an integer; the query keeps it apart from the fields.
    bool recordId = false;
};

// The SQL a statement is written in: SQLite for a table file, PostgreSQL for a table on the
// database server (lower-case names, $n parameters, rows in the order of the hidden id,
// upper() and LIKE with no escape character unless the statement names one; sums come as exact numerics).
enum class SqlDialect { Sqlite, Postgres };

struct GeneratedSql
{
    QString sql;
    std::vector<Cell> parameters; // parameters[i] is ?(i+1) in the text
    std::vector<SqlResultColumn> columns;
    // For a statement of rows (not sums), the same rows read in parts by their stored ids:
    // `idsSql` gives the id of every row in order; `rangeSql` gives the rows as `sql` does (the
    // id last) whose ids lie from parameter (parameters.size() + 1) to (parameters.size() + 2).
    // Empty for a statement of sums.
    QString idsSql;
    QString rangeSql;
};

class SqlGenerator
{
public:
    static GeneratedSql generate(const SqlSelect &select, const TableStore &table,
                                 SqlDialect dialect = SqlDialect::Sqlite);
};

} // namespace engine
