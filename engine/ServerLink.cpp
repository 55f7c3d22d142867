// ServerLink: bounded connecting and statements over libpq in non-blocking mode, and the
// password hygiene of URIs and messages.

#include "engine/ServerLink.h"

#include <libpq-fe.h>

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <utility>

namespace engine::serverlink {

namespace {

// How long a writer waits for another desk's lock before the table is busy.
constexpr int lockWaitMs = 2000;

// Waits until the socket is ready for `events` or `ms` pass; 1 ready, 0 timed out, -1 broken.
int waitFor(PGconn *conn, short events, int ms)
{
    const int fd = PQsocket(conn);
    if (fd < 0)
        return -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return 0;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, int(left));
        if (n > 0)
            return 1;
        if (n == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

// libpq reads a URI only where the text begins with its scheme; anything else is a list of
// keyword = value.
bool isUri(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"));
}

// The keywords and values of a keyword = value text as libpq reads them; nullopt when libpq
// does not take the text.
std::optional<QList<std::pair<QString, QString>>> keywordsOf(const QString &text)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(text.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options)
        return std::nullopt;
    QList<std::pair<QString, QString>> out;
    for (const PQconninfoOption *o = options; o->keyword; ++o)
        if (o->val)
            out.append({QString::fromUtf8(o->keyword), QString::fromUtf8(o->val)});
    PQconninfoFree(options);
    return out;
}

QString quotedValue(QString value)
{
    value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + value + u'\'';
}

// The password as written in the URI (still percent-encoded) or the connection string.
QString rawPassword(const QString &uri)
{
    if (!isUri(uri)) {
        if (const auto keywords = keywordsOf(uri))
            for (const auto &[keyword, value] : *keywords)
                if (keyword == QLatin1String("password"))
                    return value;
        return {};
    }
    static const QRegularExpression userPart(QStringLiteral("^postgres(?:ql)?://[^:/@]*:([^@/]*)@"));
    static const QRegularExpression parameter(QStringLiteral("[?&]password=([^&]*)"));
    if (const auto m = userPart.match(uri); m.hasMatch())
        return m.captured(1);
    if (const auto m = parameter.match(uri); m.hasMatch())
        return m.captured(1);
    // A parameter's name may be percent-encoded too ("%70assword"): libpq's own reading
    // decides.
    if (const auto keywords = keywordsOf(uri))
        for (const auto &[keyword, value] : *keywords)
            if (keyword == QLatin1String("password"))
                return value;
    return {};
}

// A connection URI written again from what libpq read of one, without its password: the user
// and a single host in the URI's own places, everything else (several hosts, a socket
// directory) as parameters, every value percent-encoded.
QString uriOf(const QList<std::pair<QString, QString>> &keywords)
{
    QString user, host, port, dbname, query;
    const auto encoded = [](const QString &v) {
        return QString::fromLatin1(QUrl::toPercentEncoding(v));
    };
    const auto addParameter = [&](const QString &keyword, const QString &value) {
        query += (query.isEmpty() ? u'?' : u'&') + keyword + u'=' + encoded(value);
    };
    for (const auto &[keyword, value] : keywords) {
        if (keyword == QLatin1String("password"))
            continue;
        if (keyword == QLatin1String("user"))
            user = value;
        else if (keyword == QLatin1String("host"))
            host = value;
        else if (keyword == QLatin1String("port"))
            port = value;
        else if (keyword == QLatin1String("dbname"))
            dbname = value;
        else
            addParameter(keyword, value);
    }
    QString authority;
    if (!user.isEmpty())
        authority = encoded(user) + u'@';
    const bool plainHost = !host.isEmpty() && !host.contains(u',') && !host.contains(u'/') &&
                           !port.contains(u',');
    if (plainHost) {
        authority += host.contains(u':') ? u'[' + host + u']' : encoded(host);
        if (!port.isEmpty())
            authority += u':' + port;
    } else {
        QString moved;
        if (!host.isEmpty())
            moved += QStringLiteral("host=") + encoded(host);
        if (!port.isEmpty())
            moved += (moved.isEmpty() ? QString() : QStringLiteral("&")) + QStringLiteral("port=") +
                     encoded(port);
        if (!moved.isEmpty())
            query = (query.isEmpty() ? u'?' + moved : u'?' + moved + u'&' + query.mid(1));
    }
    return QStringLiteral("postgresql://") + authority + u'/' + encoded(dbname) + query;
}

const char *const parameterKeys[] = {"connect_timeout",  "keepalives",       "keepalives_idle",
                                     "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                                     "dbname",           nullptr};

// Connects with the bounded parameters (the URI's own ones take precedence), blocking at
// most the time-out.
PGconn *connectBounded(const QString &uri, int answerSeconds)
{
    const QByteArray timeout = QByteArray::number(answerSeconds);
    const QByteArray idle = QByteArray::number(qMax(1, answerSeconds / 2));
    const QByteArray userTimeout = QByteArray::number(answerSeconds * 1000);
    const QByteArray dbname = uri.toUtf8();
    const char *values[] = {timeout.constData(), "1", idle.constData(), "1", "3",
                            userTimeout.constData(), dbname.constData(), nullptr};
    return PQconnectdbParams(parameterKeys, values, 1);
}

// Sends what libpq holds, reading what comes meanwhile so that the server never waits on us.
Outcome flushBounded(PGconn *conn, int ms)
{
    for (;;) {
        const int flushed = PQflush(conn);
        if (flushed == 0)
            return Outcome::Answered;
        if (flushed < 0)
            return Outcome::Broken;
        const int ready = waitFor(conn, POLLIN | POLLOUT, ms);
        if (ready == 0)
            return Outcome::TimedOut;
        if (ready < 0 || !PQconsumeInput(conn))
            return Outcome::Broken;
    }
}

// Waits until PQgetResult can answer without blocking; every byte that arrives starts the
// time-out again.
Outcome awaitResult(PGconn *conn, int ms)
{
    while (PQisBusy(conn)) {
        const int ready = waitFor(conn, POLLIN, ms);
        if (ready == 0)
            return Outcome::TimedOut;
        if (ready < 0 || !PQconsumeInput(conn))
            return Outcome::Broken;
    }
    return Outcome::Answered;
}

} // namespace

int answerSecondsFrom(const QString &bazaPath)
{
    QFile file(bazaPath);
    if (!file.open(QIODevice::ReadOnly))
        return defaultAnswerSeconds;
    file.readLine(); // the URI
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.startsWith("timeout="))
            continue;
        bool ok = false;
        const int seconds = line.mid(8).toInt(&ok);
        if (ok && seconds >= 3 && seconds <= 60)
            return seconds;
    }
    return defaultAnswerSeconds;
}

PGconn *connect(const QString &uri, int answerSeconds, QString *reason)
{
    PGconn *conn = connectBounded(uri, answerSeconds);
    if (PQstatus(conn) != CONNECTION_OK || PQsetnonblocking(conn, 1) != 0) {
        *reason = withoutSecret(QString::fromUtf8(PQerrorMessage(conn)), uri);
        PQfinish(conn);
        return nullptr;
    }
    // The server's notices (a session ended by the server says so) are for no terminal.
    PQsetNoticeProcessor(conn, [](void *, const char *) {}, nullptr);
    const int ms = answerSeconds * 1000;
    const QByteArray limits =
        "SET client_encoding = 'UTF8'; SET DateStyle = ISO; SET client_min_messages = warning; "
        "SET lock_timeout = " + QByteArray::number(lockWaitMs) +
        "; SET statement_timeout = " + QByteArray::number(ms - 1000) +
        "; SET idle_in_transaction_session_timeout = " + QByteArray::number(ms / 2) +
        "; SET tcp_keepalives_idle = " + QByteArray::number(qMax(1, answerSeconds / 2)) +
        "; SET tcp_keepalives_interval = 1; SET tcp_keepalives_count = 3"
        "; SET tcp_user_timeout = " + QByteArray::number(ms);
    PGresult *r = nullptr;
    const Outcome outcome = exec(conn, limits, 0, nullptr, answerSeconds, &r);
    const bool ok = outcome == Outcome::Answered && PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!ok) {
        *reason = outcome == Outcome::TimedOut
                      ? QStringLiteral("server ne odgovara (%1 s)").arg(answerSeconds)
                      : withoutSecret(QString::fromUtf8(r ? PQresultErrorMessage(r)
                                                          : PQerrorMessage(conn)),
                                      uri);
        PQclear(r);
        PQfinish(conn);
        return nullptr;
    }
    PQclear(r);
    return conn;
}

Outcome exec(PGconn *conn, const QByteArray &sql, int count, const char *const *values,
             int answerSeconds, PGresult **result)
{
    *result = nullptr;
    const int ms = answerSeconds * 1000;
    const int sent = count == 0 && !values
                         ? PQsendQuery(conn, sql.constData())
                         : PQsendQueryParams(conn, sql.constData(), count, nullptr, values,
                                             nullptr, nullptr, 0);
    if (!sent)
        return Outcome::Broken;
    if (const Outcome out = flushBounded(conn, ms); out != Outcome::Answered)
        return out;
    // Its results; every byte that arrives starts the time-out again.
    PGresult *kept = nullptr;
    for (;;) {
        if (const Outcome out = awaitResult(conn, ms); out != Outcome::Answered) {
            PQclear(kept);
            return out;
        }
        PGresult *r = PQgetResult(conn);
        if (!r)
            break;
        if (kept && PQresultStatus(kept) == PGRES_FATAL_ERROR) {
            PQclear(r);
        } else {
            PQclear(kept);
            kept = r;
        }
    }
    *result = kept;
    return Outcome::Answered;
}

Outcome execBatch(PGconn *conn, const std::vector<BatchStatement> &statements, int answerSeconds,
                  std::vector<PGresult *> &results)
{
    results.assign(statements.size(), nullptr);
    auto fail = [&](Outcome out) {
        for (PGresult *&r : results)
            PQclear(std::exchange(r, nullptr));
        return out;
    };
    const int ms = answerSeconds * 1000;
    if (!PQenterPipelineMode(conn))
        return Outcome::Broken;
    for (const BatchStatement &s : statements) {
        if (!PQsendQueryParams(conn, s.sql.constData(), int(s.values.size()), nullptr,
                               s.values.empty() ? nullptr : s.values.data(), nullptr, nullptr, 0))
            return fail(Outcome::Broken);
    }
    if (!PQpipelineSync(conn))
        return fail(Outcome::Broken);
    if (const Outcome out = flushBounded(conn, ms); out != Outcome::Answered)
        return fail(out);
    // Each statement's results end with a null; the sync point ends the batch.
    size_t statement = 0;
    for (;;) {
        if (const Outcome out = awaitResult(conn, ms); out != Outcome::Answered)
            return fail(out);
        PGresult *r = PQgetResult(conn);
        if (!r) {
            ++statement;
            continue;
        }
        if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
            PQclear(r);
            break;
        }
        if (statement < results.size() && !results[statement])
            results[statement] = r;
        else
            PQclear(r);
        if (PQstatus(conn) != CONNECTION_OK)
            return fail(Outcome::Broken);
    }
    if (statement != results.size() || !PQexitPipelineMode(conn))
        return fail(Outcome::Broken);
    return Outcome::Answered;
}

bool endsSession(const PGresult *r)
{
    const char *severity = r ? PQresultErrorField(r, PG_DIAG_SEVERITY_NONLOCALIZED) : nullptr;
    return severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0);
}

QString withoutPassword(const QString &uri)
{
    const QString password = rawPassword(uri);
    if (password.isEmpty())
        return uri;
    if (!isUri(uri)) {
        // Written again as libpq read it, without the password: quotes and escapes inside a
        // value can hide where it ends from any pattern.
        QStringList kept;
        const auto keywords = keywordsOf(uri); // read, or rawPassword() had found none
        for (const auto &[keyword, value] : *keywords)
            if (keyword != QLatin1String("password"))
                kept += keyword + u'=' + quotedValue(value);
        return kept.join(u' ');
    }
    // Written again as libpq read it: a parameter's name may be percent-encoded, so no
    // pattern over the text finds every form of the password.
    if (const auto keywords = keywordsOf(uri))
        return uriOf(*keywords);
    QString out = uri;
    static const QRegularExpression userPart(QStringLiteral("^(postgres(?:ql)?://[^:/@]*):[^@/]*@"));
    out.replace(userPart, QStringLiteral("\\1@"));
    static const QRegularExpression parameter(QStringLiteral("([?&])password=[^&]*&?"));
    out.replace(parameter, QStringLiteral("\\1"));
    if (out.endsWith(u'?') || out.endsWith(u'&'))
        out.chop(1);
    return out;
}

QString withoutSecret(const QString &text, const QString &uri)
{
    QString out = text;
    out.replace(uri, withoutPassword(uri));
    const QString raw = rawPassword(uri);
    if (raw.isEmpty())
        return out;
    const QString decoded = QUrl::fromPercentEncoding(raw.toUtf8());
    for (const QString &secret : {raw, decoded}) {
        if (secret.isEmpty())
            continue;
        // A short password would take letters out of every word: there only the quoted pieces
        // that libpq copies from the URI go.
        if (secret.size() >= 4) {
            out.replace(secret, QStringLiteral("***"));
        } else {
            static const QRegularExpression quoted(QStringLiteral("\"[^\"]*\""));
            QString scrubbed;
            qsizetype from = 0;
            for (auto it = quoted.globalMatch(out); it.hasNext();) {
                const auto m = it.next();
                scrubbed += out.mid(from, m.capturedStart() - from);
                QString piece = m.captured();
                scrubbed += piece.contains(secret) ? QStringLiteral("\"***\"") : piece;
                from = m.capturedEnd();
            }
            out = scrubbed + out.mid(from);
        }
    }
    return out;
}

QString withPassword(const QString &uri, const QString &password)
{
    QString out = withoutPassword(uri);
    if (!isUri(out))
        return out + QStringLiteral(" password=") + quotedValue(password);
    // Its parameters follow the first '?' after the user part (which libpq ends at the first
    // '@' before any '/', and which may hold a '?' of its own).
    qsizetype from = out.indexOf(QLatin1String("://")) + 3;
    const qsizetype at = out.indexOf(u'@', from), slash = out.indexOf(u'/', from);
    if (at >= 0 && (slash < 0 || at < slash))
        from = at + 1;
    out += out.indexOf(u'?', from) >= 0 ? u'&' : u'?';
    return out + QStringLiteral("password=") +
           QString::fromLatin1(QUrl::toPercentEncoding(password));
}

bool asksForPassword(const QString &uri)
{
    PGconn *conn = connectBounded(uri, defaultAnswerSeconds);
    const bool asks = PQstatus(conn) != CONNECTION_OK && PQconnectionNeedsPassword(conn);
    PQfinish(conn);
    return asks;
}

} // namespace engine::serverlink
