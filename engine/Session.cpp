// Session: the handed passwords, the password prompt, the base directory and the date form of
// the process; it closes every Table and Query made with it on close(). Tables and queries
// register themselves while open, so close() reaches exactly the open ones.

#include "engine/Session.h"

#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "platform/Paths.h"

#include <QDir>

namespace engine {

Session::Session(QObject *parent) : QObject(parent) {}

Session::~Session()
{
    close();
}

void Session::setPassword(const QString &password)
{
    if (!m_passwords.contains(password))
        m_passwords.append(password);
}

void Session::setPasswordPrompt(PasswordPrompt prompt)
{
    m_prompt = std::move(prompt);
}

void Session::close()
{
    // Closing may emit signals whose handlers open or close other objects; work on copies.
    const auto tables = m_tables;
    for (const QPointer<Table> &table : tables)
        if (table)
            table->close();
    const auto queries = m_queries;
    for (const QPointer<Query> &query : queries)
        if (query)
            query->close();
    m_tables.clear();
    m_queries.clear();
    m_passwords.clear();
}

void Session::setBaseDir(const QString &dir)
{
    m_baseDir = dir;
}

void Session::setShortDateFormat(const QString &format)
{
    m_dateFormat = DateTextFormat(format);
}

QString Session::resolvePath(const QString &tablePath) const
{
    const QString base = m_baseDir.isEmpty() ? QDir::currentPath() : m_baseDir;
    return QDir(base).absoluteFilePath(platform::joinPath(base, tablePath));
}

void Session::checkPassword(const QString &tablePath,
                            const std::function<bool(const QString &)> &passwordRecordMatches)
{
    for (const QString &password : std::as_const(m_passwords))
        if (passwordRecordMatches(password))
            return;
    if (m_prompt) {
        const std::optional<QString> answer = m_prompt(tablePath);
        if (answer && passwordRecordMatches(*answer)) {
            setPassword(*answer);
            return;
        }
    }
    throw EngineError(EngineError::Kind::WrongPassword, QStringLiteral("Invalid password for table %1").arg(tablePath));
}

void Session::registerTable(Table *table)
{
    if (!m_tables.contains(table))
        m_tables.append(table);
}

void Session::unregisterTable(Table *table)
{
    m_tables.removeAll(table);
    m_tables.removeAll(nullptr);
}

void Session::registerQuery(Query *query)
{
    if (!m_queries.contains(query))
        m_queries.append(query);
}

void Session::unregisterQuery(Query *query)
{
    m_queries.removeAll(query);
    m_queries.removeAll(nullptr);
}

void Session::notifyTableFileChanged(const QString &absolutePath, const Table *origin)
{
    const auto tables = m_tables;
    for (const QPointer<Table> &table : tables)
        if (table && table != origin && table->isOpen() &&
            table->filePath() == absolutePath)
            table->markStale();
}

} // namespace engine
