#pragma once

// A PostgreSQL cluster of the test binary's own: initdb and pg_ctl from Debian's postgresql
// package, in a temporary directory, on a free loopback port; started on first use (once per
// process) and stopped when the process ends. As root the server runs as the "postgres"
// system user. reset() empties the database between tests.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include "Loopback.h"

#include <libpq-fe.h>

class PgCluster
{
public:
    static PgCluster &shared()
    {
        static PgCluster cluster;
        return cluster;
    }

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    QString uri() const
    {
        return QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres").arg(m_port);
    }

    // Runs SQL on the cluster; returns the server's reason on failure.
    QString exec(const QString &sql) const
    {
        PGconn *conn = PQconnectdb(uri().toUtf8().constData());
        QString reason;
        if (PQstatus(conn) != CONNECTION_OK) {
            reason = QString::fromUtf8(PQerrorMessage(conn));
        } else {
            PGresult *r = PQexec(conn, sql.toUtf8().constData());
            if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
                reason = QString::fromUtf8(PQresultErrorMessage(r));
            PQclear(r);
        }
        PQfinish(conn);
        return reason;
    }

    // The first cell of the result of `sql` ("" on failure).
    QString value(const QString &sql) const
    {
        PGconn *conn = PQconnectdb(uri().toUtf8().constData());
        PGresult *r = PQexec(conn, sql.toUtf8().constData());
        const QString out = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0
                                ? QString::fromUtf8(PQgetvalue(r, 0, 0))
                                : QString();
        PQclear(r);
        PQfinish(conn);
        return out;
    }

    int port() const { return m_port; }
    // The server's log.
    QString logFile() const { return m_dir.path() + QStringLiteral("/log"); }

    // Drops every table of the program.
    QString reset() const
    {
        return exec(QStringLiteral("SET client_min_messages = warning; DROP TABLE IF EXISTS korisnici, aktivnost, promet, grupe, "
                                   "dorvanta_password, dorvanta_kljuc, dorvanta_dokument, dorvanta_brojac, dorvanta_izdat, dorvanta_zakljucak, "
                                   "dorvanta_lanac, dorvanta_dnevnik, dorvanta_popis, dorvanta_popis_apoen, dorvanta_postavke, dorvanta_kurs, "
                                   "dorvanta_prijava_zeton; "
                                   "DO $d$ DECLARE f record; BEGIN FOR f IN SELECT oid::regprocedure AS s FROM pg_proc "
                                   "WHERE proname LIKE 'dorvanta\\_%' AND proname <> 'dorvanta_broj_menja' AND "
                                   "pronamespace = 'public'::regnamespace LOOP EXECUTE 'DROP FUNCTION ' || f.s; "
                                   "END LOOP; END $d$"));
    }

    ~PgCluster()
    {
        if (m_started)
            run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_data, QStringLiteral("-m"),
                                           QStringLiteral("immediate"), QStringLiteral("-w"),
                                           QStringLiteral("stop")});
    }

private:
    PgCluster()
    {
        const QStringList versions =
            QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (versions.isEmpty()) {
            m_error = QStringLiteral("PostgreSQL is not installed (tools/install-deps.sh)");
            return;
        }
        m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(versions.last());
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary directory");
            return;
        }
        m_data = m_dir.path() + QStringLiteral("/data");
        m_root = ::geteuid() == 0;
        if (m_root) // the server refuses to run as root
            QProcess::execute(QStringLiteral("chown"),
                              {QStringLiteral("-R"), QStringLiteral("postgres"), m_dir.path()});
        m_port = loopback::freePort();
        if (!run(QStringLiteral("initdb"),
                 QStringList{QStringLiteral("-D"), m_data}
                     + QStringLiteral("-A trust -U postgres -E UTF8 --locale=C.UTF-8 --no-sync")
                           .split(QLatin1Char(' '))))
            return;
        // The shop's two roles log in with their passwords; the tests' own superuser needs none.
        {
            QFile hba(m_data + QStringLiteral("/pg_hba.conf"));
            if (hba.open(QIODevice::ReadOnly)) {
                const QByteArray rest = hba.readAll();
                hba.close();
                if (hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    hba.write("host all dorvanta_admin,dorvanta_kasa 127.0.0.1/32 scram-sha-256\n" + rest);
            }
        }
        const QString options =
            QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                           "-c full_page_writes=off")
                .arg(m_port)
                .arg(m_dir.path());
        if (!run(QStringLiteral("pg_ctl"),
                 {QStringLiteral("-D"), m_data, QStringLiteral("-o"), options, QStringLiteral("-l"),
                  m_dir.path() + QStringLiteral("/log"), QStringLiteral("-w"),
                  QStringLiteral("start")}))
            return;
        m_started = true;
    }

    bool run(const QString &tool, const QStringList &args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (m_root)
            p.start(QStringLiteral("runuser"),
                    QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                m_bin + tool} +
                        args);
        else
            p.start(m_bin + tool, args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_error = tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAll());
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_data;
    int m_port = 0;
    bool m_root = false;
    bool m_started = false;
    QString m_error;
};
