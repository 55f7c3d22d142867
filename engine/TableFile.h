#pragma once

// TableFile: an open SQLite connection to one table file, with the file's layout (table name,
// fields and their types) and its password record read at opening, and the engine's own SQL
// functions registered. Statement wraps a prepared SQLite statement. Internal to the engine;
// every failure throws EngineError naming the table by the path the caller gave.

#include "engine/Cell.h"
#include "engine/FieldType.h"
#include "engine/PasswordRecord.h"

#include <QList>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

struct sqlite3;
struct sqlite3_stmt;

namespace engine {

class TableFile
{
public:
    // Opens the existing table file `absolutePath`; `displayPath` names it in messages.
    // Throws EngineError "Table does not exist: <displayPath>" when there is no such file and
    // "<displayPath> is not a table file" when it is not one.
    TableFile(const QString &absolutePath, const QString &displayPath);
    ~TableFile();
    TableFile(const TableFile &) = delete;
    TableFile &operator=(const TableFile &) = delete;

    sqlite3 *db() const { return m_db; }
    const QString &absolutePath() const { return m_absolutePath; }
    const QString &displayPath() const { return m_displayPath; }
    const QString &tableName() const { return m_tableName; }
    const QList<FieldDef> &fields() const { return m_fields; }
    const PasswordRecord &passwordRecord() const { return m_password; }
    // Index of the field, compared without regard to case; -1 when none.
    int fieldIndex(QStringView name) const;

    // Runs SQL without results; throws EngineError "<context>: <SQLite's reason>".
    void exec(const char *sql, const QString &context) const;
    // Throws EngineError "<context> <path>: <SQLite's reason>".
    [[noreturn]] void fail(const QString &context) const;

    // "NAME" with inner quotes doubled.
    static QString quoteIdentifier(const QString &name);
    // Registers dorvanta_upper(x) and dorvanta_like(pattern, value) on a connection.
    static void registerFunctions(sqlite3 *db);
    // The name of the table holding the password record.
    static const char *passwordTableName() { return "dorvanta_password"; }

    class Statement
    {
    public:
        Statement(const TableFile &file, const QString &sql);
        ~Statement();
        Statement(const Statement &) = delete;
        Statement &operator=(const Statement &) = delete;

        // True while a row is available; throws EngineError on failure.
        bool step();
        void reset();
        void bind(int index, const Cell &value); // 1-based like SQLite
        void bindInteger(int index, qint64 value);
        void bindText(int index, const QString &value);
        int columnCount() const;
        Cell column(int index) const; // 0-based
        // The same for a column of a field of `type`: a valid ISO date of a DATE field becomes
        // a Date cell.
        Cell column(int index, FieldType type) const;
        qint64 columnInteger(int index) const;
        // The column as stored: whether it is NULL, and its text bytes (UTF-8; an integer
        // comes as its decimal digits). The bytes stay valid until the next step.
        bool columnIsNull(int index) const;
        QByteArrayView columnUtf8(int index) const;

    private:
        const TableFile &m_file;
        sqlite3_stmt *m_stmt = nullptr;
    };

private:
    void readLayout();

    sqlite3 *m_db = nullptr;
    QString m_absolutePath;
    QString m_displayPath;
    QString m_tableName;
    QList<FieldDef> m_fields;
    PasswordRecord m_password;
    mutable int m_lastIndex = -1; // where fieldIndex found the last name
};

} // namespace engine
