// TableFile: opens a table file without ever creating one, reads its layout and password
// record, and registers the engine's SQL functions:
//   dorvanta_upper(x)          upper case of all letters (not only ASCII); NULL stays NULL
//   dorvanta_like(pattern, x)  case-sensitive LIKE: % any run of characters, _ one character,
//                              every other character matches only itself; NULL if either is NULL

#include "engine/TableFile.h"

#include "engine/EngineError.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace engine {

namespace {

// Steps one UTF-8 character forward.
const unsigned char *nextChar(const unsigned char *p, const unsigned char *end)
{
    ++p;
    while (p < end && (*p & 0xC0) == 0x80)
        ++p;
    return p;
}

// Wildcard match with % and _ over UTF-8 text; linear backtracking to the last %.
bool likeMatch(const unsigned char *pat, const unsigned char *patEnd, const unsigned char *str,
               const unsigned char *strEnd)
{
    const unsigned char *starPat = nullptr;
    const unsigned char *starStr = nullptr;
    while (str < strEnd) {
        if (pat < patEnd && *pat == '%') {
            starPat = ++pat;
            starStr = str;
        } else if (pat < patEnd && *pat == '_') {
            pat = nextChar(pat, patEnd);
            str = nextChar(str, strEnd);
        } else if (pat < patEnd && *pat == *str) {
            ++pat;
            ++str;
        } else if (starPat) {
            pat = starPat;
            starStr = nextChar(starStr, strEnd);
            str = starStr;
        } else {
            return false;
        }
    }
    while (pat < patEnd && *pat == '%')
        ++pat;
    return pat == patEnd;
}

void likeFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *pat = sqlite3_value_text(argv[0]);
    const int patLen = sqlite3_value_bytes(argv[0]);
    const auto *str = sqlite3_value_text(argv[1]);
    const int strLen = sqlite3_value_bytes(argv[1]);
    sqlite3_result_int(context, likeMatch(pat, pat + patLen, str, str + strLen) ? 1 : 0);
}

void upperFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int len = sqlite3_value_bytes(argv[0]);
    QByteArray bytes(text, len);
    bool ascii = true;
    for (char &c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    if (!ascii)
        bytes = QString::fromUtf8(text, len).toUpper().toUtf8();
    sqlite3_result_text(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

} // namespace

TableFile::TableFile(const QString &absolutePath, const QString &displayPath)
    : m_absolutePath(absolutePath), m_displayPath(displayPath)
{
    const QFileInfo info(absolutePath);
    if (!info.exists() || !info.isFile())
        throw EngineError(QStringLiteral("Table does not exist: %1").arg(displayPath));
    const int rc = sqlite3_open_v2(absolutePath.toUtf8().constData(), &m_db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                    : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw EngineError(QStringLiteral("Cannot open table %1: %2").arg(displayPath, reason));
    }
    sqlite3_busy_timeout(m_db, 5000);
    registerFunctions(m_db);
    try {
        readLayout();
    } catch (...) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

TableFile::~TableFile()
{
    sqlite3_close_v2(m_db);
}

void TableFile::readLayout()
{
    const EngineError notATable(QStringLiteral("%1 is not a table file").arg(m_displayPath));
    sqlite3_stmt *stmt = nullptr;
    // Any failure here (a file that is not a database, a missing password table) means the
    // file is not a table file.
    auto prepare = [&](const QByteArray &sql) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
            throw notATable;
    };
    try {
        prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
                "AND name <> 'dorvanta_password'");
        QStringList names;
        int rc = 0;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        if (rc != SQLITE_DONE || names.size() != 1)
            throw notATable;
        m_tableName = names.front();

        prepare("PRAGMA table_info(" + quoteIdentifier(m_tableName).toUtf8() + ")");
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            FieldDef field;
            field.name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1)));
            const QString declared =
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 2)));
            field.type = fieldTypeFromName(declared).value_or(FieldType::Text);
            m_fields.append(field);
        }
        if (rc != SQLITE_DONE || m_fields.isEmpty())
            throw notATable;

        prepare("SELECT SALT, HASH FROM dorvanta_password");
        if (sqlite3_step(stmt) != SQLITE_ROW)
            throw notATable;
        auto blob = [&](int column) {
            return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, column)),
                              sqlite3_column_bytes(stmt, column));
        };
        m_password = PasswordRecord(blob(0), blob(1));
        sqlite3_finalize(stmt);
    } catch (...) {
        sqlite3_finalize(stmt);
        throw;
    }
}

int TableFile::fieldIndex(QStringView name) const
{
    // Names are usually written as stored and fields read in table order: an exact match,
    // starting after the field found last, is the cheap first try.
    const int n = int(m_fields.size());
    for (int k = 1; k <= n; ++k) {
        const int i = (m_lastIndex + k) % n;
        if (name == m_fields[i].name) {
            m_lastIndex = i;
            return i;
        }
    }
    for (int i = 0; i < m_fields.size(); ++i)
        if (name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TableFile::exec(const char *sql, const QString &context) const
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(context);
}

void TableFile::fail(const QString &context) const
{
    throw EngineError(QStringLiteral("%1 %2: %3")
                          .arg(context, m_displayPath, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

QString TableFile::quoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void TableFile::registerFunctions(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, "dorvanta_upper", 1, flags, nullptr, upperFunction, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "dorvanta_like", 2, flags, nullptr, likeFunction, nullptr,
                               nullptr, nullptr);
}

TableFile::Statement::Statement(const TableFile &file, const QString &sql) : m_file(file)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(file.db(), utf8.constData(), int(utf8.size()), &m_stmt, nullptr) !=
        SQLITE_OK)
        file.fail(QStringLiteral("Cannot read table"));
}

TableFile::Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

bool TableFile::Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_file.fail(QStringLiteral("Cannot access table"));
}

void TableFile::Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void TableFile::Statement::bind(int index, const Cell &value)
{
    switch (value.kind) {
    case Cell::Null:
        sqlite3_bind_null(m_stmt, index);
        break;
    case Cell::Integer:
        sqlite3_bind_int64(m_stmt, index, value.integer);
        break;
    case Cell::Text:
        bindText(index, value.text);
        break;
    case Cell::Date:
        bindText(index, value.isoText());
        break;
    }
}

void TableFile::Statement::bindInteger(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
}

void TableFile::Statement::bindText(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

int TableFile::Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

Cell TableFile::Statement::column(int index) const
{
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return Cell::fromInteger(sqlite3_column_int64(m_stmt, index));
    case SQLITE_FLOAT:
        // Not written by the engine; a value put there by another tool reads as hundredths.
        return Cell::fromInteger(qRound64(sqlite3_column_double(m_stmt, index) * 100.0));
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
        return Cell::fromText(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, index)));
    }
    }
}

Cell TableFile::Statement::column(int index, FieldType type) const
{
    if (type == FieldType::Date && sqlite3_column_type(m_stmt, index) == SQLITE_TEXT) {
        const auto *s = sqlite3_column_text(m_stmt, index);
        if (sqlite3_column_bytes(m_stmt, index) == 10 && s[4] == '-' && s[7] == '-') {
            int digits[8];
            int n = 0;
            for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
                digits[n++] = s[i] - '0';
            bool allDigits = true;
            for (int digit : digits)
                allDigits = allDigits && digit >= 0 && digit <= 9;
            if (allDigits) {
                const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
                const int month = digits[4] * 10 + digits[5];
                const int day = digits[6] * 10 + digits[7];
                if (QDate::isValid(year, month, day))
                    return Cell::fromYmd(year, month, day);
            }
        }
    }
    return column(index);
}

qint64 TableFile::Statement::columnInteger(int index) const
{
    return sqlite3_column_int64(m_stmt, index);
}

bool TableFile::Statement::columnIsNull(int index) const
{
    return sqlite3_column_type(m_stmt, index) == SQLITE_NULL;
}

QByteArrayView TableFile::Statement::columnUtf8(int index) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, index));
}

} // namespace engine
