#pragma once

// API of the table engine (namespace engine), in brief:
//
//   Session   one per process, created in main() and passed by reference. Holds the handed
//             table passwords, the optional password prompt, the base directory and the short
//             date form; knows every open Table and Query; close() closes them all.
//   Table     a table file opened by its relative path ("podaci\korisnici.db" or
//             "podaci/promet.db"): walking in stored order, positions for grids, fields by
//             name (case-insensitive) as text or Money, insert/edit/post/cancel/delete.
//   Query     a statement of the SQL dialect (Query::sql() lines), opened into a read-only
//             result: record count, rows, columns by position or name.
//   Money     exact hundredths; amount text parsing, money text "1500.00".
//   DateTextFormat, timeText(), parseTimeText()    date text and time text (TextForms.h).
//   TableSchema   a table's layout, createTable, checkTableFile; TableStores.h: copyTableFile
//                 and the other whole-table operations.
//   EngineError   the only exception the engine throws; message() is its English text, kind()
//                 what went wrong.
//
// Table files: "podaci/X.db" is an SQLite 3 database with one table X (columns in the
// documented order, DATE as ISO text, TIME as "HH:MM:SS", MONEY as integer hundredths, empty as
// NULL) plus the table "dorvanta_password" holding a salted hash of the table password.
// When "podaci/baza.txt" exists, its first line names a PostgreSQL server holding the tables
// placed there instead (TableStores.h, ServerTable.h); tables and queries work the same over
// both.
//
// Passwords: opening a table (or a query on it) succeeds when one of the passwords handed to
// the session since it was last closed matches the file's password record. Otherwise, when a
// password prompt is installed, it is asked once; a right answer is added to the session. A
// wrong answer, a cancelled prompt or no prompt fail with
// "Invalid password for table <path as given>".

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "engine/TextForms.h"

namespace engine {

class Table;
class Query;

class Session : public QObject
{
    Q_OBJECT
public:
    // Asked for a password when none of the handed ones opens `tablePath` (the path as the
    // caller gave it). Returns the typed password, or nullopt when the user cancelled.
    using PasswordPrompt = std::function<std::optional<QString>(const QString &tablePath)>;

    explicit Session(QObject *parent = nullptr);
    // Closes everything still open; tables and queries may outlive the session, closed.
    ~Session() override;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Hands a table password to the session: it is tried on every opening until close().
    // Handing several passwords keeps them all.
    void setPassword(const QString &password);
    // Installs (or, with an empty function, removes) the password prompt. The prompt stays
    // installed across close().
    void setPasswordPrompt(PasswordPrompt prompt);
    // Whether any password is held (false after close()).
    bool hasPassword() const { return !m_passwords.isEmpty(); }

    // Closes every open Table and Query opened through this session (each emits closed()),
    // then forgets the handed passwords. The next opening starts a fresh session. Harmless
    // when nothing is open.
    void close();

    // Directory that relative table paths resolve against. Empty (the default) means the
    // process's current directory at the moment of each opening.
    void setBaseDir(const QString &dir);
    QString baseDir() const { return m_baseDir; }

    // The short date form used for date text by every Table and Query of this session.
    // Default: the system's short form.
    void setShortDateFormat(const QString &format);
    const DateTextFormat &dateFormat() const { return m_dateFormat; }

    // Whether every post and delete is flushed to disk before it returns (the default). Off,
    // a crash of the program still loses nothing, but a power failure may lose the last
    // changes; meant for tests and bulk tools. Applies to tables opened afterwards.
    void setDurableWrites(bool durable) { m_durableWrites = durable; }
    bool durableWrites() const { return m_durableWrites; }

    // Absolute native path for a table path written with "\" or "/".
    QString resolvePath(const QString &tablePath) const;

    // --- used by Table and Query ---

    // Throws EngineError unless `passwordRecordMatches` accepts one of the held passwords or
    // the prompt's answer (which is then held). `tablePath` is the path as given, for texts.
    void checkPassword(const QString &tablePath,
                       const std::function<bool(const QString &)> &passwordRecordMatches);
    void registerTable(Table *table);
    void unregisterTable(Table *table);
    void registerQuery(Query *query);
    void unregisterQuery(Query *query);
    // After a table changed its file, every other open table on the same file re-reads its
    // record list (keeping its position where it can) when it is next used.
    void notifyTableFileChanged(const QString &absolutePath, const Table *origin);

private:
    QStringList m_passwords;
    PasswordPrompt m_prompt;
    QString m_baseDir;
    DateTextFormat m_dateFormat;
    bool m_durableWrites = true;
    QList<QPointer<Table>> m_tables;
    QList<QPointer<Query>> m_queries;
};

} // namespace engine
