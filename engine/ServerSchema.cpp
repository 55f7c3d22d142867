// ServerSchema: the server's table layouts as statements.

#include "engine/ServerSchema.h"

#include "engine/EngineError.h"
#include "engine/ServerConnection.h"
#include "engine/TableStore.h"

namespace engine {

namespace {

// The triggers that keep a table's row of dorvanta_broj: every statement that adds or removes
// records changes the count by as many, in the same transaction.
const char *const KeptCountTriggers[][2] = {
    {"dorvanta_broj_dodaj", "AFTER INSERT ON %1 REFERENCING NEW TABLE AS nova"},
    {"dorvanta_broj_brisi", "AFTER DELETE ON %1 REFERENCING OLD TABLE AS stara"},
    {"dorvanta_broj_prazni", "AFTER TRUNCATE ON %1"},
};

} // namespace

// An advisory lock keyed by the table's name (FNV-1a, the same on every desk).
QString serverWriteLock(const QString &table)
{
    quint64 h = 14695981039346656037ull;
    for (const char c : (QByteArrayLiteral("dorvanta:") + table.toUtf8())) {
        h ^= quint8(c);
        h *= 1099511628211ull;
    }
    return QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(qint64(h));
}

// The keys of stored postings: a posting's random key is stored in its transaction, so that
// a desk that lost the answer to its COMMIT can ask whether it was stored.
QString serverKeyTableStatement()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS dorvanta_kljuc (kljuc uuid PRIMARY KEY)");
}

QStringList keptCountStatements(const QString &name)
{
    const QString table = server::quote(name);
    QString literal = name;
    literal.replace(QLatin1Char('\''), QLatin1String("''"));
    QStringList out{
        QStringLiteral("CREATE TABLE IF NOT EXISTS dorvanta_broj (tabela text PRIMARY KEY, "
                       "zapisa bigint NOT NULL)"),
        // No record comes or goes between the count and the triggers.
        QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(table),
        // Made once, by whoever makes the first table. It runs with its owner's rights, so
        // that a role which may add records (a desk) need not, and may not, write the counts.
        QStringLiteral("DO $d$ BEGIN IF to_regproc('dorvanta_broj_menja') IS NULL THEN "
                       "CREATE FUNCTION dorvanta_broj_menja() RETURNS trigger LANGUAGE plpgsql "
                       "SECURITY DEFINER SET search_path = public, pg_temp AS $f$ "
                       "BEGIN "
                       "IF TG_OP = 'INSERT' THEN UPDATE dorvanta_broj SET zapisa = zapisa + "
                       "(SELECT count(*) FROM nova) WHERE tabela = TG_TABLE_NAME; "
                       "ELSIF TG_OP = 'DELETE' THEN UPDATE dorvanta_broj SET zapisa = zapisa - "
                       "(SELECT count(*) FROM stara) WHERE tabela = TG_TABLE_NAME; "
                       "ELSE UPDATE dorvanta_broj SET zapisa = 0 WHERE tabela = TG_TABLE_NAME; "
                       "END IF; RETURN NULL; END $f$; END IF; END $d$"),
    };
    for (const auto &trigger : KeptCountTriggers) {
        const QString triggerName = QString::fromLatin1(trigger[0]);
        out << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(triggerName, table)
            << QStringLiteral("CREATE TRIGGER %1 %2 FOR EACH STATEMENT EXECUTE FUNCTION "
                              "dorvanta_broj_menja()")
                   .arg(triggerName, QString::fromLatin1(trigger[1]).arg(table));
    }
    out << QStringLiteral("INSERT INTO dorvanta_broj (tabela, zapisa) SELECT '%1', count(*) FROM "
                          "%2 ON CONFLICT (tabela) DO UPDATE SET zapisa = excluded.zapisa")
               .arg(literal, table);
    return out;
}

namespace server {

QString quote(const QString &name)
{
    return quoteIdentifier(name.toLower());
}

QString columnType(FieldType type)
{
    switch (type) {
    case FieldType::Date:
        return QStringLiteral("date");
    case FieldType::Time:
        return QStringLiteral("time");
    case FieldType::Money:
        return QStringLiteral("bigint");
    case FieldType::Text:
        break;
    }
    return QStringLiteral("text");
}

FieldType fieldTypeOfColumn(const QString &dataType)
{
    if (dataType == QLatin1String("date"))
        return FieldType::Date;
    if (dataType.startsWith(QLatin1String("time")) &&
        !dataType.startsWith(QLatin1String("timestamp")))
        return FieldType::Time;
    if (dataType == QLatin1String("bigint"))
        return FieldType::Money;
    return FieldType::Text;
}

QStringList keptCountTriggerLiterals()
{
    QStringList triggers;
    for (const auto &trigger : KeptCountTriggers)
        triggers << QStringLiteral("'%1'").arg(QLatin1String(trigger[0]));
    return triggers;
}

void createServerTableIn(Connection &conn, const QString &displayPath, const TableSchema &schema,
                         const PasswordRecord &password)
{
    const QString context = QStringLiteral("Cannot create table");
    const QString name = schema.name().toLower();
    conn.run(
        QStringLiteral("CREATE TABLE IF NOT EXISTS dorvanta_password (tabela text PRIMARY KEY, "
                       "salt bytea NOT NULL, hash bytea NOT NULL)"),
        context, displayPath);
    conn.run(serverKeyTableStatement(), context, displayPath);
    if (conn.exists(name, context, displayPath))
        throw EngineError(EngineError::Kind::AlreadyExists,
                          QStringLiteral("Table already exists: %1").arg(displayPath));
    for (const QString &statement : createTableStatements(
             schema, quote, columnType, QStringLiteral("id bigserial PRIMARY KEY")))
        conn.run(statement, context, displayPath);
    for (const QString &statement : keptCountStatements(name))
        conn.run(statement, context, displayPath);
    Params record;
    record.add(Cell::fromText(name));
    record.add(Cell::fromText(QString::fromLatin1(password.salt().toHex())));
    record.add(Cell::fromText(QString::fromLatin1(password.hash().toHex())));
    conn.run(QStringLiteral("INSERT INTO dorvanta_password (tabela, salt, hash) VALUES "
                            "($1, decode($2, 'hex'), decode($3, 'hex')) ON CONFLICT (tabela) DO "
                            "UPDATE SET salt = excluded.salt, hash = excluded.hash"),
             record, context, displayPath);
}

} // namespace server

} // namespace engine
