// ServerRoles: the role set-up in one transaction over a bounded connection (ServerLink).

#include "engine/ServerRoles.h"

#include "engine/EngineError.h"
#include "engine/ServerLink.h"
#include "engine/ServerTable.h"

#include <libpq-fe.h>

#include <memory>

namespace engine {

namespace {

using Conn = std::unique_ptr<PGconn, decltype(&PQfinish)>;

QString quoted(PGconn *conn, const QString &text, bool identifier)
{
    const QByteArray utf8 = text.toUtf8();
    char *q = identifier ? PQescapeIdentifier(conn, utf8.constData(), size_t(utf8.size()))
                         : PQescapeLiteral(conn, utf8.constData(), size_t(utf8.size()));
    if (!q)
        throw EngineError(QStringLiteral("Cannot set up the roles: %1")
                              .arg(QString::fromUtf8(PQerrorMessage(conn)).trimmed()));
    const QString out = QString::fromUtf8(q);
    PQfreemem(q);
    return out;
}

// Runs `sql` (no parameters); the first cell of its result. Throws with the server's reason.
QString run(PGconn *conn, const QString &sql, const QString &uri)
{
    PGresult *r = nullptr;
    const auto outcome = serverlink::exec(conn, sql.toUtf8(), 0, nullptr,
                                          serverlink::defaultAnswerSeconds, &r);
    const auto status = PQresultStatus(r);
    QString out;
    if (outcome == serverlink::Outcome::Answered &&
        (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)) {
        if (PQntuples(r) > 0)
            out = QString::fromUtf8(PQgetvalue(r, 0, 0));
        PQclear(r);
        return out;
    }
    const QString reason = outcome == serverlink::Outcome::TimedOut
                               ? QStringLiteral("server ne odgovara")
                               : QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(conn))
                                     .simplified();
    PQclear(r);
    throw EngineError(QStringLiteral("Cannot set up the roles on %1: %2")
                          .arg(serverlink::withoutPassword(uri), reason));
}

// CREATE or ALTER ROLE with the password as a SCRAM verifier.
void setRole(PGconn *conn, const ServerRole &role, const QString &uri)
{
    char *verifier = PQencryptPasswordConn(conn, role.password.toUtf8().constData(),
                                           role.name.toUtf8().constData(), "scram-sha-256");
    if (!verifier)
        throw EngineError(QStringLiteral("Cannot set up the roles: %1")
                              .arg(QString::fromUtf8(PQerrorMessage(conn)).trimmed()));
    const QString secret = quoted(conn, QString::fromUtf8(verifier), false);
    PQfreemem(verifier);
    const QString name = quoted(conn, role.name, true);
    const bool exists = run(conn, QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = %1")
                                      .arg(quoted(conn, role.name, false)),
                            uri) != QStringLiteral("0");
    run(conn, QStringLiteral("%1 ROLE %2 LOGIN PASSWORD %3")
                  .arg(exists ? QStringLiteral("ALTER") : QStringLiteral("CREATE"), name, secret),
        uri);
}

} // namespace

void setUpServerRoles(const QString &uri, const ServerRole &admin, const ServerRole &desk,
                      const QList<ServerGrant> &grants, const QStringList &thenRun)
{
    QString reason;
    Conn conn(serverlink::connect(uri, serverlink::defaultAnswerSeconds, &reason), &PQfinish);
    if (!conn)
        throw EngineError(QStringLiteral("Server baze podataka nije dostupan: ") + reason.simplified());
    PGconn *c = conn.get();
    run(c, QStringLiteral("BEGIN"), uri);
    try {
        run(c, serverKeyTableStatement(), uri); // a server set up by an older version lacks it
        for (const ServerGrant &grant : grants) {
            if (run(c, QStringLiteral("SELECT to_regclass(%1) IS NULL").arg(quoted(c, grant.table, false)),
                    uri) == QStringLiteral("t"))
                throw EngineError(QStringLiteral("The server has no table %1 (make the tables first)")
                                      .arg(grant.table));
        }
        setRole(c, admin, uri);
        setRole(c, desk, uri);
        const QString a = quoted(c, admin.name, true);
        const QString d = quoted(c, desk.name, true);
        run(c, QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2, %3")
                   .arg(quoted(c, run(c, QStringLiteral("SELECT current_database()"), uri), true), a, d),
            uri);
        // Only the administrator makes tables; a desk only uses them.
        run(c, QStringLiteral("REVOKE CREATE ON SCHEMA public FROM PUBLIC"), uri);
        run(c, QStringLiteral("GRANT USAGE, CREATE ON SCHEMA public TO %1").arg(a), uri);
        run(c, QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(d), uri);
        for (const ServerGrant &grant : grants) {
            const QString table = quoted(c, grant.table, true);
            run(c, QStringLiteral("ALTER TABLE %1 OWNER TO %2").arg(table, a), uri);
            run(c, QStringLiteral("REVOKE ALL ON %1 FROM PUBLIC, %2").arg(table, d), uri);
            if (!grant.rights.isEmpty())
                run(c, QStringLiteral("GRANT %1 ON %2 TO %3").arg(grant.rights, table, d), uri);
            const QString sequence = run(
                c, QStringLiteral("SELECT pg_get_serial_sequence(table_name, column_name) FROM "
                                  "information_schema.columns WHERE table_schema = current_schema() "
                                  "AND table_name = %1 AND column_name = 'id'")
                       .arg(quoted(c, grant.table, false)),
                uri);
            if (!sequence.isEmpty() && grant.rights.contains(QStringLiteral("INSERT")))
                run(c, QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2").arg(sequence, d), uri);
            // A table of records (one with ids) made by an older version gets its kept count.
            if (!sequence.isEmpty())
                for (const QString &statement : keptCountStatements(grant.table.toLower()))
                    run(c, statement, uri);
        }
        // The kept counts belong to the administrator, whose rights their triggers change
        // them with; a desk reads them.
        if (run(c, QStringLiteral("SELECT to_regclass('dorvanta_broj') IS NOT NULL"), uri) ==
            QStringLiteral("t")) {
            run(c, QStringLiteral("ALTER TABLE dorvanta_broj OWNER TO %1").arg(a), uri);
            run(c, QStringLiteral("ALTER FUNCTION dorvanta_broj_menja() OWNER TO %1").arg(a), uri);
            run(c, QStringLiteral("REVOKE ALL ON dorvanta_broj FROM PUBLIC, %1").arg(d), uri);
            run(c, QStringLiteral("GRANT SELECT ON dorvanta_broj TO %1").arg(d), uri);
        }
        for (const QString &statement : thenRun)
            run(c, statement, uri);
        run(c, QStringLiteral("COMMIT"), uri);
    } catch (...) {
        PGresult *r = nullptr;
        serverlink::exec(c, "ROLLBACK", 0, nullptr, serverlink::defaultAnswerSeconds, &r);
        PQclear(r);
        throw;
    }
}

QString serverUriAs(const QString &uri, const QString &role)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.toUtf8().constData(), &error);
    PQfreemem(error);
    QString host, port, dbname, query;
    for (PQconninfoOption *o = options; o && o->keyword; ++o) {
        if (!o->val)
            continue;
        const QString key = QString::fromUtf8(o->keyword);
        const QString value = QString::fromUtf8(o->val);
        if (key == QLatin1String("host"))
            host = value;
        else if (key == QLatin1String("port"))
            port = value;
        else if (key == QLatin1String("dbname"))
            dbname = value;
        else if (key == QLatin1String("sslmode") || key == QLatin1String("sslrootcert"))
            query += (query.isEmpty() ? u'?' : u'&') + key + u'=' + value;
    }
    PQconninfoFree(options);
    // A socket directory is no name a desk on the network can use.
    if (host.isEmpty() || host.startsWith(u'/'))
        host = QStringLiteral("SERVER");
    return QStringLiteral("postgresql://%1@%2%3/%4%5")
        .arg(role, host, port.isEmpty() ? QString() : u':' + port, dbname, query);
}

} // namespace engine
