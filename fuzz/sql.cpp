// The SQL dialect as a statement reaches it: the parser, then the generator for both stores
// against the journal's layout. Whatever the text, either an EngineError comes or the SQLite
// statement is well formed (SQLite prepares it) and has exactly one placeholder per bound
// value, so no literal ever became part of the SQL text.

#include "FuzzSupport.h"

#include "desk/DeskTables.h"
#include "engine/EngineError.h"
#include "engine/SqlGenerator.h"
#include "engine/SqlParser.h"
#include "engine/TableStore.h"
#include "engine/TableStores.h"

#include <sqlite3.h>

#include <memory>

namespace {

void noFunction(sqlite3_context *context, int, sqlite3_value **)
{
    sqlite3_result_null(context);
}

struct Journal
{
    std::unique_ptr<engine::TableStore> store;
    sqlite3 *db = nullptr;

    Journal()
    {
        const QString path = fuzz::workDir() + QStringLiteral("/promet.db");
        engine::createTableStore(path, desk::promet(), desk::tablePassword());
        store = engine::openTableStore(path, QStringLiteral("podaci\\promet.db"));
        // A connection of its own: generated statements are only prepared, never run.
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_create_function_v2(db, "dorvanta_upper", 1, SQLITE_UTF8, nullptr, noFunction,
                                   nullptr, nullptr, nullptr);
        for (int args : {2, 3})
            sqlite3_create_function_v2(db, "dorvanta_like", args, SQLITE_UTF8, nullptr,
                                       noFunction, nullptr, nullptr, nullptr);
    }
};

void prepares(sqlite3 *db, const QString &sql, int parameters)
{
    if (sql.isEmpty())
        return;
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()),
                                      &statement, &tail);
    fuzz::check(rc == SQLITE_OK, "generated SQL does not prepare:",
                sql + QStringLiteral(" -- ") + QString::fromUtf8(sqlite3_errmsg(db)));
    fuzz::check(tail && *tail == '\0', "generated SQL holds more than one statement:", sql);
    const int count = sqlite3_bind_parameter_count(statement);
    sqlite3_finalize(statement);
    fuzz::check(parameters < 0 || count <= parameters, "placeholders beyond the bound values:", sql);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Journal journal;
    const QString statement = fuzz::text(data, size);
    engine::SqlSelect select;
    try {
        select = engine::SqlParser::parse(statement);
    } catch (const engine::EngineError &) {
        return 0;
    }
    for (const auto dialect : {engine::SqlDialect::Sqlite, engine::SqlDialect::Postgres}) {
        engine::GeneratedSql generated;
        try {
            generated = engine::SqlGenerator::generate(select, *journal.store, dialect);
        } catch (const engine::EngineError &) {
            continue;
        }
        if (dialect != engine::SqlDialect::Sqlite)
            continue;
        const int bound = static_cast<int>(generated.parameters.size());
        prepares(journal.db, generated.sql, bound);
        prepares(journal.db, generated.idsSql, bound);
        prepares(journal.db, generated.rangeSql, bound + 2);
    }
    return 0;
}
